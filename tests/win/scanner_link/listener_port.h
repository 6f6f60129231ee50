// Port 48322 is fixed and other test programs on this machine may hold it for a moment:
// a test waits (bounded) for the port instead of failing on a busy bind.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "scanner_link/win/SNDPListener.h"

inline bool StartListeningWhenPortFree(CSNDPListener& listener, HWND window, DWORD limitMs = 60000) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (listener.StartListening(window)) return true;
    if (listener.LastError() != WSAEADDRINUSE || GetTickCount() - start > limitMs) return false;
    Sleep(200);
  }
}
