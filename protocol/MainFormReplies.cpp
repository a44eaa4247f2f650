// Received bytes: routed by the active tab; on the setup tab assembled into replies, and each
// accepted reply applied to the control that shows its setting.
#include "app/MainForm.h"

#include "framework/core/Ansi.h"
#include "protocol/ReplyAnalysis.h"

#include <variant>

namespace {

constexpr int SetupTab = 0;
constexpr int TestTab = 1;

// Which control shows each setting: a radio group whose item index is the value, or a scroll
// bar whose position is the value with a text box beside it. The setting's range and display
// format come with its code (findSetting).
struct SettingBinding
{
    std::uint8_t code;
    RadioGroup *Ui_MainForm::*group;
    ScrollBar *Ui_MainForm::*bar;
    QLineEdit *Ui_MainForm::*display;
};

constexpr SettingBinding settingBindings[] = {
    {setting::UserBaudrate, &Ui_MainForm::SelectBaudrateSetup, nullptr, nullptr},
    {setting::RFMode, &Ui_MainForm::SelectRFMode, nullptr, nullptr},
    {setting::RFDataRate, &Ui_MainForm::SelectRFRate, nullptr, nullptr},
    {setting::RFGain, &Ui_MainForm::SelectRFGain, nullptr, nullptr},
    {setting::RFChannel, nullptr, &Ui_MainForm::RFChannel, &Ui_MainForm::RFChannelDisplay},
    {setting::RX1IDCode, nullptr, &Ui_MainForm::RF_RX1_IDCode, &Ui_MainForm::RF1IDCodeDisplay},
    {setting::TXDIDCode, nullptr, &Ui_MainForm::RF_TXD_IDCode, &Ui_MainForm::TXDIDCodeDisplay},
};

const SettingBinding *findBinding(std::uint8_t code)
{
    for (const SettingBinding &binding : settingBindings) {
        if (binding.code == code)
            return &binding;
    }
    return nullptr;
}

} // namespace

void TMainForm::showSettingPosition(std::uint8_t code)
{
    const SettingBinding *binding = findBinding(code);
    const ScrollBar *bar = this->*binding->bar;
    (this->*binding->display)
        ->setText(fromAnsi(settingDisplay(*findSetting(code), bar->position())));
}

void TMainForm::ComPort1RxChar(Component *, std::int32_t Count)
{
    switch (PageControl1->currentIndex()) {
    case SetupTab:
        receiveSetup(Count);
        break;
    case TestTab:
        receiveRun(Count);
        break;
    default:
        // Help tab: nothing is read; the bytes wait in the port's queue for a later event.
        break;
    }
}

void TMainForm::receiveSetup(std::int32_t count)
{
    std::string received;
    ComPort1->ReadStr(received, count);
    ReplyBuffer.feed(received,
                     [this](std::string_view reply) { AnalysisPacket(std::string(reply)); });
}

void TMainForm::AnalysisPacket(const std::string &packet)
{
    const ReplyEffect effect = analyseReply(packet);
    if (const auto *firmware = std::get_if<FirmwareCodeUpdate>(&effect)) {
        BiosDisplay->setText(fromAnsi(firmware->code));
        StatusConnect->setText(QStringLiteral("Connect Ready"));
        ReplyReceived = 1;
        return;
    }
    const auto *update = std::get_if<SettingUpdate>(&effect);
    const SettingBinding *binding = update ? findBinding(update->code) : nullptr;
    if (!binding)
        return;
    if (binding->group) {
        (this->*binding->group)->setItemIndex(update->controlValue);
    } else {
        // A bar that moves shows its position through its change handler too; the text is the
        // same either way.
        (this->*binding->bar)->setPosition(update->controlValue);
        showSettingPosition(update->code);
    }
    ReplyReceived = 1;
}
