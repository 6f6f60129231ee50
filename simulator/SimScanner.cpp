// The simulated scanner's rules (see SimScanner.h). Answers: 200 with "OK" or the value
// for success; refusals carry their number at the start of the body too, because the
// workstation reads that number when the status is not a success status.
#include "simulator/SimScanner.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>
#include <strings.h>

#include "common/RawFormat.h"

namespace orvaq {
namespace sim {

namespace {

SimAnswer Ok(const std::string& body = "OK") { return {200, body}; }
SimAnswer Refuse(int status, const std::string& reason) { return {status, std::to_string(status) + " " + reason}; }

bool ReadInt(const std::string& text, int& out) {
  if (text.empty() || text.size() > 9) return false;
  int v = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return false;
    v = v * 10 + (ch - '0');
  }
  out = v;
  return true;
}

bool SameMac(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

std::string TwoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char ch : text) {
    switch (ch) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (ch < 0x20 || ch > 0x7E) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", ch);
          out += buf;
        } else {
          out += static_cast<char>(ch);
        }
    }
  }
  return out + "\"";
}

bool ParseStationPayload(const std::string& body, StationPayload& out, std::string* why) {
  out = StationPayload();
  std::map<std::string, std::string> kv;
  size_t pos = 0;
  while (pos <= body.size()) {
    size_t end = body.find('\n', pos);
    std::string line = body.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) {
      size_t eq = line.find('=');
      if (eq == std::string::npos || eq == 0) {
        if (why) *why = "line without key=value";
        return false;
      }
      kv[line.substr(0, eq)] = line.substr(eq + 1);
    }
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  static const char* const kKeys[] = {"ready", "term", "color", "mac", "text_coding",
                                      "doc_name", "pat_name", "time", "level", "mode"};
  for (const char* key : kKeys) {
    if (!kv.count(key)) {
      if (why) *why = std::string("missing ") + key;
      return false;
    }
  }
  if (!ReadInt(kv["ready"], out.ready) || out.ready > 1 || !ReadInt(kv["term"], out.term) ||
      !ReadInt(kv["color"], out.color) || !ReadInt(kv["time"], out.time) || !ReadInt(kv["level"], out.level)) {
    if (why) *why = "bad number";
    return false;
  }
  out.mac = kv["mac"];
  out.textCoding = kv["text_coding"];
  out.docName = kv["doc_name"];
  out.patName = kv["pat_name"];
  out.mode = kv["mode"];
  return true;
}

int ModeForWord(const std::string& word) {
  if (word == "sd") return 0;
  if (word == "hd") return 1;
  if (word == "sd_fast") return 2;
  if (word == "debug") return 10;
  return -1;
}

bool ParseFrameFault(const std::string& word, FrameFault& out) {
  static const struct { const char* name; FrameFault fault; } kTable[] = {
      {"none", FrameFault::None},          {"length", FrameFault::WrongLength},
      {"magic", FrameFault::WrongMagic},   {"version", FrameFault::WrongVersion},
      {"state0", FrameFault::StateZero},   {"serial", FrameFault::EmptySerial},
      {"resa", FrameFault::ResaHigh},
  };
  for (const auto& row : kTable)
    if (word == row.name) { out = row.fault; return true; }
  return false;
}

CSimScanner::CSimScanner(const ScannerIdentity& identity) : m_Identity(identity) {}

void CSimScanner::Tick(uint64_t nowMs) {
  m_nNowMs = nowMs;
  if (m_nHolder != 0 && nowMs >= m_nExpiryMs) Release(true);
}

unsigned CSimScanner::RemainingSeconds() const {
  if (m_nHolder == 0 || m_nExpiryMs <= m_nNowMs) return 0;
  return static_cast<unsigned>((m_nExpiryMs - m_nNowMs + 999) / 1000);
}

int CSimScanner::ResaTerminal() const {
  if (m_nHolder) return m_nHolder;
  return m_bSuperHeld ? kSimSuperTerminal : 0;
}

int CSimScanner::WaitingImageTerminal() const {
  return (m_Image.present && m_Image.waiting) ? m_Image.term : 0;
}

uint16_t CSimScanner::StationMask() const {
  uint16_t mask = 0;
  for (int t = 1; t <= 10; ++t)
    if (m_Stations[t].known) mask |= uint16_t(1u << (t - 1));
  return mask;
}

