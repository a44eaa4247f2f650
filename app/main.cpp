// The program zephra: the toolkit, the application object with the error box as its exception
// report, then the main window until it is closed.
#include "app/Program.h"

#include "framework/controls/Window.h"
#include "framework/core/Application.h"

int main(int argc, char *argv[])
{
    const std::unique_ptr<Toolkit> toolkit = startToolkit(argc, argv);
    Application::instance().setExceptionReporter(
        [](const std::string &message, const std::string &advice) {
            showErrorBox(message, advice);
        });
    return runProgram();
}
