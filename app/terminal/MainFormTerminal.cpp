// The test tab: a plain serial terminal. Opens the port at the typed or chosen rate, sends the
// send text or each typed key one byte per write, and shows received bytes with control bytes
// written out as "<0xNN>".
#include "app/MainForm.h"

#include "app/terminal/ReceiveFormat.h"
#include "framework/core/IntegerText.h"

void TMainForm::OpenPortRunClick(Control *)
{
    PortOpened = 1;
    ComPort1->setPort(ComboPortRun->text());
    ComPort1->setBaudRate(brCustom);
    ComPort1->setCustomBaudRate(StrToInt(ComboBaudRun->text()));
    ComPort1->Open();
    m_bytesReceived = m_bytesSent = 0;
    showCounters();

    applyStates(states::RunOpened);
}

void TMainForm::ClosePortRunClick(Control *)
{
    if (PortOpened == 1)
        PortOpened = 0;
    ComPort1->Close();

    applyStates(states::RunClosed);
}

void TMainForm::writeByte(char byte)
{
    ComPort1->Write(&byte, 1);
    ++m_bytesSent;
}

void TMainForm::SendStringRunClick(Control *)
{
    // Nothing is appended: no CR, no LF. Each byte is written before the next one starts.
    for (const char byte : EditSendRun->text())
        writeByte(byte);
    showCounters();
}

void TMainForm::MemoSendRunKeyPress(Control *, char &Key)
{
    writeByte(Key);
    showCounters();
}

void TMainForm::ClearReceiveRunClick(Control *)
{
    MemoReceiveRun->clear();
}

void TMainForm::ClearSendRunClick(Control *)
{
    MemoSendRun->clear();
}

void TMainForm::receiveRun(std::int32_t count)
{
    // The two buffers keep their memory from one batch to the next: a flood brings tens of
    // kilobytes per batch, and fresh memory for each would cost more than the copying.
    ComPort1->ReadStr(m_receivedBytes, count);
    // What came meanwhile joins the batch. A device whose own queue is small (a pseudo-terminal
    // under Wine holds 4 KiB) would otherwise make every few kilobytes a round of events.
    while (m_receivedBytes.size() < kReceiveBatchLimit) {
        const std::int32_t more = ComPort1->InputQueueCount();
        if (more <= 0)
            break;
        ComPort1->ReadStr(m_moreBytes, more);
        m_receivedBytes += m_moreBytes;
    }
    m_bytesReceived += m_receivedBytes.size();
    if (!m_countersDue) {
        m_countersDue = true;
        m_countersTimer->startOnce(kCountersFrameMs);
    }
    MemoReceiveRun->captureReceived(m_receivedBytes);
    m_receivedText.clear();
    // Appending the whole batch shows exactly what appending its bytes one by one would.
    appendReceivedText(m_receivedText, m_receivedBytes);
    m_controlMarks.append(m_receivedBytes);
    MemoReceiveRun->append(m_receivedText);
}

void TMainForm::bindReceiveBox()
{
    // The box's Clear and the CLEAR RECEIVE button both end in the box's clear().
    MemoReceiveRun->onCleared = [this](Control *) { m_controlMarks.clear(); };
    MemoReceiveRun->setReceivedSource([this] {
        return [marks = m_controlMarks](const std::string &text) {
            return receivedBytes(text, marks);
        };
    });
    m_countersTimer->onTimer = [this](Timer *) {
        m_countersDue = false;
        showCounters();
    };
    MemoReceiveRun->onResetCounters = [this](Control *) {
        m_bytesReceived = m_bytesSent = 0;
        showCounters();
    };
    MemoReceiveRun->onCaptureChanged = [this](Control *) { showCapture(); };
}

void TMainForm::showCounters()
{
    CountersRun->setCaption("RX " + std::to_string(m_bytesReceived) + "  TX " +
                            std::to_string(m_bytesSent));
}

void TMainForm::showCapture()
{
    // The file's name only: the strip beside CLEAR RECEIVE has no room for its folder.
    const std::string path = MemoReceiveRun->captureName();
    CaptureRun->setCaption(path.empty() ? std::string()
                                        : "Capture: " + path.substr(path.find_last_of("/\\") + 1));
}
