// The user32 subset the serial port's window-sync mode needs, with the Windows names, plus
// hidden message windows bound to a procedure. Message windows belong to the UI thread:
// SendMessageA from the UI thread calls the procedure directly; from any other thread it
// queues the message to the UI thread and blocks until the procedure has returned there or
// has released it with ReplyMessage. The UI thread serves such messages in ProcessMessages,
// WaitMessage, Thread::WaitFor and the toolkit's own event loop.
// On Windows these are the system's own functions and message windows are real HWND_MESSAGE
// windows of the thread that allocates them (the UI thread); an exception that a procedure
// lets out goes to the handler guard there too, with result 0.
#pragma once

#include "platform/win32types.h"

#include <functional>

#ifdef _WIN32
#include <windows.h>
#else

constexpr UINT WM_USER = 0x0400;

// 0 at once for a window that does not exist (any more); 0 also when a pending message is
// released because its window is destroyed, or when the procedure threw (the exception went
// to the UI thread's handler guard).
LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// TRUE while the UI thread processes a message that another thread sent.
BOOL InSendMessage();
// Releases the thread that sent the message being processed, with lResult as the result of
// its SendMessageA; TRUE if there was such a thread still waiting.
BOOL ReplyMessage(LRESULT lResult);
// Message windows have no default behaviour: 0.
LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

#endif

using MessageWindowProc = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;

// Creates a hidden message window whose procedure is proc. Window handles are never reused.
HWND allocateMessageWindow(MessageWindowProc proc);
// Destroys it: later sends return 0 at once and sends still queued are released with 0. A
// procedure that is running meanwhile finishes normally.
void deallocateMessageWindow(HWND window);
