#include "framework/core/Ansi.h"

#include <array>

namespace {

// Characters of bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char kUnmappable = '?';

} // namespace

QChar fromAnsiChar(char byte)
{
    const auto value = static_cast<unsigned char>(byte);
    if (value >= 0x80 && value <= 0x9F)
        return QChar(kHighControls[value - 0x80]);
    return QChar(static_cast<char16_t>(value));
}

QString fromAnsi(std::string_view bytes)
{
    QString text;
    text.resize(static_cast<qsizetype>(bytes.size()));
    QChar *out = text.data();
    for (char byte : bytes)
        *out++ = fromAnsiChar(byte);
    return text;
}

char toAnsiChar(QChar character)
{
    const char16_t code = character.unicode();
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
        return static_cast<char>(code);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == code)
            return static_cast<char>(0x80 + i);
    }
    return kUnmappable;
}

std::string toAnsi(QStringView text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar character = text[i];
        if (character.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        bytes.push_back(toAnsiChar(character));
    }
    return bytes;
}
