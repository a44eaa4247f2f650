// The DCB as Windows lays it out, and its mapping onto line settings, field by field.
#include "platform/posix/DcbTermios.h"
#include "tests/platform/PortTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <termios.h>

namespace {

DWORD flagWord(const DCB &dcb)
{
    DWORD word = 0;
    std::memcpy(&word, reinterpret_cast<const char *>(&dcb) + 8, sizeof word);
    return word;
}

LineSettings mapped(const DCB &dcb)
{
    LineSettings current;
    current.cflag = CS7 | PARENB | CSTOPB | CRTSCTS;
    current.iflag = ICRNL | IXON | ISTRIP;
    current.oflag = OPOST | ONLCR;
    current.lflag = ICANON | ECHO | ISIG | IEXTEN;
    current.cc[VINTR] = 3;
    current.line = 0;
    return lineSettingsFromDcb(dcb, current);
}

} // namespace

TEST(DcbLayoutTest, FlagBitsAndFieldsSitWhereWindowsPutsThem)
{
    EXPECT_EQ(offsetof(DCB, BaudRate), 4u);
    EXPECT_EQ(offsetof(DCB, XonLim), 14u);
    EXPECT_EQ(offsetof(DCB, ByteSize), 18u);
    EXPECT_EQ(offsetof(DCB, EvtChar), 25u);
    EXPECT_EQ(sizeof(COMMTIMEOUTS), 20u);
    EXPECT_EQ(sizeof(COMSTAT), 12u);

    struct Bit
    {
        void (*set)(DCB &);
        DWORD word;
    };
    const Bit bits[] = {
        {[](DCB &d) { d.fBinary = 1; }, 0x0001},
        {[](DCB &d) { d.fParity = 1; }, 0x0002},
        {[](DCB &d) { d.fOutxCtsFlow = 1; }, 0x0004},
        {[](DCB &d) { d.fOutxDsrFlow = 1; }, 0x0008},
        {[](DCB &d) { d.fDtrControl = DTR_CONTROL_HANDSHAKE; }, 0x0020},
        {[](DCB &d) { d.fDsrSensitivity = 1; }, 0x0040},
        {[](DCB &d) { d.fTXContinueOnXoff = 1; }, 0x0080},
        {[](DCB &d) { d.fOutX = 1; }, 0x0100},
        {[](DCB &d) { d.fInX = 1; }, 0x0200},
        {[](DCB &d) { d.fErrorChar = 1; }, 0x0400},
        {[](DCB &d) { d.fNull = 1; }, 0x0800},
        {[](DCB &d) { d.fRtsControl = RTS_CONTROL_TOGGLE; }, 0x3000},
        {[](DCB &d) { d.fAbortOnError = 1; }, 0x4000},
    };
    for (const Bit &bit : bits) {
        DCB dcb{};
        bit.set(dcb);
        EXPECT_EQ(flagWord(dcb), bit.word);
    }
}

TEST(DcbCheckTest, AcceptsEveryValidFramingAndRefusesTheRest)
{
    for (BYTE size = 5; size <= 8; ++size) {
        for (BYTE parity = NOPARITY; parity <= SPACEPARITY; ++parity) {
            DCB dcb = plainDcb(300);
            dcb.ByteSize = size;
            dcb.Parity = parity;
            dcb.StopBits = size == 5 ? ONE5STOPBITS : TWOSTOPBITS;
            EXPECT_EQ(checkDcb(dcb), ERROR_SUCCESS) << int(size) << " " << int(parity);
        }
    }
    for (DWORD speed : {1u, 12345u, 4000000u, 0x7FFFFFFFu})
        EXPECT_EQ(checkDcb(plainDcb(speed)), ERROR_SUCCESS) << speed;
    // 0, and what a negative signed speed becomes, are no speeds.
    for (DWORD speed : {0u, 0x80000000u, 0xFFFFDA80u, 0xFFFFFFFFu})
        EXPECT_EQ(checkDcb(plainDcb(speed)), ERROR_INVALID_PARAMETER) << speed;
    DCB sameChars = plainDcb();
    sameChars.XoffChar = sameChars.XonChar;
    EXPECT_EQ(checkDcb(sameChars), ERROR_SUCCESS) << "equal characters matter only with XON/XOFF";
    sameChars.fOutX = 1;
    EXPECT_EQ(checkDcb(sameChars), ERROR_INVALID_PARAMETER);
}

TEST(DcbMappingTest, FramingMapsFieldByField)
{
    struct Case
    {
        BYTE size, parity, stop;
        std::uint32_t cflag;
    };
    const Case cases[] = {
        {8, NOPARITY, ONESTOPBIT, CS8},
        {7, ODDPARITY, ONESTOPBIT, CS7 | PARENB | PARODD},
        {6, EVENPARITY, TWOSTOPBITS, CS6 | PARENB | CSTOPB},
        {8, MARKPARITY, ONESTOPBIT, CS8 | PARENB | PARODD | CMSPAR},
        {8, SPACEPARITY, TWOSTOPBITS, CS8 | PARENB | CMSPAR | CSTOPB},
        {5, NOPARITY, ONE5STOPBITS, CS5 | CSTOPB},
    };
    constexpr std::uint32_t framing = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    for (const Case &c : cases) {
        DCB dcb = plainDcb(250000);
        dcb.ByteSize = c.size;
        dcb.Parity = c.parity;
        dcb.StopBits = c.stop;
        const LineSettings s = mapped(dcb);
        EXPECT_EQ(s.cflag & framing, c.cflag) << int(c.size) << int(c.parity) << int(c.stop);
        EXPECT_EQ(s.cflag & (CREAD | CLOCAL | HUPCL), std::uint32_t(CREAD | CLOCAL | HUPCL));
        EXPECT_EQ(s.speed, 250000u);
    }
}

