#pragma once

#include "state/matrix.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ranvik {

// Flags that the estimators test for the value 1 (set) or 0 (cleared).
using IntFlag = std::int16_t;

// Which kind of locations was loaded last: the loader's file, the root of output names and the
// analysis forms follow it. Each kind keeps its own count; a form of one kind of analysis never
// reads the other kind's locations as its own.
enum class LocationSet : std::uint8_t {
    None,        // nothing loaded yet
    Independent, // LoadedData::locations
    Bridge,      // LoadedData::track
};

// What the user chose on the wizard's forms.
struct Choices {
    bool IsBBData = false;     // serially correlated data, Brownian bridge
    bool IsIndData = false;    // temporally independent locations
    bool IsHomeRange = false;  // plain home range analysis
    bool IsSynoptic = false;   // synoptic model (not available)
    IntFlag BiasCorrected = 0; // 1: weighted (bias-corrected) loaders and estimators
    std::string DataMode;      // "", "location" or "Road"
    // Estimators requested for the next home range run, by name ("fixed-kernel"); each leaves
    // the set once its run has made it or said why not.
    std::set<std::string, std::less<>> requested;
    double BBMaxTime = 0.0;  // longest time gap bridged
    double BBVariance = 0.0; // Brownian bridge variance, typed or estimated
    double KernelH = 0.0;    // smoothing parameter of the last kernels made (0: none made)
    std::string AkdeModel;   // the movement model the last autocorrelated kernel was made under

    [[nodiscard]] bool Requested(std::string_view estimator) const {
        return requested.find(estimator) != requested.end();
    }

    friend bool operator==(const Choices&, const Choices&) = default;
};

// Where the locations loaded last came from.
struct LocationFile {
    std::string path;                  // full path of the locations file
    std::string root;                  // file title less its last four characters: output names
    std::string projection_wkt;        // coordinate system of the locations when known
    bool projection_in_metres = false; // that coordinate system is projected in metres
    int projection_epsg = 0;           // its EPSG code when the locations were projected
    std::string time_unit;             // unit of the track's times when a table gave one

    friend bool operator==(const LocationFile&, const LocationFile&) = default;
};

// Per-location arrays of a set of n locations have rows 0..n: rows 0..n-1 hold the locations
// and row n is a spare row that stays zero. Location arrays hold x (easting) in column 0 and
// y (northing) in column 1.

// Temporally independent locations.
struct IndependentLocations {
    Matrix xy;                   // rows 0..n, columns 0..2 (x, y, unused)
    std::vector<double> weights; // rows 0..n: probability of obtaining each location (or zeros)
    std::int32_t count = 0;

    friend bool operator==(const IndependentLocations&, const IndependentLocations&) = default;
};

// Time-stamped fixes of a track.
struct Track {
    Matrix fixes;  // rows 0..n, columns 0..4: x, y, time, location error, unused
    Matrix sorted; // the fixes by ascending time
    std::int32_t count = 0;

    friend bool operator==(const Track&, const Track&) = default;
};

// Points at which the Brownian bridge probability is asked for.
struct UserPoints {
    Matrix xy; // x, y, unused; at least 40,001 rows
    std::int32_t count = 0;
    std::string path; // full path of the points file

    friend bool operator==(const UserPoints&, const UserPoints&) = default;
};

// The other animals of the telemetry table a kind of locations was loaded from, each read as
// the loaded one was (the same fields, purpose and projected system), so that one can be set
// beside it. `names` and the arrays of the kind run in parallel, in the table's order.
struct TableAnimals {
    std::string loaded;                          // the name of the animal loaded
    std::vector<std::string> names;              // the others with fixes
    std::vector<IndependentLocations> locations; // independent locations: one per name
    std::vector<Track> tracks;                   // a track: one per name

    friend bool operator==(const TableAnimals&, const TableAnimals&) = default;
};

// Everything loaded, each kind with its own count.
struct LoadedData {
    LocationFile file;
    LocationSet last = LocationSet::None; // the kind `file` describes
    std::optional<IndependentLocations> locations;
    std::optional<Track> track;
    // The table's other animals beside `locations` and `track`; none when they came from a file
    // of one animal.
    std::optional<TableAnimals> locations_table;
    std::optional<TableAnimals> track_table;
    std::optional<UserPoints> user_points;

    friend bool operator==(const LoadedData&, const LoadedData&) = default;
};

// The model comparison's criteria for one estimator (the kernels have only a CVC).
struct ModelScore {
    double neg2lnl = 0.0;
    double aicc = 0.0;
    double cvc = 0.0;

    friend bool operator==(const ModelScore&, const ModelScore&) = default;
};

