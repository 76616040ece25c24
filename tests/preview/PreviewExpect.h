#pragma once
// What the preview pictures must hold, computed in plain loops from the source pictures, and a
// caption painter that stands in for the window's text drawing.
#include <map>
#include <string>
#include <vector>

#include "bitmap/Bitmap.h"
#include "RecordingWindow.h"
#include "tool/WindowSeam.h"

namespace vexaro::test {

// A picture as a plain grid of colours.
struct Grid {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;

    Grid(int w, int h, Rgb colour)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), colour)
    {
    }
    Rgb at(int x, int y) const
    {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
    void set(int x, int y, Rgb c)
    {
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = c;
    }
};

Grid GridOf(const Bitmap& picture);

// Empty when `actual` is `expected` pixel for pixel; otherwise says where they differ.
std::string CompareToGrid(const Grid& expected, const Bitmap& actual);

// Caption cells as the test window paints them: per character a 7 x cellHeight cell in the
// style's background, and for a character other than a blank a short stroke in the text colour
// whose place depends on the character.
inline constexpr int kCellWidth = 7;
template <class SetPixel>
void PaintCaptionCells(int x, int y, const std::string& text, const CaptionStyle& style, SetPixel set)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int cx = x + static_cast<int>(i) * kCellWidth;
        for (int r = 0; r < style.cellHeight; ++r)
            for (int c = 0; c < kCellWidth; ++c)
                set(cx + c, y + r, style.background);
        const auto code = static_cast<unsigned char>(text[i]);
        if (code == ' ')
            continue;
        const int column = 1 + code % 5;
        for (int r = 2; r < 3 + code % 11; ++r)
            set(cx + column, y + r, style.text);
    }
}

// Makes `window` paint its captions onto the picture as PaintCaptionCells does.
void PaintCaptionsLikeTheTestWindow(RecordingWindow& window);

// The source pictures of a redraw by field (1 to 15). A field absent from the map has no file;
// an empty Bitmap stands for a file of length zero.
using Sources = std::map<int, Bitmap>;

// The preview picture (280 x 385) after a redraw. `stopAtField` (0: none) is the field whose
// file fails to load: that item and everything after it are not painted.
Grid ExpectedPreview(const Sources& sources, int stopAtField = 0);

struct PanelGrids {
    Grid screen{176, 220, Rgb{}};
    Grid menu{281, 29, Rgb{}};
    Grid submenu{281, 44, Rgb{}};
};
// The three panel pictures after a redraw in `face` colour, with the same `stopAtField`.
PanelGrids ExpectedPanel(const Sources& sources, Rgb face, int stopAtField = 0);

} // namespace vexaro::test
