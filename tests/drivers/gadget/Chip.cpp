#include "tests/drivers/gadget/Chip.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kIn = 0x80;
constexpr std::uint8_t kBulk = 2, kInterrupt = 3;

void putLe16(std::string &out, unsigned v)
{
    out += char(v & 0xff);
    out += char((v >> 8) & 0xff);
}

void putLe32(std::string &out, std::uint32_t v)
{
    putLe16(out, v & 0xffff);
    putLe16(out, v >> 16);
}

std::uint32_t le32(const std::string &data, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4 && at + i < data.size(); ++i)
        v |= std::uint32_t(std::uint8_t(data[at + i])) << (8 * i);
    return v;
}

std::string interface(int number, int endpoints, int cls, int subclass, int protocol)
{
    return std::string{9,
                       4,
                       char(number),
                       0,
                       char(endpoints),
                       char(cls),
                       char(subclass),
                       char(protocol),
                       char(number == 0 ? 1 : 0)};
}

std::string endpoint(int address, int type, int maxPacket, int interval = 0)
{
    std::string e{7, 5, char(address), char(type)};
    putLe16(e, unsigned(maxPacket));
    e += char(interval);
    return e;
}

// The three pipes in the order given ('i' 'o' 'n'), numbered 1, 2, 3.
std::string endpointsFor(const std::string &pipes)
{
    std::string out;
    for (std::size_t i = 0; i < pipes.size(); ++i) {
        const int number = int(i + 1);
        if (pipes[i] == 'i')
            out += endpoint(kIn | number, kBulk, 64);
        else if (pipes[i] == 'o')
            out += endpoint(number, kBulk, 64);
        else
            out += endpoint(kIn | number, kInterrupt, 16, 1);
    }
    return out;
}

char parityOf(unsigned code)
{
    static const char kParity[] = "noems";
    return code < 5 ? kParity[code] : '?';
}

// The CDC line coding (SET_LINE_CODING), also what Prolific's chips take.
void takeLineCoding(LineSettings &s, const std::string &data)
{
    if (data.size() < 7)
        return;
    s.speed = le32(data, 0);
    s.stopBits = data[4] == 0 ? 10 : data[4] == 1 ? 15 : 20;
    s.parity = parityOf(std::uint8_t(data[5]));
    s.dataBits = std::uint8_t(data[6]);
}

std::string lineCoding(const LineSettings &s)
{
    std::string out;
    putLe32(out, s.speed);
    out += char(s.stopBits == 10 ? 0 : s.stopBits == 15 ? 1 : 2);
    out += char(std::string("noems").find(s.parity));
    out += char(s.dataBits);
    return out;
}

void setBreak(LineSettings &s, bool on)
{
    if (on && !s.breakOn)
        ++s.breaks;
    s.breakOn = on;
}

// FT232B (ftdi_sio): vendor requests to the device; every bulk-IN packet starts with the
// modem and line status bytes; TEMT is asked for with GET_MODEM_STATUS.
class Ft232 : public Chip
{
public:
    std::uint16_t vendor() const override { return 0x0403; }
    std::uint16_t product() const override { return 0x6001; }
    std::uint16_t release() const override { return 0x0400; }
    std::string pipes() const override { return "io"; }
    std::string descriptors() const override
    {
        return interface(0, 2, 0xff, 0xff, 0xff) + endpointsFor(pipes());
    }

