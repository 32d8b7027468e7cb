#pragma once

#include "state/status.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace ranvik {

// The folder an animal's files go to, under the run's folder: its name with every character
// that may not stand in a file name replaced by '_'.
[[nodiscard]] std::string AnimalFolderName(std::string_view id);

// An animal's folder as a run makes it: its files are written into a hidden folder beside it
// (".<name>.partial-<process>"), which takes its place only once complete, so the folder is
// either whole or absent. The hidden folder goes when this object does.
class AnimalFolder {
public:
    AnimalFolder(const std::filesystem::path& out, const std::string& name);
    ~AnimalFolder();
    AnimalFolder(const AnimalFolder&) = delete;
    AnimalFolder& operator=(const AnimalFolder&) = delete;

    // Where the files are written until Finish.
    [[nodiscard]] const std::filesystem::path& Partial() const { return partial_; }
    // Why the hidden folder could not be made; empty when it was.
    [[nodiscard]] std::string Error() const;
    // Puts the finished folder in place of an earlier one.
    [[nodiscard]] Status Finish();

private:
    std::filesystem::path final_;
    std::filesystem::path partial_;
    std::error_code made_;
};

// Removes what a run that was killed left half written in `out`: its hidden ".<animal>.partial-"
// folders and "summary.csv.partial-" files.
void RemovePartialFolders(const std::filesystem::path& out);

// Writes `text` to `path` through a temporary file beside it that replaces it once complete.
[[nodiscard]] Status WriteWholeFile(const std::filesystem::path& path, std::string_view text);

} // namespace ranvik