uint8_t CSimScanner::StationFlags() const {
  return uint8_t((m_bTerminalRes ? 1 : 0) | (m_bColorRes ? 2 : 0) | (m_bScreenRes ? 4 : 0));
}

void CSimScanner::Release(bool expired) {
  (void)expired;
  m_nHolder = 0;
  m_sHolderAddress.clear();
  m_nExpiryMs = 0;
  // An image that was not acknowledged stays for its station.
  if (m_Image.present && !m_Image.inFlight) m_Image.waiting = true;
}

void CSimScanner::ForgetStation(int term) {
  if (term < 1 || term > 10) return;
  if (m_nHolder == term) Release(false);
  m_Stations[term] = Station();
}

SimAnswer CSimScanner::Handle(const SimRequest& request, uint64_t nowMs) {
  m_nNowMs = nowMs;
  if (request.object == "lumeq2.prm") return HandlePrm(request.body, request, nowMs);
  bool id = request.object == "lumeq2.id", res = request.object == "lumeq2.res";
  if (!id && !res) return Refuse(404, "no such device file");
  StationPayload p;
  std::string why;
  if (!ParseStationPayload(request.body, p, &why)) return Refuse(400, why);
  return id ? HandleId(p, request) : HandleRes(p, request, nowMs);
}

SimAnswer CSimScanner::HandleId(const StationPayload& p, const SimRequest& r) {
  if (p.term == kSimSuperTerminal && SameMac(p.mac, kSimSuperUserMac)) return Ok();
  if (p.term < 1 || p.term > 10) return Refuse(400, "terminal out of range");
  Station& st = m_Stations[p.term];
  if (p.ready == 0) {
    if (st.known && !SameMac(st.mac, p.mac)) return Refuse(409, "terminal " + TwoDigits(p.term) + " is another station");
    ForgetStation(p.term);
    return Ok();
  }
  if (p.mac.empty()) return Refuse(400, "no mac");
  if (st.known && !SameMac(st.mac, p.mac)) return Refuse(409, "terminal " + TwoDigits(p.term) + " is another station");
  // A station that comes back under another number leaves its old one.
  for (int t = 1; t <= 10; ++t)
    if (t != p.term && m_Stations[t].known && SameMac(m_Stations[t].mac, p.mac)) ForgetStation(t);
  st.known = true;
  st.color = p.color;
  st.mac = p.mac;
  st.docName = p.docName;
  st.patName = p.patName;
  st.address = r.fromAddress;
  return Ok();
}

SimAnswer CSimScanner::HandleRes(const StationPayload& p, const SimRequest& r, uint64_t nowMs) {
  bool super = p.term == kSimSuperTerminal && SameMac(p.mac, kSimSuperUserMac);
  if (super) {
    if (p.ready == 1) {
      int mode = ModeForWord(p.mode);
      if (mode < 0) return Refuse(400, "unknown mode");
      m_bSuperHeld = true;
      m_sSuperAddress = r.fromAddress;
      m_nSuperMode = mode;
    } else {
      m_bSuperHeld = false;
      m_sSuperAddress.clear();
    }
    return Ok();
  }
  if (p.term < 1 || p.term > 10) return Refuse(400, "terminal out of range");
  Station& st = m_Stations[p.term];
  if (p.ready == 0) {
    if (m_nHolder != 0 && m_nHolder != p.term) return Refuse(409, "reserved by " + TwoDigits(m_nHolder));
    if (m_nHolder == p.term) {
      if (!SameMac(st.mac, p.mac)) return Refuse(409, "terminal " + TwoDigits(p.term) + " is another station");
      Release(false);
    }
    return Ok();
  }
  int mode = ModeForWord(p.mode);
  if (mode < 0) return Refuse(400, "unknown mode");
  if (m_bOnMenu) return Refuse(409, "scanner menu open");
  if (!m_bTerminalRes) return Refuse(409, "reservation from the stations is off");
  if (!st.known || !SameMac(st.mac, p.mac)) return Refuse(412, "terminal " + TwoDigits(p.term) + " not identified");
  if (m_nHolder != 0 && m_nHolder != p.term) return Refuse(409, "reserved by " + TwoDigits(m_nHolder));
  if (m_Image.present && m_Image.term != p.term) return Refuse(409, "image waiting for " + TwoDigits(m_Image.term));
  int seconds = p.time > 0 ? p.time : 40;
  m_nHolder = p.term;
  m_sHolderAddress = r.fromAddress;
  m_nHolderMode = mode;
  m_nHolderLevel = p.level;
  m_sHolderDoc = p.docName;
  m_sHolderPat = p.patName;
  m_nExpiryMs = nowMs + uint64_t(seconds) * 1000;
  st.address = r.fromAddress;
  if (m_nAutoResa == p.term) m_nAutoResa = 0;
  return Ok();
}

