// The simulator's network side (see SimServer.h). civetweb serves the device files: its
// request handler writes the whole answer itself, which lets the fault switches send a
// 403, an over-long body, a late answer or none at all.
#include "simulator/SimServer.h"

#include <arpa/inet.h>
#include <civetweb.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/RawFormat.h"

namespace orvaq {
namespace sim {

namespace {

constexpr size_t kRecordLimit = 20000;
constexpr size_t kBodyLimit = 1 << 20;
constexpr uint64_t kSilentHoldMs = 120000;

std::string ReasonFor(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409: return "Conflict";
    case 412: return "Precondition Failed";
    default: return "Error";
  }
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  std::string w;
  while (in >> w) out.push_back(w);
  return out;
}

bool ToLong(const std::string& text, long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, 10);
  if (errno || *end) return false;
  out = v;
  return true;
}

std::string Error(const std::string& why) { return "{\"ok\":false,\"error\":" + JsonString(why) + "}"; }

std::string Hex(const uint8_t* p, size_t n) {
  static const char* d = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) { s += d[p[i] >> 4]; s += d[p[i] & 15]; }
  return s;
}

}  // namespace

CSimServer::CSimServer(const ScannerIdentity& identity, const ServerOptions& options)
    : m_Scanner(identity), m_Options(options) {}

CSimServer::~CSimServer() { Stop(); }

uint64_t CSimServer::NowMs() const {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch()).count());
}

bool CSimServer::SleepUnlessStopped(int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!m_bStop && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return !m_bStop;
}

void CSimServer::Record(const std::string& json) {
  std::string line = "{\"t\":" + std::to_string(NowMs() - m_nStartMs) + "," + json.substr(1);
  m_Record.push_back(line);
  if (m_Record.size() > kRecordLimit) m_Record.pop_front();
  if (!m_Options.recordPath.empty()) {
    std::ofstream f(m_Options.recordPath, std::ios::app | std::ios::binary);
    f << line << "\n";
  }
}

