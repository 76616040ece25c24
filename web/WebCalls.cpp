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
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "import/SisPackage.h"
#include "import/ThemeFacts.h"
#include "import/ThemeInfo.h"
#include "mbm/MbmFormat.h"

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

ThemeFacts Inspect(std::span<const std::uint8_t> theme, const Request& request)
{
    if (request.type == ThemeFileType::MultiBitmap)
        return DescribeTheme(request.name, ReadBitmapFacts(theme), request.fields);
    const std::string packageName = request.name.substr(request.name.find_last_of("/\\") + 1);
    const std::optional<std::vector<std::uint8_t>> mbm = sis::ReadMultiBitmapEntry(ByteReader(theme), packageName);
    if (!mbm)
        throw Error(Quoted(packageName) + " holds no theme bitmaps\nIt has no multi-bitmap (.mbm) file");
    return DescribeTheme(request.name, ReadBitmapFacts(*mbm), request.fields);
}

} // namespace

extern "C" {

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