    bool control(const SetupPacket &s, const std::string &, std::string &reply,
                 const FarInputs &inputs) override
    {
        if (s.requestType & kIn) {
            if (s.request == 0x05) // GET_MODEM_STATUS
                reply = header(inputs, LineError::None);
            else if (s.request == 0x0a) // GET_LATENCY_TIMER
                reply = std::string(1, char(16));
            else
                reply = std::string(s.length, '\0');
            return true;
        }
        switch (s.request) {
        case 0x01: // SET_MODEM_CTRL: the high byte says which lines the low byte sets
            setLines((s.value & 0x100) ? (s.value & 1) != 0 : m_settings.dtr,
                     (s.value & 0x200) ? (s.value & 2) != 0 : m_settings.rts);
            break;
        case 0x03: // SET_BAUDRATE: 3 MHz over a divisor with eighths
        {
            const std::uint32_t divisor = s.value | (std::uint32_t(s.index & 1) << 16);
            static const int kEighths[] = {0, 4, 2, 1, 3, 5, 6, 7};
            const std::uint32_t whole = divisor & 0x3fff;
            const int eighths = kEighths[(divisor >> 14) & 7];
            if (whole == 0 && eighths == 0)
                m_settings.speed = 3000000;
            else if (whole == 1 && eighths == 0)
                m_settings.speed = 2000000;
            else
                m_settings.speed = std::uint32_t(24000000ull / (whole * 8 + eighths));
            break;
        }
        case 0x04: // SET_DATA
            m_settings.dataBits = s.value & 0xff;
            m_settings.parity = parityOf((s.value >> 8) & 7);
            m_settings.stopBits = ((s.value >> 11) & 3) == 0   ? 10
                                  : ((s.value >> 11) & 3) == 1 ? 15
                                                               : 20;
            setBreak(m_settings, s.value & 0x4000);
            break;
        default:
            break; // reset, flow control, latency, event char: taken
        }
        return true;
    }

    std::vector<Transfer> data(const std::string &bytes, const FarInputs &inputs,
                               LineError error) override
    {
        // A break is the flag with a NUL as the packet's last byte.
        const std::string payload = error == LineError::Break ? std::string(1, '\0') : bytes;
        std::string out;
        for (std::size_t at = 0; at < payload.size(); at += 62)
            out += header(inputs, error) + payload.substr(at, 62);
        return {{'i', out}};
    }
    std::vector<Transfer> status(const FarInputs &inputs) override
    {
        return {{'i', header(inputs, LineError::None)}};
    }
    std::string errorsCarried() const override { return "pfob"; }

private:
    static std::string header(const FarInputs &in, LineError error)
    {
        const int modem = 0x01 | (in.cts ? 0x10 : 0) | (in.dsr ? 0x20 : 0) | (in.ri ? 0x40 : 0) |
                          (in.dcd ? 0x80 : 0);
        int line = in.transmitterEmpty ? 0x60 : 0;
        line |= error == LineError::Overrun  ? 0x02
                : error == LineError::Parity ? 0x04
                : error == LineError::Frame  ? 0x08
                : error == LineError::Break  ? 0x10
                                             : 0;
        return {char(modem), char(line)};
    }
};

// A CDC ACM device without union descriptor (FunctionFS cannot send class descriptors), under
// one of the ids cdc_acm takes as such: a comm interface with the notification pipe and a
// data interface. SERIAL_STATE carries DCD, DSR, RI, break and the error bits; CTS has no bit.
class CdcAcm : public Chip
{
public:
    std::uint16_t vendor() const override { return 0x0870; }
    std::uint16_t product() const override { return 0x0001; }
    std::uint16_t release() const override { return 0x0100; }
    std::string pipes() const override { return "nio"; }
    std::string descriptors() const override
    {
        return interface(0, 1, 2, 2, 1) + endpoint(kIn | 1, kInterrupt, 16, 1) +
               interface(1, 2, 0x0a, 0, 0) + endpoint(kIn | 2, kBulk, 64) + endpoint(3, kBulk, 64);
    }

    bool control(const SetupPacket &s, const std::string &data, std::string &reply,
                 const FarInputs &) override
    {
        if (s.requestType & kIn) {
            reply = s.request == 0x21 ? lineCoding(m_settings) : std::string(s.length, '\0');
            return true;
        }
        if (s.request == 0x20)
            takeLineCoding(m_settings, data);
        else if (s.request == 0x22)
            setLines(s.value & 1, s.value & 2);
        else if (s.request == 0x23)
            setBreak(m_settings, s.value != 0);
        return true;
    }

