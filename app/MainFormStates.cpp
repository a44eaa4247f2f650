// Applying a table of control states to the window's controls.
#include "app/MainForm.h"

::Control *TMainForm::control(ControlId which) const
{
#define ZEPHRA_CONTROL_MEMBER(name) name,
    ::Control *const members[ControlCount] = {ZEPHRA_MAINFORM_CONTROLS(ZEPHRA_CONTROL_MEMBER)};
#undef ZEPHRA_CONTROL_MEMBER
    return members[static_cast<std::size_t>(which)];
}

void TMainForm::applyStates(const ControlStates &states)
{
    for (std::size_t i = 0; i < ControlCount; ++i) {
        if (states[i] != Enabled::Unchanged)
            control(static_cast<ControlId>(i))->setEnabled(states[i] == Enabled::On);
    }
    // The send strip follows SEND TEXT.
    showSendRun();
}
