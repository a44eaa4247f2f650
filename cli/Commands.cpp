#include "cli/Commands.h"

#include "cli/Profile.h"
#include "cli/Report.h"
#include "cli/SettingWords.h"
#include "framework/core/Format.h"
#include "protocol/SettingTable.h"
#include "serial/PortProbe.h"

#include <cstdio>
#include <iostream>
#include <vector>

namespace cli {

namespace {

// One finding per setting whose value differs from the one written.
std::vector<std::string> compare(const SettingValues &written, const SettingValues &found,
                                 const char *how)
{
    std::vector<std::string> findings;
    for (const auto &[code, value] : written) {
        if (found.at(code) != value)
            findings.push_back(formatText("%s: wrote %s, %s %s", findSetting(code)->word.data(),
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
    for (const PortProbe &probe : probePorts()) {
        if (probe.state == PortProbe::NotMapped)
            continue;
        std::string state;
        switch (probe.state) {
        case PortProbe::Present:
            state = "present";
            break;
        case PortProbe::Busy:
            state = "busy";
            break;
        case PortProbe::NotPermitted:
            state = "not permitted";
            break;
        case PortProbe::Missing:
        case PortProbe::NotMapped:
            state = "missing";
            break;
        case PortProbe::Unavailable:
            state = formatText("unavailable (win error code: %u)", unsigned(probe.error));
            if (probe.error == ERROR_BAD_NETPATH)
                state = "host name does not resolve, " + state;
            break;
        case PortProbe::BadEntry:
            state = "bad entry: " + probe.fault;
            break;
        case PortProbe::Listed:
            state = "listed";
            break;
        }
        // A port on another machine says so, with its server.
        if (!probe.remoteServer.empty())
            state = "remote " + probe.remoteServer + ", " + state;
        std::cout << probe.name << '\t' << probe.devicePath << '\t' << state << '\n';
    }
    return Done;
}

int portErrorStatus(const EComPort &error)
{
    const bool badEntry = error.ErrorCode() == EComPort::OpenFailed &&
                          error.SystemErrorCode() == std::int32_t(ERROR_INVALID_NAME);
    return badEntry ? Usage : PortError;
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
        target[code] = writeBackValue(*findSetting(code), value);
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
