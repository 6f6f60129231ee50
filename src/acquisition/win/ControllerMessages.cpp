// Message routing of the dialog to the controller (see ControllerMessages.h).
#include "acquisition/win/ControllerMessages.h"

#include <string>

#include "acquisition/OrvaqController.h"

bool ControllerHandleMessage(COrvaqController& controller, UINT message, WPARAM wParam, LPARAM lParam,
                             LRESULT& result) {
  result = 0;
  switch (message) {
    case kMsgSNDPFrame:
      controller.OnSNDPFrame();
      return true;
    case kMsgImageSocket:
      controller.OnImageMessage(static_cast<uintptr_t>(wParam), static_cast<uint32_t>(lParam));
      return true;
    case kMsgHardwareInfos: {
      const wchar_t* serial = reinterpret_cast<const wchar_t*>(lParam);
      std::wstring text;
      if (serial) text = serial;
      const HardwareInfosResult r = controller.HardwareInfos(static_cast<int>(wParam), serial ? &text : nullptr);
      result = r.isText ? reinterpret_cast<LRESULT>(controller.HardwareInfosText().c_str())
                        : static_cast<LRESULT>(r.number);
      return true;
    }
    case kMsgAdminAction: {
      const wchar_t* serial = reinterpret_cast<const wchar_t*>(lParam);
      const std::wstring& text = controller.AdminAction(static_cast<int>(wParam), serial ? serial : L"");
      result = reinterpret_cast<LRESULT>(text.c_str());
      return true;
    }
    case kMsgServiceAction: {
      const wchar_t* command = reinterpret_cast<const wchar_t*>(wParam);
      std::wstring* answer = reinterpret_cast<std::wstring*>(lParam);
      std::wstring local;
      result = controller.ServiceAction(command ? command : L"", answer ? *answer : local);
      return true;
    }
    case WM_TIMER:
      controller.OnTimer(static_cast<uint32_t>(wParam));
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) != kIdReservationButton) return false;
      controller.ReservationAction();
      return true;
    default:
      return false;
  }
}
