// Losing the device while the window uses it, as a pulled cable: the module's end of the pty
// closes, or its COM name vanishes with it, during a test-tab connection with traffic, during
// the setup tab's "Open" and "SAVE CONFIG", and while a write is held by a far end that has
// stopped reading. In every case the window shows the port component's error once, stays usable,
// closes at once, sits idle without spinning, gives back its threads and descriptors, and
// opens the port again once the module is back under the same name.
#include "tests/app/SetupTabSupport.h"
#include "tests/support/Activity.h"
#include "tests/support/LiveThreads.h"

#include <QEventLoop>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

using namespace std::chrono_literals;

namespace {

constexpr int TestTab = 1;

// What the user sees when the port finds its device gone: the event thread's wait fails, or a
// write does.
const std::string LostWait = "WaitForEvent method failed (win error code: 31)";
const std::string LostWrite = "WriteFile function failed (win error code: 31)";
const std::string NoSuchPort = "Unable to open com port (win error code: 2)";

enum class Loss { FarEndCloses, NodeVanishes };

std::string lossName(const testing::TestParamInfo<Loss> &info)
{
    return info.param == Loss::FarEndCloses ? "FarEndCloses" : "NodeVanishes";
}

void PrintTo(Loss loss, std::ostream *out)
{
    *out << (loss == Loss::FarEndCloses ? "the far end closes" : "the node vanishes");
}

// What the process did while the UI thread slept in its event loop for a while, dispatching
// whatever arrived.
Activity whileIdle(std::chrono::milliseconds interval)
{
    const Activity before = Activity::now();
    QEventLoop loop;
    QTimer::singleShot(interval, &loop, &QEventLoop::quit);
    loop.exec();
    return Activity::now().since(before);
}

// What an open port holds and must give back.
struct Holdings
{
    std::size_t threads = 0;
    std::size_t descriptors = 0;
    bool operator==(const Holdings &) const = default;
};

Holdings holdingsNow()
{
    return {static_cast<std::size_t>(liveThreads()), static_cast<std::size_t>(openDescriptors())};
}

void PrintTo(const Holdings &h, std::ostream *out)
{
    *out << h.threads << " threads, " << h.descriptors << " descriptors";
}

// Writes to the window's side of the pty until it takes no more: the far end, which no longer
// reads, holds all of it, and any further write waits for room.
void fillTowardsFarEnd(const std::string &slavePath)
{
    const int fd = ::open(slavePath.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    const int error = errno;
    ::close(fd);
    EXPECT_EQ(error, EAGAIN) << std::strerror(error);
}

// Whether the port has a write pending (bytes queued that the device did not take yet).
bool writePending(HANDLE port)
{
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(port, &errors, &status) && status.cbOutQue > 0;
}

class DeviceLoss : public SetupTabTest, public testing::WithParamInterface<Loss>
{
protected:
    void SetUp() override
    {
        SetupTabTest::SetUp();
        m_before = holdingsNow();
    }

    void loseDevice()
    {
        if (GetParam() == Loss::FarEndCloses)
            simulator().closeFarEnd();
        else
            simulator().vanish();
    }

    // The module comes back under its name; by then the window has closed the dead port, so
    // the process holds what it held before the port was first opened.
    void bringDeviceBack()
    {
        simulator().bringBack();
        EXPECT_TRUE(pumpEvents([&] { return holdingsNow() == m_before; }, 2s))
            << testing::PrintToString(holdingsNow()) << " now, " << testing::PrintToString(m_before)
            << " before the port was opened";
        // The user comes back after the reply period that the lost procedure started has run
        // out; a procedure started within it would share what is left of it.
        EXPECT_TRUE(pumpEvents([&] { return !form().Timer1->enabled(); }, 3s));
    }

    // The module answers every command but the one for setting code, which it leaves
    // unanswered; the device is lost once that command has arrived (from the event loop, so
    // inside the wait for its reply). Gives the moment of the loss, in seconds of clock.
    void loseDeviceWhileWaitingFor(std::uint8_t code, std::size_t framesBefore,
                                   const Stopwatch &clock, double &lostAt)
    {
        module().setFaults(faults([code](SimulatorFaults &f) {
            f.silent = true;
            f.onlyCode = code;
        }));
        auto *poll = new QTimer(&qtWindow(form()));
        QObject::connect(poll, &QTimer::timeout, [this, poll, framesBefore, &clock, &lostAt] {
            if (module().receivedFrames().size() < framesBefore + 1)
                return;
            poll->stop();
            loseDevice();
            lostAt = clock.seconds();
        });
        poll->start(5);
    }

    // Keeps a time (in microseconds) with the test's result, for the record of how the window
    // copes (--gtest_output).
    static void record(const std::string &key, double seconds)
    {
        RecordProperty(key + "_us", std::to_string(std::lround(seconds * 1e6)));
    }

    // Nothing spins or polls while the dead port stays open (or after it was closed): over
    // 0.8 s the process's threads wake once or twice, not at any polling rate.
    static void expectIdle(const std::string &when)
    {
        whileIdle(200ms);
        const Activity idle = whileIdle(800ms);
        record("cpu_in_800ms_" + when, idle.cpuSeconds);
        RecordProperty("wakeups_in_800ms_" + when, std::to_string(idle.wakeups));
        EXPECT_LT(idle.wakeups, 20) << "threads woke " << idle.wakeups << " times in 0.8 s";
        EXPECT_LT(idle.cpuSeconds, 0.12) << "process CPU " << idle.cpuSeconds << " s in 0.8 s";
    }

    // Clicks a "Close" button; it must end at once: the UI thread sleeps at most for the port's
    // threads to end, never in steps of a poll period. (The time limit only catches a hang.)
    static void clickClose(Button *close, const std::string &key = "close_dead_port")
    {
        const Activity before = Activity::now(RUSAGE_THREAD);
        const double seconds = clickTimed(close);
        const long sleeps = Activity::now(RUSAGE_THREAD).since(before).wakeups;
        record(key, seconds);
        EXPECT_LE(sleeps, 8) << "Close slept " << sleeps << " times";
        EXPECT_LT(seconds, 10.0);
    }

    // Opening the name while the module is away fails as "no such port", where its name is
    // gone. A stale name is not tried: its pty number may belong to another program by now.
    void expectOpenFailsWhileGone(Button *open)
    {
        if (GetParam() != Loss::NodeVanishes)
            return;
        const std::size_t before = errors().size();
        open->click();
        ASSERT_EQ(errors().size(), before + 1);
        EXPECT_EQ(errors().back(), NoSuchPort);
        EXPECT_FALSE(form().ComPort1->Connected());
    }

    void chooseTestPort() { ASSERT_TRUE(choose(form().ComboPortRun, "COM1")); }

    // The module passes data (RUN position), the test tab is shown and its port opened.
    void openTestConnection()
    {
        module().setSlideSwitch(SimulatedModule::SlideSwitch::Run);
        form().PageControl1->setActivePage(TestTab);
        chooseTestPort();
        form().OpenPortRun->click();
        ASSERT_TRUE(form().ComPort1->Connected()) << testing::PrintToString(errors());
    }

    void expectTestConnectionStates() { EXPECT_TRUE(shows(form(), named::testConnected)); }

    // "Close" on the test tab ends at once and leaves the tab idle.
    void closeTestConnection(const std::string &key = "close_dead_port")
    {
        clickClose(form().ClosePortRun, key);
        EXPECT_FALSE(form().ComPort1->Connected());
        EXPECT_EQ(form().PortOpened, 0);
        EXPECT_TRUE(shows(form(), named::idleBothOpenable));
    }

    bool receiveShows(const std::string &text)
    {
        return pumpEvents(
            [&] { return form().MemoReceiveRun->text().find(text) != std::string::npos; });
    }

private:
    Holdings m_before;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(, DeviceLoss, testing::Values(Loss::FarEndCloses, Loss::NodeVanishes),
                         lossName);

TEST_P(DeviceLoss, TestConnectionWithTrafficShowsTheLossAndOpensAgainWhenTheModuleIsBack)
{
    openTestConnection();
    // Traffic both ways: the module sends a line every few milliseconds and echoes a send.
    QTimer stream;
    stream.setInterval(5);
    QObject::connect(&stream, &QTimer::timeout, [&] { port().inject("tick\r\n"); });
    stream.start();
    form().SendStringRun->click();
    ASSERT_TRUE(receiveShows("Test Send String"));
    ASSERT_TRUE(receiveShows("tick<0x0D><0x0A>tick"));

    loseDevice();
    const Stopwatch sinceLoss;
    ASSERT_TRUE(pumpEvents([&] { return !errors().empty(); }, 3s))
        << "the loss of a receiving connection goes unreported";
    record("loss_to_error", sinceLoss.seconds());
    pumpEvents(never, 200ms);
    stream.stop();
    EXPECT_EQ(errors(), std::vector<std::string>{LostWait});

    // The connection stays as it was until the user closes it; a send meets the dead port.
    EXPECT_TRUE(form().ComPort1->Connected());
    expectTestConnectionStates();
    expectIdle("port_dead");
    form().SendStringRun->click();
    ASSERT_EQ(errors().size(), 2u);
    EXPECT_EQ(errors()[1], LostWrite);

    closeTestConnection();
    expectOpenFailsWhileGone(form().OpenPortRun);
    expectIdle("port_closed");

    bringDeviceBack();
    module().clearLog();
    form().MemoReceiveRun->clear();
    form().OpenPortRun->click();
    ASSERT_TRUE(form().ComPort1->Connected()) << testing::PrintToString(errors());
    form().SendStringRun->click();
    EXPECT_TRUE(module().waitForRunBytes(16, 2s));
    EXPECT_TRUE(receiveShows("Test Send String"));
    closeTestConnection("close_after_return");
    EXPECT_EQ(errors().size(), GetParam() == Loss::NodeVanishes ? 3u : 2u);
}

TEST_P(DeviceLoss, LossDuringOpenEndsTheReadSequenceAtOnce)
{
    // Four settings come back; the loss meets the wait for the fifth reply.
    const Stopwatch clock;
    double lostAt = -1;
    loseDeviceWhileWaitingFor(SimulatedModule::CodeRfGain, 4, clock, lostAt);

    openSetup();
    const double endedAt = clock.seconds();

    // Ended by the loss, not by the reply time-out and a write to the dead port after it.
    ASSERT_GE(lostAt, 0.0);
    record("loss_to_error", endedAt - lostAt);
    EXPECT_LT(endedAt - lostAt, 0.5);
    EXPECT_LT(endedAt, 1.2);
    EXPECT_EQ(errors(), std::vector<std::string>{LostWait});
    EXPECT_EQ(framesReceived().size(), 5u);
    EXPECT_EQ(form().StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(form().SelectRFRate->itemIndex(), 1);
    EXPECT_EQ(form().SelectRFGain->itemIndex(), -1);
    EXPECT_TRUE(shows(form(), named::setupConnecting));
    EXPECT_TRUE(form().ComPort1->Connected());
    expectIdle("port_dead");

    // The tab still answers, and "Close" ends the connection at once.
    form().PageControl1->setActivePage(TestTab);
    form().PageControl1->setActivePage(0);
    clickClose(form().ClosePortSetup);
    EXPECT_TRUE(shows(form(), named::idleBothOpenable));
    EXPECT_EQ(form().StatusConnect->text(), "Disconnect");
    EXPECT_FALSE(form().ComPort1->Connected());
    expectOpenFailsWhileGone(form().OpenPortSetup);

    bringDeviceBack();
    module().clearFaults();
    form().OpenPortSetup->click();
    EXPECT_EQ(form().StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(form().SelectRFGain->itemIndex(), 3);
    EXPECT_TRUE(shows(form(), named::setupConnected));
    form().ClosePortSetup->click();
    EXPECT_EQ(errors().size(), GetParam() == Loss::NodeVanishes ? 2u : 1u);
}

TEST_P(DeviceLoss, LossDuringSaveConfigEndsTheWriteSequenceAndLeavesTheTabUsable)
{
    openSetup();
    ASSERT_EQ(form().StatusConnect->text(), "Connect Ready");
    form().RFChannel->setPosition(42);
    module().clearLog();
    // Three writes are acknowledged; the loss meets the wait for the fourth.
    const Stopwatch clock;
    double lostAt = -1;
    loseDeviceWhileWaitingFor(SimulatedModule::CodeRfGain, 3, clock, lostAt);

    form().SaveConfig->click();
    const double endedAt = clock.seconds();

    ASSERT_GE(lostAt, 0.0);
    record("loss_to_error", endedAt - lostAt);
    EXPECT_LT(endedAt - lostAt, 0.5);
    EXPECT_EQ(errors(), std::vector<std::string>{LostWait});
    EXPECT_EQ(framesReceived().size(), 4u);
    EXPECT_NE(module().setting(SimulatedModule::CodeRfChannel), 42);
    // The procedure is over: its buttons are back, so the user can close or try again.
    EXPECT_TRUE(shows(form(), named::setupConnected));
    expectIdle("port_dead");

    // "READ CONFIG" meets the dead port at its first command and gives the buttons back too.
    form().ReadConfig->click();
    ASSERT_EQ(errors().size(), 2u);
    EXPECT_EQ(errors()[1], LostWrite);
    EXPECT_TRUE(shows(form(), named::setupConnected));

    clickClose(form().ClosePortSetup);
    EXPECT_TRUE(shows(form(), named::idleBothOpenable));
    expectOpenFailsWhileGone(form().OpenPortSetup);

    bringDeviceBack();
    module().clearFaults();
    form().OpenPortSetup->click();
    ASSERT_EQ(form().StatusConnect->text(), "Connect Ready");
    form().RFChannel->setPosition(42);
    form().SaveConfig->click();
    EXPECT_EQ(module().setting(SimulatedModule::CodeRfChannel), 42);
    EXPECT_EQ(form().RFChannelDisplay->text(), "42");
    form().ClosePortSetup->click();
    EXPECT_EQ(errors().size(), GetParam() == Loss::NodeVanishes ? 3u : 2u);
}

TEST_P(DeviceLoss, LossWhileAWriteWaitsForRoomEndsTheSendWithOneError)
{
    openTestConnection();
    // The module stops reading; once a byte it sends has arrived, it has looked at the hold.
    // Then the pty is filled. The far end's line discipline may still take up to its 4 KiB
    // buffer from there, so a longer send meets a full pty and one of its writes waits for
    // room (each one-byte write ends after its own time-out of 1.1 s, the next one waits again).
    port().holdReading(true);
    port().inject("held");
    ASSERT_TRUE(receiveShows("held"));
    fillTowardsFarEnd(port().slavePath());
    form().EditSendRun->setText(std::string(16384, 'x'));

    // From a thread of its own: the UI thread is inside the send until the loss ends it.
    const HANDLE device = form().ComPort1->Handle();
    const Stopwatch clock;
    std::atomic<bool> pending{false};
    std::atomic<double> lostAt{-1};
    std::thread remover([&] {
        const Stopwatch waiting;
        while (!(pending = writePending(device)) && waiting.seconds() < 10)
            std::this_thread::sleep_for(5ms);
        loseDevice();
        lostAt = clock.seconds();
    });
    form().SendStringRun->click();
    const double returnedAt = clock.seconds();
    remover.join();

    ASSERT_TRUE(pending.load()) << "no write waited for room";
    record("loss_to_error", returnedAt - lostAt.load());
    EXPECT_LT(returnedAt - lostAt.load(), 1.0);
    // The send ends with the write's error. The event thread's wait fails too, but the loss
    // was told already: once the UI thread has served that failure, there is still one box.
    ASSERT_TRUE(pumpEvents([&] { return form().ComPort1->DeviceLost(); }, 3s));
    EXPECT_EQ(errors(), std::vector<std::string>{LostWrite});
    // A later send is the user's own action on the dead port: it says so again.
    form().SendStringRun->click();
    EXPECT_EQ(errors(), (std::vector<std::string>{LostWrite, LostWrite}));

    expectTestConnectionStates();
    expectIdle("port_dead");
    closeTestConnection();
    expectOpenFailsWhileGone(form().OpenPortRun);

    bringDeviceBack();
    form().EditSendRun->setText("back");
    form().OpenPortRun->click();
    ASSERT_TRUE(form().ComPort1->Connected()) << testing::PrintToString(errors());
    form().SendStringRun->click();
    EXPECT_TRUE(receiveShows("back"));
    closeTestConnection("close_after_return");
    EXPECT_EQ(errors().size(), GetParam() == Loss::NodeVanishes ? 3u : 2u);
}

TEST_P(DeviceLoss, LinkTestEndsWithOneErrorKeepsItsFiguresAndStartsAgainWhenTheModuleIsBack)
{
    module().setSlideSwitch(SimulatedModule::SlideSwitch::Run);
    form().PageControl1->setActivePage(3);
    ASSERT_TRUE(choose(form().ComboPortLink, "COM1"));
    form().UntilStoppedLink->click();
    form().StartLink->click();
    ASSERT_TRUE(pumpEvents([&] { return std::stoi(form().ReceivedLink->text()) >= 5; }, 5s))
        << testing::PrintToString(errors());

    loseDevice();
    ASSERT_TRUE(pumpEvents([&] { return form().LinkState->text() == "Ended"; }, 3s));
    // Packets keep falling due after the loss: none of them makes an error of its own.
    pumpEvents(never, 300ms);
    ASSERT_EQ(errors().size(), 1u) << testing::PrintToString(errors());
    EXPECT_TRUE(errors()[0] == LostWait || errors()[0] == LostWrite) << errors()[0];
    EXPECT_NE(advice()[0].find("plugged in"), std::string::npos) << advice()[0];
    EXPECT_FALSE(form().ComPort1->Connected());
    EXPECT_GE(std::stoi(form().ReceivedLink->text()), 5);
    EXPECT_TRUE(form().StartLink->enabled());
    EXPECT_TRUE(form().SaveReportLink->enabled());

    bringDeviceBack();
    form().UntilStoppedLink->click();
    form().PacketCountLink->setPosition(5);
    form().StartLink->click();
    ASSERT_TRUE(pumpEvents([&] { return form().LinkState->text() == "Ended"; }, 10s));
    EXPECT_EQ(form().ReceivedLink->text(), "5");
    EXPECT_EQ(errors().size(), 1u) << testing::PrintToString(errors());
}

TEST_P(DeviceLoss, ClosingTheWindowAfterALossEndsAtOnce)
{
    openSetup();
    ASSERT_EQ(form().StatusConnect->text(), "Connect Ready");

    loseDevice();
    // Noticed while nothing was running: the event thread reports it.
    ASSERT_TRUE(pumpEvents([&] { return !errors().empty(); }, 3s));
    EXPECT_EQ(errors(), std::vector<std::string>{LostWait});
    EXPECT_TRUE(shows(form(), named::setupConnected));

    const Stopwatch closing;
    form().close();
    record("close_window_dead_port", closing.seconds());
    EXPECT_LT(closing.seconds(), 10.0);
    EXPECT_FALSE(form().ComPort1->Connected());
    EXPECT_EQ(form().PortOpened, 0);
    bringDeviceBack();
    EXPECT_EQ(errors().size(), 1u);
}