    std::vector<Transfer> data(const std::string &bytes, const FarInputs &inputs,
                               LineError error) override
    {
        // The error goes in a notification of its own; the bytes come unmarked.
        std::vector<Transfer> out;
        if (error != LineError::None)
            out.push_back({'n', serialState(inputs, error)});
        if (error != LineError::Break)
            out.push_back({'i', bytes});
        if (error != LineError::None)
            out.push_back({'n', serialState(inputs, LineError::None)});
        return out;
    }
    std::vector<Transfer> status(const FarInputs &inputs) override
    {
        return {{'n', serialState(inputs, LineError::None)}};
    }
    std::string errorsCarried() const override { return "pfob"; }

private:
    static std::string serialState(const FarInputs &in, LineError error)
    {
        int bits = (in.dcd ? 0x01 : 0) | (in.dsr ? 0x02 : 0) | (in.ri ? 0x08 : 0);
        bits |= error == LineError::Break     ? 0x04
                : error == LineError::Frame   ? 0x10
                : error == LineError::Parity  ? 0x20
                : error == LineError::Overrun ? 0x40
                                              : 0;
        std::string out{char(0xa1), 0x20, 0, 0, 0, 0, 2, 0};
        putLe16(out, unsigned(bits));
        return out;
    }
};

// PL2303 of the G family (pl2303 type HXN, as a USB 2.0 device of release 4.00 is taken):
// CDC-style line coding and control lines, vendor register requests, and a 10-byte status on
// the interrupt pipe whose error bits apply to the next bulk transfer.
class Pl2303 : public Chip
{
public:
    std::uint16_t vendor() const override { return 0x067b; }
    std::uint16_t product() const override { return 0x2303; }
    std::uint16_t release() const override { return 0x0400; }
    std::string pipes() const override { return "noi"; }
    std::string descriptors() const override
    {
        return interface(0, 3, 0xff, 0, 0) + endpointsFor(pipes());
    }

    bool control(const SetupPacket &s, const std::string &data, std::string &reply,
                 const FarInputs &) override
    {
        if (s.requestType & kIn) {
            reply = s.request == 0x21 ? lineCoding(m_settings) : std::string(s.length, '\0');
            return true;
        }
        if ((s.requestType & 0x60) == 0x20) { // class requests
            if (s.request == 0x20)
                takeLineCoding(m_settings, data);
            else if (s.request == 0x22)
                setLines(s.value & 1, s.value & 2);
            else if (s.request == 0x23)
                setBreak(m_settings, s.value != 0);
        }
        return true;
    }

    std::vector<Transfer> data(const std::string &bytes, const FarInputs &inputs,
                               LineError error) override
    {
        if (error == LineError::None)
            return {{'i', bytes}};
        // The driver drops the error bits itself after the next bulk transfer; a status behind
        // the data could overtake it in the driver and clear them before the data comes.
        return {{'n', uartState(inputs, error)},
                {'i', error == LineError::Break ? std::string(1, '\0') : bytes}};
    }
    std::vector<Transfer> status(const FarInputs &inputs) override
    {
        return {{'n', uartState(inputs, LineError::None)}};
    }
    std::string errorsCarried() const override { return "pfob"; }

private:
    static std::string uartState(const FarInputs &in, LineError error)
    {
        int bits =
            (in.dcd ? 0x01 : 0) | (in.dsr ? 0x02 : 0) | (in.ri ? 0x08 : 0) | (in.cts ? 0x80 : 0);
        bits |= error == LineError::Break     ? 0x04
                : error == LineError::Frame   ? 0x10
                : error == LineError::Parity  ? 0x20
                : error == LineError::Overrun ? 0x40
                                              : 0;
        std::string out{char(0xa1), 0x20, 0, 0, 0, 0, 2, 0};
        out += char(bits);
        out += '\0';
        return out;
    }
};