// A table an estimator writes beside its grid, named root + key + extension.
struct ResultTable {
    std::string key;       // "MotionVariance"
    std::string extension; // ".csv"
    std::string text;

    friend bool operator==(const ResultTable&, const ResultTable&) = default;
};

// What one estimator has given in this session.
struct EstimatorResult {
    // Its last grid (rows of x, y, probability, unused, and a spare row), when one was made.
    std::optional<Matrix> grid;
    bool saved = false;              // the grid has been written to a file
    std::vector<ResultTable> tables; // written beside the grid
    ModelScore score;                // from the last comparison that scored it
    std::string score_error;         // why the last comparison that included it could not score it
    // Log-likelihood of each independent location (rows 0..n-1) under its fit.
    std::vector<double> loc_lik;

    // The degrees of freedom of the 95% interval of its areas, for an estimate whose areas
    // carry one (the autocorrelated kernel's effective sample size).
    std::optional<double> effective_n;

    // A grid waits to be saved.
    [[nodiscard]] bool Waiting() const { return grid.has_value() && !saved; }

    friend bool operator==(const EstimatorResult&, const EstimatorResult&) = default;
};

// The wizard's session: the user's choices, the loaded data and the results, each part read
// freely and changed only through the named events below, on the GUI thread.
class Session {
public:
    [[nodiscard]] const Choices& choices() const { return choices_; }
    [[nodiscard]] const LoadedData& loaded() const { return loaded_; }
    // The independent locations loaded, or an empty set (count 0) when none are.
    [[nodiscard]] const IndependentLocations& locations() const;
    // The track loaded, or an empty one (count 0) when none is.
    [[nodiscard]] const Track& track() const;

    // Every estimator's result, by the estimator's name ("fixed-kernel").
    [[nodiscard]] const std::map<std::string, EstimatorResult, std::less<>>& Results() const {
        return results_;
    }
    // The result of `estimator`, or none.
    [[nodiscard]] const EstimatorResult* Result(std::string_view estimator) const;
    // The estimator's grid when it waits to be saved, else none.
    [[nodiscard]] const Matrix* WaitingGrid(std::string_view estimator) const;
    // The per-location log-likelihoods are to be written with the next save.
    [[nodiscard]] bool LikelihoodsWaiting() const { return likelihoods_waiting_; }

    // Choices.
    void ChooseDataType(bool bridge, bool independent);
    void ChooseAnalysis(bool home_range, bool synoptic, bool bias_corrected);
    void ChooseDataMode(std::string mode);
    void Request(std::string_view estimator, bool wanted);
    void ChooseBridgeVariance(double variance);
    void ChooseMaxTime(double max_time);
    void ChooseKernelH(double h);
    void ChooseMovementModel(std::string name);

    // Loaded data. Independent locations release the per-location log-likelihoods computed
    // for the locations before them. Locations or a track replace the table animals of their
    // kind with `table` (none for a file of one animal). User points keep the locations' file
    // and root.
    void TakeLoaded(IndependentLocations&& locations, LocationFile&& file,
                    std::optional<TableAnimals> table = std::nullopt);
    void TakeLoaded(Track&& track, LocationFile&& file,
                    std::optional<TableAnimals> table = std::nullopt);
    void TakeLoaded(UserPoints&& points);
    // The root of output file names, as the user typed or the loader chose.
    void Rename(std::string root);

    // Results.
    // A grid made by `estimator`, with the tables written beside it: it waits to be saved.
    void Put(std::string_view estimator, Matrix&& grid, std::vector<ResultTable> tables = {},
             std::optional<double> effective_n = {});
    // The log-likelihoods of the locations under `estimator`'s fit.
    void PutLocationValues(std::string_view estimator, std::vector<double>&& loc_lik);
    // A comparison scored `estimator` (its per-location values given when it has them).
    void PutScore(std::string_view estimator, const ModelScore& score,
                  std::optional<std::vector<double>> loc_lik = std::nullopt);
    // A comparison could not score `estimator`: why.
    void PutScoreFailure(std::string_view estimator, std::string error);
    // The estimator's grid has been written; `shown`, when given, replaces it with the values
    // its file shows.
    void MarkSaved(std::string_view estimator, std::optional<Matrix> shown = std::nullopt);
    // The per-location log-likelihoods are asked for (true) or have been written (false).
    void MarkLikelihoodsWaiting(bool waiting);

    friend bool operator==(const Session&, const Session&) = default;

private:
    EstimatorResult& At(std::string_view estimator);

    Choices choices_;
    LoadedData loaded_;
    std::map<std::string, EstimatorResult, std::less<>> results_;
    bool likelihoods_waiting_ = false;
};

} // namespace ranvik
