// The Windows side of the text resources: translating a dialog's buttons and static
// texts by control id, the program's version text and version strings, and the
// error-code list streamed into a rich-edit control.
#pragma once

#include <windows.h>

#include <string>

// Sets every "Button" and "Static" child of `window` to the text of its control id.
void TranslateWindow(HWND window);
// " [major.minor.build]" from the version information of the program file (or of the
// file `path`); " [0.0.0]" when it cannot be read.
std::wstring GetProgramVersionText(const std::wstring& path = std::wstring());
// A named value of the program's (or `path`'s) version resource ("" when absent).
std::wstring GetVersionResourceString(const std::wstring& name, const std::wstring& path = std::wstring());
// Streams the error-code list of the current language into `richEdit` (version 2.0).
// False when no list exists; the control then stays empty.
bool LoadErrorList(HWND richEdit);
