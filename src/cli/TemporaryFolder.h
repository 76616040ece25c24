#pragma once
// A folder of the program's own under the system's temporary folder, removed with all it holds
// when the object goes.
#include <filesystem>
#include <string>

namespace vexaro::cli {

class TemporaryFolder {
public:
    // Creates "<temp>/<prefix>-<process>-<n>", a name no other folder has. Throws Error naming
    // the folder when it cannot be created.
    explicit TemporaryFolder(const std::string& prefix);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace vexaro::cli
