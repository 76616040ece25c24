// Fuzz target of the conversion in memory: the input is a theme file, converted once as a
// package and once as a multi-bitmap file, with the fields naming bitmaps 000 to 014 (the
// numbers small inputs have). Any outcome may come out, never a crash; what comes out must hang
// together: a file is there exactly when the outcome says it was built, every Siemens file is a
// multi-bitmap file that reads back, and a converted theme has all three files and its preview.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "base/Error.h"
#include "convert/ThemeConversion.h"
#include "mbm/MbmReader.h"

namespace {

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "convert_fuzz: %s\n", what.c_str());
    std::abort();
}

vexaro::FieldTexts LowNumbers()
{
    vexaro::FieldTexts texts;
    for (int n = 1; n <= vexaro::kFieldCount; ++n)
        texts[static_cast<std::size_t>(n - 1)] = vexaro::BitmapNumberText(n - 1);
    return texts;
}

void Check(const vexaro::ThemeConversion& c)
{
    const vexaro::ThemeOutcome& o = c.outcome;
    for (std::size_t i = 0; i < c.files.size(); ++i) {
        if (o.built[i] == c.files[i].empty())
            Fail("built flag " + std::to_string(i) + " does not match the file");
        if (o.built[i] && vexaro::mbm::ReadMbm(c.files[i]).bitmaps.empty())
            Fail("Siemens file " + std::to_string(i) + " holds no bitmaps");
    }
    if (o.preview == c.previewJpeg.empty())
        Fail("preview flag does not match the JPEG");
    if (o.status == vexaro::ThemeStatus::Converted && !(o.built[0] && o.built[1] && o.built[2] && o.preview))
        Fail("converted without all its files");
    if (o.status != vexaro::ThemeStatus::Converted && o.problems.empty())
        Fail("not converted, and no problem told");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const vexaro::FieldTexts fields = LowNumbers();
    const vexaro::ByteSource theme(std::span<const std::uint8_t>(data, size));
    Check(vexaro::ConvertTheme(theme, vexaro::ThemeFileType::Package, "fuzz.sis", fields));
    Check(vexaro::ConvertTheme(theme, vexaro::ThemeFileType::MultiBitmap, "fuzz.mbm", fields));
    return 0;
}
