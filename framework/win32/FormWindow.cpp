// The main window from the stored layout: every row of mainFormLayout() as a Win32 control at
// its place, in the table's order (which is the tab order), in the fonts of the stored style
// sheet; the client area is the table's size at 96 dpi, scaled to its monitor's dots per inch,
// and scaled anew when the window moves to a monitor of another scale.
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

HFONT makeFont(const wchar_t *face, bool bold, int dpi)
{
    LOGFONTW font{};
    font.lfHeight = -scaled(16, dpi);
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
        const std::vector<LayoutRow> &rows = mainFormLayout();
        const LayoutRow &form = rows.front();
        const DWORD style =
            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
        m_dpi = windowDpi(nullptr);
        SIZE frame = frameSize(scaled(form.width, m_dpi), scaled(form.height, m_dpi), style,
                               WS_EX_CONTROLPARENT, m_dpi);
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        m_window =
            CreateWindowExW(WS_EX_CONTROLPARENT, formClassName(), toWide(form.caption).c_str(),
                            style, work.left + (work.right - work.left - frame.cx) / 2,
                            work.top + (work.bottom - work.top - frame.cy) / 2, frame.cx, frame.cy,
                            nullptr, nullptr, GetModuleHandleW(nullptr), this);
        openForms().insert(m_window);
        // Made on a monitor whose scale is not the system's.
        if (const int dpi = windowDpi(m_window); dpi != m_dpi) {
            m_dpi = dpi;
            frame = frameSize(scaled(form.width, dpi), scaled(form.height, dpi), style,
                              WS_EX_CONTROLPARENT, dpi);
            SetWindowPos(m_window, nullptr, 0, 0, frame.cx, frame.cy,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        makeFonts();
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
    ControlSite siteOf(const LayoutRow &row, int id) const
    {
        ControlSite site;
        site.row = &row;
        site.id = id;
        site.tooltips = m_tooltips;
        site.font = fontOf(row.name);
        site.dpi = m_dpi;
        site.place = RECT{scaled(row.x, m_dpi), scaled(row.y, m_dpi),
                          scaled(row.x + row.width, m_dpi), scaled(row.y + row.height, m_dpi)};
        const auto parent = m_byName.find(row.parent);
        site.parent = parent != m_byName.end() ? parent->second->window() : m_window;
        return site;
    }
    void add(const LayoutRow &row, int id)
    {
        const ControlSite site = siteOf(row, id);
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

    // The stored style sheet's fonts, at the window's dpi.
    void makeFonts()
    {
        m_boldFont = makeFont(L"Courier New", true, m_dpi);
        m_plainFont = makeFont(L"Courier New", false, m_dpi);
        m_titleFont = makeFont(L"Courier", true, m_dpi);
    }
    HFONT fontOf(std::string_view name) const
    {
        if (name == "EditSendRun")
            return m_plainFont;
        if (name == "Label17" || name == "Label18" || name == "Label19" || name == "Label8")
            return m_titleFont;
        return m_boldFont;
    }

    // Moved to a monitor of another scale: fonts and places at its dpi, in the window
    // rectangle Windows suggests for it.
    void dpiChanged(int dpi, const RECT &suggested)
    {
        const HFONT old[] = {m_boldFont, m_plainFont, m_titleFont};
        m_dpi = dpi;
        makeFonts();
        const std::vector<LayoutRow> &rows = mainFormLayout();
        for (std::size_t i = 1; i < rows.size(); ++i) {
            const auto control = m_byName.find(rows[i].name);
            if (control != m_byName.end())
                control->second->rescale(siteOf(rows[i], 0));
        }
        SetWindowPos(m_window, nullptr, suggested.left, suggested.top,
                     suggested.right - suggested.left, suggested.bottom - suggested.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        RedrawWindow(m_window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
        for (HFONT font : old)
            DeleteObject(font);
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
        case WM_DPICHANGED:
            if (self != nullptr)
                self->dpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT *>(lParam));
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
    HFONT m_boldFont = nullptr, m_plainFont = nullptr, m_titleFont = nullptr;
    int m_dpi = 96;
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
