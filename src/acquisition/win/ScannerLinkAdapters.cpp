// Adapters of CSNDPListener, CImageClient and the WinINet transport to the controller's
// interfaces (see ScannerLinkAdapters.h).
#include "acquisition/win/ScannerLinkAdapters.h"

#include "scanner_link/HttpClient.h"
#include "scanner_link/win/ImageClient.h"
#include "scanner_link/win/SNDPListener.h"
#include "scanner_link/win/WinInetTransport.h"

namespace {

class CStatusListenerWin : public IStatusListener {
 public:
  CStatusListenerWin(HWND window, const std::wstring& bindAddress) : m_hWindow(window), m_Listener(bindAddress) {}
  bool StartListening() override { return m_Listener.StartListening(m_hWindow); }
  uint32_t LastError() const override { return m_Listener.LastError(); }
  bool Receive(uint8_t* buffer, size_t capacity, size_t& received, uint32_t& source, uint32_t& error) override {
    const int n = m_Listener.Receive(buffer, static_cast<int>(capacity), &source);
    if (n < 0) {
      error = m_Listener.LastError();
      return false;
    }
    received = static_cast<size_t>(n);
    return true;
  }

 private:
  HWND m_hWindow;
  CSNDPListener m_Listener;
};

class CImageClientWin : public IImageClient {
 public:
  CImageClientWin(HWND window, uint16_t port) : m_hWindow(window), m_Client(port) {}
  bool Listen() override { return m_Client.Listen(m_hWindow); }
  bool AcceptPending(uint32_t& peer) override { return m_Client.AcceptPending(peer); }
  void CloseHeldConnection() override { m_Client.CloseHeldConnection(); }
  bool Accept(const std::wstring& rawPath, bool wantLog) override { return m_Client.Accept(rawPath, wantLog); }
  int32_t ReceivePending() override { return m_Client.ReceivePending(); }
  bool Close() override { return m_Client.Close(); }
  bool OwnsSocket(uintptr_t socket) const override { return m_Client.OwnsSocket(static_cast<SOCKET>(socket)); }
  bool HasConnection() const override { return m_Client.AcceptedSocket() != 0; }
  void RefuseConnection() override { m_Client.RefuseConnection(); }

 private:
  HWND m_hWindow;
  CImageClient m_Client;
};

}  // namespace

std::unique_ptr<IStatusListener> CreateStatusListenerWin(HWND window, const std::wstring& bindAddress) {
  return std::unique_ptr<IStatusListener>(new CStatusListenerWin(window, bindAddress));
}

std::unique_ptr<IImageClient> CreateImageClientWin(HWND window, uint16_t port) {
  return std::unique_ptr<IImageClient>(new CImageClientWin(window, port));
}

std::unique_ptr<CHttpClient> CreateHttpClientWin(const std::wstring& host, const std::wstring& originHost,
                                                 const std::wstring& mac) {
  return std::unique_ptr<CHttpClient>(new CHttpClient(host, originHost, mac, CreateWinInetTransport()));
}
