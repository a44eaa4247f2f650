#include "StorageTestSupport.h"

#include <random>
#include <regex>

namespace {

constexpr int kRounds = 300;      // round trips
constexpr int kRandomFiles = 200; // damaged or odd stores

class RoundTripTest : public ::testing::Test
{
protected:
    ConfigHome home;
    std::mt19937 random{20240611};

    std::int32_t anyInteger()
    {
        switch (random() % 3) {
        case 0:
            return static_cast<std::int32_t>(random());
        case 1:
            return static_cast<std::int32_t>(random() % 4097) - 2048;
        default:
            return random() % 2 ? INT32_MIN : INT32_MAX;
        }
    }
    char anyChar() { return static_cast<char>(random() % 256); }
    bool anyBool() { return random() % 2 == 1; }
    std::string anyText(std::size_t maxLength, bool withZero)
    {
        std::string text(random() % (maxLength + 1), '\0');
        for (char &c : text)
            c = static_cast<char>(withZero ? random() % 256 : 1 + random() % 255);
        return text;
    }

    PortSettings anySettings(bool zeroInTexts)
    {
        PortSettings settings{
            .port = anyText(10, zeroInTexts),
            .baudRate = random() % 4 ? TBaudRate(random() % 16) : brCustom,
            .customBaudRate = anyInteger(),
            .stopBits = TStopBits(random() % 3),
            .dataBits = TDataBits(random() % 4),
            .eventChar = anyChar(),
            .discardNull = anyBool(),
            .parityBits = TParityBits(random() % 5),
            .parityCheck = anyBool(),
            .parityReplace = anyBool(),
            .replaceChar = anyChar(),
            .outputSize = anyInteger(),
            .inputSize = anyInteger(),
            .readInterval = anyInteger(),
            .readTotalConstant = anyInteger(),
            .readTotalMultiplier = anyInteger(),
            .writeTotalConstant = anyInteger(),
            .writeTotalMultiplier = anyInteger(),
            .controlRTS = TRTSFlowControl(random() % 4),
            .controlDTR = TDTRFlowControl(random() % 3),
            .dsrSensitivity = anyBool(),
            .outCTSFlow = anyBool(),
            .outDSRFlow = anyBool(),
            .txContinueOnXoff = anyBool(),
            .xonXoffIn = anyBool(),
            .xonXoffOut = anyBool(),
            .xoffChar = anyChar(),
            .xonChar = anyChar(),
        };
        // Half the time the flags form a preset, so that loading the preset alone is seen.
        if (random() % 2) {
            const TFlowControl preset = TFlowControl(random() % 3);
            settings.controlRTS = preset == fcHardware ? rtsHandshake : rtsDisable;
            settings.outCTSFlow = preset == fcHardware;
            settings.xonXoffIn = settings.xonXoffOut = preset == fcSoftware;
        }
        return settings;
    }

    // Every group about a third of the time, else any subset.
    TSettingGroups anyGroups()
    {
        return random() % 3 ? TSettingGroups::fromBits(static_cast<std::uint8_t>(random()))
                            : TSettingGroups::all();
    }

