// Shows the Win32 window from the stored layout with one tab open (the argument: its index)
// and a little received text and chart, until it is closed: for looking at it, e.g. under
// Wine on a virtual X server.
#include "framework/controls/Containers.h"
#include "framework/controls/TextControls.h"
#include "framework/controls/Window.h"

#include <cstdlib>

int main(int argc, char **argv)
{
    auto toolkit = startToolkit(argc, argv);
    auto window = createMainFormWindow();
    dynamic_cast<TabControl *>(window->find("PageControl1"))
        ->setActivePage(argc > 1 ? std::atoi(argv[1]) : 0);
    dynamic_cast<ReceiveBox *>(window->find("MemoReceiveRun"))
        ->append("Test Send String\r\nZEPHRA-24 \x01\x02 caf\xe9 0123456789 the quick brown fox "
                 "jumps over the lazy dog, again and again until the row wraps at its edge");
    std::vector<RoundTripChart::Point> points;
    for (int i = 0; i < 60; ++i)
        points.push_back({i * 0.5, 20.0 + (i * 7) % 13,
                          i % 17 == 5   ? RoundTripChart::Mark::Lost
                          : i % 11 == 3 ? RoundTripChart::Mark::Damaged
                                        : RoundTripChart::Mark::Returned});
    dynamic_cast<RoundTripChart *>(window->find("ChartLink"))->setPoints(points, {0, 30, 30, 50});
    window->show();
    return runMessageLoop();
}
