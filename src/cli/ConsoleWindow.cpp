#include "cli/ConsoleWindow.h"

#include <algorithm>
#include <ostream>

#include "preview/RasterFont.h"

namespace vexaro::cli {

void ConsoleWindow::setProgressPosition(int position)
{
    position_ = position;
    draw();
}

void ConsoleWindow::setOpenCaption(const std::string& caption)
{
    // The Open button's caption carries the open command's state; "Open" means it ended.
    if (caption != "Open")
        activity_ = caption;
}

std::string ConsoleWindow::fieldText(int n) const
{
    if (n < 1 || n > kFieldCount)
        return {};
    return fields_[static_cast<std::size_t>(n - 1)];
}

void ConsoleWindow::drawCaption(Bitmap& picture, int x, int y, const std::string& text, const CaptionStyle& style)
{
    DrawCaption(picture, x, y, text, style);
}

void ConsoleWindow::note(const std::string& line)
{
    if (!notes_)
        return;
    endProgress();
    *notes_ << line << std::endl;
}

void ConsoleWindow::draw()
{
    if (!progress_ || max_ <= 0)
        return;
    const int percent = std::clamp(position_, 0, max_) * 100 / max_;
    std::string line = activity_ + " " + std::to_string(percent) + "%";
    const std::size_t width = line.size();
    if (line.size() < drawnWidth_)
        line.append(drawnWidth_ - line.size(), ' ');
    *progress_ << '\r' << line << std::flush;
    drawnWidth_ = width;
}

void ConsoleWindow::endProgress()
{
    if (!progress_ || drawnWidth_ == 0)
        return;
    *progress_ << '\r' << std::string(drawnWidth_, ' ') << '\r' << std::flush;
    drawnWidth_ = 0;
}

} // namespace vexaro::cli
