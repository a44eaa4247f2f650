// Data through the real drivers, and writes that complete when their bytes have left.
#include "tests/drivers/suite/DriverPort.h"
#include "tests/drivers/suite/FarEnd.h"

namespace {

class Transfer : public ::testing::TestWithParam<const char *>
{
};

} // namespace

TEST_P(Transfer, BytesGoBothWaysIntact)
{
    const std::string line = FarEnd::lineOf(GetParam());
    FarEnd::setRole(line, "echo");
    DriverPort port(GetParam());
    ASSERT_TRUE(port.isOpen()) << port.openError();
    const std::string bytes = patternBytes(3000);

    EXPECT_EQ(port.write(bytes), bytes.size());
    const std::string back = port.read(DWORD(bytes.size()), 10000);

    EXPECT_EQ(back.size(), bytes.size());
    EXPECT_TRUE(back == bytes);
}

INSTANTIATE_TEST_SUITE_P(Drivers, Transfer,
                         ::testing::Values("COM1", "COM2", "COM4", "COM5", "COM6", "COM7", "COM8"));
