// The advice a failed open carries for the user, from the error code and what stands behind
// the name. (The window tests open real ports that fail these ways.)
#include "serial/PortDevice.h"

#include <gtest/gtest.h>

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
