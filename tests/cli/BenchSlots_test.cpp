// zephra-cli apply --each with several slots and a receipt log: the real program against
// simulated modules on pseudo-terminals, judged by its lines, its log and what the modules got.
#include "tests/support/ChildProcess.h"
#include "tests/support/SimulatorFixture.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

namespace {

// Every line of a file; the last one even without its newline.
std::vector<std::string> fileLines(const std::string &path)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

QJsonObject parsed(const std::string &line)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
    return document.object();
}

std::string text(const QJsonValue &value)
{
    return value.toString().toStdString();
}

// A module on its own adapter, published in the fixture's port directory.
struct Adapter
{
    Adapter(const std::string &directory, const std::string &name)
    {
        port = std::make_unique<SimulatorPort>(module);
        port->publish(directory, name);
    }
    SimulatedModule module;
    std::unique_ptr<SimulatorPort> port;
};

class BenchSlots : public SimulatorFixture
{
protected:
    void SetUp() override
    {
        SimulatorFixture::SetUp();
        profile = portDirectory() + "/bench.ini";
        log = portDirectory() + "/receipts.log";
        std::ofstream(profile) << "[ZEPHRA-24]\nbaud=9600\nmode=auto\nrate=250k\npower=-5\n"
                                  "channel=42\nrx-id=5A\ntx-id=A5\n";
    }

    // A new module plugged into adapter: its own firmware code and channel.
    static void plugIn(SimulatedModule &module, const std::string &firmware, int channel,
                       SimulatorFaults faults = {})
    {
        module.resetSettings();
        module.setSetting(SimulatedModule::CodeRfChannel, std::uint8_t(channel));
        module.setFirmwareCode(firmware);
        module.setFaults(faults);
    }

    // The module is taken off its adapter.
    static void takeOff(SimulatedModule &module)
    {
        module.setFaults({.silent = true});
        module.clearLog();
    }
    // Returns once the bench has seen the module go. Frames that reach the silent module after
    // a whole unanswered exchange come from the bench's wait for the next module: after three,
    // at least one of them does.
    static void awaitGone(const SimulatedModule &module)
    {
        ASSERT_TRUE(module.waitForFrames(3, std::chrono::seconds(30)));
    }

    std::string profile, log;
};

