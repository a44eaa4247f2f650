// What our own controls (the receive box, the chart) tell screen readers through MSAA: the
// system's standard object for the window, with role, name, description, state and value as
// the Linux build gives them through AT-SPI.
#pragma once

#include <windows.h>

#include <oleacc.h>
#include <string>

struct AccessibleText
{
    long role = ROLE_SYSTEM_CLIENT; // 0: the standard object's
    std::string name, description;
    long addedState = 0;          // STATE_SYSTEM_READONLY, ...
    bool valueFromWindow = false; // the window answers AccessibleValueMessage
};

// Asks a window of our own for the value a reader gets: lParam is a std::string * that the
// window fills with its value (Windows-1252), returning nonzero. The window's text may be far
// larger than its value: the receive box gives the rows it shows.
constexpr UINT AccessibleValueMessage = WM_USER + 1;

// The answer to WM_GETOBJECT for the window's client object; other objects go to
// DefWindowProc.
LRESULT answerGetObject(HWND window, WPARAM wParam, LPARAM lParam, const AccessibleText &text);

// Gives a standard control the name the stored layout has for it (accessibleName), where the
// system's own object would take it from the text before it: the control then answers
// WM_GETOBJECT with the standard object under that name.
void nameForReaders(HWND window, const std::string &name);
