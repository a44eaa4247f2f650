#include "app/Program.h"

#include "app/MainForm.h"
#include "framework/core/Application.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>

void centreOnScreen(QWidget &window)
{
    const QScreen *screen = window.screen();
    if (!screen)
        return;
    window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(),
                                           screen->availableGeometry()));
}

int runProgram(const MainFormFactory &createMainForm)
{
    Application &application = Application::instance();
    std::unique_ptr<TMainForm> mainForm;
    try {
        mainForm = createMainForm ? createMainForm() : std::make_unique<TMainForm>();
    } catch (...) {
        application.HandleException(std::current_exception());
        return 1;
    }
    // Closing the one window ends the message loop.
    QApplication::setQuitOnLastWindowClosed(true);
    centreOnScreen(*mainForm);
    mainForm->show();
    const int exitCode = QApplication::exec();
    mainForm.reset();
    return exitCode;
}
