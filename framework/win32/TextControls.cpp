// Label (STATIC), one-line edit and multi-line memo (EDIT).
#include "framework/controls/TextControls.h"
#include "framework/core/HandlerGuard.h"
#include "framework/win32/Controls.h"
#include "framework/win32/MainFormLayout.h"
#include "framework/win32/WideText.h"

#include <windowsx.h>

#include <algorithm>

namespace {

class Win32Label : public Win32Control, public virtual Label
{
public:
    explicit Win32Label(const ControlSite &site) : Win32Control(std::string(site.row->name))
    {
        // SS_NOPREFIX: stored captions show "&" as it is; a caption too long is cut, not wrapped.
        create(site, L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, std::string(site.row->caption));
        fit(site);
    }
    std::string caption() const override { return windowText(m_window); }
    void setCaption(const std::string &caption) override { setWindowText(m_window, caption); }
    void rescale(const ControlSite &site) override
    {
        setFont(site.font);
        fit(site);
    }

private:
    // The fonts here are wider than the stored layout's toolkit measured them: a label that
    // names a control to its right may grow towards it as far as its stored caption needs.
    void fit(const ControlSite &site)
    {
        RECT place = site.place;
        const std::string_view buddy = layoutProperty(*site.row, "buddy");
        for (const LayoutRow &row : mainFormLayout()) {
            if (buddy.empty() || row.name != buddy || row.parent != site.row->parent)
                continue;
            HDC dc = GetDC(m_window);
            HGDIOBJ old = SelectObject(dc, site.font);
            const std::wstring text = toWide(std::string(site.row->caption));
            SIZE extent{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            SelectObject(dc, old);
            ReleaseDC(m_window, dc);
            const LONG limit = scaled(row.x - 4, site.dpi);
            place.right = std::max(place.right, std::min(place.left + extent.cx, limit));
        }
        ::place(m_window, place);
    }
};

template<class Interface> class EditOf : public Win32Control, public virtual Interface
{
public:
    EditOf(const ControlSite &site, DWORD style) : Win32Control(std::string(site.row->name))
    {
        create(site, L"EDIT", WS_TABSTOP | style, WS_EX_CLIENTEDGE, std::string(site.row->caption));
        SetWindowSubclass(m_window, menuOf, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~EditOf() override { RemoveWindowSubclass(m_window, menuOf, 1); }

    std::string text() const override { return windowText(m_window); }
    void setText(const std::string &text) override
    {
        // The edit reports the change (EN_CHANGE), which runs onChange.
        if (text != this->text())
            setWindowText(m_window, text);
    }
    bool readOnly() const override
    {
        return (GetWindowLongW(m_window, GWL_STYLE) & ES_READONLY) != 0;
    }
    void setHint(const std::string &hint) override { setToolTip(m_window, hint); }
    void command(HWND, int code) override
    {
        if (code == EN_CHANGE)
            fire(this->onChange);
    }

private:
    // With the owner's choices the box shows a menu of its own: the edit's usual commands,
    // then the choices. Without them the edit's own menu stays.
    static LRESULT CALLBACK menuOf(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR self)
    {
        auto *edit = reinterpret_cast<EditOf *>(self);
        if (message == WM_CONTEXTMENU && !edit->choices().empty()) {
            edit->showMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        }
        return DefSubclassProc(window, message, wParam, lParam);
    }

    void showMenu(int x, int y)
    {
        if (x == -1 && y == -1) { // from the keyboard: at the box
            RECT box{};
            GetWindowRect(m_window, &box);
            x = box.left + 8;
            y = box.top + 8;
        }
        SetFocus(m_window);
        DWORD from = 0, to = 0;
        SendMessageW(m_window, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                     reinterpret_cast<LPARAM>(&to));
        const UINT selected = from != to ? MF_ENABLED : MF_GRAYED;
        const UINT writable = readOnly() ? MF_GRAYED : MF_ENABLED;
        const UINT undo = SendMessageW(m_window, EM_CANUNDO, 0, 0) ? MF_ENABLED : MF_GRAYED;
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING | undo | writable, WM_UNDO, L"&Undo");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING | selected | writable, WM_CUT, L"Cu&t");
        AppendMenuW(menu, MF_STRING | selected, WM_COPY, L"&Copy");
        AppendMenuW(menu, MF_STRING | writable, WM_PASTE, L"&Paste");
        AppendMenuW(menu, MF_STRING | selected | writable, WM_CLEAR, L"&Delete");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, EM_SETSEL, L"Select &All");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        const std::vector<MenuChoice> &choices = this->choices();
        for (std::size_t c = 0; c < choices.size(); ++c) {
            const UINT first = FirstChoiceItem + static_cast<UINT>(c * ChoiceItems);
            if (choices[c].items.empty()) {
                AppendMenuW(menu, MF_STRING, first + ChoiceItems - 1,
                            toWide(choices[c].title).c_str());
                continue;
            }
            HMENU sub = CreatePopupMenu();
            for (std::size_t i = 0; i + 1 < ChoiceItems && i < choices[c].items.size(); ++i) {
                const bool checked = static_cast<int>(i) == choices[c].chosen;
                AppendMenuW(sub, MF_STRING | (checked ? MF_CHECKED : MF_UNCHECKED),
                            first + static_cast<UINT>(i), toWide(choices[c].items[i]).c_str());
            }
            // The submenu belongs to the menu from here on and goes with it.
            AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub),
                        toWide(choices[c].title).c_str());
        }
        const auto chosen = static_cast<UINT>(TrackPopupMenu(
            menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, m_window, nullptr));
        DestroyMenu(menu);
        if (chosen == EM_SETSEL) {
            SendMessageW(m_window, EM_SETSEL, 0, -1);
        } else if (chosen != 0 && chosen < FirstChoiceItem) {
            SendMessageW(m_window, chosen, 0, 0);
        } else if (chosen >= FirstChoiceItem) {
            const int choice = static_cast<int>((chosen - FirstChoiceItem) / ChoiceItems);
            const UINT item = (chosen - FirstChoiceItem) % ChoiceItems;
            runGuarded([&] {
                this->choose(choice, item == ChoiceItems - 1 ? -1 : static_cast<int>(item));
            });
        }
    }

    // The identifiers of the owner's items, above the edit's commands (messages below 0x400).
    static constexpr UINT FirstChoiceItem = 0x1000;
    static constexpr UINT ChoiceItems = 0x40; // items per choice at most; the last: a command
};

