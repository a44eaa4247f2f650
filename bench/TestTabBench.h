// Shared by the terminal benchmarks: a temporary port directory (ZEPHRA_PORTS) for the run,
// the window opened on its test tab at a rate, the process's CPU time, percentiles, and a
// meter of the longest single event the UI thread handled. Everything here is UI thread.
#pragma once

#include "app/MainForm.h"
#include "framework/qt/QtControls.h"
#include "framework/qt/ReceiveView.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

// A port directory of this process's own, set as ZEPHRA_PORTS, and a settings folder of its
// own, set as XDG_CONFIG_HOME, so that the tab starts with its defaults whatever a run before
// chose; both removed at the end.
class BenchPortDirectory
{
public:
    BenchPortDirectory()
        : m_path(std::filesystem::temp_directory_path() /
                 ("zephra-bench-" + std::to_string(getpid()))),
          m_config(m_path.string() + "-config")
    {
        std::filesystem::create_directories(m_path);
        std::filesystem::create_directories(m_config);
        setenv("ZEPHRA_PORTS", m_path.c_str(), 1);
        setenv("XDG_CONFIG_HOME", m_config.c_str(), 1);
    }
    ~BenchPortDirectory()
    {
        std::filesystem::remove_all(m_path);
        std::filesystem::remove_all(m_config);
    }
    BenchPortDirectory(const BenchPortDirectory &) = delete;
    BenchPortDirectory &operator=(const BenchPortDirectory &) = delete;

    std::string path() const { return m_path.string(); }
    // Links COM1 to a device path.
    void publish(const std::string &device) const
    {
        std::filesystem::remove(m_path / "COM1");
        std::filesystem::create_symlink(device, m_path / "COM1");
    }

private:
    std::filesystem::path m_path;
    std::filesystem::path m_config;
};

// Opens COM1 on the test tab as a user does: tab, port list, rate text, "Open".
inline bool openTestTab(TMainForm &form, const char *rate)
{
    form.show();
    form.PageControl1->setActivePage(1);
    form.ComboPortRun->onDropDown(form.ComboPortRun);
    form.ComboPortRun->setItemIndex(0);
    form.ComboPortRun->onChange(form.ComboPortRun);
    form.ComboBaudRun->setText(rate);
    form.OpenPortRun->click();
    if (!form.ComPort1->Connected()) {
        std::printf("  ERROR: the port did not open\n");
        return false;
    }
    return true;
}

inline double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

inline double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Processor time of each of this process's threads by name, from the scheduler's own count.
inline std::map<std::string, double> threadCpuByName()
{
    std::map<std::string, double> seconds;
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream commFile(task.path() / "comm");
        std::ifstream schedFile(task.path() / "schedstat");
        std::string name;
        unsigned long long ns = 0;
        if (std::getline(commFile, name) && (schedFile >> ns))
            seconds[name] += static_cast<double>(ns) / 1e9;
    }
    return seconds;
}

// Prints each thread's share of one core over wall seconds since `before`, busiest first.
inline void printThreadShares(const std::map<std::string, double> &before, double wall)
{
    std::vector<std::pair<double, std::string>> shares;
    for (const auto &[name, seconds] : threadCpuByName()) {
        const auto was = before.find(name);
        const double used = seconds - (was == before.end() ? 0.0 : was->second);
        if (used > 0)
            shares.emplace_back(100.0 * used / wall, name);
    }
    std::sort(shares.rbegin(), shares.rend());
    std::printf("    by thread:");
    for (const auto &[share, name] : shares)
        std::printf(" %s %.2f %%", name.c_str(), share);
    std::printf("\n");
}

struct Percentiles
{
    double median = 0;
    double p99 = 0;
    double max = 0;
};

inline Percentiles percentiles(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2],
            values[std::min(values.size() - 1, values.size() * 99 / 100)], values.back()};
}

// The application, with the time of every event the UI thread handles at the outermost level
// kept: the longest is the longest the window could not have reacted to the user. Also sums
// the processor time of the window's repaints. Costs four clock reads per event and no
// wake-ups of its own, so it does not disturb a CPU figure.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (m_depth++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        const bool repaint = event->type() == QEvent::UpdateRequest;
        const double cpuStart = threadCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        const bool handled = QApplication::notify(receiver, event);
        --m_depth;
        const qint64 spent = clock.nsecsElapsed();
        const double cpu = threadCpuSeconds() - cpuStart;
        if (spent > m_longestNs) {
            m_longestNs = spent;
            m_longestCpu = cpu;
        }
        if (repaint) {
            ++m_repaints;
            m_repaintCpu += cpu;
        }
        return handled;
    }

    void resetCounts()
    {
        m_longestNs = 0;
        m_longestCpu = 0;
        m_repaints = 0;
        m_repaintCpu = 0;
    }
    // The longest event, in time passed and in the UI thread's own processor time (the rest
    // is the thread waiting for a processor on a busy machine).
    double longestEventMs() const { return static_cast<double>(m_longestNs) / 1e6; }
    double longestEventCpuMs() const { return m_longestCpu * 1e3; }
    // Window repaints since the reset, and the UI thread's processor time in them.
    long repaints() const { return m_repaints; }
    double repaintCpuSeconds() const { return m_repaintCpu; }

private:
    int m_depth = 0;
    qint64 m_longestNs = 0;
    double m_longestCpu = 0;
    long m_repaints = 0;
    double m_repaintCpu = 0;
};
