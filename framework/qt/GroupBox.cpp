#include "framework/qt/GroupBox.h"

#include <QPainter>
#include <QStyle>

namespace {

// Where the caption starts on the frame's top line.
constexpr int CaptionIndent = 8;

} // namespace

GroupBox::GroupBox(QWidget *parent) : QGroupBox(parent) {}

QRect GroupBox::captionRect() const
{
    if (title().isEmpty())
        return {};
    const QFontMetrics metrics = fontMetrics();
    return {CaptionIndent, 0, metrics.horizontalAdvance(title()) + 4, metrics.height()};
}

int GroupBox::frameTop() const
{
    return fontMetrics().height() / 2;
}

void GroupBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect caption = captionRect();
    if (!caption.isEmpty())
        painter.setClipRegion(QRegion(rect()).subtracted(caption));
    const QRect frame = rect().adjusted(0, frameTop(), -1, -1);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.adjusted(1, 1, 0, 0));
    painter.setClipping(false);
    if (!caption.isEmpty())
        style()->drawItemText(&painter, caption, Qt::AlignCenter | Qt::TextShowMnemonic, palette(),
                              isEnabled(), title(), foregroundRole());
}
