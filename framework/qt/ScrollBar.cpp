#include "framework/qt/ScrollBar.h"

#include <QKeyEvent>

namespace qt {

ScrollBar::ScrollBar(QWidget *parent) : QScrollBar(Qt::Horizontal, parent)
{
    // A Windows scroll bar control is a tab stop and moves one step per trough click.
    setFocusPolicy(Qt::StrongFocus);
    setSingleStep(1);
    setPageStep(1);
    connect(this, &QAbstractSlider::valueChanged, this, [this] {
        if (onChange)
            onChange();
    });
}

// Qt's scroll bar ignores the keyboard; the Windows control moves with it.
void ScrollBar::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        triggerAction(SliderSingleStepSub);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        triggerAction(SliderSingleStepAdd);
        break;
    case Qt::Key_PageUp:
        triggerAction(SliderPageStepSub);
        break;
    case Qt::Key_PageDown:
        triggerAction(SliderPageStepAdd);
        break;
    case Qt::Key_Home:
        triggerAction(SliderToMinimum);
        break;
    case Qt::Key_End:
        triggerAction(SliderToMaximum);
        break;
    default:
        QScrollBar::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace qt
