// The round-trip chart's picture as plain geometry, whichever backend draws it: the plot frame
// and its middle line, the scale texts, and one mark per packet in view. Returned packets are
// dots at the time they were sent and the time their round trip took, damaged ones open squares,
// lost ones crosses in the strip above the plot; round trips above the scale are carets at its
// top edge, in the colour of their kind. Rectangles include left and top and exclude right and
// bottom; the frame is drawn on the plot's outermost pixels, and the marks are cut at the inside
// of the frame (the crosses at the lost strip).
#pragma once

#include <functional>
#include <string>
#include <vector>

enum class RoundTripMark { Returned, Damaged, Lost };

struct RoundTripPoint
{
    double seconds = 0; // when the packet was sent, on the test's clock
    double milliseconds = 0;
    RoundTripMark mark = RoundTripMark::Returned;
};

// The chart's axes, chosen by its owner: the time at the left edge and at "now", the span
// between the edges, and the round trip at the top.
struct RoundTripScale
{
    double startSeconds = 0;
    double endSeconds = 0;
    double spanSeconds = 30;
    double topMilliseconds = 10;
};

struct ChartBox
{
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// The font the texts are drawn in: its line height, ascent and a text's width, in pixels.
struct ChartFont
{
    int height = 0;
    int ascent = 0;
    std::function<int(const std::string &)> width;
};

struct ChartText
{
    int x = 0, y = 0; // top left
    std::string text;
};

// Dot: 3 by 3 pixels around (x, y). Square: a 5 by 5 outline around it. Cross: two strokes
// from 3 pixels off (x, y) to 3 pixels off on the other side. Carets: strokes from (x - 4, y + 4)
// up to their tip (x, y) and down to (x + 4, y + 4). Strokes other than the square's are 2 wide.
struct ChartMark
{
    enum class Shape { Dot, Square, Cross, ReturnedCaret, DamagedCaret };
    Shape shape = Shape::Dot;
    int x = 0, y = 0;
};

struct ChartLayout
{
    bool empty = true; // too small to draw a plot: nothing is drawn
    ChartBox plot;
    int middle = 0;     // the row of the middle line, across the plot
    ChartBox inside;    // within the frame: where the dots, squares and carets are cut
    ChartBox lostStrip; // above the plot: where the crosses are cut
    std::vector<ChartText> texts;
    std::vector<ChartMark> marks;
};

// The chart in area: the round-trip texts on the left, the time span along the bottom.
ChartLayout layOutChart(const ChartBox &area, const ChartFont &font, const RoundTripScale &scale,
                        const std::vector<RoundTripPoint> &points);