TEST_F(BenchSlots, ThreeSlotsGiveOneTrueReceiptPerModuleAsTheyComeAndGo)
{
    std::vector<std::unique_ptr<Adapter>> adapters;
    for (const char *name : {"COM2", "COM3", "COM4"})
        adapters.push_back(std::make_unique<Adapter>(portDirectory(), name));
    std::map<std::string, int> channelOf; // firmware code -> channel it had before
    const auto plug = [&](int slot, int round, SimulatorFaults faults = {}) {
        char firmware[15];
        std::snprintf(firmware, sizeof firmware, "BENCH-S%d-M%04d", slot, round);
        channelOf[firmware] = 10 * slot + round;
        plugIn(adapters[std::size_t(slot)]->module, firmware, 10 * slot + round, faults);
    };
    for (int slot = 0; slot < 3; ++slot)
        plug(slot, 0);

    ChildProcess bench(ZEPHRA_CLI_PROGRAM,
                       {"apply", "COM2,COM3,COM4", profile, "--each", "--log", log});
    std::vector<std::string> lines;
    const auto takeLines = [&](std::size_t total) {
        while (lines.size() < total) {
            lines.push_back(bench.line());
            ASSERT_FALSE(lines.back().empty()) << bench.err;
            // The receipt is on disk before the line is printed.
            EXPECT_GE(fileLines(log).size(), lines.size()) << lines.back();
        }
    };
    takeLines(3);
    // The last module keeps its channel whatever is written.
    const SimulatorFaults lockedChannel{.ignoreWrites = true,
                                        .onlyCode = SimulatedModule::CodeRfChannel};
    for (int round = 1; round <= 2; ++round) {
        for (const auto &adapter : adapters)
            takeOff(adapter->module);
        for (int slot = 0; slot < 3; ++slot) {
            awaitGone(adapters[std::size_t(slot)]->module);
            plug(slot, round, round == 2 && slot == 2 ? lockedChannel : SimulatorFaults{});
        }
        takeLines(3u * (round + 1));
    }
    bench.signal(SIGINT);
    EXPECT_EQ(bench.finish(), 4) << bench.err;
    EXPECT_NE(bench.err.find("COM4: 2 pass, 1 FAIL"), std::string::npos) << bench.err;

    const std::vector<std::string> receipts = fileLines(log);
    ASSERT_EQ(receipts.size(), 9u);
    std::set<std::string> seen;
    for (const std::string &line : receipts) {
        const QJsonObject receipt = parsed(line);
        const std::string firmware = text(receipt["firmware"]);
        ASSERT_TRUE(channelOf.count(firmware)) << line;
        EXPECT_TRUE(seen.insert(firmware).second) << "twice: " << firmware;
        const int slot = firmware[7] - '0';
        EXPECT_EQ(text(receipt["port"]), "COM" + std::to_string(slot + 2));
        EXPECT_EQ(text(receipt["device"]["path"]), adapters[std::size_t(slot)]->port->slavePath());
        EXPECT_EQ(receipt["before"]["channel"].toInt(), channelOf[firmware]) << line;
        EXPECT_EQ(text(receipt["before"]["rate"]), "1M");
        EXPECT_EQ(text(receipt["after"]["rate"]), "250k");
        EXPECT_EQ(text(receipt["after"]["rx-id"]), "5A");
        const bool locked = firmware == "BENCH-S2-M0002";
        EXPECT_EQ(receipt["after"]["channel"].toInt(), locked ? channelOf[firmware] : 42);
        EXPECT_EQ(text(receipt["result"]), locked ? "FAIL" : "pass");
        EXPECT_EQ(receipt["differences"].toArray().size(), locked ? 2 : 0) << line;
        EXPECT_GE(receipt["seconds"].toDouble(), 0.0);
        const QDateTime time = QDateTime::fromString(receipt["time"].toString(), Qt::ISODate);
        EXPECT_TRUE(time.isValid()) << line;
        EXPECT_LT(std::abs(time.secsTo(QDateTime::currentDateTime())), 600);
        EXPECT_EQ(text(receipt["profile"]["file"]), profile);
    }
    EXPECT_EQ(adapters[2]->module.setting(SimulatedModule::CodeRfChannel), 22);
    std::ifstream file(profile, std::ios::binary);
    const QByteArray bytes = QByteArray::fromStdString(
        std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()));
    const QJsonObject first = parsed(receipts[0]);
    EXPECT_EQ(text(first["profile"]["sha256"]),
              QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString());
}

TEST_F(BenchSlots, AnAdapterThatComesBackUnderAnotherNameResumesAloneOnItsByPathName)
{
    const std::string serial = portDirectory() + "/serial";
    std::filesystem::create_directories(serial + "/by-path");
    const std::string byPath = serial + "/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0";
    std::filesystem::create_symlink(port().slavePath(), byPath);
    setenv("ZEPHRA_SERIAL_DIR", serial.c_str(), 1);
    takeOff(module());
    Adapter other(portDirectory(), "COM2");
    plugIn(other.module, "BENCH-OTHER-01", 2);

    ChildProcess bench(ZEPHRA_CLI_PROGRAM, {"apply", "COM1,COM2", profile, "--each", "--log", log});
    EXPECT_EQ(bench.line().rfind("COM2\tBENCH-OTHER-01\tpass\t", 0), 0u) << bench.err;
    // A module that keeps the bench waiting for its channel (its fifth setting command), unplugged
    // meanwhile: a FAIL, and no receipt.
    plugIn(module(), "BENCH-RETURNS1", 1,
           {.silent = true, .onlyCode = SimulatedModule::CodeRfChannel});
    module().clearLog();
    ASSERT_TRUE(module().waitForFrames(5, std::chrono::seconds(30)));
    std::filesystem::remove(byPath);
    m_simulator->vanish();
    module().clearFaults();
    EXPECT_EQ(bench.line().rfind("COM1\tBENCH-RETURNS1\tFAIL port error\t", 0), 0u);
    // Another adapter takes the slot's COM name; the other slot goes on meanwhile.
    Adapter impostor(portDirectory(), "COM1");
    takeOff(other.module);
    awaitGone(other.module);
    plugIn(other.module, "BENCH-OTHER-02", 3);
    EXPECT_EQ(bench.line().rfind("COM2\tBENCH-OTHER-02\tpass\t", 0), 0u) << bench.err;
    // The adapter comes back on another device and COM name, under the same by-path name.
    SimulatorPort back(module());
    back.publish(portDirectory(), "COM9");
    std::filesystem::create_symlink(back.slavePath(), byPath);
    EXPECT_EQ(bench.line().rfind("COM1\tBENCH-RETURNS1\tpass\t", 0), 0u) << bench.err;
    bench.signal(SIGINT);
    EXPECT_EQ(bench.finish(), 2) << bench.err;
    EXPECT_NE(bench.err.find("COM1: adapter gone\n"), std::string::npos) << bench.err;
    EXPECT_NE(bench.err.find("COM1: adapter back as COM9\n"), std::string::npos) << bench.err;
    EXPECT_TRUE(impostor.module.receivedFrames().empty());

    const std::vector<std::string> receipts = fileLines(log);
    ASSERT_EQ(receipts.size(), 3u);
    const QJsonObject returned = parsed(receipts[2]);
    EXPECT_EQ(text(returned["port"]), "COM9");
    EXPECT_EQ(text(returned["device"]["path"]), back.slavePath());
    EXPECT_EQ(text(returned["device"]["by-path"]), byPath);
    EXPECT_EQ(returned["after"]["channel"].toInt(), 42);
}

