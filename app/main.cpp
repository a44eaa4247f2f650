// The program zephra: the application object with the error box as its exception report and
// the accessible interfaces of our own controls, then the main window until it is closed.
#include "app/Program.h"

#include "framework/core/Application.h"
#include "framework/widgets/Accessibility.h"
#include "framework/widgets/ErrorBox.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication qtApplication(argc, argv);
    // Lets the desktop match the window to the installed menu entry (zephra.desktop) and its
    // icon, also where it cannot go by the program's name.
    QGuiApplication::setDesktopFileName(QStringLiteral("zephra"));
    installAccessibleInterfaces();
    Application::instance().setExceptionReporter(
        [](const std::string &message, const std::string &advice) {
            showErrorBox(message, advice);
        });
    return runProgram();
}
