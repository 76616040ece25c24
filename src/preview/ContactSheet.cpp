#include "preview/ContactSheet.h"

#include <algorithm>
#include <cmath>

#include "preview/RasterFont.h"
#include "resize/AverageResize.h"

namespace vexaro {

namespace {

constexpr int kCaptionHeight = 13; // the face's smallest strike
constexpr int kCellWidth = 92;     // room for "176x208 12 grey"
constexpr int kGap = 6;
constexpr int kMaxColumns = 16;
constexpr Rgb kSheetColour{46, 46, 46}, kFrameColour{110, 110, 110}, kTextColour{230, 230, 230};
constexpr Rgb kMaskColour{230, 60, 60};

// Cells get smaller as they get more.
int BoxFor(std::size_t cells)
{
    if (cells <= 60)
        return 88;
    if (cells <= 250)
        return 64;
    return 48;
}

int CellHeight(int box) { return box + 2 + 2 * kCaptionHeight + kGap; }

void Frame(Bitmap& sheet, int x0, int y0, int x1, int y1, Rgb colour)
{
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, sheet.width() - 1);
    y1 = std::min(y1, sheet.height() - 1);
    for (int x = x0; x <= x1; ++x) {
        sheet.setPixel(x, y0, colour);
        sheet.setPixel(x, y1, colour);
    }
    for (int y = y0; y <= y1; ++y) {
        sheet.setPixel(x0, y, colour);
        sheet.setPixel(x1, y, colour);
    }
}

// `text` cut to the characters that fit in `width` pixels.
std::string Fitting(std::string text, int width, const CaptionStyle& style)
{
    while (!text.empty() && CaptionWidth(text, style) > width)
        text.pop_back();
    return text;
}

} // namespace

ContactSheet::ContactSheet(std::size_t cells) : cells_(cells), box_(BoxFor(cells))
{
    const std::size_t wanted = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(cells))));
    columns_ = static_cast<int>(std::clamp<std::size_t>(wanted, 1, kMaxColumns));
    const int rows = static_cast<int>((std::max<std::size_t>(cells, 1) + static_cast<std::size_t>(columns_) - 1) /
                                      static_cast<std::size_t>(columns_));
    sheet_.reset(kGap + columns_ * (kCellWidth + kGap), kGap + rows * CellHeight(box_), PixelFormat::Bits24);
    sheet_.fill(kSheetColour);
}

void ContactSheet::add(const Bitmap& picture, const std::string& first, const std::string& second, SheetMark mark)
{
    if (added_ == cells_)
        return;
    const int column = static_cast<int>(added_ % static_cast<std::size_t>(columns_));
    const int row = static_cast<int>(added_ / static_cast<std::size_t>(columns_));
    ++added_;
    const int left = kGap + column * (kCellWidth + kGap), top = kGap + row * CellHeight(box_);
    const Rgb frame = mark == SheetMark::Picture ? kFrameColour : kMaskColour;

    // The picture, made smaller to fit the box, centred at the box's foot.
    int w = picture.width(), h = picture.height();
    if (mark == SheetMark::Broken || w == 0 || h == 0) {
        w = h = box_ / 2;
    } else if (w > box_ || h > box_) {
        const double scale = std::min(static_cast<double>(box_) / w, static_cast<double>(box_) / h);
        w = std::max(1, static_cast<int>(w * scale));
        h = std::max(1, static_cast<int>(h * scale));
    }
    const int x = left + (kCellWidth - w) / 2, y = top + 1 + box_ - h;
    if (mark == SheetMark::Broken || picture.empty()) {
        for (int k = 0; k < w; ++k) {
            sheet_.setPixel(x + k, y + k, frame);
            sheet_.setPixel(x + w - 1 - k, y + k, frame);
        }
    } else if (w == picture.width() && h == picture.height()) {
        Draw(sheet_, picture, x, y);
    } else {
        Bitmap small;
        AverageResize(picture, small, w, h);
        Draw(sheet_, small, x, y);
    }
    Frame(sheet_, x - 1, y - 1, x + w, y + h, frame);

    CaptionStyle style;
    style.cellHeight = kCaptionHeight;
    style.bold = false;
    style.background = kSheetColour;
    style.text = mark == SheetMark::Picture ? kTextColour : kMaskColour;
    const int captionTop = top + box_ + 2;
    for (const auto& [text, line] : {std::pair{&first, 0}, std::pair{&second, 1}}) {
        const std::string shown = Fitting(*text, kCellWidth, style);
        DrawCaption(sheet_, left + (kCellWidth - CaptionWidth(shown, style)) / 2, captionTop + line * kCaptionHeight,
                    shown, style);
    }
}

} // namespace vexaro
