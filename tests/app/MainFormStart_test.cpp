// The window as it starts: built from its stored layout with its initial control states.
#include "tests/app/WindowTestSupport.h"

TEST_F(WindowTest, StartsOnTheSetupTabWithNothingToOpenAndTheTerminalAt9600)
{
    EXPECT_EQ(form().PageControl1->currentIndex(), 0);
    EXPECT_EQ(form().PortOpened, 0);
    EXPECT_FALSE(form().OpenPortSetup->isEnabled());
    EXPECT_FALSE(form().OpenPortRun->isEnabled());
    EXPECT_TRUE(form().ComboPortSetup->isEnabled());
    EXPECT_EQ(form().ComboPortSetup->count(), 0);
    EXPECT_EQ(form().ComboBaudRun->currentText(), QStringLiteral("9600"));
    EXPECT_FALSE(form().MemoSendRun->isEnabled());
    EXPECT_FALSE(form().ComPort1->Connected());
    EXPECT_TRUE(errors().empty());
}
