// The windows that hold controls: frames and group boxes (panels) and the tab control with
// its pages (panels shown one at a time over the tab control's display area).
#include "framework/controls/Containers.h"
#include "framework/win32/Controls.h"
#include "framework/win32/TabOrder.h"
#include "framework/win32/WideText.h"

#include <vector>

namespace {

class Win32Panel : public Win32Control
{
public:
    Win32Panel(const ControlSite &site, bool framed) : Win32Control(std::string(site.row->name))
    {
        const LayoutRow &row = *site.row;
        create(site, panelClassName(), 0, WS_EX_CONTROLPARENT);
        if (framed) {
            // Beneath the controls it surrounds once they are made (finish()).
            ControlSite inside = site;
            inside.parent = m_window;
            m_frame = create(
                inside,
                RECT{0, 0, site.place.right - site.place.left, site.place.bottom - site.place.top},
                L"BUTTON", BS_GROUPBOX, 0, std::string(row.caption));
        } else if (row.className == "Panel") {
            SetWindowLongW(m_window, GWL_EXSTYLE,
                           GetWindowLongW(m_window, GWL_EXSTYLE) | WS_EX_STATICEDGE);
            SetWindowPos(m_window, nullptr, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
        }
    }
    void finish() override
    {
        if (m_frame != nullptr)
            SetWindowPos(m_frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    void rescale(const ControlSite &site) override
    {
        // A tab page is placed by its tab control.
        if (site.row->page >= 0) {
            setFont(site.font);
            return;
        }
        Win32Control::rescale(site);
        if (m_frame != nullptr)
            SetWindowPos(m_frame, nullptr, 0, 0, site.place.right - site.place.left,
                         site.place.bottom - site.place.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

private:
    HWND m_frame = nullptr;
};

class Win32TabControl : public Win32Control, public virtual TabControl
{
public:
    explicit Win32TabControl(const ControlSite &site) : Win32Control(std::string(site.row->name))
    {
        // Not a control parent: the Tab key stops at the strip (TabOrder.h).
        create(site, WC_TABCONTROLW, WS_TABSTOP | WS_CLIPCHILDREN);
    }

    // The next page's window, made by makeTabPage.
    void addPage(HWND page, const std::string &caption)
    {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        std::wstring wide = toWide(caption);
        item.pszText = wide.data();
        SendMessageW(m_window, TCM_INSERTITEMW, m_pages.size(), reinterpret_cast<LPARAM>(&item));
        m_pages.push_back(page);
        placePage(page);
        ShowWindow(page, m_pages.size() == 1 ? SW_SHOW : SW_HIDE);
    }
    void rescale(const ControlSite &site) override
    {
        Win32Control::rescale(site);
        for (HWND page : m_pages)
            placePage(page);
    }

    int count() const override { return static_cast<int>(m_pages.size()); }
    int activePage() const override
    {
        return static_cast<int>(SendMessageW(m_window, TCM_GETCURSEL, 0, 0));
    }
    void setActivePage(int index) override
    {
        if (index < 0 || index >= count() || index == activePage())
            return;
        SendMessageW(m_window, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
        pageChanged();
    }
    LRESULT notify(const NMHDR &header) override
    {
        if (header.code == TCN_SELCHANGE)
            pageChanged();
        return 0;
    }

private:
    // Over the display area, which depends on the tabs' font.
    void placePage(HWND page)
    {
        RECT area{};
        GetClientRect(m_window, &area);
        SendMessageW(m_window, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
        place(page, area);
    }
    void pageChanged()
    {
        // The focus in the page that goes goes to the new page's first stop, else the strip.
        HWND focus = GetFocus();
        const bool inPage = focus != nullptr && focus != m_window && IsChild(m_window, focus);
        const int active = activePage();
        for (std::size_t i = 0; i < m_pages.size(); ++i)
            ShowWindow(m_pages[i], static_cast<int>(i) == active ? SW_SHOW : SW_HIDE);
        if (inPage) {
            HWND first =
                active >= 0 ? firstTabStop(m_pages[static_cast<std::size_t>(active)]) : nullptr;
            focusTabStop(first != nullptr ? first : m_window);
        }
        fire(onChange);
    }

    std::vector<HWND> m_pages;
};

} // namespace

std::unique_ptr<Win32Control> makePanel(const ControlSite &site, bool framed)
{
    return std::make_unique<Win32Panel>(site, framed);
}

std::unique_ptr<Win32Control> makeTabControl(const ControlSite &site)
{
    return std::make_unique<Win32TabControl>(site);
}

std::unique_ptr<Win32Control> makeTabPage(const ControlSite &site)
{
    auto page = std::make_unique<Win32Panel>(site, false);
    if (auto *tabs = dynamic_cast<Win32TabControl *>(Win32Control::of(site.parent)))
        tabs->addPage(page->window(), std::string(site.row->caption));
    return page;
}
