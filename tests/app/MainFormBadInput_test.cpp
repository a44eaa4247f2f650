// What the user can get wrong in the window: rate texts typed into the test tab's rate box,
// ports that cannot be opened from either tab, and a device unplugged under an open test
// connection. Each shows its message exactly as the error box would and leaves the window as
// usable as before.
// Before any Qt header: the module model has a member that Qt's "emit" keyword would hide.
#include "tests/support/SimulatorFixture.h"

#include "tests/app/TestTabSupport.h"

#include "platform/posix/LineSettings.h"
#include "platform/win32.h"
#include "tests/support/PtyPair.h"

#include <QLineEdit>
#include <QtTest/QTest>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace {

using BadInputTest = TestTabTest;

struct RateCase
{
    QString typed;
    // The error box's text, or empty when the port opens at speed.
    std::string message;
    std::uint32_t speed = 0;
};

std::string notAnInteger(const std::string &text)
{
    return "'" + text + "' is not a valid integer value.";
}

const std::string refusedSpeed = "SetCommState function failed (win error code: 87)";

} // namespace

TEST_F(BadInputTest, RateTextsOpenAtTheirNumberOrAreRefusedWithTheirOwnMessage)
{
    const std::string manyDigits(10'000, '9');
    const RateCase cases[] = {
        // No number at all.
        {"", notAnInteger("")},
        {"   ", notAnInteger("   ")},
        {"+", notAnInteger("+")},
        {"-", notAnInteger("-")},
        {"$", notAnInteger("$")},
        {"0x", notAnInteger("0x")},
        {"9600 BPS", notAnInteger("9600 BPS")},
        {"9600 ", notAnInteger("9600 ")},
        {"9 600", notAnInteger("9 600")},
        {"96O0", notAnInteger("96O0")},
        {"19200.0", notAnInteger("19200.0")},
        {"1e5", notAnInteger("1e5")},
        // Digits outside the code page reach the program as "?".
        {QString::fromUtf8("\xEF\xBC\x99\xEF\xBC\x96"), notAnInteger("??")},
        // Beyond a signed 32-bit number.
        {"99999999999", notAnInteger("99999999999")},
        {"2147483648", notAnInteger("2147483648")},
        {"$100000000", notAnInteger("$100000000")},
        {QString::fromStdString(manyDigits), notAnInteger(manyDigits)},
        // Numbers that are no line speed: the device refuses them.
        {"0", refusedSpeed},
        {"-0", refusedSpeed},
        {"-9600", refusedSpeed},
        {"-1", refusedSpeed},
        {"$FFFFFFFF", refusedSpeed},
        {"-2147483648", refusedSpeed},
        // Numbers in every form the reader takes, and odd speeds a device may well take.
        {"+19200", "", 19200},
        {"   4800", "", 4800},
        {"$4B00", "", 19200},
        {"0x4b00", "", 19200},
        {"X4B00", "", 19200},
        {"007", "", 7},
        {"1", "", 1},
        {"50", "", 50},
        {"31250", "", 31250},
        {"250000", "", 250000},
        {"4000000", "", 4000000},
        {"2147483647", "", 2147483647},
    };

    choosePort();
    // Idle after a connection (which also enables the setup tab's "Open").
    form().OpenPortRun->click();
    ASSERT_TRUE(form().ComPort1->Connected());
    form().ClosePortRun->click();
    const ControlStates idle = shownStates(form());
    std::size_t shown = 0;
    for (const RateCase &c : cases) {
        const std::string label = "rate text '" + c.typed.left(20).toStdString() + "'";
        typeRate(c.typed);
        form().OpenPortRun->click();
        if (c.message.empty()) {
            ASSERT_TRUE(form().ComPort1->Connected()) << label << testing::PrintToString(errors());
            EXPECT_EQ(deviceSpeed(), c.speed) << label;
            EXPECT_EQ(errors().size(), shown) << label;
            form().ClosePortRun->click();
        } else {
            ASSERT_EQ(errors().size(), ++shown) << label;
            EXPECT_EQ(errors().back(), c.message) << label;
            EXPECT_FALSE(form().ComPort1->Connected()) << label;
            EXPECT_EQ(form().ComPort1->Handle(), INVALID_HANDLE_VALUE) << label;
            EXPECT_EQ(form().PortOpened, 1) << label;
        }
        // Either way the tab is back where it was, ready for the next try.
        EXPECT_EQ(shownStates(form()), idle) << label;
    }

    // The device was let go after every refusal: a good rate opens and carries data.
    typeRate("9600");
    form().OpenPortRun->click();
    ASSERT_TRUE(form().ComPort1->Connected());
    form().SendStringRun->click();
    EXPECT_TRUE(pumpEvents([&] { return form().MemoReceiveRun->text() == "Test Send String"; }));
    form().ClosePortRun->click();
    EXPECT_EQ(errors().size(), shown);
}

TEST_F(BadInputTest, PortsThatCannotBeOpenedAreReportedFromBothTabsAndNothingChanges)
{
    TMainForm &f = form();
    choosePort();
    const ControlStates idle = shownStates(form());

    // The listed port went away, then is held by another program.
    port().unpublish();
    f.OpenPortRun->click();
    HANDLE other = INVALID_HANDLE_VALUE;
    port().publish(portDirectory(), "COM1");
    other = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    f.OpenPortRun->click();
    EXPECT_EQ(shownStates(form()), idle);
    CloseHandle(other);

    // After a test connection the setup tab's "Open" is enabled with no port chosen there:
    // it tries the empty name.
    f.OpenPortRun->click();
    ASSERT_TRUE(f.ComPort1->Connected());
    f.ClosePortRun->click();
    f.PageControl1->setActivePage(0);
    ASSERT_EQ(f.ComboPortSetup->itemIndex(), -1);
    ASSERT_TRUE(f.OpenPortSetup->enabled());
    f.OpenPortSetup->click();
    EXPECT_EQ(f.ComPort1->Port(), "");
    EXPECT_FALSE(f.ComPort1->Connected());
    EXPECT_TRUE(shows(f, named::idleBothOpenable));

    EXPECT_EQ(errors(), (std::vector<std::string>{"Unable to open com port (win error code: 2)",
                                                  "Unable to open com port (win error code: 5)",
                                                  "Unable to open com port (win error code: 2)"}));

    // The window goes on: the test tab opens its port again.
    f.PageControl1->setActivePage(TestTab);
    f.OpenPortRun->click();
    EXPECT_TRUE(f.ComPort1->Connected());
    f.ClosePortRun->click();
    EXPECT_EQ(errors().size(), 3u);
}

TEST_F(BadInputTest, ADeviceThatHangsUpUnderATestConnectionFailsEachSendAndStillCloses)
{
    using namespace std::chrono_literals;
    // A pty of the test's own, so that its far end can go away; published as COM1 instead of
    // the module.
    PortDirectory ports;
    PtyPair pty;
    ports.publish(pty, 1);
    TMainForm &f = form();
    choosePort();
    f.OpenPortRun->click();
    ASSERT_TRUE(f.ComPort1->Connected());
    f.SendStringRun->click();
    EXPECT_EQ(pty.readSome(16, 2s), "Test Send String");

    pty.closeMaster();
    // The loss itself is announced once by the event thread.
    const std::string waitFailed = "WaitForEvent method failed (win error code: 31)";
    ASSERT_TRUE(pumpEvents([&] { return !errors().empty(); }));
    pumpEvents(never, 100ms);
    EXPECT_EQ(errors(), std::vector<std::string>{waitFailed});
    f.SendStringRun->click();
    QTest::keyClick(qtWidget(f.MemoSendRun), Qt::Key_A);
    pumpEvents(never, 100ms);
    const std::string writeFailed = "WriteFile function failed (win error code: 31)";
    // One message per send: the send text stops at its first byte.
    EXPECT_EQ(errors(), (std::vector<std::string>{waitFailed, writeFailed, writeFailed}));
    EXPECT_TRUE(f.ComPort1->Connected()) << "a failed write leaves the connection open";
    EXPECT_TRUE(shows(f, named::testConnected));

    f.ClosePortRun->click();
    EXPECT_FALSE(f.ComPort1->Connected());
    EXPECT_EQ(f.ComPort1->Handle(), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(shows(f, named::idleBothOpenable));
    EXPECT_EQ(errors().size(), 3u);
}
