#pragma once
// The look inside a theme (import/ThemeFacts.h) for a theme file, or for the theme opened in a
// workspace.
#include <string>

#include "import/ThemeFacts.h"
#include "tool/Workspace.h"

namespace vexaro {

// The theme file `file`; a package's multi-bitmap entry is read into memory. Throws Error when
// the file cannot be read ("Cannot open file "NAME". REASON"), and as ReadThemeBytes does.
ThemeBytes ReadThemeFile(const std::string& file, ThemeFileType type);

// The theme opened in `workspace` ("Nokia\temp.mbm"). Throws Error when none is
// (NoThemeOpenMessage, ", or name a theme file"), and as ReadThemeFile does.
ThemeBytes ReadWorkspaceTheme(const Workspace& workspace);

// ReadThemeFile, then DescribeTheme.
ThemeFacts InspectThemeFile(const std::string& file, ThemeFileType type, const FieldTexts& fields);

// ReadWorkspaceTheme, then DescribeTheme.
ThemeFacts InspectWorkspace(const Workspace& workspace, const FieldTexts& fields);

} // namespace vexaro
