#include "batch/batch_folder.h"

#include "input/telemetry_loading.h"

#include <fstream>
#include <unistd.h>

namespace ranvik {

std::string AnimalFolderName(std::string_view id) {
    std::string name = FileNamePart(id);
    if (name.empty() || name.front() == '.') {
        name.insert(name.begin(), '_'); // never hidden, never "." or ".."
    }
    return name;
}

AnimalFolder::AnimalFolder(const std::filesystem::path& out, const std::string& name)
    : final_(out / name), partial_(out / ("." + name + ".partial-" + std::to_string(getpid()))) {
    std::error_code ignored;
    std::filesystem::remove_all(partial_, ignored);
    std::filesystem::create_directories(partial_, made_);
}

AnimalFolder::~AnimalFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(partial_, ignored);
}

std::string AnimalFolder::Error() const {
    return made_ ? "The folder " + partial_.string() + " cannot be made: " + made_.message()
                 : std::string();
}

Status AnimalFolder::Finish() {
    std::error_code error;
    std::filesystem::remove_all(final_, error);
    std::filesystem::rename(partial_, final_, error);
    if (error) {
        return Status::Failure("The folder " + final_.string() +
                               " cannot be written: " + error.message());
    }
    return {};
}

void RemovePartialFolders(const std::filesystem::path& out) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(out, error)) {
        const std::string name = entry.path().filename().string();
        if ((name.starts_with(".") && name.find(".partial-") != std::string::npos) ||
            name.starts_with("summary.csv.partial-")) {
            std::filesystem::remove_all(entry.path(), error);
        }
    }
}

Status WriteWholeFile(const std::filesystem::path& path, std::string_view text) {
    const std::filesystem::path partial = path.string() + ".partial-" + std::to_string(getpid());
    {
        std::ofstream out(partial, std::ios::binary);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out.flush()) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            return Status::Failure(path.string() + " cannot be written.");
        }
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    if (error) {
        return Status::Failure(path.string() + " cannot be written: " + error.message());
    }
    return {};
}

} // namespace ranvik
