// Multi-plate decisions (see MultiPlateRules.h).
#include "acquisition/MultiPlateRules.h"

namespace orvaq::t4 {

PartPlace PlacePart(bool composing, const bool filled[kSlots], int parts) {
  if (!composing) return PartPlace::kOpenInSlot1;
  if (!filled[0]) return PartPlace::kSlot1;
  if (!filled[1]) return PartPlace::kSlot2;
  if (!filled[2]) return parts == 1 ? PartPlace::kComposeFirst : PartPlace::kSlot3;
  // A part beyond the composition's room is never dropped.
  return PartPlace::kAlone;
}

uint32_t DelayMs(int delayT4) { return uint32_t(delayT4 <= 0 ? 3600 : delayT4) * 1000u; }

SAdvice AdviceFromFlags(uint32_t flags) {
  SAdvice a;
  auto bit = [flags](int n) { return (flags >> n) & 1u; };
  a.box3Counts = (flags & 0xFF0u) != 0;  // any of bits 4..11
  a.rotation[0] = bit(13);
  a.rotation[1] = bit(17);
  a.rotation[2] = bit(21);
  if (flags & 0xFu) {
    if (bit(0)) return a;
    a.waitForOperator = true;
    if (bit(1)) a.exchanges = {{1, 2}};
  } else if (a.box3Counts && !bit(4)) {
    a.waitForOperator = true;
    if (bit(5)) a.exchanges = {{2, 3}};
    else if (bit(6)) a.exchanges = {{1, 2}};
    else if (bit(7)) a.exchanges = {{1, 2}, {2, 3}};
    else if (bit(8)) a.exchanges = {{2, 3}, {1, 2}, {2, 3}};
    else if (bit(9)) a.exchanges = {{2, 3}, {1, 2}};
  }
  return a;
}

uint32_t OrientationFlags(const bool filled[kSlots], const bool rotated[kSlots]) {
  static const uint32_t kTurned[kSlots] = {0x2000, 0x20000, 0x200000};
  static const uint32_t kStraight[kSlots] = {0x1000, 0x10000, 0x100000};
  uint32_t flags = filled[2] ? 16 : 1;
  for (int i = 0; i < kSlots; ++i)
    if (filled[i]) flags |= rotated[i] ? kTurned[i] : kStraight[i];
  return flags;
}

void ReduceToHighBytes(uint8_t* buffer, size_t samples) {
  for (size_t i = 0; i < samples; ++i) buffer[i] = buffer[2 * i + 1];
}

bool IsDroppedRawFile(const std::wstring& path) {
  if (path.size() < 4 || path[path.size() - 4] != L'.') return false;
  std::wstring ext = path.substr(path.size() - 3);
  for (wchar_t& c : ext) c = (c >= L'a' && c <= L'z') ? wchar_t(c - 32) : c;
  return ext == L"RAW" || ext == L"BIN";
}

}  // namespace orvaq::t4
