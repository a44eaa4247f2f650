// Window scenarios written once against the neutral controls and run on both toolkits: here
// on Qt against the simulated module in this process, under Wine against zephra-sim on a
// pseudo-terminal mapped as a COM port (tests/windows/). UI thread only.
#pragma once

#include "tests/app/WindowStates.h"

#include "framework/core/Application.h"
#include "framework/core/HandlerGuard.h"
#include "tests/support/EscapeLog.h"
#include "tests/support/RemovedAdapter.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// The 12 bytes of a setting command or reply frame from its six hex digits and checksum pair.
inline std::string frameBytes(const std::string &digits, const std::string &checksum)
{
    return "\x02" + digits + "\x03" + checksum + "\r\n";
}

// The read sequence as the module must receive it, byte for byte and in this order.
const std::vector<std::string> readSequenceFrames = {
    frameBytes("000800", "08"), // firmware code
    frameBytes("000000", "00"), // user baud rate
    frameBytes("000100", "01"), // RF mode
    frameBytes("000200", "02"), // RF data rate
    frameBytes("000300", "03"), // RF power gain
    frameBytes("000400", "04"), // RF channel
    frameBytes("000500", "05"), // receiver ID
    frameBytes("000700", "07"), // transmitter ID
};

// The settings the answering module of the scenarios holds, codes 0 to 5 and 7 in order:
// 19200 BPS, receive only, 250 Kbps, -5 dBm, channel 100, receiver ID 0A, transmitter ID AB.
inline constexpr std::uint8_t scenarioSettings[] = {4, 1, 0, 2, 100, 0x0A, 0xAB};

// The window at its start, before the user did anything.
inline void expectStartStates(const TMainForm &f)
{
    EXPECT_EQ(f.PageControl1->activePage(), 0);
    EXPECT_EQ(f.PortOpened, 0);

    EXPECT_TRUE(shows(f, named::idle));
    for (std::size_t i = 0; i < SingleControlCount; ++i) {
        const auto control = static_cast<ControlId>(i);
        EXPECT_EQ(f.controls(control).at(0)->name(), controlName(control));
    }
    for (const RadioGroup *group :
         {f.SelectBaudrateSetup, f.SelectRFRate, f.SelectRFMode, f.SelectRFGain})
        EXPECT_EQ(group->itemIndex(), -1) << group->name();
    for (const ComboBox *list : {f.ComboPortSetup, f.ComboPortRun}) {
        EXPECT_EQ(list->count(), 0) << list->name();
        EXPECT_EQ(list->itemIndex(), -1) << list->name();
    }
    // The stored " " of two of them is cleared too.
    for (const Edit *box : {f.StatusConnect, f.BiosDisplay, f.RF1IDCodeDisplay, f.TXDIDCodeDisplay,
                            f.RFChannelDisplay})
        EXPECT_TRUE(box->text().empty()) << box->name();
    for (const ScrollBar *bar : {f.RF_RX1_IDCode, f.RF_TXD_IDCode, f.RFChannel}) {
        EXPECT_TRUE(bar->enabled()) << bar->name();
        EXPECT_EQ(bar->position(), 0) << bar->name();
    }
    EXPECT_EQ(f.ComboBaudRun->text(), "9600");
    EXPECT_EQ(f.EditSendRun->text(), "Test Send String");
    EXPECT_TRUE(f.MemoSendRun->text().empty());
    EXPECT_TRUE(f.MemoReceiveRun->enabled());
    EXPECT_TRUE(f.MemoReceiveRun->text().empty());
}

