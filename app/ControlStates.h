// The window's states in one place. The window expresses which connection it holds, and what
// the user may do next, only through which controls are enabled; each step of a handler that
// changes them applies one of the tables below (TMainForm::applyStates). A table names, for
// each control, on, off or unchanged. Pure data; the window applies them on the UI thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

// The controls whose enabled state the handlers set, listed once. Each entry is a control's
// name in the window: it makes the value of ControlId, the text controlName gives and, in
// TMainForm::controls, the member of that name. The setup tab's setting controls are not
// listed: ControlId names them by kind, from their bindings (app/setup/SettingBindings.h).
#define ZEPHRA_MAINFORM_CONTROLS(X)                                                                \
    X(ComboPortSetup)                                                                              \
    X(OpenPortSetup)                                                                               \
    X(ClosePortSetup)                                                                              \
    X(SaveConfig)                                                                                  \
    X(ReadConfig)                                                                                  \
    X(BiosDisplay)                                                                                 \
    X(StatusConnect)                                                                               \
    X(ComboPortRun)                                                                                \
    X(ComboBaudRun)                                                                                \
    X(OpenPortRun)                                                                                 \
    X(ClosePortRun)                                                                                \
    X(SendStringRun)                                                                               \
    X(ClearReceiveRun)                                                                             \
    X(ClearSendRun)                                                                                \
    X(EditSendRun)                                                                                 \
    X(MemoSendRun)                                                                                 \
    X(DtrRun)                                                                                      \
    X(RtsRun)                                                                                      \
    X(BreakRun)                                                                                    \
    X(ComboPortLink)                                                                               \
    X(ComboBaudLink)                                                                               \
    X(PacketSizeLink)                                                                              \
    X(PacketCountLink)                                                                             \
    X(UntilStoppedLink)                                                                            \
    X(StartLink)                                                                                   \
    X(StopLink)                                                                                    \
    X(SaveReportLink)

#define ZEPHRA_CONTROL_VALUE(name) name,
enum class ControlId : std::uint8_t {
    ZEPHRA_MAINFORM_CONTROLS(ZEPHRA_CONTROL_VALUE)
    // Every setting's radio group, and every text box beside a setting's scroll bar, each as
    // one entry. The scroll bars themselves are never disabled.
    SettingRadioGroups,
    SettingDisplays
};
#undef ZEPHRA_CONTROL_VALUE

#define ZEPHRA_CONTROL_ONE(name) +1
// The listed controls, one entry each; the two setting kinds follow them.
inline constexpr std::size_t SingleControlCount = 0 ZEPHRA_MAINFORM_CONTROLS(ZEPHRA_CONTROL_ONE);
#undef ZEPHRA_CONTROL_ONE
inline constexpr std::size_t ControlCount = SingleControlCount + 2;

// The control's name in the window, for messages.
constexpr const char *controlName(ControlId control)
{
#define ZEPHRA_CONTROL_NAME(name) #name,
    constexpr const char *names[ControlCount] = {
        ZEPHRA_MAINFORM_CONTROLS(ZEPHRA_CONTROL_NAME) "SettingRadioGroups", "SettingDisplays"};
#undef ZEPHRA_CONTROL_NAME
    return names[static_cast<std::size_t>(control)];
}

enum class Enabled : std::uint8_t { Unchanged, On, Off };

using ControlStates = std::array<Enabled, ControlCount>;

// A table that enables the controls of on, disables those of off and leaves the rest.
constexpr ControlStates controlStates(std::initializer_list<ControlId> on,
                                      std::initializer_list<ControlId> off)
{
    ControlStates states{};
    for (const ControlId control : on)
        states[static_cast<std::size_t>(control)] = Enabled::On;
    for (const ControlId control : off)
        states[static_cast<std::size_t>(control)] = Enabled::Off;
    return states;
}

// What applying over after base leaves: over's entries where it names one, else base's.
constexpr ControlStates operator+(ControlStates base, const ControlStates &over)
{
    for (std::size_t i = 0; i < ControlCount; ++i) {
        if (over[i] != Enabled::Unchanged)
            base[i] = over[i];
    }
    return base;
}

