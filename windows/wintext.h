// Text across the Win32 wide-character API: UTF-8 in the program, UTF-16 at
// the system, and the system's own words for an error code.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

namespace vantorel::windows {

// UTF-16 of a UTF-8 text; nullopt for text that is not valid UTF-8.
std::optional<std::wstring> Wide(const std::string& utf8);

// UTF-8 of a UTF-16 text (an unpaired surrogate becomes U+FFFD).
std::string Narrow(const wchar_t* text, size_t length);

// The system's message for an error code, without the line end it comes with.
std::string ErrorText(DWORD err);

// Whether a new file can take the name path: ERROR_SUCCESS when nothing
// stands there, ERROR_FILE_EXISTS when something does, otherwise the
// system's error for the name (ERROR_INVALID_NAME for "a<b.csv").
DWORD NewFileState(const std::string& path);

}  // namespace vantorel::windows
