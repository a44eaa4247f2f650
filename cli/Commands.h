// The commands of zephra-cli, each with its arguments already checked. Each returns the exit
// status: 0 done and verified, 4 the module answered with other values than were written.
// Port failures leave as EComPort (status 2, or 1 for a port map entry that cannot be right:
// see portErrorStatus), a module that did not answer as NoAnswer (3),
// profile failures as EProfile or EIniFileException (1). Results go to standard output,
// messages to standard error.
#pragma once

#include "cli/ModuleLink.h"
#include "serial/EComPort.h"

#include <string>
#include <vector>

namespace cli {

enum ExitStatus { Done = 0, Usage = 1, PortError = 2, NoReply = 3, Mismatch = 4 };

// The exit status for a port error: 1 (Usage) when opening failed on a port map entry that
// cannot be right, which no retry mends; else 2.
int portErrorStatus(const EComPort &error);

struct Options
{
    bool json = false;
    bool each = false;
    bool fix = false;
    std::string log; // --log FILE
};

// Writes all seven settings, compares every acknowledgement with the value sent, reads all
// seven back and compares again. Gives the values read back; findings gets one line per
// difference ("channel: wrote 7, acknowledged 9").
SettingValues writeAndVerify(ModuleLink &link, const SettingValues &target,
                             std::vector<std::string> &findings);

int listPorts();
int readModule(const std::string &port, const Options &options);
// changes: the settings named on the command line, with their values.
int writeModule(const std::string &port, const SettingValues &changes, const Options &options);
int saveProfile(const std::string &port, const std::string &fileName);
int applyProfile(const std::string &port, const SettingValues &profile, const Options &options);
// --each: on every port at once, waits for a module, applies, appends its receipt to logFile
// (none when empty), prints one line, waits until it is gone, and so on until SIGINT or
// SIGTERM. The worst status of any slot, or 2 when the log could not be written.
int applyToEach(const std::vector<std::string> &ports, const std::string &profileFile,
                const SettingValues &profile, const std::string &logFile);

} // namespace cli
