// zephra-cli: reads and writes ZEPHRA-24 modules from scripts and on a production bench, over
// the same serial port component and module protocol as the window. Every argument, and a
// profile to apply, is checked before a port is opened.
#include "cli/Commands.h"
#include "cli/LinkTest.h"
#include "cli/PairCheck.h"
#include "cli/Profile.h"
#include "cli/Report.h"
#include "cli/SettingWords.h"
#include "framework/core/IniFile.h"
#include "platform/ComNames.h"
#include "serial/EComPort.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

const char usageText[] =
    "Usage: zephra-cli ports\n"
    "       zephra-cli read PORT [--json]\n"
    "       zephra-cli write PORT SETTING=VALUE... [--json]\n"
    "       zephra-cli save PORT FILE\n"
    "       zephra-cli apply PORT FILE [--json]\n"
    "       zephra-cli apply PORT[,PORT...] FILE --each [--log FILE]\n"
    "       zephra-cli pair PORT_A PORT_B [--json] [--fix]\n"
    "       zephra-cli link PORT [PORT_B] --baud N [--count N | --seconds S] [--size N]\n"
    "                  [--max-loss PERCENT] [--json] [--csv FILE]\n"
    "\n"
    "PORT is a COM name (COM1 to COM255). Settings and their values:\n"
    "  baud=1200|2400|4800|9600|19200   mode=receive|transmit|auto   rate=250k|1M\n"
    "  power=-20|-10|-5|0   channel=0..124   rx-id=HH   tx-id=HH (two hex digits)\n"
    "\n"
    "Exit status: 0 done and verified, 1 usage or profile error or a port map entry that\n"
    "cannot be right, 2 port error, 3 the module did not answer, 4 the module answered with\n"
    "other values than written (pair: the two modules do not talk both ways; link: more\n"
    "packets lost or damaged than --max-loss allows).\n"
    "See zephra-cli(1).\n";

struct UsageError
{
    std::string message;
};

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
            throw UsageError{"'" + port + "' is no port name; use COM1, COM2, ..."};
        if (std::find(numbers.begin(), numbers.end(), number) != numbers.end())
            throw UsageError{"'" + port + "' is named twice"};
        numbers.push_back(number);
        ports.push_back(port);
        if (comma == std::string::npos)
            return ports;
        begin = comma + 1;
    }
}

struct Invocation
{
    std::string command;
    std::string port;
    std::vector<std::string> ports; // apply --each: the slots
    std::vector<std::string> operands;
    cli::Options options;
};

Invocation parse(int argc, char **argv)
{
    Invocation call;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--json")
            call.options.json = true;
        else if (argument == "--each")
            call.options.each = true;
        else if (argument == "--fix")
            call.options.fix = true;
        else if (argument == "--log") {
            if (i + 1 == argc || argv[i + 1][0] == '\0')
                throw UsageError{"--log needs a file"};
            call.options.log = argv[++i];
        } else if (argument.size() > 1 && argument[0] == '-' && argument[1] == '-')
            throw UsageError{"unknown option '" + std::string(argument) + "'"};
        else
            words.emplace_back(argument);
    }
    if (words.empty())
        throw UsageError{"no command given"};
    call.command = words.front();
    if (call.command == "ports") {
        if (words.size() != 1 || call.options.json || call.options.each)
            throw UsageError{"ports takes no arguments"};
        return call;
    }
    if (call.command != "read" && call.command != "write" && call.command != "save" &&
        call.command != "apply" && call.command != "pair")
        throw UsageError{"unknown command '" + call.command + "'"};
    if (words.size() < 2)
        throw UsageError{call.command + " needs a port"};
    call.port = words[1];
    call.ports = portList(call.port);
    call.operands.assign(words.begin() + 2, words.end());

    const bool wantsFile = call.command == "save" || call.command == "apply";
    if (call.command == "read" && !call.operands.empty())
        throw UsageError{"read takes only a port"};
    if (call.command == "write" && call.operands.empty())
        throw UsageError{"write needs at least one SETTING=VALUE"};
    if (wantsFile && call.operands.size() != 1)
        throw UsageError{call.command + " needs a port and one file"};
    if (call.command == "pair") {
        if (call.operands.size() != 1)
            throw UsageError{"pair needs two ports"};
        if (comPortNumber(call.operands.front()) == 0)
            throw UsageError{"'" + call.operands.front() +
                             "' is no port name; use COM1, COM2, ..."};
        if (comPortNumber(call.operands.front()) == comPortNumber(call.port))
            throw UsageError{"pair needs two different ports"};
    }
    if (call.options.fix && call.command != "pair")
        throw UsageError{"--fix goes with pair only"};
    if (call.options.each && call.command != "apply")
        throw UsageError{"--each goes with apply only"};
    if (call.options.json && (call.command == "save" || call.options.each))
        throw UsageError{"--json goes with read, write, apply and pair"};
    if (!call.options.log.empty() && !call.options.each)
        throw UsageError{"--log goes with apply --each only"};
    if (call.ports.size() > 1 && !call.options.each)
        throw UsageError{"several ports go with apply --each only"};
    return call;
}

int run(const Invocation &call)
{
    if (call.command == "ports")
        return cli::listPorts();
    if (call.command == "read")
        return cli::readModule(call.port, call.options);
    if (call.command == "pair")
        return cli::pairModules(call.port, call.operands.front(), call.options);
    if (call.command == "save")
        return cli::saveProfile(call.port, call.operands.front());
    if (call.command == "write") {
        SettingValues changes;
        for (const std::string &operand : call.operands)
            parseAssignment(operand, changes);
        return cli::writeModule(call.port, changes, call.options);
    }
    const SettingValues profile = profile::load(call.operands.front()).values;
    if (call.options.each)
        return cli::applyToEach(call.ports, call.operands.front(), profile, call.options.log);
    return cli::applyProfile(call.port, profile, call.options);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << usageText;
        return cli::Done;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "zephra-cli " ZEPHRA_VERSION "\n";
        return cli::Done;
    }
    try {
        if (argc >= 2 && std::strcmp(argv[1], "link") == 0) {
            const auto link = cli::parseLinkArguments({argv + 2, argv + argc});
            if (!link.options)
                throw UsageError{link.error};
            return cli::linkTest(*link.options);
        }
        return run(parse(argc, argv));
    } catch (const UsageError &e) {
        std::cerr << "zephra-cli: " << e.message << "\nTry 'zephra-cli --help'.\n";
        return cli::Usage;
    } catch (const EProfile &e) {
        std::cerr << "zephra-cli: " << e.message() << "\n";
        return cli::Usage;
    } catch (const EIniFileException &e) {
        std::cerr << "zephra-cli: " << e.message() << "\n";
        return cli::Usage;
    } catch (const EComPort &e) {
        std::cerr << portErrorText(e);
        return cli::portErrorStatus(e);
    } catch (const NoAnswer &e) {
        std::cerr << "zephra-cli: " << e.message() << ".\n";
        return cli::NoReply;
    }
}
