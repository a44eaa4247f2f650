// Received bytes: to the link test while it holds the port, else routed by the active tab; on the
// setup tab assembled into replies, and each accepted reply applied to the control that shows its
// setting.
#include "app/MainForm.h"

#include "app/setup/SettingBindings.h"
#include "protocol/ReplyAnalysis.h"
#include "protocol/SettingTable.h"

#include <variant>

namespace {

constexpr int SetupTab = 0;
constexpr int TestTab = 1;

} // namespace

void TMainForm::showSettingPosition(std::uint8_t code)
{
    const SettingBinding *binding = findBinding(code);
    const ScrollBar *bar = this->*binding->bar.member;
    (this->*binding->display.member)
        ->setText(settingText(*findSetting(code), positionValue(bar->position())));
}

void TMainForm::ComPort1RxChar(Component *, std::int32_t Count)
{
    if (linkHoldsPort()) {
        receiveLink(Count);
        return;
    }
    switch (PageControl1->activePage()) {
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
        BiosDisplay->setText(firmware->code);
        StatusConnect->setText("Connect Ready");
        ReplyReceived = 1;
        return;
    }
    const auto *update = std::get_if<SettingUpdate>(&effect);
    const SettingBinding *binding = update ? findBinding(update->code) : nullptr;
    if (!binding)
        return;
    if (binding->group.member) {
        (this->*binding->group.member)->setItemIndex(update->controlValue);
    } else {
        // A bar that moves shows its position through its change handler too; the text is the
        // same either way.
        (this->*binding->bar.member)->setPosition(update->controlValue);
        showSettingPosition(update->code);
    }
    ReplyReceived = 1;
}
