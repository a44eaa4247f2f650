// The program's one window, MainForm: the four tabs of the stored layout (every control is a
// member under its stored name), the serial port ComPort1 and the reply timer Timer1, which
// the window owns for its whole life. Every handler is a method named after its control and
// event; the window binds them by name when it is created, each behind the framework's
// handler guard, so an error ends only the handler that raised it.
//
// The handlers are defined where their subsystem lives: app/ (creation, tab change, port
// lists, control states), app/setup/ (commands, replies, the exchange wait, the setup tab's
// procedures), app/terminal/ (the test tab) and app/linktest/ (the link test tab). Everything
// runs on the UI thread; the port's receive event arrives there too.
#pragma once

#include "app/ControlStates.h"
#include "app/terminal/ReceivedStore.h"
#include "framework/controls/Buttons.h"
#include "framework/controls/Containers.h"
#include "framework/controls/ListControls.h"
#include "framework/controls/RangeControls.h"
#include "framework/controls/TextControls.h"
#include "framework/controls/Window.h"
#include "protocol/CommandSet.h"
#include "protocol/ReplyAssembler.h"
#include "serial/ComPort.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct LinkTestRun;
struct SendRun;

class TMainForm
{
public:
    // Builds the window from its stored layout with ComPort1 and Timer1 and their stored
    // settings, binds the handlers and runs FormCreate. Raises when the layout's pictures
    // cannot be decoded, or when the layout lacks a control of the names below.
    TMainForm();
    ~TMainForm();
    TMainForm(const TMainForm &) = delete;
    TMainForm &operator=(const TMainForm &) = delete;

    // The window the toolkit built; shown, closed as the user closes it.
    FormWindow &window() const { return *m_window; }
    void show() { m_window->show(); }
    void close() { m_window->close(); }

    // --- Controls, under their stored names, tab by tab ------------------------------------
    TabControl *PageControl1 = nullptr;
    // SETUP CONFIG MODE
    RadioGroup *SelectBaudrateSetup = nullptr;
    RadioGroup *SelectRFRate = nullptr;
    RadioGroup *SelectRFMode = nullptr;
    RadioGroup *SelectRFGain = nullptr;
    Button *SaveConfig = nullptr;
    ComboBox *ComboPortSetup = nullptr;
    Button *OpenPortSetup = nullptr;
    Button *ClosePortSetup = nullptr;
    Edit *StatusConnect = nullptr;
    Edit *BiosDisplay = nullptr;
    Edit *RF1IDCodeDisplay = nullptr;
    ScrollBar *RF_RX1_IDCode = nullptr;
    Edit *TXDIDCodeDisplay = nullptr;
    ScrollBar *RF_TXD_IDCode = nullptr;
    ScrollBar *RFChannel = nullptr;
    Edit *RFChannelDisplay = nullptr;
    Button *ReadConfig = nullptr;
    // TEST RUN MODE
    ComboBox *ComboPortRun = nullptr;
    Button *OpenPortRun = nullptr;
    Button *ClosePortRun = nullptr;
    ComboBox *ComboBaudRun = nullptr;
    ReceiveBox *MemoReceiveRun = nullptr;
    Button *ClearReceiveRun = nullptr;
    Memo *MemoSendRun = nullptr;
    Edit *EditSendRun = nullptr;
    Button *SendStringRun = nullptr;
    Button *ClearSendRun = nullptr;
    Label *CountersRun = nullptr;
    Label *CaptureRun = nullptr;
    Label *ReconnectRun = nullptr;
    Button *SendFileRun = nullptr;
    Button *RepeatRun = nullptr;
    Button *StopSendRun = nullptr;
    Label *SendProgressRun = nullptr;
    Label *CtsRun = nullptr;
    Label *DsrRun = nullptr;
    Label *DcdRun = nullptr;
    Label *RiRun = nullptr;
    CheckBox *DtrRun = nullptr;
    CheckBox *RtsRun = nullptr;
    Button *BreakRun = nullptr;
    // HELP MODE
    Picture *ProgramIcon = nullptr;
    Picture *Image1 = nullptr;
    Picture *Image2 = nullptr;
    // LINK TEST MODE
    ComboBox *ComboPortLink = nullptr;
    ComboBox *ComboBaudLink = nullptr;
    SpinBox *PacketSizeLink = nullptr;
    SpinBox *PacketCountLink = nullptr;
    CheckBox *UntilStoppedLink = nullptr;
    Button *StartLink = nullptr;
    Button *StopLink = nullptr;
    Button *SaveReportLink = nullptr;
    Edit *LinkState = nullptr;
    Edit *SentLink = nullptr;
    Edit *ReceivedLink = nullptr;
    Edit *LostLink = nullptr;
    Edit *DamagedLink = nullptr;
    Edit *P50Link = nullptr;
    Edit *P95Link = nullptr;
    Edit *MaxLink = nullptr;
    Edit *ThroughputLink = nullptr;
    Edit *LineShareLink = nullptr;
    RoundTripChart *ChartLink = nullptr;

