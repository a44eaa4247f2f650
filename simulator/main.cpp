// zephra-sim: serves a simulated ZEPHRA-24 on a pseudo-terminal and publishes it under a COM
// name in a port directory, so that the utility can be tried without the hardware.
#include "simulator/RadioAir.h"
#include "simulator/SimFrame.h"
#include "simulator/SimulatedModule.h"
#include "simulator/SimulatorPort.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace {

const char usage[] =
    "Usage: zephra-sim [OPTION]...\n"
    "Serve a simulated ZEPHRA-24 module on a pseudo-terminal and publish it as a COM name\n"
    "in a port directory (a symbolic link DIR/NAME to the terminal). The utility finds it\n"
    "when started with ZEPHRA_PORTS=DIR. Prints the terminal's path and then \"ready\" on\n"
    "standard output, serves until SIGINT or SIGTERM, then removes the link.\n"
    "\n"
    "  --ports DIR            port directory (default: $ZEPHRA_PORTS; without either the\n"
    "                         terminal is served but not published)\n"
    "  --name NAME            COM name to publish as (default: COM1)\n"
    "  --switch setup|run     slide switch: setup answers commands, run echoes every byte\n"
    "                         (default: setup)\n"
    "  --firmware CODE        the 14-character firmware code (default: \"ZEPHRA24 V1.0A\")\n"
    "  --set CODE=VALUE       start with setting CODE (0-7) at VALUE (0-255); repeatable.\n"
    "                         Defaults: 0=3 (9600 BPS) 1=2 (auto) 2=1 (1 Mbps) 3=3 (+0 dBm),\n"
    "                         channel and IDs 0\n"
    "  --verbose              log every frame received to standard error\n"
    "\n"
    "Radio (modules started with the same --air in the same port directory hear each other\n"
    "when their settings let them; without --air a module at RUN echoes what it gets):\n"
    "  --air NAME             join the simulated air NAME; at RUN the terminal then is a real\n"
    "                         line: bytes at another speed than the module's baud are garbled,\n"
    "                         and what the module sends is paced at its baud\n"
    "  --far loopback         a module with no computer port and a loopback plug: it sends\n"
    "                         back whatever it receives (needs --air; always at RUN)\n"
    "  --loss PERCENT         lose this share of the radio packets this module sends\n"
    "  --latency MS           each radio packet this module sends arrives MS later\n"
    "  --seed N               which packets are lost (default: 1); the same seed, the same run\n"
    "\n"
    "Faults:\n"
    "  --delay MS             answer MS milliseconds after each command\n"
    "  --pace BPS             send at BPS bit/s, 10 bits per byte (e.g. 9600); 0: at once\n"
    "  --silent               never answer\n"
    "  --bad-checksum         answer with a wrong checksum\n"
    "  --wrong-length N       leave out N characters of each answer (N < 0) or add N\n"
    "  --code06               answer every command with a code-06 reply\n"
    "  --noise TEXT           send TEXT before each answer\n"
    "  --split POS[,POS...]   cut each answer at these byte offsets into separate writes\n"
    "  --split-gap MS         pause between the pieces of a cut answer (default: 0)\n"
    "  --replies-per-write N  hold answers back and send N of them in one write\n"
    "  --only-code CODE       apply the answer faults only to commands for setting CODE\n"
    "  --help                 show this text\n";

struct UsageError
{
    std::string message;
};

long number(std::string_view option, std::string_view text, long low, long high)
{
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        throw UsageError{std::string(option) + ": expected a number from " + std::to_string(low) +
                         " to " + std::to_string(high) + ", got '" + std::string(text) + "'"};
    return value;
}

