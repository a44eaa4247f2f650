// How soon the test tab shows what comes back. Two series through the real window and the
// simulated module (slide switch on RUN, which echoes every byte at once) on a pty:
//  1. a key typed into the send box: the key event is posted to the box, its byte goes out,
//     the module echoes it, and the echo is painted in the receive box;
//  2. a byte sent by the module on its own, until it is painted.
// The time runs from posting the key (or handing the byte to the module) to the end of the
// receive box's first paint that shows it. Keys come 20 to 40 ms apart, a fast typist's pace.
// Usage: terminal_latency [samples per series, default 500]
#include "simulator/SimulatedModule.h"
#include "simulator/SimulatorPort.h"
#include "tests/support/FloodSupport.h"
#include "tests/support/Pump.h"

#include "app/MainForm.h"
#include "framework/qt/ReceiveView.h"

#include "TestTabBench.h"

#include <QKeyEvent>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <random>

namespace {

// Finishes every paint of the receive box itself, then notes when the box first showed at
// least `awaited` characters.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(ReceiveView *view) : m_view(view) { view->installEventFilter(this); }

    // Starts timing: done runs with the milliseconds once a paint shows `awaited` characters.
    void await(std::uint64_t awaited, std::function<void(double)> done)
    {
        m_awaited = awaited;
        m_done = std::move(done);
        m_clock.start();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_view || event->type() != QEvent::Paint)
            return false;
        // The box paints now, inside the window's repaint, as it would after this filter.
        watched->event(event); // QObject::event is public; the widget's own runs
        if (m_done && m_view->wrapped().size() >= m_awaited) {
            const double ms = static_cast<double>(m_clock.nsecsElapsed()) / 1e6;
            auto done = std::move(m_done);
            m_done = nullptr;
            done(ms);
        }
        return true;
    }

private:
    ReceiveView *m_view;
    std::uint64_t m_awaited = 0;
    std::function<void(double)> m_done;
    QElapsedTimer m_clock;
};

// Runs samples rounds of `start` (which begins one round and returns the characters the box
// must show at its end), a random pause between them; the latencies in milliseconds.
std::vector<double> series(PaintWatch &watch, ReceiveView *view, int samples,
                           const std::function<void()> &start)
{
    std::vector<double> latencies;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pause(20, 40);
    QObject context; // ends the timers still pending when the series gives up
    std::function<void()> next = [&] {
        watch.await(view->wrapped().size() + 1, [&](double ms) {
            latencies.push_back(ms);
            if (static_cast<int>(latencies.size()) < samples)
                QTimer::singleShot(pause(random), &context, next);
        });
        start();
    };
    QTimer::singleShot(200, &context, next);
    pumpEvents([&] { return static_cast<int>(latencies.size()) >= samples; },
               std::chrono::milliseconds(samples * 1000 + 10'000));
    watch.await(UINT64_MAX, nullptr);
    return latencies;
}

void print(const char *what, const std::vector<double> &latencies, int samples)
{
    const Percentiles p = percentiles(latencies);
    std::printf("  %-34s %4zu of %d: median %6.2f ms  p99 %6.2f ms  max %6.2f ms\n", what,
                latencies.size(), samples, p.median, p.p99, p.max);
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int samples = std::max(argc > 1 ? std::atoi(argv[1]) : 500, 1);

    const BenchPortDirectory directory;
    SimulatedModule module;
    module.setSlideSwitch(SimulatedModule::SlideSwitch::Run);
    SimulatorPort port(module);
    port.publish(directory.path(), "COM1");
    int status = 0;
    {
        TMainForm form;
        if (!openTestTab(form, "115200"))
            return 1;
        auto *view = qtWidget<ReceiveView>(form.MemoReceiveRun);
        PaintWatch watch(view);
        std::printf("Test tab, time until the receive box has painted the byte:\n");

        int key = 0;
        const std::vector<double> echoes = series(watch, view, samples, [&] {
            const QChar letter = QChar(u'a' + key++ % 26);
            const auto code = static_cast<int>(Qt::Key_A) + (letter.unicode() - u'a');
            QCoreApplication::postEvent(
                qtWidget(form.MemoSendRun),
                new QKeyEvent(QEvent::KeyPress, code, Qt::NoModifier, letter));
            QCoreApplication::postEvent(
                qtWidget(form.MemoSendRun),
                new QKeyEvent(QEvent::KeyRelease, code, Qt::NoModifier, letter));
        });
        print("key typed -> echo painted:", echoes, samples);

        const std::vector<double> alone = series(watch, view, samples, [&] { port.inject("#"); });
        print("byte sent by the module -> painted:", alone, samples);

        const std::string shown = view->text();
        std::size_t keysShown = 0;
        for (char c : shown)
            keysShown += c >= 'a' && c <= 'z' ? 1 : 0;
        if (static_cast<int>(echoes.size()) != samples ||
            static_cast<int>(alone.size()) != samples || keysShown != echoes.size()) {
            std::printf("  ERROR: a sample went missing (%zu echoed keys shown)\n", keysShown);
            status = 1;
        }
        form.ClosePortRun->click();
    }
    port.stop();
    return status;
}
