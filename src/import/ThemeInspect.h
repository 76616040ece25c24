#pragma once
// The look inside a theme (import/ThemeFacts.h) of a theme file on the disk, or of the theme
// opened in a workspace. The file is read, never unpacked.
#include <string>

#include "import/ThemeFacts.h"
#include "tool/Workspace.h"

namespace vexaro {

// The theme file `file`, shown as the user named it. Throws Error when the file cannot be read
// ("Cannot open file "NAME". REASON"), and as InspectTheme does.
ThemeFacts InspectThemeFile(const std::string& file, ThemeFileType type, const FieldTexts& fields);

// The theme opened in `workspace` ("Nokia\temp.mbm"). Throws Error when none is, and as
// InspectThemeFile does.
ThemeFacts InspectWorkspace(const Workspace& workspace, const FieldTexts& fields);

} // namespace vexaro
