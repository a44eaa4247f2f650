// Feeds arbitrary text to every text-to-value conversion: the saved-setting texts of the line
// settings, the character and boolean texts, and the integer reader (which also reads the
// typed line speed). Checks that every result is a value of its type, that a value's text
// reads back as that value, and that the integer reader agrees with a model of its grammar
// built on std::from_chars.
#include "FuzzCheck.h"

#include "framework/core/ConvertError.h"
#include "framework/core/IntegerText.h"
#include "serial/settings/ComTexts.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

// Text to value, the value back to text and that text to value again: the same value.
template<typename Enum>
void checkRoundTrip(std::string_view text, Enum (*toValue)(std::string_view),
                    std::string (*toText)(Enum), unsigned count)
{
    const Enum value = toValue(text);
    FUZZ_CHECK(static_cast<unsigned>(value) < count);
    const std::string shown = toText(value);
    FUZZ_CHECK(!shown.empty());
    FUZZ_CHECK(toValue(shown) == value);
}

// Blanks, an optional sign, decimal digits or hex digits after "$", "x", "X", "0x", "0X",
// nothing after them; decimal within the signed 32-bit range, hex within 32 bits.
std::optional<std::int32_t> modelInteger(std::string_view text)
{
    const std::size_t start = text.find_first_not_of(' ');
    text.remove_prefix(start == std::string_view::npos ? text.size() : start);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    // from_chars takes a sign of its own; only digits may remain here.
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return std::nullopt;
    std::uint64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (base == 10) {
        const std::uint64_t limit =
            negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
        if (magnitude > limit)
            return std::nullopt;
        return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                                  : static_cast<std::int64_t>(magnitude));
    }
    if (magnitude > 0xFFFFFFFFu)
        return std::nullopt;
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

void checkInteger(const std::string &text)
{
    std::int32_t value = 12345;
    const bool valid = tryTextToInt(text, value);
    const std::optional<std::int32_t> expected = modelInteger(text);
    FUZZ_CHECK(valid == expected.has_value());
    if (valid) {
        FUZZ_CHECK(value == *expected);
        std::int32_t again = 0;
        FUZZ_CHECK(tryTextToInt(std::to_string(value), again) && again == value);
    } else {
        FUZZ_CHECK(value == 12345);
    }

    try {
        const std::int32_t read = StrToInt(text);
        FUZZ_CHECK(valid && read == value);
    } catch (const EConvertError &error) {
        FUZZ_CHECK(!valid);
        FUZZ_CHECK(error.message() == "'" + text + "' is not a valid integer value");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);

    checkRoundTrip(text, TextToBaudRate, BaudRateToText, br256000 + 1);
    checkRoundTrip(text, TextToStopBits, StopBitsToText, sbTwoStopBits + 1);
    checkRoundTrip(text, TextToDataBits, DataBitsToText, dbEight + 1);
    checkRoundTrip(text, TextToParity, ParityToText, prSpace + 1);
    checkRoundTrip(text, TextToFlowControl, FlowControlToText, fcCustom + 1);
    checkRoundTrip(text, TextToDTRControl, DTRControlToText, dtrHandshake + 1);
    checkRoundTrip(text, TextToRTSControl, RTSControlToText, rtsToggle + 1);

    const bool flag = TextToBool(text);
    FUZZ_CHECK(TextToBool(BoolToText(flag)) == flag);

    const char character = TextToChar(text);
    FUZZ_CHECK(TextToChar(CharToText(character)) == character);
    if (text.size() > 1 && text[0] == '#') {
        std::int32_t code = 0;
        const bool number = tryTextToInt(std::string_view(text).substr(1), code);
        FUZZ_CHECK(character == (number ? static_cast<char>(code & 0xFF) : '\0'));
    }

    checkInteger(text);
    return 0;
}
