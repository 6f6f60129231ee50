// Faults on demand for the library's test-only twin (see FaultInjection.h).
#include "rxfilter/win/FaultInjection.h"

#include <windows.h>

void RxfInjectFault() {
  wchar_t what[16] = {};
  const DWORD n = GetEnvironmentVariableW(L"RXFILTER_FAULT", what, 16);
  if (n == 0 || n >= 16) return;
  if (lstrcmpW(what, L"access") == 0) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  } else if (lstrcmpW(what, L"foreign") == 0) {
    RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  }
}
