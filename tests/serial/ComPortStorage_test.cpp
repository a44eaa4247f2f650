#include "serial/settings/SettingsStorage.h"

#include "StorageTestSupport.h"

#include <cstring>
#include <map>

namespace {

using Texts = std::vector<std::string>;

const TSettingGroups allGroups = TSettingGroups::all();

// A value as the registry holds it: name="text" for a REG_SZ that carries exactly one
// terminating zero, name:number for a 4-byte REG_DWORD.
std::string describe(const RegistryValue &value)
{
    if (value.type == REG_SZ && !value.data.empty() && value.data.back() == '\0' &&
        value.data.find('\0') == value.data.size() - 1)
        return value.name + "=\"" + value.data.substr(0, value.data.size() - 1) + "\"";
    if (value.type == REG_DWORD && value.data.size() == 4) {
        std::int32_t number = 0;
        std::memcpy(&number, value.data.data(), 4);
        return value.name + ":" + std::to_string(number);
    }
    return value.name + " (type " + std::to_string(value.type) + ")";
}

// Answers reads from a map (the fallback for keys it lacks) and logs every call.
class RecordingStore : public SettingsStore
{
public:
    std::map<std::string, std::string> texts;
    Texts log;

    void writeText(const std::string &key, const std::string &text) override
    {
        log.push_back("write " + key + "=" + text);
    }
    void writeInteger(const std::string &key, std::int32_t value) override
    {
        log.push_back("write " + key + ":" + std::to_string(value));
    }
    std::string readText(const std::string &key, const std::string &fallback) override
    {
        log.push_back("read " + key);
        const auto found = texts.find(key);
        return found == texts.end() ? fallback : found->second;
    }
    std::int32_t readInteger(const std::string &key, std::int32_t fallback) override
    {
        log.push_back("read " + key);
        return fallback;
    }
};

class SettingsStorageTest : public ::testing::Test
{
protected:
    ConfigHome home;
    Registry registry{HKEY_CURRENT_USER};
    IniFile ini{home.file("settings.ini")};
    TComPort port;

    void SetUp() override
    {
        port.setName("ComPort1");
        ASSERT_TRUE(registry.openKey("Software\\Zephra\\ComPort1", true));
    }

    // Saves the port into a new key of that name and describes what the key holds.
    Texts saveToNewKey(const std::string &leaf)
    {
        Registry target(HKEY_CURRENT_USER);
        EXPECT_TRUE(target.openKey("Software\\Zephra\\" + leaf, true));
        port.SaveToRegistry(target);
        Texts described;
        for (const RegistryValue &value : storedValues(userKeyPath(leaf)))
            described.push_back(describe(value));
        return described;
    }

    // A port whose every setting differs from its creation value.
    void changeEverySetting()
    {
        applySettings(port, PortSettings{.port = "COM3",
                                         .baudRate = br115200,
                                         .customBaudRate = 57600,
                                         .stopBits = sbTwoStopBits,
                                         .dataBits = dbSeven,
                                         .eventChar = 'x',
                                         .discardNull = true,
                                         .parityBits = prOdd,
                                         .parityCheck = true,
                                         .parityReplace = true,
                                         .replaceChar = 'r',
                                         .outputSize = 2048,
                                         .inputSize = 4096,
                                         .readInterval = 7,
                                         .readTotalConstant = 8,
                                         .readTotalMultiplier = 9,
                                         .writeTotalConstant = 10,
                                         .writeTotalMultiplier = 11,
                                         .controlRTS = rtsToggle,
                                         .controlDTR = dtrEnable,
                                         .dsrSensitivity = true,
                                         .outCTSFlow = true,
                                         .outDSRFlow = true,
                                         .txContinueOnXoff = true,
                                         .xonXoffIn = true,
                                         .xonXoffOut = true,
                                         .xoffChar = 'S',
                                         .xonChar = 'Q'});
    }
};

} // namespace

