// Writes Vexaro's own sample theme: a release 6 package holding one multi-bitmap file with
// a status area, a main area, a control area and twelve menu icons at the bitmap numbers the
// fields start with, every other number a small picture of its own, and a short readme.
//
//   make_sample_theme <output.sis>
//
// Everything is painted here, from integers only, so the package is the same on every build.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "bitmap/Bitmap.h"
#include "base/Error.h"
#include "mbm/MbmReduce.h"
#include "mbm/MbmWriter.h"
#include "tool/FieldDefaults.h"
#include "SisWriter.h"

namespace {

using vexaro::Bitmap;
using vexaro::Rgb;

constexpr int kBitmapCount = 180;
constexpr std::uint32_t kPackageUid = 0x10205B00;
// Resolution a picture editor writes by default (72 dots per inch), for the twips fields.
constexpr std::int32_t kPixelsPerMetre = 2835;

// The bitmap number that field `n` (1 to 15) starts with: 1 to 3 the status, main and control
// areas, 4 to 9 the first-form icons Camera, Organiser, Music, Games, Extras, Setup, 10 to 15
// their second forms.
int DefaultNumber(int field) { return std::stoi(vexaro::FieldDefault(field)); }

// The flat colour behind every icon; its top-left and bottom-left pixels make the mask.
constexpr Rgb kIconBackground{255, 0, 255};

std::uint8_t Clamp(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

Rgb Mix(Rgb a, Rgb b, int t, int range)
{
    auto ch = [&](int x, int y) { return Clamp(x + (y - x) * t / std::max(range, 1)); };
    return {ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b)};
}

Rgb Scale(Rgb c, int percent)
{
    return {Clamp(c.r * percent / 100), Clamp(c.g * percent / 100), Clamp(c.b * percent / 100)};
}

Bitmap Canvas(int w, int h)
{
    Bitmap b;
    b.reset(w, h, vexaro::PixelFormat::Bits24);
    return b;
}

// Status area: a deep blue band lightening to the right, a pale line along the bottom and a
// row of signal bars at the left.
Bitmap PaintStatus()
{
    Bitmap b = Canvas(176, 44);
    const Rgb left{22, 48, 104}, right{70, 130, 190};
    for (int y = 0; y < 44; ++y)
        for (int x = 0; x < 176; ++x) {
            Rgb c = Mix(left, right, x, 175);
            c = Scale(c, 100 + (22 - std::abs(y - 14)) / 2);
            if (y >= 41)
                c = Mix(c, Rgb{210, 230, 250}, y - 40, 4);
            b.setPixel(x, y, c);
        }
    for (int bar = 0; bar < 5; ++bar) {
        const int height = 4 + bar * 4;
        for (int y = 34 - height; y < 34; ++y)
            for (int x = 6 + bar * 6; x < 10 + bar * 6; ++x)
                b.setPixel(x, y, Rgb{230, 240, 255});
    }
    return b;
}

// Main area: a soft vertical gradient from sky to sea green with gentle diagonal stripes and
// a glow in the upper right.
Bitmap PaintMain()
{
    Bitmap b = Canvas(176, 144);
    const Rgb top{196, 222, 244}, bottom{120, 176, 168};
    for (int y = 0; y < 144; ++y)
        for (int x = 0; x < 176; ++x) {
            Rgb c = Mix(top, bottom, y, 143);
            if (((x + y) / 12) % 2 == 0)
                c = Scale(c, 104);
            const int dx = x - 140, dy = y - 30;
            const int d2 = dx * dx + dy * dy;
            if (d2 < 50 * 50)
                c = Mix(c, Rgb{255, 250, 225}, 50 * 50 - d2, 50 * 50 * 2);
            b.setPixel(x, y, c);
        }
    return b;
}

// Control area: a dark bar with a light edge on top.
Bitmap PaintControl()
{
    Bitmap b = Canvas(176, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 176; ++x) {
            Rgb c = Mix(Rgb{60, 84, 120}, Rgb{24, 36, 60}, y, 19);
            if (y == 0)
                c = Rgb{170, 200, 235};
            b.setPixel(x, y, c);
        }
    return b;
}

int Square(int v) { return v * v; }

// Whether the icon's shape covers (x, y) in a 1000-unit frame centred on the icon
// (-500..500 both ways).
bool Covers(int icon, int x, int y)
{
    const int r2 = x * x + y * y;
    switch (icon) {
    case 0: { // Camera: a body with a lens and a viewfinder bump
        const bool body = std::abs(x) < 420 && y > -240 && y < 330;
        const bool bump = x > -300 && x < -80 && y > -360 && y <= -240;
        const bool lens = r2 < Square(190);
        const bool ring = r2 < Square(250) && !lens;
        return (body || bump) && !ring;
    }
    case 1: { // Organiser: a calendar page with rings on top and a grid of days
        const bool page = std::abs(x) < 380 && y > -300 && y < 400;
        const bool header = page && y < -150;
        const bool gridLine = (std::abs(x) % 190 < 30) || ((y + 150) % 140 < 25);
        const bool rings = (std::abs(std::abs(x) - 200) < 40) && y > -420 && y < -250;
        return rings || header || (page && !gridLine);
    }
    case 2: { // Music: two notes joined by a beam
        const bool head1 = Square(x + 220) + Square((y - 250) * 3 / 2) < Square(150);
        const bool head2 = Square(x - 260) + Square((y - 170) * 3 / 2) < Square(150);
        const bool stem1 = x > -110 && x < -50 && y > -300 && y < 250;
        const bool stem2 = x > 370 && x < 430 && y > -380 && y < 170;
        const int beamMiddle = -330 - (x + 110) * 80 / 540; // rising from the left stem to the right
        const bool beam = x > -110 && x < 430 && std::abs(y - beamMiddle) < 60;
        return head1 || head2 || stem1 || stem2 || beam;
    }
    case 3: { // Games: a pad with a cross on the left and two buttons on the right
        const bool pad = Square(x * 2 / 3) + Square(y) < Square(300);
        const bool cross =
            (std::abs(x + 230) < 45 && std::abs(y) < 140) || (std::abs(y) < 45 && std::abs(x + 230) < 140);
        const bool button1 = Square(x - 180) + Square(y - 60) < Square(55);
        const bool button2 = Square(x - 290) + Square(y + 60) < Square(55);
        return pad && !cross && !button1 && !button2;
    }
    case 4: { // Extras: a five-pointed star
        // The outline's ten corners, outer points every 72 degrees; even-odd crossing test.
        static const std::array<std::pair<int, int>, 10> outline = {{
            {0, -470},
            {110, -150},
            {447, -145},
            {176, 57},
            {276, 380},
            {0, 185},
            {-276, 380},
            {-176, 57},
            {-447, -145},
            {-110, -150},
        }};
        bool inside = false;
        for (std::size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
            const auto [xi, yi] = outline[i];
            const auto [xj, yj] = outline[j];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
                inside = !inside;
        }
        return inside;
    }
    default: { // Setup: a cog wheel with a hole
        const bool wheel = r2 < Square(300);
        // Eight teeth: squares around the rim on the axes and the diagonals.
        bool tooth = false;
        for (const auto& [tx, ty] : std::array<std::pair<int, int>, 8>{
                 {{0, -360}, {0, 360}, {360, 0}, {-360, 0}, {255, 255}, {-255, 255}, {255, -255}, {-255, -255}}})
            tooth = tooth || (std::abs(x - tx) < 90 && std::abs(y - ty) < 90);
        return (wheel || tooth) && r2 >= Square(120);
    }
    }
}

constexpr std::array<Rgb, 6> kIconColours{{
    {40, 60, 90},    // camera: slate
    {210, 60, 50},   // organiser: red
    {60, 110, 210},  // music: blue
    {40, 150, 70},   // games: green
    {240, 180, 20},  // extras: gold
    {110, 110, 120}, // setup: steel
}};

// One menu icon: the shape in its colour, shaded from light at the top to dark at the
// bottom, on the flat background. The two forms differ in size only.
Bitmap PaintIcon(int icon, int w, int h)
{
    Bitmap b = Canvas(w, h);
    const Rgb colour = kIconColours[static_cast<std::size_t>(icon)];
    const int side = std::min(w, h) - 4; // the shape's square, 2 pixels of margin
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgb c = kIconBackground;
            const int ux = (2 * x + 1 - w) * 500 / side;
            const int uy = (2 * y + 1 - h) * 500 / side;
            if (std::abs(ux) <= 500 && std::abs(uy) <= 500 && Covers(icon, ux, uy))
                c = Scale(colour, 130 - (uy + 500) * 50 / 1000);
            b.setPixel(x, y, c);
        }
    return b;
}

