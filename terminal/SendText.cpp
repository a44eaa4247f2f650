#include "terminal/SendText.h"

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

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

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
            if (i + 3 < text.size() && hexDigit(text[i + 2]) >= 0 && hexDigit(text[i + 3]) >= 0)
                value = hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3]);
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
