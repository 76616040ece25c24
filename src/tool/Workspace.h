#pragma once
// The workspace: the program folder and the folders "Nokia\", "Nokia\MBM\" and "Siemens\"
// inside it. The system's own texts name paths with "\"; on disk they are joined with the
// platform's separator.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "bitmap/Bitmap.h"

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
    // The numbered BMP file that a field names, when the text is a bitmap name (IsBitmapName)
    // and a file of that name lies in "Nokia\MBM\" (also one that cannot be opened, which its
    // reader then reports). Anything else, a folder, FIFO or device of that name included, is a
    // missing bitmap.
    std::optional<std::filesystem::path> findSourceBitmap(const std::string& fieldText) const;
    // Loads the file that findSourceBitmap finds into `loader`: true; false, with `loader` as it
    // was, when there is none. Throws what LoadBmpFile throws.
    bool loadSourceBitmap(const std::string& fieldText, Bitmap& loader) const;

private:
    std::filesystem::path folder_;
};

// The longest field text that still makes a file name ("NNN" + ".bmp" within 255 bytes).
inline constexpr std::size_t kMaxBitmapNameLength = 251;

// Whether a field's text can name a file directly in "Nokia\MBM\": not empty, at most
// kMaxBitmapNameLength bytes, no "/", "\", ":" or NUL (so no absolute, rooted, drive or
// relative path), not "." or "..", and no Windows device name. Field texts are otherwise used
// verbatim: "2" and "abc" are names (of files the unpacking never writes).
bool IsBitmapName(const std::string& fieldText);

// Windows opens these names, with any extension, as devices rather than files: CON, PRN, AUX,
// NUL, COM1 to COM9, LPT1 to LPT9, in any case, with or without trailing blanks.
bool IsWindowsDeviceName(std::string_view name);

// A path of the system's own texts ("Siemens\mbm.txt") as a path of this platform.
std::filesystem::path NativePath(const std::string& systemPath);

} // namespace vexaro
