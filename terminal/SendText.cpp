#include "terminal/SendText.h"

#include "framework/core/HexPair.h"

namespace terminal {

std::string_view lineEndBytes(LineEnd end)
{
    switch (end) {
    case LineEnd::CR:
        return "\r";
    case LineEnd::LF:
        return "\n";
    case LineEnd::CRLF:
        return "\r\n";
    case LineEnd::None:
        break;
    }
    return {};
}

Decoded decodeEscapes(std::string_view text)
{
    Decoded out;
    out.bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.bytes += text[i];
            continue;
        }
        const char kind = i + 1 < text.size() ? text[i + 1] : '\0';
        int value = -1;
        std::size_t length = 2;
        switch (kind) {
        case 'r':
            value = '\r';
            break;
        case 'n':
            value = '\n';
            break;
        case 't':
            value = '\t';
            break;
        case '\\':
            value = '\\';
            break;
        case 'x':
            length = 4;
            if (i + 3 < text.size() && hexDigitValue(text[i + 2]) >= 0 &&
                hexDigitValue(text[i + 3]) >= 0)
                value = hexDigitValue(text[i + 2]) * 16 + hexDigitValue(text[i + 3]);
            break;
        default:
            break;
        }
        if (value < 0) {
            Decoded bad;
            bad.errorAt = i + 1;
            bad.escape = std::string(text.substr(i, length));
            return bad;
        }
        out.bytes += static_cast<char>(value);
        i += length - 1;
    }
    return out;
}

} // namespace terminal
