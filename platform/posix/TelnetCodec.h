// The byte stream of a network serial port (Telnet with the COM-PORT option, RFC 2217), as a
// pure unit: no sockets, no threads, no clock. The decoder takes whatever the server sent,
// hands out the serial data with Telnet's escaping undone and its commands taken out, answers
// option negotiation, and keeps what the server said about the port (its answers to our
// settings, the modem lines, line errors). The encoder doubles 0xFF in outgoing data and
// builds COM-PORT commands.
//
// The server is untrusted: memory stays bounded whatever it sends. A subnegotiation longer
// than any COM-PORT message is dropped up to its end, unknown options are refused once per
// request, and the negotiation answers waiting to be sent are capped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace Telnet {

constexpr std::uint8_t Iac = 255, Dont = 254, Do = 253, Wont = 252, Will = 251, Sb = 250, Se = 240;
constexpr std::uint8_t OptBinary = 0, OptSuppressGoAhead = 3, OptComPort = 44;

// COM-PORT commands as the client sends them; the server answers with the same plus 100.
enum ComCommand : std::uint8_t {
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
    NotifyLineState = 6,
    NotifyModemState = 7,
    SetLineStateMask = 10,
    SetModemStateMask = 11,
    PurgeData = 12,
};
constexpr std::uint8_t ServerOffset = 100;

// SET-CONTROL values.
enum Control : std::uint8_t {
    FlowNone = 1,
    FlowXonXoff = 2,
    FlowHardware = 3,
    BreakOn = 5,
    BreakOff = 6,
    DtrOn = 8,
    DtrOff = 9,
    RtsOn = 11,
    RtsOff = 12,
};
// SET-PARITY values (0 asks for the present one, as 0 does for the other settings).
enum Parity : std::uint8_t {
    ParityNone = 1,
    ParityOdd = 2,
    ParityEven = 3,
    ParityMark = 4,
    ParitySpace = 5
};
// NOTIFY-LINESTATE bits.
constexpr std::uint8_t LineOverrun = 0x02, LineParity = 0x04, LineFraming = 0x08, LineBreak = 0x10;
// NOTIFY-MODEMSTATE bits.
constexpr std::uint8_t ModemCd = 0x80, ModemRi = 0x40, ModemDsr = 0x20, ModemCts = 0x10;

// The longest subnegotiation kept; COM-PORT messages carry at most a few bytes (the server's
// signature text is cut here).
constexpr std::size_t MaxSubnegotiation = 64;
// The most negotiation answers held for sending.
constexpr std::size_t MaxPendingAnswers = 1024;

// Appends data with every 0xFF doubled.
void escape(const std::uint8_t *data, std::size_t count, std::string &out);
// IAC SB COM-PORT command value IAC SE, with 0xFF in value doubled.
std::string comCommand(std::uint8_t command, const std::uint8_t *value, std::size_t count);
std::string comCommand(std::uint8_t command, std::uint8_t value);
std::string baudRateCommand(std::uint32_t speed);
// What a client sends first: WILL COM-PORT and binary transmission both ways.
std::string openingRequests();

// The server's last answer to one kind of COM-PORT command, and how many have come.
struct Answer
{
    std::uint32_t value = 0;
    std::uint64_t count = 0;
};

// What the server has told so far about the port.
struct ServerState
{
    bool comPortAccepted = false; // the server said DO COM-PORT
    bool comPortRefused = false;  // the server said DONT COM-PORT
    // Answers by command (index 0..12); SET-CONTROL's answers by group: see controlAnswer().
    std::array<Answer, 13> answers{};
    Answer flowAnswer, dtrAnswer, rtsAnswer;
    std::uint8_t modemState = 0; // the last NOTIFY-MODEMSTATE
    bool modemKnown = false;
    // Line errors counted from NOTIFY-LINESTATE.
    std::uint32_t overruns = 0, parityErrors = 0, framingErrors = 0, breaks = 0;
};

class Decoder
{
public:
    // Starts from what openingRequests() asked for.
    Decoder();

    // Decodes count bytes from the server: the serial data among them is appended to data,
    // the rest updates state() and may queue answers (takeAnswers()).
    void feed(const std::uint8_t *in, std::size_t count, std::string &data);

    const ServerState &state() const { return m_server; }
    // The negotiation answers to send, emptied by the call.
    std::string takeAnswers();

    // Bytes held from the stream (for checks: never more than the bounds above).
    std::size_t heldBytes() const { return m_sub.size() + m_answers.size(); }

private:
    enum class Mode { Data, Iac, Verb, SubOption, SubData, SubIac };
    struct Option
    {
        bool on = false;
        bool asked = false;
    };

    void command(std::uint8_t byte);
    void negotiate(std::uint8_t verb, std::uint8_t option);
    void subnegotiation();
    void answer(std::uint8_t verb, std::uint8_t option);
    static bool ours(std::uint8_t option);
    static bool theirs(std::uint8_t option);

    Mode m_mode = Mode::Data;
    std::uint8_t m_verb = 0;
    std::uint8_t m_subOption = 0;
    bool m_subOverflow = false;
    std::string m_sub;
    std::string m_answers;
    // Our side and the server's side of the options we know (binary, go-ahead, COM-PORT).
    std::array<Option, OptComPort + 1> m_us{};
    std::array<Option, OptComPort + 1> m_him{};
    ServerState m_server;
};

} // namespace Telnet
