#include "protocol/CommandSet.h"

#include "tests/support/FrameText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct WireCase
{
    const char *name;
    ModuleCommand command;
    std::uint8_t value;
    const char *wire;
};

} // namespace

TEST(CommandSet, EveryReadCommandSendsItsCodeAndValueZero)
{
    const WireCase reads[] = {
        {"baud rate", readCommand(setting::UserBaudrate), 0, "02 30 30 30 30 30 30 03 30 30 0D 0A"},
        {"mode", readCommand(setting::RFMode), 0, "02 30 30 30 31 30 30 03 30 31 0D 0A"},
        {"data rate", readCommand(setting::RFDataRate), 0, "02 30 30 30 32 30 30 03 30 32 0D 0A"},
        {"gain", readCommand(setting::RFGain), 0, "02 30 30 30 33 30 30 03 30 33 0D 0A"},
        {"channel", readCommand(setting::RFChannel), 0, "02 30 30 30 34 30 30 03 30 34 0D 0A"},
        {"receiver ID", readCommand(setting::RX1IDCode), 0, "02 30 30 30 35 30 30 03 30 35 0D 0A"},
        {"second receiver ID", command::ReadRX2IDCode, 0, "02 30 30 30 36 30 30 03 30 36 0D 0A"},
        {"transmitter ID", readCommand(setting::TXDIDCode), 0,
         "02 30 30 30 37 30 30 03 30 37 0D 0A"},
        {"firmware code", command::ReadBiosVersion, 0, "02 30 30 30 38 30 30 03 30 38 0D 0A"},
    };
    for (const WireCase &read : reads)
        EXPECT_EQ(commandFrame(read.command), hexBytes(read.wire)) << read.name;
}

TEST(CommandSet, WriteCommandsCarryOperationOneTheirCodeAndTheValue)
{
    const WireCase writes[] = {
        {"baud rate 3", writeCommand(setting::UserBaudrate), 3,
         "02 30 31 30 30 30 33 03 30 32 0D 0A"},
        {"mode 2", writeCommand(setting::RFMode), 2, "02 30 31 30 31 30 32 03 30 32 0D 0A"},
        {"data rate 1", writeCommand(setting::RFDataRate), 1,
         "02 30 31 30 32 30 31 03 30 32 0D 0A"},
        {"gain 3", writeCommand(setting::RFGain), 3, "02 30 31 30 33 30 33 03 30 31 0D 0A"},
        {"channel 100", writeCommand(setting::RFChannel), 100,
         "02 30 31 30 34 36 34 03 36 31 0D 0A"},
        {"receiver ID 171", writeCommand(setting::RX1IDCode), 171,
         "02 30 31 30 35 41 42 03 41 46 0D 0A"},
        {"transmitter ID 255", writeCommand(setting::TXDIDCode), 255,
         "02 30 31 30 37 46 46 03 46 39 0D 0A"},
    };
    for (const WireCase &write : writes)
        EXPECT_EQ(commandFrame(write.command, write.value), hexBytes(write.wire)) << write.name;
}
