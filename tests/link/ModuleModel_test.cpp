#include "link/ModuleModel.h"

#include <gtest/gtest.h>

namespace {

using namespace radio;

// A pair that talks both ways: channel 7, 1 Mbps, auto, A sends with id 0x11, B with 0x22.
ModuleSettings moduleA()
{
    ModuleSettings m{};
    m[CodeBaudrate] = 3;
    m[CodeMode] = ModeAuto;
    m[CodeDataRate] = 1;
    m[CodeChannel] = 7;
    m[CodeRxId] = 0x22;
    m[CodeTxId] = 0x11;
    return m;
}

ModuleSettings moduleB()
{
    ModuleSettings m = moduleA();
    m[CodeRxId] = 0x11;
    m[CodeTxId] = 0x22;
    return m;
}

std::vector<std::string> failedRules(const ModuleSettings &a, const ModuleSettings &b)
{
    std::vector<std::string> failed;
    for (const PairCheck &check : checkPair(a, b)) {
        if (!check.ok)
            failed.push_back((check.from ? std::string(1, check.from) + " " : "") +
                             std::string(check.rule->name));
    }
    return failed;
}

TEST(ModuleModel, eachSingleMismatchNamesItsRuleAndBreaksTheRightDirection)
{
    const ModuleSettings a = moduleA();
    EXPECT_TRUE(talksBothWays(a, moduleB()));
    EXPECT_TRUE(failedRules(a, moduleB()).empty());

    struct Case
    {
        std::uint8_t code;
        std::uint8_t value;
        std::vector<std::string> failed;
        bool aToB;
        bool bToA;
    };
    const Case cases[] = {
        {CodeChannel, 8, {"channel"}, false, false},
        {CodeDataRate, 0, {"rate"}, false, false},
        {CodeRxId, 0x12, {"A ids"}, false, true},
        {CodeTxId, 0x23, {"B ids"}, true, false},
        {CodeMode, ModeReceive, {"B modes"}, true, false},
        {CodeMode, ModeTransmit, {"A modes"}, false, true},
        // Settings outside the rules do not matter.
        {CodeBaudrate, 0, {}, true, true},
    };
    for (const Case &c : cases) {
        ModuleSettings b = moduleB();
        b[c.code] = c.value;
        SCOPED_TRACE(int(c.code));
        EXPECT_EQ(failedRules(a, b), c.failed);
        EXPECT_EQ(reaches(a, b), c.aToB);
        EXPECT_EQ(reaches(b, a), c.bToA);
        EXPECT_TRUE(talksBothWays(a, mendPartner(a, b)));
    }
}

TEST(ModuleModel, checksReportBothEndsValuesWithTheirCodes)
{
    ModuleSettings b = moduleB();
    b[CodeTxId] = 0x30;
    const std::vector<PairCheck> checks = checkPair(moduleA(), b);
    ASSERT_EQ(checks.size(), 6u);
    const PairCheck &ids = checks[4]; // B to A: B's tx-id against A's rx-id
    EXPECT_EQ(ids.from, 'B');
    EXPECT_EQ(ids.aCode, CodeRxId);
    EXPECT_EQ(ids.aValue, 0x22);
    EXPECT_EQ(ids.bCode, CodeTxId);
    EXPECT_EQ(ids.bValue, 0x30);
    EXPECT_FALSE(ids.ok);
}

TEST(ModuleModel, mendingKeepsWhatAlreadyWorksAndCannotMendTheFirstModule)
{
    ModuleSettings b = moduleB();
    b[CodeMode] = ModeAuto;
    b[CodeBaudrate] = 1;
    EXPECT_EQ(mendPartner(moduleA(), b), b);

    ModuleSettings a = moduleA();
    a[CodeMode] = ModeTransmit;
    b[CodeMode] = ModeReceive;
    EXPECT_EQ(mendPartner(a, b)[CodeMode], ModeReceive); // B only needs to hear A
    a[CodeMode] = ModeReceive;
    EXPECT_FALSE(talksBothWays(a, mendPartner(a, b)));
}

TEST(ModuleModel, speedsOfBothSides)
{
    ModuleSettings m{};
    const int line[] = {1200, 2400, 4800, 9600, 19200, 0};
    for (std::uint8_t value = 0; value < 6; ++value) {
        m[CodeBaudrate] = value;
        EXPECT_EQ(lineBitsPerSecond(m), line[value]);
    }
    const int air[] = {250000, 1000000, 0};
    for (std::uint8_t value = 0; value < 3; ++value) {
        m[CodeDataRate] = value;
        EXPECT_EQ(airBitsPerSecond(m), air[value]);
    }
}

TEST(ModuleModel, settingsReadAtCodesBeyondTheModelAreLeftOut)
{
    std::map<std::uint8_t, std::uint8_t> read{{CodeChannel, 7}, {8, 1}, {200, 9}};
    ModuleSettings expected{};
    expected[CodeChannel] = 7;
    EXPECT_EQ(modelOf(read), expected);
    expected[CodeChannel] = 9;
    copyModel(expected, read);
    EXPECT_EQ(read, (std::map<std::uint8_t, std::uint8_t>{{CodeChannel, 9}, {8, 1}, {200, 9}}));
}

} // namespace
