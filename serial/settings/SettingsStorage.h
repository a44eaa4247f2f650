// Saving and loading a port's settings as named values. One key table says, for every setting,
// its group, its key, whether it is kept as text or as a 32-bit integer and how it converts
// both ways; saveSettings and loadSettings walk the selected groups in their fixed order
// (sgBasic, sgMisc, sgParity, sgBuffer, sgTimeouts, sgFlowControl) and the keys of a group in
// table order. Where the values go is a SettingsStore: the registry key and the INI section
// forms are in SettingsStores.h.
//
// Loading writes through the port's and its settings objects' ordinary setters, so it behaves
// as any caller's property writes: an open port takes a change on at once, a new Port reopens
// it. Any exception (of the store, or EComPort from applying) passes out unchanged and ends
// the walk at that key; what was already written stays. Called on the port's thread.
#pragma once

#include "serial/settings/ComTypes.h"

#include <array>
#include <cstdint>
#include <string>

class TCustomComPort;

// Where saved settings go, by key name.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;

    virtual void writeText(const std::string &key, const std::string &text) = 0;
    virtual void writeInteger(const std::string &key, std::int32_t value) = 0;
    // fallback is what a store with defaults gives for a missing value: the text form of the
    // setting's current value (for an integer its current value; 9600 for "CustomBaudRate").
    // A store without defaults ignores it.
    virtual std::string readText(const std::string &key, const std::string &fallback) = 0;
    virtual std::int32_t readInteger(const std::string &key, std::int32_t fallback) = 0;
};

// The order in which the groups are visited.
inline constexpr std::array<TSettingGroup, 6> kSettingGroupOrder{
    sgBasic, sgMisc, sgParity, sgBuffer, sgTimeouts, sgFlowControl};

// Writes the keys of the given groups; the port is not changed. "CustomBaudRate" is written
// only when BaudRate is brCustom.
void saveSettings(const TCustomComPort &port, TSettingGroups groups, SettingsStore &store);

// Reads the keys of the given groups and writes each value into the port at once.
// "CustomBaudRate" is read only when BaudRate is brCustom after "BaudRate" has been applied.
void loadSettings(TCustomComPort &port, TSettingGroups groups, SettingsStore &store);
