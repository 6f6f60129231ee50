// The dialog's message routing to COrvaqController, so that COrvaqDlg forwards with one
// call: 0x401 (status frames), 0x402 (image socket), 0x465/0x466/0x467 (in-process
// requests), WM_TIMER and the reservation button (WM_COMMAND 1008).
#pragma once

#include <windows.h>

class COrvaqController;

// Handles `message` when it belongs to the controller and stores the window procedure's
// result in `result`; false for every other message.
//   0x465: wParam = type, lParam = serial (const wchar_t*) or 0; the result is the number,
//          or the address of the controller's HardwareInfos text.
//   0x466: wParam = code, lParam = serial (const wchar_t*); the result is the address of
//          the AdminAction text (valid until the next AdminAction).
//   0x467: wParam = command (const wchar_t*), lParam = std::wstring* that receives the
//          answer; the result is the raw HTTP code.
bool ControllerHandleMessage(COrvaqController& controller, UINT message, WPARAM wParam, LPARAM lParam,
                             LRESULT& result);
