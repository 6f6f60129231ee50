// Win32 module loader for the filter-library binding.
#include "acquisition/win/RXFilterLibraryWin.h"

#include <windows.h>

void* CWinModuleLoader::Load(const wchar_t* name) { return reinterpret_cast<void*>(LoadLibraryW(name)); }

void* CWinModuleLoader::Find(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void CWinModuleLoader::Free(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

CWinModuleLoader& CWinModuleLoader::Instance() {
  static CWinModuleLoader loader;
  return loader;
}
