// The rows of zephra-cli's command line (cli/CommandLine.h): its options, its commands and the
// handlers that check a command's operands and run it.
#include "cli/Capture.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/LinkTest.h"
#include "cli/PairCheck.h"
#include "cli/Profile.h"
#include "cli/SettingWords.h"
#include "link/LinkPacket.h"
#include "platform/ComNames.h"

#include <algorithm>
#include <limits>

namespace cli {

namespace {

using enum OptionKind;

// In the order of terminal::View.
constexpr std::string_view viewWords[] = {"received", "lines", "hex"};

constexpr OptionRow optionTable[] = {
    {"--json", Flag},
    {"--each", Flag},
    {"--log", File},
    {"--fix", Flag},
    {"--baud", Whole, 1, 4000000},
    {"--count", Whole, 1, std::numeric_limits<std::uint32_t>::max()},
    {"--seconds", Real, 0, 1e6, true},
    {"--size", Whole, radio::MinPacketBytes, radio::MaxPacketBytes},
    {"--max-loss", Real, 0, 100},
    {"--csv", File},
    {"--view", Word, 0, 0, false, viewWords},
    {"--stamps", Flag},
    {"--raw", File},
};

std::string noPortName(const std::string &name)
{
    return "'" + name + "' is no port name; use COM1, COM2, ...";
}

// PORT or PORT,PORT,...: each a COM name, none twice.
std::vector<std::string> portList(const std::string &text)
{
    std::vector<std::string> ports;
    std::vector<int> numbers;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = text.find(',', begin);
        const std::string port = text.substr(begin, comma - begin);
        const int number = comPortNumber(port);
        if (number == 0)
            throw UsageError{noPortName(port)};
        if (std::find(numbers.begin(), numbers.end(), number) != numbers.end())
            throw UsageError{"'" + port + "' is named twice"};
        numbers.push_back(number);
        ports.push_back(port);
        if (comma == std::string::npos)
            return ports;
        begin = comma + 1;
    }
}

// The module's port: the first operand, one COM name. miscount: the message when the operands
// are not what the command takes.
const std::string &onePort(const Invocation &call, bool rightCount, const char *miscount)
{
    if (call.operands.empty())
        throw UsageError{std::string(call.command->name) + " needs a port"};
    const bool several = portList(call.operands.front()).size() > 1;
    if (!rightCount)
        throw UsageError{miscount};
    if (several)
        throw UsageError{"several ports go with apply --each only"};
    return call.operands.front();
}

Options commandOptions(const Invocation &call)
{
    return {call.has("--json"), call.has("--each"), call.has("--fix"), call.value("--log")};
}

// One SETTING=VALUE argument.
void parseAssignment(std::string_view argument, SettingValues &changes)
{
    const auto equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    const SettingRow *setting = findSettingWord(name);
    if (equals == std::string_view::npos || !setting)
        throw UsageError{"unknown setting '" + std::string(name) +
                         "'; settings: " + settingNames()};
    const std::string_view text = argument.substr(equals + 1);
    const auto value = parseSettingValue(*setting, text);
    if (!value)
        throw UsageError{"bad value '" + std::string(text) + "' for " + std::string(name) +
                         "; allowed: " + allowedValues(*setting)};
    changes[setting->code] = *value;
}

int runPorts(const Invocation &call)
{
    if (!call.operands.empty())
        throw UsageError{"ports takes no arguments"};
    return listPorts();
}

int runRead(const Invocation &call)
{
    const std::string &module = onePort(call, call.operands.size() == 1, "read takes only a port");
    return readModule(module, commandOptions(call));
}

int runWrite(const Invocation &call)
{
    const std::string &module =
        onePort(call, call.operands.size() > 1, "write needs at least one SETTING=VALUE");
    SettingValues changes;
    for (std::size_t i = 1; i < call.operands.size(); ++i)
        parseAssignment(call.operands[i], changes);
    return writeModule(module, changes, commandOptions(call));
}

int runSave(const Invocation &call)
{
    const std::string &module =
        onePort(call, call.operands.size() == 2, "save needs a port and one file");
    return saveProfile(module, call.operands[1]);
}

int runApply(const Invocation &call)
{
    const std::string &module =
        onePort(call, call.operands.size() == 2, "apply needs a port and one file");
    return applyProfile(module, profile::load(call.operands[1]).values, commandOptions(call));
}

int runApplyEach(const Invocation &call)
{
    if (call.operands.empty())
        throw UsageError{"apply needs a port"};
    const std::vector<std::string> slots = portList(call.operands.front());
    if (call.operands.size() != 2)
        throw UsageError{"apply needs a port and one file"};
    const std::string &file = call.operands[1];
    return applyToEach(slots, file, profile::load(file).values, call.value("--log"));
}

int runPair(const Invocation &call)
{
    const std::string &a = onePort(call, call.operands.size() == 2, "pair needs two ports");
    const std::string &b = call.operands[1];
    if (comPortNumber(b) == 0)
        throw UsageError{noPortName(b)};
    if (comPortNumber(b) == comPortNumber(a))
        throw UsageError{"pair needs two different ports"};
    return pairModules(a, b, commandOptions(call));
}

int runLink(const Invocation &call)
{
    LinkOptions link;
    for (const std::string &name : call.operands) {
        if (comPortNumber(name) == 0)
            throw UsageError{noPortName(name)};
    }
    link.ports = call.operands;
    if (link.ports.empty() || link.ports.size() > 2)
        throw UsageError{"link needs one port (far loopback) or two ports"};
    if (link.ports.size() == 2 && comPortNumber(link.ports[0]) == comPortNumber(link.ports[1]))
        throw UsageError{"link needs two different ports"};
    if (!call.has("--baud"))
        throw UsageError{"link needs --baud, the modules' baud setting"};
    if (call.has("--count") && call.has("--seconds"))
        throw UsageError{"--count and --seconds exclude each other"};
    call.read("--baud", link.baud);
    link.count = call.has("--seconds") ? 0 : 100;
    call.read("--count", link.count);
    call.read("--seconds", link.seconds);
    call.read("--size", link.size);
    call.read("--max-loss", link.maxLossPercent);
    link.json = call.has("--json");
    link.csvFile = call.value("--csv");
    return linkTest(link);
}

int runCapture(const Invocation &call)
{
    if (call.operands.size() > 1)
        throw UsageError{"capture takes one port"};
    if (call.operands.empty())
        throw UsageError{"capture needs a port"};
    CaptureOptions capturing;
    capturing.port = call.operands.front();
    if (comPortNumber(capturing.port) == 0)
        throw UsageError{noPortName(capturing.port)};
    if (!call.has("--baud"))
        throw UsageError{"capture needs --baud, the line's rate"};
    call.read("--baud", capturing.baud);
    if (call.has("--view")) {
        const auto word =
            std::find(std::begin(viewWords), std::end(viewWords), call.value("--view"));
        capturing.view = terminal::View(word - std::begin(viewWords));
    }
    capturing.stamps = call.has("--stamps");
    if (capturing.stamps && capturing.view == terminal::View::Received)
        throw UsageError{"--stamps goes with --view lines or hex"};
    capturing.rawFile = call.value("--raw");
    call.read("--seconds", capturing.seconds);
    return capture(capturing);
}

constexpr std::string_view jsonOnly[] = {"--json"};
constexpr std::string_view eachOptions[] = {"--each", "--log"};
constexpr std::string_view pairOptions[] = {"--json", "--fix"};
constexpr std::string_view linkOptions[] = {"--baud",     "--count", "--seconds", "--size",
                                            "--max-loss", "--json",  "--csv"};
constexpr std::string_view captureOptions[] = {"--baud", "--view", "--stamps", "--raw",
                                               "--seconds"};

constexpr CommandRow commandTable[] = {
    {"ports", {}, "ports", {}, runPorts},
    {"read", {}, "read PORT [--json]", jsonOnly, runRead},
    {"write", {}, "write PORT SETTING=VALUE... [--json]", jsonOnly, runWrite},
    {"save", {}, "save PORT FILE", {}, runSave},
    {"apply", {}, "apply PORT FILE [--json]", jsonOnly, runApply},
    {"apply", "--each", "apply PORT[,PORT...] FILE --each [--log FILE]", eachOptions, runApplyEach},
    {"pair", {}, "pair PORT_A PORT_B [--json] [--fix]", pairOptions, runPair},
    {"link",
     {},
     "link PORT [PORT_B] --baud N [--count N | --seconds S] [--size N]\n"
     "[--max-loss PERCENT] [--json] [--csv FILE]",
     linkOptions,
     runLink},
    {"capture",
     {},
     "capture PORT --baud N [--view received|lines|hex] [--stamps]\n[--raw FILE] [--seconds S]",
     captureOptions,
     runCapture},
};

} // namespace

std::span<const OptionRow> optionRows()
{
    return optionTable;
}

std::span<const CommandRow> commandRows()
{
    return commandTable;
}

} // namespace cli
