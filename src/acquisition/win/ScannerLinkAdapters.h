// The scanner-link objects behind the controller's interfaces on Windows: the UDP status
// listener, the TCP image receiver and CHttpClient over WinINet, each bound to the
// dialog's window for its socket messages.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "acquisition/AcquisitionHost.h"

class CHttpClient;

std::unique_ptr<IStatusListener> CreateStatusListenerWin(HWND window, const std::wstring& bindAddress);
std::unique_ptr<IImageClient> CreateImageClientWin(HWND window, uint16_t port);
std::unique_ptr<CHttpClient> CreateHttpClientWin(const std::wstring& host, const std::wstring& originHost,
                                                 const std::wstring& mac);
