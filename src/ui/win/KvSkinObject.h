// CKvSkinObject: the skin pictures of the program, one cached GDI+ bitmap per name. A
// picture comes from the ".PRS" file beside the program (section "SKIN": name = file
// relative to the program's folder) or else from the program's "RXSK" resources (PNG).
// One object exists from start-up to shutdown; GDI+ must be running while it lives.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/PanelModel.h"

namespace Gdiplus {
class Bitmap;
}

class CKvSkinObject {
 public:
  // `module` holds the resources and names the ".PRS" file (null: the program).
  explicit CKvSkinObject(HMODULE module = nullptr);
  ~CKvSkinObject();
  CKvSkinObject(const CKvSkinObject&) = delete;
  CKvSkinObject& operator=(const CKvSkinObject&) = delete;

  // The picture, loaded on first use; null when neither source has it.
  Gdiplus::Bitmap* Picture(const std::wstring& name);
  // The region of the picture's opaque pixels (caller deletes it); null when missing.
  HRGN OpaqueRegion(const std::wstring& name);
  // The bounding box of the opaque pixels, in skin pixels (cached); empty when missing.
  orvaq::ui::SRect OpaqueArea(const std::wstring& name);

 private:
  Gdiplus::Bitmap* Load(const std::wstring& name);
  Gdiplus::Bitmap* LoadFile(const std::wstring& path);
  Gdiplus::Bitmap* LoadResource(const std::wstring& name);
  std::vector<orvaq::ui::SRect> Runs(const std::wstring& name);

  HMODULE m_hModule;
  std::wstring m_sSkinFile;    // the ".PRS" path
  std::wstring m_sFolder;      // the program's folder, with a trailing backslash
  std::map<std::wstring, std::unique_ptr<Gdiplus::Bitmap>> m_Pictures;  // null: missing
  std::map<std::wstring, orvaq::ui::SRect> m_Areas;
};

// The program's skin object (null outside the main window's life).
CKvSkinObject* GetSkinObject();
void SetSkinObject(CKvSkinObject* skin);
