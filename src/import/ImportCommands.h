#pragma once
// The Open and Clear commands of the source theme import.
#include <functional>
#include <string>
#include <vector>

#include "tool/WindowSeam.h"
#include "tool/Workspace.h"

namespace vexaro {

// File types of the open dialog.
enum class ThemeFileType { Package = 1, MultiBitmap = 2 };

// The redraw the commands end with (the source panel with its preview).
using Redraw = std::function<void()>;

// What an Open unpacked. "Nokia\MBM\" then holds exactly this theme's numbered files: the
// bitmaps numbered 0 up to min(announced, 1000) - 1, less those in `lost` (and any stale file
// that could not be removed, which `warnings` names).
struct OpenOutcome {
    bool damaged = false;          // the multi-bitmap file could not be read ("File temp.mbm damaged !")
    int announced = 0;             // bitmaps the multi-bitmap file's header announces
    int unpacked = 0;              // numbered BMP files the converter wrote
    std::vector<int> lost;         // numbers the converter could not unpack, in ascending order
    std::string converterMessages; // what the converter said about them, one line each
    // What the theme did not need but the user should know, one line each: files of the package
    // left out, stale files in "Nokia\MBM\" that could not be removed. No failure of the Open.
    std::vector<std::string> warnings;

    // Every announced bitmap is there (numbers stop at 999: a larger file is never complete).
    bool complete() const;
    // For the user: which bitmaps are missing and why, one line each ("" when none are). The
    // damaged message is not repeated: the window has shown it.
    std::string problems() const;
};

// Brings the theme at `chosenPath` into the workspace and unpacks it.
//
// First the theme is read and checked through, and nothing is written: the file must be
// readable, a package sound to its last entry and holding a multi-bitmap file, and that file
// readable as one, with at least one bitmap and no more pixels than mbm::kMaxThemePixels in the
// bitmaps it unpacks. A failure there leaves the workspace, and so the theme shown, as it was:
// the damaged message goes through the window ("File temp.mbm damaged !", then the user's file
// and why) and `damaged` is set; every other failure throws. Either message ends with the line
// kNothingChanged.
//
// Then the new theme replaces the old one: the earlier "Nokia\temp.mbm" and "Nokia\mbm.txt"
// are removed, the package is extracted into "Nokia\" or the multi-bitmap file copied there as
// "temp.mbm", the converter unpacks it and the numbered files the new theme did not write are
// removed. "Nokia\" and "Nokia\MBM\" are opened once, as real folders (a link or file in their
// place is removed), and everything of the command in them goes through those folders, so a
// folder swapped for a link meanwhile cannot redirect it. A failure from here on leaves what
// was unpacked (when the converter did not finish, nothing), runs `redraw`, and throws with a
// last line saying what is open now (AfterFailureLine).
//
// `redraw` runs once the numbered files are settled, and the Open button's caption and the
// progress bar end as "Open" and 0 on every path, errors included. Throws vexaro::Error, with
// the system's text on the first line and the file and reason after it, when:
//   - the chosen file cannot be read or is no regular file ("Cannot open file ...");
//   - the package is damaged or refused (the package reader's messages);
//   - the package holds no multi-bitmap file, or that file no bitmaps, or too many pixels;
//   - a workspace file or folder cannot be written ("Cannot create file ...", "Cannot create
//     folder ...") or the workspace cannot be made the current directory;
//   - the converter cannot be run ("Cannot run the converter ...").
OpenOutcome OpenTheme(const Workspace& workspace, const std::string& chosenPath, ThemeFileType type, WindowSeam& window,
                      const Redraw& redraw);

// The last line of a failed Open's message when nothing in the workspace was changed.
inline constexpr const char* kNothingChanged = "Nothing in the workspace has changed";
// The last line of a failed Open's message once it had begun to write: what is open now.
std::string AfterFailureLine(int unpacked, const std::string& themeName);

// The messages of a theme that gives nothing to unpack, one function each, for every command
// that meets them. `themeName` is the file as the user named it.
//   ""NAME" holds no theme bitmaps\nIt has no multi-bitmap (.mbm) file"
std::string NoMultiBitmapMessage(const std::string& themeName);
//   ""NAME" holds no bitmaps\nIts multi-bitmap file lists none"
std::string NoBitmapsMessage(const std::string& themeName);
//   ""NAME" is no multi-bitmap file that can be read\nREASON"
std::string UnreadableMultiBitmapMessage(const std::string& themeName, const std::string& reason);

// Throws the imported theme away ("Nokia\" with all it holds, as far as ClearFolder removes it),
// then runs `redraw`. A "Nokia" that is a link goes as a link. Throws Error naming what could
// not be deleted, after the redraw.
void ClearTheme(const Workspace& workspace, const Redraw& redraw);

} // namespace vexaro
