// A port that cannot be opened: the error box keeps the port's message and adds one line on
// what the user can do, told apart by what stands behind the chosen name. (A device without
// permission needs an unprivileged user: tests/serial/ComPortLifecycle_test.cpp.)
#include "tests/app/SetupTabSupport.h"

#include "serial/ComPort.h"

#include <filesystem>

namespace {

bool mentions(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

class OpenFailureAdviceTest : public SetupTabTest
{
protected:
    // Puts a name the probe would not list into the setup list and chooses it.
    void chooseUnlisted(const std::string &name)
    {
        ComboBox *list = form().ComboPortSetup;
        list->choose(list->addItem(name));
    }
    void link(const std::string &target, const std::string &name)
    {
        std::filesystem::create_symlink(target, portDirectory() + "/" + name);
    }
};

} // namespace

TEST_F(OpenFailureAdviceTest, PortHeldByAnotherOpenerAdvisesClosingItThere)
{
    ASSERT_TRUE(choosePort());
    auto *list = qtWidget<QComboBox>(form().ComboPortSetup);
    EXPECT_EQ(list->itemData(list->findText(QStringLiteral("COM1")), Qt::ToolTipRole)
                  .toString()
                  .toStdString(),
              port().slavePath());
    TComPort other;
    other.setPort("COM1");
    other.Open();

    form().OpenPortSetup->click();
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0], "Unable to open com port (win error code: 5)");
    EXPECT_TRUE(mentions(advice()[0], "Another program is using the port")) << advice()[0];
    EXPECT_FALSE(form().ComPort1->Connected());

    other.Close();
    form().OpenPortSetup->click();
    EXPECT_EQ(form().StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(errors().size(), 1u);
}

TEST_F(OpenFailureAdviceTest, MissingOrUnmappedDeviceAdvisesPluggingInOrMapping)
{
    // The name leads to a path where nothing is: the device was unplugged.
    link(portDirectory() + "/ttyGONE", "COM2");
    chooseUnlisted("COM2");
    form().OpenPortSetup->click();
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0], "Unable to open com port (win error code: 2)");
    EXPECT_TRUE(mentions(advice()[0], portDirectory() + "/ttyGONE is missing or unplugged"))
        << advice()[0];

    // The name leads nowhere at all: it is not mapped.
    ASSERT_TRUE(choosePort());
    port().unpublish();
    form().OpenPortSetup->click();
    ASSERT_EQ(errors().size(), 2u);
    EXPECT_EQ(errors()[1], "Unable to open com port (win error code: 2)");
    EXPECT_TRUE(mentions(advice()[1], "No device is mapped")) << advice()[1];
    EXPECT_TRUE(mentions(advice()[1], portDirectory() + "/COM1")) << advice()[1];
}
