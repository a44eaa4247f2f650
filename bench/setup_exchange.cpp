// The setup tab's "Open" against the simulated module on a pseudo-terminal, through the real
// window, port component and event thread: the time of the eight exchanges of its read
// sequence with a module that answers at once, and with one that sends at 9600 bit/s next to
// the pure line time of the same bytes; the CPU time the UI thread spends in each; and the
// CPU time of the whole program during an "Open" that waits 1.5 s for a silent module.
// Usage: setup_exchange [rounds, default 20] [silent rounds, default 3]
//
// Every round starts with the reply timer stopped, as after its tick, so that no round meets
// the end of a period that an earlier round started.

// Before any Qt header: Qt's "emit" macro would otherwise rewrite a simulator member.
#include "simulator/SimulatedModule.h"
#include "simulator/SimulatorPort.h"

#include "app/MainForm.h"
#include "framework/core/Application.h"
#include "framework/qt/Timer.h"

#include <QApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Round
{
    double wall = 0;
    double uiCpu = 0;
    double processCpu = 0;
    bool ready = false;
};

Round openOnce(TMainForm &form)
{
    form.Timer1->setEnabled(false);
    Round round;
    const double uiBefore = cpuSeconds(RUSAGE_THREAD);
    const double processBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    form.OpenPortSetup->click();
    round.wall = double(clock.nsecsElapsed()) / 1e9;
    round.uiCpu = cpuSeconds(RUSAGE_THREAD) - uiBefore;
    round.processCpu = cpuSeconds(RUSAGE_SELF) - processBefore;
    round.ready = form.StatusConnect->text() == "Connect Ready";
    form.ClosePortSetup->click();
    return round;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void report(const char *title, const std::vector<Round> &rounds)
{
    std::vector<double> wall, ui, process;
    int timedOut = 0;
    for (const Round &r : rounds) {
        wall.push_back(r.wall * 1000);
        ui.push_back(r.uiCpu * 1000);
        process.push_back(r.processCpu * 1000);
        timedOut += r.ready ? 0 : 1;
    }
    std::printf("%s: %zu rounds, %d ended with \"Connect Time-Out\"\n", title, rounds.size(),
                timedOut);
    std::printf("  time of Open       min %8.1f  median %8.1f  max %8.1f ms\n",
                *std::min_element(wall.begin(), wall.end()), median(wall),
                *std::max_element(wall.begin(), wall.end()));
    std::printf("  UI thread CPU      median %8.1f ms (%.1f %% of the median time)\n", median(ui),
                100 * median(ui) / median(wall));
    std::printf("  process CPU        median %8.1f ms (%.1f %% of the median time)\n",
                median(process), 100 * median(process) / median(wall));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int silentRounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    QApplication qtApplication(argc, argv);
    Application::instance().setExceptionReporter(
        [](const std::string &message, const std::string &) {
            std::fprintf(stderr, "error box: %s\n", message.c_str());
        });

    std::string directory =
        (std::filesystem::temp_directory_path() / "zephra-bench-XXXXXX").string();
    if (!mkdtemp(directory.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    setenv("ZEPHRA_PORTS", directory.c_str(), 1);

    int status = 0;
    {
        SimulatedModule module;
        SimulatorPort port(module);
        port.publish(directory, "COM1");

        TMainForm form;
        form.ComboPortSetup->onDropDown(form.ComboPortSetup);
        for (int i = 0; i < form.ComboPortSetup->count(); ++i) {
            if (form.ComboPortSetup->item(i) == "COM1")
                form.ComboPortSetup->choose(i);
        }
        if (!form.OpenPortSetup->enabled()) {
            std::fprintf(stderr, "setup_exchange: COM1 is not listed\n");
            status = 1;
        } else {
            std::vector<Round> instant;
            openOnce(form); // warm-up: first use of the widgets and the pty
            module.clearLog();
            port.clearSentLog();
            for (int i = 0; i < rounds; ++i)
                instant.push_back(openOnce(form));
            report("Open, module answering at once", instant);
            // Bytes of one read sequence each way, as the instant module sent them whole.
            std::size_t replyBytes = 0;
            for (const std::string &write : port.sentWrites())
                replyBytes += write.size();
            replyBytes /= std::size_t(rounds);
            const std::size_t commandBytes = module.receivedFrames().size() * 12 / rounds;

            SimulatorFaults paced;
            paced.paceBps = 9600;
            module.setFaults(paced);
            std::vector<Round> slow;
            for (int i = 0; i < rounds; ++i)
                slow.push_back(openOnce(form));
            const double byteMs = 10.0 * 1000.0 / 9600.0;
            report("Open, module sending at 9600 bit/s", slow);
            std::printf("  line time at 9600 bit/s, 10 bits a byte: replies %zu bytes %.1f ms; "
                        "commands and replies %zu bytes %.1f ms\n",
                        replyBytes, replyBytes * byteMs, commandBytes + replyBytes,
                        (commandBytes + replyBytes) * byteMs);

            SimulatorFaults silent;
            silent.silent = true;
            module.setFaults(silent);
            std::vector<Round> waiting;
            for (int i = 0; i < silentRounds; ++i)
                waiting.push_back(openOnce(form));
            report("Open, silent module (1.5 s time-out, then seven short waits)", waiting);
        }
    }
    std::filesystem::remove_all(directory);
    return status;
}
