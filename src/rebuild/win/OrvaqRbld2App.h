// COrvaqRbld2App: the whole of OrvaqRbld2. Its start-up runs the work routine once and
// ends: bind RXFilter.DLL, read the command line and the info file, reconstruct the raw
// file (8 and 16 bits as the depth choice says), filter, orient, adjust, preview, mark
// and write the BMP, the 16-bit ".raw" and the renamed raw file, record them in the info
// file and hand it over by renaming it. Every failure is one "Error" box and a result
// number, which is also the exit status. The decisions are the core's (rebuild/); this
// class only sequences them and makes the platform calls.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "filter_binding/RXFilterLibrary.h"
#include "rebuild/RebuildCommandLine.h"
#include "rebuild/RebuildResults.h"
#include "rebuild/RebuildRules.h"
#include "rebuild/win/OrvaqRbld2Dlg.h"

// The Windows module loader, keeping the system's error of each failed load or lookup
// for the boxes (the binding itself runs more calls after them).
class CErrorKeepingLoader : public IModuleLoader {
 public:
  void* Load(const wchar_t* name) override;
  void* Find(void* module, const char* name) override;
  void Free(void* module) override;
  DWORD LoadError() const { return m_LoadError; }
  DWORD FindError(const char* name) const;

 private:
  DWORD m_LoadError = 0;
  std::map<std::string, DWORD> m_FindErrors;
};

// A zeroed block from calloc, freed when it goes (the buffers handed to the library).
template <typename T>
class CCallocBlock {
 public:
  CCallocBlock() = default;
  ~CCallocBlock() { Free(); }
  CCallocBlock(const CCallocBlock&) = delete;
  CCallocBlock& operator=(const CCallocBlock&) = delete;
  // At least one element, so an empty record still has a buffer. False when refused.
  bool Allocate(size_t count) {
    Free();
    m_p = static_cast<T*>(calloc(count ? count : 1, sizeof(T)));
    m_nCount = m_p ? count : 0;
    return m_p != nullptr;
  }
  void Free() {
    free(m_p);
    m_p = nullptr;
    m_nCount = 0;
  }
  T* Get() const { return m_p; }
  size_t Count() const { return m_nCount; }

 private:
  T* m_p = nullptr;
  size_t m_nCount = 0;
};

class COrvaqRbld2App {
 public:
  explicit COrvaqRbld2App(HINSTANCE instance) : m_hInstance(instance), m_Dlg(instance) {}

  // Common controls, the preview dialog object, the split command line, the work
  // routine. Returns the result number.
  int InitInstance();
  // The work routine for `arguments` (argument 0 is the program).
  int Run(const std::vector<std::wstring>& arguments);

 private:
  int BindLibrary();
  int ReadInfoFile();
  int ReadHeaderAndSizeBuffers(bool& emptyPlate);
  // Correction, image code, filtering and the 16-to-8-bit derivation (guarded).
  int Reconstruct();
  int CorrectAndFilter();
  int WriteOutputs();
  int EmptyPlatePath();
  // Flush, rename to the final name, beep, and the thumbnail's 5-second wait.
  void HandOver();
  // The "Error" box of `result`; `path` stands for the operation where the box names a
  // file, `error` for the system's last error where the row says so.
  int Fail(orvaq::rebuild::RebuildResult result, DWORD error, const std::wstring& path = std::wstring());
  void ReportFailure(const std::wstring& operation, DWORD error);
  void ReleaseImages();
  void WriteKeys(const std::vector<orvaq::rebuild::InfoKey>& keys);
  // Header Mode of the raw file, -1 when it has none (shorter than 36 bytes, unreadable).
  int ReadModeAgain();
  Gdiplus::Bitmap* LoadEmptyPlatePicture(const wchar_t* name);

  HINSTANCE m_hInstance;
  COrvaqRbld2Dlg m_Dlg;
  orvaq::rebuild::RebuildOptions m_Options;
  CErrorKeepingLoader m_Loader;
  std::unique_ptr<CRXFilterLibrary> m_pLibrary;
  std::wstring m_sRawPath;
  int m_nMode = -1;
  float m_fResolution = 0;
  orvaq::recon::ImageCodeInfo m_Code;
  CCallocBlock<uint8_t> m_Pixels8;
  CCallocBlock<uint16_t> m_Pixels16;
  BufferFinal m_Image8{};
  BufferFinal16 m_Image16{};
  CCallocBlock<uint8_t> m_WorkBlock;
  CCallocBlock<char> m_FolderPath;
  CorrectionParams m_Params{};
  RECT m_ThumbnailRect{0, 0, 0, 0};
};
