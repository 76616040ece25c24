#include "tool/Workspace.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "base/Unicode.h"
#include "bitmap/BmpCodec.h"

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
    return unpacked() / PathFromUtf8(fieldText + ".bmp");
}

std::optional<std::filesystem::path> Workspace::findSourceBitmap(const std::string& fieldText) const
{
    if (!IsBitmapName(fieldText))
        return std::nullopt;
    std::filesystem::path path = sourceBitmap(fieldText);
    // Something there that cannot even be examined (a link loop, no permission) is present: the
    // reader then says why it cannot be opened. Folders, FIFOs and devices are no bitmaps.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return std::nullopt;
    if (!ec && status.type() != std::filesystem::file_type::regular)
        return std::nullopt;
    return path;
}

bool Workspace::loadSourceBitmap(const std::string& fieldText, Bitmap& loader) const
{
    const std::optional<std::filesystem::path> path = findSourceBitmap(fieldText);
    if (!path)
        return false;
    LoadBmpFile(path->string(), loader);
    return true;
}

bool IsBitmapName(const std::string& text)
{
    if (text.empty() || text.size() > kMaxBitmapNameLength || text == "." || text == "..")
        return false;
    if (text.find_first_of(std::string_view("/\\:\0", 4)) != std::string::npos)
        return false;
    return !IsWindowsDeviceName(text + ".bmp");
}

bool IsWindowsDeviceName(std::string_view name)
{
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    std::string upper(base);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL")
        return true;
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '1' &&
           upper[3] <= '9';
}

std::filesystem::path NativePath(const std::string& systemPath)
{
    std::string p = systemPath;
    for (char& c : p)
        if (c == '\\' || c == '/')
            c = static_cast<char>(std::filesystem::path::preferred_separator);
    return PathFromUtf8(p);
}

} // namespace vexaro
