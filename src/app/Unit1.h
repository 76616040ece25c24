#pragma once
// The main window: every control the user works with, and the command handlers named after
// their controls. The commands themselves live in the core; this class only wires them to the
// controls, shows their errors and keeps one command from starting inside another.
#include <QString>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <string>

#include "preview/PreviewPictures.h"
#include "tool/ProfileFile.h"
#include "tool/Workspace.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QToolButton;
class QDragEnterEvent;
class QDropEvent;
class QImage;
class QShowEvent;

namespace vexaro::app {

class FormSeam;

// The two file dialogs. `type` is the 1-based index of the chosen file type in the filter;
// on entry the chooser may use `path` and `type` as the dialog's starting name and type.
// Each returns false when the user cancels.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual bool chooseOpen(QWidget* owner, const QString& filter, QString& path, int& type) = 0;
    virtual bool chooseSave(QWidget* owner, const QString& filter, QString& path, int& type) = 0;
};

// The two kinds of message box: an error box captioned with the application title, and a
// plain one.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void showError(QWidget* owner, const QString& text) = 0;
    virtual void showMessage(QWidget* owner, const QString& text) = 0;
};

// The real Qt dialogs and message boxes.
class QtFileDialogs : public FileDialogs {
public:
    bool chooseOpen(QWidget* owner, const QString& filter, QString& path, int& type) override;
    bool chooseSave(QWidget* owner, const QString& filter, QString& path, int& type) override;
};

class QtMessageBoxes : public MessageBoxes {
public:
    void showError(QWidget* owner, const QString& text) override;
    void showMessage(QWidget* owner, const QString& text) override;
};

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

inline constexpr int kNarrowWidth = 460;
inline constexpr int kWideWidth = 740;
inline constexpr int kClientHeight = 421;

class TForm1 : public QWidget {
public:
    // `programFolder` is the workspace, where "Settings.ini" and "bmconv.exe" live.
    // Null dialogs or message boxes mean the real Qt ones. Runs FormCreate.
    TForm1(std::filesystem::path programFolder, std::unique_ptr<FileDialogs> dialogs = nullptr,
           std::unique_ptr<MessageBoxes> boxes = nullptr, QWidget* parent = nullptr);
    // Runs FormDestroy.
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Handlers.
    void FormCreate();
    void FormDestroy();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton7Click();
    void SpeedButton8Click();

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

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // The frame is known only once the window is shown: the outer width and the centred place
    // are set again then.
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    void setOuterWidth(int width);
    void centre();
    void redraw();
    // Runs one command: ignored while another runs; its errors go to the error box.
    template <class F>
    void runCommand(F&& command);
    void showError(const std::string& message);

    vexaro::Workspace workspace_;
    vexaro::ProfileFile settings_;
    vexaro::PreviewPictures pictures_;
    std::unique_ptr<FileDialogs> dialogs_;
    std::unique_ptr<MessageBoxes> boxes_;
    std::unique_ptr<FormSeam> seam_;
    int paneState_ = 0;
    bool busy_ = false;
    bool destroyed_ = false;
    bool shownOnce_ = false;
    QString saveName_;
    int saveType_ = 1;
};

} // namespace vexaro::app