// After "Open" against a module at SETUP that holds scenarioSettings and the firmware code
// "ZEPHRA24 V1.0A": every setting shown, the connection idle.
inline void expectShowsTheModule(const TMainForm &form)
{
    EXPECT_EQ(form.StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(form.BiosDisplay->text(), "ZEPHRA24 V1.0A");
    EXPECT_EQ(form.SelectBaudrateSetup->itemIndex(), 4);
    EXPECT_EQ(form.SelectRFMode->itemIndex(), 1);
    EXPECT_EQ(form.SelectRFRate->itemIndex(), 0);
    EXPECT_EQ(form.SelectRFGain->itemIndex(), 2);
    EXPECT_EQ(form.RFChannel->position(), 100);
    EXPECT_EQ(form.RFChannelDisplay->text(), "100");
    EXPECT_EQ(form.RF_RX1_IDCode->position(), 10);
    EXPECT_EQ(form.RF1IDCodeDisplay->text(), "0A");
    EXPECT_EQ(form.RF_TXD_IDCode->position(), 171);
    EXPECT_EQ(form.TXDIDCodeDisplay->text(), "AB");
    EXPECT_TRUE(shows(form, named::setupConnected));
}

// What "SAVE CONFIG" sends after expectReadThenSaveShowTheModule's edits, in order: the
// scenario's settings with channel 7 and transmitter ID 05.
const std::vector<std::string> editedSaveFrames = {
    frameBytes("010004", "05"), frameBytes("010101", "01"), frameBytes("010200", "03"),
    frameBytes("010302", "00"), frameBytes("010407", "02"), frameBytes("01050A", "0E"),
    frameBytes("010705", "03")};

// After "Open" against that module: "READ CONFIG" reads and shows it all again (the frames of
// readSequenceFrames); then the user moves the channel to 7 and the transmitter ID to 05, and
// "SAVE CONFIG" sends every setting (editedSaveFrames) and shows each acknowledgement.
inline void expectReadThenSaveShowTheModule(TMainForm &form)
{
    form.ReadConfig->click();
    expectShowsTheModule(form);
    form.RFChannel->setPosition(7);
    form.RF_TXD_IDCode->setPosition(5);
    form.SaveConfig->click();
    EXPECT_EQ(form.StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(form.BiosDisplay->text(), "ZEPHRA24 V1.0A");
    EXPECT_EQ(form.SelectBaudrateSetup->itemIndex(), 4);
    EXPECT_EQ(form.RFChannelDisplay->text(), "7");
    EXPECT_EQ(form.RF1IDCodeDisplay->text(), "0A");
    EXPECT_EQ(form.TXDIDCodeDisplay->text(), "05");
    EXPECT_TRUE(shows(form, named::setupConnected));
}

// After "Open" against a module that never answers: every exchange timed out, nothing shown.
inline void expectTimedOutOpen(const TMainForm &form)
{
    EXPECT_EQ(form.StatusConnect->text(), "Connect Time-Out");
    EXPECT_EQ(form.BiosDisplay->text(), "");
    for (const RadioGroup *group :
         {form.SelectBaudrateSetup, form.SelectRFMode, form.SelectRFRate, form.SelectRFGain})
        EXPECT_EQ(group->itemIndex(), -1) << group->name();
    EXPECT_EQ(form.RFChannelDisplay->text(), "");
    EXPECT_EQ(form.TXDIDCodeDisplay->text(), "");
    EXPECT_TRUE(shows(form, named::setupConnected));
}

// Serves the UI thread's events until done() holds or limit has passed; whether it held.
inline bool serveUntil(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        Application::instance().ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A tab change: the test tab's and the link test tab's rate boxes follow the setup tab's
// user baud rate.
inline void expectRateBoxesFollowTheSetupRate(TMainForm &form)
{
    form.SelectBaudrateSetup->setItemIndex(4); // "19200 BPS", as a settings read leaves it
    form.PageControl1->setActivePage(1);
    EXPECT_EQ(form.ComboBaudRun->text(), "19200");
    EXPECT_EQ(form.ComboBaudLink->itemIndex(), 4);
    form.SelectBaudrateSetup->setItemIndex(-1);
    form.PageControl1->setActivePage(3);
    EXPECT_EQ(form.ComboBaudRun->text(), "9600");
    EXPECT_EQ(form.ComboBaudLink->text(), "9600");
}

// The test tab against a module at RUN on com, which echoes: the send box's bytes go out as
// they stand and come back shown by the display rule.
inline void expectTestTabSendsAndShows(TMainForm &form, const std::string &com)
{
    form.PageControl1->setActivePage(1);
    ASSERT_TRUE(choose(form.ComboPortRun, com));
    form.OpenPortRun->click();
    ASSERT_TRUE(form.ComPort1->Connected());
    form.EditSendRun->setText("AB\r\x01\xE9");
    form.SendStringRun->click();
    EXPECT_TRUE(serveUntil([&] { return form.MemoReceiveRun->text() == "AB<0x0D><0x01>\xE9"; },
                           std::chrono::seconds(5)))
        << form.MemoReceiveRun->text();
    form.ClosePortRun->click();
    EXPECT_FALSE(form.ComPort1->Connected());
}

// The test tab against a module at RUN on com, which echoes: the receive box's menu shows the
// bytes received before in each view, with stamps; the defaults are chosen again at the end.
inline void expectTestTabViews(TMainForm &form, const std::string &com)
{
    ReceiveBox &box = *form.MemoReceiveRun;
    ASSERT_GE(box.choices().size(), 2u);
    form.PageControl1->setActivePage(1);
    ASSERT_TRUE(choose(form.ComboPortRun, com));
    form.OpenPortRun->click();
    ASSERT_TRUE(form.ComPort1->Connected());
    form.EditSendRun->setText("AB\r\n\x01\xE9");
    form.SendStringRun->click();
    ASSERT_TRUE(serveUntil([&] { return box.text() == "AB<0x0D><0x0A><0x01>\xE9"; },
                           std::chrono::seconds(5)))
        << box.text();
    // The hex rows may break wherever the echo paused: the rows' bytes are checked, in order.
    const auto hexBytes = [](const std::string &text, std::size_t stamp) {
        std::string digits;
        for (std::size_t row = 0; row < text.size(); row = text.find('\n', row) + 1) {
            for (std::size_t at = row + stamp; at + 2 <= row + stamp + 47; at += 3) {
                if (text[at] != ' ')
                    digits += text.substr(at, 2) + " ";
            }
            if (text.find('\n', row) == std::string::npos)
                break;
        }
        return digits;
    };
    struct ViewCase
    {
        int view, stamps;
        std::function<bool(const std::string &)> shows;
    };
    const ViewCase cases[] = {
        {1, 0, [](const std::string &t) { return t == "AB\n<0x01>\xE9"; }},
        {1, 2, [](const std::string &t) { return t.rfind("+0.000 AB\n+", 0) == 0; }},
        {2, 0, [&](const std::string &t) { return hexBytes(t, 0) == "41 42 0D 0A 01 E9 "; }},
        {2, 1,
         [&](const std::string &t) {
             return t.size() > 13 && t[2] == ':' && t[8] == '.' &&
                    hexBytes(t, 13) == "41 42 0D 0A 01 E9 ";
         }},
        {0, 1, [](const std::string &t) { return t == "AB<0x0D><0x0A><0x01>\xE9"; }},
    };
    for (const ViewCase &c : cases) {
        box.choose(0, c.view);
        box.choose(1, c.stamps);
        EXPECT_EQ(box.choices()[0].chosen, c.view);
        EXPECT_TRUE(c.shows(box.text())) << c.view << c.stamps << ": " << box.text();
    }
    box.choose(1, 0);
    form.ClosePortRun->click();
}

// The link test tab against a module at RUN on com, which sends back what it gets as a far
// module with a loopback plug does: a counted run ends by itself with every packet back.
inline void expectLinkTestRunsToItsEnd(TMainForm &form, const std::string &com)
{
    form.PageControl1->setActivePage(3);
    ASSERT_TRUE(choose(form.ComboPortLink, com));
    form.PacketCountLink->setPosition(20);
    form.StartLink->click();
    ASSERT_TRUE(
        serveUntil([&] { return form.LinkState->text() == "Ended"; }, std::chrono::seconds(30)))
        << form.SentLink->text();
    EXPECT_EQ(form.SentLink->text(), "20");
    EXPECT_EQ(form.ReceivedLink->text(), "20");
    EXPECT_EQ(form.LostLink->text(), "0 (0.0%)");
    EXPECT_FALSE(form.ComPort1->Connected());
}

// The error boxes the user sees while it lives, as "message | advice".
struct RecordedBoxes
{
    std::vector<std::string> boxes;
    Application::ExceptionReporter previous = Application::instance().setExceptionReporter(
        [this](const std::string &message, const std::string &advice) {
            boxes.push_back(message + " | " + advice);
        });
    ~RecordedBoxes() { Application::instance().setExceptionReporter(previous); }
};

// The test tab against a module at RUN on com, which echoes, through a removed adapter's
// stand-in, ten rounds: the adapter goes while the port is open; the user sees one box, with the
// advice for a lost device; the port ends closed and the tab shows it (on Windows at once, where
// the port closes a lost device itself; elsewhere after "Close"); the adapter comes back and the
// port opens again in the next round.
inline void expectLostAdapterEndsTheTestConnection(TMainForm &form, const std::string &com)
{
    RecordedBoxes recorded;
    std::vector<std::string> &boxes = recorded.boxes;
    RemovedAdapter adapter;
    form.PageControl1->setActivePage(1);
    ASSERT_TRUE(choose(form.ComboPortRun, com));
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        form.OpenPortRun->click();
        ASSERT_TRUE(form.ComPort1->Connected()) << testing::PrintToString(boxes);
        adapter.remove(form.ComPort1->Handle(), EventSetToMask(form.ComPort1->Events()));
        // The failed wait's routine runs the reactions, then sets DeviceLost and raises the loss,
        // which is shown as the window's event loop shows what a handler lets out.
        try {
            serveUntil([&] { return form.ComPort1->DeviceLost(); }, std::chrono::seconds(60));
        } catch (...) {
            Application::instance().HandleException(std::current_exception());
        }
        ASSERT_TRUE(form.ComPort1->DeviceLost());
        ASSERT_EQ(boxes.size(), 1u) << testing::PrintToString(boxes);
        EXPECT_NE(boxes[0].find("check that it is plugged in"), std::string::npos) << boxes[0];
#ifndef _WIN32
        form.ClosePortRun->click(); // the port stays open, lost, until it is closed
#endif
        EXPECT_FALSE(form.ComPort1->Connected());
        EXPECT_EQ(form.PortOpened, 0);
        EXPECT_TRUE(shows(form, named::idleBothOpenable));
        adapter.restore();
        boxes.clear();
    }
}

// The test tab against a module at RUN on com, which echoes: the counters show the bytes sent
// and shown back since the port opened or the box's "Reset counters"; a capture, as bytes or
// as the box's text, goes on through the port opened again and a tab change until stopped; in
// a folder that is gone it gives one error box and ends.
inline void expectTestTabCountsAndCaptures(TMainForm &form, const std::string &com)
{
    const auto folder = std::filesystem::temp_directory_path() / "zephra-capture-scenario";
    std::filesystem::create_directories(folder);
    const auto held = [](const std::filesystem::path &file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const auto wait = [](const std::function<bool()> &done) {
        return serveUntil(done, std::chrono::seconds(60));
    };
    form.PageControl1->setActivePage(1);
    ASSERT_TRUE(choose(form.ComboPortRun, com));
    form.EditSendRun->setText("AB\r\x01\xE9");
    for (const auto &[received, in, kept] :
         {std::tuple(true, "", "AB\r\x01\xE9"), std::tuple(false, "", "AB<0x0D><0x01>\xC3\xA9"),
          std::tuple(true, "gone", "")}) {
        SCOPED_TRACE(kept);
        RecordedBoxes recorded;
        const auto file = folder / in / "capture.log";
        form.OpenPortRun->click();
        EXPECT_EQ(form.CountersRun->caption(), "RX 0  TX 0");
        form.MemoReceiveRun->startCapture(file.string(), received);
        if (*in == '\0') {
            EXPECT_EQ(form.CaptureRun->caption(), "Capture: capture.log");
            form.SendStringRun->click();
            form.MemoSendRun->type('x');
            EXPECT_TRUE(wait([&] { return form.CountersRun->caption() == "RX 6  TX 6"; }));
            form.MemoReceiveRun->onResetCounters(form.MemoReceiveRun);
            EXPECT_EQ(form.CountersRun->caption(), "RX 0  TX 0");
            form.ClosePortRun->click();
            form.PageControl1->setActivePage(2);
            form.PageControl1->setActivePage(1);
            form.OpenPortRun->click();
            form.SendStringRun->click();
            EXPECT_TRUE(wait([&] { return held(file) == std::string(kept) + "x" + kept; }));
            form.MemoReceiveRun->stopCapture();
            EXPECT_EQ(held(file), std::string(kept) + "x" + kept);
        }
        EXPECT_TRUE(wait([&] {
            return recorded.boxes.size() == (*in ? 1u : 0u) && form.CaptureRun->caption().empty();
        })) << testing::PrintToString(recorded.boxes);
        EXPECT_EQ(form.MemoReceiveRun->captureName(), "");
        form.ClosePortRun->click();
    }
    std::filesystem::remove_all(folder);
}

// The test tab against a module at RUN on com, which echoes, with "Echo sent" and "Reconnect"
// on in the lines view: a send shows marked before what comes back; the adapter goes: a marker,
// no error box, the tab waits; it comes back: the port opens again, a second marker, and bytes
// flow; it goes again and "Close" ends the wait at once. The choices go back to their defaults.
inline void expectTestTabEchoesAndWaitsForTheAdapter(TMainForm &form, const std::string &com)
{
    RecordedBoxes recorded;
    RemovedAdapter adapter;
    ReceiveBox &box = *form.MemoReceiveRun;
    const auto choice = [&](const std::string &title) {
        const std::vector<MenuChoice> all = box.choices();
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (all[i].title == title)
                return static_cast<int>(i);
        }
        ADD_FAILURE() << "no choice " << title;
        return 0;
    };
    const auto wait = [](const std::function<bool()> &done) {
        return serveUntil(done, std::chrono::seconds(60));
    };
    const auto lose = [&] {
        adapter.remove(form.ComPort1->Handle(), EventSetToMask(form.ComPort1->Events()));
        return wait([&] { return form.ReconnectRun->caption() == "Waiting for " + com + "\x85"; });
    };
    for (const char *title : {"&Echo sent", "Re&connect"})
        box.choose(choice(title), 1);
    box.choose(0, 1);
    form.PageControl1->setActivePage(1);
    ASSERT_TRUE(choose(form.ComboPortRun, com));
    form.OpenPortRun->click();
    form.EditSendRun->setText("AB\r");
    form.SendStringRun->click();
    std::string shown = "> AB\nAB\n";
    EXPECT_TRUE(wait([&] { return box.text() == shown; })) << box.text();

    ASSERT_TRUE(lose());
    shown += "--- device lost, waiting for it to return ---\n";
    EXPECT_EQ(box.text(), shown);
    EXPECT_FALSE(form.ComPort1->Connected());
    EXPECT_FALSE(form.OpenPortRun->enabled());
    EXPECT_FALSE(form.SendStringRun->enabled());
    EXPECT_TRUE(form.ClosePortRun->enabled());
    adapter.restore();
    ASSERT_TRUE(wait([&] { return form.ComPort1->Connected(); }));
    EXPECT_TRUE(form.ReconnectRun->caption().empty());
    form.SendStringRun->click();
    shown += "--- device back ---\n> AB\nAB\n";
    EXPECT_TRUE(wait([&] { return box.text() == shown; })) << box.text();

    ASSERT_TRUE(lose());
    form.ClosePortRun->click();
    EXPECT_TRUE(form.ReconnectRun->caption().empty());
    EXPECT_TRUE(shows(form, named::idleBothOpenable));
    adapter.restore();
    EXPECT_TRUE(recorded.boxes.empty()) << testing::PrintToString(recorded.boxes);
    for (const char *title : {"&Echo sent", "Re&connect"})
        box.choose(choice(title), 0);
    box.choose(0, 0);
}

// The test tab's send side against a module at RUN on com, which echoes: the line end CR LF
// after SEND TEXT and for Enter in the send box; escapes, where a malformed one sends nothing;
// a file sent whole and in order, with a delay after each line end; one that cannot be read;
// a counted repeat; a repeat until stopped; a file cut short by "Close", which says how far
// it got. The options go back to their defaults at the end.
inline void expectTestTabSendSide(TMainForm &form, const std::string &com)
{
    const auto folder = std::filesystem::temp_directory_path() / "zephra-send-scenario";
    std::filesystem::create_directories(folder);
    const auto wait = [](const std::function<bool()> &done) {
        return serveUntil(done, std::chrono::seconds(60));
    };
    const auto shown = [&](const std::string &text) {
        const bool done = wait([&] { return form.MemoReceiveRun->text() == text; });
        EXPECT_TRUE(done) << form.MemoReceiveRun->text().substr(0, 200);
        form.ClearReceiveRun->click();
        return done;
    };
    const auto file = [&](const char *name, const std::string &bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
        return (folder / name).string();
    };
    RecordedBoxes recorded;
    form.PageControl1->setActivePage(1);
    ASSERT_TRUE(choose(form.ComboPortRun, com));
    form.OpenPortRun->click();
    ASSERT_TRUE(form.ComPort1->Connected());

    form.EditSendRun->choose(0, 3); // line end CR LF
    EXPECT_EQ(form.MemoSendRun->choices()[0].chosen, 3);
    form.EditSendRun->setText("AB");
    form.SendStringRun->click();
    form.MemoSendRun->type('x');
    form.MemoSendRun->type('\r');
    shown("AB<0x0D><0x0A>x<0x0D><0x0A>");

    form.EditSendRun->choose(1, 1); // escapes on
    form.EditSendRun->setText("\\x41\\q");
    form.SendStringRun->click();
    ASSERT_EQ(recorded.boxes.size(), 1u);
    EXPECT_NE(recorded.boxes[0].find("character 5: \"\\q\""), std::string::npos)
        << recorded.boxes[0];
    form.EditSendRun->setText("\\x41\\t");
    form.SendStringRun->click();
    shown("A<0x09><0x0D><0x0A>");

    std::string lines, echoed;
    for (int i = 0; i < 40; ++i)
        lines += "line " + std::to_string(1000 + i) + " of the file\n";
    for (const char c : lines)
        echoed += c == '\n' ? std::string("<0x0A>") : std::string(1, c);
    form.MemoSendRun->choose(1, 1); // 10 ms after each LF
    form.sendRunFile(file("lines.txt", lines));
    EXPECT_FALSE(form.SendFileRun->enabled());
    EXPECT_TRUE(wait([&] { return !form.StopSendRun->enabled(); }));
    EXPECT_EQ(form.SendProgressRun->caption(), "Sent lines.txt: 880 bytes");
    shown(echoed);
    runGuarded([&] { form.sendRunFile((folder / "missing.txt").string()); });
    EXPECT_EQ(recorded.boxes.size(), 2u);
    EXPECT_TRUE(form.SendFileRun->enabled());

    form.EditSendRun->setText("R");
    form.EditSendRun->choose(2, 0); // every 100 ms
    form.EditSendRun->choose(3, 1); // 2 times
    form.RepeatRun->click();
    EXPECT_TRUE(wait([&] { return form.SendProgressRun->caption() == "Sent 2 copies"; }));
    shown("R<0x0D><0x0A>R<0x0D><0x0A>");
    form.EditSendRun->choose(3, 0); // until stopped
    form.RepeatRun->click();
    // A busy machine may send more than one copy between two looks: stop after the third.
    std::size_t copies = 0;
    EXPECT_TRUE(wait([&] {
        const std::string caption = form.SendProgressRun->caption();
        copies = caption.rfind("Repeating: ", 0) == 0 ? std::stoul(caption.substr(11)) : 0;
        return copies >= 3;
    }));
    form.StopSendRun->click();
    EXPECT_EQ(form.SendProgressRun->caption(), "Stopped " + std::to_string(copies) + " copies");
    std::string copiesShown;
    for (std::size_t i = 0; i < copies; ++i)
        copiesShown += "R<0x0D><0x0A>";
    shown(copiesShown);

    form.MemoReceiveRun->onResetCounters(form.MemoReceiveRun);
    form.sendRunFile(file("z", std::string(20000, 'z')));
    EXPECT_TRUE(wait([&] { return form.MemoReceiveRun->size() > 100; }));
    form.ClosePortRun->click();
    const std::string caption = form.SendProgressRun->caption();
    const std::string sent = caption.substr(caption.find(": ", 13) + 2);
    EXPECT_EQ(caption.rfind("Port closed: z: ", 0), 0u) << caption;
    EXPECT_EQ(sent.substr(sent.find(' ')), " of 20000 bytes") << caption;
    EXPECT_EQ(form.CountersRun->caption().substr(form.CountersRun->caption().find("TX ") + 3),
              sent.substr(0, sent.find(' ')));
    EXPECT_FALSE(form.StopSendRun->enabled());

    for (const auto &[box, choice, item] : {std::tuple(false, 0, 0), std::tuple(false, 1, 0),
                                            std::tuple(false, 2, 3), std::tuple(true, 1, 0)})
        (box ? static_cast<Edit *>(form.MemoSendRun) : form.EditSendRun)->choose(choice, item);
    std::filesystem::remove_all(folder);
}

// The test tab against a module at RUN on com, whose port shows no modem lines: DTR, RTS and
// "BREAK" come on with the port and reach it; the indicators follow the port's line events, RI
// until the line reads low; "BREAK" is off until the line is let go, when its time is up or the
// port closes; the close turns every tick and indicator off.
inline void expectTestTabModemLines(TMainForm &form, const std::string &com)
{
    EscapeLog escapes;
    TCustomComPort &port = *form.ComPort1;
    form.PageControl1->setActivePage(1);
    ASSERT_TRUE(choose(form.ComboPortRun, com));
    form.OpenPortRun->click();
    EXPECT_TRUE(shows(form, named::testConnected));
    form.DtrRun->click();
    form.RtsRun->click();
    form.DtrRun->click();
    port.OnLineChange(&port, lsRLSD, true);
    port.OnLineChange(&port, lsRing, true);
    EXPECT_EQ(form.DcdRun->caption() + form.RiRun->caption(), "DCD 1RI 1");
    form.BreakRun->click();
    EXPECT_FALSE(form.BreakRun->enabled());
    EXPECT_TRUE(
        serveUntil([&] { return form.RiRun->caption() == "RI 0" && form.BreakRun->enabled(); },
                   std::chrono::seconds(60)));
    form.BreakRun->click();
    form.ClosePortRun->click();
    EXPECT_EQ(escapes.codes, "5368989"); // DTR on, RTS on, DTR off, two breaks and their ends
    EXPECT_TRUE(shows(form, named::idleBothOpenable));
    EXPECT_FALSE(form.RtsRun->checked() || form.DcdRun->enabled());
    EXPECT_EQ(form.DcdRun->caption(), "DCD 0");
}
