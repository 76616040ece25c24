#include "app/Unit1.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QShowEvent>
#include <QStringList>
#include <QThread>
#include <QToolButton>
#include <QUrl>

#include <exception>
#include <utility>

#include "tool/ConverterInstall.h"
#include "base/Error.h"
#include "tool/FieldDefaults.h"
#include "app/FormSeam.h"
#include "import/ImportCommands.h"
#include "preview/PreviewExport.h"
#include "preview/SourcePanel.h"
#include "preview/TargetPreview.h"
#include "target/ThemeBuild.h"

namespace vexaro::app {

namespace {

constexpr const char* kTitle = "Vexaro";
constexpr int kVersionMajor = 1, kVersionMinor = 0;
// Wine's copy of "MS Sans Serif" (a scalable container holding the raster strikes; never its
// .fon files, which carry no Unicode map), carried as a resource so that the face is there on
// every platform. Wine's Tahoma comes along for systems whose font engine refuses a container
// without outlines (wine's own, for one).
constexpr const char* kCarriedSansSerif = ":/fonts/ms_sans_serif.ttf";
constexpr const char* kCarriedTahoma = ":/fonts/tahoma.ttf";

// Both faces are offered; the font engine may refuse either.
bool RegisterCarriedFaces()
{
    const int sansSerif = QFontDatabase::addApplicationFont(kCarriedSansSerif);
    const int tahoma = QFontDatabase::addApplicationFont(kCarriedTahoma);
    return sansSerif >= 0 || tahoma >= 0;
}

// "MS Sans Serif" 8 point where the face can be had, else Tahoma 8 point, else the default
// sans serif.
QFont WindowFont()
{
    [[maybe_unused]] static const bool registered = RegisterCarriedFaces();
    const QStringList families = QFontDatabase::families();
    for (const char* face : {"MS Sans Serif", "Tahoma"})
        if (families.contains(face))
            return QFont(face, 8);
    QFont font = QApplication::font();
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

QToolButton* SpeedButton(QWidget* parent, const char* name, const QString& text, int left, int top, int width,
                         int height)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(left, top, width, height);
    return button;
}

QLabel* Picture(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* image = new QLabel(parent);
    image->setObjectName(name);
    image->setGeometry(left, top, width, height);
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return image;
}

QLabel* Caption(QWidget* parent, const char* name, const QString& text, int left, int top, int width, int height)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(left, top, width, height);
    return label;
}

// The file type of a dropped or chosen name by its extension: 1 package, 2 multi-bitmap, 0 other.
int TypeByExtension(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "sis")
        return 1;
    if (suffix == "mbm")
        return 2;
    return 0;
}

int FilterIndex(const QStringList& filters, const QString& chosen)
{
    const auto at = filters.indexOf(chosen);
    return at < 0 ? 1 : static_cast<int>(at) + 1;
}

} // namespace

QString QtFilter(const QString& barFilter)
{
    const QStringList parts = barFilter.split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // A display name that already names its patterns is kept; otherwise they are added.
        const QString& name = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(';', ' ');
        entries << (name.contains('(') ? name : name + " (" + patterns + ")");
    }
    return entries.join(";;");
}

QString ErrorBoxText(const std::string& message)
{
    std::string text = message;
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        text += '.';
    return QString::fromLocal8Bit(text);
}

QImage ToQImage(const Bitmap& picture)
{
    if (picture.empty())
        return QImage();
    const std::vector<std::uint8_t> rgb = picture.toRgb();
    QImage image(picture.width(), picture.height(), QImage::Format_RGB888);
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width()) * 3;
    for (int y = 0; y < picture.height(); ++y)
        std::copy_n(rgb.data() + static_cast<std::size_t>(y) * rowBytes, rowBytes, image.scanLine(y));
    return image;
}

bool QtFileDialogs::chooseOpen(QWidget* owner, const QString& filter, QString& path, int& type)
{
    const QStringList filters = filter.split(";;");
    QString chosenFilter = filters.value(type - 1);
    const QString name = QFileDialog::getOpenFileName(owner, QString(), path, filter, &chosenFilter);
    if (name.isEmpty())
        return false;
    path = name;
    type = FilterIndex(filters, chosenFilter);
    return true;
}

bool QtFileDialogs::chooseSave(QWidget* owner, const QString& filter, QString& path, int& type)
{
    const QStringList filters = filter.split(";;");
    QString chosenFilter = filters.value(type - 1);
    const QString name = QFileDialog::getSaveFileName(owner, QString(), path, filter, &chosenFilter,
                                                      QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return false;
    path = name;
    type = FilterIndex(filters, chosenFilter);
    return true;
}

void QtMessageBoxes::showError(QWidget* owner, const QString& text)
{
    QMessageBox::critical(owner, kTitle, text, QMessageBox::Ok);
}

void QtMessageBoxes::showMessage(QWidget* owner, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, owner);
    box.exec();
}

