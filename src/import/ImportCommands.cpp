#include "import/ImportCommands.h"

#include <filesystem>
#include <system_error>

#include "tool/ChildProcess.h"
#include "tool/FileHelpers.h"
#include "import/SisPackage.h"
#include "import/UnpackJob.h"

namespace vexaro {

namespace fs = std::filesystem;

void OpenTheme(const Workspace& workspace, const std::string& chosenPath, ThemeFileType type, WindowSeam& window,
               const Redraw& redraw)
{
    // The source folder is not emptied: files of earlier themes stay until they are replaced
    // or the Clear command removes them.
    const fs::path source = workspace.source();
    std::error_code ec;
    fs::create_directories(source, ec);

    if (type == ThemeFileType::Package) {
        ExtractSisPackage(chosenPath, (source / "").string(), window);
    } else {
        // A failed copy leaves an earlier "temp.mbm" in place, which is then unpacked again.
        CopyFileReplacing(chosenPath, source / "temp.mbm", ec);
    }

    if (fs::exists(source / "temp.mbm", ec)) {
        window.setOpenCaption("Opening mbm file...");
        window.processMessages();
        fs::current_path(workspace.folder(), ec);
        if (ec)
            ThrowIoError(ec.value());
        WriteUnpackCommandFile("Nokia\\temp.mbm", "Nokia\\mbm.txt", "", "Nokia\\MBM\\", window);
        RunChildProcess("bmconv.exe Nokia\\mbm.txt", kShowHidden);
        redraw();
    }

    window.setProgressPosition(0);
    window.setOpenCaption("Open");
}

void ClearTheme(const Workspace& workspace, const Redraw& redraw)
{
    ClearFolder(workspace.source());
    redraw();
}

} // namespace vexaro
