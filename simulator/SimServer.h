// The simulator's network side: the HTTP server of the device files (civetweb), the
// status-frame broadcaster, the image connections, the control socket and the exchange
// record. All state decisions are CSimScanner's; this class moves bytes and time.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simulator/SimScanner.h"

struct mg_context;
struct mg_connection;

namespace orvaq {
namespace sim {

struct ServerOptions {
  std::string httpAddress = "127.0.0.1";   // where the device files are served
  int httpPort = 9080;                     // 0: any free port (see HttpPort())
  std::string frameAddress = "127.255.255.255";  // broadcast (or unicast) target
  int framePort = 48322;
  std::string frameSource;                 // local address the frames leave from
  int frameIntervalMs = 1000;
  std::string controlPath;                 // Unix socket; empty: none
  std::string recordPath;                  // JSON lines appended here too; empty: memory only
  int imageConnectTimeoutMs = 3000;
};

class CSimServer {
 public:
  CSimServer(const ScannerIdentity& identity, const ServerOptions& options);
  ~CSimServer();

  // Starts every part; false with `why` when a socket cannot be opened.
  bool Start(std::string* why);
  void Stop();
  // A "quit" control command asks the owner to stop the server.
  bool QuitRequested() const { return m_bQuit; }
  int HttpPort() const { return m_nHttpPort; }

  // One control command ("scan size=1", "fault forbidden=2", "record", ...); the answer
  // is one JSON line, or for "record" the recorded lines.
  std::string Control(const std::string& line);

  // Runs `fn` with the scanner locked.
  template <class F>
  auto WithScanner(F fn) -> decltype(fn(*static_cast<CSimScanner*>(nullptr))) {
    std::lock_guard<std::mutex> lock(m_Lock);
    return fn(m_Scanner);
  }

 private:
  static int OnRequest(mg_connection* conn, void* self);
  int Serve(mg_connection* conn);
  void FrameLoop();
  void DeliveryLoop();
  void ControlLoop();
  bool SendImage(const Delivery& d, const TransferFaults& faults, std::string& outcome);
  void Record(const std::string& json);  // m_Lock held
  uint64_t NowMs() const;
  bool SleepUnlessStopped(int ms);

  CSimScanner m_Scanner;
  ServerOptions m_Options;
  std::mutex m_Lock;  // the scanner, the record and the delivery queue
  std::condition_variable m_Wake;
  std::deque<Delivery> m_Queue;
  std::deque<std::string> m_Record;
  uint64_t m_nSilentEpoch = 0;  // "fault clear" releases the requests held unanswered
  std::atomic<bool> m_bStop{false};
  std::atomic<bool> m_bQuit{false};
  mg_context* m_pHttp = nullptr;
  int m_nHttpPort = 0;
  int m_hFrameSocket = -1;
  int m_hControlSocket = -1;
  std::thread m_FrameThread, m_DeliveryThread, m_ControlThread;
  uint64_t m_nStartMs = 0;
};

}  // namespace sim
}  // namespace orvaq
