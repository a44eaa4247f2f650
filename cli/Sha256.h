// SHA-256 of a byte string, as 64 lower-case hex digits (the receipts' profile hash).
#pragma once

#include <string>
#include <string_view>

std::string sha256Hex(std::string_view bytes);
