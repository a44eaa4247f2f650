#include "cli/ModuleLink.h"

#include "framework/core/Format.h"
#include "framework/core/HexPair.h"
#include "protocol/FrameCodec.h"
#include "protocol/ReplyAnalysis.h"

#include <algorithm>
#include <span>

namespace {

using Clock = std::chrono::steady_clock;

// Whether reply is the answer to command: the firmware code for its read, else a setting
// reply carrying the command's own code.
bool answers(const ReplyEffect &effect, ModuleCommand command)
{
    if (command.code == setting::BiosVersion)
        return std::holds_alternative<FirmwareCodeUpdate>(effect);
    const auto *update = std::get_if<SettingUpdate>(&effect);
    return update && update->code == command.code;
}

std::string describe(ModuleCommand command)
{
    return formatText("%s of setting code %s",
                      command.operation == frame::OperationWrite ? "the write" : "the read",
                      HexByteToStr2(command.code).c_str());
}

} // namespace

void setModuleLine(TComPort &port, const std::string &name)
{
    port.setPort(name);
    port.setDataBits(dbEight);
    port.setStopBits(sbOneStopBit);
    port.Parity().setBits(prNone);
    port.FlowControl().setFlowControl(fcNone);
    port.FlowControl().setControlDTR(dtrDisable);
    port.FlowControl().setControlRTS(rtsDisable);
    port.setEvents(TComEvents{});
}

std::int32_t readArrived(TComPort &port, char *buffer, std::int32_t size)
{
    const std::int32_t queued = port.InputQueueCount();
    return port.Read(buffer, queued > 0 ? std::min(queued, size) : 1);
}

ModuleLink::ModuleLink(const std::string &portName)
{
    setModuleLine(m_port, portName);
    m_port.setBaudRate(br9600);
    m_port.Timeouts().setReadInterval(0);
    m_port.Timeouts().setReadTotalMultiplier(0);
    m_port.Open();
}

ModuleLink::~ModuleLink()
{
    try {
        m_port.Close();
    } catch (...) {
        // The port's destructor releases the device whatever happens.
    }
}

std::string ModuleLink::exchange(ModuleCommand command, std::uint8_t value)
{
    const std::string frameText = commandFrame(command, value);
    std::string reply;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_beforeCommand)
            m_beforeCommand();
        // The whole frame in one write: the same bytes on the line as the window's one write
        // per byte, without a wait for the port between them.
        m_port.Write(frameText.data(), static_cast<std::int32_t>(frameText.size()));
        if (awaitReply(command, reply))
            return reply;
    }
    throw NoAnswer("The module did not answer " + describe(command) + ", sent twice");
}

bool ModuleLink::awaitReply(ModuleCommand command, std::string &reply)
{
    const auto deadline = Clock::now() + ReplyTimeout;
    bool answered = false;
    char buffer[64];
    while (!answered) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        // A read returns as soon as a byte is there, or empty when the time left runs out.
        m_port.Timeouts().setReadTotalConstant(static_cast<std::int32_t>(left));
        const std::int32_t count = readArrived(m_port, buffer, sizeof buffer);
        m_assembler.feed(std::string_view(buffer, static_cast<std::size_t>(count)),
                         [&](std::string_view text) {
                             if (!answered && answers(analyseReply(text), command)) {
                                 reply.assign(text);
                                 answered = true;
                             }
                         });
    }
    return true;
}

std::uint8_t ModuleLink::exchangeSetting(ModuleCommand command, std::uint8_t value)
{
    return std::get<SettingUpdate>(analyseReply(exchange(command, value))).value;
}

std::string ModuleLink::readFirmware()
{
    return std::get<FirmwareCodeUpdate>(analyseReply(exchange(command::ReadBiosVersion, 0))).code;
}

SettingValues ModuleLink::readSettings()
{
    SettingValues values;
    for (const ModuleCommand &next : sequence::ReadAll) {
        if (next.code != setting::BiosVersion)
            values[next.code] = exchangeSetting(next);
    }
    return values;
}

ModuleState ModuleLink::readAll()
{
    ModuleState state;
    for (const ModuleCommand &next : sequence::ReadAll) {
        if (next.code == setting::BiosVersion)
            state.firmware = readFirmware();
        else
            state.values[next.code] = exchangeSetting(next);
    }
    return state;
}

SettingValues ModuleLink::writeAll(const SettingValues &values)
{
    SettingValues acknowledged;
    for (const ModuleCommand &next : sequence::WriteAll)
        acknowledged[next.code] = exchangeSetting(next, values.at(next.code));
    return acknowledged;
}
