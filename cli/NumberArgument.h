// A command-line argument read as a number: true only when all of it is one.
#pragma once

#include <charconv>
#include <string>

namespace cli {

template<typename Number> bool parseNumber(const std::string &text, Number &value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace cli
