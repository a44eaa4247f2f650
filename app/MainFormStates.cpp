// Applying a table of control states to the window's controls.
#include "app/MainForm.h"

QWidget *TMainForm::control(Control which) const
{
    switch (which) {
    case Control::ComboPortSetup:
        return ComboPortSetup;
    case Control::OpenPortSetup:
        return OpenPortSetup;
    case Control::ClosePortSetup:
        return ClosePortSetup;
    case Control::SaveConfig:
        return SaveConfig;
    case Control::ReadConfig:
        return ReadConfig;
    case Control::SelectBaudrateSetup:
        return SelectBaudrateSetup;
    case Control::SelectRFRate:
        return SelectRFRate;
    case Control::SelectRFMode:
        return SelectRFMode;
    case Control::SelectRFGain:
        return SelectRFGain;
    case Control::RFChannelDisplay:
        return RFChannelDisplay;
    case Control::RF1IDCodeDisplay:
        return RF1IDCodeDisplay;
    case Control::TXDIDCodeDisplay:
        return TXDIDCodeDisplay;
    case Control::BiosDisplay:
        return BiosDisplay;
    case Control::StatusConnect:
        return StatusConnect;
    case Control::ComboPortRun:
        return ComboPortRun;
    case Control::ComboBaudRun:
        return ComboBaudRun;
    case Control::OpenPortRun:
        return OpenPortRun;
    case Control::ClosePortRun:
        return ClosePortRun;
    case Control::SendStringRun:
        return SendStringRun;
    case Control::ClearReceiveRun:
        return ClearReceiveRun;
    case Control::ClearSendRun:
        return ClearSendRun;
    case Control::EditSendRun:
        return EditSendRun;
    case Control::MemoSendRun:
        return MemoSendRun;
    }
    return nullptr;
}

void TMainForm::applyStates(const ControlStates &states)
{
    for (std::size_t i = 0; i < ControlCount; ++i) {
        if (states[i] != Enabled::Unchanged)
            control(static_cast<Control>(i))->setEnabled(states[i] == Enabled::On);
    }
}
