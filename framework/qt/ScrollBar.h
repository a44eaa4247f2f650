// Horizontal scroll bar of the window. Its position always lies within its range: setting a
// position outside clamps it (-1 gives the minimum). onChange runs after every real change of
// the position, whether the user moved the bar or the program set it (also when a new range
// moves it), and never when the position stays the same. With the focus, the arrow keys move
// one step, Page Up/Down one page step, Home/End to the ends. UI thread only.
#pragma once

#include <QScrollBar>
#include <functional>

namespace qt {

class ScrollBar : public QScrollBar
{
    Q_OBJECT
    Q_PROPERTY(int position READ position WRITE setPosition)

public:
    explicit ScrollBar(QWidget *parent = nullptr);

    int position() const { return value(); }
    void setPosition(int position) { setValue(position); }

    std::function<void()> onChange;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace qt
