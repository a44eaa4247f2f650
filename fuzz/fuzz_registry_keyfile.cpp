// Reads arbitrary bytes as a registry key file. Input that starts like a key file is also tried
// with a correct checksum appended, so that the fuzzer reaches the decoding behind it.
// Decoding accepts only whole key files, which encode back to the same bytes. A port loading
// all its settings from the key fails only with a registry error that names one of its
// settings, and what a successful load brought in saves and loads again unchanged.
#include "FuzzCheck.h"
#include "FuzzSettings.h"

#include "framework/core/Registry.h"
#include "platform/posix/RegistryKeyFile.h"
#include "platform/posix/RegistryStore.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace {

const std::string kMagic("ZREGKEY\x01", 8);

std::uint32_t crc32(std::string_view bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFu;
}

std::string sealed(std::string body)
{
    const std::uint32_t crc = crc32(body);
    for (int i = 0; i < 4; ++i)
        body.push_back(static_cast<char>(crc >> (8 * i)));
    return body;
}

std::optional<RegistryKeyData> checkDecoding(const std::string &bytes)
{
    std::optional<RegistryKeyData> key = decodeRegistryKey(bytes);
    if (key)
        FUZZ_CHECK(encodeRegistryKey(*key) == bytes);
    return key;
}

bool namesASetting(const std::string &message)
{
    for (const char *form : {"Failed to get data for '", "Invalid data type for '"}) {
        const std::string_view prefix(form);
        if (message.size() > prefix.size() + 1 && message.compare(0, prefix.size(), prefix) == 0 &&
            message.back() == '\'') {
            const std::string name =
                message.substr(prefix.size(), message.size() - prefix.size() - 1);
            const auto &keys = allSettingKeys();
            return std::find(keys.begin(), keys.end(), name) != keys.end();
        }
    }
    return false;
}

Registry &openKey(const std::string &leaf)
{
    auto *registry = new Registry(HKEY_CURRENT_USER);
    FUZZ_CHECK(registry->openKey("Software\\Zephra\\" + leaf, true));
    return *registry;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    scratchFolder();
    static const RegistryKeyPath path{"HKEY_CURRENT_USER", {"Software", "Zephra", "Fuzz"}};
    static Registry &source = openKey("Fuzz");
    static Registry &copy = openKey("FuzzCopy");

    const std::string bytes(reinterpret_cast<const char *>(data), size);
    std::optional<RegistryKeyData> key = checkDecoding(bytes);
    if (!key && bytes.compare(0, kMagic.size(), kMagic) == 0)
        key = checkDecoding(sealed(bytes));

    // A decoded key is stored as this key's file; anything else goes there as it is.
    std::string file = bytes;
    if (key) {
        key->path = path.text();
        file = encodeRegistryKey(*key);
    }
    std::ofstream(registryStoreDirectory() + "/" + registryKeyFileName(path),
                  std::ios::binary | std::ios::trunc)
        << file;

    TComPort loaded;
    loaded.setSavedGroups(TSettingGroups::all());
    try {
        loaded.LoadFromRegistry(source);
    } catch (const ERegistryException &e) {
        FUZZ_CHECK(namesASetting(e.message()));
        FUZZ_CHECK(key || e.message() == "Failed to get data for 'Port'");
        return 0;
    }
    FUZZ_CHECK(key);

    loaded.SaveToRegistry(copy);
    TComPort reloaded;
    reloaded.setSavedGroups(TSettingGroups::all());
    reloaded.LoadFromRegistry(copy);
    FUZZ_CHECK(savedEntries(reloaded) == savedEntries(loaded));
    return 0;
}
