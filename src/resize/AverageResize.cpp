#include "resize/AverageResize.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace vexaro {

int RoundHalfUp(float v)
{
    if (v < 0.0f)
        return static_cast<int>(v); // toward zero
    const int whole = static_cast<int>(v);
    const float fraction = v - static_cast<float>(whole); // exact for float values of this range
    return fraction >= 0.5f ? whole + 1 : whole;
}

namespace {

struct Span {
    int first = 0, last = -1; // inclusive
};

// The spans of one axis: each starts where the previous one ended (after the clamp).
std::vector<Span> AxisSpans(int sourceSize, int targetSize)
{
    std::vector<Span> spans(static_cast<std::size_t>(targetSize));
    const float step = static_cast<float>(sourceSize) / static_cast<float>(targetSize);
    float end = 0.0f;
    for (int i = 0; i < targetSize; ++i) {
        const float start = end;
        end = start + step;
        if (!(static_cast<float>(sourceSize) > end))
            end = static_cast<float>(sourceSize - 1);
        spans[static_cast<std::size_t>(i)] = Span{RoundHalfUp(start), RoundHalfUp(end)};
    }
    return spans;
}

// floor(sum / n + 1/2) = round half up of the exact quotient, for sum >= 0 and n > 0.
// The quotient is estimated with a reciprocal and corrected, which keeps it exact.
inline std::uint8_t AverageOf(std::uint32_t sum, std::uint32_t n, double reciprocal)
{
    const std::uint64_t x = 2 * static_cast<std::uint64_t>(sum) + n;
    const std::uint64_t d = 2 * static_cast<std::uint64_t>(n);
    std::uint64_t q = static_cast<std::uint64_t>(static_cast<double>(x) * reciprocal);
    if (q * d > x)
        --q;
    else if ((q + 1) * d <= x)
        ++q;
    return static_cast<std::uint8_t>(q);
}

// Averages for every sum of one pixel count n (sums run from 0 to 255 n), built on first use.
class AverageTables {
public:
    static constexpr std::uint32_t kMaxTabled = 64;
    const std::uint8_t* table(std::uint32_t n)
    {
        std::vector<std::uint8_t>& t = tables_[n];
        if (t.empty()) {
            t.resize(255 * n + 1);
            const double reciprocal = 1.0 / (2.0 * n);
            for (std::uint32_t sum = 0; sum <= 255 * n; ++sum)
                t[sum] = AverageOf(sum, n, reciprocal);
        }
        return t.data();
    }

private:
    std::vector<std::uint8_t> tables_[kMaxTabled + 1];
};

// Per target column: where its span starts in the column sums, how many of its source columns
// lie inside the source, and how many it counts (the rest are black).
struct ColumnSpan {
    std::size_t offset = 0;
    std::uint32_t inside = 0, count = 0;
};

// One target row from the column sums of its row span. False at an empty span. Kept out of
// its caller, where its loop would lose registers to the caller's values (a third slower).
[[gnu::noinline]] bool AverageRow(const std::uint32_t* __restrict sums, const ColumnSpan* __restrict spans, int width,
                                  std::uint32_t spanRows, std::uint8_t* __restrict out, AverageTables& tables)
{
    std::uint32_t lastN = 0;
    double reciprocal = 0.0;
    const std::uint8_t* table = nullptr;
    for (int j = 0; j < width; ++j, out += 3) {
        const ColumnSpan cs = spans[j];
        if (cs.count == 0)
            return false;
        const std::uint32_t n = spanRows * cs.count;
        const std::uint32_t* s = sums + cs.offset;
        std::uint32_t s0, s1, s2;
        if (cs.inside == 2) { // the common case: neighbouring columns j and j + 1
            s0 = s[0] + s[3];
            s1 = s[1] + s[4];
            s2 = s[2] + s[5];
        } else {
            s0 = s1 = s2 = 0;
            for (std::uint32_t c = 0; c < cs.inside; ++c, s += 3) {
                s0 += s[0];
                s1 += s[1];
                s2 += s[2];
            }
        }
        if (n != lastN) {
            lastN = n;
            table = n <= AverageTables::kMaxTabled ? tables.table(n) : nullptr;
            reciprocal = 1.0 / (2.0 * n);
        }
        if (table != nullptr) {
            out[0] = table[s0];
            out[1] = table[s1];
            out[2] = table[s2];
        } else {
            out[0] = AverageOf(s0, n, reciprocal);
            out[1] = AverageOf(s1, n, reciprocal);
            out[2] = AverageOf(s2, n, reciprocal);
        }
    }
    return true;
}

// Column sums of source rows first..last (inclusive, inside the source) into `sums`.
void SumRows(const std::uint8_t* pixels, std::size_t stride, int sw, int first, int last,
             std::uint32_t* __restrict sums)
{
    const std::size_t count = static_cast<std::size_t>(sw) * 3;
    if (last < first) {
        std::fill(sums, sums + count, 0u);
        return;
    }
    const std::uint8_t* __restrict a = pixels + static_cast<std::size_t>(first) * stride;
    if (last == first + 1) { // the common case: two neighbouring rows
        const std::uint8_t* __restrict b = a + stride;
        for (std::size_t k = 0; k < count; ++k)
            sums[k] = static_cast<std::uint32_t>(a[k]) + b[k];
        return;
    }
    for (std::size_t k = 0; k < count; ++k)
        sums[k] = a[k];
    for (int r = first + 1; r <= last; ++r) {
        const std::uint8_t* __restrict p = pixels + static_cast<std::size_t>(r) * stride;
        for (std::size_t k = 0; k < count; ++k)
            sums[k] += p[k];
    }
}

// The source's pixels as rows of blue, green, red bytes (the channel order does not matter
// for averaging as long as it is kept).
const std::uint8_t* SourceRows(const Bitmap& source, std::vector<std::uint8_t>& converted, std::size_t& stride)
{
    if (source.format() == PixelFormat::Bits24) {
        stride = source.stride();
        return source.pixelBytes().data();
    }
    converted = source.toRgb(); // red, green, blue
    for (std::size_t i = 0; i + 2 < converted.size(); i += 3)
        std::swap(converted[i], converted[i + 2]);
    stride = static_cast<std::size_t>(source.width()) * 3;
    return converted.data();
}

// Everything the rows of a resize need, made before the target is touched.
struct Plan {
    const std::uint8_t* pixels = nullptr;
    std::size_t sourceStride = 0;
    std::vector<std::uint8_t> converted;
    std::vector<Span> rows;
    std::vector<ColumnSpan> columnSpans;
    std::vector<std::uint32_t> columnSums;
    bool writesAll = true; // no empty span: every target pixel gets written
};

void MakePlan(const Bitmap& source, int width, int height, AverageTables& tables, Plan& plan)
{
    const int sw = source.width(), sh = source.height();
    plan.pixels = SourceRows(source, plan.converted, plan.sourceStride);
    const std::vector<Span> columns = AxisSpans(sw, width);
    plan.rows = AxisSpans(sh, height);
    plan.columnSpans.resize(columns.size());
    // Span lengths (up to the tabled counts) that occur, to make their tables now.
    std::vector<bool> columnCounts(AverageTables::kMaxTabled + 1), rowCounts(AverageTables::kMaxTabled + 1);
    for (std::size_t j = 0; j < columns.size(); ++j) {
        const Span cs = columns[j];
        if (cs.last < cs.first) {
            plan.writesAll = false;
            break; // the resize stops at this column; later ones are never reached
        }
        const int lastInside = cs.last < sw ? cs.last : sw - 1;
        ColumnSpan& span = plan.columnSpans[j];
        span.offset = static_cast<std::size_t>(cs.first) * 3;
        span.inside = lastInside >= cs.first ? static_cast<std::uint32_t>(lastInside - cs.first + 1) : 0;
        span.count = static_cast<std::uint32_t>(cs.last - cs.first + 1);
        if (span.count <= AverageTables::kMaxTabled)
            columnCounts[span.count] = true;
    }
    for (const Span& rs : plan.rows) {
        if (rs.last < rs.first) {
            plan.writesAll = false;
            break;
        }
        if (const auto n = static_cast<std::uint32_t>(rs.last - rs.first + 1); n <= AverageTables::kMaxTabled)
            rowCounts[n] = true;
    }
    for (std::uint32_t r = 1; r <= AverageTables::kMaxTabled; ++r)
        for (std::uint32_t c = 1; r * c <= AverageTables::kMaxTabled; ++c)
            if (rowCounts[r] && columnCounts[c])
                tables.table(r * c);
    // Sums of the current row span, per source column and channel (rows past the edge add 0).
    plan.columnSums.resize(static_cast<std::size_t>(sw) * 3);
}

void Resize(const Bitmap& source, Bitmap& target, int width, int height)
{
    if (target.format() != PixelFormat::Bits24)
        target.convertTo24();
    if (width <= 0 || height <= 0) {
        target.setSize(width, height);
        return;
    }
    // Made for each call: the counts in use are few, and a thread-local table's destructor at a
    // thread's end is not safe with MinGW's threads (conversions run on worker threads).
    AverageTables tables;
    Plan plan;
    try {
        MakePlan(source, width, height, tables, plan);
    } catch (...) {
        target.setSize(width, height);
        throw;
    }
    // Nothing below can fail. When every pixel gets written, a target of another size is made
    // anew without painting its new pixels white first; else the resize keeps what it holds
    // where it stops.
    if (plan.writesAll && (target.width() != width || target.height() != height))
        target.reset(width, height, PixelFormat::Bits24);
    else
        target.setSize(width, height);

    const int sw = source.width(), sh = source.height();
    const std::uint8_t* const pixels = plan.pixels;
    const std::size_t sourceStride = plan.sourceStride;
    std::uint32_t* const sums = plan.columnSums.data();
    const ColumnSpan* const columnSpans = plan.columnSpans.data();
    for (int i = 0; i < height; ++i) {
        const Span rs = plan.rows[static_cast<std::size_t>(i)];
        if (rs.last < rs.first)
            return; // empty span: stop here, quietly
        const std::uint32_t spanRows = static_cast<std::uint32_t>(rs.last - rs.first + 1);
        SumRows(pixels, sourceStride, sw, rs.first, std::min(rs.last, sh - 1), sums);
        if (!AverageRow(sums, columnSpans, width, spanRows, target.row(i), tables))
            return;
    }
}

} // namespace

void AverageResize(const Bitmap& source, Bitmap& target, int width, int height)
{
    try {
        Resize(source, target, width, height);
    } catch (...) {
        // The resize never reports a failure; the target keeps what it holds.
    }
}

} // namespace vexaro
