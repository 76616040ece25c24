// The main window headless: start-up and shutdown with Settings.ini and the converter, the
// commands through recorded dialogs and message boxes, the pane toggle, and screenshots.
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmap>
#include <QProgressBar>
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
#include "tool/FieldDefaults.h"
#include "TestSupport.h"
#include "app/Unit1.h"

namespace fs = std::filesystem;
using vexaro::app::TForm1;

// The corpus guard of the gtest programs, for QTest: skip when the corpus is absent, fail under CI.
#define APP_REQUIRE_CORPUS()                                                                    \
    do {                                                                                        \
        if (::vexaro::test::CorpusDir().empty()) {                                              \
            if (::vexaro::test::UnderCi())                                                      \
                QFAIL("the shared corpus is missing, and CI needs it");                         \
            QSKIP("the shared corpus (../shared/corpus) is absent: test skipped");              \
        }                                                                                       \
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
    bool chooseOpen(QWidget*, const QString& filter, QString& path, int& type) override { return take(filter, path, type); }
    bool chooseSave(QWidget*, const QString& filter, QString& path, int& type) override { return take(filter, path, type); }
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
    void showError(QWidget*, const QString& text) override { errors->push_back(text); }
    void showMessage(QWidget*, const QString& text) override { messages->push_back(text); }
};

// One window in a folder of its own, with everything it shows recorded.
struct Harness {
    fs::path folder;
    std::deque<Answer> answers;
    std::vector<Answer> started;
    std::vector<QString> errors, messages;
    std::unique_ptr<TForm1> form;

    explicit Harness(fs::path f) : folder(std::move(f)) {}
    TForm1& start()
    {
        auto dialogs = std::make_unique<RecordedDialogs>();
        dialogs->answers = &answers;
        dialogs->started = &started;
        auto boxes = std::make_unique<RecordedBoxes>();
        boxes->errors = &errors;
        boxes->messages = &messages;
        form = std::make_unique<TForm1>(folder, std::move(dialogs), std::move(boxes));
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

// Receives the URLs the window asks the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> urls;
    Q_INVOKABLE void open(const QUrl& url) { urls.push_back(url); }
};

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void startDirectoryOpensTheProgramFolder()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler("file", &recorder, "open");
        form.SpeedButton4->click(); // no workspace folders yet
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(recorder.urls.size(), std::size_t{1});
        QCOMPARE(QFileInfo(recorder.urls[0].toLocalFile()).canonicalFilePath(), QString::fromStdString(dir.str()));
        QVERIFY(h.errors.empty());
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

