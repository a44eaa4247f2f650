// The stored properties of a layout row that the neutral table has no column for (readOnly,
// accessibleName, source, alignment, ...), read from the table generated at build time.
#pragma once

#include "framework/controls/LayoutTable.h"

#include <string_view>

// The property's stored text ("true", "Received text"); empty when the row has none.
std::string_view layoutProperty(const LayoutRow &row, std::string_view key);
