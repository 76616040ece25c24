#include "converter/Bmconv.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <ostream>
#include <variant>

#include "bitmap/BmpCodec.h"
#include "base/ByteReader.h"
#include "base/Error.h"
#include "base/Unicode.h"
#include "converter/FileIo.h"
#include "mbm/MbmColours.h"
#include "mbm/MbmReader.h"
#include "mbm/MbmReduce.h"
#include "mbm/MbmWriter.h"
#include "mbm/Palette.h"

namespace vexaro::converter {

namespace {

// A decompiled BMP is written in pieces of about this size.
constexpr std::size_t kBmpPieceBytes = std::size_t{256} << 10;

std::size_t FileNameStart(std::string_view path)
{
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// Pixels per metre of a BMP file, read from the info header (0 when it has none). Our picture
// type does not keep them, so they come from the file bytes: biXPelsPerMeter and
// biYPelsPerMeter sit at file offsets 38 and 42 in every info header of 32 bytes or more.
struct Resolution {
    std::int32_t x = 0, y = 0;
};
Resolution BmpResolution(const std::vector<std::uint8_t>& bytes)
{
    const ByteReader in(bytes);
    const auto headerSize = in.u32(14);
    const auto x = in.u32(38), y = in.u32(42);
    if (!headerSize || *headerSize < 32 || !x || !y)
        return {};
    return {static_cast<std::int32_t>(*x), static_cast<std::int32_t>(*y)};
}

// One source picture and where its rows lie: in place in the bytes of the file for the usual
// uncompressed BMPs, so that the picture is held once, else in the decoded picture. Our BMP
// reader takes every variant (16-bit, top-down, RLE, V4/V5 headers) and gets the pixels right
// where the SDK's converter misreads them; this is a deliberate difference, so such sources
// compile to what they show.
struct SourcePicture {
    std::vector<std::uint8_t> bytes;
    Bitmap decoded;
    PixelRows rows;
    Resolution resolution;

    explicit SourcePicture(std::string_view path)
    {
        bytes = ReadInputFile(path, kMaxBmpFileBytes);
        if (bytes.empty())
            throw Error("source bitmap " + Quoted(path) + " is empty");
        resolution = BmpResolution(bytes);
        try {
            if (std::optional<PixelRows> view = ViewBmpPixels(bytes)) {
                rows = std::move(*view);
                return;
            }
            DecodeBmp(bytes, decoded);
        } catch (const Error& e) {
            throw Error("source bitmap " + Quoted(path) + ": " + e.what());
        }
        bytes = {};
        rows = decoded.rows();
    }
    SourcePicture(const SourcePicture&) = delete;
    SourcePicture& operator=(const SourcePicture&) = delete;
};

// Reads one source (and its alpha companion) and writes it as the next bitmap.
void CompileSource(const SourceSpec& source, const mbm::InverseTable256& inverse256, mbm::MbmFileWriter& writer)
{
    const SourcePicture picture(source.path);
    std::optional<SourcePicture> alpha;
    if (source.depth.alpha)
        alpha.emplace(AlphaCompanionName(source.path));
    std::optional<mbm::RowReducer> reducer;
    try {
        reducer.emplace(picture.rows, source.depth, inverse256, alpha ? &alpha->rows : nullptr);
    } catch (const Error& e) {
        throw Error("source bitmap " + Quoted(source.path) + ": " + e.what());
    }
    mbm::AddReducedBitmap(writer, *reducer, picture.resolution.x, picture.resolution.y);
}

// The target file as the multi-bitmap writer sees it. The temporary file is made when the
// first bytes come, so that a small target's sources are all read before it exists.
class TargetSink : public mbm::MbmSink {
public:
    explicit TargetSink(std::string_view path) : path_(path) {}
    void append(std::span<const std::uint8_t> bytes) override { file().append(bytes); }
    void overwrite(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        file().overwrite(offset, bytes);
    }
    void truncate(std::uint64_t offset) override { file().truncate(offset); }
    void commit() { file().commit(); }

private:
    ReplacingFile& file()
    {
        if (!file_)
            file_.emplace(path_);
        return *file_;
    }
    std::string_view path_;
    std::optional<ReplacingFile> file_;
};

// "Siemens\EidPic.mbm" -> "Eidpic": the file name without folder and extension, first
// letter upper case, the rest lower case.
std::string EnumName(std::string_view path)
{
    std::string name(path.substr(FileNameStart(path)));
    if (const std::size_t dot = name.find_last_of('.'); dot != std::string::npos)
        name.resize(dot);
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        name[i] = static_cast<char>(i == 0 ? std::toupper(c) : std::tolower(c));
    }
    return name;
}

std::string HeaderText(const CompileRequest& request)
{
    const std::string file = EnumName(request.target);
    std::string text = "// " + std::string(request.headerPath.substr(FileNameStart(request.headerPath))) +
                       ": indices of the bitmaps in " +
                       std::string(request.target.substr(FileNameStart(request.target))) + "\r\n\r\nenum TMbm" + file +
                       "\r\n\t{\r\n";
    for (const SourceSpec& s : request.sources)
        text += "\tEMbm" + file + EnumName(s.path) + ",\r\n";
    text += "\t};\r\n";
    return text;
}

std::span<const std::uint8_t> AsBytes(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

const char* CompressionName(std::uint32_t compression)
{
    static const char* const names[] = {"none",       "byte RLE",   "12-bit RLE",      "16-bit RLE",
                                        "24-bit RLE", "32-bit RLE", "32-bit alpha RLE"};
    return compression <= mbm::kLastCompression ? names[compression] : "unknown";
}

std::vector<std::string> Arguments(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return args;
    const std::vector<std::uint8_t> text = ReadInputFile(args[0], kMaxCommandFileBytes);
    std::vector<std::string> tokens =
        TokenizeCommandFile(TextAsUtf8(std::string_view(reinterpret_cast<const char*>(text.data()), text.size())));
    if (tokens.empty())
        throw Error("command file " + Quoted(args[0]) + " holds no arguments");
    return tokens;
}

} // namespace

std::string AlphaCompanionName(std::string_view path)
{
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || dot < FileNameStart(path))
        return std::string(path) + "-alpha";
    return std::string(path.substr(0, dot)) + "-alpha" + std::string(path.substr(dot));
}

void Compile(const CompileRequest& request)
{
    try {
        // The 256-colour table costs a few milliseconds to build: only /c8 sources need it.
        const bool needs256 = std::any_of(request.sources.begin(), request.sources.end(), [](const SourceSpec& s) {
            return s.depth.colour && s.depth.bitsPerPixel == 8;
        });
        mbm::InverseTable256 inverse256{};
        if (!request.palettePath.empty()) {
            const std::vector<std::uint8_t> text = ReadInputFile(request.palettePath, kMaxPaletteFileBytes);
            try {
                const mbm::Palette256 palette =
                    mbm::ParsePaletteFile(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
                if (needs256)
                    inverse256 = mbm::BuildInverse256(palette);
            } catch (const Error& e) {
                throw Error(Quoted(request.palettePath) + ": " + e.what());
            }
        } else if (needs256) {
            inverse256 = mbm::StandardInverse256();
        }
        TargetSink target(request.target);
        mbm::MbmFileWriter writer(target, request.sources.size(), request.store);
        for (const SourceSpec& source : request.sources)
            CompileSource(source, inverse256, writer);
        writer.finish();
        target.commit();
        if (!request.headerPath.empty())
            WriteFileAtomically(request.headerPath, AsBytes(HeaderText(request)));
    } catch (const Error& e) {
        RemoveFile(request.target);
        throw Error(Quoted(request.target) + " not written: " + e.what());
    }
}

namespace {

// The container of the multi-bitmap file `source`; its faults are told with its name.
mbm::MbmFile ReadSourceMbm(const std::string& source, const ByteReader& reader)
{
    try {
        return mbm::ReadMbm(reader);
    } catch (const Error& e) {
        throw Error(Quoted(source) + ": " + e.what());
    }
}

} // namespace

DecompileResult Decompile(const DecompileRequest& request)
{
    DecompileResult result;
    // Every target named and not written is removed, alpha companions included, so that
    // whatever stays under a target's name afterwards is this run's.
    std::vector<bool> written(request.targets.size(), false);
    struct RemoveUnwritten {
        const DecompileRequest& request;
        const std::vector<bool>& written;
        ~RemoveUnwritten()
        {
            for (std::size_t k = 0; k < request.targets.size(); ++k)
                if (!written[k]) {
                    RemoveFile(request.targets[k]);
                    RemoveFile(AlphaCompanionName(request.targets[k]));
                }
        }
    } removeUnwritten{request, written};

    const InputFile input(request.source, mbm::kMaxMbmFileBytes);
    const ByteReader reader(input.source());
    const mbm::MbmFile file = ReadSourceMbm(request.source, reader);
    const std::size_t count = std::min(file.bitmaps.size(), request.targets.size());
    for (std::size_t k = 0; k < count; ++k) {
        const std::string& target = request.targets[k];
        mbm::MbmImage image;
        try {
            image = mbm::DecodeBitmap(reader, file.bitmaps[k]);
        } catch (const Error& e) {
            result.errors.push_back(Quoted(request.source) + ": " + e.what() + "; " + Quoted(target) + " not written");
            continue;
        }
        try {
            OutputFile out(target);
            mbm::EncodeDecompiledBmp(image, kBmpPieceBytes,
                                     [&out](std::span<const std::uint8_t> piece) { out.write(piece); });
            out.close();
            written[k] = true;
            ++result.written;
            if (mbm::HasAlphaChannel(image))
                WriteFile(AlphaCompanionName(target), mbm::EncodeAlphaBmp(image));
            else
                RemoveFile(AlphaCompanionName(target));
        } catch (const Error& e) {
            result.errors.push_back(e.what());
        }
    }
    if (request.targets.size() > file.bitmaps.size())
        result.errors.push_back(Quoted(request.source) + " holds " + std::to_string(file.bitmaps.size()) +
                                " bitmaps but " + std::to_string(request.targets.size()) +
                                " output files are named; the last " +
                                std::to_string(request.targets.size() - file.bitmaps.size()) + " were not written");
    return result;
}

void PrintSummary(const SummaryRequest& request, std::ostream& out)
{
    const InputFile input(request.source, mbm::kMaxMbmFileBytes);
    const mbm::MbmFile file = ReadSourceMbm(request.source, ByteReader(input.source()));
    out << request.source << ": " << (file.kind == mbm::MbmKind::FileStore ? "file store" : "ROM image") << ", "
        << file.bitmaps.size() << " bitmaps\n";
    for (const mbm::MbmBitmapRecord& r : file.bitmaps) {
        const mbm::MbmBitmapHeader& h = r.header;
        out << "  " << r.index << ": ";
        if (!r.fault.empty()) {
            out << "faulty: " << r.fault << "\n";
            continue;
        }
        out << h.width << "x" << h.height << ", " << h.bitsPerPixel << " bpp "
            << (h.colourMode == mbm::kGrey     ? "grey"
                : h.colourMode == mbm::kColour ? "colour"
                                               : "colour+alpha")
            << ", " << CompressionName(h.compression) << ", " << h.size << " bytes, twips " << h.twipsWidth << "x"
            << h.twipsHeight << "\n";
    }
}

int RunBmconv(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    Request request;
    try {
        request = ParseArguments(Arguments(args));
    } catch (const Error& e) {
        err << "bmconv: " << e.what() << "\n";
        return kExitBadCommand;
    }
    if (std::holds_alternative<UsageRequest>(request)) {
        out << UsageText();
        return kExitOk;
    }
    try {
        if (const auto* compile = std::get_if<CompileRequest>(&request)) {
            Compile(*compile);
            return kExitOk;
        }
        if (const auto* summary = std::get_if<SummaryRequest>(&request)) {
            PrintSummary(*summary, out);
            return kExitOk;
        }
        const DecompileResult result = Decompile(std::get<DecompileRequest>(request));
        for (const std::string& message : result.errors)
            err << "bmconv: " << message << "\n";
        return result.errors.empty() ? kExitOk : kExitFailed;
    } catch (const Error& e) {
        err << "bmconv: " << e.what() << "\n";
        return kExitFailed;
    }
}

} // namespace vexaro::converter
