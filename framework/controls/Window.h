// The window a backend builds from the stored layout (resources/MainForm.ui), and the
// toolkit's start and message loop: what the program needs of a toolkit besides the
// controls. framework/qt/ and framework/win32/ implement them; the program links one.
#pragma once

#include "framework/controls/Control.h"
#include "framework/controls/Services.h"

#include <functional>
#include <memory>
#include <string_view>

class FormWindow
{
public:
    virtual ~FormWindow() = default;

    // The control of that stored name; null when the layout has none.
    virtual Control *find(std::string_view name) const = 0;
    // Shown at the centre of its screen's work area, active, its first tab showing.
    virtual void show() = 0;
    // Closes it as the user does (onClose runs first).
    virtual void close() = 0;
    // A timer that lives as long as the window and calls its slot on the UI thread.
    virtual std::unique_ptr<Timer> createTimer() = 0;
    // The user closes the window; runs once, before it goes away.
    std::function<void()> onClose;
};

// The program's main window from the stored layout, not yet shown. Raises (std::exception)
// when the layout's pictures cannot be decoded.
std::unique_ptr<FormWindow> createMainFormWindow();

// The toolkit for the program's life: made first in main(), before any window, and gone
// last. It installs the accessible descriptions of the backend's own controls.
class Toolkit
{
public:
    virtual ~Toolkit() = default;
};

std::unique_ptr<Toolkit> startToolkit(int &argc, char **argv);

// Runs the message loop until the last window is closed and returns the program's exit code;
// lastWindowClosed, when given, runs once the last window has closed, before it returns.
int runMessageLoop(const std::function<void()> &lastWindowClosed = {});
