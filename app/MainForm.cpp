// Creation of the window: stored layout, components with their stored settings, handler
// bindings, FormCreate; the tab change; the window's close.
#include "app/MainForm.h"

#include "app/linktest/LinkTestRun.h"
#include "app/setup/SettingBindings.h"
#include "app/terminal/SendRun.h"

#include "framework/core/Exception.h"
#include "framework/core/HandlerGuard.h"

TMainForm::TMainForm() : m_window(createMainFormWindow())
{
    findControls();
    ComPort1 = new TComPort();
    ComPort1->setName("ComPort1");
    loadComPort1();
    m_timer1 = m_window->createTimer();
    Timer1 = m_timer1.get();
    Timer1->setInterval(500);
    Timer1->setEnabled(true);
    m_linkTimer = m_window->createTimer();
    m_linkTimer->setEnabled(false);
    m_countersTimer = m_window->createTimer();
    m_countersTimer->setEnabled(false);
    m_breakTimer = m_window->createTimer();
    m_breakTimer->setEnabled(false);
    m_ringTimer = m_window->createTimer();
    m_ringTimer->setEnabled(false);
    bindHandlers();
    runGuarded([this] { FormCreate(nullptr); });
}

TMainForm::~TMainForm()
{
    // The port's destructor closes an open port with its full close sequence.
    delete ComPort1;
}

namespace {

// The control of that name, of the kind the member holds; raises when the layout has none.
template<class Kind> void findControl(const FormWindow &window, Kind *&member, const char *name)
{
    member = dynamic_cast<Kind *>(window.find(name));
    if (!member)
        throw Exception(std::string("The stored layout has no control ") + name + ".");
}

// A setting's control of that kind, where its binding has one.
template<class Kind>
void findSettingControl(TMainForm &form, const FormWindow &window, SettingMember<Kind> control)
{
    if (control.member)
        findControl(window, form.*control.member, control.name);
}

} // namespace

void TMainForm::findControls()
{
#define ZEPHRA_FIND(name) findControl(*m_window, name, #name)
    ZEPHRA_FIND(PageControl1);
    ZEPHRA_FIND(SaveConfig);
    ZEPHRA_FIND(ComboPortSetup);
    ZEPHRA_FIND(OpenPortSetup);
    ZEPHRA_FIND(ClosePortSetup);
    ZEPHRA_FIND(StatusConnect);
    ZEPHRA_FIND(BiosDisplay);
    ZEPHRA_FIND(ReadConfig);
    ZEPHRA_FIND(ComboPortRun);
    ZEPHRA_FIND(OpenPortRun);
    ZEPHRA_FIND(ClosePortRun);
    ZEPHRA_FIND(ComboBaudRun);
    ZEPHRA_FIND(MemoReceiveRun);
    ZEPHRA_FIND(ClearReceiveRun);
    ZEPHRA_FIND(CountersRun);
    ZEPHRA_FIND(CaptureRun);
    ZEPHRA_FIND(ReconnectRun);
    ZEPHRA_FIND(CtsRun);
    ZEPHRA_FIND(DsrRun);
    ZEPHRA_FIND(DcdRun);
    ZEPHRA_FIND(RiRun);
    ZEPHRA_FIND(DtrRun);
    ZEPHRA_FIND(RtsRun);
    ZEPHRA_FIND(BreakRun);
    ZEPHRA_FIND(MemoSendRun);
    ZEPHRA_FIND(EditSendRun);
    ZEPHRA_FIND(SendStringRun);
    ZEPHRA_FIND(ClearSendRun);
    ZEPHRA_FIND(ProgramIcon);
    ZEPHRA_FIND(Image1);
    ZEPHRA_FIND(Image2);
    ZEPHRA_FIND(ComboPortLink);
    ZEPHRA_FIND(ComboBaudLink);
    ZEPHRA_FIND(PacketSizeLink);
    ZEPHRA_FIND(PacketCountLink);
    ZEPHRA_FIND(UntilStoppedLink);
    ZEPHRA_FIND(StartLink);
    ZEPHRA_FIND(StopLink);
    ZEPHRA_FIND(SaveReportLink);
    ZEPHRA_FIND(LinkState);
    ZEPHRA_FIND(SentLink);
    ZEPHRA_FIND(ReceivedLink);
    ZEPHRA_FIND(LostLink);
    ZEPHRA_FIND(DamagedLink);
    ZEPHRA_FIND(P50Link);
    ZEPHRA_FIND(P95Link);
    ZEPHRA_FIND(MaxLink);
    ZEPHRA_FIND(ThroughputLink);
    ZEPHRA_FIND(LineShareLink);
    ZEPHRA_FIND(ChartLink);
    ZEPHRA_FIND(SendFileRun);
    ZEPHRA_FIND(RepeatRun);
    ZEPHRA_FIND(StopSendRun);
    ZEPHRA_FIND(SendProgressRun);
#undef ZEPHRA_FIND
    for (const SettingBinding &binding : settingBindings) {
        findSettingControl(*this, *m_window, binding.group);
        findSettingControl(*this, *m_window, binding.bar);
        findSettingControl(*this, *m_window, binding.display);
    }
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
    port.OnClosedByLoss = [this](Component *) { runGuarded([this] { portClosedByLoss(); }); };
    port.endLoading();
}

