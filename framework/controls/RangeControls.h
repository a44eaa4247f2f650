// Controls that hold a number within a range: scroll bar and spin box.
#pragma once

#include "framework/controls/Control.h"

#include <functional>

class RangeControl : public virtual Control
{
public:
    virtual int minimum() const = 0;
    virtual int maximum() const = 0;
    virtual void setRange(int minimum, int maximum) = 0;
    virtual int position() const = 0;
    // Clamped to the range; runs onChange before it returns when the position changes.
    virtual void setPosition(int position) = 0;
    std::function<void(Sender)> onChange;
};

class ScrollBar : public RangeControl
{
};

class SpinBox : public RangeControl
{
};