// The other numbers: 16 x 16 swatches, each split diagonally into two colours picked from the
// number, with a darker rim.
Bitmap PaintSwatch(int number)
{
    Bitmap b = Canvas(16, 16);
    const Rgb a{Clamp(40 + number * 37 % 200), Clamp(60 + number * 71 % 180), Clamp(50 + number * 53 % 190)};
    const Rgb c{Clamp(255 - a.g), Clamp(200 - a.b / 2), Clamp(230 - a.r / 2)};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            Rgb p = x + y < 16 ? a : c;
            if (x == 0 || y == 0 || x == 15 || y == 15)
                p = Scale(p, 70);
            b.setPixel(x, y, p);
        }
    return b;
}

std::vector<std::uint8_t> SampleMbm()
{
    std::map<int, Bitmap> pictures;
    pictures[DefaultNumber(1)] = PaintStatus();
    pictures[DefaultNumber(2)] = PaintMain();
    pictures[DefaultNumber(3)] = PaintControl();
    for (int icon = 0; icon < 6; ++icon) {
        pictures[DefaultNumber(4 + icon)] = PaintIcon(icon, 44, 29);
        pictures[DefaultNumber(10 + icon)] = PaintIcon(icon, 44, 44);
    }
    std::vector<vexaro::mbm::MbmImage> images;
    images.reserve(kBitmapCount);
    const vexaro::mbm::DepthOption colour24{24, true, false};
    for (int n = 0; n < kBitmapCount; ++n) {
        const auto found = pictures.find(n);
        const Bitmap picture = found != pictures.end() ? found->second : PaintSwatch(n);
        vexaro::mbm::MbmImage image = vexaro::mbm::ReduceBitmap(picture, colour24);
        image.twipsWidth = vexaro::mbm::TwipsFor(image.width, kPixelsPerMetre);
        image.twipsHeight = vexaro::mbm::TwipsFor(image.height, kPixelsPerMetre);
        images.push_back(std::move(image));
    }
    return vexaro::mbm::WriteMbm(images); // file store, compressed: the converter's default
}

