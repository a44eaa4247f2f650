#include "serial/ComPort.h"

#include "serial/settings/SettingsStores.h"

void TCustomComPort::SaveToRegistry(Registry &registry) const
{
    RegistrySettingsStore store(registry);
    saveSettings(*this, m_savedGroups, store);
}

void TCustomComPort::SaveToIniFile(IniFile &iniFile) const
{
    IniSettingsStore store(iniFile, Name());
    saveSettings(*this, m_savedGroups, store);
}

void TCustomComPort::LoadFromRegistry(Registry &registry)
{
    RegistrySettingsStore store(registry);
    loadSettings(*this, m_savedGroups, store);
}

void TCustomComPort::LoadFromIniFile(IniFile &iniFile)
{
    IniSettingsStore store(iniFile, Name());
    loadSettings(*this, m_savedGroups, store);
}
