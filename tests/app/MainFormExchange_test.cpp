// One exchange at a time, end to end: how the wait, the timer and the reply analysis meet
// replies that are late, damaged, cut, bunched or routed away by the active tab, and that the
// wait sleeps while it waits.
#include "tests/app/SetupTabSupport.h"
#include "tests/support/Activity.h"

#include "simulator/SimFrame.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

using namespace std::chrono_literals;
using Code = SimulatedModule;

namespace {

constexpr int SetupTab = 0;
constexpr int TestTab = 1;
constexpr int HelpTab = 2;

// write() calls made so far by each thread of this process; empty when the kernel does not
// account them per thread.
std::map<long, long> writeCallsByThread()
{
    std::map<long, long> calls;
    std::error_code error;
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream io(task.path() / "io");
        std::string key;
        long value = 0;
        while (io >> key >> value) {
            if (key == "syscw:")
                calls[std::stol(task.path().filename().string())] = value;
        }
    }
    return calls;
}

// Stands in for the window's timer in slot while it lives: ticks only when the test says so,
// and counts the periods it starts as the window's timers do (enabling a stopped timer, or a
// new interval for a running one).
class ManualTimer : public Timer
{
public:
    explicit ManualTimer(Timer *&slot) : m_slot(slot), m_own(slot)
    {
        onTimer = slot->onTimer;
        slot->setEnabled(false);
        slot = this;
    }
    ~ManualTimer() override { m_slot = m_own; }
    bool enabled() const override { return m_enabled; }
    void setEnabled(bool enabled) override
    {
        m_periods += enabled && !m_enabled;
        m_enabled = enabled;
    }
    int interval() const override { return m_interval; }
    void setInterval(int interval) override
    {
        m_periods += m_enabled && interval != m_interval;
        m_interval = interval;
    }
    void startOnce(int milliseconds) override
    {
        setInterval(milliseconds);
        setEnabled(true);
    }
    void tick() { onTimer(this); }
    int periodsStarted() const { return m_periods; }

private:
    Timer *&m_slot;
    Timer *const m_own;
    bool m_enabled = false;
    int m_interval = 1000;
    int m_periods = 0;
};

} // namespace

using SetupExchange = SetupTabTest;

TEST_F(SetupExchange, OnePeriodRunsAcrossTheExchangesAndLateRepliesStillApply)
{
    // The first exchange takes part of the 1500 ms period and the second ends with it: the
    // period counts across the exchanges, each does not start one anew. The test plays the
    // module's replies and the timer's ticks itself, so their order is the test's and no
    // scheduler delay can change it.
    module().setSetting(Code::CodeRfChannel, 42);
    module().setSetting(Code::CodeRxId, 0xAB);
    module().setFaults(faults([](SimulatorFaults &f) { f.silent = true; }));
    ManualTimer timer(form().Timer1);
    logTimerTicks();

    // At each tick: the periods started so far, and the interval that period ran with.
    std::vector<std::pair<int, int>> periodAtTick;
    bool firstAnswered = false;
    QTimer step;
    QObject::connect(&step, &QTimer::timeout, [&] {
        const std::size_t frames = module().receivedFrames().size();
        if (frames == 1 && !firstAnswered) {
            port().inject(
                SimFrame::firmwareReply(0x00, Code::CodeFirmware, module().firmwareCode()));
            firstAnswered = true;
        } else if (frames >= 2 && ticks().size() < frames - 1 && timer.enabled()) {
            periodAtTick.emplace_back(timer.periodsStarted(), timer.interval());
            timer.tick();
        }
    });
    step.start(1);
    openSetup();
    step.stop();

    ASSERT_EQ(ticks().size(), 7u) << "the second exchange and the six after it end by ticks";
    EXPECT_EQ(periodAtTick.front(), std::make_pair(1, 1500)) << "the first period ends the second";
    for (std::size_t i = 1; i < periodAtTick.size(); ++i)
        EXPECT_EQ(periodAtTick[i].second, 1) << "after a time-out each wait ends at the next tick";
    EXPECT_EQ(framesReceived(8).size(), 8u);
    EXPECT_EQ(form().BiosDisplay->text(), "ZEPHRA24 V1.0A");
    EXPECT_EQ(form().SelectBaudrateSetup->itemIndex(), -1);
    EXPECT_EQ(form().SelectRFMode->itemIndex(), -1);
    EXPECT_EQ(form().SelectRFRate->itemIndex(), -1);
    EXPECT_EQ(form().RFChannelDisplay->text(), "");
    EXPECT_EQ(form().RF1IDCodeDisplay->text(), "");
    EXPECT_EQ(form().StatusConnect->text(), "Connect Time-Out");

    // Replies that come after their exchange timed out are still applied when they arrive.
    for (const std::uint8_t code : {0, 1, 2, 3, 4, 5, 7})
        port().inject(SimFrame::settingReply(0x00, code, module().setting(code)));
    ASSERT_TRUE(pumpEvents([&] { return form().RF1IDCodeDisplay->text() == "AB"; }, 10s));
    EXPECT_EQ(form().SelectBaudrateSetup->itemIndex(), 3);
    EXPECT_EQ(form().SelectRFRate->itemIndex(), 1);
    EXPECT_EQ(form().RFChannelDisplay->text(), "42");
    EXPECT_TRUE(errors().empty());
}

