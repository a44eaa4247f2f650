// Applying a table of control states to the window's controls.
#include "app/MainForm.h"

#include "app/setup/SettingBindings.h"

std::vector<::Control *> TMainForm::controls(ControlId which) const
{
    std::vector<::Control *> found;
    if (which == ControlId::SettingRadioGroups || which == ControlId::SettingDisplays) {
        for (const SettingBinding &binding : settingBindings) {
            if (which == ControlId::SettingRadioGroups && binding.group.member)
                found.push_back(this->*binding.group.member);
            if (which == ControlId::SettingDisplays && binding.display.member)
                found.push_back(this->*binding.display.member);
        }
        return found;
    }
#define ZEPHRA_CONTROL_MEMBER(name) name,
    ::Control *const members[SingleControlCount] = {
        ZEPHRA_MAINFORM_CONTROLS(ZEPHRA_CONTROL_MEMBER)};
#undef ZEPHRA_CONTROL_MEMBER
    found.push_back(members[static_cast<std::size_t>(which)]);
    return found;
}

void TMainForm::applyStates(const ControlStates &states)
{
    for (std::size_t i = 0; i < ControlCount; ++i) {
        if (states[i] == Enabled::Unchanged)
            continue;
        for (::Control *each : controls(static_cast<ControlId>(i)))
            each->setEnabled(states[i] == Enabled::On);
    }
    // The send strip follows SEND TEXT.
    showSendRun();
}
