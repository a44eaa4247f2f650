// The window end to end through real drivers: the setup tab opens COM1 (the guest's
// /dev/ttyS1), reads the module the far end plays, saves and closes; the test tab loses one
// of our USB adapters and gets it back.
#include "tests/drivers/suite/FarEnd.h"

#include "tests/app/WindowScenarios.h"
#include "tests/app/WindowTestSupport.h"

#include "tests/support/Pump.h"

#include <chrono>
#include <fcntl.h>
#include <unistd.h>

TEST(Window, SetupTabReadsSavesAndClosesThroughTheUartDriver)
{
    // Settings other than the factory ones, so that what the window shows came over the line.
    FarEnd::setRole("S1", "module 0=4 1=1 2=0 3=2 4=100 5=10 7=171");
    ReportSink sink;
    TMainForm form;
    ASSERT_TRUE(choose(form.ComboPortSetup, "COM1"));

    form.OpenPortSetup->click();

    expectShowsTheModule(form);

    // The channel display is set from the module's acknowledgement of the stored value.
    form.RFChannel->setPosition(42);
    form.SaveConfig->click();

    EXPECT_EQ(form.StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(form.RFChannelDisplay->text(), "42");
    EXPECT_EQ(FarEnd::received("S1").count, 15u * 12u); // eight reads, seven writes

    form.ClosePortSetup->click();
    EXPECT_EQ(form.StatusConnect->text(), "Disconnect");
    EXPECT_FALSE(form.ComPort1->Connected());
    EXPECT_TRUE(sink.messages().empty()) << sink.messages().front();
}

TEST(Window, TheTestTabNamesARateTheUartRefuses)
{
    FarEnd::setRole("S1", "echo");
    ReportSink sink;
    TMainForm form;
    form.PageControl1->setActivePage(1);
    ASSERT_TRUE(choose(form.ComboPortRun, "COM1"));
    form.ComboBaudRun->setText("250000");

    form.OpenPortRun->click();

    EXPECT_FALSE(form.ComPort1->Connected());
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_EQ(sink.messages()[0], "SetCommState function failed (win error code: 87)");
    EXPECT_EQ(sink.advice()[0], "The device cannot run at 250000 bit/s: choose another rate.");
}

namespace {

void chooseTestPort(TMainForm &form, const char *comName)
{
    ASSERT_TRUE(choose(form.ComboPortRun, comName)) << comName;
}

bool receiveShows(TMainForm &form, const std::string &text)
{
    return pumpEvents([&] { return form.MemoReceiveRun->text().find(text) != std::string::npos; });
}

} // namespace

// The test tab on one of our USB adapters with data going both ways: the adapter is pulled,
// the user sees one error box, "Close" works, and "Open" works once it is back.
TEST(Window, TheTestTabGivesOneErrorBoxWhenItsAdapterIsPulledAndOpensItAgainAfterReplug)
{
    using namespace std::chrono_literals;
    const FarEnd::Port &adapter = FarEnd::portOf("COM5");
    FarEnd::setRole(adapter.line, "echo");
    ReportSink sink;
    TMainForm form;
    form.PageControl1->setActivePage(1);
    chooseTestPort(form, adapter.com);
    form.OpenPortRun->click();
    ASSERT_TRUE(form.ComPort1->Connected()) << testing::PrintToString(sink.messages());
    form.EditSendRun->setText("traffic");
    form.SendStringRun->click();
    ASSERT_TRUE(receiveShows(form, "traffic"));

    FarEnd::call(std::string("unplug ") + adapter.line);
    ASSERT_TRUE(pumpEvents([&] { return !sink.messages().empty(); }, 3s));
    pumpEvents([] { return false; }, 500ms);
    ASSERT_EQ(sink.messages().size(), 1u) << testing::PrintToString(sink.messages());
    EXPECT_EQ(sink.messages()[0], "WaitForEvent method failed (win error code: 31)");
    form.ClosePortRun->click();
    EXPECT_FALSE(form.ComPort1->Connected());

    FarEnd::call(std::string("plug ") + adapter.line);
    ASSERT_TRUE(FarEnd::republish(adapter, 3000));
    // The node can show before its driver takes an open; a user clicks once it does.
    ASSERT_TRUE(pumpEvents(
        [&] {
            const int fd = ::open(FarEnd::nodeOf(adapter).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            return fd >= 0 && ::close(fd) == 0;
        },
        3s));
    chooseTestPort(form, adapter.com);
    form.OpenPortRun->click();
    ASSERT_TRUE(form.ComPort1->Connected()) << testing::PrintToString(sink.messages());
    form.EditSendRun->setText("back");
    form.SendStringRun->click();
    EXPECT_TRUE(receiveShows(form, "back"));
    form.ClosePortRun->click();
    EXPECT_FALSE(form.ComPort1->Connected());
    EXPECT_EQ(sink.messages().size(), 1u) << testing::PrintToString(sink.messages());
}
