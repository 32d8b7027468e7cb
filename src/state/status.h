#pragma once

#include <string>
#include <utility>

namespace ranvik {

// Outcome of a step that can fail or be cancelled. Done when there is no error and the user
// did not cancel; otherwise `error` is a sentence for the user (empty after a cancel).
struct Status {
    std::string error;
    bool cancelled = false;

    [[nodiscard]] bool Ok() const { return error.empty() && !cancelled; }

    [[nodiscard]] static Status Failure(std::string message) { return {std::move(message), false}; }
    [[nodiscard]] static Status Cancelled() { return {{}, true}; }
};

// A value together with the status of the step that computed it; `value` is meaningful only
// when the status is Ok. A function returning StatusOr<T> returns either its value or the
// Status that stopped it.
template <class T> struct StatusOr {
    T value{};
    Status status;

    StatusOr() = default;
    StatusOr(T v) : value(std::move(v)) {}       // NOLINT: converting, like a return value
    StatusOr(Status s) : status(std::move(s)) {} // NOLINT: a failure or a cancel

    [[nodiscard]] bool Ok() const { return status.Ok(); }
};

} // namespace ranvik
