// The main window headless: start-up and shutdown with Settings.ini and the converter, the
// commands through recorded dialogs and message boxes, the pane toggle, and screenshots.
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QProcess>
#include <QProgressBar>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QtTest/QTest>

#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bitmap/BmpCodec.h"
#include "tool/ConverterImage.h"
#include "tool/FieldDefaults.h"
#include "PackageBuilder.h"
#include "TestSupport.h"
#include "ThemePainter.h"
#include "app/FormSeam.h"
#include "app/Unit1.h"

namespace fs = std::filesystem;
using vexaro::app::TForm1;

// The corpus guard of the gtest programs, for QTest: skip when the corpus is absent, fail under CI.
#define APP_REQUIRE_CORPUS()                                                                                           \
    do {                                                                                                               \
        if (::vexaro::test::CorpusDir().empty()) {                                                                     \
            if (::vexaro::test::UnderCi())                                                                             \
                QFAIL("the shared corpus is missing, and CI needs it");                                                \
            QSKIP("the shared corpus (../shared/corpus) is absent: test skipped");                                     \
        }                                                                                                              \
    } while (0)

namespace {

struct Answer {
    bool accept = true;
    QString path;
    int type = 1;
};

// Dialogs that answer from a queue and record what they were started with.
struct RecordedDialogs : vexaro::app::FileDialogs {
    std::deque<Answer>* answers;
    std::vector<Answer>* started;
    QStringList* recent;
    bool chooseOpen(QWidget*, const QString& filter, const QStringList& recentThemes, QString& path, int& type) override
    {
        *recent = recentThemes;
        return take(filter, path, type);
    }
    bool chooseSave(QWidget*, const QString& filter, QString& path, int& type) override
    {
        return take(filter, path, type);
    }
    bool take(const QString& filter, QString& path, int& type)
    {
        filters.push_back(filter);
        started->push_back(Answer{true, path, type});
        if (answers->empty())
            return false;
        const Answer a = answers->front();
        answers->pop_front();
        if (!a.accept)
            return false;
        path = a.path;
        type = a.type;
        return true;
    }
    std::vector<QString> filters;
};

struct RecordedBoxes : vexaro::app::MessageBoxes {
    std::vector<QString>* errors;
    std::vector<QString>* messages;
    std::vector<QString>* notices;
    std::vector<QString>* informed;
    std::deque<bool>* replies;
    void showError(QWidget*, const QString& text) override { errors->push_back(text); }
    void showMessage(QWidget*, const QString& text) override { messages->push_back(text); }
    // Information boxes are told apart from plain ones by their icon only.
    void showInformation(QWidget*, const QString& text) override { messages->push_back("(i) " + text); }
    bool ask(QWidget*, const QString& text) override
    {
        messages->push_back(text);
        const bool yes = !replies->empty() && replies->front();
        if (!replies->empty())
            replies->pop_front();
        return yes;
    }
    void notify(QWidget*, const QString& text) override { notices->push_back(text); }
    void inform(QWidget*, const QString& text) override { informed->push_back(text); }
    void withdrawNotice() override {}
};

// One window in a folder of its own, with everything it shows recorded.
struct Harness {
    fs::path folder;
    std::deque<Answer> answers;
    std::vector<Answer> started;
    std::vector<QString> errors, messages, notices, informed;
    QStringList recent; // what the Open dialog was offered
    std::deque<bool> replies;
    std::unique_ptr<TForm1> form;

    explicit Harness(fs::path f) : folder(std::move(f)) {}
    TForm1& start(fs::path settingsBesideProgram = {})
    {
        auto dialogs = std::make_unique<RecordedDialogs>();
        dialogs->answers = &answers;
        dialogs->started = &started;
        dialogs->recent = &recent;
        auto boxes = std::make_unique<RecordedBoxes>();
        boxes->errors = &errors;
        boxes->messages = &messages;
        boxes->notices = &notices;
        boxes->informed = &informed;
        boxes->replies = &replies;
        form = std::make_unique<TForm1>(folder, std::move(dialogs), std::move(boxes), std::move(settingsBesideProgram));
        return *form;
    }
    void stop() { form.reset(); }
};

std::string ReadText(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

QImage Shown(const QLabel* image) { return image->pixmap().toImage().convertToFormat(QImage::Format_RGB888); }

int DistinctColours(const QImage& image)
{
    std::vector<QRgb> seen;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3) {
            const QRgb c = image.pixel(x, y);
            if (std::find(seen.begin(), seen.end(), c) == seen.end())
                seen.push_back(c);
        }
    return static_cast<int>(seen.size());
}

QString Corpus(const char* name) { return QString::fromStdString((vexaro::test::CorpusDir() / name).string()); }

} // namespace

class AppTest : public QObject {
    Q_OBJECT

private slots:
    // Start directory hands the folder to xdg-open and says so when no program took it.
    void startDirectoryShowsTheProgramFolderOrSaysItCannot()
    {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
        vexaro::test::TempDir dir, bin;
        Harness h(dir.path());
        TForm1& form = h.start();
        const QByteArray path = qgetenv("PATH");
        const auto restore = qScopeGuard([&] { qputenv("PATH", path); });
        qputenv("PATH", QByteArray::fromStdString(bin.str()) + ":" + path);
        for (const int status : {0, 3}) {
            {
                std::ofstream script(bin / "xdg-open");
                script << "#!/bin/sh\nprintf '%s' \"$1\" > \"" << (bin / "asked").string() << "\"\nexit " << status
                       << "\n";
            }
            fs::permissions(bin / "xdg-open", fs::perms::owner_all);
            fs::remove(bin / "asked");
            form.SpeedButton4->click(); // no workspace folders yet
            QTRY_VERIFY(fs::exists(bin / "asked") && form.findChild<QProcess*>() == nullptr);
            QCOMPARE(ReadText(bin / "asked"), vexaro::Workspace(dir.path()).folderText());
            QCOMPARE(h.messages.size(), static_cast<std::size_t>(status == 0 ? 0 : 1));
        }
        QCOMPARE(h.messages[0], "There is no file manager to show the folder\n" +
                                    QString::fromStdString(vexaro::Workspace(dir.path()).folderText()));
        QVERIFY(h.errors.empty());
#else
        QSKIP("xdg-open is asked only on Unix desktops");
#endif
    }

