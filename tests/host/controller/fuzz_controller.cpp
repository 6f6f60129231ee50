// Fuzz target for the whole controller: status frames, scanner answers, timer ticks,
// button presses, image socket events and raw files in any order and with any content.
// The controller must never fault, and must never acknowledge with "read_ok" a raw file
// that the check would refuse.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "acquisition/RawCheck.h"
#include "tests/host/controller/fake_host.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  bool Empty() const { return at >= size; }
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  std::string Bytes(size_t n) {
    const size_t take = n < size - at ? n : size - at;
    std::string s(reinterpret_cast<const char*>(data + at), take);
    at += take;
    return s;
  }
};

const uint32_t kTimers[] = {1010, 1020, 1030, 1050, 1060, 1070, 1420, 4444};
const int kCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 14, 15, 16, 1003, 1025, 1045, 1073, 12000, 99};

// Whether a raw file can pass the check with some description: a passed file has the
// Mode's line size, a whole number of at least one line and a sound line-number chain.
bool Sound(const std::string& bytes) {
  if (bytes.size() >= kRawCheckSkipSize) return true;
  const auto* raw = reinterpret_cast<const uint8_t*>(bytes.data());
  const unsigned L = ExpectedLineSize(raw, bytes.size());
  if (bytes.size() <= 36 || L == 0 || (bytes.size() - 36) % L != 0) return false;
  RawImageDescription d;
  d.lineCount = static_cast<int>((bytes.size() - 36) / L);
  d.lineSize = static_cast<int>(L);
  return ScanRawLines(raw, bytes.size(), L, d).verdict == RawVerdict::Pass;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReplaceCurrentLogger(new KvLoggerNULL);
  fake::Host host;
  fake::Settings settings;
  COrvaqController ctl(host, settings);
  ctl.HardwareInfos(1, nullptr);
  std::string rawFile;
  const std::wstring rawPath = L"C:\\images\\LASTACQP2.BIN";
  Input in{data, size};
  while (!in.Empty()) {
    switch (in.Byte() % 10) {
      case 0: {  // a datagram: 122 bytes, or fewer at the end
        const std::string d = in.Bytes(kSNDPFrameSize);
        host.datagrams.push_back(std::vector<uint8_t>(d.begin(), d.end()));
        ctl.OnSNDPFrame();
        break;
      }
      case 1: {  // a frame of the configured scanner with fuzzed state bytes
        SNDPFrame f = fake::MakeFrame();
        f.state = in.Byte() % 5;
        f.resaTerminal = in.Byte() % 13;
        f.autoResaTerminal = in.Byte() % 12;
        f.waitingImageTerminal = in.Byte() % 12;
        f.reservationMode = in.Byte() % 3;
        f.stationFlags = in.Byte();
        f.lastError = in.Byte() % 2;
        host.datagrams.push_back(fake::Encode(f));
        ctl.OnSNDPFrame();
        break;
      }
      case 2: {  // the scanner's next answers
        fake::Reply reply;
        const uint8_t kind = in.Byte();
        reply.reachable = kind % 7 != 0;
        reply.status = kind % 3 == 0 ? 200 : 100 + kind;
        reply.text = in.Bytes(in.Byte() % 80);
        const uint8_t which = in.Byte() % 4;
        if (which == 0) host.scanner.byFile[L"lumeq2.res"] = reply;
        if (which == 1) host.scanner.byFile[L"lumeq2.id"] = reply;
        if (which == 2) host.scanner.byBody["image_info"] = reply;
        if (which == 3) host.scanner.byFile[L"lumeq2.prm"] = reply;
        break;
      }
      case 3:
        ctl.OnTimer(kTimers[in.Byte() % 8]);
        break;
      case 4:
        ctl.ReservationAction();
        break;
      case 5: {
        const uint8_t e = in.Byte();
        const uint32_t events[] = {1, 8, 32, 16};
        host.pending = {static_cast<int32_t>(e) - 1};
        const int readOk = host.scanner.Count("read_ok");
        const bool close = e % 4 == 2;
        ctl.OnImageMessage(e, events[e % 4] | (e > 200 ? 0x27450000u : 0u));
        if (close && host.scanner.Count("read_ok") > readOk && !Sound(rawFile)) std::abort();
        break;
      }
      case 6: {  // a raw file: a sound one with some bytes changed, or random bytes
        const uint8_t mode = in.Byte() % 11;
        const int lines = in.Byte() % 4;
        const unsigned L = orvaq::raw::LineSizeForMode(mode);
        rawFile.assign(36 + static_cast<size_t>(L) * lines, '\0');
        rawFile[4] = static_cast<char>(mode);
        for (int k = 0; k < lines; ++k) {
          rawFile[36 + k * L] = static_cast<char>(k);
          const uint16_t previous = k == 0 ? 0xFFFF : k - 1;
          rawFile[36 + (k + 1) * L - 32] = static_cast<char>(previous & 0xFF);
          rawFile[36 + (k + 1) * L - 31] = static_cast<char>(previous >> 8);
        }
        const int changes = in.Byte() % 3;
        for (int c = 0; c < changes && !rawFile.empty(); ++c) {
          const size_t at = (static_cast<size_t>(in.Byte()) * 131 + in.Byte()) % rawFile.size();
          rawFile[at] = static_cast<char>(in.Byte());
        }
        fake::MemoryFile file;
        file.bytes = rawFile;
        file.size = rawFile.size();
        host.files[rawPath] = file;
        break;
      }
      case 7:
        host.tick += static_cast<uint32_t>(in.Byte()) * 100;
        break;
      case 8: {
        std::wstring serial = L"SN1000";
        ctl.AdminAction(kCodes[in.Byte() % 20], serial);
        ctl.HardwareInfos(in.Byte() % 20, in.Byte() % 2 ? &serial : nullptr);
        break;
      }
      case 9: {
        const uint8_t what = in.Byte();
        if (what % 3 == 0) ctl.RequestLastImageRead(what % 2 == 0);
        if (what % 3 == 1) ctl.HardwareInfos(what % 2 ? 5 : 4, nullptr);
        if (what % 3 == 2) ctl.OnCommandLineChanged(L"x", L"y");
        break;
      }
    }
  }
  ReplaceCurrentLogger(nullptr);
  return 0;
}

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  // Link, reserve, transfer a sound Mode 2 file of two lines and close.
  std::vector<uint8_t> s = {1, 1, 0, 0, 0, 1, 1, 0,  // a ready frame
                            4,                       // the button
                            6, 2, 2, 0,              // a sound file
                            2, 3, 60};               // image_info answer
  const std::string info = "term=03 color=05 doc_name=a pat_name=b nb_line=2 line_size=2848";
  s.back() = static_cast<uint8_t>(info.size());
  s.insert(s.end(), info.begin(), info.end());
  s.push_back(2);
  s.insert(s.end(), {5, 0, 5, 1, 5, 2, 3, 6});
  seeds->push_back(s);
}