std::string CSimScanner::ScannerTime() const {
  std::time_t now = std::time(nullptr) + m_nClockOffsetS;
  std::tm tm {};
  localtime_r(&now, &tm);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d %02d.%02d.%04d", tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_mday,
                tm.tm_mon + 1, tm.tm_year + 1900);
  return buf;
}

SimAnswer CSimScanner::HandlePrm(const std::string& rawBody, const SimRequest& r, uint64_t nowMs) {
  std::string body = rawBody;
  while (!body.empty() && (body.back() == '\r' || body.back() == '\n' || body.back() == '\0')) body.pop_back();
  size_t eq = body.find('=');
  std::string key = body.substr(0, eq);
  std::string value = eq == std::string::npos ? std::string() : body.substr(eq + 1);
  bool set = eq != std::string::npos;

  if (key == "reservation_mode") {
    if (!set) {
      if (m_nReservationMode == 0) return Ok("mono");
      if (m_nReservationMode == 1) return Ok("multi");
      return Ok("unknown");
    }
    if (value == "mono") m_nReservationMode = 0;
    else if (value == "multi") m_nReservationMode = 1;
    else return Refuse(400, "mono or multi");
    return Ok();
  }
  if (key == "image_info" && !set) {
    if (!m_Image.present) return Refuse(404, "no image");
    char buf[128];
    std::snprintf(buf, sizeof buf, "term=%02d color=%02d ", m_Image.term, m_Image.color);
    std::string text = buf;
    text += "doc_name=" + m_Image.docName + " pat_name=" + m_Image.patName;
    std::snprintf(buf, sizeof buf, " nb_line=%u line_size=%u", m_Image.lineCount, m_Image.lineSize);
    return Ok(text + buf);
  }
  if (key == "screen_reservation" || key == "terminal_reservation" || key == "color_reservation") {
    if (!set || (value != "on" && value != "off")) return Refuse(400, "on or off");
    bool on = value == "on";
    (key[0] == 's' ? m_bScreenRes : key[0] == 't' ? m_bTerminalRes : m_bColorRes) = on;
    return Ok();
  }
  if (key == "time") {
    if (!set) return Ok(ScannerTime());
    int h, mi, s, d, mo, y;
    char tail;
    if (std::sscanf(value.c_str(), "%2d:%2d:%2d %2d.%2d.%4d%c", &h, &mi, &s, &d, &mo, &y, &tail) != 6 ||
        h > 23 || mi > 59 || s > 59 || d < 1 || d > 31 || mo < 1 || mo > 12 || y < 1970)
      return Refuse(400, "time=hh:mm:ss dd.mm.yyyy");
    std::tm tm {};
    tm.tm_hour = h; tm.tm_min = mi; tm.tm_sec = s; tm.tm_mday = d; tm.tm_mon = mo - 1; tm.tm_year = y - 1900;
    tm.tm_isdst = -1;
    m_nClockOffsetS = int64_t(std::mktime(&tm)) - int64_t(std::time(nullptr));
    return Ok();
  }
  if (key == "get_doctor" && set) {
    int t = 0;
    if (!ReadInt(value, t) || t < 1 || t > 10) return Refuse(400, "get_doctor=01..10");
    const Station& st = m_Stations[t];
    char buf[300];
    if (st.known)
      std::snprintf(buf, sizeof buf, "term=%02d color=%02d mac=%.255s", t, st.color, st.mac.c_str());
    else
      std::snprintf(buf, sizeof buf, "term=00 color=00 mac=00:00:00:00:00:00");
    return Ok(buf);
  }
  if (key == "door" && !set) {
    static const char* const kDoor[] = {"open", "close", "moving", "error", "unknown"};
    return Ok(kDoor[static_cast<int>(m_Door)]);
  }
  if (key == "demo") {
    if (!set) return Ok(m_bDemo ? "enable" : "disable");
    if (value == "enable") m_bDemo = true;
    else if (value == "disable") m_bDemo = false;
    else return Refuse(400, "enable or disable");
    return Ok();
  }
  struct Limit { const char* key; int* value; int max; } limits[] = {
      {"menu_timeout", &m_nMenuTimeout, 3600}, {"auto_dimmer", &m_nAutoDimmer, 300}, {"eco_timeout", &m_nEcoTimeout, 60}};
  for (Limit& l : limits) {
    if (key != l.key) continue;
    if (!set) return Ok(std::to_string(*l.value));
    int v = 0;
    if (!ReadInt(value, v) || v > l.max) return Refuse(400, "0.." + std::to_string(l.max));
    *l.value = v;
    return Ok();
  }
  if (key == "gui_language" && set) {
    static const char* const kWords[] = {"arabic", "chinese", "deutsch", "spanish", "french", "italian",
                                         "japanese", "korean", "nederland", "swedish", "thai", "english"};
    for (const char* w : kWords)
      if (value == w) { m_sLanguage = value; return Ok(); }
    return Refuse(400, "unknown language");
  }
  if (key == "reload" && set) {
    int seconds = 0;
    if (!ReadInt(value, seconds) || seconds == 0) return Refuse(400, "reload=NNN");
    if (m_nHolder == 0) return Refuse(409, "not reserved");
    if (r.fromAddress != m_sHolderAddress) return Refuse(409, "reserved by " + TwoDigits(m_nHolder));
    m_nExpiryMs = nowMs + uint64_t(seconds) * 1000;
    return Ok();
  }
  if (key == "reset_terminal" && set) {
    int t = 0;
    if (!ReadInt(value, t) || t < 1 || t > 10) return Refuse(400, "reset_terminal=01..10");
    ForgetStation(t);
    return Ok();
  }
  if (body == "reset_doctors") {
    for (int t = 1; t <= 10; ++t) ForgetStation(t);
    return Ok();
  }
  if (body == "read_ok") {
    m_Image = HeldImage();
    return Ok();
  }
  if (body == "read_nok") {
    if (m_Image.present) m_Image.waiting = true;
    return Ok();
  }
  if (body == "image_read") {
    std::string to = m_bSuperHeld ? m_sSuperAddress : m_nHolder ? m_sHolderAddress : std::string();
    if (to.empty()) return Refuse(409, "not reserved");
    if (!m_Image.present && m_bPatternNext) {
      PlateOrder plateOrder;
      plateOrder.kind = PlateKind::TestPattern;
      plateOrder.mode = 10;
      plateOrder.size = 2;
      plateOrder.wantIdeal = false;
      std::string why;
      int term = m_nHolder ? m_nHolder : kSimSuperTerminal;
      Plate plate;
      plateOrder.seed = ++m_nScanSequence;
      plateOrder.sequence = m_nScanSequence;
      plateOrder.scanTime = static_cast<uint32_t>(std::time(nullptr));
      if (!BuildPlate(plateOrder, plate)) return Refuse(500, "pattern");
      m_Image = HeldImage();
      m_Image.present = true;
      m_Image.term = term;
      m_Image.color = term <= 10 ? m_Stations[term].color : 11;
      m_Image.lineCount = plate.lineCount;
      m_Image.lineSize = plate.lineSize;
      m_Image.docName = "Pattern";
      m_Image.patName = "Test";
      m_Image.bytes = std::move(plate.raw);
      m_bPatternNext = false;
    }
    if (!m_Image.present) return Refuse(409, "no image");
    if (m_Image.inFlight) return Refuse(409, "image being sent");
    Deliver(to);
    return Ok();
  }
  if (key == "image_mode" && set) {
    if (value == "debug") m_bPatternNext = true;
    else if (value == "normal") m_bPatternNext = false;
    else return Refuse(400, "debug or normal");
    return Ok();
  }
  if (key.compare(0, 5, "fpga:") == 0 && set) {
    m_Fpga[key.substr(5)] = value;
    return Ok();
  }
  if (body == "fpga_read") {
    std::string text;
    for (const auto& kv : m_Fpga) text += kv.first + "=" + kv.second + "\r\n";
    return Ok(text.empty() ? "none" : text);
  }
  if (key == "debug_sample" && set) {
    m_sDebugSample = value;
    return Ok();
  }
  return Refuse(400, "unknown command");
}

