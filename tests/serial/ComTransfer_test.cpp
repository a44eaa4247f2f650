#include "serial/ComTransfer.h"

#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include "SerialTestSupport.h"

namespace {

class TransferTest : public ::testing::Test
{
protected:
    ReportSink sink;
    FakeLineInstaller line;
    PublishedPty device;
    TComPort port;

    void SetUp() override
    {
        port.setPort(device.name);
        // No event thread: the queries below must not race with its reactions.
        port.setEvents({});
        port.Open();
    }

    // Writes until the far end, which reads nothing, holds the port's output back.
    void fillOutput()
    {
        TComTimeouts quick;
        quick.setWriteTotalMultiplier(0);
        quick.setWriteTotalConstant(200);
        port.setTimeouts(quick);
        const std::string block(64 * 1024, 'x');
        for (int i = 0; i < 64; ++i) {
            if (port.Write(block.data(), static_cast<std::int32_t>(block.size())) <
                static_cast<std::int32_t>(block.size()))
                return;
        }
        FAIL() << "the far end never held the output back";
    }
};

} // namespace

TEST_F(TransferTest, ReadStrYieldsExactlyTheQueuedBytes)
{
    std::string text = "left over";
    EXPECT_EQ(port.ReadStr(text, 0), 0);
    EXPECT_TRUE(text.empty());

    const std::string sent("\0\xff\r\n\0z", 6);
    device.pty.writeAll(sent);
    ASSERT_TRUE(waitUntil([&] { return port.InputQueueCount() == 6; }));
    EXPECT_EQ(port.ReadStr(text, 4), 4);
    EXPECT_EQ(text, sent.substr(0, 4));
    EXPECT_EQ(port.ReadStr(text, 100), 2);
    EXPECT_EQ(text, sent.substr(4));
    // Nothing queued: the default time-outs return at once with nothing.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.ReadStr(text, 100), 0);
    EXPECT_TRUE(text.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
}

TEST_F(TransferTest, ReadAndWriteMoveBytesBothWays)
{
    const std::string out("\x01\0\x02", 3);
    EXPECT_EQ(port.Write(out.data(), 3), 3);
    EXPECT_EQ(device.pty.readSome(3, 2000ms), out);

    device.pty.writeAll("abc");
    ASSERT_TRUE(waitUntil([&] { return port.InputQueueCount() == 3; }));
    char buffer[8] = {};
    EXPECT_EQ(port.Read(buffer, 8), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
}

TEST_F(TransferTest, StartedTransfersCompleteThroughTheirRecord)
{
    TPortTransfer *transfer = NewTransfer();
    // A record that never carried a transfer completes at once with nothing.
    EXPECT_EQ(port.WaitForTransfer(transfer), 0);

    port.Timeouts().setReadInterval(0); // reads now wait for all bytes
    std::string text;
    port.StartReadStr(text, 3, transfer);
    device.pty.writeAll("xyz");
    EXPECT_EQ(port.WaitForTransfer(transfer), 3);
    EXPECT_EQ(text, "xyz");
    DisposeTransfer(transfer);
    EXPECT_EQ(transfer, nullptr);
}

TEST_F(TransferTest, MissingRecordIsAnInvalidAsyncParameter)
{
    std::string text;
    for (const auto &action :
         std::vector<std::function<void()>>{[&] { port.StartWrite("a", 1, nullptr); },
                                            [&] { port.StartRead(text.data(), 0, nullptr); },
                                            [&] { port.WaitForTransfer(nullptr); }}) {
        try {
            action();
            ADD_FAILURE() << "no exception";
        } catch (const EComPort &e) {
            EXPECT_EQ(e.message(), "Invalid Async parameter");
            EXPECT_EQ(e.SystemErrorCode(), -1);
        }
    }
}

TEST_F(TransferTest, WriteToAFarEndThatDoesNotReadEndsAfterTheWriteTimeout)
{
    fillOutput();
    port.setTimeouts(TComTimeouts()); // the defaults: 100 ms per byte plus 1000 ms
    const auto start = std::chrono::steady_clock::now();
    const std::int32_t written = port.Write("ab", 2);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(written, 2);
    EXPECT_GE(elapsed, 1100ms);
    EXPECT_LT(elapsed, 3000ms);
    EXPECT_TRUE(port.Connected());
}

TEST_F(TransferTest, ClosingDropsQueuedOutputAndReturnsPromptly)
{
    fillOutput();
    TPortTransfer *transfer = NewTransfer();
    const std::string more(4096, 'y');
    port.StartWrite(more.data(), static_cast<std::int32_t>(more.size()), transfer);
    const auto start = std::chrono::steady_clock::now();
    port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
    DisposeTransfer(transfer);

    const std::string arrived = device.pty.readSome(1 << 24, 500ms);
    EXPECT_EQ(arrived.find('y'), std::string::npos) << "output queued at close went out";
}

TEST_F(TransferTest, TransfersOnAClosedPortFailWithInvalidHandle)
{
    port.Close();
    try {
        port.Write("a", 1);
        ADD_FAILURE() << "Write succeeded";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.message(), "WriteFile function failed (win error code: 6)");
        EXPECT_EQ(e.ErrorCode(), 2);
    }
    std::string text = "keep";
    try {
        port.ReadStr(text, 5);
        ADD_FAILURE() << "ReadStr succeeded";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.ErrorCode(), 3);
        EXPECT_EQ(e.SystemErrorCode(), 6);
    }
    EXPECT_TRUE(text.empty()) << "no placeholder bytes pose as received data";
    EXPECT_THROW(port.InputQueueCount(), EComPort);
    try {
        port.ModemSignals();
    } catch (const EComPort &e) {
        EXPECT_EQ(e.message(), "GetCommModemStatus function failed (win error code: 6)");
    }
    try {
        port.CancelTransfers();
    } catch (const EComPort &e) {
        EXPECT_EQ(e.ErrorCode(), 5);
    }
}

