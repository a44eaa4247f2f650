// The toolkit's start and message loop, and the error box.
#include "framework/controls/Window.h"
#include "framework/core/EventLoop.h"
#include "framework/core/HandlerGuard.h"
#include "framework/win32/WideText.h"
#include "framework/win32/Win32Form.h"

#include <commctrl.h>
#include <objbase.h>

#include <utility>

namespace {

// What runMessageLoop's caller wants done when the last window closes; UI thread only.
std::function<void()> g_lastWindowClosed;

class Win32Toolkit : public Toolkit
{
public:
    Win32Toolkit()
    {
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

void lastFormClosed()
{
    EventLoop::recordQuit();
    PostQuitMessage(0);
    if (g_lastWindowClosed)
        runGuarded([] { std::exchange(g_lastWindowClosed, nullptr)(); });
}

int runMessageLoop(const std::function<void()> &lastWindowClosed)
{
    // The main window posts the quit message when it is destroyed (lastFormClosed).
    EventLoop::forgetQuit();
    g_lastWindowClosed = lastWindowClosed;
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!isDialogMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // A loop ended by a quit that no window posted still tells its caller.
    if (g_lastWindowClosed)
        runGuarded([] { std::exchange(g_lastWindowClosed, nullptr)(); });
    EventLoop::forgetQuit();
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
