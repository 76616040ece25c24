#include "import/ThemeInspect.h"

#include <filesystem>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Unicode.h"
#include "import/SisPackage.h"

namespace vexaro {

ThemeFacts InspectThemeFile(const std::string& file, ThemeFileType type, const FieldTexts& fields)
{
    const std::filesystem::path path = PathFromUtf8(file);
    PositionedFile theme;
    int error = 0;
    if (const ReadFailure failure = theme.open(path, error); failure != ReadFailure::None)
        throw Error("Cannot open file " + Quoted(file) + ". " + ReadFailureReason(failure, error, 0));
    return InspectTheme(ByteSource(theme, "Cannot read file " + Quoted(file) + ". "), type, file,
                        path.filename().string(), fields);
}

ThemeFacts InspectWorkspace(const Workspace& workspace, const FieldTexts& fields)
{
    const std::filesystem::path mbm = workspace.source() / sis::kMultiBitmapName;
    if (!IsRegularFile(mbm))
        throw Error("No theme is open in " + Quoted(workspace.folder().string()) +
                    ": open one first, or name a theme file");
    return InspectThemeFile(mbm.string(), ThemeFileType::MultiBitmap, fields);
}

} // namespace vexaro
