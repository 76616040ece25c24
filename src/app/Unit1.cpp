#include "app/Unit1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QFrame>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMoveEvent>
#include <QPixmap>
#include <QProcess>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <cctype>
#include <exception>
#include <optional>
#include <system_error>
#include <utility>

#include "tool/ConverterInstall.h"
#include "base/Error.h"
#include "base/Unicode.h"
#include "tool/FieldDefaults.h"
#include "app/FormSeam.h"
#include "app/TextBytes.h"
#include "import/ImportCommands.h"
#include "preview/PreviewExport.h"
#include "preview/SourcePanel.h"
#include "preview/TargetPreview.h"
#include "siemens/ThemeBuild.h"

namespace vexaro::app {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTitle = "Vexaro";
constexpr int kVersionMajor = 1, kVersionMinor = 0;
// Wine's copy of "MS Sans Serif" (a scalable container holding the raster strikes; never its
// .fon files, which carry no Unicode map), carried as a resource so that the face is there on
// every platform. Wine's Tahoma comes along for screens scaled above 1, where the strikes of
// the former are drawn too small, and for systems whose font engine refuses a container without
// outlines (wine's own, for one).
constexpr const char* kCarriedSansSerif = ":/fonts/ms_sans_serif.ttf";
constexpr const char* kCarriedTahoma = ":/fonts/tahoma.ttf";
constexpr const char* kBusyNotice = "Busy: try again when the running command has ended.";

// Windows spaces Tahoma's lines by its ascent and descent, 1.2 em apart. Wine's copy would
// have them closer, so that the lines of a message touch: its bitmap strikes for small sizes
// (the tables EBLC, EBDT and "BDF ") bring metrics 0.9 em apart, and its OS/2 table asks for
// its typographic metrics (the flag USE_TYPO_METRICS, bit 7 of fsSelection), 1.0 em apart. The
// carried copy hides the strikes (the third letter of their tags made small, which keeps the
// table directory sorted) and clears the flag, so that every size spaces its lines
// as Windows does. Tahoma serves scaled screens, where the strikes are seldom of use anyway.
QByteArray SpacedAsOnWindows(QByteArray font)
{
    auto byte = [&](qsizetype at) { return static_cast<unsigned char>(font[at]); };
    auto u16 = [&](qsizetype at) { return qsizetype{byte(at)} << 8 | byte(at + 1); };
    auto u32 = [&](qsizetype at) { return u16(at) << 16 | u16(at + 2); };
    // A 12-byte header with the number of tables, then 16 bytes for each: tag, checksum,
    // offset, length.
    constexpr qsizetype kTables = 12, kEntry = 16, kSelection = 62;
    if (font.size() < kTables)
        return font;
    for (qsizetype entry = kTables; entry < kTables + kEntry * u16(4) && entry + kEntry <= font.size();
         entry += kEntry) {
        const QByteArray tag = font.mid(entry, 4);
        if (tag == "EBLC" || tag == "EBDT" || tag == "BDF ")
            font[entry + 2] = static_cast<char>(std::tolower(byte(entry + 2)));
        const qsizetype flags = u32(entry + 8) + kSelection;
        if (tag == "OS/2" && u32(entry + 12) >= kSelection + 2 && flags + 2 <= font.size())
            font[flags + 1] = static_cast<char>(byte(flags + 1) & ~0x80);
    }
    return font;
}

// Both faces are offered; the font engine may refuse either.
bool RegisterCarriedFaces()
{
    const int sansSerif = QFontDatabase::addApplicationFont(kCarriedSansSerif);
    QFile tahomaFile(kCarriedTahoma);
    const int tahoma = tahomaFile.open(QIODevice::ReadOnly)
                           ? QFontDatabase::addApplicationFontFromData(SpacedAsOnWindows(tahomaFile.readAll()))
                           : -1;
    return sansSerif >= 0 || tahoma >= 0;
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

// The theme file a drag carries: one local .sis or .mbm file; else empty.
QString DraggedTheme(const QMimeData* data)
{
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls.front().isLocalFile() || TypeByExtension(urls.front().toLocalFile()) == 0)
        return {};
    return urls.front().toLocalFile();
}

int FilterIndex(const QStringList& filters, const QString& chosen)
{
    const auto at = filters.indexOf(chosen);
    return at < 0 ? 1 : static_cast<int>(at) + 1;
}

// While a box is up, the pointer is the normal one even when a command is busy behind it.
class NormalPointer {
public:
    NormalPointer() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~NormalPointer() { QApplication::restoreOverrideCursor(); }
    NormalPointer(const NormalPointer&) = delete;
    NormalPointer& operator=(const NormalPointer&) = delete;
};

// A box with the message on its first line and the file and reason below it, never narrower
// than kMinimumBoxWidth. Plain text: a file name is never taken for markup.
int RunBox(QWidget* owner, QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons)
{
    const qsizetype lineEnd = text.indexOf('\n');
    QMessageBox box(icon, kTitle, text.left(lineEnd), buttons, owner);
    box.setTextFormat(Qt::PlainText);
    if (lineEnd >= 0)
        box.setInformativeText(text.mid(lineEnd + 1));
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(kMinimumBoxWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(),
                      0, 1, grid->columnCount());
    const NormalPointer pointer;
    return box.exec();
}

// A caption set for the raster face's widths is narrowed to its box when a wider face would
// cut it off ("Setup" at the end of the menu names); a caption that fits is left as it is.
void FitCaption(QLabel* label)
{
    const int needed = label->fontMetrics().horizontalAdvance(label->text());
    if (needed <= label->width())
        return;
    QFont narrowed = label->font();
    narrowed.setStretch(std::max(50, label->width() * 100 / needed));
    label->setFont(narrowed);
}

QPixmap ScreenPixmap(const QImage& image, qreal ratio, bool smooth)
{
    if (image.isNull() || ratio <= 1.0 || !smooth)
        return QPixmap::fromImage(image);
    QPixmap pixmap =
        QPixmap::fromImage(image.scaled(image.size() * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
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
    return QString::fromStdString(text);
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

QFont WindowFont(qreal devicePixelRatio)
{
    [[maybe_unused]] static const bool registered = RegisterCarriedFaces();
    const QStringList families = QFontDatabase::families();
    if (devicePixelRatio <= 1.0 && families.contains("MS Sans Serif"))
        return QFont("MS Sans Serif", 8);
    if (families.contains("Tahoma"))
        return QFont("Tahoma", 8);
    QFont font = QApplication::font();
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

bool QtFileDialogs::chooseOpen(QWidget* owner, const QString& filter, const QStringList& recent, QString& path,
                               int& type)
{
    QStringList folders;
    for (const QString& theme : recent) {
        const QFileInfo file(theme);
        if (file.dir().exists() && !folders.contains(file.absolutePath()))
            folders << file.absolutePath();
    }
    QFileDialog dialog(owner, QString(), folders.value(0, path), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Qt's history runs from the oldest to the latest.
    dialog.setHistory(QStringList(folders.rbegin(), folders.rend()));
    const QStringList filters = filter.split(";;");
    dialog.selectNameFilter(filters.value(type - 1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    path = dialog.selectedFiles().front();
    type = FilterIndex(filters, dialog.selectedNameFilter());
    return true;
}

bool QtFileDialogs::chooseSave(QWidget* owner, const QString& filter, QString& path, int& type)
{
    // The window asks before replacing, about the name the export will really write.
    const QStringList filters = filter.split(";;");
    QString chosenFilter = filters.value(type - 1);
    const QString name =
        QFileDialog::getSaveFileName(owner, QString(), path, filter, &chosenFilter, QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return false;
    path = name;
    type = FilterIndex(filters, chosenFilter);
    return true;
}

void QtMessageBoxes::showError(QWidget* owner, const QString& text)
{
    RunBox(owner, QMessageBox::Critical, text, QMessageBox::Ok);
}

void QtMessageBoxes::showMessage(QWidget* owner, const QString& text)
{
    RunBox(owner, QMessageBox::NoIcon, text, QMessageBox::Ok);
}

void QtMessageBoxes::showInformation(QWidget* owner, const QString& text)
{
    RunBox(owner, QMessageBox::Information, text, QMessageBox::Ok);
}

bool QtMessageBoxes::ask(QWidget* owner, const QString& text)
{
    return RunBox(owner, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtMessageBoxes::notify(QWidget* owner, const QString& text)
{
    // By the pointer when it is over the window, else (a key was refused) over the window's middle.
    QPoint at = QCursor::pos() + QPoint(12, 16);
    if (owner && !owner->rect().contains(owner->mapFromGlobal(QCursor::pos())))
        at = owner->mapToGlobal(owner->rect().center());
    QApplication::beep();
    showNotice(owner, text, at, false);
}

void QtMessageBoxes::inform(QWidget* owner, const QString& text)
{
    // Over the middle of the window's bottom, above the progress bar.
    showNotice(owner, text, owner ? owner->mapToGlobal(QPoint(owner->width() / 2, owner->height() - 24)) : QPoint(),
               true);
    QTimer::singleShot(informTime_, notice_.data(), [this, shown = shown_] {
        if (shown_ == shown)
            withdrawNotice();
    });
}

void QtMessageBoxes::withdrawNotice()
{
    if (notice_)
        notice_->hide();
}

QLabel* QtMessageBoxes::notice() const { return notice_ && notice_->isVisible() ? notice_.data() : nullptr; }

void QtMessageBoxes::showNotice(QWidget* owner, const QString& text, QPoint at, bool above)
{
    if (!notice_) {
        notice_ = new QLabel(owner, Qt::ToolTip | Qt::FramelessWindowHint);
        notice_->setObjectName("Notice");
        notice_->setAttribute(Qt::WA_ShowWithoutActivating);
        notice_->setTextFormat(Qt::PlainText);
        notice_->setForegroundRole(QPalette::ToolTipText);
        notice_->setBackgroundRole(QPalette::ToolTipBase);
        notice_->setAutoFillBackground(true);
        notice_->setFrameStyle(QFrame::Box | QFrame::Plain);
        notice_->setMargin(3);
    }
    ++shown_;
    notice_->setText(text);
    notice_->adjustSize();
    if (above)
        at -= QPoint(notice_->width() / 2, notice_->height());
    if (const QScreen* screen = owner ? owner->screen() : nullptr) {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - notice_->width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - notice_->height())));
    }
    notice_->move(at);
    notice_->show();
    notice_->raise();
    // Painted now: a command that refuses input lets messages run only between its steps, and
    // the notice would otherwise wait for the next one.
    QElapsedTimer waited;
    waited.start();
    while (notice_->windowHandle() && !notice_->windowHandle()->isExposed() && waited.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    notice_->repaint();
}

TForm1::TForm1(std::filesystem::path programFolder, std::unique_ptr<FileDialogs> dialogs,
               std::unique_ptr<MessageBoxes> boxes, std::filesystem::path settingsBesideProgram)
    : workspace_(programFolder), settings_(programFolder / "Settings.ini"),
      settingsBesideProgram_(std::move(settingsBesideProgram)),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<QtFileDialogs>()),
      boxes_(boxes ? std::move(boxes) : std::make_unique<QtMessageBoxes>())
{
    seam_ = std::make_unique<FormSeam>(*this, *boxes_);
    buildLayout();
    addKeys();
    // The left pane shows the window's colour until a draw paints it, also when the first fails.
    for (vexaro::Bitmap* picture : {&pictures_.image2, &pictures_.menu, &pictures_.submenu})
        picture->fill(seam_->faceColour());
    FormCreate();
}

TForm1::~TForm1()
{
    FormDestroy();
    // A file manager still starting is left to itself, and its outcome to no one.
    for (QProcess* opener : findChildren<QProcess*>()) {
        opener->disconnect(this);
        if (opener->state() != QProcess::NotRunning)
            opener->setParent(nullptr);
    }
}

void TForm1::buildLayout()
{
    setObjectName("Form1");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // Dialogs and boxes share the window's face.
    const QFont face = WindowFont(devicePixelRatioF());
    QApplication::setFont(face);
    setFont(face);
    setWindowIcon(QIcon(":/vexaro.ico"));
    QPalette facePalette = palette();
    facePalette.setColor(QPalette::Window, facePalette.color(QPalette::Button));
    setPalette(facePalette);
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
    SpeedButton8 = SpeedButton(this, "SpeedButton8", "Sa&ve", 454, 393, 280, 25);
    buildPanel();
    buildFields();

    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm1::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm1::SpeedButton3Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm1::SpeedButton4Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TForm1::SpeedButton5Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TForm1::SpeedButton6Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &TForm1::SpeedButton7Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &TForm1::SpeedButton8Click);
}

// The left panel: the command buttons, the progress bar and the theme pictures with their captions.
void TForm1::buildPanel()
{
    SpeedButton1 = SpeedButton(Panel2, "SpeedButton1", kOpenCaption, 312, 16, 113, 25);
    SpeedButton7 = SpeedButton(Panel2, "SpeedButton7", "&Save", 312, 41, 113, 25);
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

    SpeedButton2 = SpeedButton(GroupBox2, "SpeedButton2", "&Refresh", 8, 10, 97, 25);
    SpeedButton3 = SpeedButton(GroupBox2, "SpeedButton3", "&Clear", 8, 35, 97, 25);
    SpeedButton4 = SpeedButton(GroupBox2, "SpeedButton4", "Start &directory", 8, 60, 97, 25);
    SpeedButton6 = SpeedButton(GroupBox2, "SpeedButton6", "E&xit", 8, 85, 97, 25);

    Image2 = Picture(GroupBox1, "Image2", 104, 16, 176, 220);
    auto caption = [](int field) {
        const std::string_view text = vexaro::ThemeFieldOf(field).caption;
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    };
    Label1 = Caption(GroupBox1, "Label1", caption(vexaro::kStatusAreaField), 8, 16, 35, 13);
    Label2 = Caption(GroupBox1, "Label2", caption(vexaro::kMainAreaField), 8, 80, 41, 13);
    Label3 = Caption(GroupBox1, "Label3", caption(vexaro::kControlAreaField), 8, 208, 35, 13);
    QString iconCaptions;
    for (const vexaro::ThemeField& field : vexaro::kThemeFields)
        if (field.form == 1)
            iconCaptions += caption(field.number);
    Label4 = Caption(GroupBox1, "Label4", iconCaptions, 8, 248, 271, 13);
    for (QLabel* label : {Label1, Label2, Label3, Label4})
        FitCaption(label);
    menu = Picture(GroupBox1, "menu", 8, 264, 281, 29);
    submenu = Picture(GroupBox1, "submenu", 8, 320, 281, 44);
}

// The fifteen bitmap number fields in GroupBox1, in their focus order.
void TForm1::buildFields()
{
    fieldPalette_ = palette();
    fieldPalette_.setColor(QPalette::Base, fieldPalette_.color(QPalette::Button));
    auto makeEdit = [&](int n, int left, int top, int width) {
        auto* edit = new QLineEdit(QString::fromLatin1(vexaro::FieldDefault(n).c_str()), GroupBox1);
        edit->setObjectName(QString("Edit%1").arg(n));
        edit->setGeometry(left, top, width, 21);
        edit->setPalette(fieldPalette_);
        edit->setFocusPolicy(Qt::StrongFocus);
        edit->installEventFilter(this);
        Edit[n] = edit;
        // Two pixels round the field, under it; the gaps between the controls hold it.
        auto* mark = new QFrame(GroupBox1);
        mark->setObjectName(QString("Edit%1Missing").arg(n));
        mark->setFrameStyle(QFrame::Box | QFrame::Plain);
        mark->setLineWidth(2);
        QPalette markColour = mark->palette();
        markColour.setColor(QPalette::WindowText, QColor::fromRgb(kMissingBitmapColour));
        mark->setPalette(markColour);
        mark->setAttribute(Qt::WA_TransparentForMouseEvents);
        mark->setGeometry(edit->geometry().adjusted(-2, -2, 2, 2));
        mark->stackUnder(edit);
        mark->hide();
        missingMark[n] = mark;
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
}

// Keys beside the access keys of the captions: Ctrl+O Open, Ctrl+S Save, F5 Refresh, Alt+P the
// pane toggle, Enter in a number field Refresh, F1 the list of keys. Each presses its button, so
// a key refused while busy is refused as a click is. Every button's tooltip names its keys.
void TForm1::addKeys()
{
    const struct {
        QToolButton* button;
        const char* what;
        QKeySequence key; // besides the access key of its caption
        const char* more;
    } buttons[] = {
        {SpeedButton1, "Open a theme", QKeySequence(Qt::CTRL | Qt::Key_O), nullptr},
        {SpeedButton7, "Build the Siemens theme files", QKeySequence(Qt::CTRL | Qt::Key_S), nullptr},
        {SpeedButton2, "Redraw the theme from the numbers", QKeySequence(Qt::Key_F5), "Enter in a number field"},
        {SpeedButton3, "Throw the opened theme away", QKeySequence(), nullptr},
        {SpeedButton4, "Show the program folder", QKeySequence(), nullptr},
        {SpeedButton5, "Show or hide the preview", QKeySequence(Qt::ALT | Qt::Key_P), nullptr},
        {SpeedButton8, "Save the preview picture", QKeySequence(), nullptr},
        {SpeedButton6, "Exit", QKeySequence(), nullptr},
    };
    keysText_ = QString("Vexaro %1\n").arg(VEXARO_VERSION);
    for (const auto& b : buttons) {
        QStringList names;
        for (const QKeySequence& key : {b.key, QKeySequence::mnemonic(b.button->text())})
            if (!key.isEmpty())
                names << key.toString(QKeySequence::NativeText);
        if (b.more)
            names << b.more;
        if (!b.key.isEmpty())
            connect(new QShortcut(b.key, this), &QShortcut::activated, b.button, &QToolButton::click);
        b.button->setToolTip(QString("%1 (%2)").arg(b.what, names.join(", ")));
        keysText_ += QString("\n%1: %2").arg(b.what, names.join(", "));
    }
    keysText_ += "\nThese keys: F1";
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, &TForm1::showKeys);
    for (int n = 1; n <= vexaro::kFieldCount; ++n) {
        connect(Edit[n], &QLineEdit::returnPressed, SpeedButton2, &QToolButton::click);
        connect(Edit[n], &QLineEdit::textChanged, this, [this, n] { markField(n, themeOpen()); });
    }
}

int TForm1::outerWidth() const { return frameGeometry().width(); }

void TForm1::setOuterWidth(int width)
{
    const int frame = frameGeometry().width() - geometry().width();
    setFixedSize(width - frame, kClientHeight);
}

// The pane state decides the outer width; a frame that arrives late changes the client width,
// never the outer one.
void TForm1::holdOuterWidth()
{
    const int wanted = paneState_ == 0 ? kNarrowWidth : kWideWidth;
    if (!shownOnce_ || animating_ || outerWidth() == wanted)
        return;
    setOuterWidth(wanted);
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

void TForm1::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    holdOuterWidth();
    // Centred once more when the window manager's frame is first known.
    if (shownOnce_ && !centredInFrame_ && frameGeometry() != geometry()) {
        centredInFrame_ = true;
        centre();
    }
}

void TForm1::refreshImages()
{
    // On a scaled screen the preview is smoothed to the screen's pixels; the source panel keeps
    // its bitmaps' own pixels.
    const qreal ratio = devicePixelRatioF();
    Image1->setPixmap(ScreenPixmap(ToQImage(pictures_.image1), ratio, true));
    Image2->setPixmap(ScreenPixmap(ToQImage(pictures_.image2), ratio, false));
    menu->setPixmap(ScreenPixmap(ToQImage(pictures_.menu), ratio, false));
    submenu->setPixmap(ScreenPixmap(ToQImage(pictures_.submenu), ratio, false));
}

void TForm1::showError(const std::string& message) { boxes_->showError(this, ErrorBoxText(message)); }

void TForm1::refuseWhileBusy() { boxes_->notify(this, kBusyNotice); }

template <class F>
bool TForm1::runCommand(F&& command)
{
    if (busy_) {
        refuseWhileBusy();
        return false;
    }
    std::optional<std::string> failure;
    {
        busy_ = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto atRest = qScopeGuard([this] {
            QApplication::restoreOverrideCursor();
            busy_ = false;
        });
        try {
            command();
        } catch (const std::exception& e) {
            failure = e.what();
        } catch (...) {
            failure = "Unexpected error";
        }
        refreshImages();
        seam_->setOpenCaption("Open");
        boxes_->withdrawNotice();
        if (failure)
            ProgressBar1->setValue(ProgressBar1->minimum());
        markMissingBitmaps();
    }
    if (failure)
        showError(*failure);
    return !failure;
}

void TForm1::redraw() { vexaro::DrawSourcePanel(workspace_, *seam_, pictures_); }

bool TForm1::themeOpen() const
{
    std::error_code ec;
    return fs::is_directory(workspace_.unpacked(), ec) && !fs::is_empty(workspace_.unpacked(), ec);
}

void TForm1::markField(int n, bool open)
{
    QLineEdit* edit = Edit[n];
    const bool missing = open && !workspace_.findSourceBitmap(BytesOfText(edit->text()));
    QPalette colours = fieldPalette_;
    if (missing)
        colours.setColor(QPalette::Text, QColor::fromRgb(kMissingBitmapColour));
    edit->setPalette(colours);
    missingMark[n]->setVisible(missing);
    edit->setToolTip(missing ? QString("No bitmap %1 in this theme").arg(edit->text()) : QString());
}

void TForm1::markMissingBitmaps()
{
    const bool open = themeOpen();
    for (int n = 1; n <= vexaro::kFieldCount; ++n)
        markField(n, open);
}

void TForm1::readSettings()
{
    settings_.removeUnfinishedWrite();
    std::error_code ec;
    const bool ownFile = fs::exists(settings_.path(), ec) || settingsBesideProgram_.empty();
    const vexaro::ProfileValues source =
        vexaro::ProfileFile(ownFile ? settings_.path() : settingsBesideProgram_).load();
    for (int n = 1; n <= vexaro::kFieldCount; ++n) {
        const std::string current = BytesOfText(Edit[n]->text());
        Edit[n]->setText(TextOfBytes(source.read(vexaro::kFieldSettingsSection, std::to_string(n), current)));
    }
    for (int n = 1; n <= kRecentThemeCount; ++n)
        if (const std::string theme = source.read(kRecentThemesSection, std::to_string(n), {}); !theme.empty())
            recentThemes_ << TextOfBytes(theme);
}

void TForm1::FormCreate()
{
    runCommand([this] {
        readSettings();
        setWindowTitle(QString("Vexaro v%1.%2 by Tarvek aka Tvk").arg(kVersionMajor).arg(kVersionMinor));
        setOuterWidth(kNarrowWidth);
        // Docking: the toggle button stands beside the left panel at full height, the progress
        // bar spans the bottom of the panel.
        SpeedButton5->setGeometry(Panel2->width(), 0, SpeedButton5->width(), kClientHeight);
        ProgressBar1->setGeometry(0, Panel2->height() - 17, Panel2->width(), 17);
        // The closed pane is hidden as well, so that no strip of it shows beside the toggle
        // button where the window's frame is thinner than 4 pixels.
        showPane(false);
        centre();
    });
    runCommand([this] { redraw(); });
    // Installed even when the first draw failed, so that every later command finds it. A copy
    // working in the user's data folder brings the converter there up to its own version.
    runCommand([this] {
        vexaro::InstallConverter(workspace_.folder(), settingsBesideProgram_.empty()
                                                          ? vexaro::ExistingConverter::Keep
                                                          : vexaro::ExistingConverter::ReplaceIfDifferent);
    });
}

void TForm1::FormDestroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    std::vector<vexaro::ProfileEntry> entries;
    for (int n = 1; n <= vexaro::kFieldCount; ++n)
        entries.push_back({vexaro::kFieldSettingsSection, std::to_string(n), BytesOfText(Edit[n]->text())});
    for (qsizetype i = 0; i < recentThemes_.size(); ++i)
        entries.push_back({kRecentThemesSection, std::to_string(i + 1), BytesOfText(recentThemes_[i])});
    try {
        settings_.write(entries);
    } catch (const std::exception& e) {
        shutdownFailed_ = true;
        showError(e.what());
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (busy_) {
        event->ignore();
        refuseWhileBusy();
        return;
    }
    FormDestroy();
    event->accept();
}

void TForm1::openChosen(const QString& path, int type)
{
    vexaro::OpenOutcome outcome;
    const bool opened = runCommand([&] {
        outcome = vexaro::OpenTheme(workspace_, path.toStdString(), static_cast<vexaro::ThemeFileType>(type), *seam_,
                                    [this] { redraw(); });
    });
    if (opened)
        rememberTheme(path);
    // The bitmaps that could not be unpacked, and why, and what was passed over; the others are
    // shown.
    std::string told = outcome.problems();
    for (const std::string& warning : outcome.warnings)
        told += (told.empty() ? "" : "\n") + warning;
    if (!told.empty())
        boxes_->showMessage(this, QString::fromStdString(told));
}

void TForm1::SpeedButton1Click()
{
    if (busy_)
        return refuseWhileBusy();
    QString path = recentThemes_.value(0);
    int type = TypeByExtension(path) == 2 ? 2 : 1;
    if (!dialogs_->chooseOpen(this, QtFilter(kOpenFilter), recentThemes_, path, type))
        return;
    openChosen(path, type);
}

// The latest first, each once, at most kRecentThemeCount.
void TForm1::rememberTheme(const QString& path)
{
    const QString theme = QFileInfo(path).absoluteFilePath();
    recentThemes_.removeAll(theme);
    recentThemes_.prepend(theme);
    while (recentThemes_.size() > kRecentThemeCount)
        recentThemes_.removeLast();
}

void TForm1::showKeys()
{
    if (busy_)
        return refuseWhileBusy();
    boxes_->showInformation(this, keysText_);
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
    runCommand([this] { showProgramFolder(); });
}

// Asks the desktop to show the program folder and says so when nothing can. Where xdg-open
// decides, its exit status tells whether some program took the folder; it runs on its own,
// since a file manager it starts may live as long as the user keeps it open.
void TForm1::showProgramFolder()
{
    const QString folder = QString::fromStdString(workspace_.folderText());
    auto noFileManager = [this, folder] {
        boxes_->showMessage(this, "There is no file manager to show the folder\n" + folder);
    };
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (const QString opener = QStandardPaths::findExecutable("xdg-open"); !opener.isEmpty()) {
        auto* process = new QProcess(this);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        connect(process, &QProcess::finished, this, [process, noFileManager](int code, QProcess::ExitStatus status) {
            process->deleteLater();
            if (status != QProcess::NormalExit || code != 0)
                noFileManager();
        });
        connect(process, &QProcess::errorOccurred, this, [process, noFileManager](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            process->deleteLater();
            noFileManager();
        });
        process->start(opener, {folder});
        return;
    }
#endif
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        noFileManager();
}

void TForm1::SpeedButton5Click()
{
    runCommand([this] {
        if (paneState_ == 0) {
            vexaro::DrawTargetPreview(workspace_, *seam_, pictures_.image1);
            refreshImages();
            showPane(true);
            const int left = frameGeometry().left();
            animateWidth(kWideWidth, left);
            movedLeft_.reset();
            if (frameGeometry().left() != left) {
                homeLeft_ = left;
                movedLeft_ = frameGeometry().left();
            }
            SpeedButton5->setText("<");
            paneState_ = 1;
        } else {
            // Back where it stood, unless the user has moved it since.
            const bool goBack = movedLeft_ && *movedLeft_ == frameGeometry().left();
            animateWidth(kNarrowWidth, goBack ? homeLeft_ : frameGeometry().left());
            movedLeft_.reset();
            showPane(false);
            SpeedButton5->setText(">");
            paneState_ = 0;
        }
    });
}

// Widens or narrows the window in steps of 10 pixels, each followed by a pause of 1 ms with no
// messages let run; a step the platform refuses ends the animation at the width it allows. The
// left edge stays at `home`, except where the window would cross the screen's right edge: it
// is moved left just enough then (as far as the screen's left edge).
void TForm1::animateWidth(int target, int home)
{
    animating_ = true;
    const auto done = qScopeGuard([this] { animating_ = false; });
    const QRect area = screen() ? screen()->availableGeometry() : QRect();
    auto place = [&](int width) {
        if (!area.isEmpty()) {
            const int left = std::max(area.left(), std::min(home, area.right() + 1 - width));
            if (left != frameGeometry().left())
                move(left, pos().y());
        }
        setOuterWidth(width);
    };
    const int step = target > outerWidth() ? 10 : -10;
    for (;;) {
        const int now = outerWidth();
        if ((step > 0 && now >= target) || (step < 0 && now <= target))
            break;
        place(now + step);
        repaint();
        QThread::msleep(1);
        if (outerWidth() == now)
            break;
    }
    place(target);
}

void TForm1::showPane(bool shown)
{
    Image1->setVisible(shown);
    SpeedButton8->setVisible(shown);
}

void TForm1::SpeedButton6Click() { close(); }

void TForm1::SpeedButton7Click()
{
    std::optional<vexaro::SaveOutcome> outcome;
    runCommand([&] { outcome = vexaro::SaveTheme(workspace_, *seam_); });
    if (outcome)
        tellSaved(*outcome);
}

// A file left unbuilt is an error; files built white where the theme lacks a bitmap are no
// failure but never passed over; a whole theme gets a notice that goes by itself.
void TForm1::tellSaved(const vexaro::SaveOutcome& outcome)
{
    const auto& targets = outcome.targets;
    if (!std::all_of(targets.begin(), targets.end(), [](const vexaro::TargetOutcome& t) { return t.built; }))
        return showError("The Siemens theme is incomplete\n" + outcome.problems());
    if (!outcome.complete())
        return boxes_->showInformation(
            this, QString::fromStdString("The Siemens theme was built, white where bitmaps are missing\n" +
                                         outcome.problems()));
    QStringList names;
    for (const vexaro::TargetOutcome& t : targets)
        names << QString::fromStdString(t.file.substr(t.file.find_last_of('\\') + 1));
    const QString folder = QString::fromStdString((workspace_.target() / "").string());
    boxes_->inform(this, QString("Saved the Siemens theme in %1\n%2").arg(folder, names.join(", ")));
}

void TForm1::SpeedButton8Click()
{
    if (busy_)
        return refuseWhileBusy();
    QString name = saveName_;
    int type = saveType_;
    // The type decides the name written; an existing file of that name is replaced only when
    // the user says so, else the dialog comes back.
    QString written;
    for (;;) {
        if (!dialogs_->chooseSave(this, QtFilter(kSaveFilter), name, type))
            return;
        const std::string file = vexaro::ReplaceExtension(name.toStdString(), type == 2 ? ".bmp" : ".jpg");
        written = QString::fromStdString(file);
        std::error_code ec;
        if (!fs::exists(vexaro::PathFromUtf8(file), ec) ||
            boxes_->ask(this, written + " already exists.\nDo you want to replace it?"))
            break;
    }
    saveName_ = name;
    saveType_ = type;
    if (runCommand([&] {
            vexaro::ExportPreview(pictures_.image1, name.toStdString(), static_cast<vexaro::PreviewFileType>(type));
        }))
        boxes_->inform(this, "Saved the preview as " + written);
}

void TForm1::judgeDrag(QDragMoveEvent* event)
{
    // Refused drags show the no-drop pointer and are reported to their source as not accepted.
    if (!busy_ && !DraggedTheme(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) { judgeDrag(event); }

void TForm1::dragMoveEvent(QDragMoveEvent* event) { judgeDrag(event); }

void TForm1::dropEvent(QDropEvent* event)
{
    const QString path = DraggedTheme(event->mimeData());
    if (busy_ || path.isEmpty()) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        if (busy_)
            refuseWhileBusy();
        return;
    }
    event->acceptProposedAction();
    // The drop is answered at once; the theme opens once the drag has ended.
    QTimer::singleShot(0, this, [this, path] { openChosen(path, TypeByExtension(path)); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    // Alt or Ctrl with a key that is no key of the window is not text: it never edits a field
    // (editing keys such as Ctrl+V, which type nothing of their own, still work).
    if (type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool typesText = !key->text().isEmpty() && key->text().front().isPrint();
        const auto held = key->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier);
        // Ctrl and Alt together are AltGr on Windows, which types the characters of its keys.
        if (typesText && held && held != (Qt::AltModifier | Qt::ControlModifier))
            return true;
    }
    // A field takes dragged text, but files dragged onto it are the window's.
    if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->mimeData() && drop->mimeData()->hasUrls()) {
            if (type == QEvent::Drop)
                dropEvent(drop);
            else
                judgeDrag(static_cast<QDragMoveEvent*>(event));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace vexaro::app
