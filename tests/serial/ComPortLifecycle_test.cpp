#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include "SerialTestSupport.h"

#include <memory>

namespace {

using Entries = std::vector<std::string>;

class LifecycleTest : public ::testing::Test
{
protected:
    ReportSink sink;
    FakeLineInstaller line;
    PublishedPty device;
    NotificationLog log; // outlives the port, whose destructor still notifies
    TComPort port;

    void SetUp() override
    {
        port.setPort(device.name);
        log.attach(port);
    }
};

EComPort raisedBy(const std::function<void()> &action)
{
    try {
        action();
    } catch (const EComPort &e) {
        return e;
    }
    ADD_FAILURE() << "no EComPort raised";
    return EComPort::CreateWithoutSystemCode(EComPort::WaitFailed);
}

} // namespace

TEST_F(LifecycleTest, OpenAndCloseNotifyInOrder)
{
    line.state->modem = MS_CTS_ON | MS_RLSD_ON;
    port.Open();
    EXPECT_TRUE(port.Connected());
    EXPECT_NE(port.Handle(), INVALID_HANDLE_VALUE);
    // After opening the lines are read from the device.
    EXPECT_EQ(log.take(),
              (Entries{"BeforeOpen (closed)", "AfterOpen", "CTS:1", "DSR:0", "RLSD:1"}));

    port.Open();
    EXPECT_TRUE(log.take().empty()) << "Open on an open port does nothing";

    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Handle(), INVALID_HANDLE_VALUE);
    // Before closing every line is reported off, whatever its state.
    EXPECT_EQ(log.take(),
              (Entries{"CTS:0", "DSR:0", "RLSD:0", "BeforeClose", "AfterClose (closed)"}));

    port.Close();
    EXPECT_TRUE(log.take().empty()) << "Close on a closed port does nothing";

    port.setConnected(true);
    EXPECT_TRUE(port.Connected());
    port.setConnected(false);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(log.take().size(), 10u);
}

TEST_F(LifecycleTest, MissingDeviceFailsWithCodeOneAndStaysClosed)
{
    port.setPort("COM9");
    const EComPort error = raisedBy([&] { port.Open(); });
    EXPECT_EQ(error.message(), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(error.ErrorCode(), 1);
    EXPECT_EQ(error.SystemErrorCode(), 2);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(log.take(), (Entries{"BeforeOpen (closed)"}));
}

TEST_F(LifecycleTest, DeviceHeldByAnotherOpenerFailsWithAccessDenied)
{
    TComPort other;
    other.setPort(device.name);
    other.Open();
    const EComPort error = raisedBy([&] { port.Open(); });
    EXPECT_EQ(error.ErrorCode(), 1);
    EXPECT_EQ(error.SystemErrorCode(), 5);
    EXPECT_FALSE(port.Connected());
}

TEST_F(LifecycleTest, RejectedSettingsCloseTheDeviceAgain)
{
    // One and a half stop bits exist only with five data bits.
    port.setStopBits(sbOne5StopBits);
    const EComPort error = raisedBy([&] { port.Open(); });
    EXPECT_EQ(error.message(), "SetCommState function failed (win error code: 87)");
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Handle(), INVALID_HANDLE_VALUE);

    // The device was really released: the port (or anyone) can open it now.
    port.setDataBits(dbFive);
    port.Open();
    EXPECT_TRUE(port.Connected());
}

TEST_F(LifecycleTest, SyncMethodCannotChangeWhileOpen)
{
    port.setSyncMethod(smNone);
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.Open();
    const EComPort error = raisedBy([&] { port.setSyncMethod(smWindowSync); });
    EXPECT_EQ(error.message(), "Cannot set property while connected");
    EXPECT_EQ(error.ErrorCode(), 14);
    EXPECT_EQ(error.SystemErrorCode(), -1);
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.setSyncMethod(smNone); // the same value is no change
    port.Close();
    port.setSyncMethod(smThreadSync);
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
}

TEST_F(LifecycleTest, LineSpeedReachesTheDeviceAtOpenAndAtOnceWhileOpen)
{
    port.setBaudRate(br115200); // closed: only stored
    port.Open();
    EXPECT_EQ(device.slaveSpeed(), static_cast<speed_t>(B115200));

    // Moved behind the port's back, so that any re-apply would show.
    termios settings{};
    tcgetattr(device.pty.slave(), &settings);
    cfsetspeed(&settings, B4800);
    tcsetattr(device.pty.slave(), TCSANOW, &settings);
    port.setBaudRate(br115200);
    EXPECT_EQ(device.slaveSpeed(), static_cast<speed_t>(B4800)) << "same value touched the device";
    port.setCustomBaudRate(38400); // not brCustom: the unchanged block is sent again
    EXPECT_EQ(device.slaveSpeed(), static_cast<speed_t>(B115200));

    port.setBaudRate(brCustom);
    EXPECT_EQ(device.slaveSpeed(), static_cast<speed_t>(B38400));
    port.setBaudRate(br9600);
    EXPECT_EQ(device.slaveSpeed(), static_cast<speed_t>(B9600));
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(log.take().size(), 5u) << "the port was not reopened";
}

