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

#include "ui_MainForm.h"

#include "app/ControlStates.h"
#include "app/terminal/ReceiveFormat.h"
#include "protocol/CommandSet.h"
#include "protocol/ReplyAssembler.h"
#include "serial/ComPort.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

class Timer;
class QCloseEvent;
class QTimer;
struct LinkTestRun;

class TMainForm : public QWidget, public Ui::MainForm
{
public:
    // Builds the window from its stored layout with ComPort1 and Timer1 and their stored
    // settings, binds the handlers and runs FormCreate. Raises when the layout's pictures
    // cannot be decoded.
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

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
    void ComboPortSetupDropDown(QObject *Sender);
    void OpenPortSetupClick(QObject *Sender);
    void ClosePortSetupClick(QObject *Sender);
    void FormCreate(QObject *Sender);
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
    void Timer1Timer(QObject *Sender);
    void RFChannelChange(QObject *Sender);
    void RF_TXD_IDCodeChange(QObject *Sender);
    void RF_RX1_IDCodeChange(QObject *Sender);
    void ReadConfigClick(QObject *Sender);
    void SaveConfigClick(QObject *Sender);
    void ComboPortRunChange(QObject *Sender);
    void FormClose(QObject *Sender);
    void SendStringRunClick(QObject *Sender);
    void ClearReceiveRunClick(QObject *Sender);
    void ClearSendRunClick(QObject *Sender);
    void MemoSendRunKeyPress(QObject *Sender, char &Key);
    void OpenPortRunClick(QObject *Sender);
    void ComboPortSetupChange(QObject *Sender);
    void ComboPortRunDropDown(QObject *Sender);
    void ClosePortRunClick(QObject *Sender);
    void PageControl1Change(QObject *Sender);

    // --- The link test tab ----------------------------------------------------------------------
    void ComboPortLinkDropDown(QObject *Sender);
    void ComboPortLinkChange(QObject *Sender);
    void UntilStoppedLinkClick(QObject *Sender);
    void StartLinkClick(QObject *Sender);
    void StopLinkClick(QObject *Sender);
    void SaveReportLinkClick(QObject *Sender);
    void LinkTimerTimer(QObject *Sender);
    // Writes the last run's report ("Save report…" after the file is chosen).
    void saveLinkReport(const QString &fileName);
    // The link test holds the port: received bytes go to it, whichever tab shows.
    bool linkHoldsPort() const;

    // Enables and disables the controls as a table of ControlStates.h says.
    void applyStates(const ControlStates &states);
    QWidget *control(Control which) const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void bindHandlers();
    // Stored settings of ComPort1, applied inside its loading state.
    void loadComPort1();
    // Probe "COM1".."COM16" and bring one port list up to date.
    void refreshPortList(ComboBox *list);
    // A tab change: a rate box shows the setup tab's user baud rate, unless it already does.
    void followUserBaudRate(ComboBox *rateBox);

    // Setup tab: received bytes into the reply assembler (ComPort1RxChar, tab 0).
    void receiveSetup(std::int32_t count);
    // Setup tab: send one command frame, one byte per write.
    void sendCommand(ModuleCommand command, std::uint8_t value);
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
    // Test tab: one byte to the port as one 1-byte write.
    void writeByte(char byte);
    // Test tab: the receive box saves the received bytes from its text and the marks.
    void bindReceiveBox();

    // Link test tab: received bytes into the engine (ComPort1RxChar while the test holds the
    // port); one step of the test (send what is due, end it when settled, show the figures);
    // its end (the port closed; drain: after the last write has left, else at once); the
    // figures and the chart brought up to date.
    void receiveLink(std::int32_t count);
    void stepLink();
    void endLink(bool drain);
    void showLinkFigures();

    // Received setup-tab bytes since the last STX (bounded).
    ReplyAssembler ReplyBuffer;
    // Test tab: the last batch of received bytes and its text, kept for their memory.
    std::string m_receivedBytes;
    std::string m_receivedText;
    // Test tab: with the receive box's text, the bytes as they were received (for saving).
    ControlMarks m_controlMarks;
    // Link test tab: the last run, and the timer that wakes it when something is due.
    std::unique_ptr<LinkTestRun> m_linkRun;
    QTimer *m_linkTimer = nullptr;
};