TEST_F(TransferTest, NegativeCountsAreRefusedBeforeReachingTheDevice)
{
    char buffer[4];
    try {
        port.Read(buffer, -1);
        ADD_FAILURE() << "Read succeeded";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.ErrorCode(), 3);
        EXPECT_EQ(e.SystemErrorCode(), 87);
    }
    EXPECT_THROW(port.Write(buffer, -5), EComPort);
    std::string text;
    EXPECT_EQ(port.ReadStr(text, -3), 0);
    EXPECT_TRUE(text.empty());
}

TEST_F(TransferTest, LineQueriesReportTheDevice)
{
    line.state->modem = MS_DSR_ON | MS_RING_ON;
    EXPECT_TRUE(waitUntil([&] { return port.ModemSignals() == TLineSignals{lsDSR, lsRing}; }));

    // A parity error counts only while the port checks parity.
    line.state->parity += 1;
    line.state->frame += 1;
    TComErrors errors;
    ASSERT_TRUE(waitUntil([&] { return !(errors = port.ReadLineErrors()).empty(); }, 2000ms));
    EXPECT_EQ(errors, TComErrors{erFraming});
    line.state->parity += 1;
    port.Parity().setCheck(true);
    ASSERT_TRUE(waitUntil([&] { return !(errors = port.ReadLineErrors()).empty(); }, 2000ms));
    EXPECT_EQ(errors, TComErrors{erParity});
    EXPECT_TRUE(port.ReadLineErrors().empty()) << "reading clears the flags";
}

TEST(LineFlags, MapToSetsMemberByMember)
{
    EXPECT_EQ(modemStatusToSignals(MS_CTS_ON | MS_RLSD_ON | 0x01), (TLineSignals{lsCTS, lsRLSD}));
    EXPECT_EQ(modemStatusToSignals(0), TLineSignals{});

    const DWORD all = CE_FRAME | CE_RXPARITY | CE_OVERRUN | CE_RXOVER | CE_TXFULL | CE_BREAK |
                      CE_IOE | CE_MODE | CE_PTO | CE_DNS | CE_OOP;
    EXPECT_EQ(errorFlagsToErrors(all, true), TComErrors::all());
    TComErrors withoutParity = TComErrors::all();
    withoutParity.remove(erParity);
    EXPECT_EQ(errorFlagsToErrors(all, false), withoutParity);
    EXPECT_EQ(errorFlagsToErrors(CE_RXPARITY, false), TComErrors{});
    EXPECT_EQ(errorFlagsToErrors(CE_RXOVER, false), TComErrors{erInputOverflow});
    EXPECT_EQ(errorFlagsToErrors(CE_TXFULL, false), TComErrors{erOutputFull});
    EXPECT_EQ(errorFlagsToErrors(CE_IOE | CE_MODE, false), (TComErrors{erDeviceIO, erMode}));
}
