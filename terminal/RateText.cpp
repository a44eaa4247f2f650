#include "terminal/RateText.h"

#include "framework/core/IntegerText.h"

std::int32_t rateFromText(const std::string &text)
{
    return StrToInt(text);
}
