// Multi-plate composition (see MultiPlate.h).
#include "acquisition/MultiPlate.h"

#include <algorithm>
#include <new>

#include "acquisition/MultiPlateRules.h"
#include "acquisition/ReconstructionRules.h"
#include "common/MessageBox.h"
#include "common/RawFormat.h"
#include "common/Text.h"
#include "logging/KvLogger.h"

using namespace orvaq::recon;
using orvaq::t4::kSlots;

namespace {
constexpr unsigned kBeepSimple = 0xFFFFFFFF, kBeepError = 0x10;
constexpr int kPreviewWidth = 300, kPreviewHeight = 500;
// The 16-bit records when the raw file cannot be read: a size and no pixels.
constexpr uint16_t kUnreadWidth = 6000, kUnreadHeight = 12000;
}  // namespace

// ------------------------------------------------------------------ library

bool CMultiPlate::Bind(CRXFilterLibrary& library, unsigned entries) {
  bool bound = library.Load();
  for (unsigned bit = 1; bound && bit <= entries; bit <<= 1)
    if (entries & bit) bound = library.RequireOne(static_cast<CRXFilterLibrary::Entry>(bit));
  if (!bound) {
    library.Free();
    m_Env.ShowMessageBox(m_Settings.GetText(813), orvaq::mb::kOk | orvaq::mb::kIconError);
  }
  return bound;
}

void CMultiPlate::ShowError(const std::string& text) {
  m_Env.ShowMessageBox(orvaq::FromUtf8(text), orvaq::mb::kOk | orvaq::mb::kIconWarning);
}

// ------------------------------------------------------------------ parts

bool CMultiPlate::IsSlotComplete(int box) { return box >= 1 && box <= kSlots && m_Slots[box - 1].Complete(); }

CMultiPlate::SBoxView CMultiPlate::Box(int box) const {
  SBoxView view;
  if (box < 1 || box > kSlots) return view;
  const Slot& s = m_Slots[box - 1];
  view.rotated = s.rotated;
  if (s.Complete()) {
    view.pixels = s.preview.pBuffer;
    view.width = s.preview.width;
    view.height = s.preview.height;
  }
  return view;
}

bool CMultiPlate::Examine(const std::wstring& rawPath, Slot& part) {
  LogPrintf(L"Chargement de la dll RXFilter.");
  CRXFilterLibrary library(m_Loader);
  bool bound = library.Load();
  if (bound) {
    LogPrintf(L"Recherche des fonctions de la dll RXFilter.");
    bound = library.Require(CRXFilterLibrary::kIsImageT3);
  }
  if (!bound) {
    m_Env.ShowMessageBox(m_Settings.GetText(813), orvaq::mb::kOk | orvaq::mb::kIconError);
    return false;
  }

  part.previewPixels.assign(size_t(kPreviewWidth) * kPreviewHeight, 0);
  part.preview = {RXF_TAG_8, kPreviewWidth, kPreviewHeight, part.previewPixels.data()};
  m_fResolution = 0;
  m_nMode = -1;
  LogPrintf(L"Check resolution.");
  uint64_t length = 0;
  uint8_t header[orvaq::raw::kHeaderSize] = {};
  part.first = part.second = {RXF_TAG_16, kUnreadWidth, kUnreadHeight, nullptr};
  if (!m_System.ReadFileStart(rawPath, length, header, sizeof header)) {
    LogPrintf(L"Handle de fichier image invalide.");
  } else if (length > orvaq::raw::kHeaderSize) {
    m_nMode = header[orvaq::raw::kOffMode];
    const BufferSizing sizing = SizeBufferForRaw(length, m_nMode);
    m_fResolution = sizing.resolution;
    try {
      part.firstPixels.assign(sizing.Bytes(), 0);
      part.secondPixels.assign(sizing.Bytes(), 0);
    } catch (const std::bad_alloc&) {
      LogPrintf(L"Buffer pour l'image invalide.");
      return false;
    }
    part.first = {RXF_TAG_16, sizing.width, sizing.height, part.firstPixels.data()};
    part.second = {RXF_TAG_16, sizing.width, sizing.height, part.secondPixels.data()};
  }

  int isPart = 0;
  std::string error;
  const bool completed = CRXFilterLibrary::Guarded(
      "Exception lors des phases de d\xE9tection d'une T3.",
      [&] {
        std::vector<uint8_t> work(1024, 0);
        CorrectionParams params;
        FillCorrectionParams(m_Settings.Correction(), static_cast<uint16_t>(m_nMode < 0 ? 0 : m_nMode), work.data(),
                             nullptr, params);
        isPart = library.m_pfnIsImageT3(rawPath.c_str(), &part.preview, &part.first, &part.second, &params);
      },
      &error);
  library.Free();
  if (!completed) {
    ShowError(error);
    return false;
  }
  if (!isPart) return false;
  part.rawPath = rawPath;
  return true;
}

