#include "simulator/SimulatedModule.h"

#include "framework/core/HexPair.h"
#include "protocol/SettingTable.h"
#include "simulator/SimFrame.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace {

radio::ModuleSettings factorySettings()
{
    radio::ModuleSettings settings{};
    settings[SimulatedModule::CodeBaudrate] = 3;   // 9600 BPS
    settings[SimulatedModule::CodeRfMode] = 2;     // auto
    settings[SimulatedModule::CodeRfDataRate] = 1; // 1 Mbps
    settings[SimulatedModule::CodeRfGain] = 3;     // +0 dBm
    return settings;
}

} // namespace

SimulatedModule::SimulatedModule() : SimulatedModule(DefaultFirmwareCode) {}

SimulatedModule::SimulatedModule(std::string firmwareCode)
    : m_settings(factorySettings()), m_firmwareCode(std::move(firmwareCode))
{}

std::uint8_t SimulatedModule::setting(std::uint8_t code) const
{
    std::lock_guard lock(m_mutex);
    return code < m_settings.size() ? m_settings[code] : 0;
}

radio::ModuleSettings SimulatedModule::settings() const
{
    std::lock_guard lock(m_mutex);
    return m_settings;
}

void SimulatedModule::setSetting(std::uint8_t code, std::uint8_t value)
{
    std::lock_guard lock(m_mutex);
    if (code < m_settings.size())
        m_settings[code] = value;
}

void SimulatedModule::resetSettings()
{
    std::lock_guard lock(m_mutex);
    m_settings = factorySettings();
}

bool SimulatedModule::inRange(std::uint8_t code, std::uint8_t value)
{
    // The settings table's range; a code it lacks (the second receiver ID) takes any byte. The
    // firmware code's is read only, wherever the model's codes end.
    const SettingRow *row = findSetting(code);
    return code < std::tuple_size_v<radio::ModuleSettings> && code != setting::BiosVersion &&
           (!row || ::inRange(*row, value));
}

std::string SimulatedModule::firmwareCode() const
{
    std::lock_guard lock(m_mutex);
    return m_firmwareCode;
}

void SimulatedModule::setFirmwareCode(std::string code)
{
    std::lock_guard lock(m_mutex);
    m_firmwareCode = std::move(code);
}

SimulatedModule::SlideSwitch SimulatedModule::slideSwitch() const
{
    std::lock_guard lock(m_mutex);
    return m_switch;
}

void SimulatedModule::setSlideSwitch(SlideSwitch position)
{
    std::lock_guard lock(m_mutex);
    m_switch = position;
    m_frame.clear();
}

void SimulatedModule::setEchoAtRun(bool echo)
{
    std::lock_guard lock(m_mutex);
    m_echoAtRun = echo;
}

SimulatorFaults SimulatedModule::faults() const
{
    std::lock_guard lock(m_mutex);
    return m_faults;
}

void SimulatedModule::setFaults(SimulatorFaults faults)
{
    std::lock_guard lock(m_mutex);
    m_faults = std::move(faults);
}

void SimulatedModule::clearFaults()
{
    setFaults(SimulatorFaults{});
}

std::vector<SimulatedModule::Transmission> SimulatedModule::receive(std::string_view bytes)
{
    std::vector<Transmission> out;
    std::lock_guard lock(m_mutex);
    if (m_switch == SlideSwitch::Run) {
        if (!bytes.empty()) {
            m_runBytes += bytes;
            if (m_echoAtRun)
                out.push_back({std::chrono::milliseconds(0), std::string(bytes)});
            m_logged.notify_all();
        }
        return out;
    }
    for (char c : bytes) {
        if (c == SimFrame::Stx) {
            // A new STX abandons whatever frame was in progress, as the module resyncs.
            if (!m_frame.empty())
                finishFrame(out);
            m_frame.assign(1, c);
            continue;
        }
        if (m_frame.empty())
            continue; // noise between frames
        m_frame += c;
        if (c == SimFrame::Lf || m_frame.size() == SimFrame::CommandLength)
            finishFrame(out);
    }
    return out;
}

void SimulatedModule::finishFrame(std::vector<Transmission> &out)
{
    std::string frame;
    frame.swap(m_frame);
    const auto command = SimFrame::parseCommand(frame);
    m_frames.push_back({frame, command.has_value()});
    m_logged.notify_all();
    if (command)
        answer(frame, out);
}