TForm1::TForm1(std::filesystem::path programFolder, std::unique_ptr<FileDialogs> dialogs,
               std::unique_ptr<MessageBoxes> boxes, QWidget* parent)
    : QWidget(parent), workspace_(programFolder), settings_(programFolder / "Settings.ini"),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<QtFileDialogs>()),
      boxes_(boxes ? std::move(boxes) : std::make_unique<QtMessageBoxes>())
{
    seam_ = std::make_unique<FormSeam>(*this, *boxes_);
    buildLayout();
    FormCreate();
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::buildLayout()
{
    setObjectName("Form1");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(WindowFont());
    setWindowIcon(QIcon(":/vexaro.ico"));
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    setAutoFillBackground(true);
    setAcceptDrops(true);
    setFixedSize(809, kClientHeight);

    Panel2 = new QWidget(this);
    Panel2->setObjectName("Panel2");
    Panel2->setGeometry(0, 0, 428, kClientHeight);

    SpeedButton5 = SpeedButton(this, "SpeedButton5", ">", 428, 0, 24, 65);
    QFont arrow("Arial", 12);
    arrow.setBold(true);
    SpeedButton5->setFont(arrow);
    Image1 = Picture(this, "Image1", 454, 0, 280, 385);
    SpeedButton8 = SpeedButton(this, "SpeedButton8", "Save", 454, 393, 280, 25);

    SpeedButton1 = SpeedButton(Panel2, "SpeedButton1", "Open", 312, 16, 113, 25);
    SpeedButton7 = SpeedButton(Panel2, "SpeedButton7", "Save", 312, 41, 113, 25);
    GroupBox2 = new QGroupBox(Panel2);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(312, 72, 113, 115);
    GroupBox1 = new QGroupBox("Theme :", Panel2);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(8, 8, 297, 393);
    ProgressBar1 = new QProgressBar(Panel2);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(344, 249, 33, 17);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);

    SpeedButton2 = SpeedButton(GroupBox2, "SpeedButton2", "Refresh", 8, 10, 97, 25);
    SpeedButton3 = SpeedButton(GroupBox2, "SpeedButton3", "Clear", 8, 35, 97, 25);
    SpeedButton4 = SpeedButton(GroupBox2, "SpeedButton4", "Start directory", 8, 60, 97, 25);
    SpeedButton6 = SpeedButton(GroupBox2, "SpeedButton6", "Exit", 8, 85, 97, 25);

    Image2 = Picture(GroupBox1, "Image2", 104, 16, 176, 220);
    Label1 = Caption(GroupBox1, "Label1", "44x176", 8, 16, 35, 13);
    Label2 = Caption(GroupBox1, "Label2", "144x176", 8, 80, 41, 13);
    Label3 = Caption(GroupBox1, "Label3", "20x176", 8, 208, 35, 13);
    Label4 = Caption(GroupBox1, "Label4", "Camera    Organiser   Music     Games      Extras      Setup", 8, 248, 271, 13);
    menu = Picture(GroupBox1, "menu", 8, 264, 281, 29);
    submenu = Picture(GroupBox1, "submenu", 8, 320, 281, 44);

    QPalette editFace = palette();
    editFace.setColor(QPalette::Base, editFace.color(QPalette::Button));
    auto makeEdit = [&](int n, int left, int top, int width) {
        auto* edit = new QLineEdit(QString::fromLatin1(vexaro::FieldDefault(n).c_str()), GroupBox1);
        edit->setObjectName(QString("Edit%1").arg(n));
        edit->setGeometry(left, top, width, 21);
        edit->setPalette(editFace);
        edit->setFocusPolicy(Qt::StrongFocus);
        Edit[n] = edit;
    };
    makeEdit(1, 56, 16, 41);
    makeEdit(2, 56, 80, 41);
    makeEdit(3, 56, 208, 41);
    const int columns[6] = {8, 56, 104, 152, 200, 248};
    for (int i = 0; i < 6; ++i) {
        makeEdit(4 + i, columns[i], 296, 42);
        makeEdit(10 + i, columns[i], 368, 42);
    }
    const int focusOrder[] = {2, 1, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15, 9, 8};
    for (std::size_t i = 0; i + 1 < std::size(focusOrder); ++i)
        setTabOrder(Edit[focusOrder[i]], Edit[focusOrder[i + 1]]);

    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm1::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm1::SpeedButton3Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm1::SpeedButton4Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TForm1::SpeedButton5Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TForm1::SpeedButton6Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &TForm1::SpeedButton7Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &TForm1::SpeedButton8Click);
}

int TForm1::outerWidth() const { return frameGeometry().width(); }

void TForm1::setOuterWidth(int width)
{
    const int frame = frameGeometry().width() - geometry().width();
    setFixedSize(width - frame, kClientHeight);
}

void TForm1::centre()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect placed = frameGeometry();
        placed.moveCenter(screen->availableGeometry().center());
        move(placed.topLeft());
    }
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    setOuterWidth(paneState_ == 0 ? kNarrowWidth : kWideWidth);
    centre();
}

