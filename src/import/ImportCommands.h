#pragma once
// The Open and Clear commands of the source theme import.
#include <functional>
#include <string>

#include "tool/WindowSeam.h"
#include "tool/Workspace.h"

namespace vexaro {

// File types of the open dialog.
enum class ThemeFileType { Package = 1, MultiBitmap = 2 };

// The redraw the commands end with (the source panel with its preview).
using Redraw = std::function<void()>;

// Brings the theme at `chosenPath` into the workspace: a package (whatever its extension) is
// extracted into "Nokia\", a multi-bitmap file is copied there as "temp.mbm". When
// "Nokia\temp.mbm" then exists, the workspace becomes the current directory, the converter
// unpacks it into "Nokia\MBM\000.bmp" onwards and `redraw` runs. The Open button's caption
// and the progress bar end as "Open" and 0 either way.
//
// Throws vexaro::Error for a damaged package ("Error", or the package reader's messages) or
// when the workspace cannot be made the current directory; the caption and the progress bar
// then stay as they were and the files already written stay.
void OpenTheme(const Workspace& workspace, const std::string& chosenPath, ThemeFileType type, WindowSeam& window,
               const Redraw& redraw);

// Throws the imported theme away ("Nokia\" with all it holds, as far as ClearFolder removes
// it), then runs `redraw`.
void ClearTheme(const Workspace& workspace, const Redraw& redraw);

} // namespace vexaro
