// The stored layout (resources/MainForm.ui) as a table of controls, for backends that build
// the window themselves rather than through the toolkit's own loader. One row per control, in
// the file's order, parents before their children; rows name their parent by name (empty: the
// window). Geometry is in pixels relative to the parent's client area, as stored. Texts are
// Windows-1252. items: a radio group's or a list's items; minimum/maximum/position: a scroll
// bar's or a spin box's range and start; sorted/editable: a combo box's; page: a tab's index.
// This header is the table's format; the table itself (MainFormTable.h) is made from the .ui
// file at build time by resources/layout-table.py, never written by hand.
#pragma once

#include <string_view>
#include <vector>

struct LayoutRow
{
    std::string_view className; // the stored class of the control, as the .ui file names it
    std::string_view name;
    std::string_view parent;
    int x = 0, y = 0, width = 0, height = 0;
    std::string_view caption; // title, text or caption
    std::vector<std::string_view> items;
    int minimum = 0, maximum = 0, position = 0;
    bool sorted = false, editable = false, enabled = true;
    int page = -1;
};

// The window's own row first (its caption and size), then every control.
const std::vector<LayoutRow> &mainFormLayout();
