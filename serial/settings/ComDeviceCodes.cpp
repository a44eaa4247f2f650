#include "serial/settings/ComDeviceCodes.h"

#include <cstddef>
#include <iterator>

namespace {

constexpr DWORD baudRateSpeeds[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                    14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

constexpr BYTE stopBitsCodes[] = {0, 1, 2};
constexpr BYTE dataBitsCounts[] = {5, 6, 7, 8};
constexpr BYTE parityCodes[] = {0, 1, 2, 3, 4};
constexpr DWORD dtrControls[] = {0x0000, 0x0010, 0x0020};
constexpr DWORD rtsControls[] = {0x0000, 0x1000, 0x2000, 0x3000};

// EV_RXCHAR, EV_TXEMPTY, EV_RXFLAG, EV_RING, EV_BREAK, EV_CTS, EV_DSR, EV_ERR, EV_RLSD,
// EV_RX80FULL, in the order of TComEvent.
constexpr DWORD eventMasks[] = {0x0001, 0x0004, 0x0002, 0x0100, 0x0040,
                                0x0008, 0x0010, 0x0080, 0x0020, 0x0400};

template<typename Code, std::size_t N, typename Enum>
Code lookup(const Code (&table)[N], Enum value)
{
    const std::size_t ordinal = static_cast<std::size_t>(value);
    return ordinal < N ? table[ordinal] : Code{0};
}

} // namespace

DWORD baudRateSpeed(TBaudRate value)
{
    return lookup(baudRateSpeeds, value);
}

BYTE stopBitsCode(TStopBits value)
{
    return lookup(stopBitsCodes, value);
}

BYTE dataBitsCount(TDataBits value)
{
    return lookup(dataBitsCounts, value);
}

BYTE parityCode(TParityBits value)
{
    return lookup(parityCodes, value);
}

DWORD dtrControlBits(TDTRFlowControl value)
{
    return lookup(dtrControls, value);
}

DWORD rtsControlBits(TRTSFlowControl value)
{
    return lookup(rtsControls, value);
}

DWORD comEventMask(TComEvent event)
{
    return lookup(eventMasks, event);
}

DWORD eventsToMask(TComEvents events)
{
    DWORD mask = 0;
    for (std::size_t ordinal = 0; ordinal < std::size(eventMasks); ++ordinal) {
        if (events.contains(static_cast<TComEvent>(ordinal)))
            mask |= eventMasks[ordinal];
    }
    return mask;
}

TComEvents maskToEvents(DWORD mask)
{
    TComEvents events;
    for (std::size_t ordinal = 0; ordinal < std::size(eventMasks); ++ordinal) {
        if ((mask & eventMasks[ordinal]) != 0)
            events.insert(static_cast<TComEvent>(ordinal));
    }
    return events;
}
