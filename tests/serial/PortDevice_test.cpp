// What the port tells about the device behind a name: its path, and the advice a failed open
// carries for the user.
#include "serial/ComPort.h"
#include "serial/EComPort.h"
#include "serial/PortDevice.h"

#include "SerialTestSupport.h"

namespace {

ComDeviceStatus status(ComDeviceStatus::State state)
{
    ComDeviceStatus device;
    device.state = state;
    device.name = "COM3";
    device.path = state == ComDeviceStatus::NotMapped ? "" : "/dev/ttyUSB0";
    device.mapDirectory = "/home/u/.config/zephra/ports";
    return device;
}

bool mentions(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

EComPort openFailure(TComPort &port)
{
    try {
        port.Open();
    } catch (const EComPort &error) {
        return error;
    }
    ADD_FAILURE() << "Open did not fail";
    return EComPort::CreateWithoutSystemCode(EComPort::OpenFailed);
}

} // namespace

TEST(OpenFailureAdvice, NamesTheCauseTheCodeAndTheDeviceTellTogether)
{
    using S = ComDeviceStatus;
    // Access denied is a permission problem only when the file says so; else someone holds it.
    const std::string denied = openFailureAdvice(5, status(S::NoPermission));
    EXPECT_TRUE(mentions(denied, "/dev/ttyUSB0")) << denied;
    EXPECT_TRUE(mentions(denied, "dialout group")) << denied;
    EXPECT_TRUE(mentions(denied, "log out and in")) << denied;
    const std::string busy = openFailureAdvice(5, status(S::Present));
    EXPECT_TRUE(mentions(busy, "Another program is using the port")) << busy;
    EXPECT_EQ(openFailureAdvice(32, status(S::Present)), busy);
    EXPECT_EQ(openFailureAdvice(32, status(S::NoPermission)), busy);

    const std::string unmapped = openFailureAdvice(2, status(S::NotMapped));
    EXPECT_TRUE(mentions(unmapped, "No device is mapped")) << unmapped;
    EXPECT_TRUE(mentions(unmapped, "/home/u/.config/zephra/ports/COM3")) << unmapped;
    const std::string missing = openFailureAdvice(2, status(S::Missing));
    EXPECT_TRUE(mentions(missing, "/dev/ttyUSB0 is missing or unplugged")) << missing;
    EXPECT_TRUE(mentions(missing, "/home/u/.config/zephra/ports/COM3")) << missing;
    EXPECT_EQ(openFailureAdvice(3, status(S::Missing)), missing);
    // A node without hardware behind it (ENXIO) also reads as 2.
    EXPECT_EQ(openFailureAdvice(2, status(S::Present)), missing);

    ComDeviceStatus homeless = status(S::NotMapped);
    homeless.mapDirectory.clear();
    EXPECT_TRUE(mentions(openFailureAdvice(2, homeless), "COM3 in the port map directory"));

    for (const std::string &text : {denied, busy, unmapped, missing})
        EXPECT_EQ(text.find('\n'), std::string::npos) << "one line: " << text;
    // Codes the user can do nothing about get no advice.
    for (int code : {-1, 0, 6, 31, 87, 995})
        EXPECT_EQ(openFailureAdvice(code, status(S::Present)), "") << code;
}

TEST(OpenFailureAdvice, FailedOpenCarriesItBesideTheUnchangedMessage)
{
    ReportSink sink;
    PublishedPty device;
    EXPECT_EQ(portDevicePath(device.name), device.pty.slavePath());
    EXPECT_EQ(portDevicePath("COM8"), "");

    TComPort holder;
    holder.setPort(device.name);
    holder.Open();
    TComPort second;
    second.setPort(device.name);
    EComPort busy = openFailure(second);
    EXPECT_EQ(busy.message(), "Unable to open com port (win error code: 5)");
    EXPECT_EQ(busy.advice(), openFailureAdvice(5, comDeviceStatus(device.name)));
    EXPECT_TRUE(mentions(busy.advice(), "Another program")) << busy.advice();
    holder.Close();

    second.setPort("COM8");
    EComPort unmapped = openFailure(second);
    EXPECT_EQ(unmapped.message(), "Unable to open com port (win error code: 2)");
    EXPECT_TRUE(mentions(unmapped.advice(), device.directory.path() + "/COM8"))
        << unmapped.advice();

    // Other failures of the port carry none.
    EXPECT_EQ(EComPort::CreateWithSystemCode(EComPort::WriteFailed, 5).advice(), "");
}
