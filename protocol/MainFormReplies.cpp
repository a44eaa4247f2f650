// Received bytes: routed by the active tab; on the setup tab assembled into replies, and each
// accepted reply applied to the control that shows its setting.
#include "app/MainForm.h"

#include "framework/core/Ansi.h"
#include "protocol/ReplyAnalysis.h"

#include <variant>

namespace {

constexpr int SetupTab = 0;
constexpr int TestTab = 1;

} // namespace

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
    if (!update)
        return;
    switch (update->code) {
    case setting::UserBaudrate:
        SelectBaudrateSetup->setItemIndex(update->controlValue);
        break;
    case setting::RFMode:
        SelectRFMode->setItemIndex(update->controlValue);
        break;
    case setting::RFDataRate:
        SelectRFRate->setItemIndex(update->controlValue);
        break;
    case setting::RFGain:
        SelectRFGain->setItemIndex(update->controlValue);
        break;
    case setting::RFChannel:
        RFChannel->setPosition(update->controlValue);
        RFChannelDisplay->setText(QString::number(RFChannel->position()));
        break;
    case setting::RX1IDCode:
        RF_RX1_IDCode->setPosition(update->controlValue);
        RF1IDCodeDisplay->setText(QString::asprintf("%.2X", RF_RX1_IDCode->position()));
        break;
    case setting::TXDIDCode:
        RF_TXD_IDCode->setPosition(update->controlValue);
        TXDIDCodeDisplay->setText(QString::asprintf("%.2X", RF_TXD_IDCode->position()));
        break;
    default:
        return;
    }
    ReplyReceived = 1;
}
