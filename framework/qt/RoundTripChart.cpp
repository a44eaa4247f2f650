#include "framework/qt/RoundTripChart.h"
#include "framework/controls/ChartScaleOf.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace qt {

RoundTripChart::RoundTripChart(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);
}

void RoundTripChart::setPoints(std::vector<Point> points, double endSeconds)
{
    m_points = std::move(points);
    m_end = endSeconds;
    m_scale = chartScaleOf(m_points, endSeconds);
    update();
}

void RoundTripChart::clear()
{
    setPoints({}, 0);
}

void RoundTripChart::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(4, 4, -4, -4);
    const QFontMetrics metrics = painter.fontMetrics();
    // Scale texts on the left, the time span along the bottom.
    const QString top = QString::number(m_scale.topMilliseconds, 'g', 6) + " ms";
    const int left = area.left() + metrics.horizontalAdvance(top) + 6;
    const int bottom = area.bottom() - metrics.height();
    const int plotTop = area.top() + metrics.height() / 2 + 8; // room for the lost marks
    const QRect plot(QPoint(left, plotTop), QPoint(area.right(), bottom));
    if (plot.width() < 10 || plot.height() < 10)
        return;

    painter.setPen(Qt::gray);
    painter.drawRect(plot);
    painter.drawLine(plot.left(), plot.center().y(), plot.right(), plot.center().y());
    painter.setPen(Qt::black);
    painter.drawText(area.left(), plot.top() + metrics.ascent() / 2, top);
    painter.drawText(area.left(), plot.bottom(), QStringLiteral("0"));
    const QString spanText = QString::number(m_scale.spanSeconds, 'g', 3) + " s";
    painter.drawText(plot.left(), area.bottom(), "-" + spanText);
    painter.drawText(plot.right() - metrics.horizontalAdvance(QStringLiteral("now")), area.bottom(),
                     QStringLiteral("now"));

    // The points go inside the frame's lines, and the dots and marks are cut there: a dot
    // at "now" or at 0 ms would otherwise cover the frame and spill past it.
    const QRect inside(plot.left() + 1, plot.top() + 1, plot.width() - 1, plot.height() - 1);
    const QRect lostStrip(QPoint(inside.left(), area.top()),
                          QPoint(inside.right(), plot.top() - 1));
    const double start = m_scale.startSeconds;
    const double span = m_scale.spanSeconds;
    const auto x = [&](double seconds) {
        return inside.left() +
               static_cast<int>(std::lround((seconds - start) / span * (inside.width() - 1)));
    };
    const auto y = [&](double milliseconds) {
        const double share = std::clamp(milliseconds / m_scale.topMilliseconds, 0.0, 1.0);
        return inside.bottom() - static_cast<int>(std::lround(share * (inside.height() - 1)));
    };
    QPolygon returned;
    returned.reserve(static_cast<int>(m_points.size()));
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const Point &point : m_points) {
        if (point.seconds < start || point.seconds > m_end)
            continue;
        const int px = x(point.seconds);
        if (point.mark != Mark::Lost && m_scale.isAbove(point.milliseconds)) {
            // Beyond the scale: a caret against the top edge, in the colour of its kind.
            painter.setClipRect(inside);
            painter.setPen(point.mark == Mark::Returned ? QPen(QColor(0x00, 0x40, 0xc0), 2)
                                                        : QPen(QColor(0xc0, 0x70, 0x00), 2));
            const int top = inside.top();
            painter.drawPolyline(
                QPolygon({QPoint(px - 4, top + 5), QPoint(px, top + 1), QPoint(px + 4, top + 5)}));
            continue;
        }
        switch (point.mark) {
        case Mark::Returned:
            returned.append(QPoint(px, y(point.milliseconds)));
            break;
        case Mark::Damaged:
            painter.setClipRect(inside);
            painter.setPen(QColor(0xc0, 0x70, 0x00));
            painter.drawRect(px - 2, y(point.milliseconds) - 2, 4, 4);
            break;
        case Mark::Lost: {
            painter.setClipRect(lostStrip);
            painter.setPen(QPen(Qt::red, 2));
            const int py = plot.top() - 5;
            painter.drawLine(px - 3, py - 3, px + 3, py + 3);
            painter.drawLine(px - 3, py + 3, px + 3, py - 3);
            break;
        }
        }
    }
    painter.setClipRect(inside);
    painter.setPen(QPen(QColor(0x00, 0x40, 0xc0), 3));
    painter.drawPoints(returned);
}

} // namespace qt
