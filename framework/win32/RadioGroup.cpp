// Radio group: a panel framed as a group box, its items BS_AUTORADIOBUTTON buttons arranged
// as the stored layout's toolkit does (below the caption's line, the rest of the height
// shared evenly). Only the checked item is a tab stop; the arrow keys move within the group.
#include "framework/controls/ListControls.h"
#include "framework/win32/Controls.h"
#include "framework/win32/WideText.h"

#include <algorithm>

namespace {

class Win32RadioGroup : public Win32Control, public virtual RadioGroup
{
public:
    explicit Win32RadioGroup(const ControlSite &site) : Win32Control(std::string(site.row->name))
    {
        const LayoutRow &row = *site.row;
        create(site, panelClassName(), 0, WS_EX_CONTROLPARENT);
        ControlSite inside = site;
        inside.parent = m_window;
        for (std::size_t i = 0; i < row.items.size(); ++i) {
            inside.id = site.id + static_cast<int>(i) + 1;
            m_buttons.push_back(create(inside, RECT{}, L"BUTTON",
                                       BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0), 0,
                                       std::string(row.items[i])));
        }
        // The frame last: beneath the items it surrounds.
        m_frame = create(inside, RECT{}, L"BUTTON", BS_GROUPBOX, 0, std::string(row.caption));
        arrange(site);
        updateTabStop();
    }

    void setEnabled(bool enabled) override
    {
        Win32Control::setEnabled(enabled);
        for (HWND button : m_buttons)
            EnableWindow(button, enabled);
        EnableWindow(m_frame, enabled);
    }
    std::vector<std::string> items() const override
    {
        std::vector<std::string> texts;
        for (HWND button : m_buttons)
            texts.push_back(windowText(button));
        return texts;
    }
    int itemIndex() const override { return m_index; }
    void setItemIndex(int index) override
    {
        index = std::clamp(index, -1, static_cast<int>(m_buttons.size()) - 1);
        if (index == m_index)
            return;
        for (std::size_t i = 0; i < m_buttons.size(); ++i)
            SendMessageW(m_buttons[i], BM_SETCHECK,
                         static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED, 0);
        m_index = index;
        updateTabStop();
        fire(onClick);
    }
    void rescale(const ControlSite &site) override
    {
        Win32Control::rescale(site);
        arrange(site);
    }
    void command(HWND from, int code) override
    {
        if (code != BN_CLICKED)
            return;
        const auto found = std::find(m_buttons.begin(), m_buttons.end(), from);
        if (found != m_buttons.end() && SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED)
            setItemIndex(static_cast<int>(found - m_buttons.begin()));
    }

private:
    void arrange(const ControlSite &site)
    {
        const int width = site.place.right - site.place.left;
        const int height = site.place.bottom - site.place.top;
        const int textHeight = fontHeight(site.font);
        const int count = static_cast<int>(m_buttons.size());
        const int free = std::max(0, height - textHeight - 5);
        const int buttonHeight = count > 0 ? free / count : 0;
        const int top = textHeight + 1 + (count > 0 ? (free % count) / 2 : 0);
        for (int i = 0; i < count; ++i)
            place(m_buttons[static_cast<std::size_t>(i)],
                  RECT{scaled(8, site.dpi), top + i * buttonHeight, width - scaled(2, site.dpi),
                       top + (i + 1) * buttonHeight});
        place(m_frame, RECT{0, 0, width, height});
    }
    static int fontHeight(HFONT font)
    {
        HDC screen = GetDC(nullptr);
        HGDIOBJ old = SelectObject(screen, font);
        TEXTMETRICW metrics{};
        GetTextMetricsW(screen, &metrics);
        SelectObject(screen, old);
        ReleaseDC(nullptr, screen);
        return metrics.tmHeight;
    }
    void updateTabStop()
    {
        const std::size_t stop = static_cast<std::size_t>(std::max(m_index, 0));
        for (std::size_t i = 0; i < m_buttons.size(); ++i) {
            const LONG style = GetWindowLongW(m_buttons[i], GWL_STYLE);
            SetWindowLongW(m_buttons[i], GWL_STYLE,
                           i == stop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
        }
    }

    std::vector<HWND> m_buttons;
    HWND m_frame = nullptr;
    int m_index = -1;
};

} // namespace

std::unique_ptr<Win32Control> makeRadioGroup(const ControlSite &site)
{
    return std::make_unique<Win32RadioGroup>(site);
}