    // What a port holding target has after loading the groups saved from source.
    static PortSettings afterLoad(const PortSettings &source, const TComPort &sourcePort,
                                  const PortSettings &target, TSettingGroups groups)
    {
        TComPort model;
        applySettings(model, target);
        PortSettings expected = target;
        if (groups.contains(sgBasic)) {
            expected.port = source.port;
            expected.baudRate = source.baudRate;
            if (source.baudRate == brCustom)
                expected.customBaudRate = source.customBaudRate;
            expected.stopBits = source.stopBits;
            expected.dataBits = source.dataBits;
            expected.parityBits = source.parityBits;
            model.FlowControl().setFlowControl(sourcePort.FlowControl().FlowControl());
            const TComFlowControl &flow = model.FlowControl();
            expected.controlRTS = flow.ControlRTS();
            expected.outCTSFlow = flow.OutCTSFlow();
            expected.xonXoffIn = flow.XonXoffIn();
            expected.xonXoffOut = flow.XonXoffOut();
        }
        if (groups.contains(sgMisc)) {
            expected.eventChar = source.eventChar;
            expected.discardNull = source.discardNull;
        }
        if (groups.contains(sgParity)) {
            expected.parityCheck = source.parityCheck;
            expected.parityReplace = source.parityReplace;
            expected.replaceChar = source.replaceChar;
        }
        if (groups.contains(sgBuffer)) {
            expected.outputSize = source.outputSize;
            expected.inputSize = source.inputSize;
        }
        if (groups.contains(sgTimeouts)) {
            expected.readInterval = source.readInterval;
            expected.readTotalConstant = source.readTotalConstant;
            expected.readTotalMultiplier = source.readTotalMultiplier;
            expected.writeTotalConstant = source.writeTotalConstant;
            expected.writeTotalMultiplier = source.writeTotalMultiplier;
        }
        if (groups.contains(sgFlowControl)) {
            expected.controlRTS = source.controlRTS;
            expected.controlDTR = source.controlDTR;
            expected.dsrSensitivity = source.dsrSensitivity;
            expected.outCTSFlow = source.outCTSFlow;
            expected.outDSRFlow = source.outDSRFlow;
            expected.txContinueOnXoff = source.txContinueOnXoff;
            expected.xonXoffIn = source.xonXoffIn;
            expected.xonXoffOut = source.xonXoffOut;
            expected.xoffChar = source.xoffChar;
            expected.xonChar = source.xonChar;
        }
        return expected;
    }

    // Saves random settings from one port and loads them into another that holds other
    // random settings, through the store that save and load reach.
    template<typename Save, typename Load> void roundTrips(bool zeroInTexts, Save save, Load load)
    {
        for (int round = 0; round < kRounds; ++round) {
            TComPort source, target;
            applySettings(source, anySettings(zeroInTexts));
            applySettings(target, anySettings(zeroInTexts));
            const TSettingGroups groups = anyGroups();
            source.setSavedGroups(groups);
            target.setSavedGroups(groups);
            const std::string name = anyText(6, true);
            source.setName(name);
            target.setName(name);
            const PortSettings saved = settingsOf(source);
            const PortSettings expected = afterLoad(saved, source, settingsOf(target), groups);

            save(round, source);
            ASSERT_EQ(settingsOf(source), saved) << "saving changed the port, round " << round;
            load(round, target);
            ASSERT_EQ(settingsOf(target), expected)
                << "round " << round << ", groups " << int(groups.bits());
        }
    }
};

} // namespace

TEST_F(RoundTripTest, EveryGroupComesBackFromTheRegistry)
{
    auto open = [](Registry &registry, int round) {
        ASSERT_TRUE(registry.openKey("Software\\Zephra\\RoundTrip" + std::to_string(round), true));
    };
    // A registry text ends at its first zero byte, so the texts here hold none.
    roundTrips(
        false,
        [&](int round, TComPort &port) {
            Registry registry;
            open(registry, round);
            port.SaveToRegistry(registry);
        },
        [&](int round, TComPort &port) {
            Registry registry;
            open(registry, round);
            port.LoadFromRegistry(registry);
        });
}

TEST_F(RoundTripTest, EveryGroupComesBackFromAnIniFile)
{
    const std::string file = home.file("roundtrip.ini");
    roundTrips(
        true,
        [&](int, TComPort &port) {
            std::filesystem::remove(file);
            IniFile ini(file);
            port.SaveToIniFile(ini);
        },
        [&](int, TComPort &port) {
            IniFile ini(file);
            port.LoadFromIniFile(ini);
        });
}

