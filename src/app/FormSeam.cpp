#include "app/FormSeam.h"

#include <QColor>
#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>

#include <algorithm>

#include "preview/RasterFont.h"
#include "app/TextBytes.h"
#include "app/Unit1.h"

namespace vexaro::app {

void FormSeam::setProgressMax(int max)
{
    // A range of 0 to 0 would turn the bar into Qt's endless busy animation: it stays empty.
    QProgressBar* bar = form_.ProgressBar1;
    bar->setMaximum(std::max(max, bar->minimum() + 1));
}

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
    // At rest the caption carries its access key; a progress text shows every '&' as it is.
    const QString text = QString::fromStdString(caption);
    form_.SpeedButton1->setText(text == "Open" ? QString(kOpenCaption) : QString(text).replace('&', "&&"));
}

void FormSeam::processMessages()
{
    form_.refreshImages();
    QCoreApplication::processEvents();
}

std::string FormSeam::fieldText(int n) const { return BytesOfText(form_.Edit[n]->text()); }

void FormSeam::showMessage(const std::string& text) { boxes_.showMessage(&form_, QString::fromStdString(text)); }

vexaro::Rgb FormSeam::faceColour() const
{
    const QColor c = form_.palette().color(QPalette::Button);
    return vexaro::Rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                       static_cast<std::uint8_t>(c.blue())};
}

void FormSeam::drawCaption(vexaro::Bitmap& picture, int x, int y, const std::string& text,
                           const vexaro::CaptionStyle& style)
{
    // The captions use the face the programs carry, so that the window, the command line and
    // every platform draw them to the same pixels.
    vexaro::DrawCaption(picture, x, y, text, style);
}

} // namespace vexaro::app