void TMainForm::portClosedByLoss()
{
    // The tab that held the port ends its connection as its own "Close" or the link test's
    // end would, with the port already closed.
    if (linkHoldsPort())
        stepLink();
    else if (PortOpened == 1 && ClosePortRun->enabled())
        ClosePortRunClick(nullptr);
    else if (PortOpened == 1)
        ClosePortSetupClick(nullptr);
}

void TMainForm::bindHandlers()
{
    // The controls run their slots behind the handler guard.
    const auto bind = [this](std::function<void(Control *)> &slot,
                             void (TMainForm::*handler)(Control *)) {
        slot = [this, handler](Control *sender) { (this->*handler)(sender); };
    };
    bind(OpenPortSetup->onClick, &TMainForm::OpenPortSetupClick);
    bind(ClosePortSetup->onClick, &TMainForm::ClosePortSetupClick);
    bind(ReadConfig->onClick, &TMainForm::ReadConfigClick);
    bind(SaveConfig->onClick, &TMainForm::SaveConfigClick);
    bind(OpenPortRun->onClick, &TMainForm::OpenPortRunClick);
    bind(ClosePortRun->onClick, &TMainForm::ClosePortRunClick);
    bind(SendStringRun->onClick, &TMainForm::SendStringRunClick);
    bind(ClearReceiveRun->onClick, &TMainForm::ClearReceiveRunClick);
    bind(ClearSendRun->onClick, &TMainForm::ClearSendRunClick);
    bind(StartLink->onClick, &TMainForm::StartLinkClick);
    bind(StopLink->onClick, &TMainForm::StopLinkClick);
    bind(SaveReportLink->onClick, &TMainForm::SaveReportLinkClick);
    bind(UntilStoppedLink->onClick, &TMainForm::UntilStoppedLinkClick);
    bind(ComboPortSetup->onDropDown, &TMainForm::ComboPortSetupDropDown);
    bind(ComboPortSetup->onChange, &TMainForm::ComboPortSetupChange);
    bind(ComboPortRun->onDropDown, &TMainForm::ComboPortRunDropDown);
    bind(ComboPortRun->onChange, &TMainForm::ComboPortRunChange);
    bind(ComboPortLink->onDropDown, &TMainForm::ComboPortLinkDropDown);
    bind(ComboPortLink->onChange, &TMainForm::ComboPortLinkChange);
    for (const SettingBinding &binding : settingBindings) {
        if (binding.bar.member)
            bind((this->*binding.bar.member)->onChange, binding.change);
    }
    bind(PageControl1->onChange, &TMainForm::PageControl1Change);
    MemoSendRun->onKeyPress = [this](Control *sender, char &key) {
        MemoSendRunKeyPress(sender, key);
    };
    // Timers are not controls: their handlers are told no sender.
    Timer1->onTimer = [this](Timer *) { Timer1Timer(nullptr); };
    m_linkTimer->onTimer = [this](Timer *) { LinkTimerTimer(nullptr); };
    m_window->onClose = [this] { FormClose(nullptr); };
    bindReceiveBox();
    bindSendRun();
    bindModemLines();
}

void TMainForm::FormCreate(Control *)
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
    if (chosen >= 0 && rateBox->text() != rateBox->item(chosen))
        chosen = -1;
    if (chosen != wanted) {
        rateBox->setItemIndex(wanted);
        rateBox->setText(rateBox->item(wanted));
    }
}

void TMainForm::PageControl1Change(Control *)
{
    // The test tab's and the link test tab's rates follow the module's user baud rate.
    followUserBaudRate(ComboBaudRun);
    followUserBaudRate(ComboBaudLink);
    if (ComboPortRun->itemIndex() == -1)
        applyStates(states::RunNoPortChosen);
    if (ComboPortLink->itemIndex() == -1)
        applyStates(states::LinkNoPortChosen);
}
