#include "framework/qt/QtWindow.h"

#include "ui_MainForm.h"

#include "framework/core/EventLoop.h"
#include "framework/core/HandlerGuard.h"
#include "framework/qt/Accessibility.h"
#include "framework/qt/Ansi.h"
#include "framework/qt/QtControls.h"
#include "framework/qt/Timer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QScreen>
#include <QStyle>

#include <map>

namespace {

class QtFormWindow final : public QWidget, public FormWindow
{
public:
    QtFormWindow()
    {
        m_ui.setupUi(this);
        for (QWidget *widget : findChildren<QWidget *>()) {
            if (widget->objectName().isEmpty())
                continue;
            if (std::unique_ptr<Control> control = makeQtControl(widget)) {
                std::string name = control->name();
                m_controls.emplace(std::move(name), std::move(control));
            }
        }
    }

    // The widgets outlive the controls (members go before the base class): Qt's own teardown
    // (the focus leaving an editable box, for one) must not reach a control, or the window's
    // handlers, that are gone.
    ~QtFormWindow() override
    {
        for (QWidget *widget : findChildren<QWidget *>())
            widget->blockSignals(true);
    }

    Control *find(std::string_view name) const override
    {
        const auto found = m_controls.find(name);
        return found == m_controls.end() ? nullptr : found->second.get();
    }
    void show() override
    {
        centreOnScreen(*this);
        QWidget::show();
    }
    void close() override { QWidget::close(); }
    std::unique_ptr<Timer> createTimer() override { return std::make_unique<qt::Timer>(); }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (onClose)
            runGuarded([this] { onClose(); });
        event->accept();
    }

private:
    Ui::MainForm m_ui;
    std::map<std::string, std::unique_ptr<Control>, std::less<>> m_controls;
};

class QtToolkit final : public Toolkit
{
public:
    QtToolkit(int &argc, char **argv) : m_application(argc, argv)
    {
        // Lets the desktop match the window to the installed menu entry (zephra.desktop) and
        // its icon, also where it cannot go by the program's name.
        QGuiApplication::setDesktopFileName(QStringLiteral("zephra"));
        installAccessibleInterfaces();
    }

private:
    QApplication m_application;
};

} // namespace

QWidget *qtWindow(const FormWindow &window)
{
    return const_cast<QtFormWindow *>(dynamic_cast<const QtFormWindow *>(&window));
}

void centreOnScreen(QWidget &window)
{
    const QScreen *screen = window.screen();
    if (!screen)
        return;
    window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(),
                                           screen->availableGeometry()));
}

std::unique_ptr<FormWindow> createMainFormWindow()
{
    return std::make_unique<QtFormWindow>();
}

std::unique_ptr<Toolkit> startToolkit(int &argc, char **argv)
{
    return std::make_unique<QtToolkit>(argc, argv);
}

int runMessageLoop(const std::function<void()> &lastWindowClosed)
{
    QApplication::setQuitOnLastWindowClosed(true);
    EventLoop::forgetQuit();
    const QMetaObject::Connection connection =
        QObject::connect(qApp, &QGuiApplication::lastWindowClosed, qApp, [&] {
            // The quit that follows ends the loop, and every wait nested in a handler now.
            EventLoop::recordQuit();
            if (lastWindowClosed)
                lastWindowClosed();
        });
    const int exitCode = QApplication::exec();
    QObject::disconnect(connection);
    EventLoop::forgetQuit();
    return exitCode;
}

std::optional<std::string> askSaveFileName(const std::string &title, const std::string &suggested,
                                           const std::string &filter)
{
    const QString fileName =
        QFileDialog::getSaveFileName(QApplication::activeWindow(), fromAnsi(title),
                                     QDir::home().filePath(QFile::decodeName(suggested.c_str())),
                                     fromAnsi(filter), nullptr, QFileDialog::DontUseNativeDialog);
    if (fileName.isEmpty())
        return std::nullopt;
    return QFile::encodeName(fileName).toStdString();
}

std::optional<std::string> askOpenFileName(const std::string &title, const std::string &filter)
{
    const QString fileName = QFileDialog::getOpenFileName(
        QApplication::activeWindow(), fromAnsi(title), QDir::homePath(), fromAnsi(filter), nullptr,
        QFileDialog::DontUseNativeDialog);
    if (fileName.isEmpty())
        return std::nullopt;
    return QFile::encodeName(fileName).toStdString();
}
