// Scroll bar (SCROLLBAR, SB_CTL) and spin box (EDIT with an UPDOWN_CLASS buddy).
#include "framework/controls/RangeControls.h"
#include "framework/win32/Controls.h"
#include "framework/win32/WideText.h"

#include <algorithm>
#include <charconv>

namespace {

template<class Interface> class RangeOf : public Win32Control, public virtual Interface
{
public:
    explicit RangeOf(const LayoutRow &row)
        : Win32Control(std::string(row.name)), m_minimum(row.minimum), m_maximum(row.maximum),
          m_position(std::clamp(row.position, row.minimum, row.maximum))
    {}

    int minimum() const override { return m_minimum; }
    int maximum() const override { return m_maximum; }
    void setRange(int minimum, int maximum) override
    {
        m_minimum = minimum;
        m_maximum = std::max(minimum, maximum);
        showRange();
        setPosition(m_position);
    }
    int position() const override { return m_position; }
    void setPosition(int position) override
    {
        position = std::clamp(position, m_minimum, m_maximum);
        if (position == m_position)
            return;
        m_position = position;
        showPosition();
        fire(this->onChange);
    }

protected:
    virtual void showRange() = 0;
    virtual void showPosition() = 0;

    int m_minimum, m_maximum, m_position;
};

class Win32ScrollBar : public RangeOf<ScrollBar>
{
public:
    explicit Win32ScrollBar(const ControlSite &site) : RangeOf(*site.row)
    {
        create(site, L"SCROLLBAR", WS_TABSTOP | SBS_HORZ);
        showRange();
        showPosition();
    }

    void scroll(HWND, int code) override
    {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(m_window, SB_CTL, &info);
        switch (code) {
        case SB_LINELEFT:
        case SB_PAGELEFT:
            setPosition(m_position - 1);
            break;
        case SB_LINERIGHT:
        case SB_PAGERIGHT:
            setPosition(m_position + 1);
            break;
        case SB_LEFT:
            setPosition(m_minimum);
            break;
        case SB_RIGHT:
            setPosition(m_maximum);
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            setPosition(info.nTrackPos);
            break;
        default:
            break;
        }
    }

protected:
    void showRange() override { SetScrollRange(m_window, SB_CTL, m_minimum, m_maximum, TRUE); }
    void showPosition() override { SetScrollPos(m_window, SB_CTL, m_position, TRUE); }
};

class Win32SpinBox : public RangeOf<SpinBox>
{
public:
    explicit Win32SpinBox(const ControlSite &site) : RangeOf(*site.row)
    {
        create(site, L"EDIT", WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
        ControlSite arrows = site;
        arrows.id = site.id + 1;
        m_arrows = create(arrows, UPDOWN_CLASSW,
                          UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS);
        SendMessageW(m_arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(m_window), 0);
        showRange();
        showPosition();
    }

    void setEnabled(bool enabled) override
    {
        Win32Control::setEnabled(enabled);
        EnableWindow(m_arrows, enabled);
    }
    void rescale(const ControlSite &site) override
    {
        // The arrows take their room from the edit again.
        Win32Control::rescale(site);
        SendMessageW(m_arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(m_window), 0);
    }
    void setVisible(bool visible) override
    {
        Win32Control::setVisible(visible);
        ShowWindow(m_arrows, visible ? SW_SHOW : SW_HIDE);
    }
    void command(HWND from, int code) override
    {
        // Typed, or stepped by the arrows (which write the number into the edit).
        if (from != m_window || code != EN_CHANGE || m_showing)
            return;
        const std::string text = windowText(m_window);
        int typed = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), typed);
        if (error == std::errc() && end == text.data() + text.size() && typed >= m_minimum &&
            typed <= m_maximum)
            setPosition(typed);
    }
    void scroll(HWND, int) override {}

protected:
    void showRange() override { SendMessageW(m_arrows, UDM_SETRANGE32, m_minimum, m_maximum); }
    void showPosition() override
    {
        m_showing = true;
        SendMessageW(m_arrows, UDM_SETPOS32, 0, m_position);
        setWindowText(m_window, std::to_string(m_position));
        m_showing = false;
    }

private:
    HWND m_arrows = nullptr;
    bool m_showing = false;
};

} // namespace

std::unique_ptr<Win32Control> makeScrollBar(const ControlSite &site)
{
    return std::make_unique<Win32ScrollBar>(site);
}

std::unique_ptr<Win32Control> makeSpinBox(const ControlSite &site)
{
    return std::make_unique<Win32SpinBox>(site);
}
