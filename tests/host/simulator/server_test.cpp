// The simulator's network side on 127.0.0.1 with free ports: frames arrive, the device
// files answer over HTTP/1.0, a scanned plate reaches a TCP listener byte for byte, the
// HTTP and image faults go through, and the exchange is recorded.
#include "simulator/SimServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>

#include "scanner_link/ScannerCommands.h"

namespace orvaq {
namespace sim {
namespace {

int BoundSocket(int type, uint16_t& port) {
  int s = socket(AF_INET, type, 0);
  sockaddr_in a {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return s;
}

// Every wait on a socket has this limit, so a fault fails the test instead of hanging it.
constexpr int kLimitMs = 15000;

// True once `s` has `events` within `ms`; a failure is recorded when the limit runs out.
bool Within(int s, short events, int ms, const char* what) {
  pollfd p {s, events, 0};
  int r;
  do r = poll(&p, 1, ms);
  while (r < 0 && errno == EINTR);
  if (r > 0) return true;
  ADD_FAILURE() << what << ": nothing within " << ms << " ms";
  return false;
}

int AcceptWithin(int listener) {
  return Within(listener, POLLIN, kLimitMs, "accept") ? accept(listener, nullptr, nullptr) : -1;
}

ssize_t RecvWithin(int s, void* buf, size_t len) {
  return Within(s, POLLIN, kLimitMs, "recv") ? recv(s, buf, len, 0) : -1;
}

// Reads to the end of the stream, which must come within the limit.
std::string ReadAll(int s) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLimitMs);
  std::string out;
  if (s < 0) return out;  // accept failed, already reported
  char buf[65536];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (!Within(s, POLLIN, left.count() > 0 ? static_cast<int>(left.count()) : 0, "end of stream")) break;
    ssize_t n = recv(s, buf, sizeof buf, 0);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

struct HttpResult {
  int status = 0;
  std::string body;
  std::string raw;
};

// A plain-socket HTTP/1.0 POST, as the workstation sends it.
HttpResult Post(int port, const std::string& object, const std::string& body) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a {};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // Bounds connect and send as well (Linux applies SO_SNDTIMEO to connect).
  timeval limit {kLimitMs / 1000, 0};
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  HttpResult r;
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) { close(s); return r; }
  std::string req = "POST /" + object + " HTTP/1.0\r\nAccept: */*\r\nUser-Agent: test\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\n\r\n" + body;
  send(s, req.data(), req.size(), MSG_NOSIGNAL);
  r.raw = ReadAll(s);
  close(s);
  if (r.raw.compare(0, 9, "HTTP/1.0 ") == 0) r.status = std::atoi(r.raw.c_str() + 9);
  size_t at = r.raw.find("\r\n\r\n");
  if (at != std::string::npos) r.body = r.raw.substr(at + 4);
  return r;
}

class SimServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_hUdp = BoundSocket(SOCK_DGRAM, m_nUdpPort);
    ScannerIdentity id;
    id.serial = "SRVTEST1";
    ServerOptions opt;
    opt.httpAddress = "127.0.0.1";
    opt.httpPort = 0;
    opt.frameAddress = "127.0.0.1";
    opt.framePort = m_nUdpPort;
    opt.frameIntervalMs = 50;
    m_pServer.reset(new CSimServer(id, opt));
    std::string why;
    ASSERT_TRUE(m_pServer->Start(&why)) << why;
    m_nHttp = m_pServer->HttpPort();
    ASSERT_GT(m_nHttp, 0);
  }
  void TearDown() override {
    m_pServer.reset();
    close(m_hUdp);
  }

  std::unique_ptr<CSimServer> m_pServer;
  int m_hUdp = -1;
  uint16_t m_nUdpPort = 0;
  int m_nHttp = 0;
};

