// The two port lists against a private port directory of real pseudo-terminals: what a
// drop-down lists, in which order, what it removes, and what choosing an item enables.
#include "tests/app/WindowTestSupport.h"
#include "tests/support/PtyPair.h"

#include "platform/win32.h"

#include <QAbstractItemView>
#include <QTest>

#include <array>

namespace {

// What the user does to look at a list: open it (the drop-down handler runs first), then
// close it again; what it listed.
QStringList dropDown(ComboBox *list)
{
    qtWidget<QComboBox>(list)->showPopup();
    qtWidget<QComboBox>(list)->hidePopup();
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(QString::fromStdString(list->item(i)));
    return texts;
}

// Another program holding a port: the exclusive open the port component itself uses.
class HeldPort
{
public:
    explicit HeldPort(const std::string &name)
        : m_handle(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr))
    {}
    ~HeldPort()
    {
        if (held())
            CloseHandle(m_handle);
    }
    bool held() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

class PortDiscoveryTest : public ShownWindowTest
{
protected:
    PortDirectory ports;
    std::array<PtyPair, 4> ptys;
};

} // namespace

TEST_F(PortDiscoveryTest, NoPortsLeaveBothListsEmptyAndOpenDisabled)
{
    EXPECT_TRUE(dropDown(form().ComboPortSetup).isEmpty());
    EXPECT_TRUE(dropDown(form().ComboPortRun).isEmpty());
    EXPECT_EQ(form().ComboPortSetup->itemIndex(), -1);
    EXPECT_FALSE(form().OpenPortSetup->enabled());
    EXPECT_FALSE(form().OpenPortRun->enabled());
    EXPECT_TRUE(errors().empty());
}

TEST_F(PortDiscoveryTest, ListsPresentPortsInTextOrderOnceEach)
{
    ports.publish(ptys[0], 1);
    ports.publish(ptys[1], 3);
    ports.publish(ptys[2], 17); // beyond the probed names
    EXPECT_EQ(dropDown(form().ComboPortSetup), (QStringList{"COM1", "COM3"}));
    EXPECT_EQ(dropDown(form().ComboPortSetup), (QStringList{"COM1", "COM3"}));

    ports.publish(ptys[3], 10);
    ports.publish(ptys[2], 2);
    EXPECT_EQ(dropDown(form().ComboPortSetup), (QStringList{"COM1", "COM10", "COM2", "COM3"}));
    // Each list is refreshed only by its own drop-down.
    EXPECT_EQ(form().ComboPortRun->count(), 0);
    EXPECT_EQ(dropDown(form().ComboPortRun), (QStringList{"COM1", "COM10", "COM2", "COM3"}));
    // The probe chooses nothing and enables nothing.
    EXPECT_EQ(form().ComboPortRun->itemIndex(), -1);
    EXPECT_FALSE(form().OpenPortRun->enabled());
    EXPECT_TRUE(errors().empty());
}

TEST_F(PortDiscoveryTest, PortHeldByAnotherProgramIsRemovedUntilReleased)
{
    ports.publish(ptys[0], 1);
    const std::string com3 = ports.publish(ptys[1], 3);
    EXPECT_EQ(dropDown(form().ComboPortRun), (QStringList{"COM1", "COM3"}));
    {
        HeldPort other(com3);
        ASSERT_TRUE(other.held());
        EXPECT_EQ(dropDown(form().ComboPortRun), QStringList{"COM1"});
    }
    EXPECT_EQ(dropDown(form().ComboPortRun), (QStringList{"COM1", "COM3"}));
    // The probe closes what it opens: the port is free for the next opener.
    EXPECT_TRUE(HeldPort(com3).held());
}

