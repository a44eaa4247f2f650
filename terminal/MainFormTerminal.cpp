// The test tab: a plain serial terminal. Opens the port at the typed or chosen rate, sends the
// send text or each typed key one byte per write, and shows received bytes with control bytes
// written out as "<0xNN>".
#include "app/MainForm.h"

#include "framework/core/Ansi.h"
#include "terminal/RateText.h"
#include "terminal/ReceiveFormat.h"

void TMainForm::OpenPortRunClick(QObject *)
{
    PortOpened = 1;
    ComPort1->setPort(toAnsi(ComboPortRun->currentText()));
    ComPort1->setBaudRate(brCustom);
    ComPort1->setCustomBaudRate(rateFromText(toAnsi(ComboBaudRun->currentText())));
    ComPort1->Open();

    ComboPortSetup->setEnabled(false);
    OpenPortSetup->setEnabled(false);
    ComboPortRun->setEnabled(false);
    ComboBaudRun->setEnabled(false);
    OpenPortRun->setEnabled(false);
    ClosePortRun->setEnabled(true);
    MemoSendRun->setEnabled(true);
    SendStringRun->setEnabled(true);
    ClearReceiveRun->setEnabled(true);
    ClearSendRun->setEnabled(true);
    EditSendRun->setEnabled(true);
}

void TMainForm::ClosePortRunClick(QObject *)
{
    if (PortOpened == 1)
        PortOpened = 0;
    ComPort1->Close();

    ClosePortRun->setEnabled(false);
    OpenPortRun->setEnabled(true);
    ComboPortRun->setEnabled(true);
    ComboBaudRun->setEnabled(true);
    ComboPortSetup->setEnabled(true);
    OpenPortSetup->setEnabled(true);
    SendStringRun->setEnabled(false);
    ClearReceiveRun->setEnabled(false);
    ClearSendRun->setEnabled(false);
    EditSendRun->setEnabled(false);
    MemoSendRun->setEnabled(false);
}

void TMainForm::writeByte(char byte)
{
    ComPort1->Write(&byte, 1);
}

void TMainForm::SendStringRunClick(QObject *)
{
    // Nothing is appended: no CR, no LF. Each byte is written before the next one starts.
    for (const char byte : toAnsi(EditSendRun->text()))
        writeByte(byte);
}

void TMainForm::MemoSendRunKeyPress(QObject *, char &Key)
{
    writeByte(Key);
}

void TMainForm::ClearReceiveRunClick(QObject *)
{
    MemoReceiveRun->clear();
}

void TMainForm::ClearSendRunClick(QObject *)
{
    MemoSendRun->clear();
}

void TMainForm::receiveRun(std::int32_t count)
{
    std::string received;
    ComPort1->ReadStr(received, count);
    // Appending the whole batch shows exactly what appending its bytes one by one would.
    MemoReceiveRun->append(receivedText(received));
}
