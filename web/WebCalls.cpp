// The calls the browser page makes into the core. Each takes the theme file's bytes and a request
// of NUL-terminated texts, and returns one block that the script reads and then frees with
// vexaro_free:
//
//   u32 (little-endian)  n, the length of the header
//   n bytes              the header: a JSON object (UTF-8)
//   ...                  the binary parts the header lists as {"name", "offset", "size"}, offsets
//                        counted from the end of the header
//
// A call that fails gives the header {"error": MESSAGE}. Nothing is kept between calls.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "convert/ThemeConversion.h"
#include "import/SisPackage.h"
#include "import/ThemeFacts.h"
#include "import/ThemeInfo.h"
#include "import/UnpackedTheme.h"
#include "mbm/MbmColours.h"
#include "mbm/MbmFormat.h"
#include "mbm/MbmReader.h"
#include "preview/SourcePicture.h"

namespace {

using namespace vexaro;

// The request: the theme's name, its type ("sis", "mbm", or "" to tell by its first bytes), then
// the fifteen field texts.
struct Request {
    std::string name;
    ThemeFileType type = ThemeFileType::Package;
    FieldTexts fields;
};

bool LooksLikeMultiBitmap(std::span<const std::uint8_t> bytes)
{
    const ByteReader in(bytes);
    return in.u32(0) == mbm::kFileStoreUid1 && in.u32(4) == mbm::kMultiBitmapUid2;
}

Request ReadRequest(const char* text, std::span<const std::uint8_t> theme)
{
    Request request;
    request.name = text;
    text += request.name.size() + 1;
    const std::string type = text;
    text += type.size() + 1;
    if (type == "mbm" || (type.empty() && LooksLikeMultiBitmap(theme)))
        request.type = ThemeFileType::MultiBitmap;
    for (std::string& field : request.fields) {
        field = text;
        text += field.size() + 1;
    }
    return request;
}

struct Part {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

// The block: the header object with "parts" added, then the parts.
std::uint8_t* Block(std::string header, const std::vector<Part>& parts)
{
    std::string list;
    std::size_t offset = 0;
    for (const Part& part : parts) {
        list += (list.empty() ? "" : ", ") + std::string("{\"name\": ") + JsonString(part.name) +
                ", \"offset\": " + std::to_string(offset) + ", \"size\": " + std::to_string(part.bytes.size()) + "}";
        offset += part.bytes.size();
    }
    header.insert(header.size() - 1, (header.size() > 2 ? ", " : "") + std::string("\"parts\": [") + list + "]");
    auto* block = static_cast<std::uint8_t*>(std::malloc(4 + header.size() + offset));
    if (!block)
        return nullptr;
    const auto n = static_cast<std::uint32_t>(header.size());
    for (int i = 0; i < 4; ++i)
        block[i] = static_cast<std::uint8_t>(n >> (8 * i));
    std::memcpy(block + 4, header.data(), header.size());
    std::uint8_t* at = block + 4 + header.size();
    for (const Part& part : parts) {
        if (!part.bytes.empty())
            std::memcpy(at, part.bytes.data(), part.bytes.size());
        at += part.bytes.size();
    }
    return block;
}

template <typename Call>
std::uint8_t* Guarded(Call call)
{
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return Block("{\"error\": \"Out of memory\"}", {});
    } catch (const std::exception& e) {
        return Block("{\"error\": " + JsonString(e.what()) + "}", {});
    }
}

// The theme's file name without its folders, as messages name it.
std::string FileName(const std::string& name) { return name.substr(name.find_last_of("/\\") + 1); }

ThemeFacts Inspect(std::span<const std::uint8_t> theme, const Request& request)
{
    return InspectTheme(ByteSource(theme), request.type, request.name, FileName(request.name), request.fields);
}

std::string JsonList(const std::vector<std::string>& items)
{
    std::string list;
    for (const std::string& item : items)
        list += (list.empty() ? "" : ", ") + item;
    return "[" + list + "]";
}

// The theme's facts, or nothing when it cannot be read; the conversion then says why.
std::optional<ThemeFacts> TryInspect(std::span<const std::uint8_t> theme, const Request& request)
{
    try {
        return Inspect(theme, request);
    } catch (const Error&) {
        return std::nullopt;
    }
}

// A picture as the page paints it: RGBA, top row first.
Part PicturePart(const std::string& name, int width, int height, const std::function<Rgb(int, int)>& pixel)
{
    Part part{name, {}};
    part.bytes.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = pixel(x, y);
            part.bytes.insert(part.bytes.end(), {c.r, c.g, c.b, 255});
        }
    return part;
}

