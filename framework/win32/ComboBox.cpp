// Combo box on COMBOBOX: a fixed list (CBS_DROPDOWNLIST) or an editable box (CBS_DROPDOWN),
// sorted when the stored layout says so. The chosen item's hint is the box's tool tip.
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
    }

    int addItem(const std::string &text) override
    {
        const int index = static_cast<int>(SendMessageW(
            m_window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(text).c_str())));
        if (index >= 0)
            m_hints.insert(m_hints.begin() + std::min<std::size_t>(index, m_hints.size()), {});
        return index;
    }
    void deleteItem(int index) override
    {
        if (SendMessageW(m_window, CB_DELETESTRING, static_cast<WPARAM>(index), 0) != CB_ERR &&
            static_cast<std::size_t>(index) < m_hints.size())
            m_hints.erase(m_hints.begin() + index);
        showHint();
    }
    void clearItems() override
    {
        SendMessageW(m_window, CB_RESETCONTENT, 0, 0);
        m_hints.clear();
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

    std::vector<std::string> m_hints; // by item
};

} // namespace

std::unique_ptr<Win32Control> makeComboBox(const ControlSite &site)
{
    return std::make_unique<Win32ComboBox>(site);
}
