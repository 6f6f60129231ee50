// CHttpClient over a scripted transport: attempt results, the retry rule with its
// pauses, the bounded read, the referrer, the configuration and the operations' bodies.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "logging/KvLogger.h"
#include "scanner_link/HttpClient.h"
#include "tests/support/memory_logger.h"

namespace {

// One scripted attempt.
struct Script {
  bool open = true;
  bool statusRead = true;
  uint32_t status = 200;
  HttpReadOutcome read = HttpReadOutcome::Ok;
  std::string text;
  uint32_t error = 0;  // stored as lastError by Send
};

struct Journal {
  std::vector<HttpAttemptParams> attempts;
  int opens = 0, sends = 0, reads = 0, closes = 0;
};

class FakeTransport : public IHttpTransport {
 public:
  FakeTransport(std::deque<Script> scripts, Journal* journal)
      : m_Scripts(std::move(scripts)), m_pJournal(journal) {}
  bool Open(const HttpAttemptParams& params, uint32_t& lastError) override {
    ++m_pJournal->opens;
    m_pJournal->attempts.push_back(params);
    m_Current = Script();
    m_Current.open = false;  // past the script: the network library is gone
    if (!m_Scripts.empty()) {
      m_Current = m_Scripts.front();
      m_Scripts.pop_front();
    }
    return m_Current.open;
  }
  bool Send(uint32_t& status, uint32_t& lastError) override {
    ++m_pJournal->sends;
    if (m_Current.error) lastError = m_Current.error;
    if (m_Current.statusRead) status = m_Current.status;
    return m_Current.statusRead;
  }
  HttpReadOutcome Read(std::string& text, uint32_t&) override {
    ++m_pJournal->reads;
    text = m_Current.text;
    return m_Current.read;
  }
  void Close() override { ++m_pJournal->closes; }

 private:
  std::deque<Script> m_Scripts;
  Journal* m_pJournal;
  Script m_Current;
};

struct Fixture {
  Journal journal;
  std::vector<uint32_t> sleeps;
  std::unique_ptr<CHttpClient> client;
  explicit Fixture(std::deque<Script> scripts, const std::wstring& origin = L"10.0.0.2") {
    client = std::make_unique<CHttpClient>(L"10.0.0.9", origin, L"00:11:22:33:44:55",
                                           std::make_unique<FakeTransport>(std::move(scripts), &journal));
    client->SetSleepFunction([this](uint32_t ms) { sleeps.push_back(ms); });
  }
};

Script NoAnswer() { Script s; s.statusRead = false; return s; }
Script Status(uint32_t status, std::string text = "") {
  Script s;
  s.status = status;
  s.text = std::move(text);
  return s;
}

TEST(HttpClient, RetryTable) {
  struct Row {
    std::deque<Script> scripts;
    int32_t result;
    int attempts;
    std::vector<uint32_t> sleeps;
  };
  Script openFails; openFails.open = false;
  Script readFails = Status(200, "x"); readFails.read = HttpReadOutcome::Failed;
  Script readWaitFails = Status(200, "x"); readWaitFails.read = HttpReadOutcome::WaitFailed;
  const Row rows[] = {
      {{NoAnswer(), NoAnswer(), NoAnswer()}, 1, 3, {250, 500}},        // scanner not answering
      {{Status(403), Status(403), Status(200)}, 200, 3, {250, 500}},
      {{Status(0), Status(200)}, 50, 1, {}},                           // 50 first: no retry
      {{NoAnswer(), Status(0), Status(200)}, 200, 3, {250, 500}},      // 50 second: retried
      {{openFails, Status(200)}, -1, 1, {}},                           // -1 is not retried
      {{Status(200)}, 200, 1, {}},
      {{Status(404)}, 404, 1, {}},
      {{readFails, Status(200)}, 50, 1, {}},                           // read failure is 50
      {{readWaitFails, readWaitFails, Status(201)}, 201, 3, {250, 500}},
      {{readWaitFails, readWaitFails, readWaitFails}, 54, 3, {250, 500}},
      {{NoAnswer(), Status(204)}, 204, 2, {250}},
      {{Status(403), Status(403), Status(403)}, 403, 3, {250, 500}},
      {{NoAnswer(), openFails, Status(200)}, -1, 2, {250}},
      {{Status(99), Status(100)}, 100, 2, {250}},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Fixture f(rows[i].scripts);
    std::string answer;
    EXPECT_EQ(f.client->PostRequest("lumeq2.prm", "door", answer), rows[i].result) << "row " << i;
    EXPECT_EQ(f.journal.opens, rows[i].attempts) << "row " << i;
    EXPECT_EQ(f.journal.closes, rows[i].attempts) << "row " << i;  // closed on every path
    EXPECT_EQ(f.sleeps, rows[i].sleeps) << "row " << i;
  }
}

TEST(HttpClient, OpenFailureIsLoggedAndClosed) {
  std::vector<std::string> lines;
  ReplaceCurrentLogger(new testsupport::MemoryLogger(&lines));
  Script openFails; openFails.open = false;
  Fixture f({openFails});
  std::string answer = "kept";
  EXPECT_EQ(f.client->PostRequest("lumeq2.id", "x", answer), -1);
  ReplaceCurrentLogger(nullptr);
  EXPECT_EQ(f.journal.sends, 0);
  EXPECT_EQ(f.journal.closes, 1);
  EXPECT_EQ(answer, "kept");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "InternetOpen return NULL.");
}

