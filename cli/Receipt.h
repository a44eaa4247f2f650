// A bench receipt: one JSON object on one line that records what one module was given.
//   {"time": "2025-03-04T10:22:33+01:00", "port": "COM3",
//    "device": {"path": "/dev/ttyUSB2", "by-path": "...", "by-id": "..."},
//    "firmware": "ZEPHRA24 V1.0A", "before": {...seven settings...}, "after": {...},
//    "differences": ["channel: wrote 7, reads back 9"], "result": "pass", "seconds": 1.42,
//    "profile": {"file": "link.ini", "sha256": "..."}}
// before and after hold the settings in zephra-cli's words, as read from the module before
// writing and read back after; differences are the findings against the profile, empty for a
// pass. by-path and by-id are left out where the device has no such name.
#pragma once

#include "cli/ModuleLink.h"
#include "serial/AdapterNames.h"

#include <chrono>
#include <string>
#include <vector>

struct ProfileId
{
    std::string file;
    std::string sha256; // hex digits of the hash of the file's bytes
};

// The file's name as given and the hash of its contents; EProfile when it cannot be read.
ProfileId identifyProfile(const std::string &fileName);

struct Receipt
{
    std::chrono::system_clock::time_point time;
    std::string port;
    AdapterNames device;
    std::string firmware; // as received
    SettingValues before, after;
    std::vector<std::string> differences;
    double seconds = 0;
    ProfileId profile;
};

// The receipt's line, without a newline; time in local time with its offset.
std::string receiptLine(const Receipt &receipt);

// time as ISO 8601 in local time with the offset from UTC: 2025-03-04T10:22:33+01:00.
std::string isoTime(std::chrono::system_clock::time_point time);
