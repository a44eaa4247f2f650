// The setup tab's procedures: connect and read all ("Open"), disconnect ("Close"), read all
// ("READ CONFIG"), write all ("SAVE CONFIG"), the scroll-bar displays and the window's close.
// Each procedure is a fixed sequence of commands, each followed by the exchange wait; a
// time-out only shows "Connect Time-Out" and the next command follows; only a port error
// ends a sequence early.
#include "app/MainForm.h"

#include "framework/core/Ansi.h"
#include "framework/core/Timer.h"
#include "protocol/CommandSet.h"

#include <cstddef>

namespace {

constexpr int ReplyTimeoutMs = 1500;

// The end of "READ CONFIG" and "SAVE CONFIG". Also reached when a port error ends their
// sequence early: the procedure is over then too, and a tab left with none of its buttons
// enabled, not even "Close", could only be left by closing the window.
void enableProcedureButtons(TMainForm &form)
{
    form.ReadConfig->setEnabled(true);
    form.SaveConfig->setEnabled(true);
    form.ClosePortSetup->setEnabled(true);
}

template<class Sequence> void runProcedure(TMainForm &form, Sequence sequence)
{
    try {
        sequence();
    } catch (...) {
        enableProcedureButtons(form);
        throw;
    }
    enableProcedureButtons(form);
}

// Each command of a sequence is sent by its own method, which takes a write's value from
// its control at the moment it runs.
struct CommandMethod
{
    ModuleCommand command;
    void (TMainForm::*send)();
};

constexpr CommandMethod commandMethods[] = {
    {command::ReadBiosVersion, &TMainForm::Read_BIOS_Version},
    {command::ReadUserBaudrate, &TMainForm::Read_User_Baudrate},
    {command::ReadRFMode, &TMainForm::Read_RF_Mode},
    {command::ReadRFDataRate, &TMainForm::Read_RF_DataRate},
    {command::ReadRFGain, &TMainForm::Read_RF_Gain},
    {command::ReadRFChannel, &TMainForm::Read_RF_Channel},
    {command::ReadRX1IDCode, &TMainForm::Read_RX1_IDCode},
    {command::ReadTXDIDCode, &TMainForm::Read_TXD_IDCode},
    {command::WriteUserBaudrate, &TMainForm::Write_User_Baudrate},
    {command::WriteRFMode, &TMainForm::Write_RF_Mode},
    {command::WriteRFDataRate, &TMainForm::Write_RF_DataRate},
    {command::WriteRFGain, &TMainForm::Write_RF_Gain},
    {command::WriteRFChannel, &TMainForm::Write_RF_Channel},
    {command::WriteRX1IDCode, &TMainForm::Write_RX1_IDCode},
    {command::WriteTXDIDCode, &TMainForm::Write_TXD_IDCode},
};

// Every command of the sequence, each followed by the wait; a time-out goes on to the next.
template<std::size_t N> void runSequence(TMainForm &form, const ModuleCommand (&commands)[N])
{
    for (const ModuleCommand &next : commands) {
        for (const CommandMethod &method : commandMethods) {
            if (method.command.operation == next.operation && method.command.code == next.code) {
                (form.*method.send)();
                break;
            }
        }
        form.WaitCommandExecute();
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
    SelectBaudrateSetup->setItemIndex(-1);
    SelectRFRate->setItemIndex(-1);
    SelectRFMode->setItemIndex(-1);
    SelectRFGain->setItemIndex(-1);
    // -1 leaves a bar at 0; a bar that moves shows its new value through its change handler.
    RF_RX1_IDCode->setPosition(-1);
    RF_TXD_IDCode->setPosition(-1);
    RFChannel->setPosition(-1);
}

void TMainForm::OpenPortSetupClick(QObject *)
{
    PortOpened = 1;
    ComPort1->setPort(toAnsi(ComboPortSetup->currentText()));
    ComPort1->setBaudRate(br9600);
    ComPort1->Open();

    ComboPortSetup->setEnabled(false);
    OpenPortSetup->setEnabled(false);
    ClosePortSetup->setEnabled(true);
    SelectBaudrateSetup->setEnabled(true);
    SelectRFRate->setEnabled(true);
    SelectRFMode->setEnabled(true);
    SelectRFGain->setEnabled(true);
    RFChannelDisplay->setEnabled(false);
    RF1IDCodeDisplay->setEnabled(false);
    TXDIDCodeDisplay->setEnabled(false);
    BiosDisplay->setEnabled(false);
    ComboPortRun->setEnabled(false);
    ComboBaudRun->setEnabled(false);
    OpenPortRun->setEnabled(false);

    BiosDisplay->clear();
    StatusConnect->clear();
    RFChannelDisplay->clear();
    RF1IDCodeDisplay->clear();
    TXDIDCodeDisplay->clear();
    resetSettingControls();
    Timer1->setInterval(ReplyTimeoutMs);

    runReadSequence();

    SaveConfig->setEnabled(true);
    ReadConfig->setEnabled(true);
}

void TMainForm::ClosePortSetupClick(QObject *)
{
    if (PortOpened == 1) {
        PortOpened = 0;
        ComPort1->Close();
    }
    BiosDisplay->setEnabled(false);
    StatusConnect->setText(QStringLiteral("Disconnect"));

    ComboPortSetup->setEnabled(true);
    OpenPortSetup->setEnabled(true);
    ClosePortSetup->setEnabled(false);
    SaveConfig->setEnabled(false);
    ReadConfig->setEnabled(false);
    SelectBaudrateSetup->setEnabled(false);
    SelectRFRate->setEnabled(false);
    SelectRFMode->setEnabled(false);
    SelectRFGain->setEnabled(false);
    RFChannelDisplay->setEnabled(false);
    RF1IDCodeDisplay->setEnabled(false);
    TXDIDCodeDisplay->setEnabled(false);
    ComboPortRun->setEnabled(true);
    ComboBaudRun->setEnabled(true);
    OpenPortRun->setEnabled(true);
}

void TMainForm::ReadConfigClick(QObject *)
{
    ReadConfig->setEnabled(false);
    SaveConfig->setEnabled(false);
    ClosePortSetup->setEnabled(false);
    resetSettingControls();
    // Cleared after the bars' reset, so all three displays end empty.
    BiosDisplay->clear();
    RF1IDCodeDisplay->clear();
    TXDIDCodeDisplay->clear();
    RFChannelDisplay->clear();
    StatusConnect->clear();
    Timer1->setInterval(ReplyTimeoutMs);

    runProcedure(*this, [this] { runReadSequence(); });
}

void TMainForm::SaveConfigClick(QObject *)
{
    ReadConfig->setEnabled(false);
    SaveConfig->setEnabled(false);
    ClosePortSetup->setEnabled(false);
    RF1IDCodeDisplay->clear();
    TXDIDCodeDisplay->clear();
    RFChannelDisplay->clear();
    Timer1->setInterval(ReplyTimeoutMs);

    runProcedure(*this, [this] { runWriteSequence(); });
}

void TMainForm::RFChannelChange(QObject *)
{
    RFChannelDisplay->setText(QString::number(RFChannel->position()));
}

void TMainForm::RF_RX1_IDCodeChange(QObject *)
{
    RF1IDCodeDisplay->setText(QString::asprintf("%.2X", RF_RX1_IDCode->position()));
}

void TMainForm::RF_TXD_IDCodeChange(QObject *)
{
    TXDIDCodeDisplay->setText(QString::asprintf("%.2X", RF_TXD_IDCode->position()));
}

void TMainForm::FormClose(QObject *)
{
    if (PortOpened == 1) {
        PortOpened = 0;
        ComPort1->Close();
    }
}
