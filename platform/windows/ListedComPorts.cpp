#include "platform/ComNames.h"

#include <algorithm>
#include <windows.h>

std::vector<int> listedComPorts()
{
    std::vector<int> numbers;
    HKEY key = nullptr;
    // The key is missing until a driver has entered a port.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return numbers;
    for (DWORD index = 0;; ++index) {
        char valueName[256];
        DWORD valueNameSize = sizeof valueName;
        char data[32];
        DWORD dataSize = sizeof data - 1;
        DWORD type = REG_NONE;
        const LONG result = RegEnumValueA(key, index, valueName, &valueNameSize, nullptr, &type,
                                          reinterpret_cast<BYTE *>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        // A name or text too long for a COM port is some other driver's entry.
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        // The stored text need not end in a null.
        data[dataSize] = '\0';
        if (const int number = comPortNumber(data); number != 0)
            numbers.push_back(number);
    }
    RegCloseKey(key);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}
