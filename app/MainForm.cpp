// Creation of the window: stored layout, components with their stored settings, handler
// bindings, FormCreate; the tab change; the window's close.
#include "app/MainForm.h"

#include "app/linktest/LinkTestRun.h"

#include "framework/core/HandlerGuard.h"
#include "framework/qt/Timer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

TMainForm::TMainForm(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    // Enter presses the focused button, as Space does, as on the desktop the window comes
    // from; Qt's buttons take Enter only inside dialogs unless told.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(true);
    ComPort1 = new TComPort();
    ComPort1->setName("ComPort1");
    loadComPort1();
    Timer1 = new Timer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(500);
    Timer1->setEnabled(true);
    m_linkTimer = new QTimer(this);
    m_linkTimer->setSingleShot(true);
    m_linkTimer->setTimerType(Qt::PreciseTimer);
    bindHandlers();
    runGuarded([this] { FormCreate(this); });
}

TMainForm::~TMainForm()
{
    // The port's destructor closes an open port with its full close sequence.
    delete ComPort1;
}

void TMainForm::loadComPort1()
{
    TComPort &port = *ComPort1;
    port.beginLoading();
    port.setBaudRate(br9600);
    port.setPort("COM1");
    port.Parity().setBits(prNone);
    port.setStopBits(sbOneStopBit);
    port.setDataBits(dbEight);
    port.setEvents(TComEvents::all());
    TComFlowControl &flow = port.FlowControl();
    flow.setOutCTSFlow(false);
    flow.setOutDSRFlow(false);
    flow.setControlDTR(dtrDisable);
    flow.setControlRTS(rtsDisable);
    flow.setXonXoffOut(false);
    flow.setXonXoffIn(false);
    port.OnRxChar = [this](Component *sender, std::int32_t count) {
        runGuarded([&] { ComPort1RxChar(sender, count); });
    };
    port.endLoading();
}

void TMainForm::bindHandlers()
{
    const auto click = [this](QPushButton *button, void (TMainForm::*handler)(QObject *)) {
        connect(button, &QPushButton::clicked, this,
                guarded([this, button, handler](bool) { (this->*handler)(button); }));
    };
    click(OpenPortSetup, &TMainForm::OpenPortSetupClick);
    click(ClosePortSetup, &TMainForm::ClosePortSetupClick);
    click(ReadConfig, &TMainForm::ReadConfigClick);
    click(SaveConfig, &TMainForm::SaveConfigClick);
    click(OpenPortRun, &TMainForm::OpenPortRunClick);
    click(ClosePortRun, &TMainForm::ClosePortRunClick);
    click(SendStringRun, &TMainForm::SendStringRunClick);
    click(ClearReceiveRun, &TMainForm::ClearReceiveRunClick);
    click(ClearSendRun, &TMainForm::ClearSendRunClick);
    click(StartLink, &TMainForm::StartLinkClick);
    click(StopLink, &TMainForm::StopLinkClick);
    click(SaveReportLink, &TMainForm::SaveReportLinkClick);
    connect(UntilStoppedLink, &QCheckBox::clicked, this,
            guarded([this](bool) { UntilStoppedLinkClick(UntilStoppedLink); }));
    connect(m_linkTimer, &QTimer::timeout, this,
            [this] { runGuarded([this] { LinkTimerTimer(m_linkTimer); }); });

    const auto bind = [this](std::function<void()> &slot, QObject *sender,
                             void (TMainForm::*handler)(QObject *)) {
        slot = [this, sender, handler] { runGuarded([&] { (this->*handler)(sender); }); };
    };
    bind(ComboPortSetup->onDropDown, ComboPortSetup, &TMainForm::ComboPortSetupDropDown);
    bind(ComboPortSetup->onChange, ComboPortSetup, &TMainForm::ComboPortSetupChange);
    bind(ComboPortRun->onDropDown, ComboPortRun, &TMainForm::ComboPortRunDropDown);
    bind(ComboPortRun->onChange, ComboPortRun, &TMainForm::ComboPortRunChange);
    bind(ComboPortLink->onDropDown, ComboPortLink, &TMainForm::ComboPortLinkDropDown);
    bind(ComboPortLink->onChange, ComboPortLink, &TMainForm::ComboPortLinkChange);
    bind(RFChannel->onChange, RFChannel, &TMainForm::RFChannelChange);
    bind(RF_RX1_IDCode->onChange, RF_RX1_IDCode, &TMainForm::RF_RX1_IDCodeChange);
    bind(RF_TXD_IDCode->onChange, RF_TXD_IDCode, &TMainForm::RF_TXD_IDCodeChange);

    MemoSendRun->onKeyPress = [this](char key) {
        runGuarded([&] { MemoSendRunKeyPress(MemoSendRun, key); });
    };
    Timer1->setOnTimer([this](Timer *sender) { Timer1Timer(sender); });
    connect(PageControl1, &QTabWidget::currentChanged, this,
            guarded([this](int) { PageControl1Change(PageControl1); }));
    bindReceiveBox();
}

void TMainForm::FormCreate(QObject *)
{
    PortOpened = 0;
    applyStates(states::Start);
    BiosDisplay->clear();
    StatusConnect->clear();
    clearSettingDisplays();
    ComboPortSetup->setItemIndex(-1);
    ComboBaudRun->setItemIndex(3);
    ComboPortRun->setItemIndex(-1);
    ComboBaudLink->setItemIndex(3);
    ComboPortLink->setItemIndex(-1);
}

void TMainForm::followUserBaudRate(ComboBox *rateBox)
{
    // The rate lists hold the module's user baud rates in the same order; 9600 when none is
    // selected.
    const int k = SelectBaudrateSetup->itemIndex();
    const int wanted = k >= 0 ? k : 3;
    // Typing into the box leaves no item chosen, as in a native editable drop-down.
    int chosen = rateBox->itemIndex();
    if (chosen >= 0 && rateBox->currentText() != rateBox->itemText(chosen))
        chosen = -1;
    if (chosen != wanted) {
        rateBox->setItemIndex(wanted);
        rateBox->setEditText(rateBox->itemText(wanted));
    }
}

void TMainForm::PageControl1Change(QObject *)
{
    // The test tab's and the link test tab's rates follow the module's user baud rate.
    followUserBaudRate(ComboBaudRun);
    followUserBaudRate(ComboBaudLink);
    if (ComboPortRun->itemIndex() == -1)
        applyStates(states::RunNoPortChosen);
    if (ComboPortLink->itemIndex() == -1)
        applyStates(states::LinkNoPortChosen);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    runGuarded([this] { FormClose(this); });
    event->accept();
}
