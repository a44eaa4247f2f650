// The test tab as a terminal, against the simulated module in its RUN position (it echoes
// what it gets): opening at the chosen or typed rate, the control states, sending, typing,
// and how received bytes are shown.
// Before any Qt header: the module model has a member that Qt's "emit" keyword would hide.
#include "tests/support/SimulatorFixture.h"

#include "tests/app/TestTabSupport.h"
#include "tests/app/WindowScenarios.h"

#include "platform/posix/LineSettings.h"

#include <QLineEdit>
#include <QWheelEvent>
#include <QtTest/QTest>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <initializer_list>

using namespace std::chrono_literals;

namespace {

constexpr int HelpTab = 2;

class TerminalTest : public TestTabTest
{
protected:
    void openPort()
    {
        choosePort();
        form().OpenPortRun->click();
        ASSERT_TRUE(form().ComPort1->Connected()) << testing::PrintToString(errors());
    }

    bool receiveShows(const std::string &text)
    {
        return pumpEvents([&] { return form().MemoReceiveRun->text() == text; });
    }

    // What the receive box saves as the bytes received.
    std::string savedBytes()
    {
        const std::string path = portDirectory() + "/received.bin";
        auto *box = qtWidget<ReceiveView>(form().MemoReceiveRun);
        box->save(QString::fromStdString(path), ReceiveView::SaveForm::Received);
        EXPECT_TRUE(pumpEvents([&] { return box->savesRunning() == 0; }));
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
};

} // namespace

TEST_F(TerminalTest, OpensAtTheChosenOrTypedRateWithAnyRateTheDeviceTakes)
{
    choosePort();
    form().ComboBaudRun->setItemIndex(4);
    form().OpenPortRun->click();
    ASSERT_TRUE(form().ComPort1->Connected());
    EXPECT_EQ(deviceSpeed(), 19200u);
    form().ClosePortRun->click();
    ASSERT_FALSE(form().ComPort1->Connected());

    // Typed text is taken as typed, never completed from the list ("9" is no "9600").
    for (const char *typed : {"120", "9", "24", "115200", "250000"}) {
        typeRate(typed);
        form().OpenPortRun->click();
        ASSERT_TRUE(form().ComPort1->Connected()) << typed;
        EXPECT_EQ(deviceSpeed(), std::stoul(typed));
        form().ClosePortRun->click();
    }
    EXPECT_TRUE(errors().empty()) << testing::PrintToString(errors());
}

TEST_F(TerminalTest, ARateThatIsNoNumberIsReportedAndNothingOpens)
{
    choosePort();
    typeRate("abc");
    form().OpenPortRun->click();
    EXPECT_EQ(errors(), std::vector<std::string>{"'abc' is not a valid integer value."});
    EXPECT_FALSE(form().ComPort1->Connected());
    pumpEvents(never, 100ms);
    EXPECT_FALSE(port().slaveOpen());
    // The flag is already set; the controls are as before.
    EXPECT_EQ(form().PortOpened, 1);
    EXPECT_TRUE(shows(form(), named::idle + controlStates({ControlId::OpenPortRun}, {})));
}

TEST_F(TerminalTest, EveryStateEnablesItsOwnControls)
{
    TMainForm &f = form();
    EXPECT_TRUE(shows(f, named::idle));
    openPort();
    EXPECT_TRUE(shows(f, named::testConnected));
    EXPECT_EQ(f.PortOpened, 1);

    f.ClosePortRun->click();
    EXPECT_FALSE(f.ComPort1->Connected());
    EXPECT_EQ(f.PortOpened, 0);
    // The setup tab's "Open" is enabled although no setup port has been chosen.
    EXPECT_TRUE(shows(f, named::idleBothOpenable));

    // A setup connection takes every port control of the test tab away.
    module().setSlideSwitch(SimulatedModule::SlideSwitch::Setup);
    f.PageControl1->setActivePage(0);
    f.ComboPortSetup->onDropDown(f.ComboPortSetup);
    f.ComboPortSetup->setItemIndex(0);
    f.ComboPortSetup->onChange(f.ComboPortSetup);
    f.OpenPortSetup->click();
    ASSERT_TRUE(f.ComPort1->Connected()) << testing::PrintToString(errors());
    EXPECT_TRUE(shows(f, named::setupConnected));
    EXPECT_TRUE(f.MemoReceiveRun->enabled());
    f.ClosePortSetup->click();
    EXPECT_TRUE(errors().empty()) << testing::PrintToString(errors());
}

TEST_F(TerminalTest, ControlBytesShowInHexAndTheNextTextContinuesOnTheSameLine)
{
    openPort();
    port().inject("AB\r\n");
    ASSERT_TRUE(receiveShows("AB<0x0D><0x0A>"));
    port().inject(std::string("CD\0\x02", 4));
    ASSERT_TRUE(receiveShows("AB<0x0D><0x0A>CD<0x00><0x02>"));
    EXPECT_EQ(qtWidget<ReceiveView>(form().MemoReceiveRun)->wrapped().rowCount(), 1u);
    EXPECT_EQ(qtWidget<ReceiveView>(form().MemoReceiveRun)->rowText(0),
              QString("AB<0x0D><0x0A>CD<0x00><0x02>"));

    // DEL and the bytes above 127 are characters of the code page, never written out.
    form().ClearReceiveRun->click();
    EXPECT_EQ(form().MemoReceiveRun->text(), "");
    port().inject("\x7F\xE9\x80");
    ASSERT_TRUE(receiveShows("\x7F\xE9\x80"));
    EXPECT_EQ(form().MemoReceiveRun->text(), "\x7F\xE9\x80");
}

TEST_F(TerminalTest, TheSharedScenarioSendsAndShows)
{
    expectTestTabSendsAndShows(form(), "COM1");
}

TEST_F(TerminalTest, TheSharedScenariosCountAndCaptureBytes)
{
    expectTestTabCountsAndCaptures(form(), "COM1");
}

TEST_F(TerminalTest, TheSharedScenarioSendsLineEndsEscapesFilesAndRepeats)
{
    expectTestTabSendSide(form(), "COM1");
}

TEST_F(TerminalTest, TheSharedScenarioSwitchesAndShowsTheModemLines)
{
    expectTestTabModemLines(form(), "COM1");
}

TEST_F(TerminalTest, TheSharedScenarioLosesTheAdapterAndOpensAgain)
{
    expectLostAdapterEndsTheTestConnection(form(), "COM1");
}

// The choices a window stores (each window test has a settings folder of its own).
using ReceiveOptionsTest = TerminalTest;

TEST_F(ReceiveOptionsTest, TheSharedScenarioShowsEachViewAndAWindowStartsWithTheLastChoices)
{
    expectTestTabViews(form(), "COM1");
    form().MemoReceiveRun->choose(0, 2);
    form().MemoReceiveRun->choose(1, 1);
    TMainForm next;
    EXPECT_EQ(next.MemoReceiveRun->choices()[0].chosen, 2);
    EXPECT_EQ(next.MemoReceiveRun->choices()[1].chosen, 1);
}

TEST_F(ReceiveOptionsTest, TheSharedScenarioEchoesSendsAndWaitsForTheLostAdapter)
{
    expectTestTabEchoesAndWaitsForTheAdapter(form(), "COM1");
}

// The module's port vanishes under its name and comes back on another pty: the tab opens the
// name again; what is saved as received holds no echo nor marker.
TEST_F(ReceiveOptionsTest, ReconnectOpensTheVanishedNameAgainAndSavesOnlyReceivedBytes)
{
    ReceiveBox &box = *form().MemoReceiveRun;
    box.choose(2, 1);
    box.choose(3, 1);
    openPort();
    form().MemoSendRun->type('x');
    ASSERT_TRUE(receiveShows("> x\nx"));
    m_simulator.vanish();
    ASSERT_TRUE(
        pumpEvents([&] { return form().ReconnectRun->caption() == "Waiting for COM1\x85"; }));
    m_simulator.bringBack();
    ASSERT_TRUE(pumpEvents([&] { return form().ComPort1->Connected(); }));
    form().MemoSendRun->type('y');
    EXPECT_TRUE(receiveShows(
        "> x\nx\n--- device lost, waiting for it to return ---\n--- device back ---\n> y\ny"));
    EXPECT_EQ(savedBytes(), "xy");
    for (const int view : {2, 0}) {
        box.choose(0, view);
        EXPECT_EQ(savedBytes(), "xy") << view;
    }
    form().ClosePortRun->click();
}

TEST_F(TerminalTest, SendTextSendsExactlyTheEditBoxBytes)
{
    openPort();
    form().SendStringRun->click();
    ASSERT_TRUE(module().waitForRunBytes(16, 2s));
    // Nothing follows the text: no CR, no LF.
    pumpEvents(never, 200ms);
    EXPECT_EQ(module().runBytes(), "Test Send String");
    EXPECT_EQ(form().EditSendRun->text(), "Test Send String");
    EXPECT_TRUE(receiveShows("Test Send String"));

    module().clearLog();
    form().EditSendRun->clear();
    form().SendStringRun->click();
    pumpEvents(never, 100ms);
    EXPECT_EQ(module().runBytes(), "");
}

TEST_F(TerminalTest, EachTypedKeyGoesOutAsOneByteWhileTheSendBoxShowsTheTyping)
{
    openPort();
    QTest::keyClick(qtWidget(form().MemoSendRun), Qt::Key_A);
    QTest::keyClick(qtWidget(form().MemoSendRun), Qt::Key_Return);
    QTest::keyClick(qtWidget(form().MemoSendRun), Qt::Key_B);
    ASSERT_TRUE(module().waitForRunBytes(3, 2s));
    EXPECT_EQ(module().runBytes(), "a\rb");
    EXPECT_EQ(form().MemoSendRun->text(), "a\nb");
    EXPECT_TRUE(receiveShows("a<0x0D>b"));

    QTest::keyClick(qtWidget(form().MemoSendRun), Qt::Key_Backspace);
    QTest::keyClick(qtWidget(form().MemoSendRun), Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(qtWidget(form().MemoSendRun), Qt::Key_Escape);
    ASSERT_TRUE(module().waitForRunBytes(6, 2s));
    EXPECT_EQ(module().runBytes(), "a\rb\x08\x03\x1B");
    EXPECT_EQ(form().MemoSendRun->text(), "a\n");

    // Closing keeps both boxes' texts; "CLEAR SEND" empties the send box only.
    form().ClosePortRun->click();
    EXPECT_EQ(form().MemoSendRun->text(), "a\n");
    EXPECT_FALSE(form().MemoReceiveRun->text().empty());
    openPort();
    form().ClearSendRun->click();
    EXPECT_EQ(form().MemoSendRun->text(), "");
    EXPECT_FALSE(form().MemoReceiveRun->text().empty());
}

TEST_F(TerminalTest, BytesWaitWhileTheHelpTabIsShownUntilTheNextByteOnTheTestTab)
{
    openPort();
    form().PageControl1->setActivePage(HelpTab);
    port().inject("XY");
    pumpEvents(never, 300ms);
    EXPECT_EQ(form().MemoReceiveRun->text(), "");

    // Coming back announces nothing: the bytes were announced while the help tab was shown.
    form().PageControl1->setActivePage(TestTab);
    pumpEvents(never, 200ms);
    EXPECT_EQ(form().MemoReceiveRun->text(), "");
    port().inject("Z");
    EXPECT_TRUE(receiveShows("XYZ"));
}

TEST_F(TerminalTest, TheViewFollowsNewTextUnlessScrolledBack)
{
    auto *view = qtWidget<ReceiveView>(form().MemoReceiveRun);
    openPort();
    std::string lines;
    for (int i = 0; i < 80; ++i)
        lines += "0123456789 abcdefghij ";
    port().inject(lines);
    ASSERT_TRUE(receiveShows(lines));
    ASSERT_GT(view->wrapped().rowCount(), 3u * view->visibleRows());
    EXPECT_TRUE(view->atEnd());
    EXPECT_EQ(view->topRow() + view->visibleRows(), view->wrapped().rowCount());

    // Back with the wheel: new text does not pull the view away.
    QWheelEvent wheel(QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, 2 * QWheelEvent::DefaultDeltasPerStep), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view, &wheel);
    ASSERT_FALSE(view->atEnd());
    const std::uint64_t readingAt = view->topRow();
    port().inject(lines);
    ASSERT_TRUE(receiveShows(lines + lines));
    EXPECT_EQ(view->topRow(), readingAt);

    // Down to the end with the keyboard: the view follows again.
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_TRUE(view->atEnd());
    port().inject(lines);
    ASSERT_TRUE(receiveShows(lines + lines + lines));
    EXPECT_TRUE(view->atEnd());
    EXPECT_GT(view->topRow(), readingAt);
}

TEST_F(TerminalTest, TheReceiveBoxSavesTheBytesAsReceivedAlsoAfterAClear)
{
    openPort();
    port().inject("\r<0x41>");
    ASSERT_TRUE(receiveShows("<0x0D><0x41>"));
    EXPECT_EQ(savedBytes(), "\r<0x41>");
    form().ClearReceiveRun->click();
    port().inject("<0x41>\n");
    ASSERT_TRUE(receiveShows("<0x41><0x0A>"));
    EXPECT_EQ(savedBytes(), "<0x41>\n");
    form().ClosePortRun->click();
    EXPECT_TRUE(errors().empty()) << testing::PrintToString(errors());
}