TEST(HttpClient, NoTransportBehavesAsNoNetworkLibrary) {
  CHttpClient client(L"h", L"", L"m", nullptr);
  client.SetSleepFunction([](uint32_t) { FAIL() << "-1 is not retried"; });
  std::string answer;
  EXPECT_EQ(client.PostRequest("lumeq2.prm", "x", answer), -1);
}

TEST(HttpClient, AnswerIsReadOnlyWithAStatusAndCutTo4095) {
  {
    Fixture f({Status(200, std::string(5000, 'a'))});
    std::string answer = "old";
    EXPECT_EQ(f.client->PostRequest("lumeq2.prm", "x", answer), 200);
    EXPECT_EQ(answer, std::string(4095, 'a'));  // emptied, then the read appended
  }
  {
    Fixture f({NoAnswer(), NoAnswer(), NoAnswer()});
    std::string answer = "old";
    EXPECT_EQ(f.client->PostRequest("lumeq2.prm", "x", answer), 1);
    EXPECT_EQ(f.journal.reads, 0);
    EXPECT_EQ(answer, "old");
  }
  {
    Script s = Status(200, "partial");
    s.read = HttpReadOutcome::Failed;
    Fixture f({s});
    std::string answer = "old";
    EXPECT_EQ(f.client->PostRequest("lumeq2.prm", "x", answer), 50);
    EXPECT_EQ(answer, "");
  }
}

TEST(HttpClient, ReferrerOnlyWithOriginHost) {
  {
    Fixture f({Status(200)}, L"");
    std::string answer;
    f.client->PostRequest("lumeq2.prm", "x", answer);
    ASSERT_EQ(f.journal.attempts.size(), 1u);
    EXPECT_EQ(f.journal.attempts[0].referrer, L"");
  }
  {
    Fixture f({Status(200)}, L"192.168.1.5");
    std::string answer;
    f.client->PostRequest("lumeq2.prm", "x", answer);
    ASSERT_EQ(f.journal.attempts.size(), 1u);
    EXPECT_EQ(f.journal.attempts[0].referrer, L"http://192.168.1.5");
  }
}

TEST(HttpClient, DefaultsAndConfiguration) {
  Fixture f({Status(200)});
  EXPECT_EQ(f.client->Port(), 80);
  EXPECT_EQ(f.client->ReservationTime(), 40);
  EXPECT_EQ(f.client->Agent(), L"SDK-Orvaq v1.0.0");
  EXPECT_EQ(f.client->ConnectTimeoutMs(), 1500u);
  EXPECT_EQ(f.client->RequestTimeoutMs(), 1500u);
  EXPECT_EQ(f.client->LastError(), 0u);
  HttpClientConfig config;
  config.httpTimeoutMs = 800;
  config.agent = FormatHttpAgent(L"Orvaq", 2, 1, 17);
  config.simulator = true;
  f.client->Configure(config);
  std::string answer;
  f.client->PostRequest("lumeq2.prm", "x", answer);
  ASSERT_EQ(f.journal.attempts.size(), 1u);
  const HttpAttemptParams& p = f.journal.attempts[0];
  EXPECT_EQ(p.host, L"10.0.0.9");
  EXPECT_EQ(p.port, 9080);
  EXPECT_EQ(p.agent, L"Orvaq [2.1.17]");
  EXPECT_EQ(p.connectTimeoutMs, 800u);
  EXPECT_EQ(p.requestTimeoutMs, 800u);
  EXPECT_EQ(p.objectName, L"lumeq2.prm");
}

