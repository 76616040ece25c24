#include "CliRun.h"

#include <sstream>

#include "tool/ConverterInstall.h"
#include "base/Error.h"
#include "import/ImportCommands.h"
#include "preview/PreviewExport.h"
#include "ProcessRunner.h"
#include "preview/RasterFont.h"
#include "RecordingWindow.h"
#include "preview/TargetPreview.h"
#include "TestSupport.h"
#include "ThemePainter.h"
#include "siemens/ThemeBuild.h"

namespace vexaro::test {

namespace fs = std::filesystem;

CliResult RunCli(const std::vector<std::string>& args, const fs::path& scratch, const fs::path& input)
{
    fs::create_directories(scratch);
    const ProcessResult run = RunProcess(VEXARO_CLI, args, scratch, input);
    return CliResult{run.exitCode, run.out, run.err};
}

std::string CoreConversion(const std::string& file, bool package, const fs::path& folder,
                           const std::map<int, std::string>& fields)
{
    RecordingWindow window;
    for (const auto& [n, text] : fields)
        window.fields[n] = text;
    window.onDrawCaption = DrawCaption;
    const Workspace workspace(folder);
    fs::create_directories(folder);
    // The commands move into the workspace; the test goes on where it was.
    struct Return {
        fs::path to = fs::current_path();
        ~Return()
        {
            std::error_code ec;
            fs::current_path(to, ec);
        }
    } back;
    try {
        InstallConverter(folder);
        OpenTheme(workspace, file, package ? ThemeFileType::Package : ThemeFileType::MultiBitmap, window, [] {});
        if (!window.messages.empty())
            return window.messages.front();
        if (!fs::exists(workspace.source() / "temp.mbm"))
            return "no multi-bitmap file";
        SaveTheme(workspace, window);
        Bitmap image1;
        DrawTargetPreview(workspace, window, image1);
        ExportPreview(image1, (folder / "preview.jpg").string(), PreviewFileType::Jpeg);
    } catch (const Error& e) {
        return e.what();
    }
    return ConversionFiles(folder).size() == 4 ? "" : "not every file was built";
}

std::map<std::string, std::vector<std::uint8_t>> ConversionFiles(const fs::path& folder)
{
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const char* name : {"Backgroundimage.mbm", "EidPic.mbm", "Menu_Folders.mbm"}) {
        const fs::path path = folder / "Siemens" / name;
        if (fs::exists(path))
            files[name] = ReadBytes(path);
    }
    if (fs::exists(folder / "preview.jpg"))
        files["preview.jpg"] = ReadBytes(folder / "preview.jpg");
    return files;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::set<std::string> FilesUnder(const fs::path& folder)
{
    std::set<std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file())
            files.insert(it->path().lexically_relative(folder).generic_string());
    return files;
}

} // namespace vexaro::test
