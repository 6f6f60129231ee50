// Filter-library binding (see RXFilterLibrary.h).
#include "filter_binding/RXFilterLibrary.h"

#include <cstdio>

#include "logging/KvLogger.h"

namespace {
IForeignFaultGuard* g_pFaultGuard = nullptr;
}  // namespace

void CRXFilterLibrary::SetFaultGuard(IForeignFaultGuard* guard) { g_pFaultGuard = guard; }

bool CRXFilterLibrary::RunUnderFaultGuard(void (*fn)(void*), void* context, uint32_t& code) {
  if (!g_pFaultGuard) {
    fn(context);
    return true;
  }
  return g_pFaultGuard->Run(fn, context, code);
}

std::string CRXFilterLibrary::FaultText(uint32_t code) {
  char text[64];
  std::snprintf(text, sizeof text, "Exception 0x%08X dans la dll RXFilter.", static_cast<unsigned>(code));
  return text;
}

template <typename P>
void CRXFilterLibrary::Bind(P& pointer, Entry entry) {
  // The symbol's address is converted to the prototype's own pointer type.
  pointer = reinterpret_cast<P>(m_Loader.Find(m_hModule, EntryName(entry)));
}

bool CRXFilterLibrary::Load() {
  Free();
  m_hModule = m_Loader.Load(L"RXFilter.DLL");
  if (!m_hModule) {
    LogLine("Chargement de la dll RXFilter impossible.");
    return false;
  }
  Bind(m_pfnFullCorrection, kFullCorrection);
  Bind(m_pfnFullCorrection8_16, kFullCorrection8_16);
  Bind(m_pfnApplyFilter, kApplyFilter);
  Bind(m_pfnIsImageT3, kIsImageT3);
  Bind(m_pfnAddT3, kAddT3);
  Bind(m_pfnEndT3, kEndT3);
  Bind(m_pfnPrecalculateT4, kPrecalculateT4);
  Bind(m_pfnCalculateT4, kCalculateT4);
  return true;
}

const char* CRXFilterLibrary::EntryName(Entry e) {
  switch (e) {
    case kFullCorrection: return "LUMEQ2FullCorrection";
    case kFullCorrection8_16: return "LUMEQ2FullCorrection8_16";
    case kApplyFilter: return "ApplyLUMEQ2FilterX0X3";
    case kIsImageT3: return "LUMEQ2_IsImageT3";
    case kAddT3: return "LUMEQ2_Add_T3";
    case kEndT3: return "LUMEQ2_End_T3";
    case kPrecalculateT4: return "LUMEQ2_Precalculate_T4";
    case kCalculateT4: return "LUMEQ2_Calculate_T4";
  }
  return "";
}

bool CRXFilterLibrary::Has(Entry e) const {
  switch (e) {
    case kFullCorrection: return m_pfnFullCorrection != nullptr;
    case kFullCorrection8_16: return m_pfnFullCorrection8_16 != nullptr;
    case kApplyFilter: return m_pfnApplyFilter != nullptr;
    case kIsImageT3: return m_pfnIsImageT3 != nullptr;
    case kAddT3: return m_pfnAddT3 != nullptr;
    case kEndT3: return m_pfnEndT3 != nullptr;
    case kPrecalculateT4: return m_pfnPrecalculateT4 != nullptr;
    case kCalculateT4: return m_pfnCalculateT4 != nullptr;
  }
  return false;
}

bool CRXFilterLibrary::Require(unsigned entries) {
  bool ok = m_hModule != nullptr;
  for (unsigned bit = 1; ok && bit <= kCalculateT4; bit <<= 1)
    if ((entries & bit) && !Has(Entry(bit))) ok = false;
  if (!ok) LogLine("Recherche des fonctions de la dll RXFilter impossible.");
  return ok;
}

bool CRXFilterLibrary::RequireOne(Entry e) {
  if (m_hModule && Has(e)) return true;
  LogLine(std::string("Impossible de trouver la fonction ") + EntryName(e) + ".");
  return false;
}

void CRXFilterLibrary::Free() {
  if (m_hModule) m_Loader.Free(m_hModule);
  m_hModule = nullptr;
  m_pfnFullCorrection = nullptr;
  m_pfnFullCorrection8_16 = nullptr;
  m_pfnApplyFilter = nullptr;
  m_pfnIsImageT3 = nullptr;
  m_pfnAddT3 = nullptr;
  m_pfnEndT3 = nullptr;
  m_pfnPrecalculateT4 = nullptr;
  m_pfnCalculateT4 = nullptr;
}

void CRXFilterLibrary::ReportException(const char* phaseLine, const std::string& text) {
  LogLine(phaseLine ? phaseLine : "");
  LogLine(text);
}
