// Floods of random bytes into the window, end to end through a pseudo-terminal and the real
// port component: noise on the setup tab while "Open" waits for replies, and a long stream
// into the test tab's terminal. The window must keep its memory bounded, keep its timer
// ticking, lose nothing, and work normally afterwards. (How long the UI thread goes without
// serving its event loop in such a flood is a figure of bench/setup_noise and
// bench/terminal_receive.)
//
// The default size (8 MiB) keeps the suite quick; ZEPHRA_FLOOD_MIB sets another, and the
// suite runs the same tests once more with 50 MiB (tests/app/CMakeLists.txt).
#include "tests/app/SetupTabSupport.h"

#include "tests/support/FloodSupport.h"

#include "terminal/ReceivedText.h"

#include <cstdio>

using Code = SimulatedModule;

namespace {

constexpr std::size_t DefaultFloodMiB = 8;

// What the setup tab may gain from a flood: the test's own pieces in flight and the like,
// far less than the flood itself (which a reply buffer without bound would keep).
std::size_t setupGrowthLimit(std::size_t flood)
{
    return 8 * MiB + flood / 4;
}

// Seconds allowed for a flood of this size to pass, at a pessimistic 0.5 MiB/s.
int floodTimeoutMs(std::size_t bytes)
{
    return 20'000 + static_cast<int>(bytes / MiB) * 2'000;
}

struct NoiseKind
{
    const char *name;
    NoiseFeeder::Shape shape;
};

void PrintTo(const NoiseKind &kind, std::ostream *out)
{
    *out << kind.name;
}

class SetupFlood : public SetupTabTest, public ::testing::WithParamInterface<NoiseKind>
{
protected:
    std::chrono::seconds watchdogLimit() const override
    {
        return std::chrono::seconds(60 + 3 * floodTimeoutMs(floodBytes(DefaultFloodMiB)) / 1000);
    }

    // Sums the counts the port's receive events announce, then runs the window's own handler.
    void sumReceivedCounts()
    {
        TRxCharEvent original = form().ComPort1->OnRxChar;
        form().ComPort1->OnRxChar = [this, original](Component *sender, std::int32_t count) {
            m_announced += static_cast<std::size_t>(count);
            original(sender, count);
        };
    }
    std::size_t announced() const { return m_announced; }

private:
    std::size_t m_announced = 0;
};

} // namespace

