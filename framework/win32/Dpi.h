// Dots per inch: the stored layout's pixels at a window's scale, and the scale of the monitor
// a window is on. Functions that only newer Windows has are looked up in user32 at run time,
// so that the programs still start on Windows 7.
#pragma once

#include <windows.h>

// Pixels of the stored layout (96 dpi) at dpi.
int scaled(int pixels, int dpi);
// The dots per inch the window is drawn at: its monitor's where Windows keeps one per window
// (10 version 1607 and later), else the system's; the system's for no window.
int windowDpi(HWND window);
// The outer size of a window with the given client size, frame drawn at dpi.
SIZE frameSize(int width, int height, DWORD style, DWORD exStyle, int dpi);
