#pragma once
// What opening a theme leaves: the numbered bitmaps of "Nokia\MBM\" and what the Open command
// reports about them. The Open command finds it out with files and the converter; an
// UnpackedTheme works it out from the theme file's bytes alone, writing nothing and running
// nothing, so that a conversion in memory sees the same bitmaps and says the same.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "bitmap/Bitmap.h"
#include "tool/FieldDefaults.h"

namespace vexaro {

// File types of the open dialog.
enum class ThemeFileType { Package = 1, MultiBitmap = 2 };

// The unpacking's paths as the system names them in its command file and the converter in its
// messages: the theme's multi-bitmap file and the folder of its numbered BMP files.
inline constexpr const char* kUnpackSource = "Nokia\\temp.mbm";
inline constexpr const char* kUnpackFolder = "Nokia\\MBM\\";

// Multi-bitmap file, the two fields the unpacking reads to count the bitmaps (integers
// little-endian):
//
//   offset              width  field
//   0                   16     file identifiers and their checksum     not read
//   16 (0x10)           4      bitmap table position (absolute)        unsigned
//   table position      4      bitmap count                            signed
struct MbmBitmapCount {
    std::uint32_t tablePosition = 0;
    std::int32_t count = 0;
};

inline constexpr std::uint32_t kMbmTablePositionOffset = 16;

// The two words above, or nothing when they do not lie in the bytes or cannot be read (the file
// is then damaged).
std::optional<MbmBitmapCount> ReadMbmBitmapCount(const ByteReader& mbm);

// What an Open unpacked. "Nokia\MBM\" then holds exactly this theme's numbered files: the
// bitmaps numbered 0 up to min(announced, 1000) - 1, less those in `lost`.
struct OpenOutcome {
    bool damaged = false;          // the multi-bitmap file could not be read ("File temp.mbm damaged !")
    int announced = 0;             // bitmaps the multi-bitmap file's header announces
    int unpacked = 0;              // numbered BMP files the converter wrote
    std::vector<int> lost;         // numbers the converter could not unpack, in ascending order
    std::string converterMessages; // what the converter said about them, one line each

    // Every announced bitmap is there (numbers stop at 999: a larger file is never complete).
    bool complete() const;
    // For the user: which bitmaps are missing and why, one line each ("" when none are). The
    // damaged message is not repeated: the window has shown it.
    std::string problems() const;
};

// Whether `name` is one of the converter's numbered files: three digits and ".bmp", or the
// alpha companion "NNN-alpha.bmp". Gives the number, or -1.
int NumberedFileNumber(const std::string& name);

// The message of a multi-bitmap file whose bitmap count cannot be read.
inline constexpr const char* kDamagedMessage = "File temp.mbm damaged !";

// The message of a package that holds no multi-bitmap file; `fileName` names the package.
std::string NoThemeBitmapsMessage(const std::string& fileName);

class UnpackedTheme {
public:
    // Opens the theme in `theme` (read where it lies; a package's multi-bitmap entry is inflated
    // into memory), of `type`, whose file is called `fileName` in messages. The pictures of the
    // bitmaps that `fields` name are kept; every other bitmap is decoded once to learn whether
    // the converter would unpack it, and dropped.
    //
    // Throws Error with the Open command's message when the package is refused or damaged (the
    // package reader's messages), holds no multi-bitmap file, or that file's bitmap count cannot
    // be read (kDamagedMessage); and when the bitmaps would decode to more than
    // mbm::kMaxThemePixels. Bitmaps the converter would not unpack are told in outcome().
    UnpackedTheme(const ByteSource& theme, ThemeFileType type, const std::string& fileName, const FieldTexts& fields);

    const OpenOutcome& outcome() const { return outcome_; }

    // The bitmap whose numbered file a field's text names ("003" names 003.bmp, "003-alpha" the
    // alpha companion of a bitmap with an alpha channel), as loading that file gives it: loaded
    // into `loader`, true; false when the Open would leave no such file. Throws
    // Error(kBitmapNotValid) for a bitmap without pixels, whose file no reader takes.
    bool load(const std::string& fieldText, Bitmap& loader) const;

    // load() as the builds and redraws take it, for `fields` (field n reads fields[n - 1]).
    FieldBitmapLoader loader(const FieldTexts& fields) const;

private:
    void unpack(const ByteReader& mbm, const std::string& fileName, const FieldTexts& fields);

    std::vector<std::uint8_t> extracted_; // a package's multi-bitmap entry
    OpenOutcome outcome_;
    // Pictures by field text; nothing for a bitmap without pixels.
    std::map<std::string, std::optional<Bitmap>> pictures_;
};

} // namespace vexaro
