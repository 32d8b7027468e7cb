#pragma once

#include "state/matrix.h"
#include "state/workspaces.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ranvik {

// Flags that the estimators test for the value 1 (set) or 0 (cleared).
using IntFlag = std::int16_t;

// Which locations NumLocs counts. Independent locations and Brownian bridge fixes share the
// count, so the count says whose it is: a form of one kind of analysis never reads the other
// kind's count as its own.
enum class LocationSet : std::uint8_t {
    None,        // nothing loaded yet
    Independent, // LocXY and LocWeights (rows 0..NumLocs)
    Bridge,      // BBLocArray and BBSortedLocs (rows 0..NumLocs)
};

// Everything the wizard's forms and computations share, for the whole run.
//
// The application owns one record and hands it by reference to the forms and to the
// procedures that read or write it. Fields are read and written directly. At start-up every
// string is empty, every count zero, every flag cleared and every array unallocated (pi is the
// constant kPi, not a field).
//
// Per-location arrays of a set of n locations have rows 0..n: rows 0..n-1 hold the locations
// and row n is a spare row that stays zero. Location arrays hold x (easting) in column 0 and
// y (northing) in column 1.
struct State {
    // Wizard choices.
    bool IsBBData = false;     // serially correlated data, Brownian bridge
    bool IsIndData = false;    // temporally independent locations
    bool IsHomeRange = false;  // plain home range analysis
    bool IsSynoptic = false;   // synoptic model (not available)
    IntFlag BiasCorrected = 0; // 1: weighted (bias-corrected) loaders and estimators
    std::string DataMode;      // "", "location" or "Road"

    // File names.
    std::string LocFileName;         // full path of the loaded locations file
    std::string UserPtsFileName;     // full path of the user-specified points file
    std::string InFileRoot;          // file title less its last four characters
    std::string ProjectionWkt;       // coordinate system of the locations when known (shapefiles)
    bool ProjectionInMetres = false; // that coordinate system is projected in metres
    int ProjectionEpsg = 0;          // its EPSG code when the locations were projected on loading
    std::string TimeUnit;            // unit of the Brownian bridge times when a table gave one

    // Independent locations.
    std::int32_t NumLocs = 0;
    LocationSet LoadedLocations = LocationSet::None; // whose locations NumLocs counts
    Matrix LocXY;                                    // rows 0..n, columns 0..2 (x, y, unused)
    std::vector<double> LocWeights; // rows 0..n: probability of obtaining each location

    // Brownian bridge data.
    Matrix BBLocArray;   // rows 0..n, columns 0..4: x, y, time, location error, unused
    Matrix BBSortedLocs; // BBLocArray sorted by ascending time
    Matrix UserPts;      // user-specified points: x, y, unused
    std::int32_t NumUserPts = 0;
    double BBMaxTime = 0.0;  // longest time gap bridged
    double BBVariance = 0.0; // Brownian bridge variance parameter
    Matrix BBOutput;         // rows of x, y, probability, unused

    // Estimator requests (1 = requested), cleared by the step that carries them out.
    IntFlag DoFixedKernel = 0;
    IntFlag DoAdKernel = 0;
    IntFlag DoBVN = 0;
    IntFlag Do2BVN = 0;
    IntFlag Do2CN = 0;
    IntFlag DoExpPower = 0;

    // Result grids: rows 0..NumGridPts, columns 0..3 (x, y, probability, unused).
    std::int32_t NumGridPts = 0;
    Matrix GridFixedKernel;
    Matrix GridAdKernel;
    Matrix GridBVN;
    Matrix Grid2BVN;
    Matrix Grid2CN;
    Matrix GridExpPower;

    // Results waiting to be written; the save step clears each after writing its file.
    bool DoneFixedKernel = false;
    bool DoneAdKernel = false;
    bool DoneBVN = false;
    bool Done2BVN = false;
    bool Done2CN = false;
    bool DoneExpPower = false;
    bool DoneBB = false;

    // Model comparison criteria.
    double Neg2LnLBVN = 0.0, AICcBVN = 0.0, CVCBVN = 0.0;
    double Neg2LnL2BVN = 0.0, AICc2BVN = 0.0, CVC2BVN = 0.0;
    double Neg2LnL2CN = 0.0, AICc2CN = 0.0, CVC2CN = 0.0;
    double Neg2LnLExpPower = 0.0, AICcExpPower = 0.0, CVCExpPower = 0.0;
    double CVCFixedKernel = 0.0, CVCAdKernel = 0.0;
    // Why a model could not be scored in the last comparison that included it, in table order
    // (exponential power, 1-mode normal, circle mixture, normal mixture, fixed kernel,
    // adaptive kernel); empty when it was scored.
    std::array<std::string, 6> ComparisonErrors;

    // Log-likelihood contribution of each location (rows 0..n-1) under each fitted model.
    std::vector<double> LocLikBVN;
    std::vector<double> LocLik2BVN;
    std::vector<double> LocLik2CN;
    std::vector<double> LocLikExpPower;
    bool OutputLocLiks = false; // the per-location log-likelihoods wait to be written

    // Workspaces of the two optimisers and the simplex start vertices.
    MinimiserWorkspace Minimiser;
    SimplexWorkspace Simplex;
    SimplexStarts Starts;

    friend bool operator==(const State&, const State&) = default;
};

} // namespace ranvik
