// The two stores that port settings are saved to and loaded from, over store objects the
// caller created and opened (and later closes and frees):
// - RegistrySettingsStore: values directly in the registry object's open key, texts as REG_SZ,
//   integers as REG_DWORD. No defaults: a missing text reads as "", a missing integer raises
//   ERegistryException "Failed to get data for '<key>'".
// - IniSettingsStore: entries of one section of an INI file; a missing entry (or an integer
//   entry that is no number) gives the fallback the walk passes in.
// Store errors pass out unchanged. Used on the port's thread.
#pragma once

#include "serial/settings/SettingsStorage.h"

#include <string>
#include <utility>

class IniFile;
class Registry;

class RegistrySettingsStore final : public SettingsStore
{
public:
    explicit RegistrySettingsStore(Registry &registry) : m_registry(registry) {}

    void writeText(const std::string &key, const std::string &text) override;
    void writeInteger(const std::string &key, std::int32_t value) override;
    std::string readText(const std::string &key, const std::string &fallback) override;
    std::int32_t readInteger(const std::string &key, std::int32_t fallback) override;

private:
    Registry &m_registry;
};

class IniSettingsStore final : public SettingsStore
{
public:
    IniSettingsStore(IniFile &iniFile, std::string section)
        : m_iniFile(iniFile), m_section(std::move(section))
    {}

    void writeText(const std::string &key, const std::string &text) override;
    void writeInteger(const std::string &key, std::int32_t value) override;
    std::string readText(const std::string &key, const std::string &fallback) override;
    std::int32_t readInteger(const std::string &key, std::int32_t fallback) override;

private:
    IniFile &m_iniFile;
    std::string m_section;
};
