// Reads arbitrary bytes as a multi-bitmap file and decodes every bitmap into the BMP files
// the decompile mode writes. Only vexaro::Error may come out of the library.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/Error.h"
#include "mbm/MbmColours.h"
#include "mbm/MbmReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    try {
        const vexaro::mbm::MbmFile file = vexaro::mbm::ReadMbm(bytes);
        for (const vexaro::mbm::MbmBitmapRecord& record : file.bitmaps) {
            try {
                const vexaro::mbm::MbmImage image = vexaro::mbm::DecodeBitmap(bytes, record);
                (void)vexaro::mbm::EncodeDecompiledBmp(image);
                if (vexaro::mbm::HasAlphaChannel(image))
                    (void)vexaro::mbm::EncodeAlphaBmp(image);
            } catch (const vexaro::Error&) {
                // a faulty bitmap; the others are still tried
            }
        }
    } catch (const vexaro::Error&) {
        // not a readable multi-bitmap file
    }
    return 0;
}
