// Program start and end through runProgram, the sequence main() runs: the window shown
// centred, the message loop ended by closing it, an open port closed on the way out, and a
// window that cannot be built (a corrupt picture) reported instead of shown.
// Before any Qt header: the simulator has a member named like Qt's `emit` keyword macro.
#include "tests/support/SimulatorFixture.h"

#include "app/Program.h"
#include "tests/app/WindowTestSupport.h"

#include "platform/win32.h"

#include "framework/qt/Picture.h"

#include <QScreen>
#include <QTimer>

#include <filesystem>
#include <fstream>

namespace {

bool anyMainFormLeft()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QStringLiteral("MainForm"))
            return true;
    return false;
}

bool portFree(const std::string &name)
{
    HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    return true;
}

class ProgramTest : public ::testing::Test
{
protected:
    // Runs the program; `drive` runs once the message loop is going, with the shown window.
    // A loop that does not end by itself within the time-out is ended and the test fails.
    int run(const std::function<void(TMainForm &)> &drive, const MainFormFactory &create = {})
    {
        TMainForm *made = nullptr;
        QTimer::singleShot(0, [drive, &made] {
            TMainForm *form = made && qtWindow(*made).isVisible() ? made : nullptr;
            if (!form) {
                ADD_FAILURE() << "no main window shown";
                QApplication::quit();
                return;
            }
            drive(*form);
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            m_stuck = true;
            QApplication::quit();
        });
        watchdog.start(60000);
        const int code = runProgram([&] {
            std::unique_ptr<TMainForm> form = create ? create() : std::make_unique<TMainForm>();
            made = form.get();
            return form;
        });
        EXPECT_FALSE(m_stuck) << "the message loop did not end when the window closed";
        return code;
    }

    const std::vector<std::string> &errors() const { return m_sink.messages(); }

private:
    ReportSink m_sink;
    bool m_stuck = false;
};

} // namespace

TEST_F(ProgramTest, ShowsTheWindowCentredAndEndsWhenItIsClosed)
{
    QRect shown;
    QRect available;
    bool closeHandled = false;
    const int code = run([&](TMainForm &form) {
        QWidget &window = qtWindow(form);
        shown = window.geometry();
        available = window.screen()->availableGeometry();
        EXPECT_EQ(form.PageControl1->activePage(), 0);
        // Fixed size: a resize is refused.
        window.resize(800, 600);
        EXPECT_EQ(window.size(), QSize(617, 505));
        QObject::connect(qApp, &QGuiApplication::lastWindowClosed, &window,
                         [&] { closeHandled = true; });
        form.close();
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(closeHandled);
    EXPECT_EQ(shown.size(), QSize(617, 505));
    EXPECT_LE(std::abs(shown.center().x() - available.center().x()), 1);
    EXPECT_LE(std::abs(shown.center().y() - available.center().y()), 1);
    EXPECT_FALSE(anyMainFormLeft());
    EXPECT_TRUE(errors().empty());
}

TEST_F(ProgramTest, ClosingTheWindowClosesASetupConnection)
{
    SimulatorEnvironment simulator("COM1");
    bool closedBeforeDestruction = false;
    const int code = run([&](TMainForm &form) {
        qtWidget<QComboBox>(form.ComboPortSetup)->showPopup();
        qtWidget<QComboBox>(form.ComboPortSetup)->hidePopup();
        form.ComboPortSetup->setFocus();
        QTest::keyClick(qtWidget(form.ComboPortSetup), Qt::Key_Down);
        QTest::mouseClick(qtWidget(form.OpenPortSetup), Qt::LeftButton);
        // The connect-and-read procedure has run against the simulated module.
        EXPECT_TRUE(form.ComPort1->Connected());
        EXPECT_EQ(form.PortOpened, 1);
        EXPECT_FALSE(form.BiosDisplay->text().empty());
        QObject::connect(qApp, &QGuiApplication::lastWindowClosed, &qtWindow(form), [&] {
            closedBeforeDestruction = !form.ComPort1->Connected() && form.PortOpened == 0;
        });
        form.close();
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(closedBeforeDestruction);
    EXPECT_TRUE(portFree("COM1"));
    EXPECT_FALSE(anyMainFormLeft());
    EXPECT_TRUE(errors().empty());
}

TEST_F(ProgramTest, CorruptPictureIsReportedAndNothingIsShown)
{
    const std::filesystem::path broken =
        std::filesystem::temp_directory_path() / ("zephra-broken-" + std::to_string(getpid()));
    std::ofstream(broken, std::ios::binary) << std::string("\xFF\xD8\xFF\xE0garbage", 11);

    bool driven = false;
    // Should the program show a window after all, end its loop so the test can fail.
    QTimer::singleShot(5000, [] { QApplication::quit(); });
    const int code = runProgram([&] {
        auto form = std::make_unique<TMainForm>();
        qtWidget<qt::Picture>(form->Image1)->setSource(QString::fromStdString(broken.string()));
        driven = true;
        return form;
    });
    std::filesystem::remove(broken);
    EXPECT_NE(code, 0);
    EXPECT_FALSE(driven);
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0].rfind("JPEG picture", 0), 0u) << errors()[0];
    EXPECT_FALSE(anyMainFormLeft());
}

TEST_F(ProgramTest, ClosingTheWindowDuringAnExchangeEndsQuietly)
{
    SimulatorEnvironment simulator("COM1");
    SimulatorFaults silent;
    silent.silent = true;
    simulator.module().setFaults(silent);
    bool procedureEnded = false;
    const int code = run([&](TMainForm &form) {
        qtWidget<QComboBox>(form.ComboPortSetup)->showPopup();
        qtWidget<QComboBox>(form.ComboPortSetup)->hidePopup();
        QTest::keyClick(qtWidget(form.ComboPortSetup), Qt::Key_Down);
        // The user gives up on the silent module while "Open" waits for its first reply.
        QTimer::singleShot(300, &qtWindow(form), [&form] { form.close(); });
        QTest::mouseClick(qtWidget(form.OpenPortSetup), Qt::LeftButton);
        procedureEnded = true;
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(procedureEnded);
    EXPECT_TRUE(portFree("COM1"));
    EXPECT_FALSE(anyMainFormLeft());
    // The procedure fails on the port the close took away; that is not shown in a box.
    EXPECT_TRUE(errors().empty());
}
