// The Win32 registry functions over the file-backed store: argument checks and results as
// Windows gives them, and the table of open key handles.
#include "platform/posix/RegistryStore.h"
#include "platform/win32reg.h"

#include <cstring>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace {

struct OpenKey
{
    std::string directory; // the store the key was opened in
    RegistryKeyPath path;
    REGSAM access = 0;
};

struct PredefinedRoot
{
    HKEY handle;
    const char *name;
};

const PredefinedRoot kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},     {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},   {HKEY_USERS, "HKEY_USERS"},
    {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
};

const char *rootName(HKEY key)
{
    for (const PredefinedRoot &root : kRoots) {
        if (root.handle == key)
            return root.name;
    }
    return nullptr;
}

class KeyTable
{
public:
    static KeyTable &instance()
    {
        static KeyTable table;
        return table;
    }

    HKEY add(OpenKey key)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        // Handle values are never reused, so a stale handle cannot reach another key.
        m_next += 4;
        m_keys.emplace(m_next, std::move(key));
        return reinterpret_cast<HKEY>(m_next);
    }

    std::optional<OpenKey> find(HKEY handle)
    {
        if (const char *root = rootName(handle))
            return OpenKey{registryStoreDirectory(), RegistryKeyPath{root, {}}, KEY_ALL_ACCESS};
        std::lock_guard<std::mutex> guard(m_mutex);
        const auto it = m_keys.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == m_keys.end())
            return std::nullopt;
        return it->second;
    }

    bool remove(HKEY handle)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_keys.erase(reinterpret_cast<std::uintptr_t>(handle)) != 0;
    }

private:
    std::mutex m_mutex;
    std::unordered_map<std::uintptr_t, OpenKey> m_keys;
    std::uintptr_t m_next = 0x1000;
};

REGSAM grantedAccess(REGSAM desired)
{
    return (desired & MAXIMUM_ALLOWED) ? KEY_ALL_ACCESS : desired;
}

std::string_view valueName(LPCSTR name)
{
    return name ? std::string_view(name) : std::string_view();
}

} // namespace

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR /*lpClass*/, DWORD dwOptions,
                     REGSAM samDesired, const void * /*lpSecurityAttributes*/, PHKEY phkResult,
                     LPDWORD lpdwDisposition)
{
    if (!phkResult || !lpSubKey || Reserved != 0 || (dwOptions & ~REG_OPTION_VOLATILE) != 0)
        return ERROR_INVALID_PARAMETER;
    std::optional<OpenKey> parent = KeyTable::instance().find(hKey);
    if (!parent)
        return ERROR_INVALID_HANDLE;
    OpenKey key{parent->directory, parent->path, grantedAccess(samDesired)};
    if (LONG rc = appendKeyPath(key.path, lpSubKey))
        return rc;
    // Volatile keys are kept like the others: the store has no notion of a boot session.
    RegistryStore store(key.directory);
    bool created = false;
    if (LONG rc = store.createKey(key.path, created))
        return rc;
    *phkResult = KeyTable::instance().add(std::move(key));
    if (lpdwDisposition)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                   PHKEY phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    std::optional<OpenKey> parent = KeyTable::instance().find(hKey);
    if (!parent)
        return ERROR_INVALID_HANDLE;
    const std::string_view subKey = valueName(lpSubKey);
    // As on Windows, opening "" below a predefined root gives back the root itself.
    if (subKey.empty() && rootName(hKey)) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    OpenKey key{parent->directory, parent->path, grantedAccess(samDesired)};
    if (LONG rc = appendKeyPath(key.path, subKey))
        return rc;
    bool exists = false;
    if (LONG rc = RegistryStore(key.directory).keyExists(key.path, exists))
        return rc;
    if (!exists)
        return ERROR_FILE_NOT_FOUND;
    *phkResult = KeyTable::instance().add(std::move(key));
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey)
{
    if (rootName(hKey) || KeyTable::instance().remove(hKey))
        return ERROR_SUCCESS;
    return ERROR_INVALID_HANDLE;
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE *lpData,
                    DWORD cbData)
{
    std::optional<OpenKey> key = KeyTable::instance().find(hKey);
    if (!key)
        return ERROR_INVALID_HANDLE;
    if (Reserved != 0)
        return ERROR_INVALID_PARAMETER;
    if (!(key->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    if (!lpData && cbData != 0)
        return ERROR_NOACCESS;
    const std::string_view name = valueName(lpValueName);
    if (name.size() > kMaxRegistryValueName)
        return ERROR_INVALID_PARAMETER;
    if (cbData > kMaxRegistryKeyFileSize)
        return ERROR_NOT_ENOUGH_MEMORY;
    std::string data(reinterpret_cast<const char *>(lpData), lpData ? cbData : 0);
    return RegistryStore(key->directory).modifyKey(key->path, [&](RegistryKeyData &values) {
        values.setValue(name, dwType, std::move(data));
        return LONG(ERROR_SUCCESS);
    });
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData)
{
    std::optional<OpenKey> key = KeyTable::instance().find(hKey);
    if (!key)
        return ERROR_INVALID_HANDLE;
    if (lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    if (!(key->access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    RegistryKeyData values;
    if (LONG rc = RegistryStore(key->directory).readKey(key->path, values))
        return rc;
    const RegistryValue *value = values.findValue(valueName(lpValueName));
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    const DWORD size = static_cast<DWORD>(value->data.size());
    if (lpType)
        *lpType = value->type;
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size != 0)
            std::memcpy(lpData, value->data.data(), size);
    }
    if (lpcbData)
        *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    std::optional<OpenKey> key = KeyTable::instance().find(hKey);
    if (!key)
        return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    const std::string_view name = valueName(lpValueName);
    return RegistryStore(key->directory).modifyKey(key->path, [&](RegistryKeyData &values) {
        return values.removeValue(name) ? LONG(ERROR_SUCCESS) : LONG(ERROR_FILE_NOT_FOUND);
    });
}
