// The scanner link against the scanner simulator (lumeq2-sim, a Linux program started
// from here): its status frames reach CSNDPListener on 127.0.0.1:48322, and the bodies
// CHttpClient sends arrive byte for byte in the simulator's exchange record.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/Text.h"
#include "scanner_link/HttpClient.h"
#include "scanner_link/SNDPFrame.h"
#include "scanner_link/win/SNDPListener.h"
#include "scanner_link/win/WinInetTransport.h"
#include "listener_port.h"
#include "test_http_server.h"

namespace {

std::string SimulatorPath() {
  if (const char* env = std::getenv("ORVAQ_SIMULATOR")) return env;
  return std::string(ORVAQ_SOURCE_DIR) + "/build/host/bin/lumeq2-sim";
}

// A Linux path as Wine's Z: drive sees it.
std::wstring OnZ(const std::string& unixPath) { return L"Z:" + orvaq::FromUtf8(unixPath); }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadWhole(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::string();
  std::string data;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) data.append(buffer, n);
  CloseHandle(h);
  return data;
}

// The simulator's escaping of texts in its record.
std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char ch : text) {
    if (ch == '"') out += "\\\"";
    else if (ch == '\\') out += "\\\\";
    else if (ch == '\n') out += "\\n";
    else if (ch == '\r') out += "\\r";
    else if (ch == '\t') out += "\\t";
    else if (ch < 0x20 || ch > 0x7E) { char b[8]; std::snprintf(b, sizeof b, "\\u%04x", ch); out += b; }
    else out += static_cast<char>(ch);
  }
  return out + "\"";
}

// Runs the simulator for the length of a test; creating the stop file ends it.
class SimulatorRun {
 public:
  SimulatorRun(const std::string& sim, uint16_t httpPort) {
    const std::string base = std::string(ORVAQ_BINARY_DIR) + "/c-sim-" + std::to_string(GetCurrentProcessId());
    m_sStop = base + ".stop";
    m_sRecord = base + ".record";
    DeleteFileW(OnZ(m_sStop).c_str());
    DeleteFileW(OnZ(m_sRecord).c_str());
    const std::string script = std::string(ORVAQ_SOURCE_DIR) + "/tests/win/scanner_link/run_simulator.sh";
    std::wstring command = L"\"" + OnZ(script) + L"\" " + orvaq::FromUtf8(
        sim + " " + m_sStop + " --serial CTEST42 --address 127.0.0.1 --http-port " + std::to_string(httpPort) +
        " --broadcast 127.0.0.1:48322 --interval 200 --record " + m_sRecord);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    m_bStarted = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    if (pi.hProcess) CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
  }
  ~SimulatorRun() {
    HANDLE h = CreateFileW(OnZ(m_sStop).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  bool Started() const { return m_bStarted; }
  std::string Record() const { return ReadWhole(OnZ(m_sRecord)); }

 private:
  bool m_bStarted = false;
  std::string m_sStop, m_sRecord;
};

struct MessageWindow {
  HWND hwnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ~MessageWindow() { DestroyWindow(hwnd); }
};

TEST(SimulatorWine, FramesAndDeviceFiles) {
  const std::string sim = SimulatorPath();
  if (!Exists(OnZ(sim))) GTEST_SKIP() << "no simulator at " << sim << " (build the host preset first)";
  MessageWindow window;
  CSNDPListener listener(L"127.0.0.1");
  ASSERT_TRUE(StartListeningWhenPortFree(listener, window.hwnd)) << "error " << listener.LastError();
  const uint16_t httpPort = UnusedLoopbackPort();
  SimulatorRun run(sim, httpPort);
  ASSERT_TRUE(run.Started()) << "error " << GetLastError();

  // Frames from the Linux side arrive as 0x401 and decode as the simulator's.
  SNDPFrame frame;
  bool heard = false;
  const DWORD start = GetTickCount();
  while (!heard && GetTickCount() - start < 15000) {
    MSG msg;
    if (!PeekMessageW(&msg, window.hwnd, kSNDPMessage, kSNDPMessage, PM_REMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      continue;
    }
    uint8_t buffer[kSNDPFrameSize];
    const int n = listener.Receive(buffer, sizeof buffer);
    heard = n > 0 && DecodeSNDPFrame(buffer, static_cast<size_t>(n), frame) && frame.Serial() == "CTEST42";
  }
  ASSERT_TRUE(heard) << "no frame from the simulator";
  EXPECT_EQ(ClassifySNDPSender(frame, L"lumeq2", 0), SNDPSender::Simulator);
  EXPECT_EQ(FormatIPv4(frame.ipAddress), L"127.0.0.1");

  CHttpClient client(FormatIPv4(frame.ipAddress), L"127.0.0.1", L"00:11:22:33:44:55", CreateWinInetTransport());
  HttpClientConfig config;
  config.simulator = true;
  client.Configure(config);
  EXPECT_EQ(client.Port(), kHttpPortSimulator);
  client.SetHTTPPort(httpPort);  // a free port of this run rather than 9080
  client.SetSleepFunction([](uint32_t) {});
  EXPECT_EQ(client.Identify(3, 5, L"Dr Smith", L"Anne-Marie"), 200);
  DoctorEntry doctor;
  EXPECT_EQ(client.GetDoctor(3, doctor), 200);
  EXPECT_EQ(doctor.term, 3);
  EXPECT_EQ(doctor.color, 5);
  EXPECT_EQ(doctor.mac, "00:11:22:33:44:55");
  EXPECT_EQ(client.SetLanguage(1036), 200);
  EXPECT_EQ(client.GetReservationMode(), 1);
  EXPECT_EQ(client.SetDemo(true), 200);
  EXPECT_EQ(client.GetDemo(), 1);
  EXPECT_EQ(client.WithdrawIdentification(3, 5), 200);

  const std::string record = run.Record();
  for (const std::string& body :
       {IdentifyPayload(L"00:11:22:33:44:55", 3, 5, L"Dr Smith", L"Anne-Marie"),
        WithdrawIdentificationPayload(L"00:11:22:33:44:55", 3, 5), std::string("gui_language=french"),
        std::string("get_doctor=03")}) {
    EXPECT_NE(record.find("\"body\":" + Json(body)), std::string::npos) << body << "\n" << record;
  }
  EXPECT_NE(record.find("\"POST /lumeq2.id HTTP/1.0\""), std::string::npos) << record;
  EXPECT_NE(record.find("\"Referer\":\"http://127.0.0.1\""), std::string::npos) << record;
}

}  // namespace
