// printf-style formatting into an 8-bit string, for the program's fixed message texts
// ("Cannot assign a %s to a %s", " (win error code: %d)", "COM%d").
#pragma once

#include <string>

std::string formatText(const char *format, ...) __attribute__((format(printf, 1, 2)));
