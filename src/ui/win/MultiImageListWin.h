// The stored-acquisition list of multi-image mode ("/twain" with AcqMultiImages): one
// entry per information file of the images folder with the picture its File8 names,
// kept in the owner-drawn list box 1022 in the order of the files' times, refreshed when
// a change notification on the folder is signalled.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace Gdiplus {
class Bitmap;
}

class CMultiImageList {
 public:
  explicit CMultiImageList(HWND listBox) : m_hList(listBox) {}
  ~CMultiImageList();
  CMultiImageList(const CMultiImageList&) = delete;
  CMultiImageList& operator=(const CMultiImageList&) = delete;

  // Watches `folder` for file-name changes (not its subfolders) and fills the list; false
  // when the watch cannot be started (the list then stays as it is).
  bool StartWatch(const std::wstring& folder);
  bool Watching() const { return m_hChange != INVALID_HANDLE_VALUE; }
  // Timer 1070: a signalled notification refreshes the list and is re-armed.
  void OnTimer();
  void Refresh();
  size_t Size() const { return m_Entries.size(); }

  // The list box's owner drawing: item height, order and drawing.
  void SetItemHeight();
  int Compare(const COMPAREITEMSTRUCT& item) const;
  void Draw(const DRAWITEMSTRUCT& item) const;

 private:
  struct CMultiImage {
    std::wstring name;  // the ".NFO" file name
    std::unique_ptr<Gdiplus::Bitmap> picture;
    double time = 0;  // the file's modification time as a date-time
    bool timeValid = false;
  };
  const CMultiImage* Find(const wchar_t* name) const;

  HWND m_hList;
  std::wstring m_sFolder;
  HANDLE m_hChange = INVALID_HANDLE_VALUE;
  std::vector<std::unique_ptr<CMultiImage>> m_Entries;
};
