// What a serial receiver makes of bytes sent at another rate than its own: the sender's bits
// (start bit, eight data bits from the lowest, stop bit, bytes back to back) are sampled as a
// UART does at the receiver's rate: it waits for the line to fall, checks the start bit half a
// bit later, samples eight data bits and the stop bit at their middles, and delivers the byte
// even when the stop bit is missing. Pure; any thread.
#pragma once

#include <string>
#include <string_view>

// The bytes the receiver gets. At equal rates the bytes themselves; a rate of 0 or less on
// either side (a speed nobody can set) gives nothing recognisable: no bytes at all.
std::string garbleLine(std::string_view bytes, int senderBitsPerSecond, int receiverBitsPerSecond);
