// The form window of the Win32 backend, for the toolkit's message loop and for tests.
#pragma once

#include <windows.h>

#include <string>

// A window built by createMainFormWindow() that is still open.
bool isFormWindow(HWND window);
// Gives a message to the form it belongs to for the keyboard's dialog navigation (Tab);
// true when it took it.
bool isDialogMessage(MSG &message);
// The last form window is gone: records the program's quit and posts it, and tells the
// running message loop's caller at once, as the Qt backend does.
void lastFormClosed();
// The program's name (its file's, without ".exe"): the title of its message boxes.
std::string programName();
