#pragma once
// A contact sheet: every bitmap of a theme as a small picture in a grid, with two caption lines
// under each (its number, then its size and depth), so that a user can pick bitmaps by eye.
// Pictures are made smaller to fit their cell, never larger; a thin frame shows each one's
// extent. A mask is framed and captioned in red, a bitmap that cannot be decoded is a crossed
// cell. The sheet's size grows with the number of cells and stays below about 9 Mi pixels
// for the 1,000 bitmaps a theme may unpack to: the cells get smaller as they get more.
#include <cstddef>
#include <string>

#include "bitmap/Bitmap.h"

namespace vexaro {

enum class SheetMark { Picture, Mask, Broken };

class ContactSheet {
public:
    // A sheet with room for `cells` cells, filled in order by add().
    explicit ContactSheet(std::size_t cells);

    // Draws the next cell. `first` and `second` are Windows ANSI text; what does not fit the
    // cell is cut off. Cells beyond the room asked for are left out.
    void add(const Bitmap& picture, const std::string& first, const std::string& second, SheetMark mark);

    const Bitmap& picture() const { return sheet_; }
    // The largest side of a cell's picture area.
    int pictureBox() const { return box_; }

private:
    Bitmap sheet_;
    std::size_t cells_ = 0, added_ = 0;
    int columns_ = 1, box_ = 0;
};

} // namespace vexaro