// Lines end in "\n" for the handlers, in "\r\n" inside the control.
std::string toControlLines(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n' && (out.empty() || out.back() != '\r'))
            out += '\r';
        out += c;
    }
    return out;
}

class Win32Memo : public EditOf<Memo>
{
public:
    // No scroll bar, as the window's table has it: the box reaches past the page's right
    // edge, where a bar would be cut off; typing still scrolls it.
    explicit Win32Memo(const ControlSite &site)
        : EditOf(site, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN)
    {
        SetWindowSubclass(m_window, typing, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    ~Win32Memo() override { RemoveWindowSubclass(m_window, typing, 0); }

    std::string text() const override
    {
        std::string text = windowText(m_window);
        std::string out;
        out.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
                out += text[i];
        }
        return out;
    }
    void setText(const std::string &text) override
    {
        if (text != this->text())
            setWindowText(m_window, toControlLines(text));
    }
    void clear() override { setText({}); }
    void type(char key) override
    {
        const std::wstring wide = toWide(std::string_view(&key, 1));
        SendMessageW(m_window, WM_CHAR, wide.empty() ? 0 : wide[0], 0);
    }

private:
    static LRESULT CALLBACK typing(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR self)
    {
        if (message == WM_CHAR) {
            auto *memo = reinterpret_cast<Win32Memo *>(self);
            const wchar_t typed = static_cast<wchar_t>(wParam);
            std::string key = fromWide(std::wstring_view(&typed, 1));
            char character = key.empty() ? '?' : key[0];
            const char typedCharacter = character;
            // A handler that fails swallows nothing: the key goes in as typed.
            if (memo->onKeyPress && !runGuarded([&] { memo->onKeyPress(memo, character); }))
                character = typedCharacter;
            if (character == 0)
                return 0;
            const std::wstring back = toWide(std::string_view(&character, 1));
            wParam = back.empty() ? wParam : back[0];
        }
        return DefSubclassProc(window, message, wParam, lParam);
    }
};

} // namespace

std::unique_ptr<Win32Control> makeLabel(const ControlSite &site)
{
    return std::make_unique<Win32Label>(site);
}

std::unique_ptr<Win32Control> makeEdit(const ControlSite &site, bool readOnly)
{
    return std::make_unique<EditOf<Edit>>(site, ES_AUTOHSCROLL | (readOnly ? ES_READONLY : 0));
}

std::unique_ptr<Win32Control> makeMemo(const ControlSite &site)
{
    return std::make_unique<Win32Memo>(site);
}
