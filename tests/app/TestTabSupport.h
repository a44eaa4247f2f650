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
        form().PageControl1->setCurrentIndex(TestTab);
    }

    SimulatedModule &module() { return m_simulator.module(); }
    SimulatorPort &port() { return m_simulator.port(); }
    const std::string &portDirectory() const { return m_simulator.portDirectory(); }

    // The user drops the port list down and chooses the simulator's port.
    void choosePort()
    {
        form().ComboPortRun->onDropDown();
        ASSERT_EQ(form().ComboPortRun->count(), 1);
        form().ComboPortRun->setItemIndex(0);
        form().ComboPortRun->onChange();
    }

    // The user replaces the rate box's text: typed key by key, or pasted when it is long or
    // has characters beyond ASCII (which the key simulation cannot type).
    void typeRate(const QString &text)
    {
        QLineEdit *edit = form().ComboBaudRun->lineEdit();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        const bool ascii =
            std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
        if (text.size() > 100 || !ascii)
            edit->insert(text);
        else
            QTest::keyClicks(edit, text);
        ASSERT_EQ(form().ComboBaudRun->currentText(), text);
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