void CMultiPlate::Store(int slot, Slot&& part) {
  m_Slots[slot] = std::move(part);
  // The records point into their own vectors, which moved with them.
  Slot& s = m_Slots[slot];
  s.preview.pBuffer = s.previewPixels.empty() ? nullptr : s.previewPixels.data();
  s.first.pBuffer = s.firstPixels.empty() ? nullptr : s.firstPixels.data();
  s.second.pBuffer = s.secondPixels.empty() ? nullptr : s.secondPixels.data();
  m_Env.Repaint();
}

void CMultiPlate::ArmDelay() {
  if (!m_pHost->T4TimerArmed()) m_pHost->ArmT4Timer(orvaq::t4::DelayMs(m_pHost->DelayT4()));
}

bool CMultiPlate::DetectT3Part(const std::wstring& rawPath) {
  if (!m_pHost || m_pHost->PartsWanted() == 0) return false;
  Slot part;
  if (!Examine(rawPath, part)) {
    // An ordinary plate closes a composition under way.
    if (m_bT4Mode) ReconstructT4();
    return false;
  }
  // At most two rounds: a third part with N = 1 first closes the pending composition.
  for (int round = 0; round < 2; ++round) {
    const bool filled[kSlots] = {m_Slots[0].HasImage(), m_Slots[1].HasImage(), m_Slots[2].HasImage()};
    const int parts = m_pHost->PartsWanted();
    switch (orvaq::t4::PlacePart(m_bT4Mode, filled, parts)) {
      case orvaq::t4::PartPlace::kOpenInSlot1:
        SetT4Mode(true);
        Store(0, std::move(part));
        return true;
      case orvaq::t4::PartPlace::kSlot1:
        Store(0, std::move(part));
        return true;
      case orvaq::t4::PartPlace::kSlot2:
        Store(1, std::move(part));
        PreReconstructT4();
        if (parts != 2) ArmDelay();
        return true;
      case orvaq::t4::PartPlace::kSlot3:
        Store(2, std::move(part));
        PreReconstructT4();
        ArmDelay();
        return true;
      case orvaq::t4::PartPlace::kComposeFirst:
        if (round == 0 && m_pHost->T4TimerArmed()) {
          m_pHost->StopT4Timer();
          ReconstructT4();
        }
        break;  // placed again; a second time here means the two parts could not go
      case orvaq::t4::PartPlace::kAlone:
        break;
    }
  }
  // No room for it in a composition: the part is not dropped but made a plate of its own.
  LogPrintf(L"Partie T3 sans place dans la composition : reconstruite seule.");
  return false;
}

// ------------------------------------------------------------------ advice

