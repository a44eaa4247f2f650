// The test tab's modem lines: CTS, DSR, DCD and RI shown as the port's line events tell them,
// the DTR and RTS outputs switched by their check boxes, and "BREAK", which holds the line in a
// break for a moment. The outputs start off at every open, as the port leaves them: a radio
// keyed by RTS must not transmit because the port was opened. Nothing here is remembered.
#include "app/MainForm.h"

#include "framework/core/HandlerGuard.h"

void TMainForm::bindModemLines()
{
    ComPort1->OnCTSChange = [this](Component *, bool on) { showModemLine(CtsRun, on); };
    ComPort1->OnDSRChange = [this](Component *, bool on) { showModemLine(DsrRun, on); };
    ComPort1->OnRLSDChange = [this](Component *, bool on) { showModemLine(DcdRun, on); };
    // The system tells only that a ring began: RI is read again until it falls.
    ComPort1->OnRing = [this](Component *) {
        showModemLine(RiRun, true);
        m_ringTimer->startOnce(kRingReadMs);
    };
    m_ringTimer->onTimer = [this](Timer *) { runGuarded([this] { followRing(); }); };
    m_breakTimer->onTimer = [this](Timer *) {
        // "BREAK" comes back first: a line that would not let go may be tried again.
        applyStates(states::RunBreakEnded);
        runGuarded([this] { endBreak(); });
    };
    DtrRun->onClick = [this](Control *sender) { DtrRunClick(sender); };
    RtsRun->onClick = [this](Control *sender) { RtsRunClick(sender); };
    BreakRun->onClick = [this](Control *sender) { BreakRunClick(sender); };
    // Whoever closes the port (a tab, a lost device), the break is let go first and the
    // outputs read off afterwards; the port itself reports CTS, DSR and DCD off.
    ComPort1->OnBeforeClose = [this](Component *) { endBreak(); };
    applyStates(states::RunLinesOff);
    for (Label *indicator : {CtsRun, DsrRun, DcdRun, RiRun})
        showModemLine(indicator, false);
    ComPort1->OnAfterClose = [this](Component *) {
        applyStates(states::RunLinesOff);
        m_ringTimer->setEnabled(false);
        showModemLine(RiRun, false);
        DtrRun->setChecked(false);
        RtsRun->setChecked(false);
    };
}

void TMainForm::showModemLine(Label *indicator, bool on)
{
    // The line's level as a digit, which fits the strip in the window's font, and a line that
    // is low greyed, so that the high ones stand out.
    const std::string caption = indicator->caption();
    indicator->setCaption(caption.substr(0, caption.find(' ')) + (on ? " 1" : " 0"));
    indicator->setEnabled(on);
}

void TMainForm::followRing()
{
    if (!ComPort1->Connected() || ComPort1->DeviceLost())
        return;
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
    if (!ComPort1->DeviceLost())
        ComPort1->SetBreak(false);
}
