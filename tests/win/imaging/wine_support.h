// Helpers of the imaging Wine tests: GDI+ for the test's lifetime, pictures filled
// with a colour, a temporary folder, file bytes.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "win_test_support.h"
#include "imaging/win/GdiPictures.h"

class GdiplusTest : public ::testing::Test {
 protected:
  orvaq::imaging::CGdiplusSession m_Session;
  void SetUp() override { ASSERT_TRUE(m_Session.Ok()); }
};

inline std::unique_ptr<Gdiplus::Bitmap> Filled(int w, int h, BYTE r, BYTE g, BYTE b) {
  std::unique_ptr<Gdiplus::Bitmap> bmp(new Gdiplus::Bitmap(w, h, PixelFormat24bppRGB));
  Gdiplus::Graphics gr(bmp.get());
  Gdiplus::SolidBrush brush(Gdiplus::Color(255, r, g, b));
  gr.FillRectangle(&brush, 0, 0, w, h);
  return bmp;
}

inline std::wstring TempPath(const std::wstring& name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  std::wstring folder = std::wstring(dir) + L"orvaq_imaging_test\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder + name;
}

inline uint32_t U32At(const std::vector<uint8_t>& b, size_t o) {
  return b[o] | b[o + 1] << 8 | b[o + 2] << 16 | uint32_t(b[o + 3]) << 24;
}
