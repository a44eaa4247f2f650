// The serial component's test hook: stands in for its comm calls (serial/CommCalls.h) while it
// lives and, from remove() to restore(), fails them as the driver of a removed USB adapter
// does: the pending wait ends with 995, reads, writes and queries fail with 22 or 1167, the
// abort with 22. A refused read or write leaves its event unsignalled, as the system resets it
// before the driver refuses. Until then, and after restore(), every call goes to the system.
// Header only: nothing in the program uses it.
#pragma once

#include "serial/CommCalls.h"

#include <atomic>
#include <tuple>
#include <type_traits>

class RemovedAdapter
{
public:
    RemovedAdapter() { commCalls() = standIn; }
    ~RemovedAdapter() { commCalls() = CommCalls::system; }
    RemovedAdapter(const RemovedAdapter &) = delete;
    RemovedAdapter &operator=(const RemovedAdapter &) = delete;

    // The adapter goes; a new mask ends the device's pending wait, as the removal does.
    static void remove(HANDLE device, DWORD mask)
    {
        s_removed = true;
        SetCommMask(device, mask);
    }
    // The adapter goes at the start of the next write, which is the first call to fail: the
    // moment a program that writes without waiting meets the loss.
    static void removeAtNextWrite() { s_removeAtWrite = true; }
    static void restore() { s_removed = s_removeAtWrite = false; }

private:
    template<auto Call, auto Other> static constexpr bool is()
    {
        if constexpr (std::is_same_v<decltype(Call), decltype(Other)>)
            return Call == Other;
        return false;
    }

    template<auto Call, DWORD Code,
             class Pointer = std::remove_cvref_t<decltype(CommCalls::system.*Call)>>
    struct Fails;
    template<auto Call, DWORD Code, class... Args> struct Fails<Call, Code, BOOL (*)(Args...)>
    {
        static BOOL call(Args... args)
        {
            constexpr bool write = is<Call, &CommCalls::writeFile>();
            if (write && s_removeAtWrite.exchange(false))
                remove(std::get<0>(std::tie(args...)));
            if (!s_removed) {
                const BOOL result = (CommCalls::system.*Call)(args...);
                // A removal between the check above and the wait's start found no wait to end:
                // end it now, as a removed device ends every wait, keeping the call's error.
                if constexpr (is<Call, &CommCalls::waitCommEvent>()) {
                    if (s_removed) {
                        const DWORD error = GetLastError();
                        endWait(std::get<0>(std::tie(args...)));
                        SetLastError(error);
                    }
                }
                return result;
            }
            if constexpr (write || is<Call, &CommCalls::readFile>()) {
                const OVERLAPPED *overlapped = std::get<4>(std::tie(args...));
                if (overlapped != nullptr && overlapped->hEvent != nullptr)
                    ResetEvent(overlapped->hEvent);
            }
            SetLastError(Code);
            return FALSE;
        }
    };

    // Ends the device's pending wait with its own mask.
    static void endWait(HANDLE device)
    {
        DWORD mask = 0;
        GetCommMask(device, &mask);
        SetCommMask(device, mask);
    }
    static void remove(HANDLE device)
    {
        s_removed = true;
        endWait(device);
    }

    static inline std::atomic<bool> s_removed{false};
    static inline std::atomic<bool> s_removeAtWrite{false};
    static constexpr CommCalls standIn = {Fails<&CommCalls::waitCommEvent, 22>::call,
                                          Fails<&CommCalls::waitResult, 995>::call,
                                          Fails<&CommCalls::readFile, 1167>::call,
                                          Fails<&CommCalls::writeFile, 1167>::call,
                                          Fails<&CommCalls::transferResult, 22>::call,
                                          Fails<&CommCalls::clearCommError, 22>::call,
                                          Fails<&CommCalls::purgeComm, 22>::call,
                                          Fails<&CommCalls::getCommModemStatus, 1167>::call,
                                          Fails<&CommCalls::escapeCommFunction, 1167>::call};
};
