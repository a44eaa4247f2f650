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
        port.setEvents({}); // no event thread: its reactions would clear the line errors
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
            if (port.Write(block.data(), static_cast<std::int32_t>(block.size())) < 65536)
                return;
        }
        FAIL() << "the far end never held the output back";
    }
};

void expectFailure(const std::function<void()> &action, const std::string &message)
{
    try {
        action();
        ADD_FAILURE() << "no exception, expected " << message;
    } catch (const EComPort &e) {
        EXPECT_EQ(e.message(), message);
    }
}

} // namespace

TEST_F(TransferTest, ReadStrYieldsExactlyTheQueuedBytes)
{
    std::string text = "left over";
    EXPECT_EQ(port.ReadStr(text, 0), 0);
    EXPECT_TRUE(text.empty());

    const std::string sent("\0\xff\r\n\0z", 6);
    device.pty.writeAll(sent);
    ASSERT_TRUE(waitFor([&] { return port.InputQueueCount() == 6; }));
    EXPECT_EQ(port.ReadStr(text, 4), 4);
    EXPECT_EQ(text, sent.substr(0, 4));
    EXPECT_EQ(port.ReadStr(text, 100), 2);
    EXPECT_EQ(text, sent.substr(4));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.ReadStr(text, 100), 0) << "the default time-outs return what is queued";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

TEST_F(TransferTest, StartedTransfersCompleteThroughTheirRecord)
{
    TPortTransfer *transfer = NewTransfer();
    EXPECT_EQ(port.WaitForTransfer(transfer), 0) << "an unused record completes at once";
    port.Timeouts().setReadInterval(0); // reads now wait for all bytes
    std::string text;
    port.StartReadStr(text, 3, transfer);
    device.pty.writeAll("xyz");
    EXPECT_EQ(port.WaitForTransfer(transfer), 3);
    EXPECT_EQ(text, "xyz");
    DisposeTransfer(transfer);
    EXPECT_EQ(transfer, nullptr);

    expectFailure([&] { port.StartWrite("a", 1, nullptr); }, "Invalid Async parameter");
    expectFailure([&] { port.WaitForTransfer(nullptr); }, "Invalid Async parameter");
}

TEST_F(TransferTest, WriteToAFarEndThatDoesNotReadEndsAfterTheWriteTimeout)
{
    fillOutput();
    port.setTimeouts(TComTimeouts()); // the defaults: 100 ms per byte plus 1000 ms
    const auto start = std::chrono::steady_clock::now();
    EXPECT_LT(port.Write("ab", 2), 2);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 1100ms);
    EXPECT_LT(elapsed, 10s);
}

TEST_F(TransferTest, ClosingDropsQueuedOutputAndReturnsPromptly)
{
    fillOutput();
    TPortTransfer *transfer = NewTransfer();
    const std::string more(4096, 'y');
    port.StartWrite(more.data(), 4096, transfer);
    const auto start = std::chrono::steady_clock::now();
    port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    DisposeTransfer(transfer);
    EXPECT_EQ(device.pty.readSome(1 << 24, 500ms).find('y'), std::string::npos);
}

TEST_F(TransferTest, FailuresNameTheOperationAndTheSystemError)
{
    char buffer[4];
    expectFailure([&] { port.Read(buffer, -1); }, "ReadFile function failed (win error code: 87)");
    expectFailure([&] { port.Write(buffer, -1); },
                  "WriteFile function failed (win error code: 87)");

    port.Close();
    expectFailure([&] { port.Write("a", 1); }, "WriteFile function failed (win error code: 6)");
    std::string text = "keep";
    expectFailure([&] { port.ReadStr(text, 5); }, "ReadFile function failed (win error code: 6)");
    EXPECT_TRUE(text.empty()) << "no placeholder bytes pose as received data";
    expectFailure([&] { port.InputQueueCount(); },
                  "ClearCommError function failed (win error code: 6)");
    expectFailure([&] { port.ModemSignals(); },
                  "GetCommModemStatus function failed (win error code: 6)");
    expectFailure([&] { port.CancelTransfers(); }, "PurgeComm function failed (win error code: 6)");
    expectFailure([&] { port.SetBreak(true); },
                  "EscapeCommFunction function failed (win error code: 6)");
}

TEST_F(TransferTest, OutputLinesAreSetUntilTheLineStateIsAppliedAgain)
{
    port.SetDTR(true);
    port.SetRTS(true);
    port.SetBreak(true);
    EXPECT_TRUE(line.state->dtr && line.state->rts && line.state->brk);
    port.FlowControl().setControlDTR(dtrHandshake);
    EXPECT_FALSE(line.state->rts) << "the line state sets RTS as FlowControl says";
    expectFailure([&] { port.SetDTR(false); },
                  "EscapeCommFunction function failed (win error code: 87)");
}

TEST_F(TransferTest, LineQueriesReportTheDeviceAndParityOnlyWhenChecked)
{
    line.state->modem = MS_DSR_ON | MS_RING_ON;
    EXPECT_TRUE(waitFor([&] { return port.ModemSignals() == TLineSignals{lsDSR, lsRing}; }));

    line.state->parity += 1;
    line.state->frame += 1;
    TComErrors errors;
    ASSERT_TRUE(waitFor([&] { return !(errors = port.ReadLineErrors()).empty(); }));
    EXPECT_EQ(errors, TComErrors{erFraming});
    line.state->parity += 1;
    port.Parity().setCheck(true);
    ASSERT_TRUE(waitFor([&] { return !(errors = port.ReadLineErrors()).empty(); }));
    EXPECT_EQ(errors, TComErrors{erParity});
    EXPECT_TRUE(port.ReadLineErrors().empty()) << "reading clears the flags";
}

TEST(LineFlags, MapToSetsMemberByMember)
{
    EXPECT_EQ(modemStatusToSignals(MS_CTS_ON | MS_RLSD_ON | 0x01), (TLineSignals{lsCTS, lsRLSD}));
    const DWORD all = CE_FRAME | CE_RXPARITY | CE_OVERRUN | CE_RXOVER | CE_TXFULL | CE_BREAK |
                      CE_IOE | CE_MODE | CE_PTO | CE_DNS | CE_OOP;
    EXPECT_EQ(errorFlagsToErrors(all, true), TComErrors::all());
    EXPECT_EQ(errorFlagsToErrors(CE_RXOVER | CE_TXFULL, false),
              (TComErrors{erInputOverflow, erOutputFull}));
    EXPECT_EQ(errorFlagsToErrors(CE_IOE | CE_MODE | CE_BREAK, false),
              (TComErrors{erDeviceIO, erMode, erBreak}));
}
