// The binding of the filter library RXFilter.DLL: one owner object per use that loads
// the library by name, resolves each entry point with the pointer type of its
// prototype, frees the library in its destructor (so every exit path frees it), and
// runs calls inside a guard that turns any exception into a log line and a result.
// The loading itself goes through IModuleLoader (Win32 in win/, a fake in tests).
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "rxfilter/RXFilter.h"

// Loads modules and looks up symbols; handles are opaque.
class IModuleLoader {
 public:
  virtual ~IModuleLoader() = default;
  // Null when the module cannot be loaded.
  virtual void* Load(const wchar_t* name) = 0;
  // Null when the module has no such export.
  virtual void* Find(void* module, const char* name) = 0;
  virtual void Free(void* module) = 0;
};

// Stops a fault inside a library call that no handler of the library took: an access
// violation, or a C++ exception thrown by a runtime of another compiler (the maker's
// library is not built with ours). The Windows adapter provides one; without one, calls
// run bare.
class IForeignFaultGuard {
 public:
  virtual ~IForeignFaultGuard() = default;
  // Runs fn(context). False when a fault stopped it; `code` then holds the fault's code.
  // Exceptions of our own runtime pass through to the caller.
  virtual bool Run(void (*fn)(void*), void* context, uint32_t& code) = 0;
};

class CRXFilterLibrary {
 public:
  enum Entry : unsigned {
    kFullCorrection = 1u << 0,
    kFullCorrection8_16 = 1u << 1,
    kApplyFilter = 1u << 2,
    kIsImageT3 = 1u << 3,
    kAddT3 = 1u << 4,
    kEndT3 = 1u << 5,
    kPrecalculateT4 = 1u << 6,
    kCalculateT4 = 1u << 7,
  };

  explicit CRXFilterLibrary(IModuleLoader& loader) : m_Loader(loader) {}
  ~CRXFilterLibrary() { Free(); }
  CRXFilterLibrary(const CRXFilterLibrary&) = delete;
  CRXFilterLibrary& operator=(const CRXFilterLibrary&) = delete;

  // Loads "RXFilter.DLL" and looks up every entry point (missing ones stay null).
  // A failed load logs "Chargement de la dll RXFilter impossible." and returns false.
  bool Load();
  bool IsLoaded() const { return m_hModule != nullptr; }
  // True when all `entries` (Entry bits) were found; otherwise logs
  // "Recherche des fonctions de la dll RXFilter impossible." and returns false.
  bool Require(unsigned entries);
  // The same for one entry, with the multi-plate line "Impossible de trouver la
  // fonction <name>."
  bool RequireOne(Entry entry);
  bool Has(Entry entry) const;
  static const char* EntryName(Entry entry);
  // Frees the library now (the destructor does it otherwise); entry points become null.
  void Free();

  // Typed entry points, null when absent.
  decltype(&LUMEQ2FullCorrection) m_pfnFullCorrection = nullptr;
  decltype(&LUMEQ2FullCorrection8_16) m_pfnFullCorrection8_16 = nullptr;
  decltype(&ApplyLUMEQ2FilterX0X3) m_pfnApplyFilter = nullptr;
  decltype(&LUMEQ2_IsImageT3) m_pfnIsImageT3 = nullptr;
  decltype(&LUMEQ2_Add_T3) m_pfnAddT3 = nullptr;
  decltype(&LUMEQ2_End_T3) m_pfnEndT3 = nullptr;
  decltype(&LUMEQ2_Precalculate_T4) m_pfnPrecalculateT4 = nullptr;
  decltype(&LUMEQ2_Calculate_T4) m_pfnCalculateT4 = nullptr;

  // Runs `call`; an exception, or a fault stopped by the fault guard, logs `phaseLine`
  // (for example "Exception lors des phases de reconstruction."), then its text, stores
  // the text in `error` (for the warning box) and returns false. True when the call
  // returned normally.
  template <typename F>
  static bool Guarded(const char* phaseLine, F&& call, std::string* error = nullptr) {
    std::string text;
    try {
      uint32_t code = 0;
      if (RunUnderFaultGuard([](void* c) { (*static_cast<F*>(c))(); }, &call, code)) return true;
      text = FaultText(code);
    } catch (const std::exception& e) {
      text = e.what();
    } catch (...) {
      text = "Unknown exception";
    }
    ReportException(phaseLine, text);
    if (error) *error = text;
    return false;
  }

  // The guard used by every Guarded call from now on (null: none). The Windows module
  // loader installs its own.
  static void SetFaultGuard(IForeignFaultGuard* guard);
  // "Exception 0xC0000005 dans la dll RXFilter." for a stopped fault.
  static std::string FaultText(uint32_t code);

 private:
  static bool RunUnderFaultGuard(void (*fn)(void*), void* context, uint32_t& code);
  static void ReportException(const char* phaseLine, const std::string& text);
  template <typename P>
  void Bind(P& pointer, Entry entry);

  IModuleLoader& m_Loader;
  void* m_hModule = nullptr;
};
