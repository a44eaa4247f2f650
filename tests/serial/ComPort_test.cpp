#include "serial/ComPort.h"
#include "tests/support/CountingPort.h"

#include <gtest/gtest.h>

TEST(ComPort, OwnsFourSettingsObjectsBoundToItself)
{
    CountingPort port;
    EXPECT_EQ(port.Parity().OwnerPort(), &port);
    EXPECT_EQ(port.FlowControl().OwnerPort(), &port);
    EXPECT_EQ(port.Timeouts().OwnerPort(), &port);
    EXPECT_EQ(port.Buffer().OwnerPort(), &port);
}

TEST(ComPort, WholeObjectSetterCopiesIntoTheOwnedObjectAndAppliesOnce)
{
    CountingPort port;
    const TComTimeouts *owned = &port.Timeouts();
    TComTimeouts given;
    given.setWriteTotalConstant(500);

    port.setTimeouts(given);
    EXPECT_EQ(&port.Timeouts(), owned);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 500);
    EXPECT_EQ(port.Timeouts().OwnerPort(), &port);
    EXPECT_EQ(port.commTimeouts, 1);
    port.setTimeouts(given); // applied again although nothing changed
    EXPECT_EQ(port.commTimeouts, 2);
    EXPECT_EQ(port.commState + port.queueSizes, 0);
}

TEST(ComPort, EachWholeObjectSetterAppliesItsOwnGroup)
{
    CountingPort port;
    TComParity parity;
    parity.setBits(prOdd);
    port.setParity(parity);
    TComFlowControl flow;
    flow.setFlowControl(fcHardware);
    port.setFlowControl(flow);
    EXPECT_EQ(port.Parity().Bits(), prOdd);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcHardware);
    EXPECT_EQ(port.commState, 2);

    TComBuffer buffer;
    buffer.setOutputSize(4096);
    port.setBuffer(buffer);
    EXPECT_EQ(port.Buffer().OutputSize(), 4096);
    EXPECT_EQ(port.queueSizes, 1);
    EXPECT_EQ(port.commTimeouts, 0);
}

TEST(ComPort, OwnerFreesThePortWithItsSettings)
{
    auto *form = new Component;
    auto *port = new TComPort(form);
    EXPECT_EQ(port->owner(), form);
    delete form; // the sanitizer build's leak check proves everything went
}