TEST_F(PortDiscoveryTest, ChosenItemStaysUntilItsPortGoesAway)
{
    ports.publish(ptys[0], 1);
    ports.publish(ptys[1], 3);
    ComboBox *list = form().ComboPortSetup;
    dropDown(list);
    list->setFocus();
    QTest::keyClick(qtWidget(list), Qt::Key_End);
    ASSERT_EQ(list->text(), "COM3");

    ports.publish(ptys[2], 2);
    EXPECT_EQ(dropDown(list), (QStringList{"COM1", "COM2", "COM3"}));
    EXPECT_EQ(list->text(), "COM3");

    ports.publishPath(ports.path() + "/gone", 3);
    EXPECT_EQ(dropDown(list), (QStringList{"COM1", "COM2"}));
    EXPECT_EQ(list->itemIndex(), -1);
    // Removing the chosen name takes back nothing that choosing it enabled.
    EXPECT_TRUE(form().OpenPortSetup->enabled());
}

TEST_F(PortDiscoveryTest, ChoosingAnyItemEnablesOpenButSettingTheIndexDoesNot)
{
    ports.publish(ptys[0], 1);
    ports.publish(ptys[1], 3);

    // Setup tab: the keyboard on the closed list.
    dropDown(form().ComboPortSetup);
    form().ComboPortSetup->setItemIndex(0);
    EXPECT_FALSE(form().OpenPortSetup->enabled());
    form().ComboPortSetup->setFocus();
    QTest::keyClick(qtWidget(form().ComboPortSetup), Qt::Key_Down);
    EXPECT_EQ(form().ComboPortSetup->text(), "COM3");
    EXPECT_TRUE(form().OpenPortSetup->enabled());
    EXPECT_FALSE(form().OpenPortRun->enabled());

    // Test tab: an item picked in the opened list.
    form().PageControl1->setActivePage(1);
    auto *list = qtWidget<qt::ComboBox>(form().ComboPortRun);
    list->showPopup();
    ASSERT_TRUE(list->view()->isVisible());
    list->view()->setCurrentIndex(list->model()->index(1, 0));
    QTest::keyClick(list->view(), Qt::Key_Return);
    EXPECT_FALSE(list->view()->isVisible());
    EXPECT_EQ(list->currentText(), QStringLiteral("COM3"));
    EXPECT_TRUE(form().OpenPortRun->enabled());
    EXPECT_TRUE(errors().empty());
}

TEST_F(PortDiscoveryTest, ListIsRefreshedBeforeItOpens)
{
    ports.publish(ptys[0], 4);
    for (auto *list : {qtWidget<qt::ComboBox>(form().ComboPortSetup),
                       qtWidget<qt::ComboBox>(form().ComboPortRun)}) {
        const std::function<void()> bound = list->onDropDown;
        bool openWhileProbing = true;
        list->onDropDown = [&] {
            openWhileProbing = list->view()->isVisible();
            bound();
        };
        list->showPopup();
        EXPECT_FALSE(openWhileProbing) << list->objectName().toStdString();
        EXPECT_TRUE(list->view()->isVisible());
        EXPECT_EQ(list->view()->model()->rowCount(), 1);
        list->hidePopup();
    }
}

TEST_F(PortDiscoveryTest, EachListedNameShowsItsDeviceAsToolTip)
{
    ports.publish(ptys[0], 1);
    ports.publish(ptys[1], 3);
    const auto toolTips = [](const ComboBox *list) {
        std::vector<std::string> tips;
        for (int i = 0; i < list->count(); ++i)
            tips.push_back(
                qtWidget<QComboBox>(list)->itemData(i, Qt::ToolTipRole).toString().toStdString());
        return tips;
    };
    for (ComboBox *list : {form().ComboPortSetup, form().ComboPortRun}) {
        EXPECT_EQ(dropDown(list), (QStringList{"COM1", "COM3"}));
        EXPECT_EQ(toolTips(list),
                  (std::vector<std::string>{ptys[0].slavePath(), ptys[1].slavePath()}));
    }

    // A name that now leads to another device shows that one from the next drop-down on.
    ports.publish(ptys[2], 3);
    EXPECT_EQ(dropDown(form().ComboPortRun), (QStringList{"COM1", "COM3"}));
    EXPECT_EQ(toolTips(form().ComboPortRun)[1], ptys[2].slavePath());
}
