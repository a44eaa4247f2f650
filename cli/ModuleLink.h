// One module on a serial port, as zephra-cli talks to it. The port is opened by COM name at
// 9600 bit/s, 8 data bits, no parity, one stop bit, no flow control, DTR and RTS off, with no
// event thread: the program waits on its own reads. Every command goes out as the same 12
// bytes the window sends, in one write, and is one exchange: it waits up to
// 1500 ms for the reply to that command, sends the command once more when none came, and
// then raises NoAnswer. Replies to other commands (late answers to an earlier try) are
// passed over. Port failures raise EComPort, as everywhere. Main thread only.
#pragma once

#include "framework/core/Exception.h"
#include "protocol/CommandSet.h"
#include "protocol/ReplyAssembler.h"
#include "serial/ComPort.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

// The module answered neither try of a command.
class NoAnswer : public Exception
{
public:
    using Exception::Exception;
};

// Setting code -> value byte, for the seven settings.
using SettingValues = std::map<std::uint8_t, std::uint8_t>;

struct ModuleState
{
    std::string firmware; // the 14 characters as received
    SettingValues values;
};

// A port set up for a module's RS232 side: name, 8N1, no flow control, DTR and RTS off, no
// event thread (reads wait for their first byte themselves). The rate is the caller's.
void setModuleLine(TComPort &port, const std::string &name);

// Reads what is queued, else waits for one byte for at most the port's total read time-out
// (set with interval and multiplier 0): returns as soon as anything is there, 0 when nothing
// came. Windows means the same by the time-outs (MAXDWORD, MAXDWORD, n), but Wine then waits
// for the whole count, for ever.
std::int32_t readArrived(TComPort &port, char *buffer, std::int32_t size);

class ModuleLink
{
public:
    static constexpr std::chrono::milliseconds ReplyTimeout{1500};

    // Opens the port; EComPort (with the window's advice) when it cannot be opened.
    explicit ModuleLink(const std::string &portName);
    ~ModuleLink();
    ModuleLink(const ModuleLink &) = delete;
    ModuleLink &operator=(const ModuleLink &) = delete;

    // Called before every command is sent; it may throw to end the run between exchanges.
    void setBeforeCommand(std::function<void()> check) { m_beforeCommand = std::move(check); }

    std::string readFirmware();
    // The seven settings, read in the module's order.
    SettingValues readSettings();
    // The firmware code, then the seven settings: the window's read sequence.
    ModuleState readAll();
    // Writes the seven settings in the module's order; gives the value each acknowledgement
    // carries. values must hold all seven.
    SettingValues writeAll(const SettingValues &values);

    // One exchange: the value byte of the reply to a setting command.
    std::uint8_t exchangeSetting(ModuleCommand command, std::uint8_t value = 0);

private:
    // Sends command with its retry; the reply that answers it.
    std::string exchange(ModuleCommand command, std::uint8_t value);
    // Reads until a reply that answers command arrives or the time-out ends; true when one did.
    bool awaitReply(ModuleCommand command, std::string &reply);

    TComPort m_port;
    ReplyAssembler m_assembler;
    std::function<void()> m_beforeCommand;
};
