// lumeq2-sim: a simulated scanner on the LAN (status frames, device files, image
// connections), driven by scripts through its control socket (see lumeq2-simctl).
#include <arpa/inet.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "simulator/SimServer.h"

namespace {

volatile sig_atomic_t g_bStop = 0;
void OnSignal(int) { g_bStop = 1; }

const char kUsage[] =
    "usage: lumeq2-sim [options]\n"
    "  --flavour lumeq2|slumeq2   scanner name and default HTTP port (80 / 9080); default slumeq2\n"
    "  --name TEXT                scanner name in the frames (overrides the flavour's)\n"
    "  --serial TEXT              serial number (default SIM00001)\n"
    "  --address A.B.C.D          the scanner's address: HTTP is served there and the frames\n"
    "                             announce it (default 127.0.0.1)\n"
    "  --http-port N              HTTP port (0: any free port, printed at start)\n"
    "  --broadcast A.B.C.D[:PORT] where the frames go (default 127.255.255.255:48322)\n"
    "  --frame-source A.B.C.D     local address the frames leave from\n"
    "  --interval MS              time between frames (default 1000)\n"
    "  --mask A.B.C.D --gateway A.B.C.D --mac AA:BB:CC:DD:EE:FF   announced network data\n"
    "  --image-port N             TCP port announced for the image connection (default 3333)\n"
    "  --mode mono|multi          reservation mode at start (default multi)\n"
    "  --control PATH             control socket (Unix)\n"
    "  --record PATH              append the exchange record (JSON lines) to PATH\n";

bool ParseIPv4(const char* text, uint32_t& out) {
  in_addr a {};
  if (inet_pton(AF_INET, text, &a) != 1) return false;
  out = ntohl(a.s_addr);
  return true;
}

bool ParseMac(const char* text, uint8_t out[6]) {
  unsigned b[6];
  if (std::sscanf(text, "%2x:%2x:%2x:%2x:%2x:%2x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) != 6) return false;
  for (int i = 0; i < 6; ++i) out[i] = static_cast<uint8_t>(b[i]);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvaq::sim;
  ScannerIdentity id;
  ServerOptions opt;
  std::string flavour = "slumeq2", name, mode = "multi";
  int httpPort = -1;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "lumeq2-sim: %s needs a value\n%s", a.c_str(), kUsage);
        std::exit(2);
      }
      return argv[++i];
    };
    bool ok = true;
    if (a == "--flavour") flavour = next();
    else if (a == "--name") name = next();
    else if (a == "--serial") id.serial = next();
    else if (a == "--address") { opt.httpAddress = next(); ok = ParseIPv4(opt.httpAddress.c_str(), id.ipAddress); }
    else if (a == "--http-port") httpPort = std::atoi(next());
    else if (a == "--broadcast") {
      std::string v = next();
      size_t colon = v.find(':');
      opt.frameAddress = v.substr(0, colon);
      if (colon != std::string::npos) opt.framePort = std::atoi(v.c_str() + colon + 1);
      uint32_t dummy;
      ok = ParseIPv4(opt.frameAddress.c_str(), dummy) && opt.framePort > 0 && opt.framePort < 65536;
    } else if (a == "--frame-source") opt.frameSource = next();
    else if (a == "--interval") { opt.frameIntervalMs = std::atoi(next()); ok = opt.frameIntervalMs > 0; }
    else if (a == "--mask") ok = ParseIPv4(next(), id.subnetMask);
    else if (a == "--gateway") ok = ParseIPv4(next(), id.gateway);
    else if (a == "--mac") ok = ParseMac(next(), id.mac);
    else if (a == "--image-port") { int p = std::atoi(next()); ok = p > 0 && p < 65536; id.imagePort = static_cast<uint16_t>(p); }
    else if (a == "--mode") { mode = next(); ok = mode == "mono" || mode == "multi"; }
    else if (a == "--control") opt.controlPath = next();
    else if (a == "--record") opt.recordPath = next();
    else if (a == "--help" || a == "-h") { std::fputs(kUsage, stdout); return 0; }
    else ok = false;
    if (!ok) {
      std::fprintf(stderr, "lumeq2-sim: bad argument %s\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  if (flavour != "lumeq2" && flavour != "slumeq2") {
    std::fprintf(stderr, "lumeq2-sim: the flavour is lumeq2 or slumeq2\n");
    return 2;
  }
  id.name = name.empty() ? flavour : name;
  opt.httpPort = httpPort >= 0 ? httpPort : (flavour == "lumeq2" ? 80 : 9080);

  CSimServer server(id, opt);
  server.WithScanner([&](CSimScanner& s) { s.SetReservationModeByte(mode == "mono" ? 0 : 1); });
  std::string why;
  if (!server.Start(&why)) {
    std::fprintf(stderr, "lumeq2-sim: %s\n", why.c_str());
    return 1;
  }
  signal(SIGINT, OnSignal);
  signal(SIGTERM, OnSignal);
  signal(SIGPIPE, SIG_IGN);
  std::printf("lumeq2-sim: %s serial %s on http://%s:%d, frames to %s:%d, image port %u\n", id.name.c_str(),
              id.serial.c_str(), opt.httpAddress.c_str(), server.HttpPort(), opt.frameAddress.c_str(), opt.framePort,
              id.imagePort);
  std::fflush(stdout);
  while (!g_bStop && !server.QuitRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server.Stop();
  return 0;
}
