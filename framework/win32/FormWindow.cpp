// The main window from the stored layout: every row of mainFormLayout() as a Win32 control at
// its place, in the table's order (which is the tab order), in the fonts of the stored style
// sheet; the client area is the table's size at 96 dpi, scaled to the screen's dots per inch.
#include "framework/controls/Window.h"
#include "framework/win32/Accessible.h"
#include "framework/win32/Controls.h"
#include "framework/win32/MainFormLayout.h"
#include "framework/win32/WideText.h"
#include "framework/win32/Win32Form.h"
#include "framework/win32/Win32Timer.h"

#include "framework/core/HandlerGuard.h"

#include <map>
#include <set>
#include <vector>

namespace {

std::set<HWND> &openForms()
{
    static std::set<HWND> forms;
    return forms;
}

HFONT makeFont(const wchar_t *face, bool bold)
{
    LOGFONTW font{};
    font.lfHeight = -scaled(16);
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = ANSI_CHARSET;
    font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    font.lfQuality = CLEARTYPE_QUALITY;
    wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirectW(&font);
}

class Win32FormWindow : public FormWindow
{
public:
    Win32FormWindow()
    {
        m_boldFont = makeFont(L"Courier New", true);
        m_plainFont = makeFont(L"Courier New", false);
        m_titleFont = makeFont(L"Courier", true);
        const std::vector<LayoutRow> &rows = mainFormLayout();
        const LayoutRow &form = rows.front();
        const DWORD style =
            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
        RECT frame{0, 0, scaled(form.width), scaled(form.height)};
        AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT);
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        const int width = frame.right - frame.left, height = frame.bottom - frame.top;
        m_window =
            CreateWindowExW(WS_EX_CONTROLPARENT, formClassName(), toWide(form.caption).c_str(),
                            style, work.left + (work.right - work.left - width) / 2,
                            work.top + (work.bottom - work.top - height) / 2, width, height,
                            nullptr, nullptr, GetModuleHandleW(nullptr), this);
        openForms().insert(m_window);
        m_tooltips =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
        try {
            for (std::size_t i = 1; i < rows.size(); ++i)
                add(rows[i], 100 + static_cast<int>(i) * 8);
        } catch (...) {
            // A picture that cannot be decoded: nothing of the half-built window stays.
            destroy();
            throw;
        }
        for (const auto &control : m_controls)
            control->finish();
    }
    ~Win32FormWindow() override { destroy(); }

    Control *find(std::string_view name) const override
    {
        const auto found = m_byName.find(name);
        return found != m_byName.end() ? found->second : nullptr;
    }
    void show() override
    {
        ShowWindow(m_window, SW_SHOW);
        SetForegroundWindow(m_window);
        // The first control in the tab order has the focus, as in a dialog.
        if (HWND first = GetNextDlgTabItem(m_window, nullptr, FALSE))
            SetFocus(first);
        UpdateWindow(m_window);
    }
    void close() override { SendMessageW(m_window, WM_CLOSE, 0, 0); }
    std::unique_ptr<Timer> createTimer() override { return std::make_unique<Win32Timer>(); }

private:
    void add(const LayoutRow &row, int id)
    {
        ControlSite site;
        site.row = &row;
        site.id = id;
        site.tooltips = m_tooltips;
        site.font = fontOf(row.name);
        site.place = RECT{scaled(row.x), scaled(row.y), scaled(row.x + row.width),
                          scaled(row.y + row.height)};
        const auto parent = m_byName.find(row.parent);
        site.parent = parent != m_byName.end() ? parent->second->window() : m_window;
        const std::string_view kind = row.className;
        std::unique_ptr<Win32Control> control;
        if (row.page >= 0)
            control = makeTabPage(site);
        else if (kind == "TabControl")
            control = makeTabControl(site);
        else if (kind == "Page" || kind == "Panel")
            control = makePanel(site, false);
        else if (kind == "GroupBox")
            control = makePanel(site, true);
        else if (kind == "RadioGroup")
            control = makeRadioGroup(site);
        else if (kind == "Button")
            control = makeButton(site);
        else if (kind == "CheckBox")
            control = makeCheckBox(site);
        else if (kind == "Label")
            control = makeLabel(site);
        else if (kind == "Edit")
            control = makeEdit(site, layoutProperty(row, "readOnly") == "true");
        else if (kind == "Memo")
            control = makeMemo(site);
        else if (kind == "ComboBox")
            control = makeComboBox(site);
        else if (kind == "ScrollBar")
            control = makeScrollBar(site);
        else if (kind == "SpinBox")
            control = makeSpinBox(site);
        else if (kind == "Picture")
            control = makePicture(site, layoutProperty(row, "source"));
        else if (kind == "RoundTripChart")
            control = makeRoundTripChart(site);
        else if (kind == "ReceiveBox")
            control = makeReceiveBox(site);
        if (control == nullptr)
            return;
        if (!row.enabled)
            control->setEnabled(false);
        // Our own controls (the receive box, the chart) answer with their names themselves.
        if (kind != "ReceiveBox" && kind != "RoundTripChart")
            nameForReaders(control->window(), std::string(layoutProperty(row, "accessibleName")));
        m_byName.emplace(control->name(), control.get());
        m_controls.push_back(std::move(control));
    }

    void destroy()
    {
        if (m_window != nullptr)
            DestroyWindow(m_window);
        m_controls.clear();
        for (HFONT font : {m_boldFont, m_plainFont, m_titleFont})
            DeleteObject(font);
        m_boldFont = m_plainFont = m_titleFont = nullptr;
    }

    // The stored style sheet's fonts.
    HFONT fontOf(std::string_view name) const
    {
        if (name == "EditSendRun")
            return m_plainFont;
        if (name == "Label17" || name == "Label18" || name == "Label19" || name == "Label8")
            return m_titleFont;
        return m_boldFont;
    }

    void closedByUser()
    {
        if (m_closing)
            return;
        m_closing = true;
        if (onClose)
            runGuarded([&] { onClose(); });
        DestroyWindow(m_window);
    }

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
            SetPropW(window, L"ZephraForm", create->lpCreateParams);
        }
        auto *self = static_cast<Win32FormWindow *>(GetPropW(window, L"ZephraForm"));
        LRESULT result = 0;
        if (forwardToControl(message, wParam, lParam, result))
            return result;
        switch (message) {
        case WM_CLOSE:
            if (self != nullptr)
                self->closedByUser();
            return 0;
        case WM_DESTROY:
            RemovePropW(window, L"ZephraForm");
            if (self != nullptr)
                self->m_window = nullptr;
            openForms().erase(window);
            if (openForms().empty())
                lastFormClosed();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    static const wchar_t *formClassName()
    {
        return windowClass(L"ZephraForm", procedure, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    }

    HWND m_window = nullptr;
    HWND m_tooltips = nullptr;
    HFONT m_boldFont, m_plainFont, m_titleFont;
    std::vector<std::unique_ptr<Win32Control>> m_controls;
    std::map<std::string, Win32Control *, std::less<>> m_byName;
    bool m_closing = false;
};

} // namespace

bool isFormWindow(HWND window)
{
    return openForms().count(window) == 1;
}

std::unique_ptr<FormWindow> createMainFormWindow()
{
    return std::make_unique<Win32FormWindow>();
}