TEST_F(LifecycleTest, TimeoutsAndQueueSizesReachTheOpenDevice)
{
    port.Open();
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(port.Handle(), &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 1000u);

    port.Timeouts().setReadInterval(0);
    port.Timeouts().setReadTotalConstant(50);
    ASSERT_TRUE(GetCommTimeouts(port.Handle(), &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 50u);

    port.FlowControl().setXonChar('A');
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port.Handle(), &dcb));
    EXPECT_EQ(dcb.XonChar, 'A');

    // A refused change leaves the port open and the value stored.
    port.setDataBits(dbSeven);
    EXPECT_THROW(port.setStopBits(sbOne5StopBits), EComPort);
    EXPECT_EQ(port.StopBits(), sbOne5StopBits);
    EXPECT_TRUE(port.Connected());
}

TEST_F(LifecycleTest, ChangingPortReopensOnTheNewDevice)
{
    PtyPair second;
    const std::string secondName = device.directory.publish(second, 8);
    port.Open();
    log.take();

    port.setPort(device.name); // the same text: nothing
    EXPECT_TRUE(log.take().empty());

    port.setPort(secondName);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(log.take(),
              (Entries{"CTS:0", "DSR:0", "RLSD:0", "BeforeClose", "AfterClose (closed)",
                       "BeforeOpen (closed)", "AfterOpen", "CTS:0", "DSR:0", "RLSD:0"}));
    EXPECT_EQ(port.Write("x", 1), 1);
    EXPECT_EQ(second.readSome(1, 2000ms), "x");

    // Names are compared exactly: another letter case is another name, and reopens.
    port.setPort("com8");
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(log.take().size(), 10u);

    // A reopen that fails leaves the port closed.
    EXPECT_THROW(port.setPort("COM99"), EComPort);
    EXPECT_FALSE(port.Connected());
}

TEST_F(LifecycleTest, EmptyEventsOpensWithoutEventThreadAndStillTransfers)
{
    const int threadsBefore = threadCount();
    int rxCalls = 0;
    port.OnRxChar = [&](Component *, std::int32_t) { ++rxCalls; };
    port.setEvents({});
    port.Open();
    EXPECT_EQ(log.take().size(), 5u) << "after-open signal reports still fire";
    // Only the platform's own I/O thread was added.
    EXPECT_EQ(threadCount(), threadsBefore + 1);

    device.pty.writeAll(std::string("ab\0c", 4));
    EXPECT_TRUE(waitUntil([&] { return port.InputQueueCount() == 4; }));
    pumpFor(100ms);
    EXPECT_EQ(rxCalls, 0);
    std::string text;
    EXPECT_EQ(port.ReadStr(text, 10), 4);
    EXPECT_EQ(text, std::string("ab\0c", 4));
    EXPECT_EQ(port.Write("hello", 5), 5);
    EXPECT_EQ(device.pty.readSome(5, 2000ms), "hello");
}

TEST_F(LifecycleTest, LoadingStoresAndTheEndOfLoadingOpens)
{
    port.beginLoading();
    port.setConnected(true);
    port.setBaudRate(br57600);
    port.Timeouts().setReadInterval(0);
    EXPECT_EQ(port.Handle(), INVALID_HANDLE_VALUE) << "nothing touches the device while loading";
    EXPECT_TRUE(log.take().empty());

    port.endLoading();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(device.slaveSpeed(), static_cast<speed_t>(B57600));
    EXPECT_EQ(log.take().size(), 5u);
}

TEST_F(LifecycleTest, OpenFailureAtTheEndOfLoadingIsReportedNotThrown)
{
    port.beginLoading();
    port.setPort("COM9");
    port.setConnected(true);
    EXPECT_NO_THROW(port.endLoading());
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(sink.messages, (Entries{"Unable to open com port (win error code: 2)"}));
}

TEST_F(LifecycleTest, DestroyingAnOpenPortRunsTheWholeCloseSequence)
{
    NotificationLog ownLog;
    {
        auto owner = std::make_unique<Component>();
        auto *owned = new TComPort(owner.get());
        owned->setPort(device.name);
        ownLog.attach(*owned);
        owned->Open();
        ownLog.take();
    } // the owner frees the port
    EXPECT_EQ(ownLog.take(),
              (Entries{"CTS:0", "DSR:0", "RLSD:0", "BeforeClose", "AfterClose (closed)"}));
    port.Open(); // the device was released
    EXPECT_TRUE(port.Connected());
}

TEST_F(LifecycleTest, DestructorSurvivesAFailingCloseHandler)
{
    {
        TComPort failing;
        failing.setPort(device.name);
        failing.OnBeforeClose = [](Component *) { throw Exception("handler failed"); };
        failing.Open();
    }
    EXPECT_EQ(sink.messages, (Entries{"handler failed."}));
    port.Open(); // device, thread and all were released anyway
    EXPECT_TRUE(port.Connected());
}

TEST(StoredProperties, DefaultsAreLeftOutExceptWhereNoneIsDeclared)
{
    TComPort port;
    std::vector<std::string> stored;
    for (std::string_view name : TComPort::StoredProperties()) {
        if (port.IsStored(name))
            stored.emplace_back(name);
    }
    EXPECT_EQ(stored, (Entries{"BaudRate", "Parity", "StopBits", "DataBits", "Events", "Buffer",
                               "FlowControl", "Timeouts"}));
    port.setPort("COM2");
    port.OnRxChar = [](Component *, std::int32_t) {};
    EXPECT_TRUE(port.IsStored("Port"));
    EXPECT_TRUE(port.IsStored("OnRxChar"));
    EXPECT_FALSE(port.IsStored("CustomBaudRate"));
}
