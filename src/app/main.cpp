// The window program: one main window, no command line.
#include <QApplication>
#include <QCoreApplication>

#include "Unit1.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vexaro");
    QApplication::setApplicationDisplayName("Vexaro");
    vexaro::app::TForm1 form(QCoreApplication::applicationDirPath().toStdString());
    form.show();
    return QApplication::exec();
}
