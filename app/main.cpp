// The program zephra: the application object with the error box as its exception report,
// then the main window until it is closed.
#include "app/Program.h"

#include "framework/core/Application.h"
#include "framework/widgets/ErrorBox.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication qtApplication(argc, argv);
    Application::instance().setExceptionReporter(
        [](const std::string &message, const std::string &advice) {
            showErrorBox(message, advice);
        });
    return runProgram();
}
