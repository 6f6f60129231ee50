// Test doubles for the acquisition controller: a scripted scanner behind CHttpClient's
// transport, fake status and image sockets, in-memory settings and raw files, and a host
// that records every effect (timers, posts, boxes, beeps, repaints) as a line of text.
#pragma once

#include <cstdio>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/AcquisitionHost.h"
#include "acquisition/OrvaqController.h"
#include "common/Text.h"
#include "logging/KvLogger.h"
#include "scanner_link/HttpClient.h"
#include "scanner_link/SNDPFrame.h"
#include "settings/KvTextFormat.h"

namespace fake {

struct Request {
  std::wstring host;
  uint16_t port = 0;
  std::wstring object;
  std::string body;
};

struct Reply {
  bool reachable = true;
  uint32_t status = 200;
  std::string text;
};

// The scanner's HTTP side: replies by exact body, then queued replies by body, then by
// device file, then 200 with no text.
struct Scanner {
  std::vector<Request> requests;
  std::map<std::string, Reply> byBody;
  std::map<std::string, std::deque<Reply>> queued;
  std::map<std::wstring, Reply> byFile;
  std::function<void(const Request&)> onRequest;

  Reply Answer(const Request& r) {
    auto q = queued.find(r.body);
    if (q != queued.end() && !q->second.empty()) {
      Reply reply = q->second.front();
      q->second.pop_front();
      return reply;
    }
    auto b = byBody.find(r.body);
    if (b != byBody.end()) return b->second;
    auto f = byFile.find(r.object);
    if (f != byFile.end()) return f->second;
    return Reply{};
  }
  // "object|body" of every request, in order.
  std::vector<std::string> Log() const {
    std::vector<std::string> out;
    for (const auto& r : requests) out.push_back(orvaq::ToUtf8(r.object) + "|" + r.body);
    return out;
  }
  int Count(const std::string& body) const {
    int n = 0;
    for (const auto& r : requests) n += r.body == body;
    return n;
  }
  int CountContaining(const std::string& part) const {
    int n = 0;
    for (const auto& r : requests) n += r.body.find(part) != std::string::npos;
    return n;
  }
};

class Transport : public IHttpTransport {
 public:
  explicit Transport(Scanner* scanner) : m_pScanner(scanner) {}
  bool Open(const HttpAttemptParams& params, uint32_t&) override {
    m_Request = Request{params.host, params.port, params.objectName, params.body};
    m_pScanner->requests.push_back(m_Request);
    if (m_pScanner->onRequest) m_pScanner->onRequest(m_Request);
    m_Reply = m_pScanner->Answer(m_Request);
    return true;
  }
  bool Send(uint32_t& status, uint32_t&) override {
    if (!m_Reply.reachable) return false;
    status = m_Reply.status;
    return true;
  }
  HttpReadOutcome Read(std::string& text, uint32_t&) override {
    text = m_Reply.text;
    return HttpReadOutcome::Ok;
  }
  void Close() override {}

 private:
  Scanner* m_pScanner;
  Request m_Request;
  Reply m_Reply;
};

struct Settings : IAcqSettings {
  int simulated = 0;
  std::wstring name = L"lumeq2", filter, serial = L"SN1000";
  int color = 4, station = 3;
  bool demo = false;
  int duration = 0, quality = 0, timeout = 1500, batch = 1;
  std::wstring adapter = L"eth0", adapterIP;
  int loggerType = 1;
  std::wstring images = L"C:\\images";
  std::wstring doctor = L"Dr Smith", patient = L"Anne-Marie";
  int language = 0x40C;
  std::map<int, std::wstring> texts;

  int LUMEQ2Simulated() override { return simulated; }
  std::wstring LUMEQ2Name() override { return name; }
  std::wstring LUMEQ2FiltreSerial() override { return filter; }
  std::wstring LUMEQ2Serial() override { return serial; }
  void SetLUMEQ2Serial(const std::wstring& s) override { serial = s; }
  int LUMEQ2Color() override { return color; }
  int StationNumber() override { return station; }
  void SetStationNumber(int n) override { station = n; }
  bool DemoMode() override { return demo; }
  int ReservationDuration() override { return duration; }
  int AcquisitionQuality() override { return quality; }
  int HTTPTimeOut() override { return timeout; }
  int BatchLastImage() override { return batch; }
  std::wstring AdapterName() override { return adapter; }
  std::wstring AdapterIPAddress() override { return adapterIP; }
  int LoggerType() override { return loggerType; }
  std::wstring ImagesPath() override { return images; }
  std::wstring DoctorName() override { return doctor; }
  std::wstring PatientName() override { return patient; }
  int LanguageId() override { return language; }
  std::wstring GetText(int id) override {
    auto it = texts.find(id);
    return it != texts.end() ? it->second : L"T" + std::to_wstring(id);
  }
  std::wstring HttpAgent() override { return L"Orvaq [1.2.3]"; }
};

class Host;

class StatusListener : public IStatusListener {
 public:
  explicit StatusListener(Host* host);
  ~StatusListener() override;
  bool StartListening() override;
  uint32_t LastError() const override { return 10048; }
  bool Receive(uint8_t* buffer, size_t capacity, size_t& received, uint32_t& source, uint32_t& error) override;

