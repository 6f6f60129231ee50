// Win32 module loader for the filter-library binding, and the guard that stops a fault
// inside a library call (see RXFilterLibraryWin.h).
#include "filter_binding/win/RXFilterLibraryWin.h"

#include <windows.h>

namespace {

// One guarded call on this thread: where to come back to when the library faults.
struct CGuardFrame {
  void* jump[5];  // __builtin_setjmp buffer
  uint32_t code = 0;
  void* exceptionList = nullptr;  // i386: the SEH chain at the start of the call
  CGuardFrame* outer = nullptr;
};

thread_local CGuardFrame* t_pGuardFrame = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER g_fnPreviousFilter = nullptr;

// Reached only by a fault nobody took: first-chance exceptions that the library catches
// itself never come here (a vectored handler would see those too). The jump leaves the
// dispatcher and the library's frames behind, as an __except block would.
LONG WINAPI StopFaultOfGuardedCall(EXCEPTION_POINTERS* pointers) {
  CGuardFrame* frame = t_pGuardFrame;
  if (!frame) return g_fnPreviousFilter ? g_fnPreviousFilter(pointers) : EXCEPTION_CONTINUE_SEARCH;
  frame->code = pointers->ExceptionRecord->ExceptionCode;
  __builtin_longjmp(frame->jump, 1);
}

class CUnhandledFaultGuard : public IForeignFaultGuard {
 public:
  CUnhandledFaultGuard() { g_fnPreviousFilter = SetUnhandledExceptionFilter(&StopFaultOfGuardedCall); }

  bool Run(void (*fn)(void*), void* context, uint32_t& code) override {
    CGuardFrame frame;
    frame.outer = t_pGuardFrame;
#if defined(__i386__)
    frame.exceptionList = reinterpret_cast<NT_TIB*>(NtCurrentTeb())->ExceptionList;
#endif
    if (__builtin_setjmp(frame.jump) == 0) {
      struct CRestore {  // an exception of our own runtime leaves the same way
        CGuardFrame* outer;
        ~CRestore() { t_pGuardFrame = outer; }
      } restore{frame.outer};
      t_pGuardFrame = &frame;
      fn(context);
      return true;
    }
#if defined(__i386__)
    // The library's SEH records lived on the stack that the jump abandoned.
    reinterpret_cast<NT_TIB*>(NtCurrentTeb())->ExceptionList =
        static_cast<EXCEPTION_REGISTRATION_RECORD*>(frame.exceptionList);
#endif
    t_pGuardFrame = frame.outer;
    code = *static_cast<volatile uint32_t*>(&frame.code);
    return false;
  }
};

}  // namespace

void* CWinModuleLoader::Load(const wchar_t* name) { return reinterpret_cast<void*>(LoadLibraryW(name)); }

void* CWinModuleLoader::Find(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void CWinModuleLoader::Free(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

CWinModuleLoader& CWinModuleLoader::Instance() {
  // Whoever binds the library through Windows gets its calls guarded; the filter is
  // installed once, with the guard's construction.
  static CUnhandledFaultGuard guard;
  static CWinModuleLoader loader;
  CRXFilterLibrary::SetFaultGuard(&guard);
  return loader;
}
