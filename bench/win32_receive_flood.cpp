// The Win32 receive box under a flood: 50 MiB appended in 4 KiB pieces on the window's thread,
// its messages (and so its paints) served after every piece, as the test tab's reading does.
// Prints MiB/s and the longest time one piece held up the window's thread.
#include "framework/controls/Containers.h"
#include "framework/controls/TextControls.h"
#include "framework/controls/Window.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

} // namespace

int main(int argc, char **argv)
{
    auto toolkit = startToolkit(argc, argv);
    auto window = createMainFormWindow();
    dynamic_cast<TabControl *>(window->find("PageControl1"))->setActivePage(1);
    auto *box = dynamic_cast<ReceiveBox *>(window->find("MemoReceiveRun"));
    window->show();
    std::string piece;
    for (int i = 0; piece.size() < 4096; ++i)
        piece += "ZEPHRA-24 line " + std::to_string(i) + " of the flood, 0123456789\r\n";
    piece.resize(4096);
    const std::int64_t Total = (argc > 1 ? std::atoll(argv[1]) : 50LL) << 20; // MiB
    double longest = 0;
    const double start = seconds();
    while (box->size() < Total) {
        const double before = seconds();
        box->append(piece);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        longest = std::max(longest, seconds() - before);
    }
    const double elapsed = seconds() - start;
    std::printf("receive box flood: %.0f MiB in %.2f s, %.1f MiB/s, longest stall %.1f ms\n",
                static_cast<double>(box->size()) / (1 << 20), elapsed,
                static_cast<double>(box->size()) / (1 << 20) / elapsed, longest * 1000);
    return 0;
}
