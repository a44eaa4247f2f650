// The window's scenarios on the Win32 backend, under Wine against zephra-sim on the COM port
// ZEPHRA_TEST_PORT, which sim-under-wine.sh starts: at SETUP holding the scenarios' settings
// for the *Answering* tests, silent for the *Silent* ones, at RUN (echoing) for the *Echo* ones.
#include "tests/app/WindowScenarios.h"

#include "app/Program.h"
#include "framework/core/Application.h"
#include "framework/core/EventLoop.h"
#include "tests/support/Watchdog.h"
#include "tests/windows/OwnDesktop.h"

#include <cstdlib>
#include <memory>

namespace {

class WindowScenario : public ::testing::Test
{
protected:
    // Tests of the whole program make their window themselves.
    bool ProgramRun = false;

    void SetUp() override
    {
        // Each scenario starts from the test tab's defaults, whatever an earlier run that
        // stopped halfway left stored in the prefix.
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Zephra\\Test tab");
        m_previous = Application::instance().setExceptionReporter(
            [this](const std::string &message, const std::string &) {
                m_errors.push_back(message);
            });
        if (!ProgramRun)
            m_form = std::make_unique<TMainForm>();
    }
    void TearDown() override
    {
        m_form.reset();
        // The window's end posted the program's quit: the next test starts without it.
        MSG quit;
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        EventLoop::forgetQuit();
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

    // The program as main() runs it: busy runs once its message loop is going, and the user
    // closes the window when closeWhen first holds, tested on every tick of a 10 ms timer.
    // runProgram must then return: a wait or a loop that outlives the window is a hang.
    static int runClosedWhile(const std::function<void(TMainForm &)> &busy,
                              const std::function<bool(const TMainForm &)> &closeWhen)
    {
        s_form = nullptr;
        s_busy = busy;
        s_closeWhen = closeWhen;
        const UINT_PTR closer = SetTimer(nullptr, 0, 10, closeTick);
        const UINT_PTR starter = SetTimer(nullptr, 0, 0, startTick);
        const int code = runProgram([] {
            auto made = std::make_unique<TMainForm>();
            s_form = made.get();
            return made;
        });
        KillTimer(nullptr, closer);
        KillTimer(nullptr, starter);
        return code;
    }

private:
    static void CALLBACK startTick(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        s_busy(*s_form);
    }
    static void CALLBACK closeTick(HWND, UINT, UINT_PTR id, DWORD)
    {
        if (s_form && s_closeWhen(*s_form)) {
            KillTimer(nullptr, id);
            s_form->close();
        }
    }
    static inline TMainForm *s_form;
    static inline std::function<void(TMainForm &)> s_busy;
    static inline std::function<bool(const TMainForm &)> s_closeWhen;

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

TEST_F(WindowScenario, EchoTheTestTabCountsAndCapturesBytes)
{
    expectTestTabCountsAndCaptures(form(), port());
}

TEST_F(WindowScenario, EchoTheTestTabSendsLineEndsEscapesFilesAndRepeats)
{
    expectTestTabSendSide(form(), port());
}

TEST_F(WindowScenario, EchoTheTestTabShowsEachView)
{
    expectTestTabViews(form(), port());
}

TEST_F(WindowScenario, EchoTheTestTabSwitchesAndShowsTheModemLines)
{
    expectTestTabModemLines(form(), port());
}

TEST_F(WindowScenario, EchoLostAdapterEndsTheTestConnectionAndOpensAgain)
{
    expectLostAdapterEndsTheTestConnection(form(), port());
}

TEST_F(WindowScenario, EchoTheTestTabEchoesSendsAndWaitsForTheLostAdapter)
{
    expectTestTabEchoesAndWaitsForTheAdapter(form(), port());
}

// The same scenarios as the program runs them, closed by the user while busy.
class ProgramScenario : public WindowScenario
{
protected:
    ProgramScenario() { ProgramRun = true; }
};

TEST_F(ProgramScenario, SilentClosingTheWindowWhileOpenWaitsEndsTheProgram)
{
    Watchdog watchdog(std::chrono::seconds(60));
    bool procedureEnded = false;
    const int code = runClosedWhile(
        [&](TMainForm &form) {
            ASSERT_TRUE(choose(form.ComboPortSetup, port()));
            form.OpenPortSetup->click();
            procedureEnded = true;
        },
        [](const TMainForm &form) { return form.ComPort1->Connected(); });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(procedureEnded);
}

TEST_F(ProgramScenario, EchoClosingTheWindowWhileBytesStreamInEndsTheProgramEveryTime)
{
    // A quit taken by one of the loop's own peeks left the program running without a window.
    Watchdog watchdog(std::chrono::seconds(240));
    for (int round = 0; round < 10; ++round) {
        const int code = runClosedWhile(
            [](TMainForm &form) {
                form.PageControl1->setActivePage(1);
                ASSERT_TRUE(choose(form.ComboPortRun, port()));
                form.OpenPortRun->click();
                form.EditSendRun->setText(std::string(400, 'U'));
                form.SendStringRun->click();
            },
            [](const TMainForm &form) { return form.MemoReceiveRun->size() > 40; });
        EXPECT_EQ(code, 0) << "round " << round;
    }
}

int main(int argc, char **argv)
{
    if (const std::optional<int> code = rerunOnOwnDesktop(L"WindowScenarios"))
        return *code;
    const std::unique_ptr<Toolkit> toolkit = startToolkit(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
