// The error window, frmError, as a Win32 window: a title, a body that always
// fits (smaller, taller, or scrolling) and a Close button; Esc and Enter close it.
#pragma once

#include <windows.h>

#include <string>

namespace vantorel::winshell {

// Shows the message modally over owner and returns once it is closed.
void ShowError(HWND owner, const std::string& title, const std::string& body);

}  // namespace vantorel::winshell
