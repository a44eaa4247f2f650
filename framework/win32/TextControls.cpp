// Label (STATIC), one-line edit and multi-line memo (EDIT).
#include "framework/controls/TextControls.h"
#include "framework/core/HandlerGuard.h"
#include "framework/win32/Controls.h"
#include "framework/win32/MainFormLayout.h"
#include "framework/win32/WideText.h"

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
    }

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