    // --- Non-visual components -------------------------------------------------------------
    TComPort *ComPort1 = nullptr;
    Timer *Timer1 = nullptr;

    // --- State shared by the handlers --------------------------------------------------------
    // A port was opened from one of the tabs and not closed since.
    std::uint8_t PortOpened = 0;
    // An accepted reply has been applied since the last command was sent.
    std::uint8_t ReplyReceived = 0;
    // The reply timer has fired since the last wait began.
    std::uint8_t ReplyTimedOut = 0;

    // --- Operations, in the order the window declares them ------------------------------------
    void ComboPortSetupDropDown(Control *Sender);
    void OpenPortSetupClick(Control *Sender);
    void ClosePortSetupClick(Control *Sender);
    void FormCreate(Control *Sender);
    void ComPort1RxChar(Component *Sender, std::int32_t Count);
    void AnalysisPacket(const std::string &packet);
    void Read_User_Baudrate();
    void Read_RF_Mode();
    void Read_RF_DataRate();
    void Read_RF_Gain();
    void Read_RF_Channel();
    void Read_RX1_IDCode();
    void Read_RX2_IDCode();
    void Read_TXD_IDCode();
    void Read_BIOS_Version();
    void Write_User_Baudrate();
    void Write_RF_Mode();
    void Write_RF_DataRate();
    void Write_RF_Gain();
    void Write_RF_Channel();
    void Write_RX1_IDCode();
    void Write_TXD_IDCode();
    void WaitCommandExecute();
    void Timer1Timer(Control *Sender);
    void RFChannelChange(Control *Sender);
    void RF_TXD_IDCodeChange(Control *Sender);
    void RF_RX1_IDCodeChange(Control *Sender);
    void ReadConfigClick(Control *Sender);
    void SaveConfigClick(Control *Sender);
    void ComboPortRunChange(Control *Sender);
    void FormClose(Control *Sender);
    void SendStringRunClick(Control *Sender);
    void ClearReceiveRunClick(Control *Sender);
    void ClearSendRunClick(Control *Sender);
    void MemoSendRunKeyPress(Control *Sender, char &Key);
    void OpenPortRunClick(Control *Sender);
    void ComboPortSetupChange(Control *Sender);
    void ComboPortRunDropDown(Control *Sender);
    void ClosePortRunClick(Control *Sender);
    void PageControl1Change(Control *Sender);
    void DtrRunClick(Control *Sender);
    void RtsRunClick(Control *Sender);
    void BreakRunClick(Control *Sender);

