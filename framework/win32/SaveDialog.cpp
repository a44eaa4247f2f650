#include "framework/win32/SaveDialog.h"

#include "framework/controls/Services.h"
#include "framework/win32/WideText.h"

#include <commdlg.h>
#include <vector>

namespace {

struct Filter
{
    std::wstring text, patterns, extension;
};

std::vector<Filter> parseFilters(const std::string &filters)
{
    std::vector<Filter> parsed;
    std::size_t start = 0;
    while (start <= filters.size()) {
        std::size_t end = filters.find(";;", start);
        if (end == std::string::npos)
            end = filters.size();
        const std::string one = filters.substr(start, end - start);
        start = end + 2;
        if (one.empty())
            continue;
        Filter filter{toWide(one), L"*.*", L""};
        const std::size_t open = one.rfind('('), close = one.rfind(')');
        if (open != std::string::npos && close != std::string::npos && close > open) {
            std::string patterns = one.substr(open + 1, close - open - 1);
            for (char &c : patterns)
                c = c == ' ' ? ';' : c;
            filter.patterns = toWide(patterns);
            const std::size_t dot = patterns.find("*.");
            if (dot != std::string::npos) {
                const std::string extension =
                    patterns.substr(dot + 2, patterns.find(';', dot) - dot - 2);
                if (extension != "*")
                    filter.extension = toWide(extension);
            }
        }
        parsed.push_back(filter);
    }
    return parsed;
}

} // namespace

std::optional<std::wstring> askSavePath(HWND owner, const std::string &title,
                                        const std::string &suggested, const std::string &filters,
                                        int *chosenFilter)
{
    const std::vector<Filter> parsed = parseFilters(filters);
    std::wstring filterText;
    for (const Filter &filter : parsed)
        filterText += filter.text + L'\0' + filter.patterns + L'\0';
    filterText += L'\0';
    std::wstring path = toWide(suggested);
    path.resize(32768, L'\0');
    const std::wstring wideTitle = toWide(title);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filterText.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = wideTitle.c_str();
    dialog.lpstrDefExt =
        parsed.empty() || parsed[0].extension.empty() ? nullptr : parsed[0].extension.c_str();
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog))
        return std::nullopt;
    if (chosenFilter != nullptr)
        *chosenFilter = static_cast<int>(dialog.nFilterIndex) - 1;
    path.resize(wcslen(path.c_str()));
    return path;
}

std::optional<std::string> askSaveFileName(const std::string &title, const std::string &suggested,
                                           const std::string &filter)
{
    const std::optional<std::wstring> path =
        askSavePath(GetActiveWindow(), title, suggested, filter);
    if (!path)
        return std::nullopt;
    // The file system's 8-bit encoding: the system's code page.
    const int size =
        WideCharToMultiByte(CP_ACP, 0, path->c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, path->c_str(), -1, ansi.data(), size, nullptr, nullptr);
    ansi.resize(ansi.size() - 1);
    return ansi;
}
