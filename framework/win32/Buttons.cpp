// Push button and check box on BUTTON.
#include "framework/controls/Buttons.h"
#include "framework/win32/Controls.h"
#include "framework/win32/WideText.h"

namespace {

template<class Interface> class ButtonOf : public Win32Control, public virtual Interface
{
public:
    ButtonOf(const ControlSite &site, DWORD style) : Win32Control(std::string(site.row->name))
    {
        create(site, L"BUTTON", WS_TABSTOP | style, 0, std::string(site.row->caption));
    }

    std::string caption() const override { return windowText(m_window); }
    void setCaption(const std::string &caption) override { setWindowText(m_window, caption); }
    void click() override
    {
        if (!IsWindowEnabled(m_window) || (GetWindowLongW(m_window, GWL_STYLE) & WS_VISIBLE) == 0)
            return;
        toggle();
        fire(this->onClick);
    }
    void command(HWND, int code) override
    {
        if (code == BN_CLICKED)
            fire(this->onClick);
    }

protected:
    virtual void toggle() {}
};

class Win32CheckBox : public ButtonOf<CheckBox>
{
public:
    explicit Win32CheckBox(const ControlSite &site) : ButtonOf(site, BS_AUTOCHECKBOX) {}

    bool checked() const override
    {
        return SendMessageW(m_window, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void setChecked(bool checked) override
    {
        if (checked == this->checked())
            return;
        SendMessageW(m_window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        fire(onClick);
    }

protected:
    void toggle() override
    {
        SendMessageW(m_window, BM_SETCHECK, checked() ? BST_UNCHECKED : BST_CHECKED, 0);
    }
};

} // namespace

std::unique_ptr<Win32Control> makeButton(const ControlSite &site)
{
    return std::make_unique<ButtonOf<Button>>(site, BS_PUSHBUTTON);
}

std::unique_ptr<Win32Control> makeCheckBox(const ControlSite &site)
{
    return std::make_unique<Win32CheckBox>(site);
}