    // --- The link test tab ----------------------------------------------------------------------
    void ComboPortLinkDropDown(Control *Sender);
    void ComboPortLinkChange(Control *Sender);
    void UntilStoppedLinkClick(Control *Sender);
    void StartLinkClick(Control *Sender);
    void StopLinkClick(Control *Sender);
    void SaveReportLinkClick(Control *Sender);
    void LinkTimerTimer(Control *Sender);
    // Writes the last run's report ("Save report…" after the file is chosen).
    void saveLinkReport(const std::string &fileName);
    // The link test holds the port: received bytes go to it, whichever tab shows.
    bool linkHoldsPort() const;
    // The port closed itself for a lost device: the tab that held it shows it closed.
    void portClosedByLoss();

    // --- The test tab's send side ------------------------------------------------------------
    void SendFileRunClick(Control *Sender);
    void RepeatRunClick(Control *Sender);
    void StopSendRunClick(Control *Sender);
    // Starts sending a file ("Send file..." after the file is chosen); raises when it cannot
    // be read.
    void sendRunFile(const std::string &fileName);

    // Enables and disables the controls as a table of ControlStates.h says.
    void applyStates(const ControlStates &states);
    // The controls an entry of those tables stands for: one, or every setting's of that kind.
    std::vector<::Control *> controls(ControlId which) const;

private:
    // Fills the control members from the window, by their names.
    void findControls();
    void bindHandlers();
    // Stored settings of ComPort1, applied inside its loading state.
    void loadComPort1();
    // Probe "COM1".."COM16", take the higher ports the system lists, and bring one port list
    // up to date.
    void refreshPortList(ComboBox *list);
    // A tab change: a rate box shows the setup tab's user baud rate, unless it already does.
    void followUserBaudRate(ComboBox *rateBox);

    // Setup tab: received bytes into the reply assembler (ComPort1RxChar, tab 0).
    void receiveSetup(std::int32_t count);
    // Setup tab: send one command frame, one byte per write.
    void sendCommand(ModuleCommand command, std::uint8_t value);
    // Setup tab: a setting's read, and its write with the value its control shows.
    void readSetting(std::uint8_t code);
    void writeSetting(std::uint8_t code);
    // Setup tab: the read and write sequences of the procedures.
    void runReadSequence();
    // Setup tab: the text beside the scroll bar of a setting, from the bar's position.
    void showSettingPosition(std::uint8_t code);
    // Setup tab: no radio item selected, every scroll bar at 0.
    void resetSettingControls();
    // Setup tab: the text boxes beside the scroll bars emptied.
    void clearSettingDisplays();
    void runWriteSequence();

    // Test tab: received bytes into the receive box (ComPort1RxChar, tab 1).
    void receiveRun(std::int32_t count);
    // Test tab: every write of the tab goes here; it counts what went and returns it.
    std::int32_t writeRun(std::string_view bytes);
    // Test tab: the receive box's view and stamps from the stored options, its choices, and
    // its saves of the bytes as received.
    void bindReceiveBox();
    // Test tab: the byte counters and the running capture, as the labels beside CLEAR RECEIVE
    // show them.
    void showCounters();
    void showCapture();
    // Test tab: the modem lines' indicators follow the port's line news; DTR, RTS and "BREAK"
    // are off until the test tab opens the port.
    void bindModemLines();
    void showModemLine(Label *indicator, bool on);
    // Test tab: the break's time is up, or the port closes during it: the line is let go.
    void endBreak();
    // Test tab: the port has closed; the output lines' ticks go off with it.
    void endOutputLines();
    // Test tab: RI lit by a ring stays lit while the line reads high.
    void followRing();
    // Test tab: what a batch changes in the receive box.
    void showReceived(const ReceivedStore::BoxChange &change);
    // Test tab: the receive box's view (choice 0) or stamps (choice 1), shown and stored.
    void chooseReceiveOption(int choice, int item);

    // Test tab, send side: options and strip bound; both menus show the options; an option
    // chosen in the send line's menu or the send box's, shown and stored; the send line's
    // bytes with escapes and line end (raises on a malformed escape); the line end alone;
    // whether every option is at its default; one step of the running file or repeat (the
    // timer's); its end, shown in the strip as how it ended; the strip's buttons.
    void bindSendRun();
    void showSendOptions();
    void chooseSendOption(bool sendBox, int index, int item);
    std::string sendLineBytes() const;
    std::string_view sendLineEnd() const;
    bool sendIsPlain() const;
    void stepSendRun();
    void endSendRun(const std::string &how);
    void showSendRun();

