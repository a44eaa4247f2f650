// A chart of round trips over time, drawn as framework/core/ChartLayout.h lays it out on the
// scale its owner gives. Painting costs in proportion to the points in view. UI thread only.
#pragma once

#include "framework/controls/Containers.h"

#include <QFrame>

#include <vector>

namespace qt {

class RoundTripChart : public QFrame
{
    Q_OBJECT

public:
    using Mark = ::RoundTripChart::Mark;
    using Point = ::RoundTripChart::Point;
    using Scale = ::RoundTripChart::Scale;

    explicit RoundTripChart(QWidget *parent = nullptr);

    void setPoints(std::vector<Point> points, const Scale &scale);
    const std::vector<Point> &points() const { return m_points; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<Point> m_points;
    Scale m_scale;
};

} // namespace qt
