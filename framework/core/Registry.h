// The registry object that settings storage writes to and reads from: it opens (or creates) one
// key below a root and reads and writes typed values of that key through the Win32 registry
// functions. Failed value access raises ERegistryException naming the value:
//   "Failed to set data for '%s'", "Failed to get data for '%s'", "Invalid data type for '%s'".
// Used by one thread at a time; separate objects may be used from separate threads.
#pragma once

#include "framework/core/Exception.h"
#include "platform/win32reg.h"

#include <cstdint>
#include <string>

class ERegistryException : public Exception
{
public:
    using Exception::Exception;
};

class Registry
{
public:
    explicit Registry(HKEY rootKey = HKEY_CURRENT_USER, REGSAM access = KEY_ALL_ACCESS);
    ~Registry();
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    HKEY rootKey() const { return m_rootKey; }
    // The access later openKey() calls ask for.
    REGSAM access() const { return m_access; }

    // Opens key and makes it the current key, creating it (and the keys above it) when canCreate.
    // A key starting with '\' is taken from the root, any other from the current key (or from
    // the root when none is open). Returns false, keeping the current key, when it fails.
    [[nodiscard]] bool openKey(const std::string &key, bool canCreate);
    // As openKey(key, false), asking only for KEY_READ.
    [[nodiscard]] bool openKeyReadOnly(const std::string &key);
    // Whether key exists, taken as openKey() would take it; the current key stays.
    bool keyExists(const std::string &key) const;
    void closeKey();

    // The open key's handle, or the root when no key is open; values are read and written there.
    HKEY currentKey() const { return m_currentKey ? m_currentKey : m_rootKey; }
    // The open key's path below the root ("" when none is open).
    const std::string &currentPath() const { return m_currentPath; }

    bool valueExists(const std::string &name) const;
    // False when the value did not exist or could not be removed.
    bool deleteValue(const std::string &name);

    // Creates or replaces a REG_SZ value: the text's bytes and a terminating zero byte.
    void writeString(const std::string &name, const std::string &value);
    // A REG_SZ or REG_EXPAND_SZ value (unexpanded) cut at its first zero byte. A missing value or
    // one of size 0 reads as "" without error; any other type is an invalid data type.
    std::string readString(const std::string &name) const;

    // Creates or replaces a REG_DWORD value (4 bytes, two's complement, little-endian).
    void writeInteger(const std::string &name, std::int32_t value);
    // A REG_DWORD value. Missing, unreadable or not exactly 4 bytes: "Failed to get data";
    // another type: "Invalid data type".
    std::int32_t readInteger(const std::string &name) const;

private:
    struct KeyLocation
    {
        HKEY base;            // the key the path is opened from
        std::string relative; // the path below base
        std::string path;     // the path below the root
    };
    KeyLocation locate(const std::string &key) const;

    HKEY m_rootKey;
    REGSAM m_access;
    HKEY m_currentKey = nullptr;
    std::string m_currentPath;
};
