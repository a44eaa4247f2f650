#include "cli/Commands.h"

#include "cli/Profile.h"
#include "cli/Report.h"
#include "cli/SettingWords.h"
#include "framework/core/Format.h"
#include "platform/ComNames.h"
#include "platform/win32.h"
#include "protocol/CommandSet.h"

#include <cstdio>
#include <iostream>
#include <vector>

namespace cli {

namespace {

// The window's rule for writing back a value it read: a radio group shows no selection for an
// out-of-range value and then sends the module's default; the channel bar stays at 0.
std::uint8_t writableValue(std::uint8_t code, std::uint8_t read)
{
    const bool inRange = read <= findSetting(code)->maxValue;
    const int item = inRange ? read : -1;
    switch (code) {
    case setting::UserBaudrate:
        return baudrateValue(item);
    case setting::RFMode:
        return rfModeValue(item);
    case setting::RFDataRate:
        return rfDataRateValue(item);
    case setting::RFGain:
        return rfGainValue(item);
    default:
        return positionValue(inRange ? read : 0);
    }
}

// One finding per setting whose value differs from the one written.
std::vector<std::string> compare(const SettingValues &written, const SettingValues &found,
                                 const char *how)
{
    std::vector<std::string> findings;
    for (const auto &[code, value] : written) {
        if (found.at(code) != value)
            findings.push_back(formatText("%s: wrote %s, %s %s", settingWordOf(code)->name.data(),
                                          shownValue(code, value).c_str(), how,
                                          shownValue(code, found.at(code)).c_str()));
    }
    return findings;
}

int report(const ModuleState &state, const std::vector<std::string> &findings,
           const Options &options)
{
    std::cout << (options.json ? jsonReport(state) : textReport(state)) << std::flush;
    for (const std::string &finding : findings)
        std::cerr << finding << '\n';
    return findings.empty() ? Done : Mismatch;
}

} // namespace

SettingValues writeAndVerify(ModuleLink &link, const SettingValues &target,
                             std::vector<std::string> &findings)
{
    findings = compare(target, link.writeAll(target), "acknowledged");
    const SettingValues back = link.readSettings();
    for (std::string &finding : compare(target, back, "reads back"))
        findings.push_back(std::move(finding));
    return back;
}

int listPorts()
{
    for (int n = 1; n <= 16; ++n) {
        const std::string name = formatText("COM%d", n);
        const ComDeviceStatus device = comDeviceStatus(name);
        if (device.state == ComDeviceStatus::NotMapped)
            continue;
        std::string state = device.state == ComDeviceStatus::Missing ? "missing" : "not permitted";
        if (device.state == ComDeviceStatus::Present) {
            // The window's probe: exclusive, overlapped, the name without the device prefix.
            HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
            const DWORD error = GetLastError();
            if (handle != INVALID_HANDLE_VALUE) {
                CloseHandle(handle);
                state = "present";
            } else {
                state = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
                            ? "busy"
                            : formatText("unavailable (win error code: %u)", unsigned(error));
            }
        }
        std::cout << name << '\t' << device.path << '\t' << state << '\n';
    }
    return Done;
}

int readModule(const std::string &port, const Options &options)
{
    ModuleLink link(port);
    return report(link.readAll(), {}, options);
}

int writeModule(const std::string &port, const SettingValues &changes, const Options &options)
{
    ModuleLink link(port);
    ModuleState state = link.readAll();
    SettingValues target;
    for (const auto &[code, value] : state.values)
        target[code] = writableValue(code, value);
    for (const auto &[code, value] : changes)
        target[code] = value;
    std::vector<std::string> findings;
    state.values = writeAndVerify(link, target, findings);
    return report(state, findings, options);
}

int saveProfile(const std::string &port, const std::string &fileName)
{
    ModuleState state;
    {
        ModuleLink link(port);
        state = link.readAll();
    }
    profile::save(fileName, state);
    std::cout << textReport(state) << std::flush;
    return Done;
}

int applyProfile(const std::string &port, const SettingValues &profile, const Options &options)
{
    ModuleLink link(port);
    ModuleState state;
    state.firmware = link.readFirmware();
    std::vector<std::string> findings;
    state.values = writeAndVerify(link, profile, findings);
    return report(state, findings, options);
}

} // namespace cli
