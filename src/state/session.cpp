#include "state/session.h"

#include <utility>

namespace ranvik {

const IndependentLocations& Session::locations() const {
    static const IndependentLocations none;
    return loaded_.locations ? *loaded_.locations : none;
}

const Track& Session::track() const {
    static const Track none;
    return loaded_.track ? *loaded_.track : none;
}

const EstimatorResult* Session::Result(std::string_view estimator) const {
    const auto at = results_.find(estimator);
    return at == results_.end() ? nullptr : &at->second;
}

const Matrix* Session::WaitingGrid(std::string_view estimator) const {
    const EstimatorResult* result = Result(estimator);
    return result != nullptr && result->Waiting() ? &*result->grid : nullptr;
}

void Session::ChooseDataType(bool bridge, bool independent) {
    choices_.IsBBData = bridge;
    choices_.IsIndData = independent;
}

void Session::ChooseAnalysis(bool home_range, bool synoptic, bool bias_corrected) {
    choices_.IsHomeRange = home_range;
    choices_.IsSynoptic = synoptic;
    choices_.BiasCorrected = bias_corrected ? 1 : 0;
}

void Session::ChooseDataMode(std::string mode) {
    choices_.DataMode = std::move(mode);
}

void Session::Request(std::string_view estimator, bool wanted) {
    if (wanted) {
        choices_.requested.emplace(estimator);
    } else if (const auto at = choices_.requested.find(estimator); at != choices_.requested.end()) {
        choices_.requested.erase(at);
    }
}

void Session::ChooseBridgeVariance(double variance) {
    choices_.BBVariance = variance;
}

void Session::ChooseMaxTime(double max_time) {
    choices_.BBMaxTime = max_time;
}

void Session::ChooseKernelH(double h) {
    choices_.KernelH = h;
}

void Session::ChooseMovementModel(std::string name) {
    choices_.AkdeModel = std::move(name);
}

void Session::TakeLoaded(IndependentLocations&& locations, LocationFile&& file,
                         std::optional<TableAnimals> table) {
    loaded_.locations = std::move(locations);
    loaded_.locations_table = std::move(table);
    loaded_.file = std::move(file);
    loaded_.last = LocationSet::Independent;
    // Per-location values belong to the locations they were computed for.
    for (auto& [name, result] : results_) {
        result.loc_lik.clear();
    }
}

void Session::TakeLoaded(Track&& track, LocationFile&& file, std::optional<TableAnimals> table) {
    loaded_.track = std::move(track);
    loaded_.track_table = std::move(table);
    loaded_.file = std::move(file);
    loaded_.last = LocationSet::Bridge;
}

void Session::TakeLoaded(UserPoints&& points) {
    loaded_.user_points = std::move(points);
}

void Session::Rename(std::string root) {
    loaded_.file.root = std::move(root);
}

EstimatorResult& Session::At(std::string_view estimator) {
    auto at = results_.find(estimator);
    if (at == results_.end()) {
        at = results_.emplace(std::string(estimator), EstimatorResult{}).first;
    }
    return at->second;
}

void Session::Put(std::string_view estimator, Matrix&& grid, std::vector<ResultTable> tables,
                  std::optional<double> effective_n) {
    EstimatorResult& result = At(estimator);
    result.grid = std::move(grid);
    result.tables = std::move(tables);
    result.effective_n = effective_n;
    result.saved = false;
}

void Session::PutLocationValues(std::string_view estimator, std::vector<double>&& loc_lik) {
    At(estimator).loc_lik = std::move(loc_lik);
}

void Session::PutScore(std::string_view estimator, const ModelScore& score,
                       std::optional<std::vector<double>> loc_lik) {
    EstimatorResult& result = At(estimator);
    result.score = score;
    result.score_error.clear();
    if (loc_lik) {
        result.loc_lik = std::move(*loc_lik);
    }
}

void Session::PutScoreFailure(std::string_view estimator, std::string error) {
    At(estimator).score_error = std::move(error);
}

void Session::MarkSaved(std::string_view estimator, std::optional<Matrix> shown) {
    EstimatorResult& result = At(estimator);
    result.saved = true;
    if (shown) {
        result.grid = std::move(*shown);
    }
}

void Session::MarkLikelihoodsWaiting(bool waiting) {
    likelihoods_waiting_ = waiting;
}

} // namespace ranvik
