// The Win32 module loader behind CRXFilterLibrary: LoadLibraryW, GetProcAddress and
// FreeLibrary, nothing more.
#pragma once

#include "acquisition/RXFilterLibrary.h"

class CWinModuleLoader : public IModuleLoader {
 public:
  void* Load(const wchar_t* name) override;
  void* Find(void* module, const char* name) override;
  void Free(void* module) override;
  // The process-wide instance (stateless).
  static CWinModuleLoader& Instance();
};
