// Program start and end: the application object, the main window from its stored layout, the
// message loop until the window is closed.
#include "app/MainForm.h"

#include "framework/core/Application.h"
#include "framework/widgets/ErrorBox.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char *argv[])
{
    QApplication qtApplication(argc, argv);
    Application &application = Application::instance();
    application.setExceptionReporter([](const std::string &message) { showErrorBox(message); });

    std::unique_ptr<TMainForm> mainForm;
    try {
        mainForm = std::make_unique<TMainForm>();
    } catch (const std::exception &error) {
        application.HandleException(error);
        return 1;
    }
    // Centred on the desktop when first shown.
    if (const QScreen *screen = mainForm->screen())
        mainForm->move(screen->availableGeometry().center() - mainForm->rect().center());
    mainForm->show();
    return qtApplication.exec();
}
