#include "framework/core/Exception.h"
#include "serial/ComPort.h"
#include "tests/support/CountingPort.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string assignFailure(TPersistent &dest, const TPersistent &source)
{
    try {
        dest.Assign(source);
    } catch (const Exception &error) {
        return error.message();
    }
    return "no exception";
}

} // namespace

TEST(SettingsObjects, StartAtTheirCreationValuesWithoutOwner)
{
    const TComTimeouts timeouts;
    EXPECT_EQ(timeouts.OwnerPort(), nullptr);
    EXPECT_EQ(timeouts.ReadInterval(), -1);
    EXPECT_EQ(timeouts.ReadTotalMultiplier() + timeouts.ReadTotalConstant(), 0);
    EXPECT_EQ(timeouts.WriteTotalMultiplier(), 100);
    EXPECT_EQ(timeouts.WriteTotalConstant(), 1000);

    const TComFlowControl flow;
    EXPECT_FALSE(flow.OutDSRFlow() || flow.DSRSensitivity() || flow.TxContinueOnXoff());
    EXPECT_EQ(flow.ControlDTR(), dtrDisable);
    EXPECT_EQ(flow.XonChar(), '\x11');
    EXPECT_EQ(flow.XoffChar(), '\x13');
    EXPECT_EQ(flow.FlowControl(), fcNone);

    const TComParity parity;
    EXPECT_EQ(parity.Bits(), prNone);
    EXPECT_FALSE(parity.Check() || parity.Replace());
    EXPECT_EQ(parity.ReplaceChar(), '\0');

    const TComBuffer buffer;
    EXPECT_EQ(buffer.InputSize(), 1024);
    EXPECT_EQ(buffer.OutputSize(), 1024);
}

TEST(SettingsObjects, OnlyARealChangeNotifiesTheOwnersGroup)
{
    CountingPort port;
    port.Timeouts().setReadInterval(-1);
    port.Parity().setReplaceChar('\0');
    port.FlowControl().setXonChar('\x11');
    port.Buffer().setOutputSize(1024);
    EXPECT_EQ(port.commState + port.commTimeouts + port.queueSizes, 0);

    port.Timeouts().setReadInterval(0);
    EXPECT_EQ(port.commTimeouts, 1);
    port.Parity().setCheck(true);
    port.FlowControl().setXonChar('Q');
    EXPECT_EQ(port.commState, 2);
    port.Buffer().setOutputSize(2048);
    EXPECT_EQ(port.queueSizes, 1);
    EXPECT_EQ(port.commTimeouts, 1);
}

TEST(ComBuffer, PositiveOddSizesAreRoundedDownAndStillReapplied)
{
    CountingPort port;
    TComBuffer &buffer = port.Buffer();
    buffer.setInputSize(1025);
    EXPECT_EQ(buffer.InputSize(), 1024);
    EXPECT_EQ(port.queueSizes, 1); // the write counts even though 1024 was there already
    buffer.setInputSize(1);
    EXPECT_EQ(buffer.InputSize(), 0);
    buffer.setOutputSize(-3);
    EXPECT_EQ(buffer.OutputSize(), -3);
    buffer.setOutputSize(2147483647);
    EXPECT_EQ(buffer.OutputSize(), 2147483646);
}

TEST(ComFlowControl, PresetReadsOnlyTheFourPresetFlags)
{
    TComFlowControl flow;
    flow.setControlRTS(rtsEnable);
    EXPECT_EQ(flow.FlowControl(), fcCustom);
    flow.setControlRTS(rtsHandshake);
    flow.setOutCTSFlow(true);
    flow.setOutDSRFlow(true);
    flow.setDSRSensitivity(true);
    EXPECT_EQ(flow.FlowControl(), fcHardware);
    flow.setXonXoffIn(true);
    EXPECT_EQ(flow.FlowControl(), fcCustom);

    TComFlowControl soft;
    soft.setXonXoffIn(true);
    EXPECT_EQ(soft.FlowControl(), fcCustom); // one direction only is no preset
    soft.setXonXoffOut(true);
    soft.setXoffChar('S');
    EXPECT_EQ(soft.FlowControl(), fcSoftware);
}

