// The form's keyboard order: the system's dialog order of the tab stops, with each tab strip a
// stop of its own followed by the stops of its shown page (the system does not enter a strip's
// pages: the strip is not a control parent, so that the Tab key can stop at it).
#pragma once

#include <windows.h>

// The tab stop after (or before) from, a window in a form; wraps around. From may be a stop's
// child (an editable combo box's field) or the form itself (no focus). Null when the form has
// no tab stop.
HWND nextTabStop(HWND from, bool backwards);
// The first tab stop inside container (a tab page), or null.
HWND firstTabStop(HWND container);
// Gives the focus to a tab stop as the Tab key does: an edit's text is selected.
void focusTabStop(HWND stop);