void SimulatedModule::answer(std::string_view frame, std::vector<Transmission> &out)
{
    const SimFrame::Command cmd = *SimFrame::parseCommand(frame);
    const bool read = cmd.operation == SimFrame::OpRead;
    const bool write = cmd.operation == SimFrame::OpWrite;
    const bool faulty = !m_faults.onlyCode || *m_faults.onlyCode == cmd.code;
    // A write takes effect whatever happens to its answer, unless the module ignores writes.
    if (write && cmd.code < m_settings.size() && inRange(cmd.code, cmd.value) &&
        !(faulty && m_faults.ignoreWrites))
        m_settings[cmd.code] = cmd.value;
    if (faulty && m_faults.silent)
        return;

    std::string reply;
    if (faulty && m_faults.answerCode06 && (read || write)) {
        reply = SimFrame::settingReply(cmd.operation, CodeRx2Id, m_settings[CodeRx2Id]);
    } else if (read && cmd.code == CodeFirmware) {
        reply = SimFrame::firmwareReply(0x00, CodeFirmware, m_firmwareCode);
    } else if (read && cmd.code < m_settings.size()) {
        reply = SimFrame::settingReply(cmd.operation, cmd.code, m_settings[cmd.code]);
    } else if (write && cmd.code < m_settings.size() && cmd.code != CodeFirmware) {
        reply = SimFrame::settingReply(cmd.operation, cmd.code, m_settings[cmd.code]);
    } else {
        return; // unknown operation, unknown code, or a write to the read-only firmware code
    }
    if (faulty)
        damage(reply);
    sendReply(std::move(reply), faulty, out);
}

void SimulatedModule::damage(std::string &reply) const
{
    // Both layouts end ETX, checksum pair, CR, LF.
    const std::size_t etx = reply.size() - 5;
    if (m_faults.badChecksum) {
        const auto sum = SimFrame::parseHexPair(reply[etx + 1], reply[etx + 2]);
        reply.replace(etx + 1, 2, HexByteToStr2(*sum ^ 0x01));
    }
    if (m_faults.lengthChange < 0) {
        // Never eat the STX: the window must still see a frame, just a short one.
        const std::size_t drop = std::min<std::size_t>(-m_faults.lengthChange, etx - 1);
        reply.erase(etx - drop, drop);
    } else if (m_faults.lengthChange > 0) {
        reply.insert(etx, std::string(m_faults.lengthChange, '0'));
    }
}

void SimulatedModule::sendReply(std::string reply, bool faulty, std::vector<Transmission> &out)
{
    if (faulty && !m_faults.noise.empty())
        reply.insert(0, m_faults.noise);
    m_heldReplies.push_back(std::move(reply));
    if (static_cast<int>(m_heldReplies.size()) < std::max(1, m_faults.repliesPerWrite))
        return;

    std::string bytes;
    for (const std::string &held : m_heldReplies)
        bytes += held;
    m_heldReplies.clear();

    const auto delay = faulty ? m_faults.replyDelay : std::chrono::milliseconds(0);
    std::vector<std::size_t> cuts;
    if (faulty)
        cuts = m_faults.splitAt;
    std::sort(cuts.begin(), cuts.end());
    std::size_t start = 0;
    int piece = 0;
    for (std::size_t cut : cuts) {
        if (cut <= start || cut >= bytes.size())
            continue;
        out.push_back({delay + piece++ * m_faults.splitGap, bytes.substr(start, cut - start)});
        start = cut;
    }
    out.push_back({delay + piece * m_faults.splitGap, bytes.substr(start)});
}

std::vector<SimulatedModule::ReceivedFrame> SimulatedModule::receivedFrames() const
{
    std::lock_guard lock(m_mutex);
    return m_frames;
}

std::string SimulatedModule::runBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_runBytes;
}

void SimulatedModule::clearLog()
{
    std::lock_guard lock(m_mutex);
    m_frames.clear();
    m_runBytes.clear();
}

bool SimulatedModule::waitForFrames(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_logged.wait_for(lock, timeout, [&] { return m_frames.size() >= count; });
}

bool SimulatedModule::waitForRunBytes(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_logged.wait_for(lock, timeout, [&] { return m_runBytes.size() >= count; });
}
