// The Win32 module loader behind CRXFilterLibrary: LoadLibraryW, GetProcAddress and
// FreeLibrary. Taking its instance also installs the guard that stops an access
// violation or a foreign C++ exception inside a library call (the process's unhandled
// exception filter, chained to the one before).
#pragma once

#include "filter_binding/RXFilterLibrary.h"

class CWinModuleLoader : public IModuleLoader {
 public:
  void* Load(const wchar_t* name) override;
  void* Find(void* module, const char* name) override;
  void Free(void* module) override;
  // The process-wide instance (stateless); installs the fault guard once.
  static CWinModuleLoader& Instance();
};
