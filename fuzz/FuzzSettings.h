// Shared by the settings-store fuzz targets: a private scratch folder (also the registry's
// XDG_CONFIG_HOME), and a port's settings as the texts saving produces, which serve both as
// the list of keys and as a way to compare two ports' settings.
#pragma once

#include "serial/ComPort.h"
#include "serial/settings/SettingsStorage.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

// Collects what saving writes, as "key=text" and "key:number".
class SavedTexts : public SettingsStore
{
public:
    std::vector<std::string> entries;
    std::vector<std::string> keys;

    void writeText(const std::string &key, const std::string &text) override
    {
        keys.push_back(key);
        entries.push_back(key + "=" + text);
    }
    void writeInteger(const std::string &key, std::int32_t value) override
    {
        keys.push_back(key);
        entries.push_back(key + ":" + std::to_string(value));
    }
    std::string readText(const std::string &, const std::string &fallback) override
    {
        return fallback;
    }
    std::int32_t readInteger(const std::string &, std::int32_t fallback) override
    {
        return fallback;
    }
};

// Every setting of the port that the storage covers, as saving writes it.
inline std::vector<std::string> savedEntries(const TCustomComPort &port)
{
    SavedTexts texts;
    saveSettings(port, TSettingGroups::all(), texts);
    return texts.entries;
}

// Every key the storage knows, in walking order.
inline const std::vector<std::string> &allSettingKeys()
{
    static const std::vector<std::string> keys = [] {
        TComPort port;
        port.setBaudRate(brCustom);
        SavedTexts texts;
        saveSettings(port, TSettingGroups::all(), texts);
        return texts.keys;
    }();
    return keys;
}

// A scratch folder for the whole run, set as XDG_CONFIG_HOME and removed at exit.
inline const std::string &scratchFolder()
{
    static const std::string folder = [] {
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = base / "zephra-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
        static const std::string removed = pattern;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removed, ignored);
        });
        return pattern;
    }();
    return folder;
}
