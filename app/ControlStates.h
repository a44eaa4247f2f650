// The window's states in one place. The window expresses which connection it holds, and what
// the user may do next, only through which controls are enabled; each step of a handler that
// changes them applies one of the tables below (TMainForm::applyStates). A table names, for
// each control, on, off or unchanged. Pure data; the window applies them on the UI thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

// The controls whose enabled state the handlers set. The three scroll bars are not among them:
// they are never disabled.
enum class Control : std::uint8_t {
    ComboPortSetup,
    OpenPortSetup,
    ClosePortSetup,
    SaveConfig,
    ReadConfig,
    SelectBaudrateSetup,
    SelectRFRate,
    SelectRFMode,
    SelectRFGain,
    RFChannelDisplay,
    RF1IDCodeDisplay,
    TXDIDCodeDisplay,
    BiosDisplay,
    StatusConnect,
    ComboPortRun,
    ComboBaudRun,
    OpenPortRun,
    ClosePortRun,
    SendStringRun,
    ClearReceiveRun,
    ClearSendRun,
    EditSendRun,
    MemoSendRun,
};
inline constexpr std::size_t ControlCount = static_cast<std::size_t>(Control::MemoSendRun) + 1;

// The control's name in the window, for messages.
constexpr const char *controlName(Control control)
{
    constexpr const char *names[ControlCount] = {
        "ComboPortSetup", "OpenPortSetup",       "ClosePortSetup",   "SaveConfig",
        "ReadConfig",     "SelectBaudrateSetup", "SelectRFRate",     "SelectRFMode",
        "SelectRFGain",   "RFChannelDisplay",    "RF1IDCodeDisplay", "TXDIDCodeDisplay",
        "BiosDisplay",    "StatusConnect",       "ComboPortRun",     "ComboBaudRun",
        "OpenPortRun",    "ClosePortRun",        "SendStringRun",    "ClearReceiveRun",
        "ClearSendRun",   "EditSendRun",         "MemoSendRun"};
    return names[static_cast<std::size_t>(control)];
}

enum class Enabled : std::uint8_t { Unchanged, On, Off };

using ControlStates = std::array<Enabled, ControlCount>;

// A table that enables the controls of on, disables those of off and leaves the rest.
constexpr ControlStates controlStates(std::initializer_list<Control> on,
                                      std::initializer_list<Control> off)
{
    ControlStates states{};
    for (const Control control : on)
        states[static_cast<std::size_t>(control)] = Enabled::On;
    for (const Control control : off)
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

using enum Control;

// Window creation: both tabs idle, no port chosen; the setup tab's boxes and radio groups and
// every button off until a port is chosen or opened.
inline constexpr ControlStates Start = controlStates(
    {ComboPortSetup, ComboBaudRun, ComboPortRun},
    {BiosDisplay, StatusConnect, SelectBaudrateSetup, SelectRFRate, SelectRFMode, SelectRFGain,
     ClosePortSetup, OpenPortSetup, SaveConfig, ReadConfig, ClosePortRun, OpenPortRun,
     SendStringRun, ClearReceiveRun, ClearSendRun, EditSendRun, MemoSendRun});

// Choosing a port from a tab's list; a tab change when the test tab has none chosen.
inline constexpr ControlStates SetupPortChosen = controlStates({OpenPortSetup}, {});
inline constexpr ControlStates RunPortChosen = controlStates({OpenPortRun}, {});
inline constexpr ControlStates RunNoPortChosen = controlStates({}, {OpenPortRun});

// The setup tab's procedures: "Open" once the port is open (its step 5) and at its end,
// "Close", and "READ CONFIG" or "SAVE CONFIG" at their start and end.
inline constexpr ControlStates SetupOpened =
    controlStates({ClosePortSetup, SelectBaudrateSetup, SelectRFRate, SelectRFMode, SelectRFGain},
                  {ComboPortSetup, OpenPortSetup, RFChannelDisplay, RF1IDCodeDisplay,
                   TXDIDCodeDisplay, BiosDisplay, ComboPortRun, ComboBaudRun, OpenPortRun});
inline constexpr ControlStates SetupOpenEnd = controlStates({SaveConfig, ReadConfig}, {});
inline constexpr ControlStates SetupClosed = controlStates(
    {ComboPortSetup, OpenPortSetup, ComboPortRun, ComboBaudRun, OpenPortRun},
    {ClosePortSetup, SaveConfig, ReadConfig, SelectBaudrateSetup, SelectRFRate, SelectRFMode,
     SelectRFGain, RFChannelDisplay, RF1IDCodeDisplay, TXDIDCodeDisplay, BiosDisplay});
inline constexpr ControlStates SetupBusy =
    controlStates({}, {ClosePortSetup, SaveConfig, ReadConfig});
inline constexpr ControlStates SetupBusyEnd =
    controlStates({ClosePortSetup, SaveConfig, ReadConfig}, {});

// The test tab's "Open" once the port is open, and its "Close".
inline constexpr ControlStates RunOpened = controlStates(
    {ClosePortRun, MemoSendRun, SendStringRun, ClearReceiveRun, ClearSendRun, EditSendRun},
    {ComboPortSetup, OpenPortSetup, ComboPortRun, ComboBaudRun, OpenPortRun});
inline constexpr ControlStates RunClosed = controlStates(
    {OpenPortRun, ComboPortRun, ComboBaudRun, ComboPortSetup, OpenPortSetup},
    {ClosePortRun, SendStringRun, ClearReceiveRun, ClearSendRun, EditSendRun, MemoSendRun});

} // namespace states
