// Frame stack operations and the acceptance of one datagram (see SNDPFrameStack.h).
#include "scanner_link/SNDPFrameStack.h"

#include "logging/KvLogger.h"

void CSNDPFrameStack::Push(const SNDPFrame& frame, uint32_t tick, uint32_t source) {
  SNDPFrameRecord record;
  record.tick = tick;
  record.frame = frame;
  record.source = source;
  m_Records.push_back(record);
}

size_t CSNDPFrameStack::TrimForNewFrame() {
  size_t removed = 0;
  while (m_Records.size() > kSNDPStackTrimAbove) {
    LogLine("Effacement d'une trame SNDP sous la pile.");
    m_Records.pop_front();
    ++removed;
  }
  return removed;
}

size_t CSNDPFrameStack::AgeOut(uint32_t now, const char* removalLine) {
  size_t removed = 0;
  // now - tick in unsigned 32-bit arithmetic is the record's age even across the wrap.
  while (!m_Records.empty() && static_cast<uint32_t>(now - m_Records.front().tick) > m_nFrameMaxAge) {
    LogLine(removalLine);
    m_Records.pop_front();
    ++removed;
  }
  return removed;
}

bool CSNDPFrameStack::FindNewestFrame(const std::wstring& serial, uint32_t now, SNDPFrame& frame) {
  SNDPFrameRecord record;
  if (!FindNewestRecord(serial, now, record)) return false;
  frame = record.frame;
  return true;
}

bool CSNDPFrameStack::FindNewestRecord(const std::wstring& serial, uint32_t now, SNDPFrameRecord& record) {
  AgeOut(now);
  for (auto it = m_Records.rbegin(); it != m_Records.rend(); ++it) {
    if (SNDPSerialText(it->frame) == serial) {
      record = *it;
      return true;
    }
  }
  return false;
}

SNDPAcceptResult AcceptSNDPDatagram(const uint8_t* data, size_t size, const SNDPAcceptSettings& settings) {
  SNDPAcceptResult r;
  if (!DecodeSNDPFrame(data, size, r.frame)) return r;
  const SNDPSender sender = ClassifySNDPSender(r.frame, settings.scannerName, settings.simulated);
  if (sender == SNDPSender::Rejected) return r;
  r.simulator = sender == SNDPSender::Simulator;
  if (!SNDPSerialAccepted(r.frame, settings.serialFilter)) return r;
  NormalizeSNDPFrame(r.frame);
  r.accepted = true;
  return r;
}
