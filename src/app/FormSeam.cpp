#include "FormSeam.h"

#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QToolButton>

#include <algorithm>

#include "Unit1.h"

namespace vexaro::app {

void FormSeam::setProgressMax(int max) { form_.ProgressBar1->setMaximum(max); }

void FormSeam::setProgressPosition(int position) { form_.ProgressBar1->setValue(position); }

int FormSeam::progressPosition() const { return form_.ProgressBar1->value(); }

void FormSeam::stepProgress()
{
    // Past the maximum the bar starts over from its minimum, as the system's progress bar does.
    QProgressBar* bar = form_.ProgressBar1;
    const int low = bar->minimum(), high = bar->maximum();
    int next = bar->value() + step_;
    if (next > high && high > low)
        next = low + (next - low) % (high - low);
    bar->setValue(std::clamp(next, low, high));
}

void FormSeam::setOpenCaption(const std::string& caption)
{
    form_.SpeedButton1->setText(QString::fromLocal8Bit(caption));
}

void FormSeam::processMessages()
{
    form_.refreshImages();
    QCoreApplication::processEvents();
}

std::string FormSeam::fieldText(int n) const
{
    return form_.Edit[n]->text().toLocal8Bit().toStdString();
}

void FormSeam::showMessage(const std::string& text)
{
    boxes_.showMessage(&form_, QString::fromLocal8Bit(text));
}

vexaro::Rgb FormSeam::faceColour() const
{
    const QColor c = form_.palette().color(QPalette::Button);
    return vexaro::Rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                       static_cast<std::uint8_t>(c.blue())};
}

void FormSeam::drawCaption(vexaro::Bitmap& picture, int x, int y, const std::string& text,
                           const vexaro::CaptionStyle& style)
{
    QFont font(QString::fromStdString(style.face));
    font.setStyleStrategy(QFont::NoAntialias);
    // The cell (ascent + descent) must not exceed the asked height; bitmap faces keep their
    // one strike whatever is asked.
    int pixels = style.cellHeight;
    font.setPixelSize(pixels);
    font.setBold(style.bold);
    while (pixels > 4 && QFontMetrics(font).height() > style.cellHeight) {
        font.setPixelSize(--pixels);
    }
    // A bitmap strike is not made bold by the font engine: draw it twice, one pixel apart.
    const bool doubleStrike = style.bold && !QFontInfo(font).bold();
    const QString qtext = QString::fromLocal8Bit(text);
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(qtext) + (doubleStrike ? static_cast<int>(qtext.size()) : 0);
    const int height = style.cellHeight;
    if (width <= 0 || height <= 0)
        return;

    QImage cell(width, height, QImage::Format_RGB888);
    cell.fill(QColor(style.background.r, style.background.g, style.background.b));
    {
        QPainter painter(&cell);
        painter.setFont(font);
        painter.setPen(QColor(style.text.r, style.text.g, style.text.b));
        if (doubleStrike) {
            int pen = 0;
            for (const QChar ch : qtext) {
                painter.drawText(pen, metrics.ascent(), QString(ch));
                painter.drawText(pen + 1, metrics.ascent(), QString(ch));
                pen += metrics.horizontalAdvance(ch) + 1;
            }
        } else {
            painter.drawText(0, metrics.ascent(), qtext);
        }
    }
    for (int r = 0; r < height; ++r) {
        const int ty = y + r;
        if (ty < 0 || ty >= picture.height())
            continue;
        for (int c = 0; c < width; ++c) {
            const int tx = x + c;
            if (tx < 0 || tx >= picture.width())
                continue;
            const QRgb p = cell.pixel(c, r);
            picture.setPixel(tx, ty, vexaro::Rgb{static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                                                 static_cast<std::uint8_t>(qBlue(p))});
        }
    }
}

} // namespace vexaro::app