TEST(HttpClient, LastErrorKeepsTheLatestError) {
  Script s = NoAnswer();
  s.error = 12029;
  Fixture f({s, NoAnswer(), NoAnswer()});
  std::string answer;
  EXPECT_EQ(f.client->PostRequest("lumeq2.prm", "x", answer), 1);
  EXPECT_EQ(f.client->LastError(), 12029u);
}

TEST(HttpClient, MappedOperations) {
  {
    Fixture f({Status(404, "12")});
    EXPECT_EQ(f.client->SendCommand("read_ok"), 12);
  }
  {
    Fixture f({Status(404, "")});
    EXPECT_EQ(f.client->SendCommand("read_ok"), 404);
  }
  {
    Fixture f({Status(201, "12")});
    EXPECT_EQ(f.client->SendCommand("read_ok"), 201);
  }
  {
    Fixture f({Status(404, "12")});
    std::string answer;
    EXPECT_EQ(f.client->HTTPTestRequest("lumeq2.prm", L"fpga_read", answer), 404);  // raw code
    EXPECT_EQ(answer, "12");
  }
}

TEST(HttpClient, OperationBodies) {
  struct Row {
    int32_t (*call)(CHttpClient&);
    const wchar_t* file;
    const char* body;
  };
  const Row rows[] = {
      {[](CHttpClient& c) { return c.Identify(3, 5, L"Dr Smith", L"Anne-Marie"); }, L"lumeq2.id",
       "ready=1\r\nterm=03\r\ncolor=05\r\nmac=00:11:22:33:44:55\r\ntext_coding=ASCII\r\n"
       "doc_name=Dr Smith\r\npat_name=Anne\\x2dMarie\r\ntime=000\r\nlevel=0\r\nmode=sd"},
      {[](CHttpClient& c) { return c.WithdrawIdentification(3, 5); }, L"lumeq2.id",
       "ready=0\r\nterm=03\r\ncolor=05\r\nmac=00:11:22:33:44:55\r\ntext_coding=\r\ndoc_name=\r\n"
       "pat_name=\r\ntime=000\r\nlevel=0\r\nmode="},
      {[](CHttpClient& c) { c.SetReservationTime(90); return c.ReserveScanner(1, 2, 3, 1, L"a", L"b"); },
       L"lumeq2.res",
       "ready=1\r\nterm=02\r\ncolor=03\r\nmac=00:11:22:33:44:55\r\ntext_coding=ASCII\r\n"
       "doc_name=a\r\npat_name=b\r\ntime=090\r\nlevel=1\r\nmode=hd"},
      {[](CHttpClient& c) { return c.CancelReservation(2, 3); }, L"lumeq2.res",
       "ready=0\r\nterm=02\r\ncolor=03\r\nmac=00:11:22:33:44:55\r\ntext_coding=\r\ndoc_name=\r\n"
       "pat_name=\r\ntime=040\r\nlevel=0\r\nmode="},
      {[](CHttpClient& c) { return c.SuperReserve(L"Control", L"Admin"); }, L"lumeq2.res",
       "ready=1\r\nterm=11\r\ncolor=11\r\nmac=3A:52:3A:52:3A:52\r\ntext_coding=ASCII\r\n"
       "doc_name=Control\r\npat_name=Admin\r\ntime=040\r\nlevel=2\r\nmode=sd"},
      {[](CHttpClient& c) { return c.SetImageMode(IMAGE_MODE_DEBUG); }, L"lumeq2.prm", "image_mode=debug"},
      {[](CHttpClient& c) { return c.SetReservationMode(false); }, L"lumeq2.prm", "reservation_mode=mono"},
      {[](CHttpClient& c) { return c.SetReservationMode(true); }, L"lumeq2.prm", "reservation_mode=multi"},
      {[](CHttpClient& c) { return c.SetScreenReservation(false); }, L"lumeq2.prm", "screen_reservation=off"},
      {[](CHttpClient& c) { return c.SetTerminalReservation(true); }, L"lumeq2.prm", "terminal_reservation=on"},
      {[](CHttpClient& c) { return c.SetColorReservation(true); }, L"lumeq2.prm", "color_reservation=on"},
      {[](CHttpClient& c) { return c.SetDemo(true); }, L"lumeq2.prm", "demo=enable"},
      {[](CHttpClient& c) { return c.SetDemo(false); }, L"lumeq2.prm", "demo=disable"},
      {[](CHttpClient& c) { return c.SetLanguage(1036); }, L"lumeq2.prm", "gui_language=french"},
      {[](CHttpClient& c) { return c.Reload(1); }, L"lumeq2.prm", "reload=001"},
      {[](CHttpClient& c) { return c.ResetTerminal(4); }, L"lumeq2.prm", "reset_terminal=04"},
      {[](CHttpClient& c) { return c.ResetDoctors(); }, L"lumeq2.prm", "reset_doctors"},
      {[](CHttpClient& c) { return c.ReadOk(); }, L"lumeq2.prm", "read_ok"},
      {[](CHttpClient& c) { return c.ReadNok(); }, L"lumeq2.prm", "read_nok"},
      {[](CHttpClient& c) { return c.GetLastImage(); }, L"lumeq2.prm", "image_read"},
      {[](CHttpClient& c) { return c.SetTimeoutValue("menu_timeout", 2000); }, L"lumeq2.prm", "menu_timeout=2000"},
      {[](CHttpClient& c) { return c.SetClock(23, 59, 1, 31, 12, 2026); }, L"lumeq2.prm", "time=23:59:01 31.12.2026"},
      {[](CHttpClient& c) { return c.SendFormatted("reload=%03d", 12); }, L"lumeq2.prm", "reload=012"},
      {[](CHttpClient& c) { std::string a; return c.QueryFormatted("get_doctor=%02d", 7, a); }, L"lumeq2.prm", "get_doctor=07"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Fixture f({Status(200)});
    EXPECT_EQ(rows[i].call(*f.client), 200) << "row " << i;
    ASSERT_EQ(f.journal.attempts.size(), 1u) << "row " << i;
    EXPECT_EQ(f.journal.attempts[0].objectName, rows[i].file) << "row " << i;
    EXPECT_EQ(f.journal.attempts[0].body, rows[i].body) << "row " << i;
  }
}

TEST(HttpClient, QueriesReadTheirAnswers) {
  {
    Fixture f({Status(200, "term=02 color=04 doc_name=D\\xc3\\xa9 pat_name=P nb_line=10 line_size=5648")});
    ImageInfo info;
    EXPECT_EQ(f.client->GetImageInfo(info), 200);
    EXPECT_EQ(info.doctor, L"D\u00E9");
    EXPECT_EQ(info.lineSize, 5648);
    EXPECT_EQ(f.journal.attempts[0].body, "image_info");
  }
  {
    Fixture f({Status(200, "term=01 color=02 mac=AA")});
    DoctorEntry e;
    EXPECT_EQ(f.client->GetDoctor(1, e), 200);
    EXPECT_EQ(e.mac, "AA");
    EXPECT_EQ(f.journal.attempts[0].body, "get_doctor=01");
  }
  {
    Fixture f({Status(200, "Multi")});
    EXPECT_EQ(f.client->GetReservationMode(), -1);
  }
  {
    Fixture f({Status(200, "ENABLE")});
    EXPECT_EQ(f.client->GetDemo(), 1);
  }
  {
    Fixture f({Status(200, "moving")});
    EXPECT_EQ(f.client->GetDoor(), 2);
  }
  {
    Fixture f({Status(200, "45")});
    EXPECT_EQ(f.client->GetTimeoutValue("eco_timeout"), 45);
    EXPECT_EQ(f.journal.attempts[0].body, "eco_timeout");
  }
  {
    Fixture f({NoAnswer(), NoAnswer(), NoAnswer()});
    EXPECT_EQ(f.client->GetTime(), "");
  }
}

}  // namespace
