#include "serial/settings/ComDeviceCodes.h"
#include "serial/settings/ComTexts.h"

#include <gtest/gtest.h>

#include <string>

TEST(ComTexts, EveryValueReadsBackFromItsOwnText)
{
    for (int i = brCustom; i <= br256000; ++i)
        EXPECT_EQ(TextToBaudRate(BaudRateToText(TBaudRate(i))), TBaudRate(i));
    for (int i = sbOneStopBit; i <= sbTwoStopBits; ++i)
        EXPECT_EQ(TextToStopBits(StopBitsToText(TStopBits(i))), TStopBits(i));
    for (int i = dbFive; i <= dbEight; ++i)
        EXPECT_EQ(TextToDataBits(DataBitsToText(TDataBits(i))), TDataBits(i));
    for (int i = prNone; i <= prSpace; ++i)
        EXPECT_EQ(TextToParity(ParityToText(TParityBits(i))), TParityBits(i));
    for (int i = fcHardware; i <= fcCustom; ++i)
        EXPECT_EQ(TextToFlowControl(FlowControlToText(TFlowControl(i))), TFlowControl(i));
    for (int i = dtrDisable; i <= dtrHandshake; ++i)
        EXPECT_EQ(TextToDTRControl(DTRControlToText(TDTRFlowControl(i))), TDTRFlowControl(i));
    for (int i = rtsDisable; i <= rtsToggle; ++i)
        EXPECT_EQ(TextToRTSControl(RTSControlToText(TRTSFlowControl(i))), TRTSFlowControl(i));
    EXPECT_EQ(BaudRateToText(brCustom), "Custom");
    EXPECT_EQ(StopBitsToText(sbOne5StopBits), "1.5");
}

TEST(ComTexts, MatchingIgnoresLetterCaseButNothingElse)
{
    EXPECT_EQ(TextToBaudRate("custom"), brCustom);
    EXPECT_EQ(TextToBaudRate("CUSTOM"), brCustom);
    EXPECT_EQ(TextToBaudRate("4800 "), br9600);
    EXPECT_EQ(TextToBaudRate("  4800"), br9600);
    EXPECT_EQ(TextToStopBits("1,5"), sbOneStopBit);
    EXPECT_EQ(TextToParity("mARK"), prMark);
    EXPECT_EQ(TextToParity("Od\xe4"), prNone); // only ASCII letters fold
}

TEST(ComTexts, UnknownTextsGiveEachTypesFallback)
{
    EXPECT_EQ(TextToBaudRate("57601"), br9600);
    EXPECT_EQ(TextToStopBits("3"), sbOneStopBit);
    EXPECT_EQ(TextToDataBits(""), dbEight);
    EXPECT_EQ(TextToParity(""), prNone);
    EXPECT_EQ(TextToFlowControl(""), fcCustom);
    EXPECT_EQ(TextToRTSControl("on"), rtsDisable);
    // Words shared between types resolve within each type's own list.
    EXPECT_EQ(TextToFlowControl("none"), fcNone);
    EXPECT_EQ(TextToDTRControl("handshake"), dtrHandshake);
    EXPECT_EQ(TextToRTSControl("handshake"), rtsHandshake);
    EXPECT_EQ(TextToRTSControl("Toggle"), rtsToggle);
    EXPECT_EQ(TextToDTRControl("Toggle"), dtrDisable);
}

TEST(ComTexts, BooleansAreYesAndNo)
{
    EXPECT_EQ(BoolToText(true), "Yes");
    EXPECT_EQ(BoolToText(false), "No");
    EXPECT_TRUE(TextToBool("yes"));
    EXPECT_TRUE(TextToBool("yEs"));
    for (const char *text : {"Y", "No", "true", "1", "", "yes "})
        EXPECT_FALSE(TextToBool(text)) << text;
}

TEST(ComTexts, CharactersOutsidePrintableAsciiAreWrittenAsCodes)
{
    EXPECT_EQ(CharToText('\0'), "#0");
    EXPECT_EQ(CharToText('\x11'), "#17");
    EXPECT_EQ(CharToText(' '), "#32");
    EXPECT_EQ(CharToText('!'), "!");
    EXPECT_EQ(CharToText('#'), "#");
    EXPECT_EQ(CharToText('\x7f'), "\x7f");
    EXPECT_EQ(CharToText('\x80'), "#128");
    EXPECT_EQ(CharToText('\xff'), "#255");
}

TEST(ComTexts, TextToCharReadsCodesAndPlainCharacters)
{
    EXPECT_EQ(TextToChar("#17"), '\x11');
    EXPECT_EQ(TextToChar("#$1B"), '\x1b');
    EXPECT_EQ(TextToChar("#0x1B"), '\x1b');
    EXPECT_EQ(TextToChar("#-1"), '\xff');
    EXPECT_EQ(TextToChar("#321"), 'A');
    EXPECT_EQ(TextToChar("# 65"), 'A');
    EXPECT_EQ(TextToChar("#256"), '\0');
    EXPECT_EQ(TextToChar("#1A"), '\0');
    EXPECT_EQ(TextToChar("#99999999999"), '\0');
    EXPECT_EQ(TextToChar(""), '\0');
    EXPECT_EQ(TextToChar("#"), '#');
    EXPECT_EQ(TextToChar("AB"), 'A');
    for (int code = 0; code < 256; ++code) {
        const char c = static_cast<char>(code);
        EXPECT_EQ(TextToChar(CharToText(c)), c) << "code " << code;
    }
}

TEST(ComDeviceCodes, LineSettingsMapToTheirDeviceNumbers)
{
    EXPECT_EQ(baudRateSpeed(brCustom), 0u);
    EXPECT_EQ(baudRateSpeed(br56000), 56000u);
    EXPECT_EQ(baudRateSpeed(br256000), 256000u);
    EXPECT_EQ(stopBitsCode(sbTwoStopBits), 2);
    EXPECT_EQ(dataBitsCount(dbFive), 5);
    EXPECT_EQ(parityCode(prSpace), 4);
    EXPECT_EQ(dtrControlBits(dtrHandshake), 0x0020u);
    EXPECT_EQ(rtsControlBits(rtsToggle), 0x3000u);
    EXPECT_EQ(baudRateSpeed(TBaudRate(16)), 0u); // outside the enumeration
}

TEST(ComDeviceCodes, EventSetAndDeviceMaskConvertMemberByMember)
{
    EXPECT_EQ(TComEvents::all().bits(), 0x03FF);
    EXPECT_EQ(TComEvents::fromBits(0xFFFF).bits(), 0x03FF);
    EXPECT_EQ(eventsToMask(TComEvents::all()), 0x05FFu);
    EXPECT_EQ(eventsToMask({evTxEmpty}), 0x0004u); // set bit 1, mask bit 2
    EXPECT_EQ(eventsToMask({evRxFlag, evRing}), 0x0102u);
    EXPECT_EQ(maskToEvents(0x0400 | 0x0020), (TComEvents{evRLSD, evRx80Full}));
    EXPECT_TRUE(maskToEvents(0x0200).empty()); // not a mask bit of any event
    EXPECT_EQ(TSettingGroups::all().bits(), 0x3F);
}
