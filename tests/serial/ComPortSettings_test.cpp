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
    std::memcpy(&flags, reinterpret_cast<const char *>(&dcb) + offsetof(DCB, BaudRate) + 4,
                sizeof flags);
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
    EXPECT_EQ(dcb.wReserved, 0);
    EXPECT_EQ(dcb.XonLim, 256);
    EXPECT_EQ(dcb.XoffLim, 256);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, 0);
    EXPECT_EQ(dcb.StopBits, 0);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
    EXPECT_EQ(dcb.wReserved1, 0);

    port.setBaudRate(brCustom);
    port.setCustomBaudRate(19200);
    DCB custom = buildCommState(port);
    EXPECT_EQ(custom.BaudRate, 19200u);
    custom.BaudRate = dcb.BaudRate;
    EXPECT_EQ(std::memcmp(&custom, &dcb, sizeof dcb), 0) << "only the speed may differ";
}

TEST(CommState, FixedSpeedIgnoresCustomBaudRate)
{
    TComPort port;
    port.setCustomBaudRate(300);
    port.setBaudRate(br115200);
    EXPECT_EQ(buildCommState(port).BaudRate, 115200u);
    port.setBaudRate(br256000);
    EXPECT_EQ(buildCommState(port).BaudRate, 256000u);
}

TEST(CommState, EverySettingLandsInItsOwnField)
{
    TComPort port;
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

    const DCB dcb = buildCommState(port);
    // Everything but fAbortOnError (0x4000), which is never set.
    EXPECT_EQ(flagsOf(dcb), 0x3FFFu - 0x0010u);
    EXPECT_EQ(dcb.fDtrControl, 2u);
    EXPECT_EQ(dcb.fRtsControl, 3u);
    EXPECT_EQ(dcb.XonLim, 1024);
    EXPECT_EQ(dcb.XoffLim, 1024);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, 3);
    EXPECT_EQ(dcb.StopBits, 2);
    EXPECT_EQ(dcb.XonChar, 'A');
    EXPECT_EQ(dcb.XoffChar, 'B');
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.EvtChar, '\n');
}

TEST(CommState, ReplacementNeedsParityCheck)
{
    TComPort port;
    port.Parity().setReplace(true);
    port.Parity().setReplaceChar('?');
    DCB dcb = buildCommState(port);
    EXPECT_EQ(dcb.fErrorChar, 0u);
    EXPECT_EQ(dcb.fParity, 0u);
    EXPECT_EQ(dcb.ErrorChar, 0);

    port.Parity().setCheck(true);
    dcb = buildCommState(port);
    EXPECT_EQ(dcb.fErrorChar, 1u);
    EXPECT_EQ(dcb.ErrorChar, '?');
}

TEST(CommState, HandshakeModesUseTheirTwoBitFields)
{
    TComPort port;
    port.FlowControl().setControlDTR(dtrEnable);
    port.FlowControl().setControlRTS(rtsEnable);
    EXPECT_EQ(flagsOf(buildCommState(port)), 0x0001u | 0x0010u | 0x1000u);
    port.FlowControl().setFlowControl(fcHardware);
    EXPECT_EQ(flagsOf(buildCommState(port)), 0x0001u | 0x0004u | 0x0010u | 0x2000u);
}

TEST(CommState, QueueLimitKeepsTheLowSixteenBits)
{
    TComPort port;
    port.Buffer().setInputSize(262146 * 2); // /4 = 131073 = 0x20001
    EXPECT_EQ(buildCommState(port).XonLim, 1);
    port.Buffer().setInputSize(6);
    EXPECT_EQ(buildCommState(port).XoffLim, 1);
}

TEST(CommTimeouts, CopiesFieldForFieldWithMinusOneAsMaxdword)
{
    TComTimeouts timeouts;
    COMMTIMEOUTS block = buildCommTimeouts(timeouts);
    EXPECT_EQ(block.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(block.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(block.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(block.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(block.WriteTotalTimeoutConstant, 1000u);

    timeouts.setReadInterval(5);
    timeouts.setReadTotalMultiplier(-1);
    timeouts.setReadTotalConstant(7);
    timeouts.setWriteTotalMultiplier(8);
    timeouts.setWriteTotalConstant(-1);
    block = buildCommTimeouts(timeouts);
    EXPECT_EQ(block.ReadIntervalTimeout, 5u);
    EXPECT_EQ(block.ReadTotalTimeoutMultiplier, MAXDWORD);
    EXPECT_EQ(block.ReadTotalTimeoutConstant, 7u);
    EXPECT_EQ(block.WriteTotalTimeoutMultiplier, 8u);
    EXPECT_EQ(block.WriteTotalTimeoutConstant, MAXDWORD);
}