void CSimScanner::Deliver(const std::string& address) {
  Delivery d;
  d.address = address;
  d.port = m_Identity.imagePort;
  d.bytes = m_Image.bytes;
  d.id = m_nNextDelivery++;
  m_Image.inFlight = true;
  m_Image.deliveryId = d.id;
  m_Image.waiting = false;
  m_Deliveries.push_back(std::move(d));
}

std::vector<Delivery> CSimScanner::TakeDeliveries() {
  std::vector<Delivery> out;
  out.swap(m_Deliveries);
  return out;
}

void CSimScanner::DeliveryDone(uint32_t id, bool ok) {
  if (!m_Image.present || m_Image.deliveryId != id) return;
  m_Image.inFlight = false;
  // Not received: the image waits for its station; received: it stays held, not
  // reported, until the station acknowledges it (or its reservation ends).
  if (!ok || (m_nHolder == 0 && !m_bSuperHeld)) m_Image.waiting = true;
}

bool CSimScanner::Scan(PlateOrder plateOrder, bool keepMode, std::string* why, std::vector<uint8_t>* copy) {
  std::string to = m_nHolder ? m_sHolderAddress : m_bSuperHeld ? m_sSuperAddress : std::string();
  if (to.empty()) {
    if (why) *why = "nobody holds the reservation";
    return false;
  }
  if (m_Image.present) {
    if (why) *why = "an image is already held for terminal " + std::to_string(m_Image.term);
    return false;
  }
  if (!keepMode) plateOrder.mode = static_cast<unsigned>(m_nHolder ? m_nHolderMode : m_nSuperMode);
  plateOrder.sequence = ++m_nScanSequence;
  plateOrder.scanTime = static_cast<uint32_t>(std::time(nullptr));
  plateOrder.wantIdeal = false;
  Plate plate;
  if (!BuildPlate(plateOrder, plate)) {
    if (why) *why = "no such plate";
    return false;
  }
  m_Image = HeldImage();
  m_Image.present = true;
  m_Image.term = m_nHolder ? m_nHolder : kSimSuperTerminal;
  m_Image.color = m_nHolder ? m_Stations[m_nHolder].color : 11;
  m_Image.docName = m_nHolder ? m_sHolderDoc : "Control";
  m_Image.patName = m_nHolder ? m_sHolderPat : "Admin";
  m_Image.lineCount = plate.lineCount;
  m_Image.lineSize = plate.lineSize;
  m_Image.bytes = std::move(plate.raw);
  if (copy) *copy = m_Image.bytes;
  Deliver(to);
  return true;
}

