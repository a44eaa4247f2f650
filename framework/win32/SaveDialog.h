// The system's save dialog (GetSaveFileNameW) for askSaveFileName and the receive box.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// filters: "Text files (*.txt)", several separated by ";;"; the first pattern of the chosen
// one gives the default extension. chosenFilter (when given) gets the chosen one's index.
std::optional<std::wstring> askSavePath(HWND owner, const std::string &title,
                                        const std::string &suggested, const std::string &filters,
                                        int *chosenFilter = nullptr);
