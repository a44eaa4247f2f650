// zephra-cli's command line, driven by one table of commands (cli/CommandTable.cpp): each
// command's name, its usage line, the options it takes and the handler that runs it, beside
// one table of the options with the kind of value each takes. Reading the arguments against
// the tables checks every option and its value; the handler then checks its operands (ports,
// files, settings) before it opens a port. The usage text is made from the same tables.
// Pure functions, any thread.
#pragma once

#include "cli/NumberArgument.h"

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

// A command line that is not right: the message, for "zephra-cli: MESSAGE" (status 1).
struct UsageError
{
    std::string message;
};

// What an option's value must be: none (a flag), a file name, a whole or real number from low
// to high, or one of words.
enum class OptionKind { Flag, File, Whole, Real, Word };

struct OptionRow
{
    std::string_view name; // "--baud"
    OptionKind kind;
    double low = 0, high = 0;
    // Real: low itself is not allowed (a duration above 0).
    bool aboveLow = false;
    std::span<const std::string_view> words = {};
};

class Invocation;

struct CommandRow
{
    std::string_view name;
    // An option that picks this row over the one of the same name without it ("--each"); else
    // empty.
    std::string_view selector;
    // The usage line after "zephra-cli "; '\n' goes on on an indented line.
    std::string_view synopsis;
    // The names of the options it takes, rows of optionRows().
    std::span<const std::string_view> options;
    // Checks the operands (UsageError) and runs; gives the exit status.
    int (*run)(const Invocation &call);
};

std::span<const OptionRow> optionRows();
std::span<const CommandRow> commandRows();

// A command line read against the tables: its command, the other words in order, and the
// options given with their values (empty for a flag).
class Invocation
{
public:
    const CommandRow *command = nullptr;
    std::vector<std::string> operands;
    std::vector<std::pair<std::string_view, std::string>> options;

    bool has(std::string_view option) const;
    // The value given; empty when the option was not given.
    const std::string &value(std::string_view option) const;
    // Reads a number option's value (already checked) into number when it was given.
    template<typename Number> void read(std::string_view option, Number &number) const
    {
        if (has(option))
            parseNumber(value(option), number);
    }
};

// The arguments after the program's name. Throws UsageError.
Invocation readCommandLine(const std::vector<std::string> &arguments);

// --help: the usage lines of every command, the settings and their values, the exit statuses.
std::string usageText();

} // namespace cli