    void errorTextGetsAFullStopAfterLettersAndDigitsOnly()
    {
        QCOMPARE(vexaro::app::ErrorBoxText("Bitmap image is not valid"), QString("Bitmap image is not valid."));
        QCOMPARE(vexaro::app::ErrorBoxText("Code 7"), QString("Code 7."));
        QCOMPARE(vexaro::app::ErrorBoxText("Done."), QString("Done."));
        QCOMPARE(vexaro::app::ErrorBoxText("Stop!"), QString("Stop!"));
        QCOMPARE(vexaro::app::ErrorBoxText("Cannot create file \"x\". (y)"), QString("Cannot create file \"x\". (y)"));
        QCOMPARE(vexaro::app::ErrorBoxText("say \"x\""), QString("say \"x\""));
        QCOMPARE(vexaro::app::ErrorBoxText(""), QString(""));
        QCOMPARE(vexaro::app::QtFilter(vexaro::app::kOpenFilter), QString("SIS file (*.sis);;MBM file (*.mbm)"));
        QCOMPARE(vexaro::app::QtFilter("Pictures|*.jpg;*.bmp"), QString("Pictures (*.jpg *.bmp)"));
    }

    // The Open dialog also starts in the folder of the latest theme and offers the folders of
    // the recent ones in its history.
    void realDialogsReportTheChosenFileType()
    {
        vexaro::test::TempDir dir;
        vexaro::test::WriteBytes(dir / "theme.mbm", {'x'});
        vexaro::test::WriteBytes(dir / "old.bmp", {'x'});
        fs::create_directories(dir / "themes");
        const QString themes = QString::fromStdString((dir / "themes").string());
        QString startedIn;
        QStringList history;
        // Picks a file type and a name in the Qt dialog once it is up.
        auto answer = [&](const QString& nameFilter, const QString& file) {
            QTimer::singleShot(0, [=, &startedIn, &history] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog != nullptr);
                startedIn = dialog->directory().absolutePath();
                history = dialog->history();
                dialog->selectNameFilter(nameFilter);
                dialog->selectFile(file);
                static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides it
            });
        };
        QWidget owner;
        vexaro::app::QtFileDialogs dialogs;
        QString path;
        int type = 1;
        answer("MBM file (*.mbm)", QString::fromStdString((dir / "theme.mbm").string()));
        const QStringList recent = {themes + "/last.sis", dir.str().c_str() + QString("/gone/a.sis"),
                                    themes + "/b.mbm"};
        QVERIFY(dialogs.chooseOpen(&owner, vexaro::app::QtFilter(vexaro::app::kOpenFilter), recent, path, type));
        QCOMPARE(type, 2);
        QCOMPARE(QFileInfo(path).fileName(), QString("theme.mbm"));
        QCOMPARE(startedIn, themes);
        QCOMPARE(history, QStringList{themes}); // each folder once, and only those that are there

        // An existing name is taken without a question.
        path.clear();
        type = 1;
        answer("Bitmap (*.bmp)", QString::fromStdString((dir / "old.bmp").string()));
        QVERIFY(dialogs.chooseSave(&owner, vexaro::app::QtFilter(vexaro::app::kSaveFilter), path, type));
        QCOMPARE(type, 2);
        QCOMPARE(QFileInfo(path).fileName(), QString("old.bmp"));
    }

    void firstStartInAnEmptyFolder()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        QVERIFY(h.errors.empty());
        for (int n = 1; n <= 15; ++n)
            QCOMPARE(form.Edit[n]->text().toStdString(), vexaro::FieldDefault(n));
        QCOMPARE(form.windowTitle(), QString("Vexaro v1.0 by Tarvek aka Tvk"));
        QCOMPARE(form.outerWidth(), 460);
        QCOMPARE(form.height(), 421);
        QCOMPARE(form.SpeedButton5->geometry(), QRect(428, 0, 24, 421));
        QCOMPARE(form.ProgressBar1->geometry(), QRect(0, 404, 428, 17));
        QCOMPARE(form.SpeedButton5->text(), QString(">"));
        QVERIFY(fs::file_size(dir / "bmconv.exe") > 0);
        QVERIFY(!fs::exists(dir / "Settings.ini")); // not created at start-up
        // With no theme the panel is face colour and the preview is drawn on its dark fill.
        const QImage panel = Shown(form.Image2);
        QCOMPARE(panel.size(), QSize(176, 220));
        QCOMPARE(QColor(panel.pixel(10, 10)), form.palette().color(QPalette::Button));
        QCOMPARE(QColor(Shown(form.Image1).pixel(0, 0)), QColor(46, 46, 46));
        h.stop();

        const std::string ini = ReadText(dir / "Settings.ini");
        std::string expected = "[Files]\r\n";
        for (int n = 1; n <= 15; ++n)
            expected += std::to_string(n) + "=" + vexaro::FieldDefault(n) + "\r\n";
        QCOMPARE(ini, expected);
    }

    void layoutNamesAndFocusOrder()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        const char* names[] = {"Panel2",       "SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4",
                               "SpeedButton5", "SpeedButton6", "SpeedButton7", "SpeedButton8", "GroupBox1",
                               "GroupBox2",    "Image1",       "Image2",       "menu",         "submenu",
                               "Label1",       "Label2",       "Label3",       "Label4",       "ProgressBar1"};
        for (const char* name : names)
            QVERIFY2(form.findChild<QWidget*>(name) != nullptr, name);
        for (int n = 1; n <= 15; ++n)
            QCOMPARE(form.findChild<QLineEdit*>(QString("Edit%1").arg(n)), form.Edit[n]);
        QCOMPARE(form.Label4->text(), QString("Camera    Organiser   Music     Games      Extras      Setup"));
        QCOMPARE(form.findChild<QWidget*>("Image1")->geometry(), QRect(454, 0, 280, 385));
        QCOMPARE(form.findChild<QWidget*>("submenu")->geometry(), QRect(8, 320, 281, 44));
        QCOMPARE(form.Edit[15]->geometry(), QRect(248, 368, 42, 21));
        QCOMPARE(form.SpeedButton1->focusPolicy(), Qt::NoFocus);
        QVERIFY(QFileInfo::exists(":/vexaro.ico"));
        QVERIFY(!form.windowIcon().pixmap(32, 32).isNull());
        if (QFileInfo::exists("/usr/share/wine/fonts/ms_sans_serif.ttf"))
            QCOMPARE(QFontInfo(form.font()).family(), QString("MS Sans Serif"));

        // Tab walks the edits only, in the stored focus order, and wraps.
        form.show();
        QApplication::setActiveWindow(&form);
        form.Edit[2]->setFocus();
        const int order[] = {2, 1, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15, 9, 8, 2};
        for (std::size_t i = 1; i < std::size(order); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.Edit[order[i]]));
        }
    }

    void editedTextsComeBackExactly()
    {
        vexaro::test::TempDir dir;
        {
            Harness h(dir.path());
            TForm1& form = h.start();
            form.Edit[1]->setText("2");
            form.Edit[4]->setText("");
            form.Edit[9]->setText("abc def");
            form.Edit[15]->setText("0x7;=");
            h.stop();
        }
        Harness h(dir.path());
        TForm1& form = h.start();
        QCOMPARE(form.Edit[1]->text(), QString("2"));
        QCOMPARE(form.Edit[4]->text(), QString(""));
        QCOMPARE(form.Edit[9]->text(), QString("abc def"));
        QCOMPARE(form.Edit[15]->text(), QString("0x7;="));
        QCOMPARE(form.Edit[2]->text(), QString("003"));
    }

    void damagedSettingsFileNeverStopsTheWindow()
    {
        vexaro::test::TempDir dir;
        std::vector<std::uint8_t> junk = {0, 0xFF, 0x1A, '\n', '[', 'F', 'I', 'L', 'E', 'S', ']', '\n', '1', '='};
        junk.insert(junk.end(), 5000, 'x');
        junk.insert(junk.end(), {'\n', 0xFE, 0, '=', '\n', '2', '=', '\n', '[', '\n', '3'});
        vexaro::test::WriteBytes(dir / "Settings.ini", junk);
        Harness h(dir.path());
        TForm1& form = h.start();
        QCOMPARE(form.Edit[1]->text(), QString(2047, 'x')); // cut to 2047 characters
        QCOMPARE(form.Edit[2]->text(), QString(""));        // a present but empty key
        QCOMPARE(form.Edit[3]->text(), QString("004"));     // a new section "" began before key 3
        QVERIFY(h.errors.empty());
        h.stop();
        QVERIFY(ReadText(dir / "Settings.ini").find("15=075\r\n") != std::string::npos);
    }

    // A copy in its own folder leaves the converter there alone; an installed one, working
    // elsewhere, brings the one in its workspace up to its own.
    void existingConverterIsLeftAloneUnlessInstalled()
    {
        vexaro::test::TempDir dir;
        vexaro::test::WriteBytes(dir / "bmconv.exe", {'o', 'l', 'd'});
        Harness h(dir.path());
        h.start();
        QCOMPARE(ReadText(dir / "bmconv.exe"), std::string("old"));
        QVERIFY(h.errors.empty());
        h.stop();

        vexaro::test::TempDir program;
        Harness installed(dir.path());
        installed.start(program / "Settings.ini");
        QCOMPARE(fs::file_size(dir / "bmconv.exe"), std::uintmax_t{vexaro::kConverterImageSize});
        QVERIFY(installed.errors.empty());
    }

    // Closing writes the numbers while the window can still show why it cannot; a temporary
    // file left by a killed write goes at the next start.
    void settingsThatCannotBeWrittenAreReportedOnClosing()
    {
        vexaro::test::TempDir dir;
        vexaro::test::WriteBytes(dir / "Settings.ini.new", {'[', 'F'});
        Harness h(dir.path());
        TForm1& form = h.start();
        QVERIFY(!fs::exists(dir / "Settings.ini.new"));
        fs::create_directory(dir / "Settings.ini"); // a folder in its place can never be written
        form.show();
        form.SpeedButton6->click();
        QVERIFY(!form.isVisible());
        QCOMPARE(h.errors.size(), std::size_t{1});
        QCOMPARE(h.errors[0], "Unable to write to " + QString::fromStdString((dir / "Settings.ini").string()) + ".");
        QVERIFY(form.shutdownFailed());
        h.stop();
        QCOMPARE(h.errors.size(), std::size_t{1}); // once
    }

    void damagedNumberedBitmapAtStartStillInstallsTheConverter()
    {
        vexaro::test::TempDir dir;
        fs::create_directories(dir / "Nokia" / "MBM");
        vexaro::test::WriteBytes(dir / "Nokia" / "MBM" / "002.bmp", {'B', 'M', 1, 2, 3});
        Harness h(dir.path());
        TForm1& form = h.start();
        QCOMPARE(h.errors.size(), std::size_t{1});
        QCOMPARE(h.errors[0], QString("Bitmap image is not valid."));
        QVERIFY(fs::file_size(dir / "bmconv.exe") > 0);
        for (const QLabel* picture : {form.Image2, form.menu, form.submenu}) // the window's colour, not white
            QCOMPARE(QColor(Shown(picture).pixel(5, 5)), form.palette().color(QPalette::Button));
        QCOMPARE(form.windowTitle(), QString("Vexaro v1.0 by Tarvek aka Tvk"));
        QCOMPARE(form.outerWidth(), 460);
        // Refresh meets the same file and shows the error again; an Open then replaces it.
        form.SpeedButton2->click();
        QCOMPARE(h.errors.size(), std::size_t{2});
        form.openChosen(VEXARO_SAMPLE_THEME, 1);
        QCOMPARE(h.errors.size(), std::size_t{2});
        QVERIFY(DistinctColours(Shown(form.Image2)) > 1);
    }

    void openSaveAndExportATheme()
    {
        APP_REQUIRE_CORPUS();
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        const QImage emptyPreview = Shown(form.Image1);

        h.answers.push_back(Answer{false, {}, 1});
        form.SpeedButton1->click(); // cancelled: nothing happens
        QVERIFY(!fs::exists(dir / "Nokia"));

        h.answers.push_back(Answer{true, Corpus("sis/synth_er6_theme.sis"), 1});
        form.SpeedButton1->click();
        QVERIFY2(h.errors.empty(), h.errors.empty() ? "" : qPrintable(h.errors[0]));
        QVERIFY(fs::exists(dir / "Nokia" / "MBM" / "002.bmp"));
        QCOMPARE(form.SpeedButton1->text(), QString("&Open"));
        QCOMPARE(form.ProgressBar1->value(), 0);

        // The image controls show what the redraw painted, and the panel now holds the theme.
        const QColor face = form.palette().color(QPalette::Button);
        const QImage panel = Shown(form.Image2);
        QCOMPARE(panel, vexaro::app::ToQImage(form.pictures().image2));
        QCOMPARE(Shown(form.Image1), vexaro::app::ToQImage(form.pictures().image1));
        QVERIFY(QColor(panel.pixel(88, 25)) != face);  // status area
        QVERIFY(QColor(panel.pixel(88, 120)) != face); // main area
        QVERIFY(QColor(panel.pixel(88, 210)) != face); // control area
        QVERIFY(Shown(form.menu) != QImage());
        QVERIFY(DistinctColours(Shown(form.menu)) > 1);
        QVERIFY(Shown(form.Image1) != emptyPreview);

        form.SpeedButton7->click();
        QVERIFY2(h.errors.empty(), h.errors.empty() ? "" : qPrintable(h.errors[0]));
        for (const char* name : {"Backgroundimage.mbm", "EidPic.mbm", "Menu_Folders.mbm"})
            QVERIFY2(fs::exists(dir / "Siemens" / name) && fs::file_size(dir / "Siemens" / name) > 0, name);

        // Export: first use starts with type 1 and no name; the type decides format and extension.
        h.answers.push_back(Answer{true, QString::fromStdString((dir / "shot.bmp").string()), 1});
        form.SpeedButton8->click();
        QCOMPARE(h.started.back().type, 1);
        QCOMPARE(h.started.back().path, QString());
        const std::string jpeg = ReadText(dir / "shot.jpg");
        QVERIFY(jpeg.size() > 2 && static_cast<unsigned char>(jpeg[0]) == 0xFF &&
                static_cast<unsigned char>(jpeg[1]) == 0xD8);
        QVERIFY(!fs::exists(dir / "shot.bmp"));

        h.answers.push_back(Answer{true, QString::fromStdString((dir / "shot").string()), 2});
        form.SpeedButton8->click();
        QCOMPARE(h.started.back().type, 1); // remembered from the previous accepted use
        QCOMPARE(h.started.back().path, QString::fromStdString((dir / "shot.bmp").string()));
        vexaro::Bitmap written;
        vexaro::LoadBmpFile((dir / "shot.bmp").string(), written);
        QCOMPARE(written.width(), 280);
        QCOMPARE(written.height(), 385);
        const vexaro::Rgb p = written.pixel(140, 100);
        QCOMPARE(QColor(p.r, p.g, p.b), QColor(Shown(form.Image1).pixel(140, 100)));

        // Clear throws the theme away and the panel returns to face colour.
        form.SpeedButton3->click();
        QVERIFY(!fs::exists(dir / "Nokia" / "MBM" / "002.bmp"));
        QCOMPARE(QColor(Shown(form.Image2).pixel(5, 5)), face);
    }

    // The window's buttons and the command line build the same files from the same theme, also
    // with a bitmap number edited in the window and given with --set.
    void windowAndCommandLineBuildTheSameFiles()
    {
        vexaro::test::TempDir dir;
        Harness h(dir / "window");
        fs::create_directories(h.folder);
        TForm1& form = h.start();
        for (const bool edited : {false, true}) {
            if (edited)
                form.Edit[2]->setText("005");
            h.answers.push_back(Answer{true, VEXARO_SAMPLE_THEME, 1});
            form.SpeedButton1->click();
            form.SpeedButton7->click();
            h.answers.push_back(Answer{true, QString::fromStdString((h.folder / "preview.jpg").string()), 1});
            h.replies = {true}; // replace the first round's preview
            form.SpeedButton8->click();
            QVERIFY2(h.errors.empty(), h.errors.empty() ? "" : qPrintable(h.errors[0]));
            const QString siemens = QString::fromStdString((h.folder / "Siemens" / "").string());
            QCOMPARE(
                h.informed,
                (std::vector<QString>{
                    "Saved the Siemens theme in " + siemens + "\nBackgroundimage.mbm, EidPic.mbm, Menu_Folders.mbm",
                    "Saved the preview as " + QString::fromStdString((h.folder / "preview.jpg").string())}));
            h.informed.clear();

            const fs::path out = dir / (edited ? "edited" : "plain");
            const std::string command = std::string("\"") + VEXARO_CLI + "\" " + (edited ? "--set 2=005 " : "") +
                                        "convert --out \"" + out.string() + "\" \"" + VEXARO_SAMPLE_THEME +
                                        "\" >/dev/null";
            QCOMPARE(std::system(command.c_str()), 0);
            const fs::path cli = out / "VexaroSample";
            for (const char* name :
                 {"Siemens/Backgroundimage.mbm", "Siemens/EidPic.mbm", "Siemens/Menu_Folders.mbm", "preview.jpg"}) {
                QVERIFY2(fs::exists(h.folder / name), name);
                QVERIFY2(ReadText(h.folder / name) == ReadText(cli / name), name);
            }
        }
        const std::string main = "VexaroSample/Siemens/Backgroundimage.mbm";
        QVERIFY(ReadText(dir / "plain" / main) != ReadText(dir / "edited" / main));
    }

    // A theme file dropped on the window or on a field opens; anything else is refused, and a
    // field never takes the file's name as text.
    void droppedThemeOpensWhereverItLands()
    {
        vexaro::test::TempDir dir, files;
        Harness h(dir.path());
        TForm1& form = h.start();
        vexaro::test::WriteBytes(files / "notes.txt", {'x'});
        auto drop = [&](QWidget* target, const fs::path& file) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
            data.setText(QUrl::fromLocalFile(QString::fromStdString(file.string())).toString());
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &enter);
            QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &dropped);
            return enter.isAccepted() && dropped.isAccepted() && dropped.dropAction() == Qt::CopyAction;
        };
        QVERIFY(!drop(form.Edit[4], files / "notes.txt"));
        QVERIFY(!drop(&form, files / "notes.txt"));
        QCOMPARE(form.Edit[4]->text(), QString("165"));
        QVERIFY(drop(form.Edit[4], VEXARO_SAMPLE_THEME));
        QTRY_VERIFY(fs::exists(dir / "Nokia" / "MBM" / "165.bmp"));
        QCOMPARE(form.Edit[4]->text(), QString("165"));
        fs::remove_all(dir / "Nokia");
        QVERIFY(drop(&form, VEXARO_SAMPLE_THEME));
        QTRY_VERIFY(fs::exists(dir / "Nokia" / "MBM" / "165.bmp"));
        QVERIFY(h.errors.empty());
        QVERIFY(h.started.empty()); // no dialog
    }

    void exportCancelledOrRefused()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        const auto entries = [&] {
            return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
        };
        const auto before = entries();
        h.answers.push_back(Answer{false, {}, 2});
        form.SpeedButton8->click();
        QCOMPARE(entries(), before);
        // A folder that does not exist: the error names the full final path; no file appears.
        const fs::path missing = dir / "missing" / "pic.bmp";
        h.answers.push_back(Answer{true, QString::fromStdString(missing.string()), 1});
        form.SpeedButton8->click();
        QCOMPARE(h.started[1].path, QString()); // the cancelled use was not remembered
        QCOMPARE(h.started[1].type, 1);
        QCOMPARE(h.errors.size(), std::size_t{1});
        const QString expected =
            QString("Cannot create file \"%1\". ").arg(QString::fromStdString((dir / "missing" / "pic.jpg").string()));
        QVERIFY2(h.errors[0].startsWith(expected), qPrintable(h.errors[0]));
        QVERIFY(!fs::exists(dir / "missing"));
    }

    void paneToggleTwiceReturnsNarrow()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        form.SpeedButton5->click();
        QCOMPARE(form.outerWidth(), 740);
        QCOMPARE(form.SpeedButton5->text(), QString("<"));
        QCOMPARE(form.paneState(), 1);
        form.SpeedButton5->click();
        QCOMPARE(form.outerWidth(), 460);
        QCOMPARE(form.SpeedButton5->text(), QString(">"));
        QCOMPARE(form.paneState(), 0);
        QVERIFY(h.errors.empty());
    }

    void paneStaysClosedWhenThePreviewFails()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        fs::create_directories(dir / "Nokia" / "MBM");
        vexaro::test::WriteBytes(dir / "Nokia" / "MBM" / "003.bmp", {'x'});
        form.SpeedButton5->click();
        QCOMPARE(h.errors.size(), std::size_t{1});
        QCOMPARE(h.errors[0], QString("Bitmap image is not valid."));
        QCOMPARE(form.outerWidth(), 460);
        QCOMPARE(form.SpeedButton5->text(), QString(">"));
        QCOMPARE(form.paneState(), 0);
    }

    // While a command runs the pointer is busy, and clicks, keys, drops and closing are refused
    // with a notice; nothing starts inside the command.
    void busyWindowRefusesWhatArrives()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        form.show();
        fs::create_directories(dir / "Nokia");
        vexaro::test::WriteBytes(dir / "Nokia" / "keep.txt", {'k'});
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(VEXARO_SAMPLE_THEME)});
        // A drag already over a field when the command starts, and one that arrives meanwhile.
        QDragEnterEvent held(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.Edit[1], &held);
        QVERIFY(held.isAccepted());
        bool moveAccepted = true, dropAccepted = true, enterAccepted = true;
        Qt::CursorShape pointer = Qt::ArrowCursor;
        // Refresh lets pending messages run after each item; what is queued now arrives then.
        QTimer::singleShot(0, &form, [&] {
            pointer = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor;
            form.SpeedButton3->click();
            form.SpeedButton1->click();
            form.SpeedButton8->click();
            form.close();
            QDragMoveEvent move(QPoint(6, 6), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form.Edit[1], &move);
            moveAccepted = move.isAccepted();
            QDropEvent dropped(QPointF(6, 6), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form.Edit[1], &dropped);
            dropAccepted = dropped.isAccepted() || dropped.dropAction() != Qt::IgnoreAction;
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&form, &enter);
            enterAccepted = enter.isAccepted();
        });
        form.SpeedButton2->click();
        QCOMPARE(pointer, Qt::WaitCursor);
        QCOMPARE(h.notices.size(), std::size_t{5}); // Clear, Open, Save, close, drop
        QVERIFY(!moveAccepted);
        QVERIFY(!dropAccepted);
        QVERIFY(!enterAccepted);
        QVERIFY(h.started.empty());
        QVERIFY(form.isVisible());
        QVERIFY(fs::exists(dir / "Nokia" / "keep.txt"));
        QVERIFY(!fs::exists(dir / "Nokia" / "MBM"));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        // At rest the same click works.
        form.SpeedButton3->click();
        QVERIFY(!fs::exists(dir / "Nokia" / "keep.txt"));
        QCOMPARE(h.notices.size(), std::size_t{5});
    }

    // The real boxes: the message first, file and reason below it, plain text, the window's
    // face, wide enough for their caption.
    void boxesPutTheMessageFirstAndShowTheirCaption()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        QString text, details, family;
        Qt::TextFormat format = Qt::RichText;
        int width = 0;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            text = box->text();
            details = box->informativeText();
            format = box->textFormat();
            width = box->width();
            family = QFontInfo(box->font()).family();
            box->accept();
        });
        vexaro::app::QtMessageBoxes().showError(&form, "Bitmap image is not valid\n<b>/x/002.bmp</b>: too short.");
        QCOMPARE(text, QString("Bitmap image is not valid"));
        QCOMPARE(details, QString("<b>/x/002.bmp</b>: too short."));
        QCOMPARE(format, Qt::PlainText);
        QVERIFY(width >= vexaro::app::kMinimumBoxWidth);
        QCOMPARE(family, QFontInfo(form.font()).family());
    }

    // After any failure the Open caption and the bar are at rest, the bar never in its endless
    // busy animation, and the next Open works.
    // Bitmaps the converter could not unpack are named in a message while the others show; a
    // Save that cannot build every file from the theme's bitmaps says which and why.
    void lostBitmapsAndIncompleteSaveAreTold()
    {
        vexaro::test::TempDir dir;
        vexaro::test::WriteBytes(dir / "theme.mbm", vexaro::test::PaintMbm(4, {}, {1}));
        Harness h(fs::path(dir / "program"));
        fs::create_directories(h.folder);
        TForm1& form = h.start();
        form.openChosen(QString::fromStdString((dir / "theme.mbm").string()), 2);
        QCOMPARE(h.messages.size(), std::size_t{1});
        QVERIFY2(h.messages.front().startsWith("1 of 4 bitmaps could not be unpacked: 001\n"),
                 qPrintable(h.messages.front()));
        QVERIFY(h.errors.empty());
        // A package's file that may not be written is passed over, and told.
        vexaro::test::WriteBytes(dir / "odd.sis", vexaro::test::PackageBuilder()
                                                      .addFile("C:\\t\\mbm", vexaro::test::Bytes("x"))
                                                      .addFile("C:\\t\\t.mbm", vexaro::test::PaintMbm(4, {}, {1}))
                                                      .bytes());
        form.openChosen(QString::fromStdString((dir / "odd.sis").string()), 1);
        QCOMPARE(h.messages.size(), std::size_t{2});
        QVERIFY2(h.messages.back().endsWith("\n\"mbm\": no file may have that name here"),
                 qPrintable(h.messages.back()));
        form.SpeedButton7Click();
        QCOMPARE(h.errors.size(), std::size_t{1});
        QVERIFY2(h.errors.front().startsWith("The Siemens theme is incomplete\n"), qPrintable(h.errors.front()));
        QVERIFY(h.errors.front().contains("Menu_Folders.mbm: no bitmap 165 (field 4), 023 (field 5)"));
        QVERIFY(fs::exists(h.folder / "Siemens" / "Backgroundimage.mbm"));
        // All three built, one of them white where a bitmap is missing: no failure, but told.
        form.openChosen(VEXARO_SAMPLE_THEME, 1);
        form.Edit[1]->setText("999");
        form.SpeedButton7Click();
        QCOMPARE(h.errors.size(), std::size_t{1});
        QCOMPARE(h.messages.back(), QString("(i) The Siemens theme was built, white where bitmaps are missing\n"
                                            "EidPic.mbm: no bitmap 999 (field 1)"));
        QVERIFY(h.informed.empty());
    }

    void failedOpenEndsAtRest()
    {
        vexaro::test::TempDir dir;
        vexaro::test::PackageBuilder builder;
        builder.addFile("C:\\theme\\first.txt", std::vector<std::uint8_t>(50, 'a'));
        builder.addFile("C:\\theme\\skin.mbm", std::vector<std::uint8_t>(400, 'b'));
        vexaro::test::BuiltPackage damaged = builder.build();
        damaged.bytes[damaged.dataOffsets[1] + 4] ^= 0xFF; // spoils the second entry's deflate data
        damaged.bytes[damaged.dataOffsets[1] + 5] ^= 0xFF;
        vexaro::test::WriteBytes(dir / "damaged.sis", damaged.bytes);
        vexaro::test::WriteBytes(dir / "empty.sis", {});
        Harness h(fs::path(dir / "program"));
        fs::create_directories(h.folder);
        TForm1& form = h.start();
        for (const char* theme : {"damaged.sis", "empty.sis"}) {
            form.openChosen(QString::fromStdString((dir / theme).string()), 1);
            h.errors.clear(); // the damaged one fails, the empty one holds nothing

            QCOMPARE(form.SpeedButton1->text(), QString("&Open"));
            QCOMPARE(form.ProgressBar1->value(), 0);
            QVERIFY(form.ProgressBar1->maximum() > form.ProgressBar1->minimum());
        }
        vexaro::app::QtMessageBoxes boxes;
        vexaro::app::FormSeam seam(form, boxes);
        seam.setProgressMax(0);
        QVERIFY(form.ProgressBar1->maximum() > form.ProgressBar1->minimum());
        seam.setOpenCaption("Process : a&b.mbm");
        QCOMPARE(form.SpeedButton1->text(), QString("Process : a&&b.mbm")); // no access key from a name
        form.openChosen(VEXARO_SAMPLE_THEME, 1);
        QVERIFY(h.errors.empty());
        QVERIFY(DistinctColours(Shown(form.Image2)) > 1);
    }

    // Access keys are unique and each key presses its button; Enter in a field refreshes.
    void keysPressTheirButtons()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        // Each button's tooltip names its keys, and F1 lists them all with the version.
        const struct {
            QToolButton* button;
            const char* mnemonic;
            const char* keys;
        } buttons[] = {
            {form.SpeedButton1, "Alt+O", "Ctrl+O, Alt+O"},
            {form.SpeedButton7, "Alt+S", "Ctrl+S, Alt+S"},
            {form.SpeedButton2, "Alt+R", "F5, Alt+R, Enter in a number field"},
            {form.SpeedButton3, "Alt+C", "Alt+C"},
            {form.SpeedButton4, "Alt+D", "Alt+D"},
            {form.SpeedButton6, "Alt+X", "Alt+X"},
            {form.SpeedButton8, "Alt+V", "Alt+V"},
            {form.SpeedButton5, "", "Alt+P"},
        };
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_F1);
        QCOMPARE(h.messages.size(), std::size_t{1});
        QVERIFY2(h.messages[0].startsWith("(i) Vexaro 1.0\n"), qPrintable(h.messages[0]));
        for (const auto& b : buttons) {
            QCOMPARE(QKeySequence::mnemonic(b.button->text()).toString(), QString(b.mnemonic));
            QVERIFY2(b.button->toolTip().endsWith(QString(" (%1)").arg(b.keys)), qPrintable(b.button->toolTip()));
            QVERIFY2(h.messages[0].contains(QString(": %1\n").arg(b.keys)), b.keys);
        }
        const struct {
            QWidget* target;
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            QToolButton* button;
        } keys[] = {
            {&form, Qt::Key_O, Qt::ControlModifier, form.SpeedButton1},
            {&form, Qt::Key_S, Qt::ControlModifier, form.SpeedButton7},
            {form.Edit[3], Qt::Key_F5, Qt::NoModifier, form.SpeedButton2},
            {form.Edit[3], Qt::Key_Return, Qt::NoModifier, form.SpeedButton2},
            {form.Edit[3], Qt::Key_Enter, Qt::KeypadModifier, form.SpeedButton2},
            {&form, Qt::Key_R, Qt::AltModifier, form.SpeedButton2},
            {&form, Qt::Key_P, Qt::AltModifier, form.SpeedButton5},
        };
        for (const auto& k : keys) {
            QSignalSpy clicked(k.button, &QToolButton::clicked);
            QTest::keyClick(k.target, k.key, k.modifiers);
            QTRY_COMPARE(clicked.count(), 1);
        }
        QCOMPARE(h.started.size(), std::size_t{1}); // Ctrl+O asked for a theme
        // Ctrl+S saved, and with no theme open said so, changing nothing.
        QVERIFY(!h.errors.empty() && h.errors.back().startsWith("No theme is open in "));
        QVERIFY(!fs::exists(dir / "Siemens"));
        QCOMPARE(form.paneState(), 1); // Alt+P opened the pane
    }

    // Once a theme is open, a field naming a bitmap it lacks is marked; the mark follows edits.
    void fieldsMarkBitmapsTheThemeLacks()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        // 1 marked (colour, a frame that needs no colour to be seen, and tooltip), 0 not, -1 half
        // marked.
        auto marked = [&](int n) {
            const bool red =
                form.Edit[n]->palette().color(QPalette::Text) == QColor::fromRgb(vexaro::app::kMissingBitmapColour);
            const bool framed = form.missingMark[n]->isVisibleTo(&form) &&
                                form.missingMark[n]->geometry().contains(form.Edit[n]->geometry());
            const bool tip = !form.Edit[n]->toolTip().isEmpty();
            return red == tip && tip == framed ? int{red} : -1;
        };
        QCOMPARE(marked(4), 0); // no theme: nothing to lack
        vexaro::test::ThemeOptions options;
        options.omit = {4};
        vexaro::test::PaintTheme(vexaro::Workspace(dir.path()), options);
        form.SpeedButton2->click();
        QCOMPARE(marked(4), 1);
        QCOMPARE(form.Edit[4]->toolTip(), QString("No bitmap 165 in this theme"));
        QCOMPARE(marked(5), 0);
        form.Edit[5]->setText("999");
        QCOMPARE(marked(5), 1);
        QCOMPARE(form.Edit[5]->toolTip(), QString("No bitmap 999 in this theme"));
        form.Edit[4]->setText("023");
        QCOMPARE(marked(4), 0);
        form.SpeedButton3->click();
        QCOMPARE(marked(5), 0);
    }

    void exportAsksBeforeReplacing()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        vexaro::test::WriteBytes(dir / "shot.jpg", {'o', 'l', 'd'});
        const QString typed = QString::fromStdString((dir / "shot.bmp").string());
        // Typed "shot.bmp" with type 1 writes shot.jpg: that is the name asked about.
        h.answers = {Answer{true, typed, 1}, Answer{false, {}, 1}};
        h.replies = {false};
        form.SpeedButton8->click();
        QCOMPARE(h.started.size(), std::size_t{2}); // No brings the dialog back
        QCOMPARE(h.messages.at(0),
                 QString::fromStdString((dir / "shot.jpg").string()) + " already exists.\nDo you want to replace it?");
        QCOMPARE(ReadText(dir / "shot.jpg"), std::string("old"));
        h.answers = {Answer{true, typed, 1}};
        h.replies = {true};
        form.SpeedButton8->click();
        QVERIFY(ReadText(dir / "shot.jpg").size() > 100);
        QCOMPARE(h.messages.size(), std::size_t{2});
    }

    // An installed copy works elsewhere but takes the numbers of a Settings.ini beside the
    // program while its workspace has none, and then writes its own.
    void installedCopyReadsTheSettingsBesideIt()
    {
        vexaro::test::TempDir program, data;
        vexaro::test::WriteBytes(program / "Settings.ini",
                                 {'[', 'F', 'i', 'l', 'e', 's', ']', '\r', '1', '=', '7', '\r'});
        Harness h(data.path());
        TForm1& form = h.start(program / "Settings.ini");
        QCOMPARE(form.Edit[1]->text(), QString("7"));
        form.Edit[1]->setText("8");
        h.stop();
        QVERIFY(ReadText(data / "Settings.ini").find("1=8\r\n") != std::string::npos);
        QCOMPARE(ReadText(program / "Settings.ini"), std::string("[Files]\r1=7\r"));
        Harness again(data.path());
        QCOMPARE(again.start(program / "Settings.ini").Edit[1]->text(), QString("8"));
    }

    // At a scale of 1 the carried raster face; above it (this test runs again under
    // QT_SCALE_FACTOR=2) the scalable one, and the preview smoothed to the screen's pixels.
    void faceAndPreviewFollowTheScale()
    {
        if (!QFileInfo::exists("/usr/share/wine/fonts/ms_sans_serif.ttf"))
            QSKIP("the carried faces are built from fonts-wine");
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        const qreal ratio = form.devicePixelRatioF();
        QCOMPARE(QFontInfo(form.font()).family(), QString(ratio > 1 ? "Tahoma" : "MS Sans Serif"));
        QCOMPARE(QFontInfo(QApplication::font()).family(), QFontInfo(form.font()).family()); // dialogs and boxes
        // Lines of the scalable face are spaced as on Windows, 1.2 em apart, not touching.
        const QFont tahoma("Tahoma", 8);
        const qreal em = tahoma.pointSizeF() * QFontMetricsF(tahoma).fontDpi() / 72;
        QVERIFY2(QFontMetricsF(tahoma).lineSpacing() > 1.15 * em,
                 qPrintable(QString::number(QFontMetricsF(tahoma).lineSpacing() / em)));
        const QPixmap preview = form.Image1->pixmap();
        QCOMPARE(preview.devicePixelRatio(), ratio);
        QCOMPARE(preview.size(), QSize(280, 385) * ratio);
        QCOMPARE(form.Image2->pixmap().size(), QSize(176, 220));
    }

    // Alt or Ctrl with a key that is no key of the window types nothing into a field.
    void modifiedKeysNeverTypeIntoAField()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QLineEdit* field = form.Edit[2];
        field->setFocus();
        const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
            {Qt::Key_E, Qt::AltModifier},  {Qt::Key_F, Qt::AltModifier},
            {Qt::Key_H, Qt::AltModifier},  {Qt::Key_V, Qt::AltModifier}, // the hidden pane's Save
            {Qt::Key_1, Qt::AltModifier},  {Qt::Key_E, Qt::ControlModifier},
            {Qt::Key_E, Qt::MetaModifier}, {Qt::Key_E, Qt::AltModifier | Qt::ShiftModifier},
        };
        for (const auto& [key, modifiers] : keys)
            QTest::keyClick(field, key, modifiers);
        QCOMPARE(field->text(), QString("003"));
        QTest::keyClick(field, Qt::Key_7);
        QCOMPARE(field->text(), QString("0037"));
    }

    // Opening the pane near the screen's right edge moves the window left just enough, and
    // closing it moves it back, unless the user has moved it meanwhile; where the wide window
    // fits, its left edge stays.
    void paneKeepsTheWindowOnTheScreen()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QRect area = form.screen()->availableGeometry();
        const int nearEdge = area.right() + 1 - vexaro::app::kNarrowWidth - 10;
        const struct {
            int left;    // before opening
            int open;    // when open
            int movedTo; // moved there by the user while open; -1 not moved
            int closed;  // after closing
        } cases[] = {
            {nearEdge, area.right() + 1 - vexaro::app::kWideWidth, -1, nearEdge},
            {nearEdge, area.right() + 1 - vexaro::app::kWideWidth, area.left() + 5, area.left() + 5},
            {area.left(), area.left(), -1, area.left()},
        };
        for (const auto& c : cases) {
            form.move(c.left, area.top() + 20);
            form.SpeedButton5->click();
            QCOMPARE(form.frameGeometry().left(), c.open);
            QVERIFY(form.frameGeometry().right() <= area.right());
            if (c.movedTo >= 0)
                form.move(c.movedTo, area.top() + 20);
            form.SpeedButton5->click();
            QCOMPARE(form.frameGeometry().left(), c.closed);
            QCOMPARE(form.outerWidth(), vexaro::app::kNarrowWidth);
        }
    }

    // A refused click's notice is up at once and goes when the running command ends; what a
    // command wrote is told in a notice that goes by itself.
    void noticesComeAtOnceAndGo()
    {
        vexaro::test::TempDir dir;
        auto owned = std::make_unique<vexaro::app::QtMessageBoxes>(50);
        vexaro::app::QtMessageBoxes& boxes = *owned;
        TForm1 form(dir.path(), nullptr, std::move(owned));
        form.show();
        QString during;
        QTimer::singleShot(0, &form, [&] {
            form.SpeedButton3->click();
            during = boxes.notice() ? boxes.notice()->text() : QString();
        });
        form.SpeedButton2->click(); // Refresh lets messages run between its steps
        QVERIFY2(during.startsWith("Busy"), qPrintable(during));
        QCOMPARE(boxes.notice(), nullptr);
        boxes.inform(&form, "Saved the preview as x.jpg");
        QVERIFY(boxes.notice() != nullptr);
        QTRY_COMPARE(boxes.notice(), nullptr);
    }

    // Opened themes are kept, the latest first, in a section of Settings.ini of their own and
    // offered by the Open dialog at the next start; section "Files" stays as it was.
    void recentThemesAreKeptInTheirOwnSection()
    {
        vexaro::test::TempDir dir;
        vexaro::test::WriteBytes(dir / "theme.mbm", vexaro::test::PaintMbm(4));
        const QString sample = QFileInfo(VEXARO_SAMPLE_THEME).absoluteFilePath();
        const QString mbm = QString::fromStdString((dir / "theme.mbm").string());
        const fs::path program = dir / "program";
        fs::create_directories(program);
        {
            Harness h(program);
            TForm1& form = h.start();
            form.openChosen(sample, 1);
            form.openChosen(mbm, 2);
            form.openChosen(sample, 1);
            form.openChosen(mbm, 2);
            form.openChosen(QString::fromStdString((dir / "missing.sis").string()), 1); // failed: not kept
            QCOMPARE(h.errors.size(), std::size_t{1});
        }
        std::string expected = "[Files]\r\n";
        for (int n = 1; n <= 15; ++n)
            expected += std::to_string(n) + "=" + vexaro::FieldDefault(n) + "\r\n";
        expected += "[Recent]\r\n1=" + mbm.toStdString() + "\r\n2=" + sample.toStdString() + "\r\n";
        QCOMPARE(ReadText(program / "Settings.ini"), expected);

        Harness again(program);
        again.start().SpeedButton1->click();
        QCOMPARE(again.recent, (QStringList{mbm, sample}));
        QCOMPARE(again.started.at(0).path, mbm);
        QCOMPARE(again.started.at(0).type, 2);
    }

    // Stored texts come back byte for byte, also those that are not valid UTF-8, and the
    // commands get those bytes, as the command line does.
    void fieldTextsKeepTheirBytes()
    {
        vexaro::test::TempDir dir;
        const std::string texts[] = {"caf\xe9", "\xff\xfe", "\xc3\xa9t\xc3", "ok"};
        std::string ini = "[Files]\r\n";
        for (std::size_t i = 0; i < std::size(texts); ++i)
            ini += std::to_string(i + 1) + "=" + texts[i] + "\r\n";
        vexaro::test::WriteBytes(dir / "Settings.ini", std::vector<std::uint8_t>(ini.begin(), ini.end()));
        Harness h(dir.path());
        TForm1& form = h.start();
        vexaro::app::QtMessageBoxes boxes;
        const vexaro::app::FormSeam seam(form, boxes);
        for (std::size_t i = 0; i < std::size(texts); ++i)
            QCOMPARE(seam.fieldText(static_cast<int>(i + 1)), texts[i]);
        form.Edit[1]->end(false);
        form.Edit[1]->insert("2");
        QCOMPARE(seam.fieldText(1), std::string("caf\xe9"
                                                "2"));
        h.stop();
        QVERIFY(ReadText(dir / "Settings.ini")
                    .starts_with("[Files]\r\n1=caf\xe9"
                                 "2\r\n2=\xff\xfe\r\n3=\xc3\xa9t\xc3\r\n4=ok\r\n5=023\r\n"));
    }

    void screenshots()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        form.openChosen(VEXARO_SAMPLE_THEME, 1);
        QVERIFY(h.errors.empty());
        form.show();
        const QString narrowPath = VEXARO_SCREENSHOT_DIR "/window-narrow.png";
        const QString widePath = VEXARO_SCREENSHOT_DIR "/window-pane-open.png";
        const QImage narrow = form.grab().toImage();
        QVERIFY(narrow.save(narrowPath));
        form.SpeedButton5->click();
        const QImage wide = form.grab().toImage();
        QVERIFY(wide.save(widePath));
        // Outer widths are 460 and 740; the grab holds the client area only.
        const int frame = form.frameGeometry().width() - form.width();
        QCOMPARE(narrow.size(), QSize(460 - frame, 421));
        QCOMPARE(wide.size(), QSize(740 - frame, 421));
        QCOMPARE(form.outerWidth(), 740);
        // The preview pane is on the wide picture: its dark fill at Image1's place.
        QCOMPARE(wide.copy(454, 0, 280, 385).convertToFormat(QImage::Format_RGB888),
                 vexaro::app::ToQImage(form.pictures().image1));
    }
};

QTEST_MAIN(AppTest)
#include "Unit1Test.moc"
