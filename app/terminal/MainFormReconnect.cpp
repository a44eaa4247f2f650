// The test tab's two choices beside the receive box's view: the echo of what the tab sends,
// and the wait for a lost device to return. Both put lines in the receive box that are not
// received bytes; the store keeps them apart from those (ReceivedStore.h).
//   Echo: each write of the tab shows in the box as it leaves, in order with what came in,
//     marked as sent: its rows begin with "> " after their stamp, and in the view as received
//     it begins a line of its own with "> " (terminal/RowFormer.h).
//   Reconnect: when the open port's device goes away, the tab closes the port without an
//     error box, shows a marker line and waits, polling for the device with a timer: on Linux
//     the adapter behind the by-path name it had at open (whatever that name leads to now), a
//     port without one (a pseudo-terminal, a port on another machine) under the same name; on
//     Windows the same COM number. Once it opens, a second marker. "Close" or the window's
//     close ends the wait. A running capture goes on through it.
#include "app/MainForm.h"

#include "app/terminal/TestTabOptions.h"
#include "serial/AdapterNames.h"
#include "serial/EComPort.h"

#include <chrono>

namespace {

const char *const EchoName = "EchoSent";
const char *const ReconnectName = "Reconnect";
// How often the wait looks for the device.
constexpr int ReconnectPollMs = 300;
const char *const LostMarker = "--- device lost, waiting for it to return ---";
const char *const BackMarker = "--- device back ---";

} // namespace

void TMainForm::bindEchoAndReconnect()
{
    m_echoSent = testtab::storedOption(EchoName).value_or(0) != 0;
    m_reconnect = testtab::storedOption(ReconnectName).value_or(0) != 0;
    std::vector<MenuChoice> choices = MemoReceiveRun->choices();
    m_echoChoice = static_cast<int>(choices.size());
    choices.push_back({"&Echo sent", {"&Off", "O&n"}, m_echoSent ? 1 : 0});
    m_reconnectChoice = static_cast<int>(choices.size());
    choices.push_back({"Re&connect", {"&Off", "O&n"}, m_reconnect ? 1 : 0});
    MemoReceiveRun->setChoices(std::move(choices));

    m_reconnectTimer = m_window->createTimer();
    m_reconnectTimer->setEnabled(false);
    m_reconnectTimer->setInterval(ReconnectPollMs);
    m_reconnectTimer->onTimer = [this](Timer *) { reconnectTimerTimer(); };
    ComPort1->OnDeviceLost = [this](Component *) { return deviceLostRun(); };
}

bool TMainForm::chooseEchoOrReconnect(int choice, int item)
{
    if (choice != m_echoChoice && choice != m_reconnectChoice)
        return false;
    (choice == m_echoChoice ? m_echoSent : m_reconnect) = item != 0;
    testtab::storeOption(choice == m_echoChoice ? EchoName : ReconnectName, item != 0 ? 1 : 0);
    return true;
}

void TMainForm::echoSent(std::string_view bytes)
{
    if (m_echoSent)
        showReceived(m_receivedStore.addSent(bytes, std::chrono::system_clock::now()));
}

void TMainForm::showNoteRun(std::string_view text)
{
    showReceived(m_receivedStore.addNote(text, std::chrono::system_clock::now()));
}

void TMainForm::rememberOpenedDevice()
{
    m_openedPort = ComPort1->Port();
    m_openedByPath = adapterNames(m_openedPort).byPath;
}

bool TMainForm::deviceLostRun()
{
    if (!m_reconnect || linkHoldsPort() || PortOpened != 1 || !ClosePortRun->enabled())
        return false;
    endSendRun("Device lost:");
    endBreak();
    ComPort1->Close();
    endOutputLines();
    showNoteRun(LostMarker);
    applyStates(states::RunWaiting);
    ReconnectRun->setCaption("Waiting for " + m_openedPort + "\x85");
    m_reconnectTimer->setEnabled(true);
    return true;
}

void TMainForm::reconnectTimerTimer()
{
    // After a loss, an adapter with a by-path name is looked for by that name alone: its COM
    // name may lead to another adapter by now.
    const std::string name = m_openedByPath.empty() ? m_openedPort : comNameFor(m_openedByPath);
    if (name.empty())
        return;
    ComPort1->setPort(name);
    try {
        ComPort1->Open();
    } catch (const EComPort &) {
        // Still away, or not ready yet (appearing, or held for a moment): the next look tries
        // again. Opening is the one test that holds on every system.
        return;
    }
    if (!m_openedByPath.empty() && adapterNames(name).byPath != m_openedByPath) {
        // The name moved on between the look-up and the open.
        ComPort1->Close();
        return;
    }
    endReconnectWait();
    showNoteRun(BackMarker);
    applyStates(states::RunOpened);
    applyStates(states::RunLinesOn);
}

void TMainForm::endReconnectWait()
{
    if (!m_reconnectTimer || !m_reconnectTimer->enabled())
        return;
    m_reconnectTimer->setEnabled(false);
    ReconnectRun->setCaption({});
}
