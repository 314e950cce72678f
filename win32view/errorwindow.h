// The error window, frmError, as a Win32 window: a title, a body that always
// fits (smaller, taller, or scrolling) and a Close button; Esc and Enter close it.
// It runs no loop of its own: the program's loop serves it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vantorel::win32view {

// Shows the message modally over owner and returns at once; then runs once it is closed.
void ShowError(HWND owner, const std::string& title, const std::string& body, std::function<void()> then = {});

}  // namespace vantorel::win32view