TEST_F(SettingsStorageTest, DefaultGroupsSaveSixKeysAndSevenWithACustomSpeed)
{
    port.SaveToIniFile(ini);
    EXPECT_EQ(readFile(ini.fileName()), "[ComPort1]\nPort=COM1\nBaudRate=9600\nStopBits=1\n"
                                        "DataBits=8\nParity=None\nFlowControl=None\n");
    EXPECT_EQ(saveToNewKey("Six"),
              (Texts{"Port=\"COM1\"", "BaudRate=\"9600\"", "StopBits=\"1\"", "DataBits=\"8\"",
                     "Parity=\"None\"", "FlowControl=\"None\""}));

    port.setBaudRate(brCustom);
    port.setCustomBaudRate(19200);
    IniFile custom(home.file("custom.ini"));
    port.SaveToIniFile(custom);
    EXPECT_EQ(readFile(custom.fileName()),
              "[ComPort1]\nPort=COM1\nBaudRate=Custom\nCustomBaudRate=19200\nStopBits=1\n"
              "DataBits=8\nParity=None\nFlowControl=None\n");
    EXPECT_EQ(
        saveToNewKey("Seven"),
        (Texts{"Port=\"COM1\"", "BaudRate=\"Custom\"", "CustomBaudRate:19200", "StopBits=\"1\"",
               "DataBits=\"8\"", "Parity=\"None\"", "FlowControl=\"None\""}));

    // Another port writes its own section and leaves this one alone.
    TComPort second;
    second.setName("ComPort2");
    second.setPort("COM2");
    second.SaveToIniFile(custom);
    EXPECT_EQ(custom.readString("ComPort1", "Port", "?"), "COM1");
    EXPECT_EQ(custom.readString("ComPort2", "Port", "?"), "COM2");
    EXPECT_EQ(custom.readString("ComPort1", "BaudRate", "?"), "Custom");
}

TEST_F(SettingsStorageTest, AllGroupsAreWalkedInTheirFixedOrderAndKeysInTableOrder)
{
    port.setSavedGroups(allGroups);
    port.setBaudRate(brCustom);
    // Creation values elsewhere: characters with codes 0, 17 and 19 are written as codes, and
    // the read interval -1 as a DWORD with all bits set.
    const Texts all{"Port=\"COM1\"",
                    "BaudRate=\"Custom\"",
                    "CustomBaudRate:9600",
                    "StopBits=\"1\"",
                    "DataBits=\"8\"",
                    "Parity=\"None\"",
                    "FlowControl=\"None\"",
                    "EventChar=\"#0\"",
                    "DiscardNull=\"No\"",
                    "Parity.Check=\"No\"",
                    "Parity.Replace=\"No\"",
                    "Parity.ReplaceChar=\"#0\"",
                    "Buffer.OutputSize:1024",
                    "Buffer.InputSize:1024",
                    "Timeouts.ReadInterval:-1",
                    "Timeouts.ReadTotalConstant:0",
                    "Timeouts.ReadTotalMultiplier:0",
                    "Timeouts.WriteTotalConstant:1000",
                    "Timeouts.WriteTotalMultiplier:100",
                    "FlowControl.ControlRTS=\"Disable\"",
                    "FlowControl.ControlDTR=\"Disable\"",
                    "FlowControl.DSRSensitivity=\"No\"",
                    "FlowControl.OutCTSFlow=\"No\"",
                    "FlowControl.OutDSRFlow=\"No\"",
                    "FlowControl.TxContinueOnXoff=\"No\"",
                    "FlowControl.XonXoffIn=\"No\"",
                    "FlowControl.XonXoffOut=\"No\"",
                    "FlowControl.XoffChar=\"#19\"",
                    "FlowControl.XonChar=\"#17\""};
    EXPECT_EQ(saveToNewKey("All"), all);
    const RegistryValue *interval = nullptr;
    const std::vector<RegistryValue> values = storedValues(userKeyPath("All"));
    for (const RegistryValue &value : values)
        interval = value.name == "Timeouts.ReadInterval" ? &value : interval;
    ASSERT_NE(interval, nullptr);
    EXPECT_EQ(interval->data, std::string("\xff\xff\xff\xff", 4));

    // Loading reads the same keys in the same order; the walk itself writes nothing.
    RecordingStore store;
    loadSettings(port, allGroups, store);
    Texts expectedReads;
    for (const std::string &entry : all)
        expectedReads.push_back("read " + entry.substr(0, entry.find_first_of("=:")));
    EXPECT_EQ(store.log, expectedReads);

    // Saving touches nothing but the store.
    const PortSettings before = settingsOf(port);
    RecordingStore saved;
    saveSettings(port, allGroups, saved);
    EXPECT_EQ(saved.log.size(), all.size());
    EXPECT_EQ(settingsOf(port), before);
}

