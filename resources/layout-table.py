#!/usr/bin/env python3
"""Writes the stored window layout (MainForm.ui) as a C++ table, for a front end that builds
the window itself: one row per control in the file's order (parents first), with its kind,
name, parent, place and size in pixels at 96 dpi, caption, items and ranges. Texts are
Windows-1252 byte strings. Usage: layout-table.py MainForm.ui output.h"""
import sys
import xml.etree.ElementTree as ET

# Properties kept besides the columns: their names and text form ("true", "64", ...).
EXTRA = ("readOnly", "editable", "sorted", "orientation", "alignment", "singleStep", "pageStep",
         "value", "currentIndex", "buddy", "accessibleName", "source", "maxVisibleItems")


def c_string(text):
    out = '"'
    for byte in text.encode("cp1252"):
        ch = chr(byte)
        if ch in '"\\':
            out += "\\" + ch
        elif 32 <= byte < 127:
            out += ch
        else:
            out += "\\%03o" % byte
    return out + '"'


def value_of(prop):
    node = prop[0]
    if node.tag in ("string", "cstring", "number", "bool", "enum", "set"):
        return node.text or ""
    if node.tag == "stringlist":
        return "\n".join(s.text or "" for s in node.findall("string"))
    return None


# The table names the kind of control, whatever backend draws it: the stored classes are Qt's
# own or the Qt backend's (under its namespace, qt::ComboBox).
KINDS = {"QPushButton": "Button", "QCheckBox": "CheckBox", "QLabel": "Label",
         "QLineEdit": "Edit", "QSpinBox": "SpinBox", "QTabWidget": "TabControl",
         "QWidget": "Page", "QFrame": "Panel", "ReceiveView": "ReceiveBox"}


def kind(widget):
    stored = widget.get("class").removeprefix("qt::")
    return KINDS.get(stored, stored)


def rows(widget, parent, out):
    props = {p.get("name"): p for p in widget.findall("property")}
    attrs = {a.get("name"): a for a in widget.findall("attribute")}
    rect = props.get("geometry")
    x = y = w = h = 0
    if rect is not None:
        r = rect.find("rect")
        x, y, w, h = (int(r.find(k).text) for k in ("x", "y", "width", "height"))
    caption = ""
    for key in ("text", "title", "windowTitle"):
        if key in props:
            caption = value_of(props[key]) or ""
            break
    if "title" in attrs:  # a tab's caption is an attribute of its page
        caption = value_of(attrs["title"]) or ""
    items = value_of(props["items"]) if "items" in props else ""
    combo_items = [value_of(i.find("property")) for i in widget.findall("item")]
    if combo_items:
        items = "\n".join(combo_items)
    minimum = value_of(props["minimum"]) if "minimum" in props else "0"
    maximum = value_of(props["maximum"]) if "maximum" in props else "0"
    extra = ";".join("%s=%s" % (k, value_of(props[k]).split("::")[-1])
                     for k in EXTRA if k in props and value_of(props[k]) is not None)
    out.append("    {%s, %s, %s, %d, %d, %d, %d, %s, %s, %s, %s, %s}," % (
        c_string(kind(widget)), c_string(widget.get("name")), c_string(parent),
        x, y, w, h, c_string(caption), c_string(items), minimum, maximum, c_string(extra)))
    for child in widget.findall("widget"):
        rows(child, widget.get("name"), out)


def main():
    source, target = sys.argv[1], sys.argv[2]
    form = ET.parse(source).getroot().find("widget")
    out = []
    rows(form, "", out)
    text = """// Made from MainForm.ui by layout-table.py at build time: do not edit.
#pragma once

// One control of the stored layout. Place and size are relative to the parent, in pixels
// at 96 dpi; items are separated by newlines; extra holds further properties as
// "name=value" pairs separated by semicolons.
struct LayoutRow
{
    const char *kind;
    const char *name;
    const char *parent;
    int x, y, width, height;
    const char *caption;
    const char *items;
    int minimum, maximum;
    const char *extra;
};

inline constexpr LayoutRow kMainFormLayout[] = {
%s
};
""" % "\n".join(out)
    with open(target, "w", encoding="ascii") as f:
        f.write(text)


if __name__ == "__main__":
    main()
