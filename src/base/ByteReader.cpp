#include "base/ByteReader.h"

#include <algorithm>
#include <cstring>

#include "base/Error.h"

namespace vexaro {

void ByteSource::read(std::uint64_t offset, std::span<std::uint8_t> out) const
{
    if (out.empty())
        return;
    if (inMemory()) {
        std::memcpy(out.data(), memory_.data() + offset, out.size());
        return;
    }
    const int error = file_->read(offset, out);
    if (error != 0)
        throw Error(failurePrefix_ + (error == PositionedFile::kEndedEarly ? kFileEndedEarly : SystemReason(error)));
}

void ByteReader::read(std::uint64_t offset, std::span<std::uint8_t> out) const
{
    if (!has(offset, out.size()))
        throw Error(std::to_string(out.size()) + " bytes at offset " + std::to_string(offset) +
                    " run past the end of the data (" + std::to_string(size()) + " bytes)");
    if (out.empty())
        return;
    if (source_.inMemory() || out.size() <= windowBytes_)
        std::memcpy(out.data(), at(offset, out.size()), out.size());
    else
        source_.read(offset, out);
}

void ByteReader::fill(std::uint64_t offset, std::size_t length) const
{
    const auto ahead = static_cast<std::size_t>(
        std::max<std::uint64_t>(length, std::min<std::uint64_t>(windowBytes_, size() - offset)));
    windowLength_ = 0; // until the read has succeeded
    // A window grown for one long piece is given back at the next short one.
    if (ahead > windowCapacity_ || (windowCapacity_ > windowBytes_ && ahead <= windowBytes_)) {
        window_.reset();
        windowCapacity_ = 0;
        window_.reset(new std::uint8_t[ahead]); // left uninitialised: the read fills it
        windowCapacity_ = ahead;
    }
    source_.read(offset, std::span<std::uint8_t>(window_.get(), ahead));
    windowAt_ = offset;
    windowLength_ = ahead;
}

} // namespace vexaro
