// What the window shows and what a user does there, through its neutral controls only: the
// window tests of both toolkits share it. UI thread only.
#pragma once

#include "app/MainForm.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>

// The window's states as the user meets them: every control of ControlStates.h on when listed
// in on, off otherwise, except those in either, which may be both.
inline ControlStates onlyOn(std::initializer_list<ControlId> on,
                            std::initializer_list<ControlId> either = {})
{
    ControlStates states = controlStates(on, {});
    for (Enabled &state : states) {
        if (state == Enabled::Unchanged)
            state = Enabled::Off;
    }
    for (const ControlId control : either)
        states[static_cast<std::size_t>(control)] = Enabled::Unchanged;
    return states;
}

namespace named {
using enum ControlId;
// The three read-only displays beside the scroll bars are enabled from the start until a
// setup connection first disables them, so what the test tab shows leaves them open.
constexpr auto displays = {SettingDisplays};
// The link test tab's own settings stay on while another tab holds the port; its port list
// and rate come on with them whenever no tab holds the port.
inline const ControlStates linkSettings =
    controlStates({PacketSizeLink, PacketCountLink, UntilStoppedLink}, {});
inline const ControlStates linkIdle =
    linkSettings + controlStates({ComboPortLink, ComboBaudLink}, {});
// Nothing chosen, nothing open, as at start.
inline const ControlStates idle =
    onlyOn({ComboPortSetup, ComboPortRun, ComboBaudRun, SettingDisplays}) + linkIdle;
// After either tab's "Close": every tab may open again. The link test tab's "Start" is on
// again too, unless a tab change found no port chosen there.
inline const ControlStates idleBothOpenable = [] {
    ControlStates states =
        onlyOn({ComboPortSetup, OpenPortSetup, ComboPortRun, ComboBaudRun, OpenPortRun}, displays) +
        linkIdle;
    states[static_cast<std::size_t>(StartLink)] = Enabled::Unchanged;
    return states;
}();
// The setup tab holds the port: "Open" reading, then connected and idle, then a procedure
// ("READ CONFIG", "SAVE CONFIG") running.
inline const ControlStates setupConnecting =
    onlyOn({ClosePortSetup, SettingRadioGroups}) + linkSettings;
inline const ControlStates setupConnected =
    onlyOn({ClosePortSetup, SaveConfig, ReadConfig, SettingRadioGroups}) + linkSettings;
inline const ControlStates setupBusy = onlyOn({SettingRadioGroups}) + linkSettings;
// The test tab holds the port.
inline const ControlStates testConnected =
    onlyOn({ClosePortRun, MemoSendRun, SendStringRun, ClearReceiveRun, ClearSendRun, EditSendRun,
            DtrRun, RtsRun, BreakRun},
           displays) +
    linkSettings;
} // namespace named

// Which of the controls of ControlStates.h the window has enabled; a kind of setting control
// with some on and some off shows as Unchanged, which no expected state matches.
inline ControlStates shownStates(const TMainForm &form)
{
    ControlStates states{};
    for (std::size_t i = 0; i < ControlCount; ++i) {
        std::set<bool> on;
        for (const ::Control *control : form.controls(static_cast<ControlId>(i)))
            on.insert(control->enabled());
        states[i] = on.size() > 1 ? Enabled::Unchanged : *on.begin() ? Enabled::On : Enabled::Off;
    }
    return states;
}

// Whether the window shows the states expected, naming each control that differs.
inline ::testing::AssertionResult shows(const TMainForm &form, const ControlStates &expected)
{
    const ControlStates shown = shownStates(form);
    std::string wrong;
    for (std::size_t i = 0; i < ControlCount; ++i) {
        if (expected[i] != Enabled::Unchanged && shown[i] != expected[i])
            wrong += std::string(" ") + controlName(static_cast<ControlId>(i)) +
                     (expected[i] == Enabled::On ? " is off" : " is on");
    }
    if (wrong.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "controls differ:" << wrong;
}

// A failed comparison of states lists the controls that are on.
inline void PrintTo(const ControlStates &states, std::ostream *out)
{
    *out << "on:";
    for (std::size_t i = 0; i < ControlCount; ++i) {
        if (states[i] == Enabled::On)
            *out << ' ' << controlName(static_cast<ControlId>(i));
    }
}

// The user drops a port list down and picks name; false when the name was not listed.
inline bool choose(ComboBox *list, const std::string &name)
{
    list->onDropDown(list);
    int i = 0;
    while (i < list->count() && list->item(i) != name)
        ++i;
    list->choose(i); // past the end: nothing chosen
    return i < list->count();
}