void TForm1::refreshImages()
{
    Image1->setPixmap(QPixmap::fromImage(ToQImage(pictures_.image1)));
    Image2->setPixmap(QPixmap::fromImage(ToQImage(pictures_.image2)));
    menu->setPixmap(QPixmap::fromImage(ToQImage(pictures_.menu)));
    submenu->setPixmap(QPixmap::fromImage(ToQImage(pictures_.submenu)));
}

void TForm1::showError(const std::string& message) { boxes_->showError(this, ErrorBoxText(message)); }

template <class F>
void TForm1::runCommand(F&& command)
{
    // A click that arrives while a command lets pending messages run is dropped.
    if (busy_)
        return;
    busy_ = true;
    try {
        command();
    } catch (const std::exception& e) {
        refreshImages();
        busy_ = false;
        showError(e.what());
        return;
    }
    refreshImages();
    busy_ = false;
}

void TForm1::redraw() { vexaro::DrawSourcePanel(workspace_, *seam_, pictures_); }

void TForm1::FormCreate()
{
    runCommand([this] {
        for (int n = 1; n <= vexaro::kFieldCount; ++n) {
            const std::string current = Edit[n]->text().toLocal8Bit().toStdString();
            Edit[n]->setText(QString::fromLocal8Bit(settings_.read(vexaro::kFieldSettingsSection, std::to_string(n), current)));
        }
        setWindowTitle(QString("Vexaro v%1.%2 by Tarvek aka Tvk").arg(kVersionMajor).arg(kVersionMinor));
        setOuterWidth(kNarrowWidth);
        // Docking: the toggle button stands beside the left panel at full height, the progress
        // bar spans the bottom of the panel.
        SpeedButton5->setGeometry(Panel2->width(), 0, SpeedButton5->width(), kClientHeight);
        ProgressBar1->setGeometry(0, Panel2->height() - 17, Panel2->width(), 17);
        centre();
        redraw();
        vexaro::InstallConverter(workspace_.folder());
    });
}

void TForm1::FormDestroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    busy_ = false;
    runCommand([this] {
        for (int n = 1; n <= vexaro::kFieldCount; ++n)
            settings_.write(vexaro::kFieldSettingsSection, std::to_string(n), Edit[n]->text().toLocal8Bit().toStdString());
    });
}

void TForm1::openChosen(const QString& path, int type)
{
    runCommand([&] {
        vexaro::OpenTheme(workspace_, path.toLocal8Bit().toStdString(), static_cast<vexaro::ThemeFileType>(type),
                          *seam_, [this] { redraw(); });
    });
}

void TForm1::SpeedButton1Click()
{
    if (busy_)
        return;
    QString path;
    int type = 1;
    if (!dialogs_->chooseOpen(this, QtFilter(kOpenFilter), path, type))
        return;
    openChosen(path, type);
}

void TForm1::SpeedButton2Click()
{
    runCommand([this] { redraw(); });
}

void TForm1::SpeedButton3Click()
{
    runCommand([this] { vexaro::ClearTheme(workspace_, [this] { redraw(); }); });
}

void TForm1::SpeedButton4Click()
{
    runCommand([this] { QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(workspace_.folderText()))); });
}

void TForm1::SpeedButton5Click()
{
    runCommand([this] {
        // Each step waits 1 ms and lets no messages run; a step the platform refuses ends the
        // animation at the width it allows.
        auto animate = [this](int target, int step) {
            for (;;) {
                const int now = outerWidth();
                if ((step > 0 && now >= target) || (step < 0 && now <= target))
                    break;
                setOuterWidth(now + step);
                repaint();
                QThread::msleep(1);
                if (outerWidth() == now)
                    break;
            }
            setOuterWidth(target);
        };
        if (paneState_ == 0) {
            vexaro::DrawTargetPreview(workspace_, *seam_, pictures_.image1);
            refreshImages();
            animate(kWideWidth, 10);
            SpeedButton5->setText("<");
            paneState_ = 1;
        } else {
            animate(kNarrowWidth, -10);
            SpeedButton5->setText(">");
            paneState_ = 0;
        }
    });
}

void TForm1::SpeedButton6Click()
{
    if (!busy_)
        close();
}

void TForm1::SpeedButton7Click()
{
    runCommand([this] { vexaro::SaveTheme(workspace_, *seam_); });
}

void TForm1::SpeedButton8Click()
{
    if (busy_)
        return;
    QString name = saveName_;
    int type = saveType_;
    if (!dialogs_->chooseSave(this, QtFilter(kSaveFilter), name, type))
        return;
    saveName_ = name;
    saveType_ = type;
    runCommand([&] { vexaro::ExportPreview(pictures_.image1, name.toLocal8Bit().toStdString(),
                                                  static_cast<vexaro::PreviewFileType>(type)); });
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.front().isLocalFile() && TypeByExtension(urls.front().toLocalFile()) != 0)
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return;
    const QString path = urls.front().toLocalFile();
    const int type = TypeByExtension(path);
    if (type == 0)
        return;
    event->acceptProposedAction();
    openChosen(path, type);
}

} // namespace vexaro::app
