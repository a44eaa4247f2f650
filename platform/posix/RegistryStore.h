// The file-backed registry store: the folder that holds the key files, which file belongs to
// which key, and reading and atomically replacing a key file (temporary file, fsync, rename).
// Changes are serialised within the process by a mutex and between processes by flock() on
// the store's lock file; readers need no lock because a key file is only ever replaced whole.
// Any thread.
#pragma once

#include "platform/posix/RegistryKeyFile.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct RegistryKeyPath
{
    std::string root;                    // "HKEY_CURRENT_USER", ...
    std::vector<std::string> components; // the names below the root, as their creator spelt them

    // "HKEY_CURRENT_USER\\Software\\Zephra"
    std::string text() const;
};

// Longest key name (one path component) Windows accepts.
constexpr std::size_t kMaxRegistryKeyName = 255;

// Largest key file the store reads or writes; larger files are treated as damaged.
constexpr std::size_t kMaxRegistryKeyFileSize = 64u << 20;

// $XDG_CONFIG_HOME/zephra/registry, or ~/.config/zephra/registry when XDG_CONFIG_HOME is unset,
// empty or not absolute. Read from the environment at each call.
std::string registryStoreDirectory();

// Appends a relative key path ("Software\\Zephra", a trailing backslash allowed) to path.
// A leading or doubled backslash gives ERROR_BAD_PATHNAME, a name longer than 255 bytes
// ERROR_INVALID_PARAMETER; path is unchanged then.
LONG appendKeyPath(RegistryKeyPath &path, std::string_view subKey);

// The key's file name in the store: the case-folded full path, percent-encoded so that only
// [a-z0-9._-] and '%' remain (no '/', never "." or ".."), with ".key" appended; a long path
// is cut and completed with a hash of the whole path. The file itself records the full path.
std::string registryKeyFileName(const RegistryKeyPath &path);

class RegistryStore
{
public:
    explicit RegistryStore(std::string directory);

    const std::string &directory() const { return m_directory; }

    // A root key always exists; another key exists when its file does.
    LONG keyExists(const RegistryKeyPath &path, bool &exists) const;

    // Creates the key's file and those of the keys above it that are missing.
    LONG createKey(const RegistryKeyPath &path, bool &created);

    // Reads the key's values. A missing file reads as a key without values; a damaged one gives
    // ERROR_BADDB, a file that belongs to another key (hash clash) ERROR_BADKEY.
    LONG readKey(const RegistryKeyPath &path, RegistryKeyData &key) const;

    // Reads the key, lets change() alter it and, when change() returns ERROR_SUCCESS, replaces
    // the file atomically. A damaged file is kept beside as "<file>.corrupt" and the key starts
    // empty, so a damaged key can be written again.
    LONG modifyKey(const RegistryKeyPath &path,
                   const std::function<LONG(RegistryKeyData &)> &change);

private:
    std::string filePath(const RegistryKeyPath &path) const;

    std::string m_directory;
};