// CH340 (ch341): registers written and read through vendor requests; the modem inputs come
// inverted in a status packet on the interrupt pipe. The protocol has no received errors.
class Ch340 : public Chip
{
public:
    std::uint16_t vendor() const override { return 0x1a86; }
    std::uint16_t product() const override { return 0x7523; }
    std::uint16_t release() const override { return 0x0254; }
    std::string pipes() const override { return "ion"; }
    std::string descriptors() const override
    {
        return interface(0, 3, 0xff, 1, 2) + endpointsFor(pipes());
    }

    bool control(const SetupPacket &s, const std::string &, std::string &reply,
                 const FarInputs &inputs) override
    {
        if (s.requestType & kIn) {
            if (s.request == 0x5f) // version
                reply = std::string{0x31, 0};
            else if (s.request == 0x95 && s.value == 0x0706) // modem status, inverted
                reply = std::string{char(~modemBits(inputs)), char(0xff)};
            else if (s.request == 0x95 && s.value == 0x1805) // break and line control
                reply = std::string{char(m_breakReg), char(m_lcr)};
            else
                reply = std::string(s.length, '\0');
            return true;
        }
        if (s.request == 0xa4) { // modem control: the lines' bits inverted
            setLines(!(s.value & 0x20), !(s.value & 0x40));
        } else if (s.request == 0x9a) {
            writeRegisters(s.value, s.index);
        }
        return true;
    }

    std::vector<Transfer> data(const std::string &bytes, const FarInputs &, LineError) override
    {
        return {{'i', bytes}};
    }
    std::vector<Transfer> status(const FarInputs &inputs) override
    {
        return {{'n', std::string{0x01, 0, char(~modemBits(inputs)), 0}}};
    }
    std::string errorsCarried() const override { return ""; }

private:
    static int modemBits(const FarInputs &in)
    {
        return (in.cts ? 0x01 : 0) | (in.dsr ? 0x02 : 0) | (in.ri ? 0x04 : 0) | (in.dcd ? 0x08 : 0);
    }
    void writeRegisters(unsigned regs, unsigned values)
    {
        const unsigned first = regs & 0xff, second = regs >> 8;
        if (first == 0x12 && second == 0x13) {
            const unsigned ps = values & 3, fact = (values >> 2) & 1;
            const unsigned divisor = 256 - ((values >> 8) & 0xff);
            const unsigned clockDivisor = 1u << (12 - 3 * ps - fact);
            m_settings.speed = divisor ? 48000000u / (clockDivisor * divisor) : 0;
        } else if (first == 0x18 && second == 0x25) {
            m_lcr = values & 0xff;
            m_settings.dataBits = 5 + (m_lcr & 3);
            m_settings.stopBits = (m_lcr & 0x04) ? 20 : 10;
            m_settings.parity = !(m_lcr & 0x08)  ? 'n'
                                : (m_lcr & 0x20) ? ((m_lcr & 0x10) ? 's' : 'm')
                                : (m_lcr & 0x10) ? 'e'
                                                 : 'o';
        } else if (first == 0x05 && second == 0x18) {
            m_breakReg = values & 0xff;
            m_lcr = (values >> 8) & 0xff;
            setBreak(m_settings, !(m_breakReg & 0x01));
        }
    }
    unsigned m_lcr = 0xc3;
    unsigned m_breakReg = 0x01;
};

// CP2102 (cp210x): vendor requests to the interface. Line status travels embedded in the
// data, behind an escape character, once the driver has asked for it (it does with INPCK);
// the modem inputs are asked for with GET_MDMSTS, and their embedded events are ignored.
class Cp2102 : public Chip
{
public:
    std::uint16_t vendor() const override { return 0x10c4; }
    std::uint16_t product() const override { return 0xea60; }
    std::uint16_t release() const override { return 0x0100; }
    std::string pipes() const override { return "io"; }
    std::string descriptors() const override
    {
        return interface(0, 2, 0xff, 0, 0) + endpointsFor(pipes());
    }

