// Stored settings out of range, negative, huge or no number at all, loaded into a closed port
// and into one that is open on a pty: what the port ends with, and which values the device
// refuses (with the component's own message) while the port stays open and usable.
#include "serial/EComPort.h"

#include "SerialTestSupport.h"
#include "StorageTestSupport.h"

#include <functional>

namespace {

struct BadValues
{
    const char *what;
    TSettingGroups groups;
    // The INI section's body.
    std::string entries;
    // What the port holds after the load, checked on the closed and on the open port.
    std::function<void(const TCustomComPort &)> check;
    // The error loading into the open port raises; empty when the device takes everything.
    std::string refusal;
};

const std::string refusedState = "SetCommState function failed (win error code: 87)";
const std::string refusedQueue = "SetupComm function failed (win error code: 87)";
const std::string refusedTimeouts = "SetCommTimeouts failed (win error code: 87)";
const std::string notFound = "Unable to open com port (win error code: 2)";

const std::string longName(10'000, 'C');

const BadValues cases[] = {
    {"custom speed 0",
     {sgBasic},
     "BaudRate=Custom\nCustomBaudRate=0\n",
     [](const TCustomComPort &p) {
         EXPECT_EQ(p.BaudRate(), brCustom);
         EXPECT_EQ(p.CustomBaudRate(), 0);
     },
     refusedState},
    {"negative custom speed",
     {sgBasic},
     "BaudRate=Custom\nCustomBaudRate=-9600\n",
     [](const TCustomComPort &p) { EXPECT_EQ(p.CustomBaudRate(), -9600); },
     refusedState},
    {"custom speed beyond 32 bits reads as the default",
     {sgBasic},
     "BaudRate=Custom\nCustomBaudRate=99999999999\n",
     [](const TCustomComPort &p) { EXPECT_EQ(p.CustomBaudRate(), 9600); },
     ""},
    {"custom speed that is no decimal number reads as the default",
     {sgBasic},
     "BaudRate=Custom\nCustomBaudRate=0x2580\n",
     [](const TCustomComPort &p) { EXPECT_EQ(p.CustomBaudRate(), 9600); },
     ""},
    {"texts of no value give the fallbacks",
     {sgBasic},
     "BaudRate=4000000\nDataBits=9\nStopBits=-1\nParity=7\nFlowControl=99\n",
     [](const TCustomComPort &p) {
         EXPECT_EQ(p.BaudRate(), br9600);
         EXPECT_EQ(p.DataBits(), dbEight);
         EXPECT_EQ(p.StopBits(), sbOneStopBit);
         EXPECT_EQ(p.Parity().Bits(), prNone);
         EXPECT_EQ(p.FlowControl().FlowControl(), fcNone);
     },
     ""},
    {"a port name that escapes the port directory",
     {sgBasic},
     "Port=../COM7\n",
     [](const TCustomComPort &p) { EXPECT_EQ(p.Port(), "../COM7"); },
     notFound},
    {"a very long port name",
     {sgBasic},
     "Port=" + longName + "\n",
     [](const TCustomComPort &p) { EXPECT_EQ(p.Port(), longName); },
     notFound},
    {"negative input queue",
     {sgBuffer},
     "Buffer.InputSize=-2\n",
     [](const TCustomComPort &p) { EXPECT_EQ(p.Buffer().InputSize(), -2); },
     refusedQueue},
    {"huge input queue, made even",
     {sgBuffer},
     "Buffer.InputSize=2147483647\n",
     [](const TCustomComPort &p) { EXPECT_EQ(p.Buffer().InputSize(), 2147483646); },
     refusedQueue},
    {"input queue just above 16 MiB",
     {sgBuffer},
     "Buffer.InputSize=16777218\n",
     [](const TCustomComPort &p) { EXPECT_EQ(p.Buffer().InputSize(), 16777218); },
     refusedQueue},
    {"input queue of 16 MiB and an output queue the device does not use",
     {sgBuffer},
     "Buffer.InputSize=16777216\nBuffer.OutputSize=-2\n",
     [](const TCustomComPort &p) {
         EXPECT_EQ(p.Buffer().InputSize(), 16777216);
         EXPECT_EQ(p.Buffer().OutputSize(), -2);
     },
     ""},
    {"queue sizes that are no numbers leave the sizes",
     {sgBuffer},
     "Buffer.InputSize=lots\nBuffer.OutputSize=1e6\n",
     [](const TCustomComPort &p) {
         EXPECT_EQ(p.Buffer().InputSize(), 1024);
         EXPECT_EQ(p.Buffer().OutputSize(), 1024);
     },
     ""},
    {"negative and huge time-outs are taken as 32-bit patterns",
     {sgTimeouts},
     "Timeouts.ReadInterval=-5\nTimeouts.ReadTotalConstant=2147483647\n"
     "Timeouts.WriteTotalConstant=-1\nTimeouts.WriteTotalMultiplier=-1\n",
     [](const TCustomComPort &p) {
         EXPECT_EQ(p.Timeouts().ReadInterval(), -5);
         EXPECT_EQ(p.Timeouts().ReadTotalConstant(), 2147483647);
         EXPECT_EQ(p.Timeouts().WriteTotalConstant(), -1);
         EXPECT_EQ(p.Timeouts().WriteTotalMultiplier(), -1);
     },
     ""},
    {"all three read time-outs at -1",
     {sgTimeouts},
     "Timeouts.ReadInterval=-1\nTimeouts.ReadTotalConstant=-1\nTimeouts.ReadTotalMultiplier=-1\n",
     [](const TCustomComPort &p) { EXPECT_EQ(p.Timeouts().ReadTotalMultiplier(), -1); },
     refusedTimeouts},
    {"equal XON and XOFF characters with XON/XOFF on",
     {sgFlowControl},
     "FlowControl.XonXoffIn=Yes\nFlowControl.XonChar=#19\n",
     [](const TCustomComPort &p) {
         EXPECT_TRUE(p.FlowControl().XonXoffIn());
         EXPECT_EQ(p.FlowControl().XonChar(), 19);
     },
     refusedState},
    {"character codes out of range keep their low 8 bits; unreadable ones give 0",
     {sgMisc, sgParity, sgFlowControl},
     "EventChar=#-300\nParity.ReplaceChar=#321\nFlowControl.XoffChar=#99999999999\n"
     "FlowControl.XonChar=#-1\nDiscardNull=1\nParity.Check=true\n",
     [](const TCustomComPort &p) {
         EXPECT_EQ(static_cast<unsigned char>(p.EventChar()), 212);
         EXPECT_EQ(p.Parity().ReplaceChar(), 'A');
         EXPECT_EQ(p.FlowControl().XoffChar(), 0);
         EXPECT_EQ(static_cast<unsigned char>(p.FlowControl().XonChar()), 255);
         EXPECT_FALSE(p.DiscardNull());
         EXPECT_FALSE(p.Parity().Check());
     },
     ""},
};

class BadValuesTest : public ::testing::Test
{
protected:
    ReportSink sink;
    FakeLineInstaller lineState;
    PublishedPty device;
    ConfigHome home;
    IniFile ini{home.file("settings.ini")};

    std::unique_ptr<TComPort> newPort(const BadValues &c)
    {
        auto port = std::make_unique<TComPort>();
        port->setName("ComPort1");
        port->setPort(device.name);
        port->setSavedGroups(c.groups);
        writeFile(ini.fileName(), "[ComPort1]\n" + c.entries);
        return port;
    }
};

} // namespace

TEST_F(BadValuesTest, ClosedPortStoresWhatItReadsWithoutError)
{
    for (const BadValues &c : cases) {
        SCOPED_TRACE(c.what);
        auto port = newPort(c);
        EXPECT_NO_THROW(port->LoadFromIniFile(ini));
        c.check(*port);
        EXPECT_FALSE(port->Connected());
    }
}

TEST_F(BadValuesTest, OpenPortRefusesWhatTheDeviceCannotTakeAndStaysUsable)
{
    for (const BadValues &c : cases) {
        SCOPED_TRACE(c.what);
        auto port = newPort(c);
        port->Open();
        std::string raised;
        try {
            port->LoadFromIniFile(ini);
        } catch (const EComPort &e) {
            raised = e.message();
        }
        EXPECT_EQ(raised, c.refusal);
        c.check(*port);
        if (c.refusal == notFound) {
            // A new name closes the port and cannot open it again.
            EXPECT_FALSE(port->Connected());
            continue;
        }
        ASSERT_TRUE(port->Connected());
        EXPECT_EQ(port->Write("x", 1), 1);
        EXPECT_EQ(device.pty.readSome(1, 2s), "x");
        device.pty.writeAll("y");
        std::string received;
        EXPECT_TRUE(waitFor([&] { return port->InputQueueCount() == 1; }));
        EXPECT_EQ(port->ReadStr(received, 1), 1);
        EXPECT_EQ(received, "y");
    }
}

TEST_F(BadValuesTest, NegativeNumbersFromTheRegistryReachTheDeviceAsTheyDoFromAnIniFile)
{
    Registry registry;
    ASSERT_TRUE(registry.openKey("Software\\Zephra\\BadValues", true));
    TComPort port;
    port.setPort(device.name);
    port.setSavedGroups({sgBasic, sgBuffer});
    port.setBaudRate(brCustom);
    port.SaveToRegistry(registry);
    registry.writeInteger("CustomBaudRate", -1);
    registry.writeInteger("Buffer.InputSize", -2147483647);

    port.Open();
    try {
        port.LoadFromRegistry(registry);
        ADD_FAILURE() << "a negative speed was taken";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.message(), refusedState);
    }
    EXPECT_EQ(port.CustomBaudRate(), -1);
    EXPECT_EQ(port.Buffer().InputSize(), 1024) << "the load ended at the refused speed";

    port.setSavedGroups({sgBuffer});
    try {
        port.LoadFromRegistry(registry);
        ADD_FAILURE() << "a negative queue size was taken";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.message(), refusedQueue);
    }
    EXPECT_EQ(port.Buffer().InputSize(), -2147483647) << "odd negative sizes stay as they are";
    EXPECT_TRUE(port.Connected());
}
