// The window's scenarios on the Win32 backend, under Wine against zephra-sim on the COM port
// ZEPHRA_TEST_PORT, which sim-under-wine.sh starts: at SETUP holding the scenarios' settings
// for the *Answering* tests, silent for the *Silent* ones, at RUN (echoing) for the *Echo* ones.
#include "tests/app/WindowScenarios.h"

#include "framework/core/Application.h"
#include "tests/windows/OwnDesktop.h"

#include <cstdlib>
#include <memory>

namespace {

class WindowScenario : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = Application::instance().setExceptionReporter(
            [this](const std::string &message, const std::string &) {
                m_errors.push_back(message);
            });
        m_form = std::make_unique<TMainForm>();
    }
    void TearDown() override
    {
        m_form.reset();
        Application::instance().setExceptionReporter(m_previous);
        EXPECT_TRUE(m_errors.empty()) << m_errors.front();
    }

    TMainForm &form() { return *m_form; }
    // The user opens the simulated module's port on the setup tab.
    void openSetup()
    {
        ASSERT_TRUE(choose(form().ComboPortSetup, port()));
        form().OpenPortSetup->click();
    }
    static std::string port()
    {
        const char *port = std::getenv("ZEPHRA_TEST_PORT");
        return port ? port : "COM12";
    }

private:
    Application::ExceptionReporter m_previous;
    std::vector<std::string> m_errors;
    std::unique_ptr<TMainForm> m_form;
};

} // namespace

TEST_F(WindowScenario, AnsweringStartStatesThenOpenReadAndSaveShowTheModuleAndCloseEndsIt)
{
    expectStartStates(form());
    openSetup();
    expectShowsTheModule(form());
    expectReadThenSaveShowTheModule(form());
    EXPECT_TRUE(form().ComPort1->Connected());
    form().ClosePortSetup->click();
    EXPECT_EQ(form().StatusConnect->text(), "Disconnect");
    EXPECT_FALSE(form().ComPort1->Connected());
}

TEST_F(WindowScenario, SilentOpenTimesOut)
{
    openSetup();
    expectTimedOutOpen(form());
}

TEST_F(WindowScenario, EchoTabChangesThenTheTestTabThenALinkTest)
{
    expectRateBoxesFollowTheSetupRate(form());
    expectTestTabSendsAndShows(form(), port());
    expectLinkTestRunsToItsEnd(form(), port());
}

TEST_F(WindowScenario, EchoLostAdapterEndsTheTestConnectionAndOpensAgain)
{
    expectLostAdapterEndsTheTestConnection(form(), port());
}

int main(int argc, char **argv)
{
    if (const std::optional<int> code = rerunOnOwnDesktop(L"WindowScenarios"))
        return *code;
    const std::unique_ptr<Toolkit> toolkit = startToolkit(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