TEST_F(SettingsStorageTest, CustomBaudRateIsReadOnlyWhenTheLoadedSpeedIsCustom)
{
    RecordingStore store;
    store.texts["BaudRate"] = "custom";
    loadSettings(port, TSettingGroups{sgBasic}, store);
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(store.log[1], "read BaudRate");
    EXPECT_EQ(store.log[2], "read CustomBaudRate");

    store.log.clear();
    store.texts["BaudRate"] = "4800";
    loadSettings(port, TSettingGroups{sgBasic}, store);
    EXPECT_EQ(port.BaudRate(), br4800);
    EXPECT_EQ(store.log[2], "read StopBits") << "a port that was custom before still skips it";
}

TEST_F(SettingsStorageTest, EmptySavedGroupsSaveAndLoadNothing)
{
    // Both stores hold a full set of other settings.
    {
        TComPort other;
        other.setName("ComPort1");
        other.setSavedGroups(allGroups);
        other.setPort("COM9");
        other.setBaudRate(brCustom);
        other.SaveToIniFile(ini);
        other.SaveToRegistry(registry);
    }
    const std::string file = readFile(ini.fileName());
    changeEverySetting();
    const PortSettings before = settingsOf(port);
    port.setSavedGroups({});

    port.SaveToIniFile(ini);
    port.SaveToRegistry(registry);
    EXPECT_EQ(readFile(ini.fileName()), file);
    EXPECT_EQ(registry.readString("Port"), "COM9");
    port.LoadFromIniFile(ini);
    port.LoadFromRegistry(registry);
    EXPECT_EQ(settingsOf(port), before);
}

TEST_F(SettingsStorageTest, EmptyIniSectionChangesNothingButACustomSpeed)
{
    port.setSavedGroups(allGroups);
    changeEverySetting();
    writeFile(ini.fileName(), "[ComPort2]\nPort=COM9\nBaudRate=300\n");
    PortSettings expected = settingsOf(port);
    port.LoadFromIniFile(ini);
    EXPECT_EQ(settingsOf(port), expected);

    // A missing file reads like an empty section; a custom speed falls back to 9600.
    port.setBaudRate(brCustom);
    port.setCustomBaudRate(19200);
    expected = settingsOf(port);
    IniFile missing(home.file("missing.ini"));
    port.LoadFromIniFile(missing);
    expected.customBaudRate = 9600;
    EXPECT_EQ(settingsOf(port), expected);
}

TEST_F(SettingsStorageTest, IniSectionWithOneFlowValueChangesOnlyThatValue)
{
    changeEverySetting();
    port.FlowControl().setOutCTSFlow(false);
    port.setSavedGroups({sgFlowControl});
    writeFile(ini.fileName(), "[comport1]\nflowcontrol.outctsflow=yes\n");
    PortSettings expected = settingsOf(port);
    port.LoadFromIniFile(ini);
    expected.outCTSFlow = true;
    EXPECT_EQ(settingsOf(port), expected);
}

TEST_F(SettingsStorageTest, FlowPresetIsAppliedBeforeTheIndividualFlowValues)
{
    const std::string section = "[ComPort1]\nFlowControl=Hardware\nFlowControl.ControlRTS=Toggle\n"
                                "FlowControl.OutCTSFlow=No\n";
    writeFile(ini.fileName(), section);
    port.setSavedGroups({sgBasic, sgFlowControl});
    port.LoadFromIniFile(ini);
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsToggle);
    EXPECT_FALSE(port.FlowControl().OutCTSFlow());

    port.setSavedGroups({sgBasic});
    port.LoadFromIniFile(ini);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcHardware);
}

