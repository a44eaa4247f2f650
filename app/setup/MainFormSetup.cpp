// The setup tab's procedures: connect and read all ("Open"), disconnect ("Close"), read all
// ("READ CONFIG"), write all ("SAVE CONFIG"), the scroll-bar displays and the window's close.
// Each procedure is a fixed sequence of commands, each followed by the exchange wait; a
// time-out only shows "Connect Time-Out" and the next command follows; only a port error
// ends a sequence early.
#include "app/MainForm.h"

#include "app/setup/SettingBindings.h"
#include "framework/core/Application.h"
#include "protocol/CommandSet.h"

#include <span>

namespace {

constexpr int ReplyTimeoutMs = 1500;

// Each procedure gets a period of its own: a period still running from an earlier procedure
// is stopped, so that this procedure's first wait starts a full one. Within the procedure
// the period then runs on across its exchanges.
void startProcedurePeriod(Timer &timer)
{
    timer.setEnabled(false);
    timer.setInterval(ReplyTimeoutMs);
}

// The end of "READ CONFIG" and "SAVE CONFIG". Also reached when a port error ends their
// sequence early: the procedure is over then too, and a tab left with none of its buttons
// enabled, not even "Close", could only be left by closing the window. A port closed under
// the procedure leaves the states of a closed tab, not the buttons of an open port.
void endProcedure(TMainForm &form)
{
    form.applyStates(form.PortOpened == 0 ? states::SetupClosed : states::SetupBusyEnd);
}

template<class Sequence> void runProcedure(TMainForm &form, Sequence sequence)
{
    try {
        sequence();
    } catch (...) {
        endProcedure(form);
        throw;
    }
    endProcedure(form);
}

// Each command of a sequence is sent by its own method, which takes a write's value from
// its control at the moment it runs: the firmware code's read, or a setting's read or write
// from its binding.
void sendByMethod(TMainForm &form, ModuleCommand command)
{
    if (command.code == setting::BiosVersion) {
        form.Read_BIOS_Version();
        return;
    }
    const SettingBinding &binding = *findBinding(command.code);
    (form.*(command.operation == frame::OperationWrite ? binding.write : binding.read))();
}

// Every command of the sequence, each followed by the wait; a time-out goes on to the next.
void runSequence(TMainForm &form, std::span<const ModuleCommand> commands)
{
    for (const ModuleCommand &next : commands) {
        sendByMethod(form, next);
        form.WaitCommandExecute();
        // A closed window ends the procedure: no command goes out after it.
        if (Application::instance().quitRequested())
            return;
    }
}

} // namespace

void TMainForm::runReadSequence()
{
    runSequence(*this, sequence::ReadAll);
}

void TMainForm::runWriteSequence()
{
    runSequence(*this, sequence::WriteAll);
}

void TMainForm::resetSettingControls()
{
    for (const SettingBinding &binding : settingBindings) {
        // -1 leaves a bar at 0; a bar that moves shows its new value through its change
        // handler.
        if (binding.group.member)
            (this->*binding.group.member)->setItemIndex(-1);
        else
            (this->*binding.bar.member)->setPosition(-1);
    }
}

void TMainForm::clearSettingDisplays()
{
    for (const SettingBinding &binding : settingBindings) {
        if (binding.display.member)
            (this->*binding.display.member)->clear();
    }
}

void TMainForm::OpenPortSetupClick(Control *)
{
    PortOpened = 1;
    ComPort1->setPort(ComboPortSetup->text());
    ComPort1->setBaudRate(br9600);
    ComPort1->Open();

    applyStates(states::SetupOpened);

    BiosDisplay->clear();
    StatusConnect->clear();
    clearSettingDisplays();
    resetSettingControls();
    startProcedurePeriod(*Timer1);

    runReadSequence();

    // "Close" pressed during the last wait leaves the tab as "Close" left it.
    applyStates(PortOpened == 0 ? states::SetupClosed : states::SetupOpenEnd);
}

void TMainForm::ClosePortSetupClick(Control *)
{
    if (PortOpened == 1) {
        PortOpened = 0;
        ComPort1->Close();
    }
    StatusConnect->setText("Disconnect");
    applyStates(states::SetupClosed);
}

void TMainForm::ReadConfigClick(Control *)
{
    applyStates(states::SetupBusy);
    resetSettingControls();
    // Cleared after the bars' reset, so all three displays end empty.
    BiosDisplay->clear();
    clearSettingDisplays();
    StatusConnect->clear();
    startProcedurePeriod(*Timer1);

    runProcedure(*this, [this] { runReadSequence(); });
}

void TMainForm::SaveConfigClick(Control *)
{
    applyStates(states::SetupBusy);
    clearSettingDisplays();
    startProcedurePeriod(*Timer1);

    runProcedure(*this, [this] { runWriteSequence(); });
}

void TMainForm::RFChannelChange(Control *)
{
    showSettingPosition(setting::RFChannel);
}

void TMainForm::RF_RX1_IDCodeChange(Control *)
{
    showSettingPosition(setting::RX1IDCode);
}

void TMainForm::RF_TXD_IDCodeChange(Control *)
{
    showSettingPosition(setting::TXDIDCode);
}

void TMainForm::FormClose(Control *)
{
    // A running link test ends with the window at once; it closes the port itself.
    if (linkHoldsPort())
        endLink(false);
    endReconnectWait();
    if (PortOpened == 1) {
        PortOpened = 0;
        ComPort1->Close();
    }
}