 private:
  Host* m_pHost;
};

class ImageClient : public IImageClient {
 public:
  ImageClient(Host* host, uint16_t port);
  ~ImageClient() override;
  bool Listen() override;
  bool AcceptPending(uint32_t& peer) override;
  void CloseHeldConnection() override;
  bool Accept(const std::wstring& rawPath, bool wantLog) override;
  int32_t ReceivePending() override;
  bool Close() override;
  bool OwnsSocket(uintptr_t socket) const override;
  bool HasConnection() const override { return m_bConnected; }
  void RefuseConnection() override;

 private:
  Host* m_pHost;
  uint16_t m_nPort;
  bool m_bConnected = false;
};

// A raw file held in memory; `size` may claim more bytes than `bytes` holds (large files
// are never read).
struct MemoryFile {
  std::string bytes;
  uint64_t size = 0;
  bool readFails = false;
};

class RawFile : public IKvReadFile {
 public:
  explicit RawFile(MemoryFile file) : m_File(std::move(file)) {}
  uint64_t Size() override { return m_File.size; }
  bool ReadAll(uint8_t* buffer, size_t size) override {
    if (m_File.readFails || size > m_File.bytes.size()) return false;
    std::copy(m_File.bytes.begin(), m_File.bytes.begin() + size, buffer);
    return true;
  }

 private:
  MemoryFile m_File;
};

class Host;

// The host's operating system: the raw files the check opens; nothing else is used.
class HostSystem : public IKvSystem {
 public:
  explicit HostSystem(Host& host) : m_Host(&host) {}
  // A host assigned anew keeps its own system.
  HostSystem(const HostSystem&) = delete;
  HostSystem& operator=(const HostSystem&) { return *this; }
  std::unique_ptr<IKvReadFile> OpenForReading(const std::wstring& path) override;
  std::wstring GetProgramPath() override { return L"C:\\Program Files\\Orvaq\\Orvaq.exe"; }
  bool GetLocalAppDataFolder(std::wstring&) override { return false; }
  bool GetCommonDocumentsFolder(std::wstring&) override { return false; }
  bool FileExists(const std::wstring&) override { return false; }
  bool DirectoryExists(const std::wstring&) override { return false; }
  bool CreateFolder(const std::wstring&) override { return false; }
  bool MoveFileTo(const std::wstring&, const std::wstring&) override { return false; }
  bool MoveFileOver(const std::wstring&, const std::wstring&) override { return false; }
  bool CopyFileOver(const std::wstring&, const std::wstring&) override { return false; }
  bool RemoveFile(const std::wstring&) override { return false; }
  bool MakeTempFile(const std::wstring&, const std::wstring&, std::wstring&) override { return false; }
  bool ReadFileStart(const std::wstring&, uint64_t&, uint8_t*, size_t) override { return false; }
  bool WriteNewFile(const std::wstring&, const std::string&) override { return false; }
  bool FlushFile(const std::wstring&) override { return false; }
  bool ListFiles(const std::wstring&, const std::wstring&, std::vector<std::wstring>&) override { return false; }
  bool StartProcess(const std::wstring&, bool) override { return false; }
  bool CreateFileWithBytes(const std::wstring&, const std::string&) override { return false; }
  bool WriteTestFile(const std::wstring&) override { return false; }
  int ShowMessageBox(const std::wstring&, const std::wstring&, unsigned) override { return orvaq::mb::kIdOk; }
  void ExitProcessNow(int) override {}
  std::wstring GetComputerNameText() override { return L"WS"; }
  uint16_t GetThreadLanguageId() override { return 0x40C; }

