// Stored-acquisition list (see MultiImageListWin.h).
#include "ui/win/MultiImageListWin.h"

#include <objidl.h>
#include <gdiplus.h>
#include <oleauto.h>

#include "settings/KvPaths.h"
#include "ui/MultiImageList.h"

namespace gp = Gdiplus;
using orvaq::ui::SRect;

CMultiImageList::~CMultiImageList() {
  if (m_hChange != INVALID_HANDLE_VALUE) FindCloseChangeNotification(m_hChange);
}

bool CMultiImageList::StartWatch(const std::wstring& folder) {
  m_sFolder = folder;
  m_hChange = FindFirstChangeNotificationW(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  if (m_hChange == INVALID_HANDLE_VALUE) return false;
  Refresh();
  return true;
}

void CMultiImageList::OnTimer() {
  if (m_hChange == INVALID_HANDLE_VALUE || WaitForSingleObject(m_hChange, 0) != WAIT_OBJECT_0) return;
  Refresh();
  FindNextChangeNotification(m_hChange);
}

void CMultiImageList::Refresh() {
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(orvaq::paths::Join(m_sFolder, L"*.NFO").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (!orvaq::ui::IsInfoFileName(name)) continue;  // "*.NFO" also finds ".NFOT" names
      bool listed = false;
      for (const auto& e : m_Entries) listed = listed || lstrcmpiW(e->name.c_str(), name.c_str()) == 0;
      if (listed) continue;
      std::unique_ptr<CMultiImage> entry(new CMultiImage);
      entry->name = name;
      SYSTEMTIME st;
      FILETIME local;
      entry->timeValid = FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) && FileTimeToSystemTime(&local, &st) &&
                         SystemTimeToVariantTime(&st, &entry->time);
      // The picture of its File8 (none when the key is empty or the file unreadable).
      HANDLE file = CreateFileW(orvaq::paths::Join(m_sFolder, name).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        std::string bytes(64 * 1024, '\0');
        DWORD read = 0;
        ReadFile(file, &bytes[0], DWORD(bytes.size()), &read, nullptr);
        CloseHandle(file);
        bytes.resize(read);
        const std::wstring bitmap = orvaq::ui::InfoFileValue(bytes, L"ACQUISITION", L"File8");
        if (!bitmap.empty()) {
          std::unique_ptr<gp::Bitmap> picture(new gp::Bitmap(bitmap.c_str()));
          if (picture->GetLastStatus() == gp::Ok) entry->picture = std::move(picture);
        }
      }
      m_Entries.push_back(std::move(entry));
    } while (FindNextFileW(h, &found));
    FindClose(h);
  }
  const LRESULT selected = SendMessageW(m_hList, LB_GETCURSEL, 0, 0);
  SendMessageW(m_hList, LB_RESETCONTENT, 0, 0);
  for (const auto& e : m_Entries) SendMessageW(m_hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e->name.c_str()));
  // The newest after a refresh; the operator's choice otherwise.
  const LRESULT count = SendMessageW(m_hList, LB_GETCOUNT, 0, 0);
  SendMessageW(m_hList, LB_SETCURSEL, count > 0 ? count - 1 : selected, 0);
  InvalidateRect(m_hList, nullptr, TRUE);
}

void CMultiImageList::SetItemHeight() {
  RECT client;
  GetClientRect(m_hList, &client);
  if (client.bottom >= 3) SendMessageW(m_hList, LB_SETITEMHEIGHT, 0, client.bottom / 3);
}

const CMultiImageList::CMultiImage* CMultiImageList::Find(const wchar_t* name) const {
  if (!name) return nullptr;
  for (const auto& e : m_Entries)
    if (lstrcmpiW(e->name.c_str(), name) == 0) return e.get();
  return nullptr;
}

int CMultiImageList::Compare(const COMPAREITEMSTRUCT& item) const {
  const CMultiImage* a = Find(reinterpret_cast<const wchar_t*>(item.itemData1));
  const CMultiImage* b = Find(reinterpret_cast<const wchar_t*>(item.itemData2));
  return orvaq::ui::CompareEntries(a ? a->time : 0, a && a->timeValid, b ? b->time : 0, b && b->timeValid);
}

void CMultiImageList::Draw(const DRAWITEMSTRUCT& item) const {
  if (item.itemID == UINT(-1)) return;
  RECT r = item.rcItem;
  InflateRect(&r, -1, -1);
  FillRect(item.hDC, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  InflateRect(&r, -2, -2);
  if (item.itemState & ODS_SELECTED) {
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    FrameRect(item.hDC, &r, white);
    RECT inner = r;
    InflateRect(&inner, -1, -1);
    FrameRect(item.hDC, &inner, white);
  }
  const CMultiImage* entry = Find(reinterpret_cast<const wchar_t*>(item.itemData));
  if (!entry || !entry->picture) return;
  const SRect area = orvaq::ui::ItemPictureArea(
      {item.rcItem.left, item.rcItem.top, item.rcItem.right - item.rcItem.left, item.rcItem.bottom - item.rcItem.top});
  const SRect fit = orvaq::ui::FitCentred(int(entry->picture->GetWidth()), int(entry->picture->GetHeight()), area);
  gp::Graphics g(item.hDC);
  g.SetInterpolationMode(gp::InterpolationModeHighQualityBicubic);
  g.DrawImage(entry->picture.get(), gp::Rect(fit.x, fit.y, fit.w, fit.h));
}
