// A profile: the seven settings of a module in zephra-cli's words, kept as an INI file with
// one section, plus the firmware code of the module it was saved from, as information only:
//
//   [ZEPHRA-24]
//   firmware=ZEPHRA24 V1.0A
//   baud=9600
//   mode=auto
//   ...
//
// Written through the project's INI object into a new file beside the target, which then
// replaces the target in one rename: a profile on disk is always whole, old or new.
#pragma once

#include "cli/ModuleLink.h"
#include "framework/core/Exception.h"

#include <string>

// A profile that cannot be read, misses a setting or holds a value that is not allowed, or
// cannot be written. The message names the file and what is wrong.
class EProfile : public Exception
{
public:
    using Exception::Exception;
};

namespace profile {

inline constexpr const char *Section = "ZEPHRA-24";

// All seven settings of fileName, checked; the firmware code is left empty.
ModuleState load(const std::string &fileName);

// Writes state (firmware code and seven settings, every value in range) as fileName.
void save(const std::string &fileName, const ModuleState &state);

} // namespace profile
