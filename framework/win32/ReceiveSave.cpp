// The receive box's save: a snapshot taken on the UI thread, converted and written on a thread
// of its own, so that tens of megabytes hold up nothing. A failure is reported on the UI
// thread; the box keeps its text.
#include "framework/core/Application.h"
#include "framework/core/Exception.h"
#include "framework/win32/ReceiveBox.h"
#include "framework/win32/WideText.h"

namespace {

// A save converts and writes the text in pieces of this many bytes.
constexpr std::uint64_t SavePiece = std::uint64_t{1} << 20;
constexpr UINT SaveFailedMessage = WM_APP + 1;

std::string systemReason(DWORD code)
{
    wchar_t *text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::string reason = text != nullptr ? fromWide(text) : "error " + std::to_string(code);
    LocalFree(text);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return reason;
}

std::string toUtf8(const std::string &ansi)
{
    const std::wstring wide = toWide(ansi);
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

} // namespace

void Win32ReceiveBox::save(const std::wstring &path, bool received)
{
    joinFinishedSaves();
    std::function<std::string()> receivedBytes;
    if (received)
        receivedBytes = [text = m_model.text().snapshot(),
                         convert = m_source ? m_source() : nullptr] {
            std::string shown = text.slice(0, text.size());
            return convert ? convert(shown) : shown;
        };
    auto job = std::make_unique<Save>();
    Save &started = *job;
    m_saves.push_back(std::move(job));
    HWND box = m_window;
    started.thread = std::thread([&started, box, path, receivedBytes = std::move(receivedBytes),
                                  text = m_model.text().snapshot()] {
        std::string failure;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        const auto write = [&](const std::string &bytes) {
            DWORD written = 0;
            if (failure.empty() && (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                               &written, nullptr) ||
                                    written != bytes.size()))
                failure = systemReason(GetLastError());
        };
        if (file == INVALID_HANDLE_VALUE) {
            failure = systemReason(GetLastError());
        } else {
            try {
                if (receivedBytes) {
                    write(receivedBytes());
                } else {
                    for (std::uint64_t at = 0; at < text.size() && failure.empty(); at += SavePiece)
                        write(toUtf8(text.slice(at, at + SavePiece)));
                }
            } catch (const std::exception &error) {
                failure = error.what();
            }
            CloseHandle(file);
        }
        if (!failure.empty()) {
            auto *message = new std::string("Cannot save \"" + fromWide(path) + "\": " + failure);
            if (!PostMessageW(box, SaveFailedMessage, 0, reinterpret_cast<LPARAM>(message)))
                delete message;
        }
        started.done = true;
    });
}

int Win32ReceiveBox::savesRunning() const
{
    int running = 0;
    for (const auto &save : m_saves)
        running += save->done ? 0 : 1;
    return running;
}

void Win32ReceiveBox::joinFinishedSaves()
{
    for (auto save = m_saves.begin(); save != m_saves.end();) {
        if ((*save)->done) {
            (*save)->thread.join();
            save = m_saves.erase(save);
        } else {
            ++save;
        }
    }
}

bool reportSaveFailure(UINT message, LPARAM lParam)
{
    if (message != SaveFailedMessage)
        return false;
    std::unique_ptr<std::string> text(reinterpret_cast<std::string *>(lParam));
    Application::instance().HandleException(
        Exception(*text, "The box keeps its text; choose another place to save it."));
    return true;
}
