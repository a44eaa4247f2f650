// The Qt event loop as the application's EventLoop: installed whenever a QCoreApplication is
// made (the linker keeps this file in every program that uses the Qt backend, see
// framework/CMakeLists.txt), so the program, the tests and the benchmarks need no call of
// their own. The UI thread is the Qt application's thread.
#include "framework/core/EventLoop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QThread>

namespace {

const QEvent::Type WakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// Receives the wake-ups on the UI thread. A plain event, not a posted functor: a functor is
// freed by whichever thread drops Qt's last reference.
class WakeReceiver : public QObject
{
protected:
    void customEvent(QEvent *) override { EventLoop::wakeArrived(); }
};

class QtEventLoop : public EventLoop
{
public:
    bool isUiThread() const override
    {
        const QCoreApplication *qtApp = QCoreApplication::instance();
        return qtApp && QThread::currentThread() == qtApp->thread();
    }

    void processEvents() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }

    void waitForEvents() override
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }

    bool wake() override
    {
        if (!QCoreApplication::instance())
            return false;
        QCoreApplication::postEvent(m_receiver, new QEvent(WakeEvent));
        return true;
    }

    void attach()
    {
        // Never deleted: it must outlive every thread that may still post at exit.
        if (!m_receiver)
            m_receiver = new WakeReceiver;
        m_receiver->moveToThread(QCoreApplication::instance()->thread());
        // Calls queued before this loop was installed woke no one here.
        QCoreApplication::postEvent(m_receiver, new QEvent(WakeEvent));
    }

private:
    WakeReceiver *m_receiver = nullptr;
};

void installQtEventLoop()
{
    static QtEventLoop loop;
    loop.attach();
    EventLoop::install(&loop);
}

} // namespace

// Named by the linker option that keeps this file (framework/CMakeLists.txt).
extern "C" const int zephraQtEventLoop = 1;

Q_COREAPP_STARTUP_FUNCTION(installQtEventLoop)