void CMultiPlate::PreReconstructT4() {
  int filled = 0;
  for (const Slot& s : m_Slots) filled += s.HasImage() ? 1 : 0;
  if (filled < 2) return;
  CRXFilterLibrary library(m_Loader);
  if (!Bind(library, CRXFilterLibrary::kAddT3 | CRXFilterLibrary::kEndT3 | CRXFilterLibrary::kPrecalculateT4)) {
    CutT4();
    return;
  }
  std::string error;
  LogPrintf(L"Ajout de la liste des images T3.");
  if (!CRXFilterLibrary::Guarded(
          "Exception lors des phases d'ajout des T3 avant pr\xE9-reconstruction T4.",
          [&] {
            for (Slot& s : m_Slots)
              if (s.HasImage()) library.m_pfnAddT3(&s.second);
          },
          &error)) {
    library.Free();
    ShowError(error);
    return;
  }
  LogPrintf(L"Pré-reconstruction de l'image T4.");
  uint32_t flags = 0;
  if (!CRXFilterLibrary::Guarded(
          "Exception lors des phases de pr\xE9-reconstruction T4.",
          [&] { flags = library.m_pfnPrecalculateT4(); }, &error)) {
    library.Free();
    ShowError(error);
    return;
  }
  LogPrintf(L"Libération des buffer T3.");
  library.m_pfnEndT3();
  LogPrintf(L"Libération de la DLL RXFilter.");
  library.Free();
  if (flags == 0) return;

  const orvaq::t4::SAdvice advice = orvaq::t4::AdviceFromFlags(flags);
  for (int i = 0; i < (advice.box3Counts ? 3 : 2); ++i) {
    Slot& s = m_Slots[i];
    if (s.rotated == advice.rotation[i]) continue;
    if (s.Complete()) {
      s.rotated = advice.rotation[i];
      m_Env.Repaint();
    } else {
      s.rotated = false;
      m_Env.MessageBeep(kBeepSimple);
    }
  }
  if (advice.waitForOperator) {
    m_pHost->ArmT4Timer(orvaq::t4::kWaitForOperatorMs);
    m_Env.MessageBeep(kBeepSimple);
  }
  for (const auto& e : advice.exchanges) {
    std::swap(m_Slots[e.first - 1], m_Slots[e.second - 1]);
    m_Env.Repaint();
  }
}

// ------------------------------------------------------------------ operator

void CMultiPlate::Rotate(int box) {
  if (box < 1 || box > kSlots || !m_pHost) return;
  m_pHost->ArmT4Timer(orvaq::t4::kAfterOperatorMs);
  Slot& s = m_Slots[box - 1];
  if (s.Complete()) {
    s.rotated = !s.rotated;
    m_Env.Repaint();
  } else {
    s.rotated = false;
    m_Env.MessageBeep(kBeepSimple);
  }
}

void CMultiPlate::Exchange(int a, int b) {
  if (a < 1 || b < 1 || a > kSlots || b > kSlots || !m_pHost) return;
  m_pHost->ArmT4Timer(orvaq::t4::kAfterOperatorMs);
  if (m_Slots[a - 1].Complete() && m_Slots[b - 1].Complete()) {
    std::swap(m_Slots[a - 1], m_Slots[b - 1]);
    m_Env.Repaint();
  } else {
    m_Env.MessageBeep(kBeepSimple);
  }
}

void CMultiPlate::ClearSlots() {
  for (Slot& s : m_Slots) s = Slot();
}

void CMultiPlate::SetT4Mode(bool on) {
  const bool changed = on != m_bT4Mode;
  ClearSlots();
  m_bT4Mode = on;
  if (!on && m_pHost) m_pHost->StopT4Timer();
  if (changed && m_pHost) m_pHost->OnT4ModeChanged(on);
}

void CMultiPlate::CutT4() {
  std::wstring paths[kSlots];
  for (int i = 0; i < kSlots; ++i) paths[i] = m_Slots[i].rawPath;
  SetT4Mode(false);
  if (!m_pHost) return;
  for (const std::wstring& path : paths)
    if (!path.empty() && m_System.FileExists(path) && m_pHost->RebuildAlone(path)) m_pHost->PartDone(path);
}

// ------------------------------------------------------------------ composition

