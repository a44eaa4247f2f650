// zephra-sim: serves a simulated ZEPHRA-24 on a pseudo-terminal and publishes it under a COM
// name in a port directory, so that the utility can be tried without the hardware.
#include "framework/core/HexPair.h"
#include "simulator/RadioAir.h"
#include "simulator/SimFrame.h"
#include "simulator/SimOptions.h"
#include "simulator/SimulatedModule.h"
#include "simulator/SimulatorPort.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>

namespace {

// The module on its pty, or a far module with a loopback plug; with its radio when on an air.
struct Service
{
    std::unique_ptr<SimulatorPort> port;
    std::unique_ptr<RadioAir> radio;
};

std::string printable(std::string_view bytes)
{
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F)
            out += c;
        else
            (out += '<').append(HexByteToStr2(b)) += '>';
    }
    return out;
}

void configure(SimulatedModule &module, const SimSetup &setup)
{
    module.setSlideSwitch(setup.slideSwitch);
    module.setFirmwareCode(setup.firmwareCode);
    for (const auto &[code, value] : setup.settings)
        module.setSetting(code, value);
    module.setFaults(setup.faults);
}

// Signals are taken by sigwait; blocked before the service threads start so that they never
// receive them.
sigset_t blockStopSignals()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return stopSignals;
}

Service startFarLoopback(SimulatedModule &module, const SimSetup &setup)
{
    module.setSlideSwitch(SimulatedModule::SlideSwitch::Run);
    module.setEchoAtRun(false);
    Service service;
    service.radio =
        std::make_unique<RadioAir>(module, setup.ports, setup.air, setup.airFaults, nullptr);
    std::fprintf(stderr, "zephra-sim: far module with a loopback plug on air %s\n",
                 setup.air.c_str());
    std::printf("loopback\nready\n");
    return service;
}

Service startPort(SimulatedModule &module, const SimSetup &setup)
{
    Service service;
    service.port = std::make_unique<SimulatorPort>(module);
    SimulatorPort &port = *service.port;
    if (!setup.air.empty()) {
        service.radio =
            std::make_unique<RadioAir>(module, setup.ports, setup.air, setup.airFaults,
                                       [&port](std::string payload, RadioAir::Clock::time_point) {
                                           port.inject(std::move(payload));
                                       });
        port.setRadio(
            [&radio = *service.radio](std::string_view bytes, RadioAir::Clock::time_point now) {
                radio.transmit(bytes, now);
            });
    }
    if (!setup.ports.empty()) {
        port.publish(setup.ports, setup.name);
        std::fprintf(stderr, "zephra-sim: %s is %s\n", port.publishedPath().c_str(),
                     port.slavePath().c_str());
    } else {
        std::fprintf(stderr, "zephra-sim: no port directory; serving %s unpublished\n",
                     port.slavePath().c_str());
    }
    std::printf("%s\nready\n", port.slavePath().c_str());
    return service;
}

// Until SIGINT or SIGTERM; with verbose, logs each frame received meanwhile.
void serveUntilStopped(const SimulatedModule &module, const sigset_t &stopSignals, bool verbose)
{
    if (!verbose) {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        return;
    }
    std::size_t logged = 0;
    const timespec tick{0, 100'000'000};
    while (sigtimedwait(&stopSignals, nullptr, &tick) <= 0) {
        const auto frames = module.receivedFrames();
        for (; logged < frames.size(); ++logged)
            std::fprintf(stderr, "zephra-sim: %s %s\n",
                         frames[logged].accepted ? "command" : "rejected",
                         printable(frames[logged].bytes).c_str());
    }
}

void serve(SimulatedModule &module, const SimSetup &setup, const sigset_t &stopSignals)
{
    if (!setup.ports.empty() && ::mkdir(setup.ports.c_str(), 0700) < 0 && errno != EEXIST)
        throw std::system_error(errno, std::generic_category(), "mkdir " + setup.ports);
    Service service =
        setup.farLoopback ? startFarLoopback(module, setup) : startPort(module, setup);
    std::fflush(stdout);
    serveUntilStopped(module, stopSignals, setup.verbose);
    // The port's thread hands bytes to the radio and the radio's to the port: stop the port
    // first, then let the radio go.
    if (service.port) {
        service.port->stop();
        service.port->unpublish();
    }
    service.radio.reset();
}

} // namespace

int main(int argc, char **argv)
{
    SimSetup setup;
    if (const char *ports = std::getenv("ZEPHRA_PORTS"))
        setup.ports = ports;
    try {
        setup = readSimOptions({argv + 1, argv + argc}, std::move(setup));
    } catch (const SimUsageError &e) {
        std::fprintf(stderr, "zephra-sim: %s\nTry 'zephra-sim --help'.\n", e.message.c_str());
        return 2;
    }
    if (setup.help) {
        std::fputs(simUsage().c_str(), stdout);
        return 0;
    }
    SimulatedModule module;
    configure(module, setup);
    const sigset_t stopSignals = blockStopSignals();
    try {
        serve(module, setup, stopSignals);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "zephra-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
