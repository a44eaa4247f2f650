// A group box drawn as the native one: an etched frame whose top line runs through the middle
// of the caption's line, broken where the caption stands. Qt's styles put the frame below the
// caption instead. The children keep the places they are given. UI thread only.
#pragma once

#include <QGroupBox>

class GroupBox : public QGroupBox
{
    Q_OBJECT

public:
    explicit GroupBox(QWidget *parent = nullptr);

    // Where the caption is drawn, on the frame's top line (empty without a caption).
    QRect captionRect() const;
    // The y of the frame's top line.
    int frameTop() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
