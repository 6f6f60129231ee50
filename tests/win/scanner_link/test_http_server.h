// A small HTTP/1.0 server on 127.0.0.1 for the WinINet tests: records every request as
// it arrived (headers and body, byte for byte) and answers from a script, or holds the
// connection without answering.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestHttpServer {
 public:
  struct Reply {
    bool answer = true;  // false: read the request and keep silent
    int status = 200;
    std::string body;
  };

  TestHttpServer() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    m_Listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    bind(m_Listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(m_Listener, 8);
    int len = sizeof a;
    getsockname(m_Listener, reinterpret_cast<sockaddr*>(&a), &len);
    m_nPort = ntohs(a.sin_port);
    m_Thread = std::thread([this] { Run(); });
  }

  ~TestHttpServer() {
    closesocket(m_Listener);
    m_Thread.join();
    for (SOCKET s : m_Held) closesocket(s);
    WSACleanup();
  }

  uint16_t Port() const { return m_nPort; }

  void Script(std::vector<Reply> replies) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Replies.assign(replies.begin(), replies.end());
  }

  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Requests;
  }

  // The body of a recorded request (after the blank line).
  static std::string Body(const std::string& request) {
    const size_t at = request.find("\r\n\r\n");
    return at == std::string::npos ? std::string() : request.substr(at + 4);
  }
  static std::string Headers(const std::string& request) {
    return request.substr(0, request.find("\r\n\r\n") + 2);
  }

 private:
  void Run() {
    for (;;) {
      SOCKET c = accept(m_Listener, nullptr, nullptr);
      if (c == INVALID_SOCKET) return;
      std::string request = ReadRequest(c);
      Reply reply;
      {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Requests.push_back(request);
        if (!m_Replies.empty()) {
          reply = m_Replies.front();
          m_Replies.pop_front();
        }
      }
      if (!reply.answer) {
        m_Held.push_back(c);
        continue;
      }
      std::string out = "HTTP/1.0 " + std::to_string(reply.status) + " Scripted\r\nContent-Length: " +
                        std::to_string(reply.body.size()) + "\r\nContent-Type: text/plain\r\n\r\n" +
                        reply.body;
      size_t sent = 0;
      while (sent < out.size()) {
        const int n = send(c, out.data() + sent, static_cast<int>(out.size() - sent), 0);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
      }
      shutdown(c, SD_SEND);
      closesocket(c);
    }
  }

  static std::string ReadRequest(SOCKET c) {
    std::string data;
    char buffer[4096];
    size_t need = std::string::npos;
    for (;;) {
      if (need != std::string::npos && data.size() >= need) break;
      const int n = recv(c, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      data.append(buffer, static_cast<size_t>(n));
      const size_t end = data.find("\r\n\r\n");
      if (end != std::string::npos && need == std::string::npos) {
        size_t length = 0;
        const size_t cl = data.find("Content-Length:");
        if (cl != std::string::npos && cl < end) length = std::stoul(data.substr(cl + 15));
        need = end + 4 + length;
      }
    }
    return data;
  }

  SOCKET m_Listener = INVALID_SOCKET;
  uint16_t m_nPort = 0;
  std::thread m_Thread;
  std::mutex m_Mutex;
  std::deque<Reply> m_Replies;
  std::vector<std::string> m_Requests;
  std::vector<SOCKET> m_Held;
};

// A loopback port with nothing listening on it.
inline uint16_t UnusedLoopbackPort() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  closesocket(s);
  WSACleanup();
  return ntohs(a.sin_port);
}
