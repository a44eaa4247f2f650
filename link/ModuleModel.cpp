#include "link/ModuleModel.h"

namespace radio {

namespace {

bool equal(std::uint8_t a, std::uint8_t b)
{
    return a == b;
}

bool sendsAndHears(std::uint8_t senderMode, std::uint8_t receiverMode)
{
    return modeSends(senderMode) && modeHears(receiverMode);
}

constexpr PairRule rules[] = {
    {"channel", false, CodeChannel, CodeChannel, equal},
    {"rate", false, CodeDataRate, CodeDataRate, equal},
    {"ids", true, CodeTxId, CodeRxId, equal},
    {"modes", true, CodeMode, CodeMode, sendsAndHears},
};

PairCheck checkOne(const PairRule &rule, char from, const ModuleSettings &sender,
                   const ModuleSettings &receiver)
{
    const std::uint8_t sent = sender[rule.senderCode];
    const std::uint8_t heard = receiver[rule.receiverCode];
    const bool ok = rule.holds(sent, heard);
    if (from == 'B')
        return {&rule, from, rule.receiverCode, heard, rule.senderCode, sent, ok};
    return {&rule, from, rule.senderCode, sent, rule.receiverCode, heard, ok};
}

} // namespace

ModuleSettings modelOf(const std::map<std::uint8_t, std::uint8_t> &values)
{
    ModuleSettings module{};
    for (const auto &[code, value] : values) {
        if (code < module.size())
            module[code] = value;
    }
    return module;
}

void copyModel(const ModuleSettings &module, std::map<std::uint8_t, std::uint8_t> &values)
{
    for (auto &[code, value] : values) {
        if (code < module.size())
            value = module[code];
    }
}

int lineBitsPerSecond(const ModuleSettings &module)
{
    const std::uint8_t value = module[CodeBaudrate];
    return value <= 4 ? 1200 << value : 0;
}

int airBitsPerSecond(const ModuleSettings &module)
{
    switch (module[CodeDataRate]) {
    case 0:
        return 250000;
    case 1:
        return 1000000;
    default:
        return 0;
    }
}

bool modeSends(std::uint8_t mode)
{
    return mode == ModeTransmit || mode == ModeAuto;
}

bool modeHears(std::uint8_t mode)
{
    return mode == ModeReceive || mode == ModeAuto;
}

bool reaches(const ModuleSettings &from, const ModuleSettings &to)
{
    for (const PairRule &rule : rules) {
        if (!rule.holds(from[rule.senderCode], to[rule.receiverCode]))
            return false;
    }
    return true;
}

std::vector<PairCheck> checkPair(const ModuleSettings &a, const ModuleSettings &b)
{
    std::vector<PairCheck> checks;
    for (const PairRule &rule : rules) {
        if (!rule.oneWay)
            checks.push_back(checkOne(rule, 0, a, b));
    }
    for (const char from : {'A', 'B'}) {
        for (const PairRule &rule : rules) {
            if (rule.oneWay)
                checks.push_back(from == 'A' ? checkOne(rule, from, a, b)
                                             : checkOne(rule, from, b, a));
        }
    }
    return checks;
}

bool talksBothWays(const ModuleSettings &a, const ModuleSettings &b)
{
    return reaches(a, b) && reaches(b, a);
}

ModuleSettings mendPartner(const ModuleSettings &a, ModuleSettings b)
{
    b[CodeChannel] = a[CodeChannel];
    b[CodeDataRate] = a[CodeDataRate];
    b[CodeRxId] = a[CodeTxId];
    b[CodeTxId] = a[CodeRxId];
    const bool mustHear = modeSends(a[CodeMode]);
    const bool mustSend = modeHears(a[CodeMode]);
    if ((mustHear && !modeHears(b[CodeMode])) || (mustSend && !modeSends(b[CodeMode])))
        b[CodeMode] = ModeAuto;
    return b;
}

} // namespace radio
