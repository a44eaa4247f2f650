#include "cli/PairCheck.h"

#include "cli/Report.h"
#include "link/ModuleModel.h"
#include "protocol/SettingTable.h"

#include <iostream>

namespace cli {

namespace {

using radio::modelOf;

std::string direction(const radio::PairCheck &check)
{
    if (check.from == 'A')
        return "A->B";
    if (check.from == 'B')
        return "B->A";
    return {};
}

std::string ruleName(const radio::PairCheck &check)
{
    const std::string way = direction(check);
    return (way.empty() ? "" : way + " ") + std::string(check.rule->name);
}

std::string side(std::uint8_t code, std::uint8_t value)
{
    return std::string(findSetting(code)->word) + "=" + shownValue(code, value);
}

std::string padded(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.resize(width, ' ');
    return text + ' ';
}

std::string textChecks(const std::vector<radio::PairCheck> &checks)
{
    std::string out;
    for (const radio::PairCheck &check : checks)
        out += padded(ruleName(check), 11) + padded("A " + side(check.aCode, check.aValue), 18) +
               padded("B " + side(check.bCode, check.bValue), 18) + (check.ok ? "ok" : "differs") +
               "\n";
    return out;
}

std::string jsonSide(std::uint8_t code, std::uint8_t value)
{
    return "{" + jsonString(std::string(findSetting(code)->word)) + ": " + jsonValue(code, value) +
           "}";
}

std::string jsonChecks(const std::vector<radio::PairCheck> &checks)
{
    std::string out = "[";
    for (const radio::PairCheck &check : checks) {
        const std::string way = direction(check);
        out += (out.size() > 1 ? ", " : "") + std::string("{\"rule\": ") +
               jsonString(std::string(check.rule->name)) +
               ", \"direction\": " + (way.empty() ? "null" : jsonString(way)) +
               ", \"a\": " + jsonSide(check.aCode, check.aValue) +
               ", \"b\": " + jsonSide(check.bCode, check.bValue) +
               ", \"ok\": " + (check.ok ? "true" : "false") + "}";
    }
    return out + "]";
}

std::string jsonVerdict(const SettingValues &a, const SettingValues &b)
{
    return "\"checks\": " + jsonChecks(radio::checkPair(modelOf(a), modelOf(b))) +
           ", \"talks_both_ways\": " +
           (radio::talksBothWays(modelOf(a), modelOf(b)) ? "true" : "false");
}

// "rate, B->A ids": the rules that fail.
std::string failing(const SettingValues &a, const SettingValues &b)
{
    std::string names;
    for (const radio::PairCheck &check : radio::checkPair(modelOf(a), modelOf(b))) {
        if (!check.ok)
            names += (names.empty() ? "" : ", ") + ruleName(check);
    }
    return names;
}

// B's settings as write would send them back, with the model's mend on top.
SettingValues mended(const SettingValues &a, const SettingValues &b)
{
    SettingValues target;
    for (const auto &[code, value] : b)
        target[code] = writeBackValue(*findSetting(code), value);
    radio::copyModel(radio::mendPartner(modelOf(a), modelOf(target)), target);
    return target;
}

} // namespace

int pairModules(const std::string &portA, const std::string &portB, const Options &options)
{
    ModuleLink linkA(portA);
    ModuleLink linkB(portB);
    const SettingValues a = linkA.readSettings();
    SettingValues b = linkB.readSettings();
    const bool talked = radio::talksBothWays(modelOf(a), modelOf(b));

    std::string json = "{" + jsonVerdict(a, b);
    if (!options.json)
        std::cout << textChecks(radio::checkPair(modelOf(a), modelOf(b))) << std::flush;

    std::vector<std::string> findings;
    if (options.fix && !talked) {
        const SettingValues target = mended(a, b);
        std::string written;
        for (const auto &[code, value] : target) {
            if (value != b.at(code))
                written += (written.empty() ? "" : " ") + side(code, value);
        }
        b = writeAndVerify(linkB, target, findings);
        if (options.json) {
            json +=
                ", \"fix\": {\"written\": " + jsonString(written) + ", " + jsonVerdict(a, b) + "}";
        } else {
            std::cout << "B written: " << written << "\n"
                      << textChecks(radio::checkPair(modelOf(a), modelOf(b))) << std::flush;
        }
    }
    if (options.json)
        std::cout << json << "}\n" << std::flush;

    for (const std::string &finding : findings)
        std::cerr << finding << '\n';
    if (radio::talksBothWays(modelOf(a), modelOf(b)))
        return findings.empty() ? Done : Mismatch;
    std::cerr << "The modules do not talk both ways: " << failing(a, b) << ".\n";
    return Mismatch;
}

} // namespace cli