Part BitmapPart(const std::string& name, const Bitmap& picture)
{
    return PicturePart(name, picture.width(), picture.height(), [&](int x, int y) { return picture.pixel(x, y); });
}

std::string PictureJson(const Part& part, int width, int height)
{
    return "{\"name\": " + JsonString(part.name) + ", \"width\": " + std::to_string(width) +
           ", \"height\": " + std::to_string(height) + "}";
}

// The conversion's outcome as the script interface gives it, with the fields whose bitmap the
// theme lacks by `facts`, and its files as parts.
std::string Conversion(std::span<const std::uint8_t> theme, const Request& request,
                       const std::optional<ThemeFacts>& facts, std::vector<Part>& parts, ThemeConversion& conversion)
{
    conversion = ConvertTheme(ByteSource(theme), request.type, FileName(request.name), request.fields);
    std::vector<std::string> messages;
    for (const std::string& line : conversion.outcome.problems)
        messages.push_back(JsonString(line));
    std::vector<std::string> missing;
    if (facts)
        for (const FieldFacts& f : facts->fields)
            if (!f.exists)
                missing.push_back(std::to_string(f.field));
    for (std::size_t i = 0; i < conversion.files.size(); ++i) {
        if (conversion.files[i].empty())
            continue;
        std::string name = kSiemensFileNames[i];
        name[name.find('\\')] = '/';
        parts.push_back({name, std::move(conversion.files[i])});
    }
    if (!conversion.previewJpeg.empty())
        parts.push_back({"preview.jpg", std::move(conversion.previewJpeg)});
    return "\"status\": " + JsonString(StatusWord(conversion.outcome.status)) + ", \"missing\": " + JsonList(missing) +
           ", \"messages\": " + JsonList(messages);
}

// The window's face colour, behind the source panel's pictures.
constexpr Rgb kFaceColour{212, 208, 200};

// A thumbnail is at most this wide and high.
constexpr int kThumbnailSide = 48;

} // namespace

