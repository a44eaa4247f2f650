// The receive box's save: a snapshot taken on the UI thread, converted and written on a thread
// of its own, so that tens of megabytes hold up nothing. The file is written in place; a
// failure gives the system's reason.
#include "framework/win32/ReceiveBox.h"
#include "framework/win32/WideText.h"

#include <stdexcept>

namespace {

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

[[noreturn]] void failWithLastError()
{
    throw std::runtime_error(systemReason(GetLastError()));
}

class Win32SaveFile final : public BackgroundSave::File
{
public:
    explicit Win32SaveFile(const std::wstring &path)
        : m_file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr))
    {
        if (m_file == INVALID_HANDLE_VALUE)
            failWithLastError();
    }
    ~Win32SaveFile() override { CloseHandle(m_file); }
    Win32SaveFile(const Win32SaveFile &) = delete;
    Win32SaveFile &operator=(const Win32SaveFile &) = delete;

    void write(std::string_view bytes) override
    {
        DWORD written = 0;
        if (!WriteFile(m_file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size())
            failWithLastError();
    }
    void finish() override {}

private:
    HANDLE m_file;
};

} // namespace

std::unique_ptr<BackgroundSave::File> openFileInPlace(const std::wstring &path)
{
    return std::make_unique<Win32SaveFile>(path);
}

void Win32ReceiveBox::save(const std::wstring &path, bool received)
{
    std::function<std::string()> receivedBytes;
    if (received && m_source)
        receivedBytes = [text = m_model.text().snapshot(), convert = m_source()] {
            std::string shown = text.slice(0, text.size());
            return convert ? convert(shown) : shown;
        };
    m_saves.start(
        fromWide(path), [path] { return openFileInPlace(path); },
        m_model.saveContent(received ? ReceiveModel::SaveForm::Received
                                     : ReceiveModel::SaveForm::Text,
                            std::move(receivedBytes)));
}
