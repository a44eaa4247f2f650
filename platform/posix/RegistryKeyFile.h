// One registry key as its file holds it: the key's full path and its typed values, and the
// binary form of that file. The form is little-endian with a CRC-32 trailer, so damage is
// noticed; decoding accepts any bytes and rejects everything that is not a whole, intact key
// file, never allocating more than the input's size. Pure code, callable from any thread.
#pragma once

#include "platform/win32reg.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct RegistryValue
{
    std::string name; // as first written; looked up in any letter case
    DWORD type = REG_NONE;
    std::string data; // the exact bytes, NUL included
};

struct RegistryKeyData
{
    std::string path; // full path with its root, e.g. "HKEY_CURRENT_USER\\Software\\Zephra"
    std::vector<RegistryValue> values;

    const RegistryValue *findValue(std::string_view name) const;
    // Creates the value or replaces its type and data (keeping the name's first spelling).
    void setValue(std::string_view name, DWORD type, std::string data);
    // False when there was no such value.
    bool removeValue(std::string_view name);
};

// Longest value name Windows accepts; longer names are refused and never decoded.
constexpr std::size_t kMaxRegistryValueName = 16383;

// ASCII letters compare in any case; all other bytes exactly (key and value names).
bool sameRegistryName(std::string_view a, std::string_view b);
std::string foldRegistryName(std::string_view name);

std::string encodeRegistryKey(const RegistryKeyData &key);
std::optional<RegistryKeyData> decodeRegistryKey(std::string_view bytes);
