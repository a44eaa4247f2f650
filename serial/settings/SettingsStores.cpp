#include "serial/settings/SettingsStores.h"

#include "framework/core/IniFile.h"
#include "framework/core/Registry.h"

void RegistrySettingsStore::writeText(const std::string &key, const std::string &text)
{
    m_registry.writeString(key, text);
}

void RegistrySettingsStore::writeInteger(const std::string &key, std::int32_t value)
{
    m_registry.writeInteger(key, value);
}

std::string RegistrySettingsStore::readText(const std::string &key, const std::string &)
{
    return m_registry.readString(key);
}

std::int32_t RegistrySettingsStore::readInteger(const std::string &key, std::int32_t)
{
    return m_registry.readInteger(key);
}

void IniSettingsStore::writeText(const std::string &key, const std::string &text)
{
    m_iniFile.writeString(m_section, key, text);
}

void IniSettingsStore::writeInteger(const std::string &key, std::int32_t value)
{
    m_iniFile.writeInteger(m_section, key, value);
}

std::string IniSettingsStore::readText(const std::string &key, const std::string &fallback)
{
    return m_iniFile.readString(m_section, key, fallback);
}

std::int32_t IniSettingsStore::readInteger(const std::string &key, std::int32_t fallback)
{
    return m_iniFile.readInteger(m_section, key, fallback);
}
