#include "simulator/SimOptions.h"

#include "link/ModuleModel.h"
#include "simulator/SimFrame.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <tuple>

namespace {

// Where an option's text starts in the usage.
constexpr std::size_t HelpColumn = 25;
// The highest setting code --set takes: the model keeps codes 0 to this.
constexpr long MaxSettingCode = long(std::tuple_size_v<radio::ModuleSettings>) - 1;

long number(std::string_view option, std::string_view text, long low, long high)
{
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        throw SimUsageError{std::string(option) + ": expected a number from " +
                            std::to_string(low) + " to " + std::to_string(high) + ", got '" +
                            std::string(text) + "'"};
    return value;
}

std::chrono::milliseconds milliseconds(std::string_view option, std::string_view text)
{
    return std::chrono::milliseconds(number(option, text, 0, 600000));
}

// A name for a file in the port directory.
std::string plainName(std::string_view option, std::string_view text)
{
    if (text.empty() || text.find('/') != std::string_view::npos)
        throw SimUsageError{std::string(option) + ": not a plain name: '" + std::string(text) +
                            "'"};
    return std::string(text);
}

void takeSwitch(SimSetup &setup, std::string_view, std::string_view position)
{
    if (position == "setup")
        setup.slideSwitch = SimulatedModule::SlideSwitch::Setup;
    else if (position == "run")
        setup.slideSwitch = SimulatedModule::SlideSwitch::Run;
    else
        throw SimUsageError{"--switch: expected setup or run"};
}

void takeFirmware(SimSetup &setup, std::string_view, std::string_view code)
{
    if (code.size() != SimFrame::FirmwareCodeLength)
        throw SimUsageError{"--firmware: the code has exactly 14 characters"};
    setup.firmwareCode = code;
}

void takeSetting(SimSetup &setup, std::string_view option, std::string_view assignment)
{
    const auto eq = assignment.find('=');
    if (eq == std::string_view::npos)
        throw SimUsageError{"--set: expected CODE=VALUE"};
    const long code = number(option, assignment.substr(0, eq), 0, MaxSettingCode);
    const long value = number(option, assignment.substr(eq + 1), 0, 255);
    setup.settings.emplace_back(std::uint8_t(code), std::uint8_t(value));
}

void takeLoss(SimSetup &setup, std::string_view, std::string_view value)
{
    const std::string text(value);
    char *end = nullptr;
    const double percent = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(percent >= 0 && percent <= 100))
        throw SimUsageError{"--loss: expected a percentage from 0 to 100, got '" + text + "'"};
    setup.airFaults.lossPercent = percent;
}

void takeSplit(SimSetup &setup, std::string_view option, std::string_view list)
{
    while (!list.empty()) {
        const auto comma = list.find(',');
        setup.faults.splitAt.push_back(std::size_t(number(option, list.substr(0, comma), 1, 1000)));
        list = comma == std::string_view::npos ? "" : list.substr(comma + 1);
    }
}

