#include "cli/CommandLine.h"

#include "cli/SettingWords.h"

#include <algorithm>

namespace cli {

namespace {

// Where a continued usage line starts: under the word after "       zephra-cli ".
constexpr std::string_view UsageIndent = "                  ";
// The settings' lines in the usage text wrap before this width.
constexpr std::size_t SettingLineWidth = 80;

bool isOption(std::string_view argument)
{
    return argument.starts_with("--");
}

const OptionRow *findOption(std::string_view name)
{
    for (const OptionRow &row : optionRows()) {
        if (row.name == name)
            return &row;
    }
    return nullptr;
}

bool takes(const CommandRow &command, std::string_view option)
{
    return std::find(command.options.begin(), command.options.end(), option) !=
           command.options.end();
}

std::string numberText(double number)
{
    return std::to_string(static_cast<long long>(number));
}

// The allowed values, for the message about a bad one; empty when there is nothing to say.
std::string allowedValues(const OptionRow &option)
{
    switch (option.kind) {
    case OptionKind::Whole:
    case OptionKind::Real:
        return (option.aboveLow ? "above " + numberText(option.low) + ", up to "
                                : numberText(option.low) + " to ") +
               numberText(option.high);
    case OptionKind::Word: {
        std::string text;
        for (std::string_view word : option.words)
            text += (text.empty() ? "" : ", ") + std::string(word);
        return text;
    }
    case OptionKind::Flag:
    case OptionKind::File:
        break;
    }
    return {};
}

bool accepts(const OptionRow &option, const std::string &value)
{
    switch (option.kind) {
    case OptionKind::Flag:
        return true;
    case OptionKind::File:
        return !value.empty();
    case OptionKind::Whole: {
        long long number = 0;
        return parseNumber(value, number) && double(number) >= option.low &&
               double(number) <= option.high;
    }
    case OptionKind::Real: {
        double number = 0;
        return parseNumber(value, number) &&
               (option.aboveLow ? number > option.low : number >= option.low) &&
               number <= option.high;
    }
    case OptionKind::Word:
        return std::find(option.words.begin(), option.words.end(), value) != option.words.end();
    }
    return false;
}

// The value after an option that takes one, checked.
std::string optionValue(const OptionRow &option, const std::vector<std::string> &arguments,
                        std::size_t at)
{
    const bool file = option.kind == OptionKind::File;
    if (at == arguments.size() || (file && arguments[at].empty()))
        throw UsageError{std::string(option.name) + (file ? " needs a file" : " needs a value")};
    const std::string &value = arguments[at];
    if (!accepts(option, value)) {
        const std::string allowed = allowedValues(option);
        throw UsageError{"bad value '" + value + "' for " + std::string(option.name) +
                         (allowed.empty() ? "" : " (" + allowed + ")")};
    }
    return value;
}

// The row of name: the one whose selector was given, else the one without a selector.
const CommandRow &findCommand(const std::string &name, const Invocation &call)
{
    const CommandRow *plain = nullptr;
    for (const CommandRow &row : commandRows()) {
        if (row.name != name)
            continue;
        if (row.selector.empty())
            plain = &row;
        else if (call.has(row.selector))
            return row;
    }
    if (!plain)
        throw UsageError{"unknown command '" + name + "'"};
    return *plain;
}

// "pair only", "apply --each only", "link and capture".
std::string commandsTaking(std::string_view option)
{
    std::vector<std::string> names;
    for (const CommandRow &row : commandRows()) {
        if (!takes(row, option))
            continue;
        std::string name(row.name);
        if (!row.selector.empty() && row.selector != option)
            name += " " + std::string(row.selector);
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return names.size() == 1 ? text + " only" : text;
}

// Each setting with its values, as many to a line as fit.
std::string settingLines()
{
    std::string text, line;
    bool hex = false;
    for (const SettingRow &setting : settingRows()) {
        const std::string item = std::string(setting.word) + "=" + valueSyntax(setting);
        hex = hex || setting.control == SettingControl::HexScrollBar;
        if (!line.empty() && line.size() + 3 + item.size() > SettingLineWidth) {
            text += line + '\n';
            line.clear();
        }
        line += (line.empty() ? "  " : "   ") + item;
    }
    return text + line + (hex ? " (two hex digits)" : "") + '\n';
}

} // namespace

bool Invocation::has(std::string_view option) const
{
    return std::any_of(options.begin(), options.end(),
                       [&](const auto &given) { return given.first == option; });
}

const std::string &Invocation::value(std::string_view option) const
{
    static const std::string none;
    // The last one given counts.
    const auto given = std::find_if(options.rbegin(), options.rend(),
                                    [&](const auto &entry) { return entry.first == option; });
    return given == options.rend() ? none : given->second;
}

Invocation readCommandLine(const std::vector<std::string> &arguments)
{
    Invocation call;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (!isOption(argument)) {
            words.push_back(argument);
            continue;
        }
        const OptionRow *option = findOption(argument);
        if (!option)
            throw UsageError{"unknown option '" + argument + "'"};
        std::string value;
        if (option->kind != OptionKind::Flag)
            value = optionValue(*option, arguments, ++i);
        call.options.emplace_back(option->name, std::move(value));
    }
    if (words.empty())
        throw UsageError{"no command given"};
    call.command = &findCommand(words.front(), call);
    call.operands.assign(words.begin() + 1, words.end());
    for (const auto &[option, value] : call.options) {
        if (!takes(*call.command, option))
            throw UsageError{std::string(option) + " goes with " + commandsTaking(option)};
    }
    return call;
}

std::string usageText()
{
    std::string text;
    for (const CommandRow &row : commandRows()) {
        text += text.empty() ? "Usage: zephra-cli " : "       zephra-cli ";
        for (char c : row.synopsis)
            text += c == '\n' ? "\n" + std::string(UsageIndent) : std::string(1, c);
        text += '\n';
    }
    return text + "\nPORT is a COM name (COM1 to COM255). Settings and their values:\n" +
           settingLines() +
           "\n"
           "Exit status: 0 done and verified, 1 usage or profile error or a port map entry that\n"
           "cannot be right, 2 port error, 3 the module did not answer, 4 the module answered "
           "with\n"
           "other values than written (pair: the two modules do not talk both ways; link: more\n"
           "packets lost or damaged than --max-loss allows).\n"
           "See zephra-cli(1).\n";
}

} // namespace cli
