#include "framework/qt/RoundTripChart.h"
#include "framework/qt/Ansi.h"

#include <QPainter>

namespace qt {

RoundTripChart::RoundTripChart(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);
}

void RoundTripChart::setPoints(std::vector<Point> points, const Scale &scale)
{
    m_points = std::move(points);
    m_scale = scale;
    update();
}

void RoundTripChart::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QFontMetrics metrics = painter.fontMetrics();
    const QRect area = contentsRect().adjusted(4, 4, -4, -4);
    const ChartFont font{metrics.height(), metrics.ascent(), [&](const std::string &text) {
                             return metrics.horizontalAdvance(fromAnsi(text));
                         }};
    const ChartLayout layout = layOutChart(
        {area.left(), area.top(), area.right() + 1, area.bottom() + 1}, font, m_scale, m_points);
    if (layout.empty)
        return;
    const auto rect = [](const ChartBox &box) {
        return QRect(box.left, box.top, box.width(), box.height());
    };

    // A QRect's outline covers one pixel more than the rectangle, to the right and below.
    painter.setPen(Qt::gray);
    painter.drawRect(rect(layout.plot).adjusted(0, 0, -1, -1));
    painter.drawLine(layout.plot.left, layout.middle, layout.plot.right - 1, layout.middle);
    painter.setPen(Qt::black);
    for (const ChartText &text : layout.texts)
        painter.drawText(text.x, text.y + metrics.ascent(), fromAnsi(text.text));

    const QColor blue(0x00, 0x40, 0xc0), orange(0xc0, 0x70, 0x00);
    QPolygon dots;
    dots.reserve(static_cast<int>(layout.marks.size()));
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const ChartMark &mark : layout.marks) {
        const int x = mark.x, y = mark.y;
        painter.setClipRect(
            rect(mark.shape == ChartMark::Shape::Cross ? layout.lostStrip : layout.inside));
        switch (mark.shape) {
        case ChartMark::Shape::Dot:
            dots.append(QPoint(x, y));
            break;
        case ChartMark::Shape::Square:
            painter.setPen(orange);
            painter.drawRect(x - 2, y - 2, 4, 4);
            break;
        case ChartMark::Shape::Cross:
            painter.setPen(QPen(Qt::red, 2));
            painter.drawLine(x - 3, y - 3, x + 3, y + 3);
            painter.drawLine(x - 3, y + 3, x + 3, y - 3);
            break;
        case ChartMark::Shape::ReturnedCaret:
        case ChartMark::Shape::DamagedCaret:
            painter.setPen(QPen(mark.shape == ChartMark::Shape::ReturnedCaret ? blue : orange, 2));
            painter.drawPolyline(
                QPolygon({QPoint(x - 4, y + 4), QPoint(x, y), QPoint(x + 4, y + 4)}));
            break;
        }
    }
    painter.setClipRect(rect(layout.inside));
    painter.setPen(QPen(blue, 3));
    painter.drawPoints(dots);
}

} // namespace qt