struct DamagedReply
{
    const char *name;
    SimulatorFaults faults;
};

class DamagedReplies : public SetupTabTest, public ::testing::WithParamInterface<DamagedReply>
{
};

TEST_P(DamagedReplies, AreDroppedAndTheirExchangeTimesOut)
{
    module().setSetting(Code::CodeRxId, 0x5A);
    module().setSetting(Code::CodeTxId, 0x66);
    SimulatorFaults faults = GetParam().faults;
    faults.onlyCode = Code::CodeTxId; // the last exchange, so nothing else is hurried
    module().setFaults(faults);

    const double seconds = openSetup();

    EXPECT_GT(seconds, 1.4);
    EXPECT_LT(seconds, 10.0);
    EXPECT_EQ(form().StatusConnect->text(), "Connect Time-Out");
    EXPECT_EQ(form().RF_TXD_IDCode->position(), 0);
    EXPECT_EQ(form().TXDIDCodeDisplay->text(), "");
    EXPECT_EQ(form().BiosDisplay->text(), "ZEPHRA24 V1.0A");
    EXPECT_EQ(form().RF1IDCodeDisplay->text(), "5A");
    EXPECT_EQ(form().SelectRFGain->itemIndex(), 3);
    EXPECT_TRUE(errors().empty());
}