bool CSimServer::Start(std::string* why) {
  m_nStartMs = NowMs();
  m_Scanner.Tick(NowMs());

  // Status frames.
  m_hFrameSocket = socket(AF_INET, SOCK_DGRAM, 0);
  int one = 1;
  setsockopt(m_hFrameSocket, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  if (!m_Options.frameSource.empty()) {
    sockaddr_in src {};
    src.sin_family = AF_INET;
    if (inet_pton(AF_INET, m_Options.frameSource.c_str(), &src.sin_addr) != 1 ||
        bind(m_hFrameSocket, reinterpret_cast<sockaddr*>(&src), sizeof src) != 0) {
      if (why) *why = "cannot bind the frame source " + m_Options.frameSource + ": " + std::strerror(errno);
      return false;
    }
  }

  // Device files.
  mg_init_library(0);
  std::string ports = m_Options.httpAddress + ":" + std::to_string(m_Options.httpPort);
  const char* options[] = {"listening_ports", ports.c_str(), "num_threads", "64", "enable_keep_alive", "no",
                           "request_timeout_ms", "30000", nullptr};
  mg_callbacks callbacks {};
  m_pHttp = mg_start(&callbacks, this, options);
  if (!m_pHttp) {
    if (why) *why = "cannot serve HTTP on " + ports;
    return false;
  }
  mg_set_request_handler(m_pHttp, "/", &CSimServer::OnRequest, this);
  mg_server_port sp[4] {};
  int n = mg_get_server_ports(m_pHttp, 4, sp);
  m_nHttpPort = n > 0 ? sp[0].port : m_Options.httpPort;

  // Control socket.
  if (!m_Options.controlPath.empty()) {
    m_hControlSocket = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    if (m_Options.controlPath.size() >= sizeof addr.sun_path) {
      if (why) *why = "control socket path too long";
      return false;
    }
    std::strcpy(addr.sun_path, m_Options.controlPath.c_str());
    unlink(m_Options.controlPath.c_str());
    if (bind(m_hControlSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(m_hControlSocket, 8) != 0) {
      if (why) *why = "cannot open the control socket " + m_Options.controlPath + ": " + std::strerror(errno);
      return false;
    }
    m_ControlThread = std::thread(&CSimServer::ControlLoop, this);
  }
  m_FrameThread = std::thread(&CSimServer::FrameLoop, this);
  m_DeliveryThread = std::thread(&CSimServer::DeliveryLoop, this);
  return true;
}

void CSimServer::Stop() {
  if (m_bStop.exchange(true)) return;
  m_Wake.notify_all();
  if (m_hControlSocket >= 0) shutdown(m_hControlSocket, SHUT_RDWR);
  if (m_ControlThread.joinable()) m_ControlThread.join();
  if (m_FrameThread.joinable()) m_FrameThread.join();
  if (m_DeliveryThread.joinable()) m_DeliveryThread.join();
  if (m_pHttp) {
    mg_stop(m_pHttp);
    m_pHttp = nullptr;
    mg_exit_library();
  }
  if (m_hFrameSocket >= 0) close(m_hFrameSocket);
  if (m_hControlSocket >= 0) {
    close(m_hControlSocket);
    unlink(m_Options.controlPath.c_str());
  }
  m_hFrameSocket = m_hControlSocket = -1;
}

int CSimServer::OnRequest(mg_connection* conn, void* self) { return static_cast<CSimServer*>(self)->Serve(conn); }

int CSimServer::Serve(mg_connection* conn) {
  const mg_request_info* ri = mg_get_request_info(conn);
  std::string body;
  char buf[4096];
  int n;
  while (body.size() < kBodyLimit && (n = mg_read(conn, buf, sizeof buf)) > 0) body.append(buf, static_cast<size_t>(n));

  std::string uri = ri->request_uri ? ri->request_uri : "";
  std::string method = ri->request_method ? ri->request_method : "";
  std::ostringstream rec;
  rec << "{\"kind\":\"http\",\"from\":" << JsonString(std::string(ri->remote_addr) + ":" + std::to_string(ri->remote_port))
      << ",\"request\":" << JsonString(method + " " + uri + " HTTP/" + (ri->http_version ? ri->http_version : ""))
      << ",\"headers\":{";
  for (int i = 0; i < ri->num_headers; ++i)
    rec << (i ? "," : "") << JsonString(ri->http_headers[i].name ? ri->http_headers[i].name : "") << ":"
        << JsonString(ri->http_headers[i].value ? ri->http_headers[i].value : "");
  rec << "},\"body\":" << JsonString(body);

  SimAnswer answer;
  HttpFaultDecision fault;
  uint64_t epoch;
  {
    std::lock_guard<std::mutex> lock(m_Lock);
    fault = m_Scanner.TakeHttpFault();
    epoch = m_nSilentEpoch;
    if (fault.silent) {
      answer.status = 0;
    } else if (fault.forbidden) {
      answer = {403, "403 Forbidden"};
    } else if (method != "POST") {
      answer = {405, "405 POST only"};
    } else {
      SimRequest req;
      req.object = uri.size() > 1 && uri[0] == '/' ? uri.substr(1) : uri;
      req.body = body;
      req.fromAddress = ri->remote_addr;
      answer = m_Scanner.Handle(req, NowMs());
    }
    if (fault.padTo > answer.body.size() && answer.status) answer.body.append(fault.padTo - answer.body.size(), '#');
    std::string shown = answer.body.size() > 300 ? answer.body.substr(0, 300) + "..." : answer.body;
    rec << ",\"status\":" << answer.status << ",\"answer\":" << JsonString(fault.silent ? "(never answered)" : shown)
        << ",\"answerBytes\":" << answer.body.size() << "}";
    Record(rec.str());
  }
  if (fault.delayMs > 0) SleepUnlessStopped(fault.delayMs);
  if (fault.silent) {
    // Hold the connection without a word until the fault is cleared or we stop, or at
    // most kSilentHoldMs, long after any station has given up, so that held requests
    // cannot use up the server's threads for good.
    uint64_t until = NowMs() + kSilentHoldMs;
    while (NowMs() < until) {
      {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (m_nSilentEpoch != epoch) break;
      }
      if (!SleepUnlessStopped(50)) break;
    }
    return 499;  // connection closed without an answer
  }
  std::string head = "HTTP/1.0 " + std::to_string(answer.status) + " " + ReasonFor(answer.status) +
                     "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(answer.body.size()) +
                     "\r\nConnection: close\r\n\r\n";
  mg_write(conn, head.data(), head.size());
  mg_write(conn, answer.body.data(), answer.body.size());
  return answer.status;
}

void CSimServer::FrameLoop() {
  sockaddr_in to {};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(m_Options.framePort));
  inet_pton(AF_INET, m_Options.frameAddress.c_str(), &to.sin_addr);
  uint64_t next = NowMs();
  while (!m_bStop) {
    uint64_t now = NowMs();
    {
      std::lock_guard<std::mutex> lock(m_Lock);
      m_Scanner.Tick(now);
      for (Delivery& d : m_Scanner.TakeDeliveries()) m_Queue.push_back(std::move(d));
      if (!m_Queue.empty()) m_Wake.notify_all();
      if (now >= next) {
        next = now + static_cast<uint64_t>(m_Options.frameIntervalMs);
        uint8_t frame[kSNDPFrameSize];
        if (m_Scanner.NextFrameBytes(frame)) {
          ssize_t sent = sendto(m_hFrameSocket, frame, sizeof frame, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
          std::ostringstream rec;
          rec << "{\"kind\":\"frame\",\"to\":" << JsonString(m_Options.frameAddress + ":" + std::to_string(m_Options.framePort))
              << ",\"frameNumber\":" << int(frame[86]) << ",\"state\":" << int(frame[78])
              << ",\"resaTerminal\":" << int(frame[79]) << ",\"waitingImageTerminal\":" << int(frame[87])
              << ",\"sent\":" << (sent == static_cast<ssize_t>(sizeof frame) ? "true" : "false")
              << ",\"bytes\":\"" << Hex(frame, sizeof frame) << "\"}";
          Record(rec.str());
        }
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void CSimServer::DeliveryLoop() {
  for (;;) {
    Delivery d;
    TransferFaults faults;
    {
      std::unique_lock<std::mutex> lock(m_Lock);
      m_Wake.wait_for(lock, std::chrono::milliseconds(100), [&] { return m_bStop || !m_Queue.empty(); });
      if (m_bStop) return;
      if (m_Queue.empty()) continue;
      d = std::move(m_Queue.front());
      m_Queue.pop_front();
      faults = m_Scanner.TakeTransferFaults();
      // A corrupted line number goes into this transfer only; the held image stays sound.
      if (m_Scanner.GetFaults().corruptLine >= 0 && d.bytes.size() > raw::kHeaderSize) {
        unsigned L = raw::LineSizeForMode(d.bytes[raw::kOffMode]);
        CorruptPreviousLineNumber(d.bytes, L, static_cast<unsigned>(m_Scanner.GetFaults().corruptLine), 0x4242);
        m_Scanner.MutableFaults().corruptLine = -1;
      }
    }
    std::string outcome;
    bool ok = SendImage(d, faults, outcome);
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Scanner.DeliveryDone(d.id, ok);
    Record("{\"kind\":\"image\",\"to\":" + JsonString(d.address + ":" + std::to_string(d.port)) +
           ",\"bytes\":" + std::to_string(d.bytes.size()) + ",\"outcome\":" + JsonString(outcome) + "}");
  }
}

bool CSimServer::SendImage(const Delivery& d, const TransferFaults& faults, std::string& outcome) {
  if (faults.refuse) {
    outcome = "refused by fault switch: no connection";
    return false;
  }
  sockaddr_in to {};
  to.sin_family = AF_INET;
  to.sin_port = htons(d.port);
  if (inet_pton(AF_INET, d.address.c_str(), &to.sin_addr) != 1) {
    outcome = "bad address";
    return false;
  }
  int s = socket(AF_INET, SOCK_STREAM, 0);
  fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK);
  int rc = connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
  if (rc != 0 && errno == EINPROGRESS) {
    pollfd p {s, POLLOUT, 0};
    rc = poll(&p, 1, m_Options.imageConnectTimeoutMs) == 1 ? 0 : -1;
    int err = 0;
    socklen_t len = sizeof err;
    if (rc == 0 && (getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0)) {
      errno = err;
      rc = -1;
    }
  }
  if (rc != 0) {
    outcome = std::string("connect failed: ") + std::strerror(errno);
    close(s);
    return false;
  }
  fcntl(s, F_SETFL, fcntl(s, F_GETFL) & ~O_NONBLOCK);
  if (faults.reset) {
    linger lg {1, 0};  // an abortive close: the station sees a reset
    setsockopt(s, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    close(s);
    outcome = "reset by fault switch";
    return false;
  }
  timeval tv {5, 0};
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  size_t total = d.bytes.size();
  if (faults.truncateAt >= 0 && static_cast<size_t>(faults.truncateAt) < total) total = static_cast<size_t>(faults.truncateAt);
  size_t sent = 0;
  bool stalled = false;
  while (sent < total && !m_bStop) {
    if (!stalled && faults.stallAt >= 0 && sent >= static_cast<size_t>(faults.stallAt)) {
      stalled = true;
      if (faults.stallMs < 0) {
        // Stall until the station gives up (closes) or we stop.
        for (;;) {
          pollfd p {s, POLLIN, 0};
          if (poll(&p, 1, 100) == 1) break;
          if (m_bStop) break;
        }
        outcome = "stalled until the station closed after " + std::to_string(sent) + " bytes";
        close(s);
        return false;
      }
      SleepUnlessStopped(faults.stallMs);
    }
    size_t chunk = std::min<size_t>(65536, total - sent);
    if (!stalled && faults.stallAt >= 0) chunk = std::min(chunk, static_cast<size_t>(faults.stallAt) - sent);
    ssize_t n = send(s, d.bytes.data() + sent, chunk, MSG_NOSIGNAL);
    if (n <= 0) {
      outcome = "send failed after " + std::to_string(sent) + " bytes: " + std::strerror(errno);
      close(s);
      return false;
    }
    sent += static_cast<size_t>(n);
  }
  close(s);
  if (total < d.bytes.size()) {
    outcome = "truncated by fault switch after " + std::to_string(total) + " bytes";
    return false;
  }
  outcome = "sent";
  return sent == total;
}

void CSimServer::ControlLoop() {
  while (!m_bStop) {
    pollfd p {m_hControlSocket, POLLIN, 0};
    if (poll(&p, 1, 200) != 1) continue;
    int c = accept(m_hControlSocket, nullptr, nullptr);
    if (c < 0) continue;
    timeval tv {5, 0};
    setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string line;
    char ch;
    while (line.size() < 65536 && read(c, &ch, 1) == 1 && ch != '\n') line += ch;
    std::string answer = Control(line) + "\n";
    size_t off = 0;
    while (off < answer.size()) {
      ssize_t n = write(c, answer.data() + off, answer.size() - off);
      if (n <= 0) break;
      off += static_cast<size_t>(n);
    }
    close(c);
  }
}

std::string CSimServer::Control(const std::string& line) {
  std::vector<std::string> w = Words(line);
  if (w.empty()) return Error("empty command");
  const std::string& cmd = w[0];
  std::lock_guard<std::mutex> lock(m_Lock);

  if (cmd == "status") return m_Scanner.StatusJson();
  if (cmd == "quit") {
    m_bQuit = true;  // the owner sees it and stops everything
    return "{\"ok\":true}";
  }
  if (cmd == "record") {
    if (w.size() > 1 && w[1] == "clear") {
      m_Record.clear();
      return "{\"ok\":true}";
    }
    std::string out;
    for (const std::string& r : m_Record) out += r + "\n";
    if (!out.empty()) out.pop_back();
    return out;
  }

  // key=value arguments.
  std::vector<std::pair<std::string, std::string>> args;
  for (size_t i = 1; i < w.size(); ++i) {
    size_t eq = w[i].find('=');
    args.emplace_back(w[i].substr(0, eq), eq == std::string::npos ? "" : w[i].substr(eq + 1));
  }

  if (cmd == "scan") {
    PlateOrder plateOrder;
    bool keepMode = false;
    std::string save;
    for (auto& a : args) {
      long v = 0;
      bool num = ToLong(a.second, v);
      if (a.first == "size" && num) plateOrder.size = static_cast<int>(v);
      else if (a.first == "mode" && num) { plateOrder.mode = static_cast<unsigned>(v); keepMode = true; }
      else if (a.first == "part" && num) plateOrder.partNumber = static_cast<int>(v);
      else if (a.first == "parts" && num) { plateOrder.partCount = static_cast<int>(v); plateOrder.kind = PlateKind::MultiPart; }
      else if (a.first == "seed" && num) plateOrder.seed = static_cast<uint32_t>(v);
      else if (a.first == "variant" && num) plateOrder.sensorVariant = static_cast<int>(v);
      else if (a.first == "noise") plateOrder.noise = std::atof(a.second.c_str());
      else if (a.first == "save") save = a.second;
      else if (a.first == "kind") {
        if (a.second == "phantom") plateOrder.kind = PlateKind::Phantom;
        else if (a.second == "empty") plateOrder.kind = PlateKind::Empty;
        else if (a.second == "pattern") plateOrder.kind = PlateKind::TestPattern;
        else if (a.second == "part") plateOrder.kind = PlateKind::MultiPart;
        else return Error("kind: phantom, empty, pattern or part");
      } else {
        return Error("unknown scan argument " + a.first);
      }
    }
    std::string why;
    std::vector<uint8_t> copy;
    if (!m_Scanner.Scan(plateOrder, keepMode, &why, &copy)) return Error(why);
    if (!save.empty()) {
      std::ofstream f(save, std::ios::binary | std::ios::trunc);
      f.write(reinterpret_cast<const char*>(copy.data()), static_cast<std::streamsize>(copy.size()));
      if (!f) return Error("scanned, but cannot write " + save);
    }
    for (Delivery& d : m_Scanner.TakeDeliveries()) m_Queue.push_back(std::move(d));
    m_Wake.notify_all();
    Record("{\"kind\":\"scan\",\"bytes\":" + std::to_string(copy.size()) + ",\"mode\":" +
           std::to_string(copy.size() > 4 ? copy[4] : 0) + "}");
    return "{\"ok\":true,\"bytes\":" + std::to_string(copy.size()) + ",\"mode\":" +
           std::to_string(copy.size() > 4 ? copy[4] : 0) + "}";
  }

  if (cmd == "state") {
    for (auto& a : args) {
      long v = 0;
      bool num = ToLong(a.second, v);
      if (a.first == "state") {
        if (a.second == "starting") { m_Scanner.SetStarting(true); m_Scanner.SetOnMenu(false); }
        else if (a.second == "ready") { m_Scanner.SetStarting(false); m_Scanner.SetOnMenu(false); }
        else if (a.second == "menu") { m_Scanner.SetStarting(false); m_Scanner.SetOnMenu(true); }
        else return Error("state: starting, ready or menu");
      } else if (a.first == "lasterror" && num && v >= 0 && v <= 255) {
        m_Scanner.SetLastError(static_cast<uint8_t>(v));
      } else if (a.first == "autoresa" && num && v >= 0 && v <= 255) {
        m_Scanner.SetAutoResaTerminal(static_cast<uint8_t>(v));
      } else if (a.first == "mode") {
        if (a.second == "mono") m_Scanner.SetReservationModeByte(0);
        else if (a.second == "multi") m_Scanner.SetReservationModeByte(1);
        else if (num && v >= 0 && v <= 255) m_Scanner.SetReservationModeByte(static_cast<uint8_t>(v));
        else return Error("mode: mono, multi or a number");
      } else if (a.first == "door") {
        static const char* const kDoor[] = {"open", "close", "moving", "error", "unknown"};
        int found = -1;
        for (int i = 0; i < 5; ++i) if (a.second == kDoor[i]) found = i;
        if (found < 0) return Error("door: open, close, moving, error or unknown");
        m_Scanner.SetDoor(static_cast<CSimScanner::Door>(found));
      } else if (a.first == "imageport" && num && v > 0 && v < 65536) {
        m_Scanner.SetImagePort(static_cast<uint16_t>(v));
      } else {
        return Error("unknown state argument " + a.first);
      }
    }
    return m_Scanner.StatusJson();
  }

  if (cmd == "fault") {
    Faults& f = m_Scanner.MutableFaults();
    for (auto& a : args) {
      long v = 0;
      bool num = ToLong(a.second, v);
      if (a.first == "clear") { f = Faults(); ++m_nSilentEpoch; }
      else if (a.first == "forbidden" && num) f.forbiddenRequests = static_cast<int>(v);
      else if (a.first == "silent" && num) { f.silentRequests = static_cast<int>(v); if (v == 0) ++m_nSilentEpoch; }
      else if (a.first == "delay" && num && v >= 0) f.answerDelayMs = static_cast<int>(v);
      else if (a.first == "longbody") {
        long size = 0, count = 1;
        size_t colon = a.second.find(':');
        if (!ToLong(a.second.substr(0, colon), size) || size < 0 ||
            (colon != std::string::npos && !ToLong(a.second.substr(colon + 1), count)))
          return Error("longbody=SIZE[:COUNT]");
        f.longBodySize = static_cast<size_t>(size);
        f.longBodyRequests = static_cast<int>(count);
      } else if (a.first == "corrupt_line" && num && v >= 0) f.corruptLine = static_cast<int>(v);
      else if (a.first == "truncate" && num && v >= 0) f.truncateAt = v;
      else if (a.first == "stall") {
        long at = 0, ms = 0;
        size_t colon = a.second.find(':');
        if (colon == std::string::npos || !ToLong(a.second.substr(0, colon), at) || !ToLong(a.second.substr(colon + 1), ms) || at < 0)
          return Error("stall=OFFSET:MS (MS -1: until the station closes)");
        f.stallAt = at;
        f.stallMs = static_cast<int>(ms);
      } else if (a.first == "refuse") f.refuseImage = a.second != "0";
      else if (a.first == "reset") f.resetImage = a.second != "0";
      else if (a.first == "vanish") f.vanished = a.second != "0";
      else if (a.first == "frame") {
        size_t colon = a.second.find(':');
        long count = -1;
        if (!ParseFrameFault(a.second.substr(0, colon), f.frameFault) ||
            (colon != std::string::npos && !ToLong(a.second.substr(colon + 1), count)))
          return Error("frame=length|magic|version|state0|serial|resa|none[:COUNT]");
        f.frameFaultCount = static_cast<int>(count);
      } else {
        return Error("unknown fault " + a.first);
      }
    }
    return "{\"ok\":true}";
  }
  return Error("unknown command " + cmd);
}

}  // namespace sim
}  // namespace orvaq