TEST(ComFlowControl, WritingAPresetSetsItsFlagsKeepsTheOthersAndAppliesOnce)
{
    CountingPort port;
    TComFlowControl &flow = port.FlowControl();
    flow.setControlRTS(rtsToggle);
    flow.setControlDTR(dtrHandshake);
    flow.setOutDSRFlow(true);
    const int before = port.commState;

    flow.setFlowControl(fcNone);
    EXPECT_EQ(flow.ControlRTS(), rtsDisable);
    EXPECT_EQ(flow.ControlDTR(), dtrHandshake);
    EXPECT_TRUE(flow.OutDSRFlow());
    EXPECT_EQ(port.commState, before + 1);

    flow.setFlowControl(fcSoftware);
    EXPECT_TRUE(flow.XonXoffIn() && flow.XonXoffOut());
    flow.setFlowControl(fcHardware);
    EXPECT_FALSE(flow.XonXoffIn() || flow.XonXoffOut());
    EXPECT_EQ(flow.FlowControl(), fcHardware);
    flow.setFlowControl(fcHardware);
    flow.setFlowControl(fcCustom);
    EXPECT_EQ(flow.FlowControl(), fcHardware);
    EXPECT_EQ(port.commState, before + 5);
}

TEST(SettingsObjects, AssignCopiesEveryValueButNotTheOwner)
{
    CountingPort port;
    TComFlowControl flow;
    flow.setOutDSRFlow(true);
    flow.setControlDTR(dtrEnable);
    flow.setControlRTS(rtsToggle);
    flow.setXonXoffOut(true);
    flow.setDSRSensitivity(true);
    flow.setTxContinueOnXoff(true);
    flow.setXonChar('+');
    flow.setXoffChar('-');
    port.FlowControl().Assign(flow);
    const TComFlowControl &copy = port.FlowControl();
    EXPECT_EQ(copy.OwnerPort(), &port);
    EXPECT_TRUE(copy.OutDSRFlow() && copy.XonXoffOut() && copy.DSRSensitivity() &&
                copy.TxContinueOnXoff());
    EXPECT_EQ(copy.ControlDTR(), dtrEnable);
    EXPECT_EQ(copy.ControlRTS(), rtsToggle);
    EXPECT_EQ(copy.XonChar(), '+');
    EXPECT_EQ(copy.XoffChar(), '-');

    TComParity parity;
    parity.setBits(prMark);
    parity.setReplace(true);
    parity.setReplaceChar('\xff');
    port.Parity().Assign(parity);
    EXPECT_EQ(port.Parity().Bits(), prMark);
    EXPECT_TRUE(port.Parity().Replace());
    EXPECT_EQ(port.Parity().ReplaceChar(), '\xff');

    TComTimeouts timeouts;
    timeouts.setReadTotalMultiplier(2);
    timeouts.setReadTotalConstant(3);
    timeouts.setWriteTotalMultiplier(4);
    port.Timeouts().Assign(timeouts);
    EXPECT_EQ(port.Timeouts().ReadTotalMultiplier(), 2);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 3);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 4);

    // Assign itself notifies nobody; the port's whole-object setters do that.
    EXPECT_EQ(port.commState + port.commTimeouts + port.queueSizes, 0);
}

TEST(SettingsObjects, AssignBetweenDifferentClassesFailsAndChangesNothing)
{
    TComParity parity;
    TComBuffer buffer;
    buffer.setInputSize(64);
    EXPECT_EQ(assignFailure(buffer, parity), "Cannot assign a TComParity to a TComBuffer");
    EXPECT_EQ(buffer.InputSize(), 64);
    TComTimeouts timeouts;
    TComFlowControl flow;
    EXPECT_EQ(assignFailure(timeouts, flow), "Cannot assign a TComFlowControl to a TComTimeouts");
    EXPECT_EQ(assignFailure(flow, buffer), "Cannot assign a TComBuffer to a TComFlowControl");
    try {
        flow.Assign(static_cast<const TPersistent *>(nullptr));
        FAIL() << "no exception";
    } catch (const Exception &error) {
        EXPECT_EQ(error.message(), "Cannot assign a nil to a TComFlowControl");
    }
}
