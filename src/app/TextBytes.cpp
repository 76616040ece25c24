#include "app/TextBytes.h"

namespace vexaro::app {

namespace {

constexpr char16_t kHeldByte = 0xDC00;
// The longest character of the system's 8-bit encodings (UTF-8).
constexpr std::size_t kMaxCharacterBytes = 4;

bool RoundTrips(std::string_view bytes, QString& text)
{
    text = QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const QByteArray back = text.toLocal8Bit();
    return std::string_view(back.constData(), static_cast<std::size_t>(back.size())) == bytes;
}

} // namespace

QString TextOfBytes(std::string_view bytes)
{
    QString text;
    if (RoundTrips(bytes, text))
        return text;
    // Character by character: the shortest run of bytes that comes back as it was, else one
    // byte held as itself.
    text.clear();
    for (std::size_t at = 0; at < bytes.size();) {
        QString character;
        std::size_t length = 1;
        while (length <= kMaxCharacterBytes && at + length <= bytes.size() &&
               !RoundTrips(bytes.substr(at, length), character))
            ++length;
        if (length > kMaxCharacterBytes || at + length > bytes.size()) {
            text += QChar(static_cast<char16_t>(kHeldByte + static_cast<unsigned char>(bytes[at])));
            ++at;
        } else {
            text += character;
            at += length;
        }
    }
    return text;
}

std::string BytesOfText(const QString& text)
{
    std::string bytes;
    qsizetype runStart = 0;
    auto flushRun = [&](qsizetype end) { bytes += text.mid(runStart, end - runStart).toLocal8Bit().toStdString(); };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool paired = i > 0 && text[i - 1].isHighSurrogate();
        if (c >= kHeldByte + 0x80 && c <= kHeldByte + 0xFF && !paired) {
            flushRun(i);
            bytes += static_cast<char>(c - kHeldByte);
            runStart = i + 1;
        }
    }
    flushRun(text.size());
    return bytes;
}

} // namespace vexaro::app
