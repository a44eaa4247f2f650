// The test tab's remembered choices: whole numbers, each under its name in one key of the
// user's settings.
#pragma once

#include <cstdint>
#include <optional>

namespace testtab {

// The stored number of that name; nothing where none is stored.
std::optional<std::int32_t> storedOption(const char *name);
// Stores the number; raises ERegistryException when the key cannot be opened.
void storeOption(const char *name, std::int32_t value);

} // namespace testtab
