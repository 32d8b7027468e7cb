#pragma once

#include <string_view>

namespace ranvik {

// How a computation tells the user something mid-way without knowing about windows. The
// program shows a modal message box with an OK button; tests record the texts.
class Notifier {
public:
    virtual ~Notifier() = default;

    // Shows `message` and returns once the user has acknowledged it.
    virtual void Inform(std::string_view message) = 0;
};

} // namespace ranvik
