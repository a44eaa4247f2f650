#include "platform/ComNames.h"

#include <cctype>

int comPortNumber(std::string_view name)
{
    constexpr std::string_view devicePrefix = "\\\\.\\";
    if (name.substr(0, devicePrefix.size()) == devicePrefix)
        name.remove_prefix(devicePrefix.size());
    if (name.size() < 4 || name.size() > 6)
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return 0;
    }
    const std::string_view digits = name.substr(3);
    if (digits.front() == '0')
        return 0;
    int number = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return 0;
        number = number * 10 + (c - '0');
    }
    return number <= MaxComNumber ? number : 0;
}