    // Link test tab: received bytes into the engine (ComPort1RxChar while the test holds the
    // port); one step of the test (send what is due, end it when settled, show the figures);
    // its end (the port closed; drain: after the last write has left, else at once); the
    // figures and the chart brought up to date.
    void receiveLink(std::int32_t count);
    void stepLink();
    void endLink(bool drain);
    void showLinkFigures();

    // The toolkit's window, which owns the controls: it goes last.
    std::unique_ptr<FormWindow> m_window;
    // Received setup-tab bytes since the last STX (bounded).
    ReplyAssembler ReplyBuffer;
    // Test tab: the last batch of received bytes, what joined it and its text, kept for their
    // memory; a batch stops taking more at the limit, which keeps one event's work short.
    static constexpr std::size_t kReceiveBatchLimit = 256 * 1024;
    // The receive box's longest paint frame, while a flood comes in.
    static constexpr int kCountersFrameMs = 80;
    std::string m_receivedBytes;
    std::string m_moreBytes;
    // Test tab: the received bytes behind the receive box's text, in its view.
    ReceivedStore m_receivedStore;
    bool m_refillingReceiveBox = false;
    // Test tab: bytes read and written since the port was opened or the counters were reset.
    std::uint64_t m_bytesReceived = 0;
    std::uint64_t m_bytesSent = 0;
    bool m_countersDue = false;
    // Link test tab: the last run, and the timer that wakes it when something is due.
    std::unique_ptr<LinkTestRun> m_linkRun;
    std::unique_ptr<Timer> m_linkTimer;
    std::unique_ptr<Timer> m_timer1;
    // Test tab: shows the counters a frame after bytes arrive, not for every batch.
    std::unique_ptr<Timer> m_countersTimer;

    // Test tab: the echo of sent bytes in the receive box and the wait for a lost device's
    // return, each a choice of the box's menu, remembered (MainFormReconnect.cpp).

    // The port's device went away: with reconnection chosen and the port the test tab's, the
    // tab waits for it (true); else the loss goes on as an error (false).
    bool deviceLostRun();
    // Looks once whether the lost device is back, and opens it when it is.
    void reconnectTimerTimer();
    // The two choices added to the receive box's menu, their stored values, the loss handler.
    void bindEchoAndReconnect();
    // Picks an item of one of those choices; false for another choice.
    bool chooseEchoOrReconnect(int choice, int item);
    // The bytes just written, shown in the receive box when the echo is on.
    void echoSent(std::string_view bytes);
    // A line of the tab's own in the receive box.
    void showNoteRun(std::string_view text);
    // At open: which adapter the port leads to, to find it again after a loss.
    void rememberOpenedDevice();
    // Stops waiting for the device, if the tab waits.
    void endReconnectWait();
    bool m_echoSent = false;
    bool m_reconnect = false;
    int m_echoChoice = -1;
    int m_reconnectChoice = -1;
    // The port's name and its adapter's by-path name (empty where it has none) at open.
    std::string m_openedPort;
    std::string m_openedByPath;
    std::unique_ptr<Timer> m_reconnectTimer;
    // Test tab: the send side's options and running send, and the timer that paces it.
    std::unique_ptr<SendRun> m_send;
    std::unique_ptr<Timer> m_sendTimer;
    // Test tab: how long "BREAK" holds the line, and how often a lit RI is read again.
    static constexpr int kBreakMs = 250;
    static constexpr int kRingReadMs = 100;
    bool m_breakHeld = false;
    std::unique_ptr<Timer> m_breakTimer;
    std::unique_ptr<Timer> m_ringTimer;
};
