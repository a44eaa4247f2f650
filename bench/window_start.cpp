// The window's start-up and port discovery costs: the time from process start (as the kernel
// records it) and from main() to the main window's first paint, and the time of one probe of
// the sixteen port names, as a drop-down runs it. The probe sees the ports of ZEPHRA_PORTS
// when it is set, else this machine's serial devices.
// Usage: window_start [probe rounds, default 50]. Needs a display, or QT_QPA_PLATFORM=offscreen.
#include "app/MainForm.h"
#include "app/Program.h"
#include "framework/qt/QtWindow.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// How long this process has existed, from /proc (starttime, in clock ticks since boot);
// negative when it cannot be read.
double processAgeMs()
{
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The command name may hold blanks: the fields after it start past the last ')'.
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    // Field 22 overall; the state is field 3, the first one after the name.
    for (int i = 3; i < 22 && fields >> field; ++i) {
    }
    unsigned long long startTicks = 0;
    if (!(fields >> startTicks))
        return -1;
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    return nowMs - startTicks * 1000.0 / sysconf(_SC_CLK_TCK);
}

class FirstPaint : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            // After this paint has reached the screen.
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    const Clock::time_point mainEntered = Clock::now();
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;

    QApplication application(argc, argv);
    TMainForm form;
    FirstPaint firstPaint;
    qtWindow(form.window())->installEventFilter(&firstPaint);
    form.show();
    QApplication::exec();
    const double sinceMain = millisecondsSince(mainEntered);
    const double sinceStart = processAgeMs();
    std::printf("window shown: %.1f ms after process start (10 ms resolution), %.1f ms after "
                "main()\n",
                sinceStart, sinceMain);

    std::vector<double> probes;
    for (int i = 0; i < rounds; ++i) {
        const Clock::time_point start = Clock::now();
        form.ComboPortSetupDropDown(form.ComboPortSetup);
        probes.push_back(millisecondsSince(start));
    }
    std::sort(probes.begin(), probes.end());
    std::printf("one 16-name probe (%d rounds, %d ports listed): min %.3f ms, median %.3f ms, "
                "max %.3f ms\n",
                rounds, form.ComboPortSetup->count(), probes.front(), probes[probes.size() / 2],
                probes.back());
    return 0;
}