    bool control(const SetupPacket &s, const std::string &data, std::string &reply,
                 const FarInputs &inputs) override
    {
        if (s.requestType & kIn) {
            reply = std::string(s.length, '\0');
            if (s.request == 0x08 && !reply.empty()) { // GET_MDMSTS
                reply[0] = char((m_settings.dtr ? 0x01 : 0) | (m_settings.rts ? 0x02 : 0) |
                                (inputs.cts ? 0x10 : 0) | (inputs.dsr ? 0x20 : 0) |
                                (inputs.ri ? 0x40 : 0) | (inputs.dcd ? 0x80 : 0));
            } else if (s.request == 0x10 && reply.size() >= 16) { // GET_COMM_STATUS
                std::string queued;
                putLe32(queued, inputs.transmitterEmpty ? 0 : 64);
                reply.replace(12, 4, queued);
            } else if (s.request == 0x1d) {
                std::string speed;
                putLe32(speed, m_settings.speed);
                reply = speed;
            } else if (s.request == 0xff && s.value == 0x370b && !reply.empty()) {
                reply[0] = 0x02; // part number: CP2102
            }
            return true;
        }
        switch (s.request) {
        case 0x1e: // SET_BAUDRATE
            m_settings.speed = le32(data, 0);
            break;
        case 0x03: // SET_LINE_CTL
            m_settings.stopBits = (s.value & 0xf) == 0 ? 10 : (s.value & 0xf) == 1 ? 15 : 20;
            m_settings.parity = parityOf((s.value >> 4) & 0xf);
            m_settings.dataBits = s.value >> 8;
            break;
        case 0x05: // SET_BREAK
            setBreak(m_settings, s.value != 0);
            break;
        case 0x07: // SET_MHS: the high byte says which lines the low byte sets
            setLines((s.value & 0x100) ? (s.value & 1) != 0 : m_settings.dtr,
                     (s.value & 0x200) ? (s.value & 2) != 0 : m_settings.rts);
            break;
        case 0x15: // EMBED_EVENTS: the escape character, 0 = none
            m_escape = s.value & 0xff;
            break;
        default:
            break;
        }
        return true;
    }

    std::vector<Transfer> data(const std::string &bytes, const FarInputs &,
                               LineError error) override
    {
        if (m_escape == 0)
            return {{'i', bytes}};
        const int lsr = error == LineError::Overrun  ? 0x02
                        : error == LineError::Parity ? 0x04
                        : error == LineError::Frame  ? 0x08
                        : error == LineError::Break  ? 0x10
                                                     : 0;
        const std::string payload = error == LineError::Break ? std::string(1, '\0') : bytes;
        std::string out;
        for (char c : payload) {
            if (lsr != 0) {
                out += {char(m_escape), 0x01, char(lsr), c};
            } else {
                out += c;
                if (std::uint8_t(c) == m_escape)
                    out += '\0';
            }
        }
        return {{'i', out}};
    }
    std::vector<Transfer> status(const FarInputs &) override { return {}; }
    std::string errorsCarried() const override { return m_escape ? "pfob" : ""; }

private:
    unsigned m_escape = 0;
};

} // namespace

std::unique_ptr<Chip> Chip::named(const std::string &name)
{
    if (name == "ft232")
        return std::make_unique<Ft232>();
    if (name == "cdcacm")
        return std::make_unique<CdcAcm>();
    if (name == "pl2303")
        return std::make_unique<Pl2303>();
    if (name == "ch340")
        return std::make_unique<Ch340>();
    if (name == "cp2102")
        return std::make_unique<Cp2102>();
    return nullptr;
}
