#pragma once

#include "state/matrix.h"

#include <cmath>
#include <cstdint>
#include <random>

namespace ranvik::bench {

// n locations from two activity centres in UTM-like metres (easting ~5.6e5, northing
// ~5.4e6): 60% around the first centre, 40% around a wider second one. The same n always gives
// the same locations; the array has the spare zero row.
inline Matrix TwoModeLocations(std::int32_t n, unsigned seed = 1234) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> near(0.0, 180.0);
    std::normal_distribution<double> wide(0.0, 260.0);
    std::uniform_real_distribution<double> which(0.0, 1.0);
    Matrix xy(n + 1, 3);
    for (std::int32_t i = 0; i < n; ++i) {
        if (which(random) < 0.6) {
            xy(i, 0) = 557800.0 + near(random);
            xy(i, 1) = 5425000.0 + near(random);
        } else {
            xy(i, 0) = 558600.0 + wide(random);
            xy(i, 1) = 5425600.0 + wide(random);
        }
    }
    return xy;
}

} // namespace ranvik::bench

namespace ranvik::bench {

// Hourly fix i of a track at (x, y), displaced by its own location error: the error is drawn
// from `error`, then the two displacements from `unit`, in that order.
inline void PutFix(Matrix& track, std::int32_t i, double x, double y,
                   std::uniform_real_distribution<double>& error,
                   std::normal_distribution<double>& unit, std::mt19937_64& random) {
    const double e = error(random);
    track(i, 0) = x + e * unit(random);
    track(i, 1) = y + e * unit(random);
    track(i, 2) = i;
    track(i, 3) = e;
}

// A GPS-like track of n hourly fixes (x, y, time in hours, location error in m), sorted by
// time: a correlated random walk of 150-450 m steps that turns back towards its centre when
// it strays more than 6 km, each fix displaced by its own location error of 10-30 m. The
// array has the spare zero row and a fifth, unused column.
inline Matrix GpsTrack(std::int32_t n, unsigned seed = 99) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> turn(0.0, 0.6);
    std::normal_distribution<double> unit(0.0, 1.0);
    std::uniform_real_distribution<double> step(150.0, 450.0);
    std::uniform_real_distribution<double> error(10.0, 30.0);
    const double cx = 565000.0;
    const double cy = 5430000.0;
    double x = cx;
    double y = cy;
    double heading = 0.0;
    Matrix track(n + 1, 5);
    for (std::int32_t i = 0; i < n; ++i) {
        PutFix(track, i, x, y, error, unit, random);
        if (std::hypot(x - cx, y - cy) > 6000.0) {
            heading = std::atan2(cy - y, cx - x) + 0.3 * unit(random);
        } else {
            heading += turn(random);
        }
        const double length = step(random);
        x += length * std::cos(heading);
        y += length * std::sin(heading);
    }
    return track;
}

} // namespace ranvik::bench

namespace ranvik::bench {

// A clustered GPS-like track of n hourly fixes: the walk of GpsTrack, but for the first 10
// fixes of every day the animal rests, its fixes scattered 15 m around one spot: on most days
// where it was when the day began, on every third day at one of five favoured sites.
inline Matrix ClusteredTrack(std::int32_t n, unsigned seed = 7) {
    Matrix track = GpsTrack(n, seed);
    std::mt19937_64 random(seed + 1);
    std::normal_distribution<double> scatter(0.0, 15.0);
    const double sites[5][2] = {{563000.0, 5431000.0},
                                {567500.0, 5428200.0},
                                {565400.0, 5433900.0},
                                {561800.0, 5427000.0},
                                {568900.0, 5432500.0}};
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t day = i / 24;
        if (i % 24 >= 10) {
            continue;
        }
        double x = track(day * 24, 0);
        double y = track(day * 24, 1);
        if (day % 3 == 0) {
            x = sites[day % 5][0];
            y = sites[day % 5][1];
        }
        track(i, 0) = x + scatter(random);
        track(i, 1) = y + scatter(random);
    }
    return track;
}

} // namespace ranvik::bench

namespace ranvik::bench {

// A migrating GPS-like track of n hourly fixes (columns as GpsTrack): four days of wandering
// in 150-450 m steps, then a 12-hour leg of 2-3 km steps towards another of a few seasonal
// ranges 10-25 km apart, and so on.
inline Matrix MigratingTrack(std::int32_t n, unsigned seed = 31) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> unit(0.0, 1.0);
    std::uniform_real_distribution<double> wander(150.0, 450.0);
    std::uniform_real_distribution<double> travel(2000.0, 3000.0);
    std::uniform_real_distribution<double> error(10.0, 30.0);
    const double ranges[4][2] = {
        {560000.0, 5420000.0}, {572000.0, 5426000.0}, {566000.0, 5441000.0}, {553000.0, 5433000.0}};
    double x = ranges[0][0];
    double y = ranges[0][1];
    double heading = 0.0;
    int target = 0;
    Matrix track(n + 1, 5);
    for (std::int32_t i = 0; i < n; ++i) {
        PutFix(track, i, x, y, error, unit, random);
        const std::int32_t hour = i % 108; // 96 hours of wandering, 12 of travel
        if (hour == 96) {
            target = (target + 1 + static_cast<int>(random() % 3)) % 4;
        }
        double length = 0.0;
        if (hour >= 96) {
            heading = std::atan2(ranges[target][1] - y, ranges[target][0] - x);
            length =
                std::min(travel(random), std::hypot(ranges[target][0] - x, ranges[target][1] - y));
        } else {
            heading += 0.6 * unit(random);
            length = wander(random);
        }
        x += length * std::cos(heading);
        y += length * std::sin(heading);
    }
    return track;
}

} // namespace ranvik::bench