std::vector<SimOption> optionTable()
{
    using enum SimOption::Group;
    using Value = std::string_view;
    return {
        {"--ports", "DIR", Module,
         "port directory (default: $ZEPHRA_PORTS; without either the\n"
         "terminal is served but not published)",
         [](SimSetup &s, Value, Value v) { s.ports = v; }},
        {"--name", "NAME", Module, "COM name to publish as (default: COM1)",
         [](SimSetup &s, Value o, Value v) { s.name = plainName(o, v); }},
        {"--switch", "setup|run", Module,
         "slide switch: setup answers commands, run echoes every byte\n(default: setup)",
         takeSwitch},
        {"--firmware", "CODE", Module,
         "the 14-character firmware code (default: \"ZEPHRA24 V1.0A\")", takeFirmware},
        {"--set", "CODE=VALUE", Module,
         "start with setting CODE (0-" + std::to_string(MaxSettingCode) +
             ") at VALUE (0-255); repeatable.\n"
             "Defaults: 0=3 (9600 BPS) 1=2 (auto) 2=1 (1 Mbps) 3=3 (+0 dBm),\n"
             "channel and IDs 0",
         takeSetting},
        {"--verbose", "", Module, "log every frame received to standard error",
         [](SimSetup &s, Value, Value) { s.verbose = true; }},
        {"--air", "NAME", Radio,
         "join the simulated air NAME; at RUN the terminal then is a real\n"
         "line: bytes at another speed than the module's baud are garbled,\n"
         "and what the module sends is paced at its baud",
         [](SimSetup &s, Value o, Value v) { s.air = plainName(o, v); }},
        {"--far", "loopback", Radio,
         "a module with no computer port and a loopback plug: it sends\n"
         "back whatever it receives (needs --air; always at RUN)",
         [](SimSetup &s, Value, Value v) {
             if (v != "loopback")
                 throw SimUsageError{"--far: expected loopback"};
             s.farLoopback = true;
         }},
        {"--loss", "PERCENT", Radio, "lose this share of the radio packets this module sends",
         takeLoss},
        {"--latency", "MS", Radio, "each radio packet this module sends arrives MS later",
         [](SimSetup &s, Value o, Value v) { s.airFaults.latency = milliseconds(o, v); }},
        {"--seed", "N", Radio, "which packets are lost (default: 1); the same seed, the same run",
         [](SimSetup &s, Value o, Value v) {
             s.airFaults.seed = std::uint64_t(number(o, v, 0, 2147483647));
         }},
        {"--delay", "MS", Fault, "answer MS milliseconds after each command",
         [](SimSetup &s, Value o, Value v) { s.faults.replyDelay = milliseconds(o, v); }},
        {"--pace", "BPS", Fault, "send at BPS bit/s, 10 bits per byte (e.g. 9600); 0: at once",
         [](SimSetup &s, Value o, Value v) { s.faults.paceBps = int(number(o, v, 0, 10000000)); }},
        {"--silent", "", Fault, "never answer",
         [](SimSetup &s, Value, Value) { s.faults.silent = true; }},
        {"--bad-checksum", "", Fault, "answer with a wrong checksum",
         [](SimSetup &s, Value, Value) { s.faults.badChecksum = true; }},
        {"--wrong-length", "N", Fault, "leave out N characters of each answer (N < 0) or add N",
         [](SimSetup &s, Value o, Value v) { s.faults.lengthChange = int(number(o, v, -20, 20)); }},
        {"--code06", "", Fault, "answer every command with a code-06 reply",
         [](SimSetup &s, Value, Value) { s.faults.answerCode06 = true; }},
        {"--noise", "TEXT", Fault, "send TEXT before each answer",
         [](SimSetup &s, Value, Value v) { s.faults.noise = v; }},
        {"--split", "POS[,POS...]", Fault,
         "cut each answer at these byte offsets into separate writes", takeSplit},
        {"--split-gap", "MS", Fault, "pause between the pieces of a cut answer (default: 0)",
         [](SimSetup &s, Value o, Value v) { s.faults.splitGap = milliseconds(o, v); }},
        {"--replies-per-write", "N", Fault, "hold answers back and send N of them in one write",
         [](SimSetup &s, Value o, Value v) {
             s.faults.repliesPerWrite = int(number(o, v, 1, 100));
         }},
        {"--only-code", "CODE", Fault, "apply the answer faults only to commands for setting CODE",
         [](SimSetup &s, Value o, Value v) {
             s.faults.onlyCode = std::uint8_t(number(o, v, 0, 255));
         }},
        {"--help", "", Fault, "show this text", [](SimSetup &s, Value, Value) { s.help = true; }},
    };
}

const SimOption *findOption(std::string_view name)
{
    for (const SimOption &option : simOptions()) {
        if (option.name == name)
            return &option;
    }
    return nullptr;
}

} // namespace

std::span<const SimOption> simOptions()
{
    static const std::vector<SimOption> options = optionTable();
    return options;
}

SimSetup readSimOptions(const std::vector<std::string> &arguments, SimSetup setup)
{
    for (std::size_t i = 0; i < arguments.size() && !setup.help; ++i) {
        const std::string_view name =
            arguments[i] == "-h" ? std::string_view("--help") : std::string_view(arguments[i]);
        const SimOption *option = findOption(name);
        if (!option)
            throw SimUsageError{"unknown option '" + arguments[i] + "'"};
        if (!option->value.empty() && i + 1 == arguments.size())
            throw SimUsageError{std::string(name) + " needs a value"};
        option->take(setup, name, option->value.empty() ? "" : arguments[++i]);
    }
    if (setup.help)
        return setup;
    if (setup.farLoopback && setup.air.empty())
        throw SimUsageError{"--far loopback needs --air"};
    if (!setup.air.empty() && setup.ports.empty())
        throw SimUsageError{"--air needs a port directory (--ports or ZEPHRA_PORTS)"};
    if (setup.air.empty() &&
        (setup.airFaults.lossPercent > 0 || setup.airFaults.latency.count() > 0))
        throw SimUsageError{"--loss and --latency need --air"};
    return setup;
}

std::string simUsage()
{
    std::string text =
        "Usage: zephra-sim [OPTION]...\n"
        "Serve a simulated ZEPHRA-24 module on a pseudo-terminal and publish it as a COM name\n"
        "in a port directory (a symbolic link DIR/NAME to the terminal). The utility finds it\n"
        "when started with ZEPHRA_PORTS=DIR. Prints the terminal's path and then \"ready\" on\n"
        "standard output, serves until SIGINT or SIGTERM, then removes the link.\n";
    const char *const headings[] = {
        "\n",
        "\nRadio (modules started with the same --air in the same port directory hear each "
        "other\nwhen their settings let them; without --air a module at RUN echoes what it "
        "gets):\n",
        "\nFaults:\n"};
    int group = -1;
    for (const SimOption &option : simOptions()) {
        if (option.group != group)
            text += headings[group = option.group];
        std::string line = "  " + std::string(option.name);
        if (!option.value.empty())
            line += " " + std::string(option.value);
        line.resize(std::max(line.size() + 1, HelpColumn), ' ');
        for (char c : option.help)
            line += c == '\n' ? "\n" + std::string(HelpColumn, ' ') : std::string(1, c);
        text += line + '\n';
    }
    return text;
}
