#include "mbm/Palette.h"

#include <cstdlib>
#include <string>

#include "base/Error.h"

namespace vexaro::mbm {

namespace {

constexpr std::array<Rgb, 16> kPalette16{{
    {0, 0, 0},
    {85, 85, 85},
    {128, 0, 0},
    {128, 128, 0},
    {0, 128, 0},
    {255, 0, 0},
    {255, 255, 0},
    {0, 255, 0},
    {255, 0, 255},
    {0, 0, 255},
    {0, 255, 255},
    {128, 0, 128},
    {0, 0, 128},
    {0, 128, 128},
    {170, 170, 170},
    {255, 255, 255},
}};

Palette256 MakePalette256()
{
    Palette256 p{};
    auto cube = [](int r, int g, int b) {
        return Rgb{static_cast<std::uint8_t>(51 * r), static_cast<std::uint8_t>(51 * g),
                   static_cast<std::uint8_t>(51 * b)};
    };
    for (int b = 0; b < 6; ++b)
        for (int g = 0; g < 6; ++g)
            for (int r = 0; r < 6; ++r) {
                // The colour cube is split around forty extra colours at 108..147.
                const int index = b < 3 ? r + 6 * g + 36 * b : 148 + r + 6 * g + 36 * (b - 3);
                p[static_cast<std::size_t>(index)] = cube(r, g, b);
            }
    constexpr std::array<std::uint8_t, 5> low{17, 34, 68, 85, 119};
    constexpr std::array<std::uint8_t, 5> high{136, 170, 187, 221, 238};
    std::size_t i = 108;
    for (auto l : low)
        p[i++] = {l, l, l};
    for (auto l : low)
        p[i++] = {l, 0, 0};
    for (auto l : low)
        p[i++] = {0, l, 0};
    for (auto l : low)
        p[i++] = {0, 0, l};
    for (auto h : high)
        p[i++] = {0, 0, h};
    for (auto h : high)
        p[i++] = {0, h, 0};
    for (auto h : high)
        p[i++] = {h, 0, 0};
    for (auto h : high)
        p[i++] = {h, h, h};
    return p;
}

template <std::size_t N>
std::uint8_t Nearest(const std::array<Rgb, N>& palette, int r, int g, int b)
{
    int best = 0, bestDistance = 1 << 30;
    for (std::size_t i = 0; i < N; ++i) {
        const int d = std::abs(palette[i].r - r) + std::abs(palette[i].g - g) + std::abs(palette[i].b - b);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return static_cast<std::uint8_t>(best);
}

InverseTable16 MakeInverse16()
{
    InverseTable16 t{};
    for (int b = 0; b < 8; ++b)
        for (int g = 0; g < 8; ++g)
            for (int r = 0; r < 8; ++r)
                t[static_cast<std::size_t>(r + 8 * g + 64 * b)] =
                    Nearest(kPalette16, 255 * r / 7, 255 * g / 7, 255 * b / 7);
    return t;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

} // namespace

const std::array<Rgb, 16>& StandardPalette16() { return kPalette16; }

const Palette256& StandardPalette256()
{
    static const Palette256 palette = MakePalette256();
    return palette;
}

const InverseTable16& StandardInverse16()
{
    static const InverseTable16 table = MakeInverse16();
    return table;
}

const InverseTable256& StandardInverse256()
{
    static const InverseTable256 table = BuildInverse256(StandardPalette256());
    return table;
}

InverseTable256 BuildInverse256(const Palette256& palette)
{
    InverseTable256 t{};
    for (int b = 0; b < 16; ++b)
        for (int g = 0; g < 16; ++g)
            for (int r = 0; r < 16; ++r)
                t[static_cast<std::size_t>(r + 16 * g + 256 * b)] = Nearest(palette, 17 * r, 17 * g, 17 * b);
    return t;
}

Palette256 ParsePaletteFile(std::string_view text)
{
    Palette256 palette{};
    std::size_t found = 0, at = 0;
    while (found < palette.size()) {
        const std::size_t prefix = at + 1 < text.size() ? text.find_first_of("xX", at + 1) : std::string_view::npos;
        if (prefix == std::string_view::npos)
            throw Error("Bad palette file: " + std::to_string(found) + " colours where 256 are needed");
        if (text[prefix - 1] != '0') {
            at = prefix;
            continue;
        }
        // Eight characters follow the prefix; a file that ends early counts its missing ones as 0.
        auto digit = [&](std::size_t k) { return prefix + k < text.size() ? HexValue(text[prefix + k]) : 0; };
        auto channel = [&](std::size_t k) { return static_cast<std::uint8_t>(16 * digit(k) + digit(k + 1)); };
        palette[found++] = Rgb{channel(7), channel(5), channel(3)};
        at = prefix + 8 < text.size() ? prefix + 8 : text.size();
    }
    return palette;
}

} // namespace vexaro::mbm
