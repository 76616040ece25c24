#include "ThemeFixtures.h"

#include <map>

#include "PackageBuilder.h"
#include "ThemePainter.h"
#include "base/Bytes.h"
#include "mbm/MbmReader.h"
#include "mbm/MbmWriter.h"

namespace vexaro::test {

namespace {

// The default numbering's sizes: the three areas at their sizes, twelve icons of 44 x 29 and
// 44 x 44, over `count` bitmaps; `changed` overrides some.
std::map<int, MbmShape> DefaultSizes(const std::map<int, MbmShape>& changed = {})
{
    std::map<int, MbmShape> sizes{{2, {176, 44}}, {3, {176, 144}}, {4, {176, 20}}};
    for (const int n : {165, 23, 133, 109, 121, 73})
        sizes[n] = {44, 29};
    for (const int n : {167, 25, 135, 111, 123, 75})
        sizes[n] = {44, 44};
    for (const auto& [n, size] : changed)
        sizes[n] = size;
    return sizes;
}

std::vector<std::uint8_t> Package(const std::vector<std::uint8_t>& mbm)
{
    return PackageBuilder()
        .addFile("C:\\theme\\readme.txt", Bytes("a theme"))
        .addFile("C:\\theme\\skin.mbm", mbm)
        .bytes();
}

// A zlib stream no inflater takes, stored as the entry of `name`.
PackageBuilder& AddCorrupt(PackageBuilder& builder, const char* name)
{
    return builder.addRawFile(Name16(name), Bytes("this is no zlib stream at all"), 500);
}

// The sample-sized theme written as a ROM image.
std::vector<std::uint8_t> RomTheme()
{
    const std::vector<std::uint8_t> store = PaintMbm(170, DefaultSizes());
    const mbm::MbmFile file = mbm::ReadMbm(store);
    std::vector<mbm::MbmImage> images;
    for (const mbm::MbmBitmapRecord& record : file.bitmaps)
        images.push_back(mbm::DecodeBitmap(store, record));
    return mbm::WriteMbm(images, mbm::MbmWriteOptions{mbm::MbmLayout::RomImage, true});
}

} // namespace

std::vector<std::uint8_t> UnusualTheme()
{
    std::map<int, MbmShape> sizes{{2, {176, 44}},   {3, {176, 208}}, {4, {176, 20}},
                                  {10, {176, 144}}, {140, {44, 29}}, {150, {44, 44}}};
    for (const int n : {165, 23, 109, 121, 73})
        sizes[n] = {44, 29};
    for (const int n : {25, 135, 111, 123, 75})
        sizes[n] = {44, 44};
    return PaintMbm(166, sizes, {133});
}

std::vector<ThemeFixture> MadeThemes()
{
    std::vector<ThemeFixture> themes{
        {"Unusual.mbm", UnusualTheme()},
        {"Unusual.sis", Package(UnusualTheme())},
        {"Default.sis", Package(PaintMbm(170, DefaultSizes()))},
        {"Few.mbm", PaintMbm(3)},
        {"AllFaulty.mbm", PaintMbm(4, {}, {0, 1, 2, 3})},
        {"NoPixelsMain.mbm", PaintMbm(170, DefaultSizes({{3, {0, 0}}}))},
        {"NoPixelsIcon.mbm", PaintMbm(170, DefaultSizes({{121, {44, 0}}}))},
        {"NoPixelsControl.mbm", PaintMbm(170, DefaultSizes({{4, {0, 20}}}))},
        {"NoBitmaps.mbm", mbm::WriteMbm({})},
        {"Thousand.mbm", PaintMbm(1002, DefaultSizes())},
        {"Rom.mbm", RomTheme()},
        {"Short.mbm", Bytes("nineteen bytes long")},
        {"NoTheme.sis", PackageBuilder().addFile("C:\\theme\\readme.txt", Bytes("no theme")).bytes()},
    };
    // Its word at offset 16 points at 4 bytes, which give a bitmap count.
    std::vector<std::uint8_t> text = Bytes("not a multi-bitmap file, but long enough");
    PutU32(text, 16, 20);
    themes.push_back({"Text.mbm", text});
    std::vector<std::uint8_t> negative = PaintMbm(3);
    StoreU32(negative.data() + LoadU32(negative.data() + 16), 0xFFFFFFFF);
    themes.push_back({"NegativeCount.mbm", negative});

    PackageBuilder before, after, theme;
    AddCorrupt(before, "C:\\theme\\first.txt").addFile("C:\\theme\\skin.mbm", PaintMbm(170, DefaultSizes()));
    AddCorrupt(after.addFile("C:\\theme\\skin.mbm", PaintMbm(170, DefaultSizes())), "C:\\theme\\last.txt");
    AddCorrupt(theme, "C:\\theme\\skin.mbm");
    themes.push_back({"CorruptBefore.sis", before.bytes()});
    themes.push_back({"CorruptAfter.sis", after.bytes()});
    themes.push_back({"CorruptTheme.sis", theme.bytes()});

    std::vector<std::uint8_t> cut = Package(PaintMbm(170, DefaultSizes()));
    cut.resize(cut.size() / 2);
    themes.push_back({"Half.sis", cut});
    // Its own command file and a theme too short to count, so that the unpacking writes none.
    themes.push_back(
        {"OwnCommands.sis", PackageBuilder()
                                .addFile("C:\\t\\skin.mbm", Bytes("0123456789"))
                                .addFile("C:\\t\\real.dat", PaintMbm(3))
                                .addFile("C:\\t\\mbm.txt", Bytes("/u Nokia\\real.dat\r\n..\\escaped.bmp\r\n"))
                                .bytes()});
    // Two entries of 200 MiB each, as their lengths say: refused before anything is inflated.
    const std::vector<std::uint8_t> stored((200u << 20) / 1000, 0);
    themes.push_back({"Announces400MiB.sis", PackageBuilder()
                                                 .addRawFile(Name16("C:\\t\\skin.mbm"), stored, 200u << 20)
                                                 .addRawFile(Name16("C:\\t\\more.mbm"), stored, 200u << 20)
                                                 .bytes()});
    return themes;
}

} // namespace vexaro::test
