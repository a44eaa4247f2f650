// The toolkit's start and message loop, and the error box.
#include "framework/controls/Window.h"
#include "framework/core/HandlerGuard.h"
#include "framework/win32/WideText.h"
#include "framework/win32/Win32Form.h"

#include <commctrl.h>
#include <objbase.h>

namespace {

class Win32Toolkit : public Toolkit
{
public:
    Win32Toolkit()
    {
        // The window scales its stored layout to the screen's dots per inch itself, so the
        // system must not stretch it as a bitmap.
        SetProcessDPIAware();
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES |
                                                           ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        m_com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    ~Win32Toolkit() override
    {
        if (m_com)
            CoUninitialize();
    }

private:
    bool m_com = false;
};

} // namespace

std::unique_ptr<Toolkit> startToolkit(int &, char **)
{
    return std::make_unique<Win32Toolkit>();
}

int runMessageLoop(const std::function<void()> &lastWindowClosed)
{
    // The main window posts the quit message when it is destroyed.
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!isDialogMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (lastWindowClosed)
        runGuarded([&] { lastWindowClosed(); });
    return static_cast<int>(message.wParam);
}

std::string programName()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\/") + 1);
    const std::size_t dot = name.rfind(L'.');
    return fromWide(dot == std::wstring::npos ? name : name.substr(0, dot));
}

void showErrorBox(const std::string &message, const std::string &advice)
{
    std::string text = message;
    if (!advice.empty())
        text += "\n\n" + advice;
    MessageBoxW(GetActiveWindow(), toWide(text).c_str(), toWide(programName()).c_str(),
                MB_OK | MB_ICONERROR);
}
