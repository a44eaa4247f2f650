#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include "SerialTestSupport.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The port's open/close notifications as text, marked when the port was not Connected.
struct NotificationLog
{
    Texts entries;

    void attach(TCustomComPort &port)
    {
        auto note = [this, &port](const std::string &what) {
            entries.push_back(what + (port.Connected() ? "" : " (closed)"));
        };
        port.OnBeforeOpen = [note](Component *) { note("BeforeOpen"); };
        port.OnAfterOpen = [note](Component *) { note("AfterOpen"); };
        port.OnBeforeClose = [note](Component *) { note("BeforeClose"); };
        port.OnAfterClose = [note](Component *) { note("AfterClose"); };
        port.OnCTSChange = [note](Component *, bool on) { note(on ? "CTS:1" : "CTS:0"); };
        port.OnDSRChange = [note](Component *, bool on) { note(on ? "DSR:1" : "DSR:0"); };
        port.OnRLSDChange = [note](Component *, bool on) { note(on ? "RLSD:1" : "RLSD:0"); };
    }
    Texts take() { return std::exchange(entries, {}); }
};

const Texts closeSequence{"CTS:0", "DSR:0", "RLSD:0", "BeforeClose", "AfterClose (closed)"};
const Texts idleOpenSequence{"BeforeOpen (closed)", "AfterOpen", "CTS:0", "DSR:0", "RLSD:0"};

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

    speed_t deviceSpeed() const
    {
        termios settings{};
        tcgetattr(device.pty.slave(), &settings);
        return cfgetospeed(&settings);
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
    EXPECT_NE(port.Handle(), INVALID_HANDLE_VALUE);
    // After opening the lines are read from the device; before closing all read off.
    EXPECT_EQ(log.take(), (Texts{"BeforeOpen (closed)", "AfterOpen", "CTS:1", "DSR:0", "RLSD:1"}));
    port.Open();
    EXPECT_TRUE(log.take().empty()) << "Open on an open port does nothing";

    port.Close();
    EXPECT_EQ(port.Handle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(log.take(), closeSequence);
    port.Close();
    EXPECT_TRUE(log.take().empty()) << "Close on a closed port does nothing";

    port.setConnected(true);
    port.setConnected(false);
    EXPECT_EQ(log.take().size(), 10u);
}

TEST_F(LifecycleTest, FailedOpenLeavesThePortClosedAndTheDeviceFree)
{
    port.setPort("COM9");
    EComPort error = raisedBy([&] { port.Open(); });
    EXPECT_EQ(error.message(), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(error.ErrorCode(), 1);
    EXPECT_EQ(log.take(), (Texts{"BeforeOpen (closed)"}));

    // One and a half stop bits exist only with five data bits: refused, and no rate is blamed.
    port.setPort(device.name);
    port.setStopBits(sbOne5StopBits);
    error = raisedBy([&] { port.Open(); });
    EXPECT_EQ(error.message(), "SetCommState function failed (win error code: 87)");
    EXPECT_EQ(error.advice(), "");
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Handle(), INVALID_HANDLE_VALUE);
    // A typed rate that is no speed at all is refused without advice about the device.
    port.setStopBits(sbOneStopBit);
    port.setBaudRate(brCustom);
    for (const std::int32_t rate : {-9600, 0}) {
        port.setCustomBaudRate(rate);
        error = raisedBy([&] { port.Open(); });
        EXPECT_EQ(error.message(), "SetCommState function failed (win error code: 87)") << rate;
        EXPECT_EQ(error.advice(), "") << rate;
    }
    port.setBaudRate(br9600);
    port.Open(); // the device was released: an exclusive open succeeds
    EXPECT_TRUE(port.Connected());
}

// A user without the right to the device node (root-owned, mode 0600) is told about the
// dialout group. Root opens anything, so a forked child drops to "nobody" first.
TEST_F(LifecycleTest, DeviceWithoutPermissionAdvisesTheDialoutGroup)
{
    const passwd *nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_EQ(fchown(device.pty.slave(), 0, 0), 0);
    ASSERT_EQ(fchmod(device.pty.slave(), 0600), 0);
    ASSERT_EQ(chmod(device.directory.path().c_str(), 0755), 0); // the map stays readable
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    if (child == 0) {
        std::string text = "still privileged";
        if (geteuid() != 0 || (setgroups(0, nullptr) == 0 && setgid(nobody->pw_gid) == 0 &&
                               setuid(nobody->pw_uid) == 0)) {
            const EComPort refused = raisedBy([&] { port.Open(); });
            text = refused.message() + "\n" + refused.advice();
        }
        [[maybe_unused]] const ssize_t written = write(out[1], text.data(), text.size());
        _exit(0);
    }
    close(out[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, std::size_t(n));
    close(out[0]);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(text.substr(0, text.find('\n')), "Unable to open com port (win error code: 5)");
    EXPECT_NE(text.find("dialout group"), std::string::npos) << text;
    EXPECT_NE(text.find(device.pty.slavePath()), std::string::npos) << text;
}

TEST_F(LifecycleTest, SyncMethodCannotChangeWhileOpen)
{
    port.setSyncMethod(smNone);
    port.Open();
    const EComPort error = raisedBy([&] { port.setSyncMethod(smWindowSync); });
    EXPECT_EQ(error.message(), "Cannot set property while connected");
    EXPECT_EQ(error.SystemErrorCode(), -1);
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.setSyncMethod(smNone); // the same value is no change
    port.Close();
    port.setSyncMethod(smThreadSync);
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
}

TEST_F(LifecycleTest, SettingsReachTheDeviceAtOpenAndAtOnceWhileOpen)
{
    port.setBaudRate(br115200); // closed: only stored
    port.Open();
    EXPECT_EQ(deviceSpeed(), static_cast<speed_t>(B115200));

    // Moved behind the port's back, so that any re-apply would show.
    termios settings{};
    tcgetattr(device.pty.slave(), &settings);
    cfsetspeed(&settings, B4800);
    tcsetattr(device.pty.slave(), TCSANOW, &settings);
    port.setBaudRate(br115200);
    EXPECT_EQ(deviceSpeed(), static_cast<speed_t>(B4800)) << "the same value touched the device";
    port.setCustomBaudRate(38400); // not in use: the unchanged block is sent again
    EXPECT_EQ(deviceSpeed(), static_cast<speed_t>(B115200));
    port.setBaudRate(brCustom);
    EXPECT_EQ(deviceSpeed(), static_cast<speed_t>(B38400));

    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(port.Handle(), &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    port.Timeouts().setReadInterval(0);
    ASSERT_TRUE(GetCommTimeouts(port.Handle(), &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 0u);

    // A refused change leaves the port open and the value stored.
    EXPECT_THROW(port.setStopBits(sbOne5StopBits), EComPort);
    EXPECT_EQ(port.StopBits(), sbOne5StopBits);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(log.take(), idleOpenSequence) << "no change reopened the port";
}

TEST_F(LifecycleTest, ChangingPortReopensOnTheNewDevice)
{
    PtyPair second;
    const std::string secondName = device.directory.publish(second, 8);
    port.Open();
    log.take();
    port.setPort(device.name);
    EXPECT_TRUE(log.take().empty()) << "the same text reopened";

    port.setPort(secondName);
    Texts reopen = closeSequence;
    reopen.insert(reopen.end(), idleOpenSequence.begin(), idleOpenSequence.end());
    EXPECT_EQ(log.take(), reopen);
    EXPECT_EQ(port.Write("x", 1), 1);
    EXPECT_EQ(second.readSome(1, 2s), "x");

    port.setPort("com8"); // another letter case is another text
    EXPECT_EQ(log.take(), reopen);
    EXPECT_THROW(port.setPort("COM99"), EComPort);
    EXPECT_FALSE(port.Connected()) << "a failed reopen leaves the port closed";
}

TEST_F(LifecycleTest, EmptyEventsOpensWithoutEventThreadAndStillTransfers)
{
    const int threadsBefore = processThreads();
    int rxCalls = 0;
    port.OnRxChar = [&](Component *, std::int32_t) { ++rxCalls; };
    port.setEvents({});
    port.Open();
    EXPECT_EQ(log.take(), idleOpenSequence);
    EXPECT_EQ(processThreads(), threadsBefore + 1) << "more than the device's own";

    device.pty.writeAll(std::string("ab\0c", 4));
    EXPECT_TRUE(waitFor([&] { return port.InputQueueCount() == 4; }));
    pumpMessages(never, 100ms);
    EXPECT_EQ(rxCalls, 0);
    std::string text;
    EXPECT_EQ(port.ReadStr(text, 10), 4);
    EXPECT_EQ(text, std::string("ab\0c", 4));
    EXPECT_EQ(port.Write("hello", 5), 5);
    EXPECT_EQ(device.pty.readSome(5, 2s), "hello");
}

TEST_F(LifecycleTest, EndOfLoadingOpensAndReportsItsFailure)
{
    port.beginLoading();
    port.setConnected(true);
    port.setBaudRate(br57600);
    port.Timeouts().setReadInterval(0);
    EXPECT_EQ(port.Handle(), INVALID_HANDLE_VALUE) << "nothing touches the device while loading";
    port.endLoading();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(deviceSpeed(), static_cast<speed_t>(B57600));
    EXPECT_EQ(log.take(), idleOpenSequence);

    TComPort missing;
    missing.beginLoading();
    missing.setPort("COM9");
    missing.setConnected(true);
    EXPECT_NO_THROW(missing.endLoading());
    EXPECT_FALSE(missing.Connected());
    EXPECT_EQ(sink.messages(), (Texts{"Unable to open com port (win error code: 2)"}));
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
    EXPECT_EQ(ownLog.take(), closeSequence);

    {
        TComPort failing;
        failing.setPort(device.name);
        failing.OnBeforeClose = [](Component *) { throw Exception("handler failed"); };
        failing.Open();
    }
    EXPECT_EQ(sink.messages(), (Texts{"handler failed."}));
    port.Open(); // device, thread and all were released anyway
    EXPECT_TRUE(port.Connected());
}

TEST(StoredProperties, DefaultsAreLeftOutExceptWhereNoneIsDeclared)
{
    TComPort port;
    Texts stored;
    for (std::string_view name : TComPort::StoredProperties()) {
        if (port.IsStored(name))
            stored.emplace_back(name);
    }
    EXPECT_EQ(stored, (Texts{"BaudRate", "Parity", "StopBits", "DataBits", "Events", "Buffer",
                             "FlowControl", "Timeouts"}));
    port.setPort("COM2");
    port.OnRxChar = [](Component *, std::int32_t) {};
    EXPECT_TRUE(port.IsStored("Port") && port.IsStored("OnRxChar"));
}