TEST_F(BenchSlots, ALogThatCannotBeWrittenStopsTheBenchWithStatus2)
{
    const auto run = [&](const std::string &logFile) {
        ChildProcess bench(ZEPHRA_CLI_PROGRAM,
                           {"apply", "COM1", profile, "--each", "--log", logFile});
        const int status = bench.finish(std::chrono::seconds(60));
        EXPECT_EQ(bench.out, ""); // no module line without its receipt
        return std::make_pair(status, bench.err);
    };
    const auto [missing, missingText] = run(portDirectory() + "/no/such/dir/receipts.log");
    EXPECT_EQ(missing, 2);
    EXPECT_NE(missingText.find("Cannot open the log"), std::string::npos) << missingText;
    EXPECT_TRUE(module().receivedFrames().empty());

    // Opens, then fails to take the first receipt: the bench ends on its own.
    const auto [full, fullText] = run("/dev/full");
    EXPECT_EQ(full, 2);
    EXPECT_NE(fullText.find("Cannot write the log /dev/full: No space left on device"),
              std::string::npos)
        << fullText;
}

TEST_F(BenchSlots, ATornLastLineIsReportedAndTheNextReceiptStartsAfreshLine)
{
    std::ofstream(log) << "{\"result\": \"pass\"}\n{\"time\": \"2025-03-0";
    ChildProcess bench(ZEPHRA_CLI_PROGRAM, {"apply", "COM1", profile, "--each", "--log", log});
    EXPECT_EQ(bench.line().rfind("ZEPHRA24 V1.0A\tpass\t", 0), 0u) << bench.err;
    bench.signal(SIGINT);
    EXPECT_EQ(bench.finish(), 0) << bench.err;
    EXPECT_NE(bench.err.find("ends in a torn line"), std::string::npos) << bench.err;
    const std::vector<std::string> lines = fileLines(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "{\"time\": \"2025-03-0");
    EXPECT_EQ(text(parsed(lines[2])["firmware"]), "ZEPHRA24 V1.0A");
}

// SIGKILL at moments around the receipt's write, run after run on one log: every complete line
// of it is one whole receipt.
TEST_F(BenchSlots, ABenchKilledWhileItWritesLeavesOnlyWholeLines)
{
    const std::size_t framesPerModule = 1 + 7 + 7 + 7;
    for (int run = 0; run <= 8; ++run) {
        module().clearLog();
        ChildProcess bench(ZEPHRA_CLI_PROGRAM, {"apply", "COM1", profile, "--each", "--log", log});
        ASSERT_TRUE(module().waitForFrames(framesPerModule, std::chrono::seconds(30)));
        if (run < 8)
            std::this_thread::sleep_for(std::chrono::microseconds(700 * run));
        else // the last one once its receipt is surely written
            EXPECT_NE(bench.line(), "");
        bench.signal(SIGKILL);
        bench.finish();
    }
    std::ifstream file(log);
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    std::size_t whole = 0;
    for (std::size_t begin = 0, end; (end = bytes.find('\n', begin)) != std::string::npos;
         begin = end + 1, ++whole)
        EXPECT_EQ(text(parsed(bytes.substr(begin, end - begin))["result"]), "pass");
    EXPECT_GT(whole, 0u);
}

} // namespace
