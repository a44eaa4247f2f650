// A chart of round trips over time: one dot per packet at the time it was sent and the time
// its round trip took, damaged packets as open squares at the time they came back, lost ones
// as crosses along the top edge. It shows the whole run up to the time it is given, and once
// the run is longer than 30 s the last 30 s, so the points scroll left as that time moves on.
// The vertical scale follows the packets that came back intact (radio::chartScale); round
// trips above it are drawn at the top edge as carets. Painting costs in proportion to the
// points in view. UI thread only.
#pragma once

#include "framework/controls/Containers.h"

#include "link/ChartScale.h"

#include <QFrame>

#include <vector>

namespace qt {

class RoundTripChart : public QFrame
{
    Q_OBJECT

public:
    using Mark = ::RoundTripChart::Mark;
    using Point = ::RoundTripChart::Point;

    explicit RoundTripChart(QWidget *parent = nullptr);

    // The points to show, by time, and the time at the chart's right edge.
    void setPoints(std::vector<Point> points, double endSeconds);
    void clear();
    const std::vector<Point> &points() const { return m_points; }
    double spanSeconds() const { return m_scale.spanSeconds; }
    // The top of the vertical scale for the points in view, ms.
    double scaleMilliseconds() const { return m_scale.topMilliseconds; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<Point> m_points;
    double m_end = 0;
    radio::ChartScale m_scale;
};

} // namespace qt
