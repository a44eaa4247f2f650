#include "serial/ComPortSettings.h"

#include "serial/ComPort.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

// The DCB's flag word as the device sees it (fBinary is bit 0).
DWORD flagsOf(const DCB &dcb)
{
    DWORD flags = 0;
    std::memcpy(&flags, reinterpret_cast<const char *>(&dcb) + offsetof(DCB, BaudRate) + 4, 4);
    return flags;
}

} // namespace

TEST(CommState, FormPortGivesTheWorkedExampleBlock)
{
    TComPort port;
    const DCB dcb = buildCommState(port);
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(flagsOf(dcb), 0x0001u);
    EXPECT_EQ(dcb.XonLim, 256);
    EXPECT_EQ(dcb.XoffLim, 256);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, 0);
    EXPECT_EQ(dcb.StopBits, 0);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    EXPECT_EQ(dcb.ErrorChar | dcb.EofChar | dcb.EvtChar | dcb.wReserved | dcb.wReserved1, 0);

    port.setCustomBaudRate(19200);
    EXPECT_EQ(buildCommState(port).BaudRate, 9600u) << "a fixed speed ignores CustomBaudRate";
    port.setBaudRate(brCustom);
    DCB custom = buildCommState(port);
    EXPECT_EQ(custom.BaudRate, 19200u);
    custom.BaudRate = dcb.BaudRate;
    EXPECT_EQ(std::memcmp(&custom, &dcb, sizeof dcb), 0) << "only the speed may differ";
}

TEST(CommState, EverySettingLandsInItsOwnField)
{
    TComPort port;
    port.setBaudRate(br256000);
    port.setDataBits(dbSeven);
    port.setStopBits(sbTwoStopBits);
    port.setDiscardNull(true);
    port.setEventChar('\n');
    port.Parity().setBits(prMark);
    port.Parity().setCheck(true);
    port.Parity().setReplace(true);
    port.Parity().setReplaceChar('?');
    TComFlowControl &flow = port.FlowControl();
    flow.setOutCTSFlow(true);
    flow.setOutDSRFlow(true);
    flow.setControlDTR(dtrHandshake);
    flow.setDSRSensitivity(true);
    flow.setTxContinueOnXoff(true);
    flow.setXonXoffOut(true);
    flow.setXonXoffIn(true);
    flow.setControlRTS(rtsToggle);
    flow.setXonChar('A');
    flow.setXoffChar('B');
    port.Buffer().setInputSize(4096);

    DCB dcb = buildCommState(port);
    EXPECT_EQ(dcb.BaudRate, 256000u);
    // Every flag but fAbortOnError (0x4000); DTR handshake is 0x20 of the DTR field 0x30.
    EXPECT_EQ(flagsOf(dcb), 0x3FFFu & ~0x0010u);
    EXPECT_EQ(dcb.XonLim, 1024);
    EXPECT_EQ(dcb.XoffLim, 1024);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, 3);
    EXPECT_EQ(dcb.StopBits, 2);
    EXPECT_EQ(dcb.XonChar, 'A');
    EXPECT_EQ(dcb.XoffChar, 'B');
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.EvtChar, '\n');

    // Replacement needs the parity check; the queue limit keeps the low 16 bits.
    port.Parity().setCheck(false);
    port.Buffer().setInputSize(524292); // / 4 = 0x20001
    dcb = buildCommState(port);
    EXPECT_EQ(flagsOf(dcb) & 0x0406u, 0x0004u);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.XonLim, 1);
}

TEST(CommTimeouts, CopiesFieldForFieldWithMinusOneAsMaxdword)
{
    TComTimeouts timeouts;
    COMMTIMEOUTS block = buildCommTimeouts(timeouts);
    EXPECT_EQ(block.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(block.ReadTotalTimeoutMultiplier | block.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(block.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(block.WriteTotalTimeoutConstant, 1000u);

    timeouts.setReadInterval(5);
    timeouts.setReadTotalMultiplier(-1);
    timeouts.setReadTotalConstant(7);
    timeouts.setWriteTotalMultiplier(8);
    timeouts.setWriteTotalConstant(-2);
    block = buildCommTimeouts(timeouts);
    EXPECT_EQ(block.ReadIntervalTimeout, 5u);
    EXPECT_EQ(block.ReadTotalTimeoutMultiplier, MAXDWORD);
    EXPECT_EQ(block.ReadTotalTimeoutConstant, 7u);
    EXPECT_EQ(block.WriteTotalTimeoutMultiplier, 8u);
    EXPECT_EQ(block.WriteTotalTimeoutConstant, MAXDWORD - 1);
}