bool CMultiPlate::ReconstructT4() {
  int filled = 0;
  for (const Slot& s : m_Slots) filled += s.HasImage() ? 1 : 0;
  if (filled < 2 || !m_pHost) {
    m_Env.MessageBeep(kBeepError);
    return false;
  }
  CRXFilterLibrary library(m_Loader);
  if (!Bind(library, CRXFilterLibrary::kAddT3 | CRXFilterLibrary::kCalculateT4)) return false;

  const bool has[kSlots] = {m_Slots[0].HasImage(), m_Slots[1].HasImage(), m_Slots[2].HasImage()};
  const bool rotated[kSlots] = {m_Slots[0].rotated, m_Slots[1].rotated, m_Slots[2].rotated};
  const uint32_t orientation = orvaq::t4::OrientationFlags(has, rotated);
  size_t width = 0, height = 0;
  std::string error;
  LogPrintf(L"Ajout de la liste des images T3.");
  if (!CRXFilterLibrary::Guarded(
          "Exception lors des phases d'ajout des T3 avant reconstruction T4.",
          [&] {
            // Room for every part turned either way: a turned part swaps its sides, and
            // a result that does not fit would come back empty.
            for (Slot& s : m_Slots) {
              if (!s.HasImage()) continue;
              const size_t side = std::max<size_t>(s.second.width, s.second.height);
              width += side;
              height = std::max(height, side);
              library.m_pfnAddT3(&s.second);
            }
          },
          &error)) {
    library.Free();
    ShowError(error);
    return false;
  }

  // The parts' raw files go only once the composed image's files exist, so that nothing
  // stops this from leaving a part without any copy of its data.
  std::vector<std::wstring> rawPaths;
  for (const Slot& s : m_Slots)
    if (!s.rawPath.empty()) rawPaths.push_back(s.rawPath);

  const size_t samples = width * height;
  std::vector<uint8_t> pixels8, pixels16;
  try {
    pixels8.assign(samples ? samples : 1, 0);
    pixels16.assign((samples ? samples : 1) * 2, 0);
  } catch (const std::bad_alloc&) {
    LogPrintf(L"Buffer pour l'image invalide.");
    return false;
  }
  const uint16_t w16 = uint16_t(std::min<size_t>(width, 0xFFFF)), h16 = uint16_t(std::min<size_t>(height, 0xFFFF));
  BufferFinal out8{RXF_TAG_8, w16, h16, pixels8.data()};
  BufferFinal16 out16{RXF_TAG_16, w16, h16, reinterpret_cast<uint16_t*>(pixels16.data())};
  LogPrintf(L"Reconstruction de l'image T4.");
  if (!CRXFilterLibrary::Guarded(
          "Exception lors des phases de reconstruction T4.",
          [&] { library.m_pfnCalculateT4(&out8, &out16, orientation); }, &error)) {
    library.Free();
    ShowError(error);
    return false;
  }
  pixels8.clear();
  pixels8.shrink_to_fit();
  LogPrintf(L"Libération de la DLL RXFilter.");
  library.Free();
  const float resolution = m_fResolution;
  SetT4Mode(false);
  m_Env.Repaint();

  // A record the library filled beyond its buffer is taken as no image.
  const size_t result = size_t(out16.width) * out16.height;
  const int outW = result <= samples ? out16.width : 0, outH = result <= samples ? out16.height : 0;
  orvaq::t4::ReduceToHighBytes(pixels16.data(), size_t(outW) * outH);
  const bool written = m_pHost->FinishComposed(outW && outH ? pixels16.data() : nullptr, outW, outH, resolution);
  // Without a composed picture the parts' data stays on disk, whatever was written.
  if (!written || !outW || !outH) {
    for (const std::wstring& path : rawPaths) LogPrintf(L"Image brute conservée : %ls", path.c_str());
    return written;
  }
  for (const std::wstring& path : rawPaths) {
    m_pHost->PartDone(path);
    m_System.RemoveFile(path);
  }
  return true;
}
