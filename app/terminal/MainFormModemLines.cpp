// The test tab's modem lines: CTS, DSR, DCD and RI shown as the port's line events tell them,
// the DTR and RTS outputs switched by their check boxes, and "BREAK", which holds the line in a
// break for a moment. The outputs start off at every open, as the port leaves them: a radio
// keyed by RTS must not transmit because the port was opened. Nothing here is remembered.
#include "app/MainForm.h"

#include "framework/core/HandlerGuard.h"

void TMainForm::bindModemLines()
{
    // The port's stored line slots stay the form's, unassigned; this follows the same news.
    Label *const indicators[] = {CtsRun, DsrRun, RiRun, DcdRun}; // in TLineSignal's order
    ComPort1->OnLineChange = [this, indicators](Component *, TLineSignal line, bool on) {
        showModemLine(indicators[line], on);
        // The system tells only that a ring began: RI is read again until it falls.
        if (line == lsRing)
            m_ringTimer->startOnce(kRingReadMs);
    };
    for (Label *indicator : indicators)
        showModemLine(indicator, false);
    m_ringTimer->onTimer = [this](Timer *) { runGuarded([this] { followRing(); }); };
    m_breakTimer->onTimer = [this](Timer *) {
        // "BREAK" comes back first: a line that would not let go may be tried again.
        applyStates(states::RunBreakEnded);
        runGuarded([this] { endBreak(); });
    };
    DtrRun->onClick = [this](Control *sender) { DtrRunClick(sender); };
    RtsRun->onClick = [this](Control *sender) { RtsRunClick(sender); };
    BreakRun->onClick = [this](Control *sender) { BreakRunClick(sender); };
    applyStates(states::RunLinesOff);
}

void TMainForm::endOutputLines()
{
    // The port opens with both lines off: so do the ticks at the next open.
    DtrRun->setChecked(false);
    RtsRun->setChecked(false);
    applyStates(states::RunLinesOff);
}

void TMainForm::showModemLine(Label *indicator, bool on)
{
    // The line's level as a digit, which fits the strip in the window's font, and a line that
    // is low greyed, so that the high ones stand out. The caption is also what screen readers
    // name the label by.
    const std::string caption = indicator->caption();
    indicator->setCaption(caption.substr(0, caption.find(' ')) + (on ? " 1" : " 0"));
    indicator->setEnabled(on);
}

void TMainForm::followRing()
{
    // Closed, the port reads nothing lit; a lost device has no lines to read.
    if (!ComPort1->Connected() || ComPort1->DeviceLost()) {
        showModemLine(RiRun, false);
        return;
    }
    const bool ringing = ComPort1->ModemSignals().contains(lsRing);
    showModemLine(RiRun, ringing);
    if (ringing)
        m_ringTimer->startOnce(kRingReadMs);
}

void TMainForm::DtrRunClick(Control *)
{
    // Unticked by the close as well, when there is no line to switch.
    if (ComPort1->Connected())
        ComPort1->SetDTR(DtrRun->checked());
}

void TMainForm::RtsRunClick(Control *)
{
    if (ComPort1->Connected())
        ComPort1->SetRTS(RtsRun->checked());
}

void TMainForm::BreakRunClick(Control *)
{
    ComPort1->SetBreak(true);
    m_breakHeld = true;
    applyStates(states::RunBreakHeld);
    m_breakTimer->startOnce(kBreakMs);
}

void TMainForm::endBreak()
{
    if (!m_breakHeld)
        return;
    m_breakHeld = false;
    m_breakTimer->setEnabled(false);
    // A device that is gone has no line to let go, and its loss has been told.
    if (ComPort1->Connected() && !ComPort1->DeviceLost())
        ComPort1->SetBreak(false);
}