std::string printable(std::string_view bytes)
{
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F)
            out += c;
        else
            (out += '<').append(SimFrame::hexPair(b)) += '>';
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    SimulatedModule module;
    SimulatorFaults faults;
    const char *env = std::getenv("ZEPHRA_PORTS");
    std::string ports = env ? env : "";
    std::string name = "COM1";
    bool verbose = false;
    std::string air;
    bool farLoopback = false;
    AirFaults airFaults;

    try {
        for (int i = 1; i < argc; ++i) {
            const std::string_view option = argv[i];
            auto value = [&]() -> std::string_view {
                if (i + 1 >= argc)
                    throw UsageError{std::string(option) + " needs a value"};
                return argv[++i];
            };
            if (option == "--help" || option == "-h") {
                std::fputs(usage, stdout);
                return 0;
            } else if (option == "--ports") {
                ports = value();
            } else if (option == "--name") {
                name = value();
                if (name.empty() || name.find('/') != std::string::npos)
                    throw UsageError{"--name: not a plain name: '" + name + "'"};
            } else if (option == "--switch") {
                const auto position = value();
                if (position == "setup")
                    module.setSlideSwitch(SimulatedModule::SlideSwitch::Setup);
                else if (position == "run")
                    module.setSlideSwitch(SimulatedModule::SlideSwitch::Run);
                else
                    throw UsageError{"--switch: expected setup or run"};
            } else if (option == "--firmware") {
                const auto code = value();
                if (code.size() != SimFrame::FirmwareCodeLength)
                    throw UsageError{"--firmware: the code has exactly 14 characters"};
                module.setFirmwareCode(std::string(code));
            } else if (option == "--set") {
                const auto assignment = value();
                const auto eq = assignment.find('=');
                if (eq == std::string_view::npos)
                    throw UsageError{"--set: expected CODE=VALUE"};
                const long code = number(option, assignment.substr(0, eq), 0, 7);
                const long setting = number(option, assignment.substr(eq + 1), 0, 255);
                module.setSetting(static_cast<std::uint8_t>(code),
                                  static_cast<std::uint8_t>(setting));
            } else if (option == "--verbose") {
                verbose = true;
            } else if (option == "--air") {
                air = value();
                if (air.empty() || air.find('/') != std::string::npos)
                    throw UsageError{"--air: not a plain name: '" + air + "'"};
            } else if (option == "--far") {
                if (value() != "loopback")
                    throw UsageError{"--far: expected loopback"};
                farLoopback = true;
            } else if (option == "--loss") {
                const std::string text(value());
                char *end = nullptr;
                const double percent = std::strtod(text.c_str(), &end);
                if (text.empty() || *end != '\0' || !(percent >= 0 && percent <= 100))
                    throw UsageError{"--loss: expected a percentage from 0 to 100, got '" + text +
                                     "'"};
                airFaults.lossPercent = percent;
            } else if (option == "--latency") {
                airFaults.latency = std::chrono::milliseconds(number(option, value(), 0, 600000));
            } else if (option == "--seed") {
                airFaults.seed = static_cast<std::uint64_t>(number(option, value(), 0, 2147483647));
            } else if (option == "--delay") {
                faults.replyDelay = std::chrono::milliseconds(number(option, value(), 0, 600000));
            } else if (option == "--pace") {
                faults.paceBps = static_cast<int>(number(option, value(), 0, 10000000));
            } else if (option == "--silent") {
                faults.silent = true;
            } else if (option == "--bad-checksum") {
                faults.badChecksum = true;
            } else if (option == "--wrong-length") {
                faults.lengthChange = static_cast<int>(number(option, value(), -20, 20));
            } else if (option == "--code06") {
                faults.answerCode06 = true;
            } else if (option == "--noise") {
                faults.noise = value();
            } else if (option == "--split") {
                std::string_view list = value();
                while (!list.empty()) {
                    const auto comma = list.find(',');
                    faults.splitAt.push_back(
                        static_cast<std::size_t>(number(option, list.substr(0, comma), 1, 1000)));
                    list = comma == std::string_view::npos ? "" : list.substr(comma + 1);
                }
            } else if (option == "--split-gap") {
                faults.splitGap = std::chrono::milliseconds(number(option, value(), 0, 600000));
            } else if (option == "--replies-per-write") {
                faults.repliesPerWrite = static_cast<int>(number(option, value(), 1, 100));
            } else if (option == "--only-code") {
                faults.onlyCode = static_cast<std::uint8_t>(number(option, value(), 0, 255));
            } else {
                throw UsageError{"unknown option '" + std::string(option) + "'"};
            }
        }
    } catch (const UsageError &e) {
        std::fprintf(stderr, "zephra-sim: %s\nTry 'zephra-sim --help'.\n", e.message.c_str());
        return 2;
    }
    module.setFaults(faults);
    try {
        if (farLoopback && air.empty())
            throw UsageError{"--far loopback needs --air"};
        if (!air.empty() && ports.empty())
            throw UsageError{"--air needs a port directory (--ports or ZEPHRA_PORTS)"};
        if (air.empty() && (airFaults.lossPercent > 0 || airFaults.latency.count() > 0))
            throw UsageError{"--loss and --latency need --air"};
    } catch (const UsageError &e) {
        std::fprintf(stderr, "zephra-sim: %s\nTry 'zephra-sim --help'.\n", e.message.c_str());
        return 2;
    }

    // Signals are taken by sigwait below; blocked before the service thread starts so that
    // it never receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        if (!ports.empty() && ::mkdir(ports.c_str(), 0700) < 0 && errno != EEXIST)
            throw std::system_error(errno, std::generic_category(), "mkdir " + ports);
        std::unique_ptr<SimulatorPort> port;
        std::unique_ptr<RadioAir> radio;
        if (farLoopback) {
            module.setSlideSwitch(SimulatedModule::SlideSwitch::Run);
            module.setEchoAtRun(false);
            radio = std::make_unique<RadioAir>(module, ports, air, airFaults, nullptr);
            std::fprintf(stderr, "zephra-sim: far module with a loopback plug on air %s\n",
                         air.c_str());
            std::printf("loopback\nready\n");
        } else {
            port = std::make_unique<SimulatorPort>(module);
            if (!air.empty()) {
                radio = std::make_unique<RadioAir>(
                    module, ports, air, airFaults,
                    [target = port.get()](std::string payload, RadioAir::Clock::time_point) {
                        target->inject(std::move(payload));
                    });
                port->setRadio([source = radio.get()](std::string_view bytes,
                                                      RadioAir::Clock::time_point now) {
                    source->transmit(bytes, now);
                });
            }
            if (!ports.empty()) {
                port->publish(ports, name);
                std::fprintf(stderr, "zephra-sim: %s is %s\n", port->publishedPath().c_str(),
                             port->slavePath().c_str());
            } else {
                std::fprintf(stderr, "zephra-sim: no port directory; serving %s unpublished\n",
                             port->slavePath().c_str());
            }
            std::printf("%s\nready\n", port->slavePath().c_str());
        }
        std::fflush(stdout);

        std::size_t logged = 0;
        for (;;) {
            if (!verbose) {
                int signal = 0;
                sigwait(&stopSignals, &signal);
                break;
            }
            const timespec tick{0, 100'000'000};
            if (sigtimedwait(&stopSignals, nullptr, &tick) > 0)
                break;
            const auto frames = module.receivedFrames();
            for (; logged < frames.size(); ++logged)
                std::fprintf(stderr, "zephra-sim: %s %s\n",
                             frames[logged].accepted ? "command" : "rejected",
                             printable(frames[logged].bytes).c_str());
        }
        // The port's thread hands bytes to the radio and the radio's to the port: stop the
        // port first, then let the radio go.
        if (port) {
            port->stop();
            port->unpublish();
        }
        radio.reset();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "zephra-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
