#include "cli/Profile.h"

#include "cli/ReplaceFile.h"
#include "cli/SettingWords.h"
#include "framework/core/IniFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace profile {

ModuleState load(const std::string &fileName)
{
    if (access(fileName.c_str(), R_OK) != 0)
        throw EProfile("Cannot read the profile " + fileName + ": " + std::strerror(errno));
    const IniFile ini(fileName);
    if (!ini.sectionExists(Section))
        throw EProfile("The profile " + fileName + " has no [" + Section + "] section");
    ModuleState state;
    for (const SettingRow &setting : settingRows()) {
        const std::string key(setting.word);
        if (!ini.valueExists(Section, key))
            throw EProfile("The profile " + fileName + " has no value for " + key);
        const std::string text = ini.readString(Section, key, {});
        const auto value = parseSettingValue(setting, text);
        if (!value)
            throw EProfile("The profile " + fileName + " has " + key + "=" + text +
                           "; allowed: " + allowedValues(setting));
        state.values[setting.code] = *value;
    }
    return state;
}

void save(const std::string &fileName, const ModuleState &state)
{
    const std::string temporary = createFileBeside(fileName);
    if (temporary.empty())
        throw EProfile("Cannot write the profile " + fileName + ": " + std::strerror(errno));
    try {
        IniFile ini(temporary);
        ini.writeString(Section, "firmware", state.firmware);
        for (const SettingRow &setting : settingRows()) {
            const auto text = settingValueText(setting, state.values.at(setting.code));
            if (!text)
                throw EProfile("The module reports a value for " + std::string(setting.word) +
                               " that a profile cannot hold");
            ini.writeString(Section, std::string(setting.word), *text);
        }
        if (!replaceFile(temporary, fileName))
            throw EProfile("Cannot write the profile " + fileName + ": " + std::strerror(errno));
    } catch (...) {
        std::remove(temporary.c_str());
        throw;
    }
}

} // namespace profile
