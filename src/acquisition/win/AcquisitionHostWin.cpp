// CAcquisitionHostWin: Win32 effects of the acquisition controller (see the header).
#include "acquisition/win/AcquisitionHostWin.h"

#include <vector>

#include "acquisition/OrvaqController.h"
#include "acquisition/win/ScannerLinkAdapters.h"
#include "scanner_link/HttpClient.h"
#include "settings/KvAdapters.h"

CAcquisitionHostWin::CAcquisitionHostWin(HWND dialog, HWND mainWindow, IKvAdapterSource* adapters)
    : m_hDialog(dialog), m_hMainWindow(mainWindow), m_pAdapters(adapters) {
  createHttpClient = CreateHttpClientWin;
  createStatusListener = [dialog](const std::wstring& address) { return CreateStatusListenerWin(dialog, address); };
  createImageClient = [dialog](uint16_t port) { return CreateImageClientWin(dialog, port); };
}

uint32_t CAcquisitionHostWin::GetTickCount() { return ::GetTickCount(); }

void CAcquisitionHostWin::SetTimer(uint32_t id, uint32_t periodMs) { ::SetTimer(m_hDialog, id, periodMs, nullptr); }

void CAcquisitionHostWin::KillTimer(uint32_t id) { ::KillTimer(m_hDialog, id); }

void CAcquisitionHostWin::PostCommand(int id) {
  PostMessageW(m_hDialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void CAcquisitionHostWin::PostHardwareInfos(int type) {
  PostMessageW(m_hMainWindow, kMsgHardwareInfos, static_cast<WPARAM>(type), 0);
}

int CAcquisitionHostWin::ShowMessageBox(int, const std::wstring& text, unsigned style) {
  return MessageBoxW(m_hDialog, text.c_str(), m_sCaption.c_str(), style);
}

void CAcquisitionHostWin::Beep() { MessageBeep(0xFFFFFFFF); }

void CAcquisitionHostWin::Repaint() {
  InvalidateRect(m_hDialog, nullptr, TRUE);
  UpdateWindow(m_hDialog);
}

void CAcquisitionHostWin::ShowReservationButton(bool show) {
  HWND button = GetDlgItem(m_hDialog, kIdReservationButton);
  if (!button) return;
  ShowWindow(button, show ? SW_SHOW : SW_HIDE);
  EnableWindow(button, show ? TRUE : FALSE);
}

void CAcquisitionHostWin::Sleep(uint32_t ms) { ::Sleep(ms); }

std::wstring CAcquisitionHostWin::SystemErrorText(uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0x400, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring result = length && text ? std::wstring(text, length) : std::wstring();
  if (text) LocalFree(text);
  return result;
}

AcqLocalTime CAcquisitionHostWin::LocalTime() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  AcqLocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  return t;
}

void CAcquisitionHostWin::RestartLogFile() {
  if (restartLogFile) restartLogFile();
}

std::unique_ptr<CHttpClient> CAcquisitionHostWin::CreateHttpClient(const std::wstring& host,
                                                                   const std::wstring& originHost,
                                                                   const std::wstring& mac) {
  return createHttpClient ? createHttpClient(host, originHost, mac) : nullptr;
}

std::unique_ptr<IStatusListener> CAcquisitionHostWin::CreateStatusListener(const std::wstring& bindAddress) {
  return createStatusListener ? createStatusListener(bindAddress) : nullptr;
}

std::unique_ptr<IImageClient> CAcquisitionHostWin::CreateImageClient(uint16_t port) {
  return createImageClient ? createImageClient(port) : nullptr;
}

bool CAcquisitionHostWin::LookupAdapter(const std::wstring& description, std::wstring& addresses,
                                        std::wstring& mac) {
  if (!m_pAdapters) return false;
  return ::LookupAdapter(*m_pAdapters, description, addresses, mac);
}

bool CAcquisitionHostWin::ReconstructAcquisition() { return reconstruct ? reconstruct() : false; }

void CAcquisitionHostWin::RunMultiPlateReconstruction() {
  if (multiPlateReconstruction) multiPlateReconstruction();
}

void CAcquisitionHostWin::OnFolderWatchTimer() {
  if (folderWatch) folderWatch();
}

void CAcquisitionHostWin::OnBaseTimer(uint32_t id) {
  if (baseTimer) baseTimer(id);
}
