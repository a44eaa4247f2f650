// The Windows test tab in a flood, end to end: zephra.exe's window and handlers on the Win32
// backend, the port opened on the test tab at 115200 as a user opens it, and MiB of 80-byte
// lines written into the port's far end by bench/win32-terminal-flood.sh. Prints MiB/s from
// the first byte shown to the last and the longest time the window's thread was held up (one
// round of its message loop). Usage: win32_terminal_flood COMn [MiB, default 10]
#include "app/MainForm.h"
#include "framework/core/Application.h"
#include "tests/windows/OwnDesktop.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

double seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
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
    Application &application = Application::instance();
    double first = 0, longest = 0;
    const double limit = seconds() + 600;
    while (form.MemoReceiveRun->size() < shown && seconds() < limit) {
        const double before = seconds();
        application.ProcessMessages();
        const double after = seconds();
        if (first == 0 && form.MemoReceiveRun->size() > 0)
            first = before;
        longest = std::max(longest, after - before);
        Sleep(1);
    }
    const double end = seconds();
    const bool complete = form.MemoReceiveRun->size() == shown;
    std::printf("Windows test tab under Wine: %.1f MiB/s shown, longest stall of the window's "
                "thread %.1f ms%s\n",
                static_cast<double>(lines * 80) / 1048576 / (end - first), longest * 1000,
                complete ? "" : " (INCOMPLETE: not every byte was shown)");
    form.ClosePortRun->click();
    return complete ? 0 : 1;
}
