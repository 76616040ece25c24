#pragma once
// The Open and Clear commands of the source theme import.
#include <functional>
#include <string>
#include <vector>

#include "import/UnpackedTheme.h"
#include "tool/WindowSeam.h"
#include "tool/Workspace.h"

namespace vexaro {

// The redraw the commands end with (the source panel with its preview).
using Redraw = std::function<void()>;

// Brings the theme at `chosenPath` into the workspace and unpacks it. A new theme replaces the
// old one: the earlier "Nokia\temp.mbm" and "Nokia\mbm.txt" are removed before a package (whatever
// its extension) is extracted into "Nokia\" or a multi-bitmap file is copied there as
// "temp.mbm"; the converter then overwrites the numbered files in place, and the numbered files
// the new theme did not write are removed. The converter runs only on the command file this
// call has just written. `redraw` runs once the numbered files are settled, and the Open
// button's caption and the progress bar end as "Open" and 0 on every path, errors included.
//
// Returns what was unpacked; a damaged multi-bitmap file has been reported through the window
// ("File temp.mbm damaged !") and leaves an empty theme. Throws vexaro::Error, with the
// system's text on the first line and the file and reason after it, when:
//   - the chosen file cannot be read or is no regular file ("Cannot open file ..."); nothing
//     in the workspace has changed then;
//   - the package is damaged or refused (the package reader's messages);
//   - the package holds no multi-bitmap file (the theme is then empty);
//   - a workspace file or folder cannot be written ("Cannot create file ...", "Cannot create
//     folder ...") or the workspace cannot be made the current directory;
//   - the converter cannot be run ("Cannot run the converter ..."; the theme is then empty).
OpenOutcome OpenTheme(const Workspace& workspace, const std::string& chosenPath, ThemeFileType type, WindowSeam& window,
                      const Redraw& redraw);

// Throws the imported theme away ("Nokia\" with all it holds, as far as ClearFolder removes it),
// then runs `redraw`. A "Nokia" that is a link goes as a link. Throws Error naming what could
// not be deleted, after the redraw.
void ClearTheme(const Workspace& workspace, const Redraw& redraw);

} // namespace vexaro