TEST_F(RoundTripTest, RandomIniFilesLoadWithoutErrorAndWhatLoadedSavesAgain)
{
    const std::vector<std::string> pieces{"[ComPort1]",
                                          "[comport1 ]",
                                          "[",
                                          "]",
                                          "=",
                                          "\n",
                                          "\r\n",
                                          ";",
                                          "#",
                                          "\"",
                                          "\\x4",
                                          " ",
                                          "Port",
                                          "BaudRate",
                                          "Custom",
                                          "CustomBaudRate",
                                          "StopBits",
                                          "1.5",
                                          "Parity",
                                          "FlowControl",
                                          "Hardware",
                                          "EventChar",
                                          "#$1B",
                                          "Yes",
                                          "Buffer.InputSize",
                                          "1025",
                                          "Timeouts.ReadInterval",
                                          "-1",
                                          "99999999999",
                                          "FlowControl.XonChar",
                                          "\xff",
                                          "\0"};
    const std::string file = home.file("random.ini");
    for (int round = 0; round < kRandomFiles; ++round) {
        std::string text;
        for (std::size_t count = random() % 60; count > 0; --count)
            text += random() % 4 ? pieces[random() % pieces.size()] : anyText(3, true);
        if (round % 2)
            text = "[ComPort1]\n" + text;
        writeFile(file, text);

        TComPort loaded;
        loaded.setName("ComPort1");
        loaded.setSavedGroups(TSettingGroups::all());
        IniFile ini(file);
        ASSERT_NO_THROW(loaded.LoadFromIniFile(ini)) << "round " << round;

        // Whatever came in is a set of settings that saves and loads like any other.
        const std::string again = home.file("again.ini");
        std::filesystem::remove(again);
        IniFile copy(again);
        loaded.SaveToIniFile(copy);
        TComPort reloaded;
        reloaded.setName("ComPort1");
        reloaded.setSavedGroups(TSettingGroups::all());
        reloaded.LoadFromIniFile(copy);
        ASSERT_EQ(settingsOf(reloaded), settingsOf(loaded)) << "round " << round;
    }
}

TEST_F(RoundTripTest, DamagedOrOddRegistryKeysFailOnlyWithRegistryErrors)
{
    const std::regex registryError("(Failed to get data for|Invalid data type for) '[A-Za-z.]+'");
    const std::vector<std::string> names{"Port",
                                         "BaudRate",
                                         "CustomBaudRate",
                                         "StopBits",
                                         "EventChar",
                                         "Parity.ReplaceChar",
                                         "Buffer.OutputSize",
                                         "buffer.inputsize",
                                         "Timeouts.ReadInterval",
                                         "FlowControl.XonChar"};
    const std::vector<DWORD> types{REG_NONE,     REG_SZ,    REG_EXPAND_SZ,
                                   REG_BINARY,   REG_DWORD, REG_DWORD_BIG_ENDIAN,
                                   REG_MULTI_SZ, REG_QWORD};
    for (int round = 0; round < kRandomFiles; ++round) {
        const std::string leaf = "Odd" + std::to_string(round);
        Registry registry;
        ASSERT_TRUE(registry.openKey("Software\\Zephra\\" + leaf, true));
        TComPort port;
        port.setSavedGroups(TSettingGroups::all());
        const bool damaged = round % 2 == 0;
        if (damaged) {
            // Random bytes as the key's file.
            writeFile(keyFilePath(userKeyPath(leaf)), anyText(200, true));
        } else {
            // A whole set of values, some of them then replaced by odd types and sizes.
            TComPort source;
            applySettings(source, anySettings(true));
            source.setSavedGroups(TSettingGroups::all());
            source.SaveToRegistry(registry);
            for (std::size_t count = random() % 4; count > 0; --count) {
                const std::string &name = names[random() % names.size()];
                if (random() % 5 == 0)
                    RegDeleteValueA(registry.currentKey(), name.c_str());
                else
                    setRawValue(registry, name.c_str(), types[random() % types.size()],
                                anyText(8, true));
            }
        }
        const PortSettings before = settingsOf(port);
        try {
            port.LoadFromRegistry(registry);
            EXPECT_FALSE(damaged) << "round " << round;
        } catch (const ERegistryException &e) {
            EXPECT_TRUE(std::regex_match(e.message(), registryError))
                << e.message() << ", round " << round;
            if (damaged) {
                EXPECT_EQ(e.message(), "Failed to get data for 'Port'");
                EXPECT_EQ(settingsOf(port), before);
            }
        }
    }
}
