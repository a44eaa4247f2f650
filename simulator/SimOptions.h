// zephra-sim's command line: one table of options, each with the name of its value, its line
// in the usage text and what it sets, that drives reading the arguments, checking them and the
// usage text. Pure functions, any thread.
#pragma once

#include "simulator/RadioAir.h"
#include "simulator/SimulatedModule.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What a command line asks of one zephra-sim.
struct SimSetup
{
    std::string ports; // the port directory; empty: serve unpublished
    std::string name = "COM1";
    SimulatedModule::SlideSwitch slideSwitch = SimulatedModule::SlideSwitch::Setup;
    std::string firmwareCode = SimulatedModule::DefaultFirmwareCode;
    // --set CODE=VALUE, in the order given.
    std::vector<std::pair<std::uint8_t, std::uint8_t>> settings;
    SimulatorFaults faults;
    bool verbose = false;
    std::string air; // the simulated air to join; empty: none
    bool farLoopback = false;
    AirFaults airFaults;
    bool help = false;
};

// A command line that is not right: the message, for "zephra-sim: MESSAGE" (status 2).
struct SimUsageError
{
    std::string message;
};

struct SimOption
{
    // The usage text's groups, in its order.
    enum Group { Module, Radio, Fault };

    std::string_view name;  // "--ports"
    std::string_view value; // "DIR"; empty for an option without a value
    Group group;
    // Its text in the usage; '\n' goes on on an indented line.
    std::string help;
    // Takes the value into setup; throws SimUsageError when it is not right.
    void (*take)(SimSetup &setup, std::string_view option, std::string_view value);
};

std::span<const SimOption> simOptions();

// The arguments after the program's name, over setup (which holds the defaults). Stops at
// --help. Throws SimUsageError.
SimSetup readSimOptions(const std::vector<std::string> &arguments, SimSetup setup);

// --help.
std::string simUsage();