 private:
  Host* m_Host;
};

class Host : public IAcquisitionHost {
 public:
  Scanner scanner;
  uint32_t tick = 100000;
  // Ticks handed out one per GetTickCount call before `tick`: time that passes while the
  // controller handles one event.
  std::deque<uint32_t> nextTicks;
  std::vector<std::string> events;
  std::map<uint32_t, uint32_t> timers;  // armed timers and their periods
  int boxAnswer = orvaq::mb::kIdOk;
  std::vector<int> boxes;
  bool failHttp = false, failListener = false, listenerStarts = true;
  bool failImageClient = false, imageListens = true, acceptSucceeds = true;
  std::deque<std::vector<uint8_t>> datagrams;
  // Where datagrams and image connections come from (192.168.1.50, the frames' scanner).
  uint32_t datagramSource = 0xC0A80132;
  uint32_t connectionPeer = 0xC0A80132;
  uint32_t receiveError = 10040;
  std::deque<int32_t> pending;  // ReceivePending results
  std::wstring addresses = L"192.168.1.10", mac = L"00:11:22:33:44:55";
  bool adapterFound = true;
  std::map<std::wstring, MemoryFile> files;
  std::string realFolder;  // when set, raw files are read from this folder on disk
  bool reconstructResult = true;
  std::function<void()> onReconstruct;
  AcqLocalTime now{2026, 12, 8, 9, 30, 0};
  int liveListeners = 0, liveImageClients = 0;
  HostSystem system{*this};
  std::set<uintptr_t> staleSockets;  // image-socket events for these are not the listener's

  void Event(const std::string& e) { events.push_back(e); }
  bool Has(const std::string& e) const {
    for (const auto& x : events)
      if (x == e) return true;
    return false;
  }
  int CountEvent(const std::string& e) const {
    int n = 0;
    for (const auto& x : events) n += x == e;
    return n;
  }

  uint32_t GetTickCount() override {
    if (nextTicks.empty()) return tick;
    const uint32_t t = nextTicks.front();
    nextTicks.pop_front();
    return t;
  }
  void SetTimer(uint32_t id, uint32_t ms) override {
    timers[id] = ms;
    Event("SetTimer " + std::to_string(id) + " " + std::to_string(ms));
  }
  void KillTimer(uint32_t id) override {
    timers.erase(id);
    Event("KillTimer " + std::to_string(id));
  }
  void PostCommand(int id) override { Event("PostCommand " + std::to_string(id)); }
  void PostHardwareInfos(int type) override { Event("PostHardwareInfos " + std::to_string(type)); }
  int ShowMessageBox(int textId, const std::wstring& text, unsigned style) override {
    boxes.push_back(textId);
    Event("MessageBox " + std::to_string(textId) + " " + std::to_string(style) + " " + orvaq::ToUtf8(text));
    return boxAnswer;
  }
  void Beep() override { Event("Beep"); }
  void Repaint() override { Event("Repaint"); }
  void ShowReservationButton(bool show) override { Event(show ? "ShowButton 1" : "ShowButton 0"); }
  void Sleep(uint32_t ms) override { Event("Sleep " + std::to_string(ms)); }
  std::wstring SystemErrorText(uint32_t code) override { return L"system text " + std::to_wstring(code); }
  AcqLocalTime LocalTime() override { return now; }
  void RestartLogFile() override { Event("RestartLogFile"); }

