// The base of the Win32 backend's controls: the control's own window, its stored name, and
// the notifications (WM_COMMAND, WM_NOTIFY, WM_HSCROLL) that its parent hands back to it. A
// control is found from any of its windows through GWLP_USERDATA. Slots run through the
// handler guard.
#pragma once

#include "framework/controls/Control.h"
#include "framework/controls/LayoutTable.h"
#include "framework/win32/Dpi.h"

#include <windows.h>

#include <commctrl.h>
#include <functional>
#include <string>
#include <vector>

// Where a control goes: its parent window, its place in the parent's client area (scaled to
// dpi), its child id, font and stored row.
struct ControlSite
{
    HWND parent = nullptr;
    RECT place{};
    int id = 0;
    HFONT font = nullptr;
    const LayoutRow *row = nullptr;
    HWND tooltips = nullptr; // the form's tool tip window
    int dpi = 96;
};

class Win32Control : public virtual Control
{
public:
    explicit Win32Control(std::string name) : m_name(std::move(name)) {}
    Win32Control(const Win32Control &) = delete;
    Win32Control &operator=(const Win32Control &) = delete;

    const std::string &name() const override { return m_name; }
    bool enabled() const override;
    void setEnabled(bool enabled) override;
    bool visible() const override;
    void setVisible(bool visible) override;
    bool hasFocus() const override;
    void setFocus() override;

    HWND window() const { return m_window; }
    static Win32Control *of(HWND window);

    // Notifications from one of the control's windows, handed over by its parent.
    virtual void command(HWND from, int code);
    virtual LRESULT notify(const NMHDR &header);
    virtual void scroll(HWND from, int code);
    // Once every control of the window is made.
    virtual void finish() {}
    // The form is drawn at another dpi: the control takes the site's place and font (the
    // site as when it was made, scaled anew). By default every window of the control takes
    // the font and the first one the place.
    virtual void rescale(const ControlSite &site);

protected:
    // Creates a child window that belongs to this control (the first one becomes window()).
    HWND create(const ControlSite &site, const wchar_t *className, DWORD style, DWORD exStyle = 0,
                const std::string &text = {});
    HWND create(const ControlSite &site, const RECT &place, const wchar_t *className, DWORD style,
                DWORD exStyle = 0, const std::string &text = {});
    // Runs a slot with this control as sender, through the handler guard.
    void fire(const std::function<void(Sender)> &slot);
    // Shows text as the tool tip of one of the control's windows (empty: none).
    void setToolTip(HWND window, const std::string &text);
    // Gives every window of the control the font, and draws them anew.
    void setFont(HFONT font);

    HWND m_window = nullptr;
    HWND m_tooltips = nullptr;

private:
    std::string m_name;
    std::vector<HWND> m_windows; // all made by create()
};

// Moves a child window to a place in its parent's client area.
void place(HWND window, const RECT &place);

// Registers a window class of ours once (later calls with the same name return at once) and
// returns its name. background: a brush, or null for a window that paints all of itself.
const wchar_t *windowClass(const wchar_t *name, WNDPROC procedure, HBRUSH background,
                           const char *cursor = IDC_ARROW, UINT style = 0);

// A window of our own class that holds controls (the form, tab pages, group boxes, frames):
// it hands its children's notifications to their controls.
const wchar_t *panelClassName();
// The part of a container's window procedure that does so; true when it handled the message.
bool forwardToControl(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result);
