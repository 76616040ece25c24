#pragma once
// The main window: every control the user works with, and the command handlers named after
// their controls. The commands themselves live in the core; this class only wires them to the
// controls, shows their errors, keeps one command from starting inside another and brings the
// window back to rest (caption, progress bar, pointer) after each, whatever the command did.
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "preview/PreviewPictures.h"
#include "tool/ProfileFile.h"
#include "tool/Workspace.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QToolButton;
class QCloseEvent;
class QKeyEvent;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QImage;
class QMoveEvent;
class QShowEvent;

namespace vexaro {
struct SaveOutcome;
}

namespace vexaro::app {

class FormSeam;

// The two file dialogs. `type` is the 1-based index of the chosen file type in the filter;
// on entry the chooser may use `path` and `type` as the dialog's starting name and type.
// Each returns false when the user cancels. The Open dialog starts in the folder of the first
// of `recent`, the themes opened lately (the latest first), and offers their folders in its
// history.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual bool chooseOpen(QWidget* owner, const QString& filter, const QStringList& recent, QString& path,
                            int& type) = 0;
    virtual bool chooseSave(QWidget* owner, const QString& filter, QString& path, int& type) = 0;
};

// What the window says to the user. Boxes are captioned with the application title; a text's
// first line is the message, the lines after it name the file and the reason.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // An error box.
    virtual void showError(QWidget* owner, const QString& text) = 0;
    // A plain box.
    virtual void showMessage(QWidget* owner, const QString& text) = 0;
    // A box with the information icon.
    virtual void showInformation(QWidget* owner, const QString& text) = 0;
    // A question answered Yes (true) or No.
    virtual bool ask(QWidget* owner, const QString& text) = 0;
    // A short notice by the pointer that stops nothing, with a beep: a click, key or drop
    // refused while busy. It is there at once and stays until withdrawNotice.
    virtual void notify(QWidget* owner, const QString& text) = 0;
    // A short notice over the window that stops nothing and goes by itself: what a command wrote.
    virtual void inform(QWidget* owner, const QString& text) = 0;
    // Removes a notice that is up; the window calls it whenever a command ends.
    virtual void withdrawNotice() = 0;
};

// The real Qt dialogs and message boxes.
class QtFileDialogs : public FileDialogs {
public:
    bool chooseOpen(QWidget* owner, const QString& filter, const QStringList& recent, QString& path,
                    int& type) override;
    bool chooseSave(QWidget* owner, const QString& filter, QString& path, int& type) override;
};

class QtMessageBoxes : public MessageBoxes {
public:
    // `informTime`: how long a notice of inform stays, in milliseconds.
    explicit QtMessageBoxes(int informTime = 5000) : informTime_(informTime) {}
    void showError(QWidget* owner, const QString& text) override;
    void showMessage(QWidget* owner, const QString& text) override;
    void showInformation(QWidget* owner, const QString& text) override;
    bool ask(QWidget* owner, const QString& text) override;
    void notify(QWidget* owner, const QString& text) override;
    void inform(QWidget* owner, const QString& text) override;
    void withdrawNotice() override;
    // The notice, while one is up; else null.
    QLabel* notice() const;

private:
    // At `at`, or with `at` the middle of its bottom edge when `above`.
    void showNotice(QWidget* owner, const QString& text, QPoint at, bool above);

    int informTime_;
    QPointer<QLabel> notice_;
    int shown_ = 0; // counts the notices shown, so that a late timer removes only its own
};

// Boxes are at least this wide, so that the title bar shows their caption whole.
inline constexpr int kMinimumBoxWidth = 300;

// Filters as the dialogs store them ("SIS file (*.sis)|*.sis|MBM file (*.mbm)|*.mbm").
inline constexpr const char* kOpenFilter = "SIS file (*.sis)|*.sis|MBM file (*.mbm)|*.mbm";
inline constexpr const char* kSaveFilter = "Jpeg file (*.jpg)|*.jpg|Bitmap (*.bmp)|*.bmp";

// A bar-separated filter of name and pattern pairs as Qt's ";;"-separated list of
// "name (patterns)" entries.
QString QtFilter(const QString& barFilter);

// The text an error box shows: the message with a full stop added when its last character's
// code is above that of '.'.
QString ErrorBoxText(const std::string& message);

// A 24-bit copy of a picture for the screen.
QImage ToQImage(const Bitmap& picture);

// The face of the window's controls, dialogs and boxes on a screen of `devicePixelRatio`:
// "MS Sans Serif" 8 point at a ratio of 1 (its raster strikes fit no other), else the carried
// Tahoma, which scales.
QFont WindowFont(qreal devicePixelRatio);

// Captions with their access keys (Alt+letter).
inline constexpr const char* kOpenCaption = "&Open";

// What a field whose bitmap the opened theme lacks shows: this colour, and a frame of it
// around the field.
inline constexpr QRgb kMissingBitmapColour = 0xFFC00000;

// How many recently opened themes Settings.ini keeps, in a section of their own.
inline constexpr int kRecentThemeCount = 8;
inline constexpr const char* kRecentThemesSection = "Recent";

