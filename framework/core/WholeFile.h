// A file read and written whole, for the INI file: reading stops at a size limit, and writing
// replaces the file in one step (a temporary file beside it, flushed to disk, renamed over it),
// so a crash during a save leaves the old file whole. The new file keeps the old one's
// permissions; a symbolic link stays and its target is replaced. Any thread; not serialised.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The file's bytes; empty when it does not exist; std::nullopt when it exists but cannot be
// read whole or holds more than maxSize bytes.
std::optional<std::string> readWholeFile(const std::string &fileName, std::int64_t maxSize);
// False when the file could not be replaced; the old one is then untouched.
bool replaceWholeFile(const std::string &fileName, const std::string &bytes);