  std::unique_ptr<CHttpClient> CreateHttpClient(const std::wstring& host, const std::wstring& origin,
                                                const std::wstring& clientMac) override {
    if (failHttp) return nullptr;
    Event("HttpClient " + orvaq::ToUtf8(host) + " " + orvaq::ToUtf8(origin) + " " + orvaq::ToUtf8(clientMac));
    auto client = std::unique_ptr<CHttpClient>(
        new CHttpClient(host, origin, clientMac, std::unique_ptr<IHttpTransport>(new Transport(&scanner))));
    client->SetSleepFunction([](uint32_t) {});
    return client;
  }
  std::unique_ptr<IStatusListener> CreateStatusListener(const std::wstring& bindAddress) override {
    if (failListener) return nullptr;
    Event("StatusListener " + orvaq::ToUtf8(bindAddress));
    return std::unique_ptr<IStatusListener>(new StatusListener(this));
  }
  std::unique_ptr<IImageClient> CreateImageClient(uint16_t port) override {
    if (failImageClient) return nullptr;
    Event("ImageClient " + std::to_string(port));
    return std::unique_ptr<IImageClient>(new ImageClient(this, port));
  }
  bool LookupAdapter(const std::wstring& description, std::wstring& ips, std::wstring& hw) override {
    Event("LookupAdapter " + orvaq::ToUtf8(description));
    if (!adapterFound) return false;
    ips = addresses;
    hw = mac;
    return true;
  }
  IKvSystem& System() override { return system; }
  bool ReconstructAcquisition() override {
    Event("Reconstruct");
    if (onReconstruct) onReconstruct();
    return reconstructResult;
  }
  void RunMultiPlateReconstruction() override { Event("MultiPlate"); }
  void OnFolderWatchTimer() override { Event("FolderWatch"); }
  void OnBaseTimer(uint32_t id) override { Event("BaseTimer " + std::to_string(id)); }
};

inline StatusListener::StatusListener(Host* host) : m_pHost(host) { ++m_pHost->liveListeners; }
inline StatusListener::~StatusListener() {
  --m_pHost->liveListeners;
  m_pHost->Event("StatusListener deleted");
}
inline bool StatusListener::StartListening() {
  return m_pHost->listenerStarts;
}
inline bool StatusListener::Receive(uint8_t* buffer, size_t capacity, size_t& received, uint32_t& source,
                                    uint32_t& error) {
  source = m_pHost->datagramSource;
  if (m_pHost->datagrams.empty()) {
    error = m_pHost->receiveError;
    return false;
  }
  std::vector<uint8_t> d = m_pHost->datagrams.front();
  m_pHost->datagrams.pop_front();
  if (d.size() > capacity) {  // what recv does with a longer datagram
    error = 10040;
    return false;
  }
  std::copy(d.begin(), d.end(), buffer);
  received = d.size();
  return true;
}

inline std::unique_ptr<IKvReadFile> HostSystem::OpenForReading(const std::wstring& path) {
  m_Host->Event("OpenRawFile " + orvaq::ToUtf8(path));
  auto it = m_Host->files.find(path);
  if (it != m_Host->files.end()) return std::unique_ptr<IKvReadFile>(new RawFile(it->second));
  if (!m_Host->realFolder.empty()) {
    const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    std::ifstream in(m_Host->realFolder + "/" + orvaq::ToUtf8(name), std::ios::binary);
    if (!in) return nullptr;
    MemoryFile file;
    file.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    file.size = file.bytes.size();
    return std::unique_ptr<IKvReadFile>(new RawFile(file));
  }
  return nullptr;
}

inline ImageClient::ImageClient(Host* host, uint16_t port) : m_pHost(host), m_nPort(port) {
  ++m_pHost->liveImageClients;
}
inline ImageClient::~ImageClient() {
  --m_pHost->liveImageClients;
  m_pHost->Event("ImageClient deleted");
}
inline bool ImageClient::Listen() {
  m_pHost->Event("Listen " + std::to_string(m_nPort));
  return m_pHost->imageListens;
}
inline bool ImageClient::AcceptPending(uint32_t& peer) {
  m_pHost->Event("AcceptPending");
  peer = m_pHost->connectionPeer;
  return m_pHost->acceptSucceeds;
}
inline void ImageClient::CloseHeldConnection() { m_pHost->Event("CloseHeld"); }
inline bool ImageClient::Accept(const std::wstring& rawPath, bool wantLog) {
  m_pHost->Event("Accept " + orvaq::ToUtf8(rawPath) + (wantLog ? " log" : ""));
  m_bConnected = m_pHost->acceptSucceeds;
  return m_pHost->acceptSucceeds;
}
inline bool ImageClient::OwnsSocket(uintptr_t socket) const { return m_pHost->staleSockets.count(socket) == 0; }
inline void ImageClient::RefuseConnection() { m_pHost->Event("Refuse"); }
inline int32_t ImageClient::ReceivePending() {
  if (m_pHost->pending.empty()) return 0;
  const int32_t n = m_pHost->pending.front();
  m_pHost->pending.pop_front();
  return n;
}
inline bool ImageClient::Close() {
  m_pHost->Event("Close");
  m_bConnected = false;
  return true;
}

inline std::string Latin1(const std::wstring& text) {
  std::string out;
  orvaq::ToLatin1(text, out);
  return out;
}

// A frame from the configured scanner, ready and not reserved, multiposte.
inline SNDPFrame MakeFrame(const std::string& serial = "SN1000") {
  SNDPFrame f;
  f.SetName("lumeq2");
  f.SetSerial(serial);
  f.ipAddress = 0xC0A80132;  // 192.168.1.50
  f.imagePort = 3333;
  f.state = SNDP_STATE_READY;
  f.reservationMode = 1;
  f.stationFlags = 1;
  f.frameNumber = 7;
  return f;
}

inline std::vector<uint8_t> Encode(const SNDPFrame& f) {
  std::vector<uint8_t> d(kSNDPFrameSize);
  EncodeSNDPFrame(f, d.data());
  return d;
}

}  // namespace fake
