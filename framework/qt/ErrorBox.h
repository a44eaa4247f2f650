// The error message box: shows one message modally over the active window and returns when
// the user closes it. The title is the program's name. The text is shown as given (8-bit
// Windows-1252); completing the message is the caller's business. A non-empty advice line is
// shown under it as the box's informative text. UI thread only.
#pragma once

#include <string>

// Declared with the other services the window needs of its toolkit.
#include "framework/controls/Services.h"
