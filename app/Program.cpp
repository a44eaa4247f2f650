#include "app/Program.h"

#include "app/MainForm.h"
#include "framework/core/Application.h"

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
    // A close that interrupts a running procedure (inside its exchange wait) has already
    // closed the port that procedure goes on to use; the failure that ends it is no news to a
    // user who closed the window, so from then on errors go to stderr instead of a box.
    Application::ExceptionReporter reporter;
    bool closed = false;
    mainForm->show();
    const int exitCode = runMessageLoop([&] {
        closed = true;
        reporter = application.setExceptionReporter({});
    });
    mainForm.reset();
    if (closed)
        application.setExceptionReporter(reporter);
    return exitCode;
}