TEST_P(SetupFlood, NoiseDuringOpenEndsInTimeOutsAndTheWindowStaysUsable)
{
    const std::size_t total = floodBytes(DefaultFloodMiB);
    module().setFaults(faults([](SimulatorFaults &f) { f.silent = true; }));
    ASSERT_TRUE(choosePort());
    sumReceivedCounts();
    logTimerTicks();

    const MemoryWatch memory;
    std::atomic<bool> opening = true;
    std::unique_ptr<NoiseFeeder> feeder;
    // The noise starts while the first command waits for its reply and goes on until "Open"
    // has ended: every tick of the reply timer comes in the middle of it.
    at(0, [&] {
        feeder = std::make_unique<NoiseFeeder>(port(), total, 1, GetParam().shape,
                                               [&] { return opening.load(); });
    });
    const double openSeconds = clickTimed(form().OpenPortSetup);
    opening = false;

    // No reply came: each exchange ended by a tick of its own, the first after the full period,
    // and the tab is connected with its controls as the procedure reset them.
    EXPECT_EQ(ticks().size(), 8u);
    EXPECT_GT(openSeconds, 1.4);
    EXPECT_EQ(form().StatusConnect->text(), "Connect Time-Out");
    EXPECT_EQ(form().BiosDisplay->text(), "");
    EXPECT_EQ(form().SelectBaudrateSetup->itemIndex(), -1);
    EXPECT_EQ(form().SelectRFGain->itemIndex(), -1);
    EXPECT_EQ(form().RFChannel->position(), 0);
    EXPECT_TRUE(form().SaveConfig->enabled());
    EXPECT_TRUE(form().ReadConfig->enabled());
    EXPECT_TRUE(form().ClosePortSetup->enabled());
    EXPECT_TRUE(errors().empty()) << testing::PrintToString(errors());

    // The window takes every byte of the flood once, and every command went out whole.
    ASSERT_TRUE(feeder);
    ASSERT_TRUE(pumpEvents([&] { return feeder->finished() && announced() >= feeder->sent(); },
                           std::chrono::milliseconds(floodTimeoutMs(total))))
        << feeder->sent() << " bytes sent, " << announced() << " announced";
    EXPECT_GE(feeder->sent(), total);
    EXPECT_EQ(announced(), feeder->sent());
    std::printf("setup tab, %s: %.1f MiB of noise during and after Open; memory growth %.1f MiB\n",
                GetParam().name, static_cast<double>(feeder->sent()) / MiB,
                static_cast<double>(memory.growth()) / MiB);
    module().waitForFrames(8, std::chrono::seconds(2));
    const auto frames = module().receivedFrames();
    ASSERT_EQ(frames.size(), 8u);
    for (const auto &frame : frames)
        EXPECT_TRUE(frame.accepted) << testing::PrintToString(frame.bytes);
    EXPECT_LT(memory.growth(), setupGrowthLimit(feeder->sent()));
    EXPECT_TRUE(errors().empty()) << testing::PrintToString(errors());

    // Afterwards the module is heard again, on this connection and on a new one.
    module().clearFaults();
    module().setSetting(Code::CodeRfChannel, 42);
    form().ReadConfig->click();
    EXPECT_EQ(form().StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(form().BiosDisplay->text(), "ZEPHRA24 V1.0A");
    EXPECT_EQ(form().RFChannelDisplay->text(), "42");
    form().ClosePortSetup->click();
    form().OpenPortSetup->click();
    EXPECT_EQ(form().StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(form().SelectBaudrateSetup->itemIndex(), 3);
    EXPECT_TRUE(errors().empty()) << testing::PrintToString(errors());
}

// Noise full of STX and CR, which keeps restarting and ending texts of every length but a
// reply's, and noise without STX, one endless text.
INSTANTIATE_TEST_SUITE_P(Noise, SetupFlood,
                         ::testing::Values(NoiseKind{"WithStxAndCr", removeReplyLengths},
                                           NoiseKind{"WithoutStx", removeStx}),
                         [](const auto &info) { return std::string(info.param.name); });

namespace {

class TerminalFlood : public WindowTest
{
protected:
    void SetUp() override
    {
        m_watchdog = std::make_unique<Watchdog>(
            std::chrono::seconds(60 + 2 * floodTimeoutMs(floodBytes(DefaultFloodMiB)) / 1000));
        m_simulator = std::make_unique<SimulatorEnvironment>("COM1");
        m_simulator->module().setSlideSwitch(SimulatedModule::SlideSwitch::Run);
        WindowTest::SetUp();
        form().show();
        form().PageControl1->setActivePage(1);
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        m_simulator.reset();
        m_watchdog.reset();
    }

    SimulatorPort &port() { return m_simulator->port(); }

    void openAt(const std::string &rate)
    {
        form().ComboPortRun->onDropDown(form().ComboPortRun);
        ASSERT_EQ(form().ComboPortRun->count(), 1);
        form().ComboPortRun->choose(0);
        form().ComboBaudRun->setText(rate);
        form().OpenPortRun->click();
        ASSERT_TRUE(form().ComPort1->Connected()) << testing::PrintToString(errors());
    }

private:
    std::unique_ptr<Watchdog> m_watchdog;
    std::unique_ptr<SimulatorEnvironment> m_simulator;
};

} // namespace

TEST_F(TerminalFlood, EveryByteIsShownByTheRuleWithBoundedMemory)
{
    const std::size_t total = floodBytes(DefaultFloodMiB);
    constexpr unsigned seed = 2;
    // What the box must end up holding, piece by piece, without keeping the flood itself.
    std::size_t expectedSize = 0;
    for (std::size_t at = 0; at < total; at += NoiseFeeder::PieceSize)
        expectedSize +=
            terminal::receivedText(noisePiece(seed, at / NoiseFeeder::PieceSize,
                                              std::min(NoiseFeeder::PieceSize, total - at)))
                .size();
    openAt("115200");
    auto *view = qtWidget<ReceiveView>(form().MemoReceiveRun);

    const MemoryWatch memory;
    const Stopwatch clock;
    {
        const NoiseFeeder feeder(port(), total, seed);
        ASSERT_TRUE(pumpEvents([&] { return view->wrapped().size() >= expectedSize; },
                               std::chrono::milliseconds(floodTimeoutMs(total))))
            << feeder.sent() << " of " << total << " bytes sent, " << view->wrapped().size()
            << " of " << expectedSize << " characters shown";
    }
    const double seconds = clock.seconds();

    // Nothing lost, nothing added: the box holds the display rule applied to every byte.
    ASSERT_EQ(view->wrapped().size(), expectedSize);
    std::uint64_t offset = 0;
    for (std::size_t at = 0; at < total; at += NoiseFeeder::PieceSize) {
        const std::string piece = terminal::receivedText(noisePiece(
            seed, at / NoiseFeeder::PieceSize, std::min(NoiseFeeder::PieceSize, total - at)));
        ASSERT_EQ(view->wrapped().slice(offset, offset + piece.size()), piece) << "piece at " << at;
        offset += piece.size();
    }

    // The box keeps the text once, a byte per character, plus its row index: what the
    // process gained stays near that, never a copy of the whole text or a 16-bit form of it.
    const std::size_t boxMemory = view->wrapped().memoryUsed();
    std::printf("terminal: %zu MiB in %.1f s (%.1f MiB/s); memory growth %.1f MiB, the box "
                "%.1f MiB\n",
                total / MiB, seconds, static_cast<double>(total) / MiB / seconds,
                static_cast<double>(memory.growth()) / MiB, static_cast<double>(boxMemory) / MiB);
    EXPECT_LT(memory.growth(), boxMemory + boxMemory / 4 + 24 * MiB);

    // The terminal goes on: what is sent comes back and shows after the flood.
    form().ClearReceiveRun->click();
    form().SendStringRun->click();
    EXPECT_TRUE(pumpEvents([&] { return view->text() == "Test Send String"; }, 5s));
    form().ClosePortRun->click();
    EXPECT_TRUE(errors().empty()) << testing::PrintToString(errors());
}
