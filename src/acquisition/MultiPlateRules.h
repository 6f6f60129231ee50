// The decisions of the multi-plate (T4) composition, apart from the work: where a new
// part goes, what the library's arrangement advice asks for, the delay of the automatic
// composition, the orientation flags of the composition call, and the 16-to-8-bit
// reduction of its result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orvaq::t4 {

constexpr int kSlots = 3;
// Timer 4444 waits this long for the operator after an advice that needs him.
constexpr uint32_t kWaitForOperatorMs = 0x7FFFFFFF;
// A rotate or an exchange gives the operator an hour before the automatic composition.
constexpr uint32_t kAfterOperatorMs = 3600000;

// Where a part that the library recognised goes.
enum class PartPlace {
  kOpenInSlot1,   // composition off: switch it on, store in slot 1
  kSlot1,
  kSlot2,         // then the advice; with one more part wanted (N = 2) nothing else
  kSlot3,         // then the advice and the delay timer
  kComposeFirst,  // N = 1 and two parts stored: compose them, then place this part again
  kAlone,         // no room: the part is reconstructed as a plate of its own
};
// `parts` is N (1: two parts, 2: three parts); `filled` the slots holding a part.
PartPlace PlacePart(bool composing, const bool filled[kSlots], int parts);

// The delay timer after the last awaited part: `DelayT4` seconds, 0 meaning an hour.
uint32_t DelayMs(int delayT4);

// What the pre-reconstruction's flags ask for.
struct SAdvice {
  // The wanted rotation of each box, and whether box 3's counts (three parts).
  bool rotation[kSlots] = {false, false, false};
  bool box3Counts = false;
  // The composition waits for the operator (timer 4444 re-armed to 0x7FFFFFFF) and
  // the program beeps.
  bool waitForOperator = false;
  // Exchanges of boxes (1-based), in order.
  std::vector<std::pair<int, int>> exchanges;
};
SAdvice AdviceFromFlags(uint32_t flags);

// The orientation flags of the composition: 16 with a third part (else 1), and per box
// its bit, turned or not.
uint32_t OrientationFlags(const bool filled[kSlots], const bool rotated[kSlots]);

// Each 16-bit little-endian sample becomes its high byte, in place: the first
// `samples` bytes of `buffer` hold the 8-bit picture afterwards.
void ReduceToHighBytes(uint8_t* buffer, size_t samples);

// A dropped file that is reconstructed as a received plate: ".RAW" or ".BIN", any case.
bool IsDroppedRawFile(const std::wstring& path);

}  // namespace orvaq::t4
