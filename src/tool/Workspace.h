#pragma once
// The workspace: the program folder and the folders "Nokia\", "Nokia\MBM\" and "Siemens\"
// inside it. The system's own texts name paths with "\"; on disk they are joined with the
// platform's separator.
#include <filesystem>
#include <string>

namespace vexaro {

class Workspace {
public:
    explicit Workspace(std::filesystem::path programFolder);

    const std::filesystem::path& folder() const { return folder_; }
    // The program folder as text, with its trailing separator.
    std::string folderText() const;
    std::filesystem::path source() const { return folder_ / "Nokia"; }
    std::filesystem::path unpacked() const { return folder_ / "Nokia" / "MBM"; }
    std::filesystem::path target() const { return folder_ / "Siemens"; }
    // "%sNokia\MBM\%s.bmp" with the field text used verbatim.
    std::filesystem::path sourceBitmap(const std::string& fieldText) const;

private:
    std::filesystem::path folder_;
};

// A path of the system's own texts ("Siemens\mbm.txt") as a path of this platform.
std::filesystem::path NativePath(const std::string& systemPath);

} // namespace vexaro