HttpFaultDecision CSimScanner::TakeHttpFault() {
  HttpFaultDecision d;
  d.delayMs = m_Faults.answerDelayMs;
  if (m_Faults.silentRequests != 0) {
    d.silent = true;
    if (m_Faults.silentRequests > 0) --m_Faults.silentRequests;
    return d;
  }
  if (m_Faults.forbiddenRequests > 0) {
    d.forbidden = true;
    --m_Faults.forbiddenRequests;
    return d;
  }
  if (m_Faults.longBodyRequests != 0) {
    d.padTo = m_Faults.longBodySize;
    if (m_Faults.longBodyRequests > 0) --m_Faults.longBodyRequests;
  }
  return d;
}

TransferFaults CSimScanner::TakeTransferFaults() {
  TransferFaults t;
  t.refuse = m_Faults.refuseImage;
  t.reset = m_Faults.resetImage;
  t.truncateAt = m_Faults.truncateAt;
  t.stallAt = m_Faults.stallAt;
  t.stallMs = m_Faults.stallMs;
  m_Faults.refuseImage = m_Faults.resetImage = false;
  m_Faults.truncateAt = m_Faults.stallAt = -1;
  m_Faults.stallMs = 0;
  return t;
}

SNDPFrame CSimScanner::CurrentFrame() const {
  SNDPFrame f;
  f.SetName(m_Identity.name);
  f.SetSerial(m_Identity.serial);
  f.ipAddress = m_Identity.ipAddress;
  f.imagePort = m_Identity.imagePort;
  std::memcpy(f.macAddress, m_Identity.mac, 6);
  std::memcpy(f.firmwareVersion, m_Identity.firmware, 4);
  std::memcpy(f.fpgaVersion, m_Identity.fpga, 2);
  f.addressMode = m_Identity.addressMode;
  f.subnetMask = m_Identity.subnetMask;
  f.gateway = m_Identity.gateway;
  f.state = m_bStarting ? SNDP_STATE_STARTING
            : m_bOnMenu ? SNDP_STATE_ON_GUI
            : ResaTerminal() != 0 ? SNDP_STATE_RESERVED
                                  : SNDP_STATE_READY;
  f.resaTerminal = static_cast<uint8_t>(ResaTerminal());
  f.lastError = m_nLastError;
  f.autoResaTerminal = m_nAutoResa;
  f.stationMask = StationMask();
  f.remainingTime = static_cast<uint16_t>(RemainingSeconds());
  f.frameNumber = m_nFrameNumber;
  f.waitingImageTerminal = static_cast<uint8_t>(WaitingImageTerminal());
  f.reservationMode = m_nReservationMode;
  f.stationFlags = StationFlags();
  return f;
}

