// Push button and check box.
#pragma once

#include "framework/controls/Control.h"

#include <functional>

class Button : public virtual Control
{
public:
    virtual std::string caption() const = 0;
    virtual void setCaption(const std::string &caption) = 0;
    // As the user clicks it (a check box toggles first); nothing when disabled or hidden.
    virtual void click() = 0;
    std::function<void(Sender)> onClick;
};

class CheckBox : public Button
{
public:
    virtual bool checked() const = 0;
    // Runs onClick when the state changes.
    virtual void setChecked(bool checked) = 0;
};
