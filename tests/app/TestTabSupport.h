// A window on the test tab with the simulated module in its RUN position (it echoes what it
// gets) published as the only port, and the steps a user takes there: choosing the port,
// typing a rate, and what the device's speed became.
// Include after tests/support/SimulatorFixture.h (before any Qt header).
#pragma once

#include "tests/app/WindowTestSupport.h"

#include "platform/posix/LineSettings.h"

#include <QLineEdit>
#include <QtTest/QTest>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

class TestTabTest : public WindowTest
{
protected:
    static constexpr int TestTab = 1;

    void SetUp() override
    {
        WindowTest::SetUp();
        m_simulator.module().setSlideSwitch(SimulatedModule::SlideSwitch::Run);
        form().PageControl1->setActivePage(TestTab);
        // Shown and active, so that typing reaches the focused box as it does for a user.
        form().show();
        QApplication::setActiveWindow(&qtWindow(form()));
        ASSERT_TRUE(QTest::qWaitForWindowActive(&qtWindow(form())));
    }

    SimulatedModule &module() { return m_simulator.module(); }
    SimulatorPort &port() { return m_simulator.port(); }
    const std::string &portDirectory() const { return m_simulator.portDirectory(); }

    // The user drops the port list down and chooses the simulator's port.
    void choosePort()
    {
        form().ComboPortRun->onDropDown(form().ComboPortRun);
        ASSERT_EQ(form().ComboPortRun->count(), 1);
        form().ComboPortRun->choose(0);
    }

    // The user clicks into the rate box and replaces its text: typed key by key into the
    // focused box, or pasted when it is long or has characters beyond ASCII (which the key
    // simulation cannot type).
    void typeRate(const QString &text)
    {
        auto *box = qtWidget<QComboBox>(form().ComboBaudRun);
        QLineEdit *edit = box->lineEdit();
        QTest::mouseClick(edit, Qt::LeftButton);
        ASSERT_TRUE(box->hasFocus());
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Delete);
        const bool ascii =
            std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
        if (text.size() > 100 || !ascii)
            edit->insert(text);
        else
            QTest::keyClicks(box, text);
        ASSERT_EQ(box->currentText(), text);
    }

    // The speed the device is set to, read back from the pty itself.
    std::uint32_t deviceSpeed()
    {
        const int fd = ::open(port().slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0);
        LineSettings settings;
        EXPECT_EQ(readLineSettings(fd, settings), 0);
        ::close(fd);
        return settings.speed;
    }

    SimulatorEnvironment m_simulator;
};