    void realDialogsReportTheChosenFileType()
    {
        vexaro::test::TempDir dir;
        vexaro::test::WriteBytes(dir / "theme.mbm", {'x'});
        vexaro::test::WriteBytes(dir / "old.bmp", {'x'});
        // Picks a file type and a name in the Qt dialog once it is up.
        auto answer = [](const QString& nameFilter, const QString& file) {
            QTimer::singleShot(0, [=] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog != nullptr);
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
        QVERIFY(dialogs.chooseOpen(&owner, vexaro::app::QtFilter(vexaro::app::kOpenFilter), path, type));
        QCOMPARE(type, 2);
        QCOMPARE(QFileInfo(path).fileName(), QString("theme.mbm"));

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
        const char* names[] = {"Panel2", "SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4", "SpeedButton5",
                               "SpeedButton6", "SpeedButton7", "SpeedButton8", "GroupBox1", "GroupBox2", "Image1",
                               "Image2", "menu", "submenu", "Label1", "Label2", "Label3", "Label4", "ProgressBar1"};
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
        QCOMPARE(form.Edit[2]->text(), QString("")); // a present but empty key
        QCOMPARE(form.Edit[3]->text(), QString("004")); // a new section "" began before key 3
        QVERIFY(h.errors.empty());
        h.stop();
        QVERIFY(ReadText(dir / "Settings.ini").find("15=075\r\n") != std::string::npos);
    }

    void existingConverterIsLeftAlone()
    {
        vexaro::test::TempDir dir;
        vexaro::test::WriteBytes(dir / "bmconv.exe", {'o', 'l', 'd'});
        Harness h(dir.path());
        h.start();
        QCOMPARE(ReadText(dir / "bmconv.exe"), std::string("old"));
        QVERIFY(h.errors.empty());
    }

    void settingsThatCannotBeWrittenAreReported()
    {
        vexaro::test::TempDir dir;
        const fs::path program = dir / "program";
        fs::create_directory(program);
        Harness h(program);
        h.start();
        fs::remove_all(program); // the program folder is gone by the time the window closes
        h.stop();
        QCOMPARE(h.errors.size(), std::size_t{1});
        QVERIFY2(h.errors[0].startsWith("Unable to write to "), qPrintable(h.errors[0]));
        QVERIFY(h.errors[0].contains("Settings.ini"));
    }

    void damagedNumberedBitmapIsShownAndStopsTheInstall()
    {
        vexaro::test::TempDir dir;
        fs::create_directories(dir / "Nokia" / "MBM");
        vexaro::test::WriteBytes(dir / "Nokia" / "MBM" / "002.bmp", {'B', 'M', 1, 2, 3});
        Harness h(dir.path());
        TForm1& form = h.start();
        QCOMPARE(h.errors.size(), std::size_t{1});
        QCOMPARE(h.errors[0], QString("Bitmap image is not valid."));
        QVERIFY(!fs::exists(dir / "bmconv.exe"));
        // The steps before the first draw were done.
        QCOMPARE(form.windowTitle(), QString("Vexaro v1.0 by Tarvek aka Tvk"));
        QCOMPARE(form.outerWidth(), 460);
        // Refresh meets the same file; the program goes on and shows the error again.
        form.SpeedButton2->click();
        QCOMPARE(h.errors.size(), std::size_t{2});
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
        QCOMPARE(form.SpeedButton1->text(), QString("Open"));
        QCOMPARE(form.ProgressBar1->value(), 0);

        // The image controls show what the redraw painted, and the panel now holds the theme.
        const QColor face = form.palette().color(QPalette::Button);
        const QImage panel = Shown(form.Image2);
        QCOMPARE(panel, vexaro::app::ToQImage(form.pictures().image2));
        QCOMPARE(Shown(form.Image1), vexaro::app::ToQImage(form.pictures().image1));
        QVERIFY(QColor(panel.pixel(88, 25)) != face);   // status area
        QVERIFY(QColor(panel.pixel(88, 120)) != face);  // main area
        QVERIFY(QColor(panel.pixel(88, 210)) != face);  // control area
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
        QVERIFY(jpeg.size() > 2 && static_cast<unsigned char>(jpeg[0]) == 0xFF && static_cast<unsigned char>(jpeg[1]) == 0xD8);
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
            form.SpeedButton8->click();
            QVERIFY2(h.errors.empty(), h.errors.empty() ? "" : qPrintable(h.errors[0]));

            const fs::path out = dir / (edited ? "edited" : "plain");
            const std::string command = std::string("\"") + VEXARO_CLI + "\" " + (edited ? "--set 2=005 " : "") +
                                        "convert --out \"" + out.string() + "\" \"" + VEXARO_SAMPLE_THEME + "\" >/dev/null";
            QCOMPARE(std::system(command.c_str()), 0);
            const fs::path cli = out / "VexaroSample";
            for (const char* name : {"Siemens/Backgroundimage.mbm", "Siemens/EidPic.mbm", "Siemens/Menu_Folders.mbm", "preview.jpg"}) {
                QVERIFY2(fs::exists(h.folder / name), name);
                QVERIFY2(ReadText(h.folder / name) == ReadText(cli / name), name);
            }
        }
        const std::string main = "VexaroSample/Siemens/Backgroundimage.mbm";
        QVERIFY(ReadText(dir / "plain" / main) != ReadText(dir / "edited" / main));
    }

    void droppedPackageOpensByItsExtension()
    {
        APP_REQUIRE_CORPUS();
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        auto drop = [&](const QString& path) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&form, &enter);
            const bool accepted = enter.isAccepted();
            QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&form, &dropped);
            return accepted;
        };
        QVERIFY(!drop(Corpus("mbm/MANIFEST.md")));
        QVERIFY(!fs::exists(dir / "Nokia"));
        QVERIFY(drop(Corpus("sis/synth_er6_theme.sis")));
        QVERIFY(h.errors.empty());
        QVERIFY(fs::exists(dir / "Nokia" / "MBM" / "002.bmp"));
        QVERIFY(h.started.empty()); // no dialog
    }

    void exportCancelledOrRefused()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        const auto entries = [&] { return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()); };
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
        const QString expected = QString("Cannot create file \"%1\". ").arg(QString::fromStdString((dir / "missing" / "pic.jpg").string()));
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

    void clickDuringACommandStartsNothing()
    {
        vexaro::test::TempDir dir;
        Harness h(dir.path());
        TForm1& form = h.start();
        fs::create_directories(dir / "Nokia");
        vexaro::test::WriteBytes(dir / "Nokia" / "keep.txt", {'k'});
        int fired = 0;
        // Refresh lets pending messages run after each item; the Clear click queued now arrives
        // then and must be dropped.
        QTimer::singleShot(0, &form, [&] {
            ++fired;
            form.SpeedButton3->click();
            form.SpeedButton5->click();
        });
        form.SpeedButton2->click();
        QCOMPARE(fired, 1);
        QVERIFY(fs::exists(dir / "Nokia" / "keep.txt"));
        QCOMPARE(form.paneState(), 0);
        // At rest the same click works.
        form.SpeedButton3->click();
        QVERIFY(!fs::exists(dir / "Nokia" / "keep.txt"));
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
        QCOMPARE(wide.copy(454, 0, 280, 385).convertToFormat(QImage::Format_RGB888), vexaro::app::ToQImage(form.pictures().image1));
    }
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