INSTANTIATE_TEST_SUITE_P(
    SetupExchange, DamagedReplies,
    ::testing::Values(
        DamagedReply{"BadChecksum", faults([](SimulatorFaults &f) { f.badChecksum = true; })},
        DamagedReply{"OneCharacterShort", faults([](SimulatorFaults &f) { f.lengthChange = -1; })},
        DamagedReply{"OneCharacterLong", faults([](SimulatorFaults &f) { f.lengthChange = 1; })},
        DamagedReply{"SettingCode06", faults([](SimulatorFaults &f) { f.answerCode06 = true; })}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SetupExchange, OutOfRangeValuesClearTheirControlAndStillCountAsReplies)
{
    module().setSetting(Code::CodeBaudrate, 5);
    module().setSetting(Code::CodeRfMode, 3);
    module().setSetting(Code::CodeRfDataRate, 2);
    module().setSetting(Code::CodeRfGain, 4);
    module().setSetting(Code::CodeRfChannel, 200);
    form().RFChannel->setPosition(50);

    openSetup();

    EXPECT_EQ(form().StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(form().SelectBaudrateSetup->itemIndex(), -1);
    EXPECT_EQ(form().SelectRFMode->itemIndex(), -1);
    EXPECT_EQ(form().SelectRFRate->itemIndex(), -1);
    EXPECT_EQ(form().SelectRFGain->itemIndex(), -1);
    EXPECT_EQ(form().RFChannel->position(), 0);
    EXPECT_EQ(form().RFChannelDisplay->text(), "0");
}

TEST_F(SetupExchange, NoiseBeforeEachReplyNeverReachesTheAnalysis)
{
    // Ends with a CR and holds an STX, so a reader that did not restart at the reply's own STX
    // would analyse garbage or a cut reply.
    module().setFaults(faults([](SimulatorFaults &f) {
        f.noise = std::string("#\r\x02"
                              "00\x03\r\n~",
                              9);
    }));
    module().setSetting(Code::CodeRfChannel, 77);

    openSetup();

    EXPECT_EQ(form().StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(form().BiosDisplay->text(), "ZEPHRA24 V1.0A");
    EXPECT_EQ(form().RFChannelDisplay->text(), "77");
}

class SplitReplies : public SetupTabTest, public ::testing::WithParamInterface<std::size_t>
{
};

TEST_P(SplitReplies, AreAssembledAcrossReceiveEvents)
{
    module().setSetting(Code::CodeTxId, 0xC3);
    module().setFaults(faults([&](SimulatorFaults &f) {
        f.splitAt = {GetParam()};
        f.splitGap = 60ms;
    }));

    openSetup();

    EXPECT_EQ(form().StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(form().BiosDisplay->text(), "ZEPHRA24 V1.0A");
    EXPECT_EQ(form().TXDIDCodeDisplay->text(), "C3");

    // The pieces above may meet in one receive event on a busy machine. Here the second piece
    // leaves only once the window has handled the first, so the reply surely spans two events.
    const std::string reply = frameBytes("000464", "60");
    ASSERT_LT(GetParam(), reply.size());
    countReceiveEvents();
    port().inject(reply.substr(0, GetParam()));
    ASSERT_TRUE(pumpEvents([&] { return receiveEvents() > 0; }, 30s));
    port().inject(reply.substr(GetParam()));
    ASSERT_TRUE(pumpEvents([&] { return receiveEvents() > 1; }, 30s));
    EXPECT_EQ(form().RFChannelDisplay->text(), "100");
}

// Right after STX, inside the value, right before CR, and between CR and LF.
INSTANTIATE_TEST_SUITE_P(SetupExchange, SplitReplies, ::testing::Values(1u, 6u, 10u, 11u));

TEST_F(SetupExchange, TwoRepliesInOneWriteAreBothApplied)
{
    openSetup();
    countReceiveEvents();

    port().inject(frameBytes("000464", "60") + frameBytes("000512", "17"));

    ASSERT_TRUE(pumpEvents([&] { return form().RF1IDCodeDisplay->text() == "12"; }, 3s));
    EXPECT_EQ(form().RFChannelDisplay->text(), "100");
    EXPECT_EQ(form().RF_RX1_IDCode->position(), 0x12);
    EXPECT_EQ(receiveEvents(), 1);
}

TEST_F(SetupExchange, TheTestTabTakesTheRepliesDuringAWaitAndTheExchangesTimeOut)
{
    // The tab changes in the first wait's first pass, long before the first reply comes.
    module().setFaults(faults([](SimulatorFaults &f) { f.replyDelay = 1000ms; }));
    at(0, [&] { form().PageControl1->setActivePage(TestTab); });

    const double seconds = openSetup();

    EXPECT_GT(seconds, 1.4);
    EXPECT_LT(seconds, 10.0);
    EXPECT_EQ(form().StatusConnect->text(), "Connect Time-Out");
    EXPECT_EQ(form().BiosDisplay->text(), "");
    EXPECT_EQ(form().SelectBaudrateSetup->itemIndex(), -1);
    ASSERT_TRUE(pumpEvents(
        [&] { return form().MemoReceiveRun->text().find("ZEPHRA24 V1.0A") != std::string::npos; },
        3s));
    EXPECT_EQ(form().BiosDisplay->text(), "");
}

TEST_F(SetupExchange, TheHelpTabLeavesBytesQueuedUntilTheSetupTabSeesMore)
{
    openSetup();
    ASSERT_EQ(form().StatusConnect->text(), "Connect Ready");
    countReceiveEvents();
    form().PageControl1->setActivePage(HelpTab);

    // The first part of a channel reply arrives while the help tab is shown: not read.
    port().inject(std::string("\x02"
                              "00042A\x03",
                              8));
    ASSERT_TRUE(pumpEvents([&] { return receiveEvents() == 1; }, 3s));
    pumpEvents(never, 100ms);
    EXPECT_EQ(form().RFChannelDisplay->text(), "0");
    EXPECT_EQ(form().ComPort1->InputQueueCount(), 8);

    // Showing the setup tab reads nothing by itself; the next bytes bring the held ones along,
    // older first, so the reply is whole.
    form().PageControl1->setActivePage(SetupTab);
    pumpEvents(never, 100ms);
    EXPECT_EQ(form().RFChannelDisplay->text(), "0");
    port().inject("2E\r\n");
    ASSERT_TRUE(pumpEvents([&] { return form().RFChannelDisplay->text() == "42"; }, 3s));
    EXPECT_EQ(form().RFChannel->position(), 42);
}

TEST_F(SetupExchange, TheWaitSleepsInsteadOfSpinning)
{
    module().setFaults(faults([](SimulatorFaults &f) { f.silent = true; }));
    ASSERT_TRUE(choosePort());
    const Activity processBefore = Activity::now();
    const Activity uiBefore = Activity::now(RUSAGE_THREAD);

    const double seconds = clickTimed(form().OpenPortSetup);

    // Eight replies time out at the reply timer's ticks; the wait sleeps between the window's
    // own events (about 100 a second here), where a polling wait would wake at its rate.
    const Activity process = Activity::now().since(processBefore);
    const Activity ui = Activity::now(RUSAGE_THREAD).since(uiBefore);
    ASSERT_GT(seconds, 1.4);
    EXPECT_LT(ui.wakeups, 300 * seconds) << "the UI thread woke " << ui.wakeups << " times";
    EXPECT_LT(process.wakeups, 600 * seconds) << "the threads woke " << process.wakeups << " times";
    EXPECT_LT(process.cpuSeconds, 0.3 * seconds) << "process CPU " << process.cpuSeconds << " s";
}

TEST_F(SetupExchange, EachCommandByteIsAWriteOfItsOwn)
{
    const std::map<long, long> before = writeCallsByThread();
    if (before.empty())
        GTEST_SKIP() << "no per-thread write accounting in /proc";

    openSetup();

    // The device is written only by the I/O thread that the open started; eight frames of
    // twelve single bytes make 96 write calls there (one 12-byte write per frame would be 8).
    ASSERT_EQ(form().StatusConnect->text(), "Connect Ready");
    const long uiThread = syscall(SYS_gettid);
    std::vector<long> newThreadCalls;
    for (const auto &[thread, calls] : writeCallsByThread()) {
        if (thread != uiThread && !before.count(thread))
            newThreadCalls.push_back(calls);
    }
    EXPECT_NE(std::find(newThreadCalls.begin(), newThreadCalls.end(), 96), newThreadCalls.end())
        << ::testing::PrintToString(newThreadCalls);
    EXPECT_EQ(module().receivedFrames().size(), 8u);
}

TEST_F(SetupExchange, SaveSoonAfterAQuickOpenWaitsAFullPeriodOfItsOwn)
{
    // Every reply takes 50 ms; the save starts 1.2 s after "Open" was clicked, when the
    // open's period would have 300 ms left, less than the save's seven exchanges need.
    module().setFaults(faults([](SimulatorFaults &f) { f.replyDelay = 50ms; }));
    const Stopwatch sinceOpen;
    openSetup();
    ASSERT_EQ(form().StatusConnect->text(), "Connect Ready");
    pumpEvents(never,
               std::chrono::milliseconds(std::max(0, 1200 - int(sinceOpen.seconds() * 1000))));

    form().SaveConfig->click();

    EXPECT_EQ(form().StatusConnect->text(), "Connect Ready");
    // Each write went out after the previous one was acknowledged: all seven were.
    EXPECT_EQ(form().TXDIDCodeDisplay->text(), "00");
    EXPECT_EQ(framesReceived(15).size(), 15u);
}

TEST_F(SetupExchange, AReplyAndTheTickHandledInOnePassStillShowTheTimeOut)
{
    openSetup();
    ASSERT_EQ(form().StatusConnect->text(), "Connect Ready");
    module().setFaults(faults([](SimulatorFaults &f) { f.silent = true; }));

    form().Read_RF_Channel();
    pumpEvents(never, 100ms); // the port's events for the command itself are handled
    // Both the reply's receive event and an overdue tick are waiting when the wait begins.
    form().Timer1->setEnabled(true);
    form().Timer1->setInterval(1);
    port().inject(frameBytes("000421", "25"));
    QThread::msleep(200);
    form().WaitCommandExecute();

    EXPECT_EQ(form().ReplyReceived, 1);
    EXPECT_EQ(form().RFChannelDisplay->text(), "33");
    EXPECT_EQ(form().StatusConnect->text(), "Connect Time-Out");
}