std::vector<std::uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample_theme <output.sis>\n");
        return 2;
    }
    const std::string output = argv[1];
    try {
        vexaro::sis::SisWriter package;
        package.uid1(kPackageUid).componentName("Vexaro Sample").destinationFolder("!:\\system\\skins\\10205B00\\");
        package.addFile("C:\\vexaro\\sample\\Sample.mbm", SampleMbm());
        package.addFile("C:\\vexaro\\sample\\readme.txt",
                        Text("Vexaro sample theme.\r\nPainted by tools/make_sample_theme at build time.\r\n"));
        const std::vector<std::uint8_t> bytes = package.bytes();

        const std::string temporary = output + ".new";
        {
            std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
            file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            if (!file.flush())
                throw vexaro::Error("Cannot write \"" + temporary + "\". " + vexaro::SystemReason(errno));
        }
        // std::rename does not replace an existing file on Windows; the library's rename does.
        std::error_code ec;
        std::filesystem::rename(temporary, output, ec);
        if (ec)
            throw vexaro::Error("Cannot rename \"" + temporary + "\" to \"" + output + "\". " + ec.message());
    } catch (const vexaro::Error& e) {
        std::fprintf(stderr, "make_sample_theme: %s\n", e.what());
        return 1;
    }
    return 0;
}