TEST_F(SettingsStorageTest, EmptyRegistryKeyGivesTheTextFallbacks)
{
    changeEverySetting();
    PortSettings expected = settingsOf(port);
    port.LoadFromRegistry(registry);
    expected.port = "";
    expected.baudRate = br9600;
    expected.stopBits = sbOneStopBit;
    expected.dataBits = dbEight;
    expected.parityBits = prNone;
    EXPECT_EQ(settingsOf(port), expected) << "the empty preset is fcCustom: flow flags stay";

    // All groups: the fallbacks of the text groups, then the first integer is missing.
    changeEverySetting();
    expected = settingsOf(port);
    port.setSavedGroups(allGroups);
    EXPECT_EQ(registryFailure([&] { port.LoadFromRegistry(registry); }),
              "Failed to get data for 'Buffer.OutputSize'");
    expected.port = "";
    expected.baudRate = br9600;
    expected.stopBits = sbOneStopBit;
    expected.dataBits = dbEight;
    expected.parityBits = prNone;
    expected.eventChar = '\0';
    expected.discardNull = false;
    expected.parityCheck = false;
    expected.parityReplace = false;
    expected.replaceChar = '\0';
    EXPECT_EQ(settingsOf(port), expected);
}

TEST_F(SettingsStorageTest, UnreadableRegistryValueEndsTheLoadAtThatKey)
{
    registry.writeString("Port", "COM5");
    registry.writeInteger("BaudRate", 9600);
    registry.writeString("StopBits", "2");
    EXPECT_EQ(registryFailure([&] { port.LoadFromRegistry(registry); }),
              "Invalid data type for 'BaudRate'");
    EXPECT_EQ(port.Port(), "COM5") << "what came before stays applied";
    EXPECT_EQ(port.StopBits(), sbOneStopBit) << "nothing after the failing key is read";

    registry.writeString("BaudRate", "Custom");
    EXPECT_EQ(registryFailure([&] { port.LoadFromRegistry(registry); }),
              "Failed to get data for 'CustomBaudRate'");
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);

    registry.writeInteger("CustomBaudRate", 31250);
    port.LoadFromRegistry(registry);
    EXPECT_EQ(port.CustomBaudRate(), 31250);
    EXPECT_EQ(port.StopBits(), sbTwoStopBits);
}

TEST_F(SettingsStorageTest, IntegersKeepTheirSignAndQueueSizesAreMadeEven)
{
    port.setSavedGroups({sgBuffer, sgTimeouts});
    port.SaveToRegistry(registry);
    port.SaveToIniFile(ini);
    EXPECT_EQ(ini.readString("ComPort1", "Timeouts.ReadInterval", "?"), "-1");
    port.Timeouts().setReadInterval(5);
    port.LoadFromRegistry(registry);
    EXPECT_EQ(port.Timeouts().ReadInterval(), -1);
    port.Timeouts().setReadInterval(5);
    port.LoadFromIniFile(ini);
    EXPECT_EQ(port.Timeouts().ReadInterval(), -1);

    setRawValue(registry, "Buffer.InputSize", REG_DWORD, std::string("\x01\x04\0\0", 4));
    port.LoadFromRegistry(registry);
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
    writeFile(ini.fileName(), "[ComPort1]\nBuffer.InputSize=1025\nBuffer.OutputSize=-3\n");
    port.Buffer().setInputSize(64);
    port.LoadFromIniFile(ini);
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
    EXPECT_EQ(port.Buffer().OutputSize(), -3);
}

TEST_F(SettingsStorageTest, StoreFailuresPassOutUnchanged)
{
    std::filesystem::create_directory(home.file("folder.ini"));
    IniFile folder(home.file("folder.ini"));
    EXPECT_THROW(port.SaveToIniFile(folder), EIniFileException);

    Registry readOnly(HKEY_CURRENT_USER);
    ASSERT_TRUE(readOnly.openKeyReadOnly("Software\\Zephra\\ComPort1"));
    EXPECT_EQ(registryFailure([&] { port.SaveToRegistry(readOnly); }),
              "Failed to set data for 'Port'");
}
