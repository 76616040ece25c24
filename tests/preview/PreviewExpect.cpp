#include "PreviewExpect.h"

#include <sstream>

#include "preview/TargetPreview.h"
#include "resize/AverageResize.h"

namespace vexaro::test {

namespace {

enum class Kind { Status, Main, Plain };

struct Placement {
    int field;
    int x, y;
    Kind kind;
    int picture = 0; // panel: 0 screen view, 1 menu icons row, 2 second-form row
};

// The colour a transparent draw leaves out: white in a 1-bit picture, else the bottom-left pixel.
Rgb KeyColour(const Bitmap& b)
{
    if (b.bitsPerPixel() == 1)
        return Rgb{255, 255, 255};
    return b.pixel(0, b.height() - 1);
}

void Place(Grid& grid, const Bitmap& source, int x, int y, bool transparent)
{
    if (source.empty())
        return;
    const Rgb key = KeyColour(source);
    for (int r = 0; r < source.height(); ++r)
        for (int c = 0; c < source.width(); ++c) {
            const Rgb colour = source.pixel(c, r);
            if (transparent && colour == key)
                continue;
            grid.set(x + c, y + r, colour);
        }
}

// One redraw's items in order; `resized` is the resize target that the redraw reuses.
void PlaceItem(Grid& grid, const Sources& sources, const Placement& p, Bitmap& resized, bool transparent)
{
    const auto it = sources.find(p.field);
    if (it == sources.end())
        return;
    switch (p.kind) {
    case Kind::Status:
        AverageResize(it->second, resized, 176, 50);
        Place(grid, resized, p.x, p.y, false);
        break;
    case Kind::Main:
        AverageResize(it->second, resized, 176, 150);
        Place(grid, resized, p.x, p.y, false);
        break;
    case Kind::Plain: Place(grid, it->second, p.x, p.y, transparent); break;
    }
}

void Caption(Grid& grid, int x, int y, const std::string& text)
{
    PaintCaptionCells(x, y, text, CaptionStyle{}, [&](int px, int py, Rgb c) { grid.set(px, py, c); });
}

} // namespace

Grid GridOf(const Bitmap& picture)
{
    Grid g(picture.width(), picture.height(), Rgb{});
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            g.set(x, y, picture.pixel(x, y));
    return g;
}

std::string CompareToGrid(const Grid& expected, const Bitmap& actual)
{
    std::ostringstream out;
    if (actual.width() != expected.width || actual.height() != expected.height) {
        out << "size " << actual.width() << "x" << actual.height() << ", expected " << expected.width << "x"
            << expected.height;
        return out.str();
    }
    int wrong = 0;
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x) {
            const Rgb a = actual.pixel(x, y), e = expected.at(x, y);
            if (a == e)
                continue;
            if (wrong < 5)
                out << " (" << x << "," << y << ") is " << int(a.r) << "," << int(a.g) << "," << int(a.b) << " not "
                    << int(e.r) << "," << int(e.g) << "," << int(e.b) << ";";
            ++wrong;
        }
    if (wrong == 0)
        return {};
    return std::to_string(wrong) + " pixels differ:" + out.str();
}

void PaintCaptionsLikeTheTestWindow(RecordingWindow& window)
{
    window.onDrawCaption = [](Bitmap& picture, int x, int y, const std::string& text, const CaptionStyle& style) {
        PaintCaptionCells(x, y, text, style, [&](int px, int py, Rgb c) {
            if (px >= 0 && py >= 0 && px < picture.width() && py < picture.height())
                picture.setPixel(px, py, c);
        });
    };
}

Grid ExpectedPreview(const Sources& sources, int stopAtField)
{
    Grid g(280, 385, Rgb{46, 46, 46});
    if (!kWebAddress.empty())
        Caption(g, 5, 2, "You will visit: " + std::string(kWebAddress));
    Caption(g, 5, 30, "Image :");
    const Placement areas[] = {{1, 5, 45, Kind::Status}, {2, 5, 95, Kind::Main}, {3, 5, 245, Kind::Plain}};
    Bitmap resized;
    for (const Placement& p : areas) {
        if (p.field == stopAtField)
            return g;
        PlaceItem(g, sources, p, resized, false);
    }
    Caption(g, 5, 275, "Menu :");
    for (int i = 0; i < 12; ++i) {
        const Placement p{4 + i, 5 + 44 * (i % 6), i < 6 ? 290 : 321, Kind::Plain};
        if (p.field == stopAtField)
            return g;
        PlaceItem(g, sources, p, resized, true);
    }
    Caption(g, 5, 367, "Camera Organ.   Music   Games  Extras  Setup");
    return g;
}

PanelGrids ExpectedPanel(const Sources& sources, Rgb face, int stopAtField)
{
    PanelGrids out{Grid(176, 220, face), Grid(281, 29, face), Grid(281, 44, face)};
    Grid* pictures[] = {&out.screen, &out.menu, &out.submenu};
    std::vector<Placement> items = {{1, 0, 0, Kind::Status, 0}, {2, 0, 50, Kind::Main, 0}, {3, 0, 200, Kind::Plain, 0}};
    for (int i = 0; i < 6; ++i)
        items.push_back({4 + i, 47 * i, 0, Kind::Plain, 1});
    for (int i = 0; i < 6; ++i)
        items.push_back({10 + i, 49 * i, 0, Kind::Plain, 2});
    Bitmap resized;
    for (const Placement& p : items) {
        if (p.field == stopAtField)
            break;
        PlaceItem(*pictures[p.picture], sources, p, resized, p.field > 3);
    }
    return out;
}

} // namespace vexaro::test
