#include "import/ThemeInspect.h"

#include <filesystem>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Unicode.h"
#include "import/SisPackage.h"

namespace vexaro {

ThemeBytes ReadThemeFile(const std::string& file, ThemeFileType type)
{
    const std::filesystem::path path = PathFromUtf8(file);
    PositionedFile theme;
    int error = 0;
    if (const ReadFailure failure = theme.open(path, error); failure != ReadFailure::None)
        throw Error("Cannot open file " + Quoted(file) + ". " + ReadFailureReason(failure, error, 0));
    return ReadThemeBytes(ByteSource(theme, "Cannot read file " + Quoted(file) + ". "), type, file,
                          path.filename().string());
}

ThemeBytes ReadWorkspaceTheme(const Workspace& workspace)
{
    const std::filesystem::path mbm = workspace.source() / sis::kMultiBitmapName;
    if (!IsRegularFile(mbm))
        throw Error(NoThemeOpenMessage(workspace) + ", or name a theme file");
    return ReadThemeFile(mbm.string(), ThemeFileType::MultiBitmap);
}

ThemeFacts InspectThemeFile(const std::string& file, ThemeFileType type, const FieldTexts& fields)
{
    return DescribeTheme(ReadThemeFile(file, type), fields);
}

ThemeFacts InspectWorkspace(const Workspace& workspace, const FieldTexts& fields)
{
    return DescribeTheme(ReadWorkspaceTheme(workspace), fields);
}

} // namespace vexaro
