// The window while it runs: what a tab change does to the rate boxes and "Open"
// buttons, and how an error in a handler reaches the user without ending the program.
#include "tests/app/WindowScenarios.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/PtyPair.h"

#include "framework/qt/ErrorBox.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabBar>
#include <QTest>

#include <map>

namespace {

// The user switches tabs with the mouse.
void clickTab(TMainForm &form, int index)
{
    QTabBar *bar = qtWidget<QTabWidget>(form.PageControl1)->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

// The user types into the rate box, replacing what it shows.
void typeRate(TMainForm &form, const QString &text)
{
    QLineEdit *edit = qtWidget<QComboBox>(form.ComboBaudRun)->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

std::map<QString, bool> enabledStates(const TMainForm &form)
{
    std::map<QString, bool> states;
    for (const QWidget *widget : qtWindow(form).findChildren<QWidget *>())
        if (!widget->objectName().isEmpty())
            states[widget->objectName()] = widget->isEnabled();
    return states;
}

} // namespace

TEST_F(ShownWindowTest, TabChangeSetsTheRateBoxesFromTheSetupTabsBaudRate)
{
    // The test tab's and the link test tab's boxes alike.
    const auto expectRates = [&](const std::string &rate, int index) {
        for (const ComboBox *box : {form().ComboBaudRun, form().ComboBaudLink}) {
            EXPECT_EQ(box->text(), rate) << box->name();
            EXPECT_EQ(box->itemIndex(), index) << box->name();
        }
    };
    form().SelectBaudrateSetup->setItemIndex(4); // "19200 BPS", as a settings read leaves it
    clickTab(form(), 1);
    EXPECT_EQ(form().PageControl1->activePage(), 1);
    expectRates("19200", 4);
    // Whichever tab becomes active.
    form().SelectBaudrateSetup->setItemIndex(0);
    clickTab(form(), 3);
    expectRates("1200", 0);
    form().SelectBaudrateSetup->setItemIndex(-1);
    clickTab(form(), 0);
    expectRates("9600", 3);
    EXPECT_TRUE(errors().empty());
}

TEST_F(WindowTest, TabChangesFromCodeFollowTheSetupRateAsOnEveryToolkit)
{
    expectRateBoxesFollowTheSetupRate(form());
}

TEST_F(ShownWindowTest, TabChangeReplacesATypedRateUnlessItIsTheWantedOne)
{
    clickTab(form(), 1);
    typeRate(form(), QStringLiteral("38400"));
    ASSERT_EQ(form().ComboBaudRun->text(), "38400");
    clickTab(form(), 0);
    EXPECT_EQ(form().ComboBaudRun->text(), "9600");

    form().SelectBaudrateSetup->setItemIndex(4);
    clickTab(form(), 1);
    typeRate(form(), QStringLiteral("19200"));
    clickTab(form(), 2);
    EXPECT_EQ(form().ComboBaudRun->text(), "19200");
    // A typed text that merely starts like the wanted item is not it.
    clickTab(form(), 1);
    typeRate(form(), QStringLiteral("192000"));
    clickTab(form(), 0);
    EXPECT_EQ(form().ComboBaudRun->text(), "19200");
}

TEST_F(ShownWindowTest, TabChangeDisablesTestOpenOnlyWithoutAChosenPort)
{
    // Closing the setup connection enables both "Open" buttons, chosen port or not.
    form().OpenPortRun->setEnabled(true);
    form().OpenPortSetup->setEnabled(true);
    clickTab(form(), 1);
    EXPECT_FALSE(form().OpenPortRun->enabled());
    EXPECT_TRUE(form().OpenPortSetup->enabled());

    form().ComboPortRun->addItem("COM1");
    form().ComboPortRun->setItemIndex(0);
    clickTab(form(), 2);
    EXPECT_FALSE(form().OpenPortRun->enabled()); // never enabled by a tab change
    form().OpenPortRun->setEnabled(true);
    clickTab(form(), 0);
    EXPECT_TRUE(form().OpenPortRun->enabled());
    EXPECT_TRUE(form().OpenPortSetup->enabled());
}

TEST_F(ShownWindowTest, FailedOpenIsShownAndTheWindowGoesOn)
{
    PortDirectory ports;
    ports.publishPath(ports.path() + "/unplugged", 5);
    form().ComboPortSetup->addItem("COM5");
    form().ComboPortSetup->setItemIndex(0);
    form().OpenPortSetup->setEnabled(true);
    const auto before = enabledStates(form());

    QTest::mouseClick(qtWidget(form().OpenPortSetup), Qt::LeftButton);
    // The message ends in ")", which comes before "." in character order: no "." is added.
    EXPECT_EQ(errors(), std::vector<std::string>{"Unable to open com port (win error code: 2)"});
    EXPECT_EQ(enabledStates(form()), before);
    EXPECT_EQ(form().PortOpened, 1); // set before the open was tried
    EXPECT_FALSE(form().ComPort1->Connected());

    // Still usable: the next click fails the same way, a tab change still works.
    QTest::mouseClick(qtWidget(form().OpenPortSetup), Qt::LeftButton);
    EXPECT_EQ(errors().size(), 2u);
    form().SelectBaudrateSetup->setItemIndex(4);
    clickTab(form(), 1);
    EXPECT_EQ(form().ComboBaudRun->text(), "19200");
}

TEST_F(ShownWindowTest, ErrorEndingInALetterIsShownWithAFullStop)
{
    PortDirectory ports;
    PtyPair pty;
    ports.publish(pty, 2);
    clickTab(form(), 1);
    qtWidget<QComboBox>(form().ComboPortRun)->showPopup();
    qtWidget<QComboBox>(form().ComboPortRun)->hidePopup();
    QTest::keyClick(qtWidget(form().ComboPortRun), Qt::Key_Down);
    ASSERT_TRUE(form().OpenPortRun->enabled());
    typeRate(form(), QStringLiteral("fast"));

    QTest::mouseClick(qtWidget(form().OpenPortRun), Qt::LeftButton);
    EXPECT_EQ(errors(), std::vector<std::string>{"'fast' is not a valid integer value."});
    EXPECT_FALSE(form().ComPort1->Connected());
    EXPECT_FALSE(form().ClosePortRun->enabled());

    typeRate(form(), QStringLiteral("4800"));
    QTest::mouseClick(qtWidget(form().OpenPortRun), Qt::LeftButton);
    EXPECT_EQ(errors().size(), 1u);
    EXPECT_TRUE(form().ComPort1->Connected());
    EXPECT_EQ(form().ComPort1->CustomBaudRate(), 4800);
    QTest::mouseClick(qtWidget(form().ClosePortRun), Qt::LeftButton);
    EXPECT_FALSE(form().ComPort1->Connected());
}

TEST_F(ShownWindowTest, ReadersSeeTheWindowTheRateBoxByItsLabelTheReceivedTextAndTheChart)
{
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(&qtWindow(form()));
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), qtWindow(form()).windowTitle());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(qtWidget(form().ChartLink))->role(),
              QAccessible::Chart);
    QAccessibleInterface *rate =
        QAccessible::queryAccessibleInterface(qtWidget(form().ComboBaudRun));
    EXPECT_EQ(rate->text(QAccessible::Name), "Baudrate Select");
    EXPECT_EQ(rate->text(QAccessible::Value), "9600");

    auto *box = qtWidget<ReceiveView>(form().MemoReceiveRun);
    box->append("AB<0x0D>\xE9");
    box->select(1, 3);
    QAccessibleInterface *received = QAccessible::queryAccessibleInterface(box);
    EXPECT_TRUE(received->state().readOnly);
    QAccessibleTextInterface *text = received->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->characterCount(), 9);
    EXPECT_EQ(text->text(0, 9), QString::fromUtf8("AB<0x0D>\u00E9"));
    EXPECT_EQ(text->cursorPosition(), 3);
    int start = -1, end = -1;
    ASSERT_EQ(text->selectionCount(), 1);
    text->selection(0, &start, &end);
    EXPECT_EQ(std::pair(start, end), std::pair(1, 3));
}

TEST_F(ShownWindowTest, EnterOrSpaceOnAFocusedButtonPressesIt)
{
    auto *clear = qtWidget<QPushButton>(form().ClearSendRun);
    clickTab(form(), 1);
    clear->setEnabled(true);
    form().MemoSendRun->setEnabled(true);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        form().MemoSendRun->setText("typed");
        clear->setFocus();
        QTest::keyClick(clear, key);
        EXPECT_TRUE(form().MemoSendRun->text().empty()) << key;
    }
}

TEST_F(ShownWindowTest, TheErrorBoxUsesTheDialogFontNotTheWindowFont)
{
    QFont shown;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->font();
        box->accept();
    });
    showErrorBox("Unable to open com port (win error code: 2)", "");
    EXPECT_EQ(shown.family(), QApplication::font("QMessageBox").family());
    EXPECT_FALSE(shown.bold());
}
