// CHttpClient with the WinINet transport against a server on 127.0.0.1: the bytes that
// arrive, the referrer rule, the bounded read, the codes of an unreachable or silent
// server, and the failed-open path through the InternetOpenW seam.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "scanner_link/HttpClient.h"
#include "scanner_link/win/WinInetTransport.h"
#include "test_http_server.h"

namespace {

std::unique_ptr<CHttpClient> NewClient(uint16_t port, const std::wstring& origin,
                                       std::vector<uint32_t>* sleeps,
                                       InternetOpenFunction open = nullptr) {
  auto client = std::make_unique<CHttpClient>(L"127.0.0.1", origin, L"00:11:22:33:44:55",
                                              std::make_unique<CWinInetTransport>(open));
  client->SetHTTPPort(port);
  client->SetTimeouts(1500, 1500);
  client->SetSleepFunction([sleeps](uint32_t ms) { if (sleeps) sleeps->push_back(ms); });
  return client;
}

TEST(HttpClientWine, IdentificationBodyArrivesByteForByte) {
  TestHttpServer server;
  server.Script({{true, 200, ""}});
  auto client = NewClient(server.Port(), L"127.0.0.1", nullptr);
  EXPECT_EQ(client->Identify(3, 5, L"Dr Smith", L"Anne-Marie"), 200);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string expected =
      "ready=1\r\nterm=03\r\ncolor=05\r\nmac=00:11:22:33:44:55\r\ntext_coding=ASCII\r\n"
      "doc_name=Dr Smith\r\npat_name=Anne\\x2dMarie\r\ntime=000\r\nlevel=0\r\nmode=sd";
  EXPECT_EQ(TestHttpServer::Body(requests[0]), expected);
  const std::string headers = TestHttpServer::Headers(requests[0]);
  EXPECT_EQ(headers.rfind("POST /lumeq2.id HTTP/1.0\r\n", 0), 0u) << headers;
  EXPECT_NE(headers.find("Content-Length: " + std::to_string(expected.size()) + "\r\n"),
            std::string::npos)
      << headers;
}

TEST(HttpClientWine, BodiesOfEveryDeviceFile) {
  TestHttpServer server;
  auto client = NewClient(server.Port(), L"", nullptr);
  EXPECT_EQ(client->CancelReservation(2, 3), 200);
  EXPECT_EQ(client->SuperUnreserve(), 200);
  EXPECT_EQ(client->SetLanguage(1031), 200);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].rfind("POST /lumeq2.res HTTP/1.0\r\n", 0), 0u);
  EXPECT_EQ(TestHttpServer::Body(requests[0]),
            "ready=0\r\nterm=02\r\ncolor=03\r\nmac=00:11:22:33:44:55\r\ntext_coding=\r\ndoc_name=\r\n"
            "pat_name=\r\ntime=040\r\nlevel=0\r\nmode=");
  EXPECT_EQ(TestHttpServer::Body(requests[1]),
            "ready=0\r\nterm=11\r\ncolor=11\r\nmac=3A:52:3A:52:3A:52\r\ntext_coding=\r\ndoc_name=\r\n"
            "pat_name=\r\ntime=040\r\nlevel=0\r\nmode=");
  EXPECT_EQ(requests[2].rfind("POST /lumeq2.prm HTTP/1.0\r\n", 0), 0u);
  EXPECT_EQ(TestHttpServer::Body(requests[2]), "gui_language=deutsch");
}

TEST(HttpClientWine, ReferrerOnlyWithAnOriginHost) {
  TestHttpServer server;
  {
    auto client = NewClient(server.Port(), L"", nullptr);
    EXPECT_EQ(client->SendCommand("read_ok"), 200);
  }
  {
    auto client = NewClient(server.Port(), L"192.168.7.3", nullptr);
    EXPECT_EQ(client->SendCommand("read_ok"), 200);
  }
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].find("Referer:"), std::string::npos) << requests[0];
  EXPECT_NE(requests[1].find("Referer: http://192.168.7.3\r\n"), std::string::npos) << requests[1];
}

