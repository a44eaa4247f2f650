// The Windows test tab in a flood, end to end: zephra.exe's window and handlers on the Win32
// backend, the port opened on the test tab at 115200 as a user opens it, and MiB of 80-byte
// lines written into the port's far end by bench/win32-terminal-flood.sh. The window runs the
// program's own message loop. Prints MiB/s from the first byte shown to the last and the
// longest stall of the window's thread: the longest a message sent to one of its windows every
// 5 ms waited for its answer, which is how long input and painting would have waited.
// Usage: win32_terminal_flood COMn [MiB, default 10]
#include "app/MainForm.h"
#include "framework/core/Application.h"
#include "tests/windows/OwnDesktop.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

double seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Sends a message to window every 5 ms until stop is set; the longest answer in seconds.
double probeStalls(HWND window, const std::atomic<bool> &stop)
{
    double longest = 0;
    while (!stop) {
        const double before = seconds();
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
        longest = std::max(longest, seconds() - before);
        Sleep(5);
    }
    return longest;
}

// What the run's timer watches: the box until it shows everything (or the limit passes).
struct Run
{
    const TMainForm *form;
    std::int64_t shown;
    double limit;
    double first;
} run;

void CALLBACK watchRun(HWND, UINT, UINT_PTR, DWORD)
{
    const std::int64_t size = run.form->MemoReceiveRun->size();
    if (run.first == 0 && size > 0)
        run.first = seconds();
    if (size >= run.shown || seconds() > run.limit)
        PostQuitMessage(0);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: win32_terminal_flood COMn [MiB]\n");
        return 2;
    }
    // Under Wine the window needs the display it was given: a desktop of its own.
    if (const std::optional<int> code = rerunOnOwnDesktop(L"TerminalFlood"))
        return *code;
    const auto toolkit = startToolkit(argc, argv);
    const std::int64_t lines = (argc > 2 ? std::atoll(argv[2]) : 10LL) * 1048576 / 80;
    // Each line is 78 letters and CR LF, which the receive box shows as <0x0D><0x0A>.
    const std::int64_t shown = lines * (78 + 12);
    TMainForm form;
    form.show();
    form.PageControl1->setActivePage(1);
    form.ComboPortRun->onDropDown(form.ComboPortRun);
    int index = 0;
    while (index < form.ComboPortRun->count() && form.ComboPortRun->item(index) != argv[1])
        ++index;
    form.ComboPortRun->choose(index);
    form.ComboBaudRun->setText("115200");
    form.OpenPortRun->click();
    if (!form.ComPort1->Connected()) {
        std::fprintf(stderr, "win32_terminal_flood: %s did not open\n", argv[1]);
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    // A message-only window of the UI thread: the probe's target and the clock of the run.
    const HWND probe =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    std::atomic<bool> stop{false};
    double longest = 0;
    std::thread prober([&] { longest = probeStalls(probe, stop); });
    run = {&form, shown, seconds() + 600, 0};
    SetTimer(probe, 1, 2, watchRun);
    runMessageLoop(nullptr);
    stop = true;
    prober.join();
    const double end = seconds();
    const bool complete = form.MemoReceiveRun->size() == shown;
    std::printf("Windows test tab under Wine: %.1f MiB/s shown, longest stall of the window's "
                "thread %.1f ms%s\n",
                static_cast<double>(lines * 80) / 1048576 / (end - run.first), longest * 1000,
                complete ? "" : " (INCOMPLETE: not every byte was shown)");
    form.ClosePortRun->click();
    return complete ? 0 : 1;
}
