// The common set-up of the controller tests: a controller on a fake host with a status
// listener created, a log collector, and helpers that feed frames, ticks and raw files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "acquisition/OrvaqController.h"
#include "common/RawFormat.h"
#include "tests/host/controller/fake_host.h"
#include "tests/support/memory_logger.h"

class ControllerTest : public ::testing::Test {
 protected:
  fake::Host host;
  fake::Settings settings;
  std::vector<std::string> lines;
  std::unique_ptr<COrvaqController> ctl;

  void SetUp() override {
    ReplaceCurrentLogger(new testsupport::MemoryLogger(&lines));
    ctl.reset(new COrvaqController(host, settings));
  }
  void TearDown() override {
    ctl.reset();
    ReplaceCurrentLogger(nullptr);
  }

  // The start of a run: the adapter check creates the status listener.
  void StartListener() { ctl->HardwareInfos(1, nullptr); }

  void Feed(const SNDPFrame& frame) {
    host.datagrams.push_back(fake::Encode(frame));
    ctl->OnSNDPFrame();
  }

  // Listener up and the station linked and identified with the configured scanner.
  void Link(SNDPFrame frame = fake::MakeFrame()) {
    StartListener();
    Feed(frame);
    ASSERT_EQ(ctl->Status().scannerSerial, L"SN1000");
    ASSERT_EQ(ctl->Status().terminalNum, 3);
  }

  // Linked, then reserved by the button with the image listener up.
  void LinkAndReserve(SNDPFrame frame = fake::MakeFrame()) {
    Link(frame);
    ctl->ReservationAction();
    ASSERT_TRUE(ctl->Status().reserved);
    ASSERT_TRUE(ctl->Status().hasImageClient);
  }

  bool HasLog(const std::wstring& line) const {
    return std::find(lines.begin(), lines.end(), fake::Latin1(line)) != lines.end();
  }
  int CountLog(const std::wstring& line) const {
    return static_cast<int>(std::count(lines.begin(), lines.end(), fake::Latin1(line)));
  }
  bool HasLogPrefix(const std::wstring& prefix) const {
    const std::string p = fake::Latin1(prefix);
    for (const auto& l : lines)
      if (l.compare(0, p.size(), p) == 0) return true;
    return false;
  }
  // Log lines from index `from` on.
  std::vector<std::string> LogsFrom(size_t from) const {
    return std::vector<std::string>(lines.begin() + std::min(from, lines.size()), lines.end());
  }
  void ClearRecords() {
    lines.clear();
    host.events.clear();
    host.scanner.requests.clear();
  }
};

// A sound raw file: `count` line records of the Mode's size, each carrying its number
// and the previous line's number.
inline std::string MakeRawFile(uint8_t mode, int count) {
  const unsigned L = orvaq::raw::LineSizeForMode(mode == 0xFF ? 0 : mode);
  std::string bytes(orvaq::raw::kHeaderSize + static_cast<size_t>(L) * count, '\0');
  bytes[0] = 0x42;
  bytes[1] = 0x31;
  bytes[2] = 1;
  bytes[4] = static_cast<char>(mode);
  for (int k = 0; k < count; ++k) {
    const size_t at = orvaq::raw::kHeaderSize + static_cast<size_t>(k) * L;
    bytes[at] = static_cast<char>(k & 0xFF);
    bytes[at + 1] = static_cast<char>((k >> 8) & 0xFF);
    const uint16_t previous = k == 0 ? 0xFFFF : static_cast<uint16_t>(k - 1);
    bytes[at + L - 32] = static_cast<char>(previous & 0xFF);
    bytes[at + L - 31] = static_cast<char>(previous >> 8);
  }
  return bytes;
}

inline std::string ImageInfoAnswer(int count, int lineSize) {
  return "term=03 color=05 doc_name=Dr Smith pat_name=Anne nb_line=" + std::to_string(count) +
         " line_size=" + std::to_string(lineSize);
}