TEST(DcbMappingTest, RawModeFlowControlAndCharacters)
{
    DCB dcb = plainDcb();
    LineSettings s = mapped(dcb);
    // PARMRK even without parity checking: in the line discipline's raw fast path an overrun
    // reaches the data as a NUL byte.
    EXPECT_EQ(s.iflag, std::uint32_t(IGNBRK | PARMRK))
        << "no translation, no stripping, no flow control";
    // A device without line errors (a pseudo-terminal) keeps the fast path; with parity
    // checking it is marked as any other.
    EXPECT_EQ(lineSettingsFromDcb(dcb, s, false).iflag, std::uint32_t(IGNBRK));
    dcb.fParity = 1;
    EXPECT_EQ(lineSettingsFromDcb(dcb, s, false).iflag, std::uint32_t(INPCK | PARMRK));
    dcb.fParity = 0;
    EXPECT_EQ(s.oflag, 0u);
    EXPECT_EQ(s.lflag, 0u);
    EXPECT_EQ(s.cc[VMIN], 1);
    EXPECT_EQ(s.cc[VTIME], 0);
    EXPECT_EQ(s.cc[VINTR], 3) << "characters the DCB does not decide are kept";
    EXPECT_EQ(s.cflag & CRTSCTS, 0u);

    dcb.fOutX = 1;
    dcb.XonChar = 'q';
    dcb.XoffChar = 's';
    s = mapped(dcb);
    EXPECT_EQ(s.iflag & (IXON | IXOFF), std::uint32_t(IXON));
    EXPECT_EQ(s.cc[VSTART], 'q');
    EXPECT_EQ(s.cc[VSTOP], 's');
    dcb.fOutX = 0;
    dcb.fInX = 1;
    EXPECT_EQ(mapped(dcb).iflag & (IXON | IXOFF), std::uint32_t(IXOFF));

    DCB cts = plainDcb();
    cts.fOutxCtsFlow = 1;
    EXPECT_TRUE(mapped(cts).cflag & CRTSCTS);
    DCB rts = plainDcb();
    rts.fRtsControl = RTS_CONTROL_HANDSHAKE;
    EXPECT_TRUE(mapped(rts).cflag & CRTSCTS);
    rts.fRtsControl = RTS_CONTROL_TOGGLE;
    EXPECT_FALSE(mapped(rts).cflag & CRTSCTS);

    // Parity checking marks damaged bytes so that they can be found and replaced.
    DCB check = plainDcb();
    check.fParity = 1;
    s = mapped(check);
    EXPECT_EQ(s.iflag & (INPCK | PARMRK | IGNPAR | IGNBRK), std::uint32_t(INPCK | PARMRK));
    EXPECT_TRUE(marksErrors(s));
    EXPECT_TRUE(marksErrors(mapped(plainDcb()))) << "the receive path always reads marks";
}

TEST(DcbMappingTest, OpenedDeviceStartsFromItsPresentFraming)
{
    LineSettings present;
    present.cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS;
    present.speed = 19200;
    DCB dcb = dcbFromLineSettings(present);
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, ODDPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(checkDcb(dcb), ERROR_SUCCESS);

    present.cflag = CS5 | CSTOPB;
    present.speed = 0;
    dcb = dcbFromLineSettings(present);
    EXPECT_EQ(dcb.StopBits, ONE5STOPBITS);
    EXPECT_EQ(dcb.BaudRate, 9600u) << "a hung-up speed of 0 is no valid DCB speed";
    EXPECT_EQ(checkDcb(dcb), ERROR_SUCCESS);
}

TEST(DcbMappingTest, AUartRateIsItsClockOverTheNearestDivisorAndMustBeWithinTwoPercent)
{
    struct Row
    {
        std::uint32_t speed, runs;
        bool accepted;
    };
    // A PC UART's 1.8432 MHz crystal over 16: 115200 and its whole fractions.
    for (const Row &row :
         {Row{9600, 9600, true}, Row{38400, 38400, true}, Row{115200, 115200, true},
          Row{31250, 28800, false}, Row{12345, 12800, false}, Row{250000, 115200, false},
          Row{56000, 57600, false}, Row{57000, 57600, true}}) {
        EXPECT_EQ(uartRate(row.speed, 115200), row.runs) << row.speed;
        EXPECT_EQ(speedCloseEnough(row.speed, row.runs), row.accepted) << row.speed;
    }
    EXPECT_TRUE(speedCloseEnough(10000, 10200));
    EXPECT_FALSE(speedCloseEnough(10000, 10201));
    EXPECT_FALSE(speedCloseEnough(4000000, 9600)) << "a driver's fallback speed";
}