bool CSimScanner::NextFrameBytes(uint8_t out[kSNDPFrameSize]) {
  if (m_Faults.vanished) return false;
  SNDPFrame f = CurrentFrame();
  ++m_nFrameNumber;
  if (m_Faults.frameFaultCount != 0 && m_Faults.frameFault != FrameFault::None) {
    switch (m_Faults.frameFault) {
      case FrameFault::WrongLength: f.length = 121; break;
      case FrameFault::WrongMagic: f.magic = 0x5AA5; break;
      case FrameFault::WrongVersion: f.version = 2; break;
      case FrameFault::StateZero: f.state = SNDP_STATE_STARTING; break;
      case FrameFault::EmptySerial: f.SetSerial(""); break;
      case FrameFault::ResaHigh: f.resaTerminal = 12; f.state = SNDP_STATE_RESERVED; break;
      case FrameFault::None: break;
    }
    if (m_Faults.frameFaultCount > 0 && --m_Faults.frameFaultCount == 0) m_Faults.frameFault = FrameFault::None;
  }
  EncodeSNDPFrame(f, out);
  return true;
}

std::string CSimScanner::StatusJson() const {
  std::ostringstream o;
  SNDPFrame f = CurrentFrame();
  o << "{\"name\":" << JsonString(m_Identity.name) << ",\"serial\":" << JsonString(m_Identity.serial)
    << ",\"state\":" << int(f.state) << ",\"resaTerminal\":" << ResaTerminal() << ",\"superHeld\":"
    << (m_bSuperHeld ? "true" : "false") << ",\"holderAddress\":" << JsonString(m_sHolderAddress)
    << ",\"remainingTime\":" << RemainingSeconds() << ",\"reservationMode\":" << int(m_nReservationMode)
    << ",\"stationMask\":" << StationMask() << ",\"stationFlags\":" << int(StationFlags())
    << ",\"waitingImageTerminal\":" << WaitingImageTerminal() << ",\"imageHeld\":"
    << (m_Image.present ? "true" : "false") << ",\"imagePort\":" << m_Identity.imagePort
    << ",\"frameNumber\":" << int(m_nFrameNumber) << ",\"lastError\":" << int(m_nLastError)
    << ",\"autoResaTerminal\":" << int(m_nAutoResa) << ",\"demo\":" << (m_bDemo ? "true" : "false")
    << ",\"language\":" << JsonString(m_sLanguage)
    // The administration state, so that a test sees the effect of the technical setup
    // and the sheet on the scanner and not only their requests.
    << ",\"clockOffsetS\":" << m_nClockOffsetS << ",\"menuTimeout\":" << m_nMenuTimeout
    << ",\"ecoTimeout\":" << m_nEcoTimeout << ",\"autoDimmer\":" << m_nAutoDimmer
    << ",\"screenReservation\":" << (m_bScreenRes ? "true" : "false")
    << ",\"terminalReservation\":" << (m_bTerminalRes ? "true" : "false")
    << ",\"colorReservation\":" << (m_bColorRes ? "true" : "false") << ",\"stations\":[";
  bool first = true;
  for (int t = 1; t <= 10; ++t) {
    const Station& st = m_Stations[t];
    if (!st.known) continue;
    o << (first ? "" : ",") << "{\"term\":" << t << ",\"color\":" << st.color << ",\"mac\":" << JsonString(st.mac)
      << ",\"doc_name\":" << JsonString(st.docName) << ",\"pat_name\":" << JsonString(st.patName)
      << ",\"address\":" << JsonString(st.address) << "}";
    first = false;
  }
  o << "]}";
  return o.str();
}

}  // namespace sim
}  // namespace orvaq
