#include "tool/Workspace.h"

#include <utility>

namespace vexaro {

Workspace::Workspace(std::filesystem::path programFolder) : folder_(std::move(programFolder))
{
    // Drop a trailing separator so that folder() / name never holds an empty component.
    if (folder_.has_filename() == false && folder_.has_parent_path() && folder_ != folder_.root_path())
        folder_ = folder_.parent_path();
}

std::string Workspace::folderText() const
{
    std::string text = folder_.string();
    if (text.empty() || text.back() != static_cast<char>(std::filesystem::path::preferred_separator))
        text += static_cast<char>(std::filesystem::path::preferred_separator);
    return text;
}

std::filesystem::path Workspace::sourceBitmap(const std::string& fieldText) const
{
    return unpacked() / (fieldText + ".bmp");
}

std::filesystem::path NativePath(const std::string& systemPath)
{
    std::string p = systemPath;
    for (char& c : p)
        if (c == '\\' || c == '/')
            c = static_cast<char>(std::filesystem::path::preferred_separator);
    return std::filesystem::path(p);
}

} // namespace vexaro
