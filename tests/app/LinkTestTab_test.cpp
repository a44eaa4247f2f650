// The link test tab against the simulated module at RUN, which sends back what it gets as a
// far module with a loopback plug would: a counted run ends by itself with every packet back,
// the figures shown and the saved report agree, and the port is shared by the window's rule;
// a port held elsewhere and a link where nothing comes back end in the error box with advice.
// Before any Qt header: the module model has a member that Qt's "emit" keyword would hide.
#include "tests/support/SimulatorFixture.h"

#include "tests/app/TestTabSupport.h"
#include "tests/app/WindowScenarios.h"

#include "framework/core/HandlerGuard.h"
#include "serial/ComPort.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

using enum ControlId;

class LinkTestTabTest : public TestTabTest
{
protected:
    static constexpr int LinkTab = 3;

    void SetUp() override
    {
        TestTabTest::SetUp();
        form().PageControl1->setActivePage(LinkTab);
    }

    void chooseLinkPort()
    {
        form().ComboPortLink->onDropDown(form().ComboPortLink);
        ASSERT_EQ(form().ComboPortLink->count(), 1);
        form().ComboPortLink->setItemIndex(0);
        form().ComboPortLink->onChange(form().ComboPortLink);
    }

    // Starts a run of count packets of 16 bytes at 19200 bit/s from the keyboard.
    void start(int count)
    {
        form().ComboBaudLink->setItemIndex(4);
        form().PacketSizeLink->setPosition(16);
        form().PacketCountLink->setPosition(count);
        form().StartLink->setFocus();
        QTest::keyClick(qtWidget(form().StartLink), Qt::Key_Space);
    }

    bool ended() { return form().LinkState->text() == "Ended"; }
};

} // namespace

TEST_F(LinkTestTabTest, CountedRunEndsWithEveryPacketBackAndTheReportAgreesWithTheBoxes)
{
    EXPECT_FALSE(form().StartLink->enabled());
    chooseLinkPort();
    start(40);
    ASSERT_TRUE(form().ComPort1->Connected());
    // The test holds the port: no tab may open it; Stop has the focus.
    EXPECT_TRUE(shows(form(), controlStates({StopLink}, {ComboPortSetup, OpenPortSetup,
                                                         ComboPortRun, OpenPortRun, StartLink})));
    EXPECT_TRUE(form().StopLink->hasFocus());

    ASSERT_TRUE(pumpEvents([&] { return ended(); }, 20s)) << form().SentLink->text();
    EXPECT_FALSE(form().ComPort1->Connected());
    EXPECT_EQ(form().SentLink->text(), "40");
    EXPECT_EQ(form().ReceivedLink->text(), "40");
    EXPECT_EQ(form().LostLink->text(), "0 (0.0%)");
    EXPECT_EQ(form().DamagedLink->text(), "0");
    EXPECT_TRUE(qtWidget(form().ChartLink)->accessibleDescription().endsWith(", 0 of 40 lost"))
        << qtWidget(form().ChartLink)->accessibleDescription().toStdString();
    EXPECT_EQ(qtWidget<qt::RoundTripChart>(form().ChartLink)->points().size(), 40u);
    EXPECT_TRUE(shows(form(), controlStates({StartLink, SaveReportLink, ComboPortSetup,
                                             OpenPortSetup, ComboPortRun, OpenPortRun},
                                            {StopLink})));
    EXPECT_TRUE(form().StartLink->hasFocus());

    QTemporaryDir dir;
    const QString file = dir.filePath("report.csv");
    form().saveLinkReport(file.toStdString());
    QFile saved(file);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const std::string report = saved.readAll().toStdString();
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1 + 40 + 1 + 4);
    for (const Edit *box : {form().P50Link, form().MaxLink}) {
        const std::string shown = box->text().substr(0, box->text().size() - 3); // without " ms"
        EXPECT_NE(report.find(" " + shown), std::string::npos) << shown << "\n" << report;
    }
    EXPECT_NE(report.find("# COM1 -> COM1: sent 40, received 40, damaged 0, lost 0,"),
              std::string::npos);

    // A report that cannot be written is an error, not a silent loss.
    runGuarded([&] { form().saveLinkReport(dir.filePath("no/such.csv").toStdString()); });
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_NE(errors()[0].find("Cannot write the report to "), std::string::npos) << errors()[0];
}

TEST_F(LinkTestTabTest, TheSharedScenarioRunsToItsEnd)
{
    expectLinkTestRunsToItsEnd(form(), "COM1");
}

TEST_F(LinkTestTabTest, StopEndsARunUntilStoppedAndThePortIsFreeAgain)
{
    chooseLinkPort();
    form().UntilStoppedLink->click();
    EXPECT_FALSE(form().PacketCountLink->enabled());
    start(1);
    ASSERT_TRUE(pumpEvents([&] { return std::stoi(form().ReceivedLink->text()) >= 5; }, 10s))
        << form().SentLink->text() << " " << form().LinkState->text()
        << testing::PrintToString(errors());
    QTest::keyClick(qtWidget(form().StopLink), Qt::Key_Space);
    ASSERT_TRUE(pumpEvents([&] { return ended(); }, 10s));
    EXPECT_TRUE(form().StartLink->hasFocus());
    const int sent = std::stoi(form().SentLink->text());
    EXPECT_GT(sent, 1);
    EXPECT_EQ(std::stoi(form().ReceivedLink->text()), sent);
    EXPECT_FALSE(form().PacketCountLink->enabled());

    // The test tab may have the port now, and while it does, the link test may not.
    form().PageControl1->setActivePage(1);
    choosePort();
    form().OpenPortRun->click();
    ASSERT_TRUE(form().ComPort1->Connected());
    EXPECT_TRUE(shows(form(), controlStates({}, {ComboPortLink, StartLink})));
}

TEST_F(LinkTestTabTest, PortHeldElsewhereOrSilentLinkEndsInTheErrorBoxWithAdvice)
{
    chooseLinkPort();
    {
        TComPort other;
        other.setPort("COM1");
        other.Open();
        start(10);
        ASSERT_EQ(errors().size(), 1u);
        EXPECT_EQ(errors()[0], "Unable to open com port (win error code: 5)");
        EXPECT_NE(advice()[0].find("Another program is using the port"), std::string::npos);
        EXPECT_FALSE(form().StopLink->enabled());
        EXPECT_TRUE(form().StartLink->enabled());
    }
    // At SETUP the module answers frames only: the packets never come back.
    module().setSlideSwitch(SimulatedModule::SlideSwitch::Setup);
    start(10);
    ASSERT_TRUE(pumpEvents([&] { return errors().size() == 2; }, 15s));
    EXPECT_EQ(errors()[1].rfind("Nothing came back over the link within ", 0), 0u) << errors()[1];
    EXPECT_NE(advice()[1].find("slide switches are at RUN"), std::string::npos) << advice()[1];
    EXPECT_NE(advice()[1].find("pair check"), std::string::npos) << advice()[1];
    EXPECT_TRUE(ended());
    EXPECT_FALSE(form().ComPort1->Connected());
    EXPECT_TRUE(form().StartLink->enabled());
}
