#include "framework/core/ChartLayout.h"
#include "framework/core/Format.h"

#include <algorithm>
#include <cmath>

ChartLayout layOutChart(const ChartBox &area, const ChartFont &font, const RoundTripScale &scale,
                        const std::vector<RoundTripPoint> &points)
{
    ChartLayout layout;
    const std::string top = formatText("%.6g ms", scale.topMilliseconds);
    const int bottom = area.bottom - font.height;
    const int plotTop = area.top + font.height / 2 + 8; // room for the lost marks
    layout.plot = {area.left + font.width(top) + 6, plotTop, area.right, bottom};
    const ChartBox &plot = layout.plot;
    if (plot.width() < 10 || plot.height() < 10)
        return layout;
    layout.empty = false;
    layout.middle = (plot.top + plot.bottom) / 2;
    layout.texts = {{area.left, plot.top - font.ascent / 2, top},
                    {area.left, plot.bottom - font.height, "0"},
                    {plot.left, bottom, formatText("-%.3g s", scale.spanSeconds)},
                    {plot.right - font.width("now"), bottom, "now"}};

    const ChartBox inside{plot.left + 1, plot.top + 1, plot.right - 1, plot.bottom - 1};
    layout.inside = inside;
    layout.lostStrip = {inside.left, area.top, inside.right, plot.top};
    const auto x = [&](double seconds) {
        return inside.left +
               static_cast<int>(std::lround((seconds - scale.startSeconds) / scale.spanSeconds *
                                            (inside.width() - 1)));
    };
    const auto y = [&](double milliseconds) {
        const double share = std::clamp(milliseconds / scale.topMilliseconds, 0.0, 1.0);
        return inside.bottom - 1 - static_cast<int>(std::lround(share * (inside.height() - 1)));
    };
    using Shape = ChartMark::Shape;
    for (const RoundTripPoint &point : points) {
        if (point.seconds < scale.startSeconds || point.seconds > scale.endSeconds)
            continue;
        const int px = x(point.seconds);
        if (point.mark == RoundTripMark::Lost)
            layout.marks.push_back({Shape::Cross, px, plot.top - 5});
        else if (point.milliseconds > scale.topMilliseconds)
            layout.marks.push_back(
                {point.mark == RoundTripMark::Returned ? Shape::ReturnedCaret : Shape::DamagedCaret,
                 px, inside.top + 1});
        else
            layout.marks.push_back(
                {point.mark == RoundTripMark::Returned ? Shape::Dot : Shape::Square, px,
                 y(point.milliseconds)});
    }
    return layout;
}
