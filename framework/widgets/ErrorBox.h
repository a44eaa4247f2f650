// The error message box: shows one message modally over the active window and returns when
// the user closes it. The title is the program's name. The text is shown as given (8-bit
// Windows-1252); completing the message is the caller's business. UI thread only.
#pragma once

#include <string>

void showErrorBox(const std::string &message);
