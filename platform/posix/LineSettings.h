// A device's line settings in a form both halves of the termios code can share: the flag
// words use the values of <termios.h>, the control characters the kernel's termios2 layout
// (the same indices on every architecture built here), and the speed is a plain number of
// bits per second. No system header is needed to use it.
#pragma once

#include <cstdint>

struct LineSettings
{
    static constexpr int kControlChars = 19;

    std::uint32_t iflag = 0;
    std::uint32_t oflag = 0;
    std::uint32_t cflag = 0; // without the speed bits
    std::uint32_t lflag = 0;
    std::uint8_t line = 0;
    std::uint8_t cc[kControlChars] = {};
    std::uint32_t speed = 0;
};

// Device access through TCGETS2/TCSETS2 (any speed). Return 0 or an errno value.
int readLineSettings(int fd, LineSettings &settings);
int applyLineSettings(int fd, const LineSettings &settings);
