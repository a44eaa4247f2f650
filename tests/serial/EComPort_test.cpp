#include "serial/EComPort.h"

#include <gtest/gtest.h>

TEST(EComPort, WithoutSystemCodeCarriesTheTextAlone)
{
    const EComPort error = EComPort::CreateWithoutSystemCode(EComPort::SetWhileConnected);
    EXPECT_EQ(error.message(), "Cannot set property while connected");
    EXPECT_EQ(error.ErrorCode(), 14);
    EXPECT_EQ(error.SystemErrorCode(), -1);
}

TEST(EComPort, WithSystemCodeAppendsTheSignedSystemCode)
{
    const EComPort open = EComPort::CreateWithSystemCode(1, 2);
    EXPECT_EQ(open.message(), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(open.ErrorCode(), 1);
    EXPECT_EQ(open.SystemErrorCode(), 2);
    EXPECT_EQ(EComPort::CreateWithSystemCode(8, -5).message(),
              "SetCommTimeouts failed (win error code: -5)");
}

TEST(EComPort, TableEndsAtCodeTwentyThree)
{
    EXPECT_EQ(EComPort::errorText(EComPort::RegistryError), "Registry error");
    EXPECT_EQ(EComPort::errorText(22), "A component is linked to OnRxBuf event");
    EXPECT_EQ(EComPort::errorText(0), "");
    EXPECT_EQ(EComPort::errorText(24), "");
    EXPECT_EQ(EComPort::CreateWithSystemCode(99, 5).message(), " (win error code: 5)");
}
