// The window as it starts: built from its stored layout with its initial control states and
// group boxes, the serial port's stored settings and the reply timer's first tick.
#include "tests/app/WindowScenarios.h"
#include "tests/app/WindowTestSupport.h"

#include "framework/qt/GroupBox.h"
#include "framework/qt/Timer.h"

#include <QElapsedTimer>

TEST_F(WindowTest, StartStatesFollowTheCreationHandler)
{
    expectStartStates(form());
    EXPECT_TRUE(errors().empty());
}

TEST_F(WindowTest, EveryGroupBoxDrawsItsCaptionOnItsFrameAndItsControlsInsideIt)
{
    for (const QGroupBox *box : qtWindow(form()).findChildren<QGroupBox *>()) {
        const std::string name = box->objectName().toStdString();
        const auto *own = qobject_cast<const GroupBox *>(box);
        ASSERT_NE(own, nullptr) << name;
        // Inside the frame's etched lines, which are two pixels wide.
        const QRect inside =
            QRect(QPoint(0, own->frameTop()), box->rect().bottomRight()).adjusted(2, 2, -2, -2);
        for (const QWidget *child : box->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(inside.contains(child->geometry()))
                << name << " / " << child->objectName().toStdString();
    }
}

TEST_F(WindowTest, SerialPortHoldsItsStoredSettingsAndIsClosed)
{
    const TComPort &port = *form().ComPort1;
    EXPECT_EQ(port.Name(), "ComPort1");
    EXPECT_FALSE(port.isLoading());
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.Events(), TComEvents::all());
    const TComFlowControl &flow = port.FlowControl();
    EXPECT_FALSE(flow.OutCTSFlow());
    EXPECT_FALSE(flow.OutDSRFlow());
    EXPECT_EQ(flow.ControlDTR(), dtrDisable);
    EXPECT_EQ(flow.ControlRTS(), rtsDisable);
    EXPECT_FALSE(flow.XonXoffOut());
    EXPECT_FALSE(flow.XonXoffIn());
    EXPECT_EQ(port.SyncMethod(), smThreadSync);

    // Received bytes are the window's business; no other event of the port has a handler.
    EXPECT_TRUE(port.OnRxChar);
    EXPECT_FALSE(port.OnRxBuf || port.OnTxEmpty || port.OnBreak || port.OnRing ||
                 port.OnCTSChange || port.OnDSRChange || port.OnRLSDChange || port.OnError ||
                 port.OnRxFlag || port.OnAfterOpen || port.OnAfterClose || port.OnBeforeOpen ||
                 port.OnBeforeClose || port.OnRx80Full);
}

TEST_F(WindowTest, ReplyTimerTicksOnceAboutHalfASecondAfterStartAndStops)
{
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(form().Timer1->enabled());
    EXPECT_EQ(form().Timer1->interval(), 500);
    EXPECT_EQ(form().ReplyTimedOut, 0);

    ASSERT_TRUE(pumpEvents([&] { return form().ReplyTimedOut == 1; }, 30s));
    EXPECT_GE(clock.elapsed(), 350);
    EXPECT_FALSE(form().Timer1->enabled());

    // Nothing ticks again until an exchange wait starts the timer.
    form().ReplyTimedOut = 0;
    pumpEvents(never, 800ms);
    EXPECT_EQ(form().ReplyTimedOut, 0);
    EXPECT_TRUE(errors().empty());
}
