// The window's controls as the handlers see them, whatever toolkit draws them: a backend
// (framework/qt/, framework/win32/) implements these interfaces, and the window holds them
// under their stored names. Texts are byte strings in Windows-1252; the backend converts to
// its own text once, at the control. Events are std::function slots that the backend runs at
// once, on the UI thread, behind the handler guard: setting a position or an index from code
// runs its change slot before the setter returns, as a user's change does. UI thread only.
#pragma once

#include <string>

class Control
{
public:
    virtual ~Control() = default;

    // The name the control has in the stored layout ("OpenPortSetup").
    virtual const std::string &name() const = 0;
    virtual bool enabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool visible() const = 0;
    virtual void setVisible(bool visible) = 0;
    virtual bool hasFocus() const = 0;
    virtual void setFocus() = 0;
};

// What a handler is told about the control that raised its event (null for a call from code).
using Sender = Control *;
