// Combo box on COMBOBOX: a fixed list (CBS_DROPDOWNLIST) or an editable box (CBS_DROPDOWN),
// sorted when the stored layout says so. Each item's hint is its tool tip in the open list, and
// the chosen item's is the closed box's.
#include "framework/controls/ListControls.h"
#include "framework/win32/Controls.h"
#include "framework/win32/WideText.h"

#include <vector>

namespace {

class Win32ComboBox : public Win32Control, public virtual ComboBox
{
public:
    explicit Win32ComboBox(const ControlSite &site) : Win32Control(std::string(site.row->name))
    {
        const LayoutRow &row = *site.row;
        create(site, L"COMBOBOX",
               WS_TABSTOP | WS_VSCROLL |
                   (row.editable ? CBS_DROPDOWN | CBS_AUTOHSCROLL : CBS_DROPDOWNLIST) |
                   (row.sorted ? CBS_SORT : 0));
        fit(site);
        for (std::string_view item : row.items)
            addItem(std::string(item));
        // A stored list starts at its first item, as the layout's own toolkit shows it.
        if (!row.items.empty())
            setItemIndex(0);
        COMBOBOXINFO box{};
        box.cbSize = sizeof box;
        GetComboBoxInfo(m_window, &box);
        m_list = box.hwndList;
        SetWindowSubclass(m_list, relayToTips, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    ~Win32ComboBox() override { RemoveWindowSubclass(m_list, relayToTips, 0); }

    int addItem(const std::string &text) override
    {
        const int index = static_cast<int>(SendMessageW(
            m_window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(text).c_str())));
        if (index >= 0)
            m_hints.insert(m_hints.begin() + std::min<std::size_t>(index, m_hints.size()),
                           std::string());
        placeItemTips();
        return index;
    }
    void deleteItem(int index) override
    {
        if (SendMessageW(m_window, CB_DELETESTRING, static_cast<WPARAM>(index), 0) != CB_ERR &&
            static_cast<std::size_t>(index) < m_hints.size())
            m_hints.erase(m_hints.begin() + index);
        placeItemTips();
        showHint();
    }
    void clearItems() override
    {
        SendMessageW(m_window, CB_RESETCONTENT, 0, 0);
        m_hints.clear();
        placeItemTips();
        showHint();
    }
    int count() const override
    {
        return static_cast<int>(SendMessageW(m_window, CB_GETCOUNT, 0, 0));
    }
    std::string item(int index) const override
    {
        const LRESULT length =
            SendMessageW(m_window, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length == CB_ERR)
            return {};
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        SendMessageW(m_window, CB_GETLBTEXT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(length));
        return fromWide(text);
    }
    int itemIndex() const override
    {
        return static_cast<int>(SendMessageW(m_window, CB_GETCURSEL, 0, 0));
    }
    void setItemIndex(int index) override
    {
        SendMessageW(m_window, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        showHint();
    }
    std::string text() const override
    {
        if (editable())
            return windowText(m_window);
        const int index = itemIndex();
        return index >= 0 ? item(index) : std::string();
    }
    void setText(const std::string &text) override
    {
        if (editable()) {
            setWindowText(m_window, text);
            return;
        }
        setItemIndex(
            static_cast<int>(SendMessageW(m_window, CB_FINDSTRINGEXACT, WPARAM(-1),
                                          reinterpret_cast<LPARAM>(toWide(text).c_str()))));
    }
    void setItemHint(int index, const std::string &hint) override
    {
        if (index >= 0 && static_cast<std::size_t>(index) < m_hints.size())
            m_hints[static_cast<std::size_t>(index)] = hint;
        placeItemTips();
        showHint();
    }
    void choose(int index) override
    {
        if (!IsWindowEnabled(m_window) || index < 0 || index >= count())
            return;
        setItemIndex(index);
        if (editable())
            setWindowText(m_window, item(index));
        fire(onChange);
    }

    void rescale(const ControlSite &site) override
    {
        setFont(site.font);
        fit(site);
    }
    void command(HWND, int code) override
    {
        switch (code) {
        case CBN_DROPDOWN:
            fire(onDropDown);
            break;
        case CBN_SELCHANGE:
            // The edit field of an editable box takes the chosen text only after this
            // notification: it is given it here, so that the slot reads the new text.
            if (editable() && itemIndex() >= 0)
                setWindowText(m_window, item(itemIndex()));
            showHint();
            fire(onChange);
            break;
        case CBN_EDITCHANGE:
            fire(onChange);
            break;
        default:
            break;
        }
    }

private:
    void fit(const ControlSite &site)
    {
        RECT open = site.place;
        open.bottom += scaled(8 * site.row->height, site.dpi); // the open list
        place(m_window, open);
        // The closed box as high as stored: the selection field's height is the item height
        // plus the borders.
        RECT closed{};
        GetWindowRect(m_window, &closed);
        const int field = static_cast<int>(SendMessageW(m_window, CB_GETITEMHEIGHT, WPARAM(-1), 0));
        const int borders = (closed.bottom - closed.top) - field;
        const int wanted = (site.place.bottom - site.place.top) - borders;
        if (wanted > 0)
            SendMessageW(m_window, CB_SETITEMHEIGHT, WPARAM(-1), wanted);
    }
    bool editable() const { return (GetWindowLongW(m_window, GWL_STYLE) & 3) == CBS_DROPDOWN; }
    void showHint()
    {
        const int index = itemIndex();
        setToolTip(m_window, index >= 0 && static_cast<std::size_t>(index) < m_hints.size()
                                 ? m_hints[static_cast<std::size_t>(index)]
                                 : std::string());
    }

    // One tool of the form's tip window per item with a hint, over the item's row of the list.
    void placeItemTips()
    {
        if (m_tooltips == nullptr || m_list == nullptr)
            return;
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE; // Common Controls 5 refuses a larger one
        tool.hwnd = m_list;
        for (tool.uId = 0; tool.uId < m_placedTips; ++tool.uId)
            SendMessageW(m_tooltips, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        m_placedTips = m_hints.size();
        m_placedTop = SendMessageW(m_list, LB_GETTOPINDEX, 0, 0);
        for (tool.uId = 0; tool.uId < m_hints.size(); ++tool.uId) {
            std::wstring text = toWide(m_hints[tool.uId]);
            if (text.empty())
                continue;
            tool.lpszText = text.data();
            SendMessageW(m_list, LB_GETITEMRECT, tool.uId, reinterpret_cast<LPARAM>(&tool.rect));
            SendMessageW(m_tooltips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    // The open list's mouse messages, for the tip window to show the item's tip under the
    // mouse; the tips follow their items when the list has scrolled.
    static LRESULT CALLBACK relayToTips(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR self)
    {
        auto *box = reinterpret_cast<Win32ComboBox *>(self);
        if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && box->m_tooltips != nullptr) {
            if (SendMessageW(list, LB_GETTOPINDEX, 0, 0) != box->m_placedTop)
                box->placeItemTips();
            MSG relayed{};
            relayed.hwnd = list;
            relayed.message = message;
            relayed.wParam = wParam;
            relayed.lParam = lParam;
            SendMessageW(box->m_tooltips, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
        }
        return DefSubclassProc(list, message, wParam, lParam);
    }

    std::vector<std::string> m_hints; // by item
    HWND m_list = nullptr;            // the open list
    std::size_t m_placedTips = 0;
    LRESULT m_placedTop = 0;
};

} // namespace

std::unique_ptr<Win32Control> makeComboBox(const ControlSite &site)
{
    return std::make_unique<Win32ComboBox>(site);
}
