// zephra-cli as a script runs it: the real program against simulated modules on
// pseudo-terminals, judged by its output, its exit status and the frames the modules got.
#include "platform/win32.h"
#include "protocol/CommandSet.h"
#include "tests/cli/CliRun.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SimulatorFixture.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class ZephraCli : public SimulatorFixture
{
protected:
    static void place(SimulatedModule &m, const radio::ModuleSettings &values)
    {
        for (std::uint8_t code = 0; code < values.size(); ++code)
            m.setSetting(code, values[code]);
    }

    // A module that is not at its factory values in any setting.
    void preset(SimulatedModule &m)
    {
        place(m, {1, 0, 0, 1, 100, 0x0A, 0, 0xFF});
        m.setFirmwareCode("TEST-MODULE-07");
    }

    std::string file(const std::string &name) { return portDirectory() + "/" + name; }
};

TEST_F(ZephraCli, ReadShowsTheWindowsValuesAfterTheWindowsFrames)
{
    preset(module());
    const CliRun text = cli({"read", "COM1"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "firmware=TEST-MODULE-07\nbaud=2400\nmode=receive\nrate=250k\n"
                        "power=-10\nchannel=100\nrx-id=0A\ntx-id=FF\n");
    const auto frames = module().receivedFrames();
    ASSERT_EQ(frames.size(), std::size(sequence::ReadAll));
    for (std::size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(frames[i].bytes, commandFrame(sequence::ReadAll[i]));

    const CliRun json = cli({"read", "COM1", "--json"});
    EXPECT_EQ(json.out, "{\"firmware\": \"TEST-MODULE-07\", \"baud\": \"2400\", \"mode\": "
                        "\"receive\", \"rate\": \"250k\", \"power\": \"-10\", \"channel\": 100, "
                        "\"rx-id\": \"0A\", \"tx-id\": \"FF\"}\n");
}

TEST_F(ZephraCli, WriteChangesExactlyTheNamedSettingsAndVerifies)
{
    preset(module());
    const CliRun run = cli({"write", "COM1", "channel=7", "rx-id=ab"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::uint8_t expected[] = {1, 0, 0, 1, 7, 0xAB, 0, 0xFF};
    for (std::uint8_t code : {0, 1, 2, 3, 4, 5, 7})
        EXPECT_EQ(module().setting(code), expected[code]) << int(code);
    // Read all, write all, read the seven back.
    const auto frames = module().receivedFrames();
    ASSERT_EQ(frames.size(), 8u + 7u + 7u);
    EXPECT_EQ(frames[8 + 4].bytes, commandFrame(writeCommand(setting::RFChannel), 7));
    EXPECT_NE(run.out.find("channel=7\nrx-id=AB\n"), std::string::npos) << run.out;
}

TEST_F(ZephraCli, AnAcknowledgementOfAnotherValueGivesStatus4)
{
    module().setFaults({.ignoreWrites = true, .onlyCode = setting::RFChannel});
    const CliRun run = cli({"write", "COM1", "channel=7"});
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.err.find("channel: wrote 7, acknowledged 0"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("channel: wrote 7, reads back 0"), std::string::npos) << run.err;
}

TEST_F(ZephraCli, ASilentModuleGetsEachCommandTwiceThenStatus3)
{
    module().setFaults({.silent = true});
    EXPECT_EQ(cli({"read", "COM1"}).status, 3);
    EXPECT_EQ(module().receivedFrames().size(), 2u);
}

TEST_F(ZephraCli, BadArgumentsAreRefusedBeforeThePortIsOpened)
{
    std::ofstream(file("short.ini")) << "[ZEPHRA-24]\nbaud=9600\nmode=auto\n";
    // Held here: a program that opened the port would fail with a port error instead.
    HANDLE held = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const CliRun range = cli({"write", "COM1", "channel=125"});
    EXPECT_EQ(range.status, 1);
    EXPECT_NE(range.err.find("allowed: 0..124"), std::string::npos) << range.err;
    EXPECT_NE(cli({"write", "COM1", "mode=fast"}).err.find("allowed: receive, transmit, auto"),
              std::string::npos);
    EXPECT_EQ(cli({"apply", "COM1", file("short.ini")}).status, 1);
    EXPECT_EQ(cli({"read", "/dev/ttyS0"}).status, 1);
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"apply", "COM1,COM2", file("short.ini")},
          {"apply", "COM1,com1", file("short.ini"), "--each"},
          {"apply", "COM1,", file("short.ini"), "--each"},
          {"apply", "COM1", file("short.ini"), "--log", file("log")},
          {"apply", "COM1", file("short.ini"), "--each", "--log"}}) {
        const CliRun run = cli(args);
        EXPECT_EQ(run.status, 1) << args[1];
        EXPECT_NE(run.err.find("Try 'zephra-cli --help'"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(module().receivedFrames().empty());

    const CliRun busy = cli({"read", "COM1"});
    EXPECT_EQ(busy.status, 2);
    EXPECT_EQ(busy.err, "Unable to open com port (win error code: 5)\nAnother program is using "
                        "the port: close the port there, then try again.\n");
    CloseHandle(held);
}

TEST_F(ZephraCli, SaveThenApplyMakesASecondModuleEqual)
{
    preset(module());
    SimulatedModule second;
    SimulatorPort secondPort(second);
    secondPort.publish(portDirectory(), "COM2");

    ASSERT_EQ(cli({"save", "COM1", file("link.ini")}).status, 0);
    std::ifstream saved(file("link.ini"));
    const std::string text((std::istreambuf_iterator<char>(saved)), {});
    EXPECT_NE(text.find("[ZEPHRA-24]"), std::string::npos);
    EXPECT_NE(text.find("firmware=TEST-MODULE-07"), std::string::npos);
    EXPECT_NE(text.find("rx-id=0A"), std::string::npos);

    const CliRun apply = cli({"apply", "COM2", file("link.ini")});
    EXPECT_EQ(apply.status, 0) << apply.err;
    for (std::uint8_t code : {0, 1, 2, 3, 4, 5, 7})
        EXPECT_EQ(second.setting(code), module().setting(code)) << int(code);
}

TEST_F(ZephraCli, EachConfiguresModulesThatComeAndGoUntilInterrupted)
{
    preset(module());
    ASSERT_EQ(cli({"save", "COM1", file("bench.ini")}).status, 0);
    module().resetSettings();
    ChildProcess bench(ZEPHRA_CLI_PROGRAM, {"apply", "COM1", file("bench.ini"), "--each"});
    for (int n = 1; n <= 3; ++n) {
        const std::string firmware =
            n == 1 ? "TEST-MODULE-07" : "BENCH-MODULE-" + std::to_string(n);
        const std::string line = bench.line();
        EXPECT_EQ(line.rfind(firmware + "\tpass\t", 0), 0u) << line << bench.err;
        EXPECT_EQ(module().setting(setting::RFChannel), 100);
        if (n < 3) {
            m_simulator->vanish();
            module().resetSettings();
            module().setFirmwareCode("BENCH-MODULE-" + std::to_string(n + 1));
            m_simulator->bringBack();
        }
    }
    bench.signal(SIGINT);
    EXPECT_EQ(bench.finish(), 0) << bench.err;
    EXPECT_EQ(bench.out, "");
}

TEST_F(ZephraCli, PairNamesEachMismatchAndFixMendsB)
{
    SimulatedModule b;
    SimulatorPort bPort(b);
    bPort.publish(portDirectory(), "COM2");
    // A: channel 7, tx-id 11, rx-id 22; B its partner.
    const radio::ModuleSettings partnerA{3, 2, 1, 3, 7, 0x22, 0, 0x11};
    const radio::ModuleSettings partnerB{3, 2, 1, 3, 7, 0x11, 0, 0x22};
    struct Case
    {
        std::uint8_t code, value;
        const char *line;
    };
    const Case cases[] = {
        {setting::RFChannel, 9, "channel     A channel=7        B channel=9        differs"},
        {setting::RFDataRate, 0, "rate        A rate=1M          B rate=250k        differs"},
        {setting::RX1IDCode, 0x33, "A->B ids    A tx-id=11         B rx-id=33         differs"},
        {setting::TXDIDCode, 0x33, "B->A ids    A rx-id=22         B tx-id=33         differs"},
        {setting::RFMode, 1, "A->B modes  A mode=auto        B mode=transmit    differs"},
        {setting::RFMode, 0, "B->A modes  A mode=auto        B mode=receive     differs"},
    };
    place(module(), partnerA);
    place(b, partnerB);
    const CliRun matched = cli({"pair", "COM1", "COM2"});
    EXPECT_EQ(matched.status, 0) << matched.err;
    EXPECT_EQ(matched.out.find("differs"), std::string::npos) << matched.out;

    for (const Case &c : cases) {
        b.setSetting(c.code, c.value);
        const CliRun check = cli({"pair", "COM1", "COM2"});
        EXPECT_EQ(check.status, 4) << c.line;
        EXPECT_NE(check.out.find(std::string(c.line) + "\n"), std::string::npos) << check.out;
        // Only the one rule differs, and the message names it.
        EXPECT_EQ(check.out.find("differs"), check.out.rfind("differs")) << check.out;
        const std::string rule = std::string(c.line).substr(0, 11);
        EXPECT_NE(check.err.find(rule.substr(0, rule.find_last_not_of(' ') + 1)), std::string::npos)
            << check.err;

        const CliRun fix = cli({"pair", "COM1", "COM2", "--fix"});
        EXPECT_EQ(fix.status, 0) << c.line << fix.err;
        EXPECT_EQ(b.settings(), partnerB) << c.line;
        EXPECT_EQ(module().settings(), partnerA) << "A is never written";
    }

    // A that only receives cannot be mended from B: B becomes auto, the pair still fails.
    module().setSetting(setting::RFMode, 0);
    b.setSetting(setting::RFMode, 0);
    const CliRun stuck = cli({"pair", "COM1", "COM2", "--fix", "--json"});
    EXPECT_EQ(stuck.status, 4);
    EXPECT_NE(stuck.out.find("\"fix\": {\"written\": \"mode=auto\""), std::string::npos)
        << stuck.out;
    EXPECT_NE(stuck.out.find("\"talks_both_ways\": false}}"), std::string::npos) << stuck.out;
    EXPECT_NE(stuck.err.find("A->B modes"), std::string::npos) << stuck.err;
}

TEST_F(ZephraCli, LinkTestCountsEveryPacketAndExplainsASilentLink)
{
    module().setSlideSwitch(SimulatedModule::SlideSwitch::Run);
    const CliRun run = cli({"link", "COM1", "--baud", "19200", "--count", "40", "--size", "40",
                            "--json", "--csv", file("link.csv")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind(R"({"directions": [{"from": "COM1", "to": "COM1", "sent": 40, )"
                            R"("received": 40, "damaged": 0, "lost": 0, "duplicated": 0, )"
                            R"("reordered": 0, "packet_bytes": 40, "latency_ms": {"min": )",
                            0),
              0u)
        << run.out;
    EXPECT_EQ(module().runBytes().size(), 40u * 40u);
    std::ifstream csv(file("link.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "from,to,number,sent_ms,result,latency_ms");
    int rows = 0;
    while (std::getline(csv, line))
        rows += line.rfind("COM1,COM1," + std::to_string(rows) + ",", 0) == 0 &&
                line.find(",received,") != std::string::npos;
    EXPECT_EQ(rows, 40);

    EXPECT_EQ(cli({"link", "COM1", "--count", "5"}).status, 1);
    EXPECT_EQ(cli({"link", "COM1", "--baud", "9600", "--count", "5", "--seconds", "2"}).status, 1);
    EXPECT_EQ(cli({"link", "COM1", "--baud", "9600", "--size", "9"}).status, 1);

    // At SETUP the module echoes nothing.
    module().setSlideSwitch(SimulatedModule::SlideSwitch::Setup);
    const CliRun silent = cli({"link", "COM1", "--baud", "19200", "--count", "3", "--json"});
    EXPECT_EQ(silent.status, 3);
    EXPECT_NE(silent.out.find(R"("sent": 3, "received": 0, "damaged": 0, "lost": 3)"),
              std::string::npos)
        << silent.out;
    EXPECT_NE(silent.out.find("switched to RUN"), std::string::npos) << silent.out;
    EXPECT_NE(silent.out.find("--baud 19200"), std::string::npos) << silent.out;
}

} // namespace