inline constexpr int kNarrowWidth = 460;
inline constexpr int kWideWidth = 740;
inline constexpr int kClientHeight = 421;

class TForm1 : public QWidget {
public:
    // `programFolder` is the workspace, where "Settings.ini" and "bmconv.exe" live.
    // Null dialogs or message boxes mean the real Qt ones. `settingsBesideProgram` is the
    // "Settings.ini" of an installed program whose workspace is elsewhere: it is read when the
    // workspace has none (the workspace's own is the one written); such a program also replaces
    // a "bmconv.exe" in its workspace that differs from the one it carries. Runs FormCreate.
    TForm1(std::filesystem::path programFolder, std::unique_ptr<FileDialogs> dialogs = nullptr,
           std::unique_ptr<MessageBoxes> boxes = nullptr, std::filesystem::path settingsBesideProgram = {});
    // Runs FormDestroy unless closing the window already has.
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Handlers.
    void FormCreate();        // restores the fields, lays out, draws, installs the converter
    void FormDestroy();       // writes the fields back to Settings.ini
    void SpeedButton1Click(); // Open: asks for a .sis or .mbm file and unpacks its theme
    void SpeedButton2Click(); // Refresh: redraws the source panel and the preview
    void SpeedButton3Click(); // Clear: throws the unpacked theme away
    void SpeedButton4Click(); // Start directory: shows the program folder in a file manager
    void SpeedButton5Click(); // > / <: opens or closes the preview pane
    void SpeedButton6Click(); // Exit: closes the window, which ends the program
    void SpeedButton7Click(); // Save: builds the three Siemens theme files
    void SpeedButton8Click(); // Save under the preview: exports the preview picture

    // Controls.
    QWidget* Panel2 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButton5 = nullptr;
    QToolButton* SpeedButton6 = nullptr;
    QToolButton* SpeedButton7 = nullptr;
    QToolButton* SpeedButton8 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* menu = nullptr;
    QLabel* submenu = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Edit[16] = {}; // Edit[1] to Edit[15]; index 0 unused
    QProgressBar* ProgressBar1 = nullptr;
    // The frames that mark fields whose bitmap the theme lacks; index 0 unused.
    QFrame* missingMark[16] = {};

    // Pane state: 0 closed, 1 open.
    int paneState() const { return paneState_; }
    // Width of the window with its frame.
    int outerWidth() const;
    const vexaro::PreviewPictures& pictures() const { return pictures_; }
    const vexaro::Workspace& workspace() const { return workspace_; }

    // Opens a chosen theme file as the Open button does after its dialog.
    void openChosen(const QString& path, int type);

    // Puts the pictures on the image controls.
    void refreshImages();

    // Whether a command is running.
    bool busy() const { return busy_; }
    // The themes opened lately, the latest first.
    const QStringList& recentThemes() const { return recentThemes_; }
    // Whether Settings.ini could not be written at shutdown.
    bool shutdownFailed() const { return shutdownFailed_; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Drops on the number fields open themes as drops on the window do; a key with Alt or Ctrl
    // held never types into them.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The frame is known only once the window is shown, and on some desktops only when the
    // window manager has framed it: the outer width is set again then.
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    // Closing runs FormDestroy while the window can still show its errors; refused while busy.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void buildPanel();
    void buildFields();
    void addKeys();
    void setOuterWidth(int width);
    void animateWidth(int target, int home);
    void showKeys();
    void holdOuterWidth();
    void showPane(bool shown);
    void centre();
    void redraw();
    void readSettings();
    // Runs one command, or refuses it while another runs. Afterwards the window is at rest
    // (Open caption, normal pointer, the bar at 0 after a failure) and the fields are marked;
    // an error is shown in the error box. Returns whether the command ran to its end.
    template <class F>
    bool runCommand(F&& command);
    void refuseWhileBusy();
    void showError(const std::string& message);
    void judgeDrag(QDragMoveEvent* event);
    void markMissingBitmaps();
    void markField(int n, bool themeOpen);
    bool themeOpen() const;
    void showProgramFolder();
    void tellSaved(const vexaro::SaveOutcome& outcome);
    void rememberTheme(const QString& path);

    vexaro::Workspace workspace_;
    vexaro::ProfileFile settings_;
    std::filesystem::path settingsBesideProgram_;
    vexaro::PreviewPictures pictures_;
    std::unique_ptr<FileDialogs> dialogs_;
    std::unique_ptr<MessageBoxes> boxes_;
    std::unique_ptr<FormSeam> seam_;
    int paneState_ = 0;
    bool busy_ = false;
    bool destroyed_ = false;
    bool shutdownFailed_ = false;
    bool shownOnce_ = false;
    bool animating_ = false;
    bool centredInFrame_ = false;
    // Where the window stood before opening the pane moved it left to keep it on the screen,
    // and where it moved to; it goes back when the pane closes unless the user moved it.
    int homeLeft_ = 0;
    std::optional<int> movedLeft_;
    QStringList recentThemes_;
    QString keysText_; // what F1 shows: the version, and each button's keys
    QPalette fieldPalette_;
    QString saveName_;
    int saveType_ = 1;
};

} // namespace vexaro::app
