#include "framework/core/Registry.h"

#include "framework/core/Format.h"

namespace {

[[noreturn]] void raise(const char *format, const std::string &name)
{
    throw ERegistryException(formatText(format, name.c_str()));
}

[[noreturn]] void raiseGetFailed(const std::string &name)
{
    raise("Failed to get data for '%s'", name);
}

[[noreturn]] void raiseSetFailed(const std::string &name)
{
    raise("Failed to set data for '%s'", name);
}

[[noreturn]] void raiseInvalidType(const std::string &name)
{
    raise("Invalid data type for '%s'", name);
}

std::string trimBackslashes(std::string path)
{
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

} // namespace

Registry::Registry(HKEY rootKey, REGSAM access) : m_rootKey(rootKey), m_access(access) {}

Registry::~Registry()
{
    closeKey();
}

Registry::KeyLocation Registry::locate(const std::string &key) const
{
    if (!key.empty() && key.front() == '\\') {
        const std::string path = trimBackslashes(key.substr(1));
        return {m_rootKey, path, path};
    }
    const std::string relative = trimBackslashes(key);
    std::string path = m_currentPath;
    if (!relative.empty())
        path = path.empty() ? relative : path + "\\" + relative;
    return {currentKey(), relative, path};
}

bool Registry::openKey(const std::string &key, bool canCreate)
{
    const KeyLocation location = locate(key);
    HKEY opened = nullptr;
    LONG rc;
    if (canCreate) {
        rc = RegCreateKeyExA(location.base, location.relative.c_str(), 0, nullptr,
                             REG_OPTION_NON_VOLATILE, m_access, nullptr, &opened, nullptr);
    } else {
        rc = RegOpenKeyExA(location.base, location.relative.c_str(), 0, m_access, &opened);
    }
    if (rc != ERROR_SUCCESS)
        return false;
    closeKey();
    m_currentKey = opened;
    m_currentPath = location.path;
    return true;
}

bool Registry::openKeyReadOnly(const std::string &key)
{
    const REGSAM access = m_access;
    m_access = KEY_READ;
    const bool opened = openKey(key, false);
    m_access = access;
    return opened;
}

bool Registry::keyExists(const std::string &key) const
{
    const KeyLocation location = locate(key);
    HKEY opened = nullptr;
    if (RegOpenKeyExA(location.base, location.relative.c_str(), 0, KEY_READ, &opened) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

void Registry::closeKey()
{
    if (m_currentKey) {
        RegCloseKey(m_currentKey);
        m_currentKey = nullptr;
    }
    m_currentPath.clear();
}

bool Registry::valueExists(const std::string &name) const
{
    return RegQueryValueExA(currentKey(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

bool Registry::deleteValue(const std::string &name)
{
    return RegDeleteValueA(currentKey(), name.c_str()) == ERROR_SUCCESS;
}

void Registry::writeString(const std::string &name, const std::string &value)
{
    // c_str() supplies the terminating zero that a REG_SZ value's size includes.
    if (RegSetValueExA(currentKey(), name.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE *>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
        raiseSetFailed(name);
}

std::string Registry::readString(const std::string &name) const
{
    // The value may change between asking for its size and reading it; then ask again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        LONG rc = RegQueryValueExA(currentKey(), name.c_str(), nullptr, &type, nullptr, &size);
        if (rc == ERROR_FILE_NOT_FOUND || (rc == ERROR_SUCCESS && size == 0))
            return std::string();
        if (rc != ERROR_SUCCESS)
            raiseGetFailed(name);
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            raiseInvalidType(name);
        std::string text(size, '\0');
        rc = RegQueryValueExA(currentKey(), name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE *>(text.data()), &size);
        if (rc == ERROR_MORE_DATA || rc == ERROR_FILE_NOT_FOUND)
            continue;
        if (rc != ERROR_SUCCESS)
            raiseGetFailed(name);
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            raiseInvalidType(name);
        text.resize(size);
        return text.substr(0, text.find('\0'));
    }
    raiseGetFailed(name);
}

void Registry::writeInteger(const std::string &name, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    const BYTE bytes[4] = {BYTE(bits & 0xFF), BYTE((bits >> 8) & 0xFF), BYTE((bits >> 16) & 0xFF),
                           BYTE((bits >> 24) & 0xFF)};
    if (RegSetValueExA(currentKey(), name.c_str(), 0, REG_DWORD, bytes, sizeof bytes) !=
        ERROR_SUCCESS)
        raiseSetFailed(name);
}

std::int32_t Registry::readInteger(const std::string &name) const
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(currentKey(), name.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        raiseGetFailed(name);
    if (type != REG_DWORD)
        raiseInvalidType(name);
    BYTE bytes[4] = {};
    size = sizeof bytes;
    const LONG rc = RegQueryValueExA(currentKey(), name.c_str(), nullptr, &type, bytes, &size);
    if (rc != ERROR_SUCCESS || size != sizeof bytes)
        raiseGetFailed(name);
    if (type != REG_DWORD)
        raiseInvalidType(name);
    const std::uint32_t bits = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                               std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
    return static_cast<std::int32_t>(bits);
}