namespace states {

using enum ControlId;

// Window creation: every tab idle, no port chosen; the setup tab's boxes and radio groups and
// every button off until a port is chosen or opened; no link test report to save yet.
inline constexpr ControlStates Start = controlStates(
    {ComboPortSetup, ComboBaudRun, ComboPortRun, ComboPortLink, ComboBaudLink, PacketSizeLink,
     PacketCountLink, UntilStoppedLink},
    {BiosDisplay, StatusConnect, SettingRadioGroups, ClosePortSetup, OpenPortSetup, SaveConfig,
     ReadConfig, ClosePortRun, OpenPortRun, SendStringRun, ClearReceiveRun, ClearSendRun,
     EditSendRun, MemoSendRun, StartLink, StopLink, SaveReportLink});

// Choosing a port from a tab's list; a tab change when the test tab has none chosen.
inline constexpr ControlStates SetupPortChosen = controlStates({OpenPortSetup}, {});
inline constexpr ControlStates RunPortChosen = controlStates({OpenPortRun}, {});
inline constexpr ControlStates RunNoPortChosen = controlStates({}, {OpenPortRun});
inline constexpr ControlStates LinkPortChosen = controlStates({StartLink}, {});
inline constexpr ControlStates LinkNoPortChosen = controlStates({}, {StartLink});

// The setup tab's procedures: "Open" once the port is open (its step 5) and at its end,
// "Close", and "READ CONFIG" or "SAVE CONFIG" at their start and end.
inline constexpr ControlStates SetupOpened =
    controlStates({ClosePortSetup, SettingRadioGroups},
                  {ComboPortSetup, OpenPortSetup, SettingDisplays, BiosDisplay, ComboPortRun,
                   ComboBaudRun, OpenPortRun, ComboPortLink, ComboBaudLink, StartLink});
inline constexpr ControlStates SetupOpenEnd = controlStates({SaveConfig, ReadConfig}, {});
inline constexpr ControlStates SetupClosed = controlStates(
    {ComboPortSetup, OpenPortSetup, ComboPortRun, ComboBaudRun, OpenPortRun, ComboPortLink,
     ComboBaudLink, StartLink},
    {ClosePortSetup, SaveConfig, ReadConfig, SettingRadioGroups, SettingDisplays, BiosDisplay});
inline constexpr ControlStates SetupBusy =
    controlStates({}, {ClosePortSetup, SaveConfig, ReadConfig});
inline constexpr ControlStates SetupBusyEnd =
    controlStates({ClosePortSetup, SaveConfig, ReadConfig}, {});

// The test tab's "Open" once the port is open, and its "Close".
inline constexpr ControlStates RunOpened = controlStates(
    {ClosePortRun, MemoSendRun, SendStringRun, ClearReceiveRun, ClearSendRun, EditSendRun},
    {ComboPortSetup, OpenPortSetup, ComboPortRun, ComboBaudRun, OpenPortRun, ComboPortLink,
     ComboBaudLink, StartLink});
inline constexpr ControlStates RunClosed = controlStates(
    {OpenPortRun, ComboPortRun, ComboBaudRun, ComboPortSetup, OpenPortSetup, ComboPortLink,
     ComboBaudLink, StartLink},
    {ClosePortRun, SendStringRun, ClearReceiveRun, ClearSendRun, EditSendRun, MemoSendRun});
// The test tab's open port lost its device and the tab waits for it to return: only "Close",
// which ends the wait, and the clearing buttons stay; a return applies RunOpened again.
inline constexpr ControlStates RunWaiting =
    controlStates({ClosePortRun, ClearReceiveRun, ClearSendRun},
                  {OpenPortRun, SendStringRun, EditSendRun, MemoSendRun});

// The test tab's output lines and "BREAK": on only while the test tab holds the port (with
// RunOpened), off from the start and whenever the port closes; "BREAK" is off while it holds
// the line in a break.
inline constexpr ControlStates RunLinesOn = controlStates({DtrRun, RtsRun, BreakRun}, {});
inline constexpr ControlStates RunLinesOff = controlStates({}, {DtrRun, RtsRun, BreakRun});
inline constexpr ControlStates RunBreakHeld = controlStates({}, {BreakRun});
inline constexpr ControlStates RunBreakEnded = controlStates({BreakRun}, {});

// The link test tab's "Start" once the port is open: the test holds the port, so every tab's
// port list, rate and opening button is off, and so are the test's own settings; "Stop", once
// pressed, until the packets in flight are resolved; the test's end, with its port closed.
inline constexpr ControlStates LinkStarted =
    controlStates({StopLink}, {ComboPortSetup, OpenPortSetup, ComboPortRun, ComboBaudRun,
                               OpenPortRun, ComboPortLink, ComboBaudLink, PacketSizeLink,
                               PacketCountLink, UntilStoppedLink, StartLink, SaveReportLink});
inline constexpr ControlStates LinkStopping = controlStates({}, {StopLink});
inline constexpr ControlStates LinkEnded = controlStates(
    {ComboPortSetup, OpenPortSetup, ComboPortRun, ComboBaudRun, OpenPortRun, ComboPortLink,
     ComboBaudLink, PacketSizeLink, PacketCountLink, UntilStoppedLink, StartLink, SaveReportLink},
    {StopLink});
// "until stopped" ticked or not: the count box is off or on.
inline constexpr ControlStates LinkUntilStopped = controlStates({}, {PacketCountLink});
inline constexpr ControlStates LinkCounted = controlStates({PacketCountLink}, {});

} // namespace states
