// The window program: one main window, no command line.
#include <QApplication>
#include <QCoreApplication>
#include <QStandardPaths>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/Unit1.h"

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

// The window works in its own folder, the way a program unpacked anywhere does. An installed
// copy cannot write there and works in the user's data folder instead.
fs::path WorkFolder(const fs::path& own)
{
    if (CanWriteIn(own))
        return own;
    const fs::path data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();
    std::error_code ec;
    fs::create_directories(data, ec);
    if (data.empty() || !fs::is_directory(data, ec))
        return own;   // the window then reports what it cannot write
    return data;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // No display name: the desktop would append it to the window's caption.
    QApplication::setApplicationName("Vexaro");
    const fs::path own = QCoreApplication::applicationDirPath().toStdString();
    const fs::path work = WorkFolder(own);
    // A copy working elsewhere still takes the numbers of a Settings.ini beside it.
    vexaro::app::TForm1 form(work, nullptr, nullptr, work == own ? fs::path() : own / "Settings.ini");
    form.show();
    const int status = QApplication::exec();
    // Settings that could not be written were reported; the exit status says so too.
    return status != 0 ? status : form.shutdownFailed() ? 1 : 0;
}
