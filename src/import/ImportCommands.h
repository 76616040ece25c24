#pragma once
// The Open and Clear commands of the source theme import.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "import/UnpackedTheme.h"
#include "tool/WindowSeam.h"
#include "tool/Workspace.h"

namespace vexaro {

// The redraw the commands end with (the source panel with its preview).
using Redraw = std::function<void()>;

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

// The same for a theme file whose bytes are in memory (standard input), called `name` in
// messages, which must stay as they are until the call returns.
OpenOutcome OpenThemeBytes(const Workspace& workspace, std::span<const std::uint8_t> bytes, const std::string& name,
                           ThemeFileType type, WindowSeam& window, const Redraw& redraw);

// The last line of a failed Open's message when nothing in the workspace was changed.
inline constexpr const char* kNothingChanged = "Nothing in the workspace has changed";
// The last line of a failed Open's message once it had begun to write: what is open now.
std::string AfterFailureLine(int unpacked, const std::string& themeName);

// Throws the imported theme away ("Nokia\" with all it holds, as far as ClearFolder removes it),
// then runs `redraw`. A "Nokia" that is a link goes as a link. Throws Error naming what could
// not be deleted, after the redraw.
void ClearTheme(const Workspace& workspace, const Redraw& redraw);

} // namespace vexaro
