// The test tab: a plain serial terminal. Opens the port at the typed or chosen rate, sends the
// send text or each typed key one byte per write, and shows received bytes as received (control
// bytes written out as "<0xNN>"), as lines or in hex, with or without time stamps.
#include "app/MainForm.h"

#include "app/terminal/TestTabOptions.h"
#include "framework/core/IntegerText.h"

#include <algorithm>
#include <chrono>

namespace {

// The names the receive box's choices are remembered by.
const char *const OptionNames[] = {"ReceiveView", "ReceiveStamps"};
// The received bytes kept for the box, in MiB; not offered in the window.
const char *const LimitName = "ReceiveLimitMiB";

} // namespace

void TMainForm::OpenPortRunClick(Control *)
{
    PortOpened = 1;
    ComPort1->setPort(ComboPortRun->text());
    ComPort1->setBaudRate(brCustom);
    ComPort1->setCustomBaudRate(StrToInt(ComboBaudRun->text()));
    ComPort1->Open();
    rememberOpenedDevice();
    m_bytesReceived = m_bytesSent = 0;
    showCounters();

    applyStates(states::RunOpened);
    applyStates(states::RunLinesOn);
}

void TMainForm::ClosePortRunClick(Control *)
{
    endSendRun("Port closed:");
    endBreak();
    if (PortOpened == 1)
        PortOpened = 0;
    endReconnectWait();
    ComPort1->Close();
    endOutputLines();

    applyStates(states::RunClosed);
}

void TMainForm::SendStringRunClick(Control *)
{
    // By default nothing is appended and each byte is written before the next one starts; with
    // a line end or escapes the line goes as one write.
    if (sendIsPlain()) {
        for (const char byte : EditSendRun->text())
            writeRun(std::string_view(&byte, 1));
    } else {
        writeRun(sendLineBytes());
    }
    showCounters();
}

void TMainForm::MemoSendRunKeyPress(Control *, char &Key)
{
    // Enter sends the chosen line end, or its own CR when there is none.
    if (Key == '\r' && !sendLineEnd().empty())
        writeRun(sendLineEnd());
    else
        writeRun(std::string_view(&Key, 1));
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
    // Stamped as it reaches the program; the whole batch shows exactly what its bytes one by
    // one would, but for the hex view's pause between them.
    ReceivedStore::BoxChange change =
        m_receivedStore.add(m_receivedBytes, std::chrono::system_clock::now());
    showReceived(change);
    m_receivedStore.reuse(std::move(change));
}

void TMainForm::showReceived(const ReceivedStore::BoxChange &change)
{
    if (change.retract != 0)
        MemoReceiveRun->removeEnd(static_cast<std::int64_t>(change.retract));
    MemoReceiveRun->append(change.text);
    if (change.dropFront != 0) {
        const std::int64_t dropped =
            MemoReceiveRun->replaceFront(static_cast<std::int64_t>(change.dropFront), change.note);
        m_receivedStore.frontDropped(static_cast<std::uint64_t>(dropped));
    }
}

void TMainForm::bindReceiveBox()
{
    int view = 0;
    int stamps = 0;
    view = std::clamp(testtab::storedOption(OptionNames[0]).value_or(0), 0, 2);
    stamps = std::clamp(testtab::storedOption(OptionNames[1]).value_or(0), 0, 2);
    const std::int32_t limit = testtab::storedOption(LimitName).value_or(0);
    if (limit > 0)
        m_receivedStore.setLimit(static_cast<std::uint64_t>(limit) << 20);
    m_receivedStore.show(static_cast<terminal::View>(view), static_cast<terminal::Stamps>(stamps),
                         {});
    MemoReceiveRun->setChoices(
        {{"&View", {"As &received", "&Lines", "&Hex"}, view},
         {"&Time stamps", {"&Off", "Time of &day", "Time since &previous row"}, stamps}});
    MemoReceiveRun->onChoose = [this](Control *, int choice, int item) {
        chooseReceiveOption(choice, item);
    };
    // The box's Clear and the CLEAR RECEIVE button both end in the box's clear().
    MemoReceiveRun->onCleared = [this](Control *) {
        if (!m_refillingReceiveBox)
            m_receivedStore.clear();
    };
    MemoReceiveRun->setReceivedSource([this] {
        return [bytes = m_receivedStore.bytesSource()](const std::string &text) {
            return bytes(text);
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
    bindEchoAndReconnect();
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

void TMainForm::chooseReceiveOption(int choice, int item)
{
    if (chooseEchoOrReconnect(choice, item))
        return;
    auto view = m_receivedStore.view();
    auto stamps = m_receivedStore.stamps();
    if (choice == 0)
        view = static_cast<terminal::View>(item);
    else
        stamps = static_cast<terminal::Stamps>(item);
    const std::string text = m_receivedStore.show(view, stamps, MemoReceiveRun->text());
    m_refillingReceiveBox = true;
    MemoReceiveRun->clear();
    m_refillingReceiveBox = false;
    MemoReceiveRun->append(text);

    testtab::storeOption(OptionNames[choice == 0 ? 0 : 1], item);
    testtab::storeOption(LimitName, static_cast<std::int32_t>(m_receivedStore.limit() >> 20));
}
