// The window program: one main window; its command line names at most a theme to open.
#include <QApplication>
#include <QCoreApplication>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/Unit1.h"
#include "base/Unicode.h"

namespace {

namespace fs = std::filesystem;

bool CanWriteIn(const fs::path& folder)
{
    const fs::path probe = folder / ".vexaro-write-probe";
    const bool written = static_cast<bool>(std::ofstream(probe));
    std::error_code ec;
    fs::remove(probe, ec);
    return written;
}

// Installers (the Debian package, cmake --install, the Windows installer) put this file beside
// the program.
constexpr const char* kInstalledMark = "vexaro-installed";

// The window works in its own folder, the way a program unpacked anywhere does. An installed
// copy never works there, even where it could write (as root, or under wine), but in the
// user's data folder instead.
fs::path WorkFolder(const fs::path& own)
{
    std::error_code ec;
    if (!fs::exists(own / kInstalledMark, ec) && CanWriteIn(own))
        return own;
    const fs::path data =
        vexaro::PathFromUtf8(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString());
    fs::create_directories(data, ec);
    if (data.empty() || !fs::is_directory(data, ec))
        return own; // the window then reports what it cannot write
    return data;
}

constexpr const char* kHelp = "Usage: vexaro [THEME]\n"
                              "The Vexaro window: open a Nokia phone theme (a .sis package or an .mbm file), see its\n"
                              "bitmaps and a preview of the Siemens screen, and build the three Siemens theme files.\n"
                              "THEME, a .sis or .mbm file, is opened at start.\n"
                              "\n"
                              "Options:\n"
                              "  --help     print this text and exit\n"
                              "  --version  print the version and exit\n";

} // namespace

int main(int argc, char* argv[])
{
    // Answered before any window exists, so that they work without a display (help2man writes
    // the manual page from them).
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("vexaro (Vexaro) " VEXARO_VERSION "\n", stdout);
        return 0;
    }
    QApplication application(argc, argv);
    // No display name: the desktop would append it to the window's caption.
    QApplication::setApplicationName("Vexaro");
    const fs::path own = vexaro::PathFromUtf8(QCoreApplication::applicationDirPath().toStdString());
    const fs::path work = WorkFolder(own);
    // A copy working elsewhere still takes the numbers of a Settings.ini beside it.
    vexaro::app::TForm1 form(work, nullptr, nullptr, work == own ? fs::path() : own / "Settings.ini");
    form.show();
    // A theme named on the command line (a file association, a desktop launcher) is opened
    // once the window is up, as if chosen in the Open dialog.
    const QStringList args = QApplication::arguments();
    if (args.size() == 2) {
        const QString theme = args[1];
        QTimer::singleShot(
            0, &form, [&form, theme] { form.openChosen(theme, theme.endsWith(".mbm", Qt::CaseInsensitive) ? 2 : 1); });
    }
    const int status = QApplication::exec();
    // Settings that could not be written were reported; the exit status says so too.
    return status != 0 ? status : form.shutdownFailed() ? 1 : 0;
}
