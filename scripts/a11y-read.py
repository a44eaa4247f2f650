#!/usr/bin/python3
# Usage (by hand, on an X display with the window running under a session bus, with
# QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 and at-spi-bus-launcher started in that bus):
#   /usr/bin/python3 scripts/a11y-read.py
# Reads the running window through the accessibility bus: its role and caption, the rate
# box's name, and the receive box's text.
import sys, time
import pyatspi

def find(node, pred, depth=0):
    if pred(node):
        return node
    if depth > 30:
        return None
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        hit = find(child, pred, depth + 1)
        if hit is not None:
            return hit
    return None

desktop = pyatspi.Registry.getDesktop(0)
app = None
for _ in range(100):
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is not None and a.name == "zephra":
            app = a
    if app:
        break
    time.sleep(0.2)
if app is None:
    sys.exit("zephra not on the bus")
window = app.getChildAtIndex(0)
print("window role:", window.getRoleName(), "| name:", window.name)
rate = find(window, lambda n: n.getRoleName() == "combo box" and n.name == "Baudrate Select")
print("rate box:", rate.getRoleName() if rate else None, "|", rate.name if rate else None)
recv = find(window, lambda n: n.name == "Received text")
text = recv.queryText()
print("receive box role:", recv.getRoleName(), "| read-only:",
      recv.getState().contains(pyatspi.STATE_READ_ONLY), "| characters:", text.characterCount,
      "| caret:", text.caretOffset)
print("receive box text:", repr(text.getText(0, -1)))