extern "C" {

// Vexaro.convert: {"status", "missing", "messages"}, with the Siemens files built
// ("Siemens/Backgroundimage.mbm", ...) and "preview.jpg" as parts.
std::uint8_t* vexaro_convert(const std::uint8_t* bytes, std::size_t size, const char* text)
{
    return Guarded([&] {
        const std::span<const std::uint8_t> theme(bytes, size);
        std::vector<Part> parts;
        ThemeConversion conversion;
        const Request request = ReadRequest(text, theme);
        const std::string header = Conversion(theme, request, TryInspect(theme, request), parts, conversion);
        return Block("{" + header + "}", parts);
    });
}

// What the page shows of a theme: the conversion as vexaro_convert gives it, the theme's facts,
// and the pictures the window shows (the source panel's Image2, menu and submenu, and the preview
// Image1) as RGBA parts listed in "pictures".
std::uint8_t* vexaro_page(const std::uint8_t* bytes, std::size_t size, const char* text)
{
    return Guarded([&] {
        const std::span<const std::uint8_t> theme(bytes, size);
        const Request request = ReadRequest(text, theme);
        std::vector<Part> parts;
        ThemeConversion conversion;
        const std::optional<ThemeFacts> facts = TryInspect(theme, request);
        std::string header = "{" + Conversion(theme, request, facts, parts, conversion);
        if (facts)
            header += ", \"facts\": " + FactsJson(*facts);
        std::vector<std::string> pictures;
        const auto add = [&](const std::string& name, const Bitmap& picture) {
            parts.push_back(BitmapPart(name, picture));
            pictures.push_back(PictureJson(parts.back(), picture.width(), picture.height()));
        };
        if (!conversion.preview.empty())
            add("image1", conversion.preview);
        try {
            const UnpackedTheme unpacked(ByteSource(theme), request.type, FileName(request.name), request.fields);
            PreviewPictures panel;
            try {
                ComposeSourcePanel(unpacked.loader(request.fields), kFaceColour, panel);
            } catch (const Error&) {
                // A bitmap no reader takes ends the panel there, as in the window; the
                // conversion's messages tell of it.
            }
            add("image2", panel.image2);
            add("menu", panel.menu);
            add("submenu", panel.submenu);
        } catch (const Error&) {
            // A theme that does not open: the conversion's messages say why.
        }
        return Block(header + ", \"pictures\": " + JsonList(pictures) + "}", parts);
    });
}

// The theme's bitmaps: {"facts": {...}, "thumbnails": [{"name", "width", "height"}]}, each
// bitmap that can be decoded as an RGBA thumbnail "thumb-N" no larger than kThumbnailSide.
std::uint8_t* vexaro_bitmaps(const std::uint8_t* bytes, std::size_t size, const char* text)
{
    return Guarded([&] {
        const std::span<const std::uint8_t> theme(bytes, size);
        const Request request = ReadRequest(text, theme);
        const ThemeFacts facts = Inspect(theme, request);
        std::vector<std::uint8_t> entry;
        std::span<const std::uint8_t> mbmBytes = theme;
        if (request.type == ThemeFileType::Package) {
            std::optional<std::vector<std::uint8_t>> found =
                sis::ReadMultiBitmapEntry(ByteReader(theme), FileName(request.name));
            if (!found)
                throw Error(NoMultiBitmapMessage(FileName(request.name)));
            entry = std::move(*found);
            mbmBytes = entry;
        }
        const ByteReader in(mbmBytes);
        const mbm::MbmFile file = mbm::ReadMbm(in);
        mbm::CheckThemePixels(file, file.bitmaps.size(), FileName(request.name));
        std::vector<Part> parts;
        std::vector<std::string> thumbnails;
        for (const mbm::MbmBitmapRecord& record : file.bitmaps) {
            if (!record.fault.empty())
                continue;
            mbm::MbmImage image;
            try {
                image = mbm::DecodeBitmap(in, record);
            } catch (const Error&) {
                continue;
            }
            if (image.width <= 0 || image.height <= 0)
                continue;
            const int longest = std::max(image.width, image.height);
            const int width = std::max(1, image.width * std::min(longest, kThumbnailSide) / longest);
            const int height = std::max(1, image.height * std::min(longest, kThumbnailSide) / longest);
            parts.push_back(PicturePart("thumb-" + std::to_string(record.index), width, height, [&](int x, int y) {
                return mbm::PixelColour(image, x * image.width / width, y * image.height / height);
            }));
            thumbnails.push_back(PictureJson(parts.back(), width, height));
        }
        return Block("{\"facts\": " + FactsJson(facts) + ", \"thumbnails\": " + JsonList(thumbnails) + "}", parts);
    });
}

// What info --json prints of the theme: {"facts": {...}}.
std::uint8_t* vexaro_inspect(const std::uint8_t* bytes, std::size_t size, const char* request)
{
    return Guarded([&] {
        const std::span<const std::uint8_t> theme(bytes, size);
        return Block("{\"facts\": " + FactsJson(Inspect(theme, ReadRequest(request, theme))) + "}", {});
    });
}

// The fifteen fields, each with what it is and its default text: {"fields": [{"field", "name",
// "text"}, ...]}. Takes no theme.
std::uint8_t* vexaro_fields(const std::uint8_t*, std::size_t, const char*)
{
    return Guarded([] {
        std::string list;
        for (const ThemeField& f : kThemeFields)
            list += (list.empty() ? "" : ", ") + std::string("{\"field\": ") + std::to_string(f.number) +
                    ", \"name\": " + JsonString(FieldName(f.number)) +
                    ", \"text\": " + JsonString(FieldDefault(f.number)) + "}";
        return Block("{\"fields\": [" + list + "]}", {});
    });
}

void vexaro_free(std::uint8_t* block) { std::free(block); }

} // extern "C"
