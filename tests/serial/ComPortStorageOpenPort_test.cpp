#include "platform/posix/LineSettings.h"
#include "serial/EComPort.h"

#include "SerialTestSupport.h"
#include "StorageTestSupport.h"

#include <termios.h>

namespace {

// Loading into a port that is open on a pty; what reached the device is read back from the
// pty's slave side.
class OpenPortStorageTest : public ::testing::Test
{
protected:
    ReportSink sink;
    FakeLineInstaller lineState;
    PublishedPty device;
    ConfigHome home;
    IniFile ini{home.file("settings.ini")};
    int opens = 0;
    TComPort port;

    void SetUp() override
    {
        port.setName("ComPort1");
        port.setPort(device.name);
        port.OnBeforeOpen = [this](Component *) { ++opens; };
        port.Open();
    }

    static LineSettings lineOf(const PtyPair &pty)
    {
        LineSettings settings;
        EXPECT_EQ(readLineSettings(pty.slave(), settings), 0);
        return settings;
    }
};

} // namespace

TEST_F(OpenPortStorageTest, LoadedSettingsReachTheOpenDeviceAtOnce)
{
    const LineSettings before = lineOf(device.pty);
    ASSERT_EQ(before.speed, 9600u);
    ASSERT_EQ(before.cflag & (CSTOPB | CRTSCTS), 0u);

    writeFile(ini.fileName(), "[ComPort1]\nPort=" + device.name +
                                  "\nBaudRate=Custom\nCustomBaudRate=12345\nStopBits=2\n"
                                  "FlowControl=Hardware\nTimeouts.ReadInterval=0\n"
                                  "Timeouts.WriteTotalConstant=77\nFlowControl.XonXoffIn=Yes\n"
                                  "FlowControl.XonChar=#1\nFlowControl.XoffChar=#2\n");
    port.setSavedGroups({sgBasic, sgTimeouts, sgFlowControl});
    const HANDLE handle = port.Handle();
    port.LoadFromIniFile(ini);

    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.Handle(), handle);
    EXPECT_EQ(opens, 1) << "an unchanged Port does not reopen";
    const LineSettings after = lineOf(device.pty);
    EXPECT_EQ(after.speed, 12345u);
    EXPECT_NE(after.cflag & CSTOPB, 0u);
    EXPECT_NE(after.cflag & CRTSCTS, 0u) << "the hardware preset";
    EXPECT_NE(after.iflag & IXOFF, 0u);
    EXPECT_EQ(after.iflag & IXON, 0u);
    EXPECT_EQ(after.cc[VSTART], 1);
    EXPECT_EQ(after.cc[VSTOP], 2);
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(port.Handle(), &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 77u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 100u);
}

TEST_F(OpenPortStorageTest, NewPortFromTheRegistryReopensOnThatDevice)
{
    PtyPair second;
    const std::string secondName = device.directory.publish(second, 8);
    Registry registry;
    ASSERT_TRUE(registry.openKey("Software\\Zephra\\ComPort1", true));
    port.SaveToRegistry(registry);
    registry.writeString("Port", secondName);
    registry.writeString("BaudRate", "57600");

    port.LoadFromRegistry(registry);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(opens, 2);
    EXPECT_EQ(port.Port(), secondName);
    EXPECT_EQ(lineOf(second).speed, 57600u) << "the speed after the Port reached the new device";
    EXPECT_EQ(port.Write("x", 1), 1);
    EXPECT_EQ(second.readSome(1, 2s), "x");
}

TEST_F(OpenPortStorageTest, RefusedSettingEndsTheLoadAndStaysStored)
{
    // One and a half stop bits need five data bits.
    writeFile(ini.fileName(), "[ComPort1]\nStopBits=1.5\nDataBits=5\n");
    try {
        port.LoadFromIniFile(ini);
        ADD_FAILURE() << "the device accepted 1.5 stop bits with 8 data bits";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.ErrorCode(), EComPort::SetStateFailed);
    }
    EXPECT_EQ(port.StopBits(), sbOne5StopBits);
    EXPECT_EQ(port.DataBits(), dbEight) << "the key after the refused one was not loaded";
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(lineOf(device.pty).cflag & CSTOPB, 0u);
}
