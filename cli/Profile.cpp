#include "cli/Profile.h"

#include "cli/SettingWords.h"
#include "framework/core/IniFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // A fresh file in the same directory, so that the rename below stays on one file system.
    std::string temporary = fileName + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        throw EProfile("Cannot write the profile " + fileName + ": " + std::strerror(errno));
    // mkstemp makes the file private; a profile gets the permissions of any new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
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
        if (std::rename(temporary.c_str(), fileName.c_str()) != 0)
            throw EProfile("Cannot write the profile " + fileName + ": " + std::strerror(errno));
    } catch (...) {
        std::remove(temporary.c_str());
        throw;
    }
}

} // namespace profile