TEST(HttpClientWine, LongAnswerIsCutTo4095Bytes) {
  TestHttpServer server;
  std::string body;
  for (int i = 0; i < 5000; ++i) body += static_cast<char>('a' + i % 26);
  server.Script({{true, 200, body}});
  auto client = NewClient(server.Port(), L"", nullptr);
  std::string answer;
  EXPECT_EQ(client->QueryValue("time", answer), 200);
  EXPECT_EQ(answer, body.substr(0, 4095));
}

TEST(HttpClientWine, AnswerCodesAndRetries) {
  TestHttpServer server;
  server.Script({{true, 403, ""}, {true, 403, ""}, {true, 200, "ok"}, {true, 404, "12"}, {true, 404, ""}});
  std::vector<uint32_t> sleeps;
  auto client = NewClient(server.Port(), L"", &sleeps);
  std::string answer;
  EXPECT_EQ(client->PostRequest("lumeq2.prm", "demo", answer), 200);
  EXPECT_EQ(answer, "ok");
  EXPECT_EQ(sleeps, (std::vector<uint32_t>{250, 500}));
  EXPECT_EQ(client->SendCommand("read_ok"), 12);
  EXPECT_EQ(client->SendCommand("read_ok"), 404);
  EXPECT_EQ(server.Requests().size(), 5u);
}

TEST(HttpClientWine, UnreachablePortGivesOneAfterThreeAttempts) {
  std::vector<uint32_t> sleeps;
  auto client = NewClient(UnusedLoopbackPort(), L"", &sleeps);
  std::string answer;
  EXPECT_EQ(client->PostRequest("lumeq2.prm", "door", answer), 1);
  EXPECT_EQ(sleeps, (std::vector<uint32_t>{250, 500}));
  EXPECT_NE(client->LastError(), 0u);
}

TEST(HttpClientWine, SilentServerGivesOneAndLateCallbacksAreHarmless) {
  TestHttpServer server;
  server.Script({{false, 0, ""}, {false, 0, ""}, {false, 0, ""}, {true, 200, "after"}});
  std::vector<uint32_t> sleeps;
  auto client = NewClient(server.Port(), L"", &sleeps);
  client->SetTimeouts(300, 300);
  const long abandonedBefore = CWinInetTransport::AbandonedBlocks();
  std::string answer;
  EXPECT_EQ(client->PostRequest("lumeq2.prm", "door", answer), 1);
  // Each timed-out send leaves its body to WinINet instead of freeing it under a late write.
  EXPECT_EQ(CWinInetTransport::AbandonedBlocks() - abandonedBefore, 3);
  EXPECT_EQ(sleeps, (std::vector<uint32_t>{250, 500}));
  EXPECT_EQ(server.Requests().size(), 3u);
  // A request right after the timed-out ones is not disturbed by what is left of them.
  client->SetTimeouts(1500, 1500);
  answer.clear();
  EXPECT_EQ(client->PostRequest("lumeq2.prm", "door", answer), 200);
  EXPECT_EQ(answer, "after");
}

HINTERNET WINAPI FailingInternetOpen(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

TEST(HttpClientWine, FailedInternetOpenGivesMinusOneAndLeavesNothingOpen) {
  std::vector<uint32_t> sleeps;
  auto client = NewClient(80, L"", &sleeps, &FailingInternetOpen);
  std::string answer;
  EXPECT_EQ(client->PostRequest("lumeq2.prm", "door", answer), -1);
  EXPECT_TRUE(sleeps.empty());
  EXPECT_EQ(client->LastError(), static_cast<uint32_t>(ERROR_NOT_ENOUGH_MEMORY));
  for (const wchar_t* name : {L"Cnx_Event", L"ROp_Event", L"RCo_Event"}) {
    SetLastError(0xdeadbeef);
    HANDLE h = OpenEventW(SYNCHRONIZE, FALSE, name);
    EXPECT_EQ(h, nullptr) << "event still open";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    if (h) CloseHandle(h);
  }
}

}  // namespace
