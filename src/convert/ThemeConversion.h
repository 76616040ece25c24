#pragma once
// A whole theme converted in memory: the theme file's bytes and the fifteen field texts in; the
// three Siemens files, the preview picture with its JPEG, and how the theme came out, out. It
// makes of the bytes what the Open, Save and preview export commands make of the theme on a
// workspace, with the converter as a child process: the same files, to the byte, and the same
// messages. It opens no file, starts no process or thread and keeps nothing between calls, so
// several calls may run at once on several threads.
#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/ByteReader.h"
#include "bitmap/Bitmap.h"
#include "import/UnpackedTheme.h"
#include "siemens/ThemeCompose.h"

namespace vexaro {

// How a theme came out, from the user's side:
//   Converted  all three Siemens files were built from every bitmap their fields name;
//   Partial    what could be built was, and `problems` says what is missing and why;
//   Failed     nothing usable came out of the theme (it could not be opened, holds no bitmap
//              that a field names, or no Siemens file was built), or the converter failed for
//              a reason other than missing bitmaps.
enum class ThemeStatus { Converted, Partial, Failed };

// "converted", "partial", "failed".
const char* StatusWord(ThemeStatus status);

struct ThemeOutcome {
    ThemeStatus status = ThemeStatus::Failed;
    std::array<bool, 3> built{};       // the Siemens files (SiemensFiles order) that were made
    bool preview = false;              // the preview was made
    std::vector<std::string> problems; // one line each: lost bitmaps, missing fields, errors
    bool sheet = false;                // the contact sheet was written beside the preview
    std::string suggestedSet;          // the --set line a look inside the theme suggests, if any
    std::vector<std::string> notes;    // for a user who asks: how long each step took
};

// The lines of `text` that are not empty, added to `lines`.
void AppendLines(std::vector<std::string>& lines, const std::string& text);

// How a save came out: Failed when no file was built, when no field named a bitmap of the
// theme, or when the converter did not build a file whose bitmaps were all there; else Partial
// when a field's bitmap was missing; else Converted. `built` as the save tells, the problems
// one line per target (SaveOutcome::problems), `preview` false.
ThemeOutcome JudgeSave(const SaveOutcome& save);

// The JPEG quality of the preview a conversion gives, as the preview export writes it.
inline constexpr int kPreviewJpegQuality = 100;

struct ThemeConversion {
    ThemeOutcome outcome;
    std::array<std::vector<std::uint8_t>, 3> files; // the bytes of each Siemens file built, else empty
    Bitmap preview;                                 // the preview picture, when it was drawn
    std::vector<std::uint8_t> previewJpeg;          // the preview as JPEG, when it was made
    // The steps taken, in order, with how long each took, the one that failed included: "open"
    // (reading, checking and decoding the theme), "build" (the Siemens files), "preview"
    // (drawing and encoding it).
    std::vector<std::pair<std::string, std::chrono::steady_clock::duration>> steps;
};

// Converts the theme in `theme` (read where it lies) of `type`, whose file is called `fileName`
// in messages, with the bitmap number fields' texts `fields`: opened as the Open command opens
// it, the three Siemens files built as the save command builds them, the preview drawn as the
// preview export draws it with the carried caption face. A theme the Open command refuses, that
// unpacks no bitmap, or whose save or preview stops at a bitmap no reader takes, is Failed with
// the message; the files built before the failure are kept. Never throws.
ThemeConversion ConvertTheme(const ByteSource& theme, ThemeFileType type, const std::string& fileName,
                             const FieldTexts& fields);

} // namespace vexaro
