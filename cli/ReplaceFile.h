// Writing a file in one step: a new file beside it, filled, then moved over the old one, so a
// crash in between leaves the old file whole.
#pragma once

#include <string>

// Creates an empty file beside fileName, with the permissions any new file gets, and returns
// its name; empty when that failed (errno tells why).
std::string createFileBeside(const std::string &fileName);

// Moves `from` over `to`, replacing a file that is there; false when that failed (errno tells
// why). On Windows a plain rename refuses an existing target.
bool replaceFile(const std::string &from, const std::string &to);
