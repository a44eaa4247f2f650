#include "app/terminal/TestTabOptions.h"

#include "framework/core/Registry.h"

#include <string>

namespace {

// Below HKEY_CURRENT_USER.
const char *const OptionsKey = "\\Software\\Zephra\\Test tab";

} // namespace

namespace testtab {

std::optional<std::int32_t> storedOption(const char *name)
{
    Registry store(HKEY_CURRENT_USER, KEY_READ);
    if (!store.openKeyReadOnly(OptionsKey) || !store.valueExists(name))
        return std::nullopt;
    return store.readInteger(name);
}

void storeOption(const char *name, std::int32_t value)
{
    Registry store;
    if (!store.openKey(OptionsKey, true))
        throw ERegistryException(std::string("Cannot open the key ") + OptionsKey);
    store.writeInteger(name, value);
}

} // namespace testtab
