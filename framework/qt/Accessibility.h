// What screen readers and automation see of the window's own controls: the receive box as
// read-only text (whole text, caret, selection), the drop-downs named by their labels, the
// round trip chart as a chart, and a top-level window as a frame named by its caption.
// Installed once at program start, after the application object is made; UI thread only.
#pragma once

void installAccessibleInterfaces();
