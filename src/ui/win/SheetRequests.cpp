// Requests through the main window (see SheetRequests.h).
#include "ui/win/SheetRequests.h"

namespace {

constexpr UINT kMsgHardwareInfos = 0x465, kMsgAdminAction = 0x466, kMsgServiceAction = 0x467;

LPARAM SerialParam(const std::wstring* serial) {
  return serial ? reinterpret_cast<LPARAM>(serial->c_str()) : 0;
}

}  // namespace

int CSheetRequests::InfoNumber(int type, const std::wstring* serial) {
  if (!IsWindow(m_hMain)) return -1;
  return static_cast<int>(SendMessageW(m_hMain, kMsgHardwareInfos, type, SerialParam(serial)));
}

std::wstring CSheetRequests::InfoText(int type, const std::wstring* serial) {
  if (!IsWindow(m_hMain)) return std::wstring();
  const auto* text = reinterpret_cast<const wchar_t*>(SendMessageW(m_hMain, kMsgHardwareInfos, type, SerialParam(serial)));
  return text ? std::wstring(text) : std::wstring();
}

std::wstring CSheetRequests::Admin(int code, const std::wstring& serial) {
  if (!IsWindow(m_hMain)) return std::wstring();
  const auto* text =
      reinterpret_cast<const wchar_t*>(SendMessageW(m_hMain, kMsgAdminAction, code, SerialParam(&serial)));
  return text ? std::wstring(text) : std::wstring();
}

int CSheetRequests::Service(const std::wstring& command, std::wstring& answer) {
  answer.clear();
  if (!IsWindow(m_hMain)) return 0;
  return static_cast<int>(SendMessageW(m_hMain, kMsgServiceAction, reinterpret_cast<WPARAM>(command.c_str()),
                                       reinterpret_cast<LPARAM>(&answer)));
}
