// printf-style formatting into an 8-bit string, for the program's fixed message texts
// ("Cannot assign a %s to a %s", " (win error code: %d)", "COM%d").
#pragma once

#include <string>

#ifdef _WIN32
// The C99 printf of mingw-w64 (__USE_MINGW_ANSI_STDIO), not the system's older one.
#define ZEPHRA_PRINTF_FORMAT gnu_printf
#else
#define ZEPHRA_PRINTF_FORMAT printf
#endif

std::string formatText(const char *format, ...) __attribute__((format(ZEPHRA_PRINTF_FORMAT, 1, 2)));
