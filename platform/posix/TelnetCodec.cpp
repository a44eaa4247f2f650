#include "platform/posix/TelnetCodec.h"

#include <cstring>

namespace Telnet {

void escape(const std::uint8_t *data, std::size_t count, std::string &out)
{
    const std::uint8_t *end = data + count;
    while (data < end) {
        const auto *iac = static_cast<const std::uint8_t *>(std::memchr(data, Iac, end - data));
        const std::uint8_t *stop = iac ? iac + 1 : end;
        out.append(reinterpret_cast<const char *>(data), std::size_t(stop - data));
        if (iac)
            out.push_back(char(Iac));
        data = stop;
    }
}

std::string comCommand(std::uint8_t command, const std::uint8_t *value, std::size_t count)
{
    std::string out{char(Iac), char(Sb), char(OptComPort), char(command)};
    escape(value, count, out);
    out += {char(Iac), char(Se)};
    return out;
}

std::string comCommand(std::uint8_t command, std::uint8_t value)
{
    return comCommand(command, &value, 1);
}

std::string baudRateCommand(std::uint32_t speed)
{
    const std::uint8_t value[4] = {std::uint8_t(speed >> 24), std::uint8_t(speed >> 16),
                                   std::uint8_t(speed >> 8), std::uint8_t(speed)};
    return comCommand(SetBaudRate, value, 4);
}

std::string openingRequests()
{
    return {char(Iac), char(Will), char(OptBinary),
            char(Iac), char(Do),   char(OptBinary),
            char(Iac), char(Will), char(OptSuppressGoAhead),
            char(Iac), char(Do),   char(OptSuppressGoAhead),
            char(Iac), char(Will), char(OptComPort)};
}

Decoder::Decoder()
{
    m_us[OptBinary].asked = m_us[OptSuppressGoAhead].asked = m_us[OptComPort].asked = true;
    m_him[OptBinary].asked = m_him[OptSuppressGoAhead].asked = true;
}

bool Decoder::ours(std::uint8_t option)
{
    return option == OptBinary || option == OptSuppressGoAhead || option == OptComPort;
}

bool Decoder::theirs(std::uint8_t option)
{
    return option == OptBinary || option == OptSuppressGoAhead;
}

void Decoder::feed(const std::uint8_t *in, std::size_t count, std::string &data)
{
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = in[i];
        switch (m_mode) {
        case Mode::Data: {
            // Runs of plain data are copied at once.
            const auto *iac =
                static_cast<const std::uint8_t *>(std::memchr(in + i, Iac, count - i));
            const std::size_t run = iac ? std::size_t(iac - (in + i)) : count - i;
            data.append(reinterpret_cast<const char *>(in + i), run);
            i += run;
            if (iac)
                m_mode = Mode::Iac;
            break;
        }
        case Mode::Iac:
            if (byte == Iac) {
                data.push_back(char(Iac)); // an escaped 0xFF
                m_mode = Mode::Data;
            } else {
                command(byte);
            }
            break;
        case Mode::Verb:
            negotiate(m_verb, byte);
            m_mode = Mode::Data;
            break;
        case Mode::SubOption:
            m_subOption = byte;
            m_sub.clear();
            m_subOverflow = false;
            m_mode = byte == Iac ? Mode::SubIac : Mode::SubData;
            break;
        case Mode::SubData:
            if (byte == Iac) {
                m_mode = Mode::SubIac;
            } else if (m_sub.size() < MaxSubnegotiation) {
                m_sub.push_back(char(byte));
            } else {
                m_subOverflow = true;
            }
            break;
        case Mode::SubIac:
            if (byte == Iac) {
                if (m_sub.size() < MaxSubnegotiation)
                    m_sub.push_back(char(Iac));
                else
                    m_subOverflow = true;
                m_mode = Mode::SubData;
            } else if (byte == Se) {
                if (!m_subOverflow)
                    subnegotiation();
                m_sub.clear();
                m_mode = Mode::Data;
            } else {
                // A command inside a subnegotiation ends it unfinished; the command counts.
                m_sub.clear();
                command(byte);
            }
            break;
        }
    }
}

void Decoder::command(std::uint8_t byte)
{
    m_mode = Mode::Data;
    if (byte >= Will && byte <= Dont) {
        m_verb = byte;
        m_mode = Mode::Verb;
    } else if (byte == Sb) {
        m_mode = Mode::SubOption;
    }
    // NOP, go-ahead, data mark and the other commands carry nothing for a serial port.
}

void Decoder::negotiate(std::uint8_t verb, std::uint8_t option)
{
    const bool request = verb == Do || verb == Will;
    const bool forUs = verb == Do || verb == Dont;
    const bool known = forUs ? ours(option) : theirs(option);
    if (!known) {
        // Refused; a refusal of what was never on needs no answer.
        if (request)
            answer(forUs ? Wont : Dont, option);
        if (forUs && option == OptComPort)
            m_server.comPortRefused = true;
        return;
    }
    Option &state = forUs ? m_us[option] : m_him[option];
    if (request) {
        if (!state.on && !state.asked)
            answer(forUs ? Will : Do, option);
        state.on = true;
        state.asked = false;
    } else {
        if (state.on)
            answer(forUs ? Wont : Dont, option);
        state.on = false;
        state.asked = false;
    }
    if (forUs && option == OptComPort) {
        m_server.comPortAccepted = state.on;
        m_server.comPortRefused = !state.on;
    }
}

void Decoder::answer(std::uint8_t verb, std::uint8_t option)
{
    if (m_answers.size() + 3 <= MaxPendingAnswers)
        m_answers += {char(Iac), char(verb), char(option)};
}

std::string Decoder::takeAnswers()
{
    std::string answers;
    answers.swap(m_answers);
    return answers;
}

void Decoder::subnegotiation()
{
    if (m_subOption != OptComPort || m_sub.empty())
        return;
    const auto code = std::uint8_t(m_sub[0]);
    if (code < ServerOffset || code > ServerOffset + PurgeData)
        return;
    const std::uint8_t command = code - ServerOffset;
    const auto *value = reinterpret_cast<const std::uint8_t *>(m_sub.data() + 1);
    const std::size_t size = m_sub.size() - 1;
    if (command == SetBaudRate) {
        if (size < 4)
            return;
        Answer &answer = m_server.answers[command];
        answer.value = std::uint32_t(value[0]) << 24 | std::uint32_t(value[1]) << 16 |
                       std::uint32_t(value[2]) << 8 | value[3];
        ++answer.count;
        return;
    }
    if (command == 0 || size < 1) // the signature, or a message without its value
        return;
    const std::uint8_t byte = value[0];
    switch (command) {
    case NotifyLineState:
        m_server.overruns += (byte & LineOverrun) ? 1 : 0;
        m_server.parityErrors += (byte & LineParity) ? 1 : 0;
        m_server.framingErrors += (byte & LineFraming) ? 1 : 0;
        m_server.breaks += (byte & LineBreak) ? 1 : 0;
        return;
    case NotifyModemState:
        m_server.modemState = byte;
        m_server.modemKnown = true;
        return;
    case SetControl: {
        Answer &group = byte <= FlowHardware           ? m_server.flowAnswer
                        : byte >= 7 && byte <= DtrOff  ? m_server.dtrAnswer
                        : byte >= 10 && byte <= RtsOff ? m_server.rtsAnswer
                                                       : m_server.answers[command];
        group.value = byte;
        ++group.count;
        return;
    }
    default:
        m_server.answers[command].value = byte;
        ++m_server.answers[command].count;
        return;
    }
}

} // namespace Telnet
