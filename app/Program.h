// Program start and end, between the toolkit's start and the end of its message loop:
// MainForm is created from its stored layout (FormCreate included), shown centred on the
// desktop with tab 0 active, the message loop runs until the window is closed (closing it
// runs FormClose), then the window and its components are destroyed. A window that cannot be
// created (a corrupt stored picture, for example) is reported through the application's
// exception report and ends the program before anything is shown. UI thread only; the caller
// installs the error box as the exception reporter.
#pragma once

#include <functional>
#include <memory>

class TMainForm;

// Makes the main window; the default builds TMainForm. Tests pass their own to inject faults.
using MainFormFactory = std::function<std::unique_ptr<TMainForm>()>;

// Returns the program's exit code: 0 after the window was closed, 1 when it could not be made.
int runProgram(const MainFormFactory &createMainForm = {});