TEST_F(SimServerTest, FramesIdentificationReservationAndImage) {
  uint8_t frame[200];
  ssize_t n = RecvWithin(m_hUdp, frame, sizeof frame);
  ASSERT_EQ(n, 122);
  SNDPFrame f;
  ASSERT_TRUE(DecodeSNDPFrame(frame, static_cast<size_t>(n), f));
  EXPECT_EQ(f.Serial(), "SRVTEST1");
  EXPECT_EQ(f.Name(), "slumeq2");

  const wchar_t* mac = L"00:11:22:33:44:55";
  HttpResult r = Post(m_nHttp, "lumeq2.id", IdentifyPayload(mac, 3, 5, L"Dr Smith", L"Anne-Marie"));
  EXPECT_EQ(r.status, 200) << r.raw;
  r = Post(m_nHttp, "lumeq2.res", ReservationPayload(mac, 40, 0, 3, 5, 0, L"Dr Smith", L"Anne-Marie"));
  EXPECT_EQ(r.status, 200) << r.raw;
  r = Post(m_nHttp, "lumeq2.prm", "reservation_mode");
  EXPECT_EQ(r.body, "multi");

  // A station's image listener on a free port.
  uint16_t imagePort = 0;
  int listener = BoundSocket(SOCK_STREAM, imagePort);
  ASSERT_EQ(listen(listener, 1), 0);
  m_pServer->WithScanner([&](CSimScanner& s) { s.SetImagePort(imagePort); });
  char path[] = "/tmp/simtest-XXXXXX";
  int fd = mkstemp(path);
  close(fd);
  std::string answer = m_pServer->Control(std::string("scan size=0 save=") + path);
  ASSERT_NE(answer.find("\"ok\":true"), std::string::npos) << answer;
  int c = AcceptWithin(listener);
  ASSERT_GE(c, 0);
  std::string got = ReadAll(c);
  close(c);
  std::ifstream saved(path, std::ios::binary);
  std::string want((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
  unlink(path);
  EXPECT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want);
  EXPECT_TRUE(CheckRawLayout(reinterpret_cast<const uint8_t*>(got.data()), got.size()));

  // A corrupted line number goes into the next transfer only.
  EXPECT_EQ(Post(m_nHttp, "lumeq2.prm", "read_nok").status, 200);
  m_pServer->Control("fault corrupt_line=5");
  EXPECT_EQ(Post(m_nHttp, "lumeq2.prm", "image_read").status, 200);
  c = AcceptWithin(listener);
  got = ReadAll(c);
  close(c);
  ASSERT_EQ(got.size(), want.size());
  std::string why;
  EXPECT_FALSE(CheckRawLayout(reinterpret_cast<const uint8_t*>(got.data()), got.size(), &why));
  EXPECT_NE(why.find("line 5"), std::string::npos) << why;

  // A truncated stream.
  m_pServer->Control("fault truncate=1000");
  EXPECT_EQ(Post(m_nHttp, "lumeq2.prm", "image_read").status, 200);
  c = AcceptWithin(listener);
  got = ReadAll(c);
  close(c);
  EXPECT_EQ(got.size(), 1000u);
  close(listener);

  // The record holds the requests with their request line and body, and the frames.
  std::string record = m_pServer->Control("record");
  EXPECT_NE(record.find("\"request\":\"POST /lumeq2.id HTTP/1.0\""), std::string::npos);
  EXPECT_NE(record.find("pat_name=Anne\\\\x2dMarie"), std::string::npos);
  EXPECT_NE(record.find("\"kind\":\"frame\""), std::string::npos);
  EXPECT_NE(record.find("\"outcome\":\"sent\""), std::string::npos);
}

// Waits until the record mentions `text` (the delivery thread records outcomes).
bool RecordShows(CSimServer& server, const std::string& text) {
  for (int i = 0; i < 1000; ++i) {
    if (server.Control("record").find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST_F(SimServerTest, ImageFaultsLeaveTheImageWaiting) {
  const wchar_t* mac = L"00:11:22:33:44:55";
  ASSERT_EQ(Post(m_nHttp, "lumeq2.id", IdentifyPayload(mac, 3, 5, L"d", L"p")).status, 200);
  ASSERT_EQ(Post(m_nHttp, "lumeq2.res", ReservationPayload(mac, 40, 0, 3, 5, 2, L"d", L"p")).status, 200);
  uint16_t imagePort = 0;
  int listener = BoundSocket(SOCK_STREAM, imagePort);
  ASSERT_EQ(listen(listener, 4), 0);
  m_pServer->WithScanner([&](CSimScanner& s) { s.SetImagePort(imagePort); });

  // Refused: no connection at all; the image waits for terminal 3.
  m_pServer->Control("fault refuse=1");
  ASSERT_NE(m_pServer->Control("scan size=0").find("\"mode\":2"), std::string::npos);
  ASSERT_TRUE(RecordShows(*m_pServer, "refused by fault switch"));
  EXPECT_EQ(m_pServer->WithScanner([](CSimScanner& s) { return s.WaitingImageTerminal(); }), 3);

  // Stalled until the station gives up: the station reads what came and closes.
  m_pServer->Control("fault stall=4096:-1");
  ASSERT_EQ(Post(m_nHttp, "lumeq2.prm", "image_read").status, 200);
  int c = AcceptWithin(listener);
  ASSERT_GE(c, 0);
  std::string got;
  char buf[8192];
  while (got.size() < 4096) {
    ssize_t n = RecvWithin(c, buf, sizeof buf);
    ASSERT_GT(n, 0);
    got.append(buf, static_cast<size_t>(n));
  }
  EXPECT_EQ(got.size(), 4096u);
  close(c);
  ASSERT_TRUE(RecordShows(*m_pServer, "stalled until the station closed after 4096 bytes"));
  EXPECT_EQ(m_pServer->WithScanner([](CSimScanner& s) { return s.WaitingImageTerminal(); }), 3);

  // Reset: the connection is accepted and ends at once without a byte.
  m_pServer->Control("fault reset=1");
  ASSERT_EQ(Post(m_nHttp, "lumeq2.prm", "image_read").status, 200);
  c = AcceptWithin(listener);
  ASSERT_GE(c, 0);
  EXPECT_LE(RecvWithin(c, buf, sizeof buf), 0);
  close(c);
  ASSERT_TRUE(RecordShows(*m_pServer, "reset by fault switch"));
  close(listener);

  // Nobody listening: the connection fails and the image still waits.
  ASSERT_EQ(Post(m_nHttp, "lumeq2.prm", "image_read").status, 200);
  ASSERT_TRUE(RecordShows(*m_pServer, "connect failed"));
  EXPECT_EQ(m_pServer->WithScanner([](CSimScanner& s) { return s.WaitingImageTerminal(); }), 3);
}

TEST_F(SimServerTest, HttpFaultsGoThrough) {
  EXPECT_EQ(m_pServer->Control("fault forbidden=2"), "{\"ok\":true}");
  EXPECT_EQ(Post(m_nHttp, "lumeq2.prm", "door").status, 403);
  EXPECT_EQ(Post(m_nHttp, "lumeq2.prm", "door").status, 403);
  HttpResult r = Post(m_nHttp, "lumeq2.prm", "door");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "close");

  m_pServer->Control("fault longbody=5000");
  r = Post(m_nHttp, "lumeq2.prm", "demo");
  EXPECT_EQ(r.body.size(), 5000u);
  EXPECT_EQ(r.body.compare(0, 7, "disable"), 0);

  // A request held without an answer: released by "fault clear", it closes empty.
  m_pServer->Control("fault silent=1");
  std::thread clearer([&] {
    // Clear once the held request is on record.
    for (int i = 0; i < 500; ++i) {
      if (m_pServer->Control("record").find("(never answered)") != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_pServer->Control("fault clear");
  });
  r = Post(m_nHttp, "lumeq2.prm", "door");
  clearer.join();
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.raw.empty());
  EXPECT_EQ(Post(m_nHttp, "lumeq2.prm", "door").status, 200);

  // Control errors are reported, not obeyed.
  EXPECT_NE(m_pServer->Control("fault bogus=1").find("\"ok\":false"), std::string::npos);
  EXPECT_NE(m_pServer->Control("scan").find("nobody holds"), std::string::npos);
  EXPECT_NE(m_pServer->Control("state door=ajar").find("\"ok\":false"), std::string::npos);
  EXPECT_NE(m_pServer->Control("state door=open mode=mono").find("\"reservationMode\":0"), std::string::npos);
}

}  // namespace
}  // namespace sim
}  // namespace orvaq
