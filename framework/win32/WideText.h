// The one conversion between the controls' Windows-1252 bytes and the UTF-16 that the
// system's wide functions take, and the window text of a control in both directions.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

std::wstring toWide(std::string_view ansi);
std::string fromWide(std::wstring_view wide);

std::string windowText(HWND window);
void setWindowText(HWND window, const std::string &text);
