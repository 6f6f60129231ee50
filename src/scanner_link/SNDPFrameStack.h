// The frame stack: the recent status frames of every scanner heard, oldest first, with
// their arrival ticks. Ages out by wrap-safe unsigned tick arithmetic (the 32-bit tick
// wraps after 49.7 days) and is bounded to 51 records after each accepted frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "scanner_link/SNDPFrame.h"

constexpr uint32_t kSNDPFrameMaxAgeDefault = 7500;      // set whenever a frame is accepted
constexpr uint32_t kSNDPFrameMaxAgeAfterImage = 20000;  // set when an image connection closes
constexpr size_t kSNDPStackTrimAbove = 50;

class CSNDPFrameStack {
 public:
  void SetMaxAge(uint32_t ms) { m_nFrameMaxAge = ms; }
  uint32_t MaxAge() const { return m_nFrameMaxAge; }

  // Appends a record (`source`: the sender's address, 0 when unknown).
  void Push(const SNDPFrame& frame, uint32_t tick, uint32_t source = 0);
  // Before storing a new frame: removes the oldest records while more than 50 are held,
  // logging each removal. Returns how many were removed.
  size_t TrimForNewFrame();
  // Removes the oldest records while `now` is more than the age limit past them, logging
  // each removal with `removalLine`. Returns how many were removed.
  size_t AgeOut(uint32_t now, const char* removalLine = "Effacement d'une trame SNDP ancienne sous la pile.");
  // Ages out, then looks from the newest record to the oldest for the serial (exact,
  // as wide text). Returns false when there is none.
  bool FindNewestFrame(const std::wstring& serial, uint32_t now, SNDPFrame& frame);
  // The same search, giving the whole record (its sender's address included).
  bool FindNewestRecord(const std::wstring& serial, uint32_t now, SNDPFrameRecord& record);
  void Clear() { m_Records.clear(); }

  size_t Size() const { return m_Records.size(); }
  bool Empty() const { return m_Records.empty(); }
  const std::deque<SNDPFrameRecord>& Records() const { return m_Records; }

 private:
  std::deque<SNDPFrameRecord> m_Records;
  uint32_t m_nFrameMaxAge = kSNDPFrameMaxAgeDefault;
};

// The whole acceptance of one received datagram, in the listener's order: header checks,
// the name rule (which also tells the simulator apart), the serial rule, then the
// normalisation. Settings come in through this record so that the caller reads them at
// use (LUMEQ2Name, LUMEQ2Simulated, LUMEQ2FiltreSerial).
struct SNDPAcceptSettings {
  std::wstring scannerName = L"lumeq2";
  int simulated = 0;
  std::wstring serialFilter;
};
struct SNDPAcceptResult {
  bool accepted = false;
  bool simulator = false;  // the name rule's verdict, also when the serial rule refuses
  SNDPFrame frame;  // normalised when accepted
};
SNDPAcceptResult AcceptSNDPDatagram(const uint8_t* data, size_t size, const SNDPAcceptSettings& settings);
