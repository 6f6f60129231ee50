// Test doubles of the reconstruction pipeline: files on the real disk in a private
// folder (so the reference library can read the raw file) with injectable failures,
// pictures held as plain grey pixels, a scripted filter library, and settings as fields.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "acquisition/Reconstruction.h"
#include "settings/KvSystem.h"
#include "common/Text.h"
#include "imaging/Adjust.h"
#include "imaging/GreyBmp.h"

namespace rfake {

namespace fs = std::filesystem;

inline std::string N(const std::wstring& w) { return orvaq::ToUtf8(w); }
inline std::wstring W(const std::string& s) { return orvaq::FromUtf8(s); }

inline std::string ReadFile(const std::wstring& path) {
  std::ifstream in(N(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteFile(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(N(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}
inline bool Exists(const std::wstring& path) { return fs::exists(N(path)); }

// A fresh folder under the build tree, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = std::string(ORVAQ_BINARY_DIR) + "/recon_test_XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back(0);
    path = mkdtemp(buf.data());
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::wstring Folder() const { return W(path) + L"/"; }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(path)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string path;
};

// A file read back whole from the disk.
class DiskFile : public IKvReadFile {
 public:
  explicit DiskFile(std::string bytes) : m_Bytes(std::move(bytes)) {}
  uint64_t Size() override { return m_Bytes.size(); }
  bool ReadAll(uint8_t* buffer, size_t size) override {
    if (size > m_Bytes.size()) return false;
    std::copy(m_Bytes.begin(), m_Bytes.begin() + size, buffer);
    return true;
  }

 private:
  std::string m_Bytes;
};

// The window and the operating system of the reconstruction, on a private folder.
class Env : public IReconEnv, public IKvSystem {
 public:
  uint32_t tick = 5000;
  std::wstring programFolder;
  std::set<std::wstring> unwritable;  // targets whose copy or write fails
  bool tempFails = false;
  bool processStarts = true;
  std::vector<std::string> events;
  std::vector<std::wstring> processes;
  std::vector<bool> processShown;
  int left = 100, top = 50, right = 900, bottom = 650;
  unsigned tempCounter = 0;

  void Event(const std::string& e) { events.push_back(e); }
  bool Has(const std::string& e) const { return std::find(events.begin(), events.end(), e) != events.end(); }

  uint32_t GetTickCount() override { return tick; }
  std::wstring GetProgramPath() override { return programFolder + L"Orvaq.exe"; }
  bool FileExists(const std::wstring& p) override { return Exists(p); }
  bool CopyFileOver(const std::wstring& from, const std::wstring& to) override {
    Event("Copy " + fs::path(N(from)).filename().string() + " " + fs::path(N(to)).filename().string());
    if (unwritable.count(to) || !Exists(from)) return false;
    std::error_code ec;
    fs::copy_file(N(from), N(to), fs::copy_options::overwrite_existing, ec);
    return !ec;
  }
  bool MoveFileOver(const std::wstring& from, const std::wstring& to) override {
    Event("Move " + fs::path(N(from)).filename().string() + " " + fs::path(N(to)).filename().string());
    if (unwritable.count(to)) return false;
    std::error_code ec;
    fs::rename(N(from), N(to), ec);
    return !ec;
  }
  bool RemoveFile(const std::wstring& p) override {
    Event("Delete " + fs::path(N(p)).filename().string());
    std::error_code ec;
    return fs::remove(N(p), ec);
  }
  bool MakeTempFile(const std::wstring& folder, const std::wstring& prefix, std::wstring& path) override {
    if (tempFails) return false;
    char name[32];
    std::snprintf(name, sizeof name, "%X.tmp", ++tempCounter);
    path = folder + prefix + W(name);
    WriteFile(path, "");
    return true;
  }
  bool CreateFolder(const std::wstring& p) override {
    Event("CreateFolder " + fs::path(N(p)).filename().string());
    std::error_code ec;
    fs::create_directory(N(p), ec);
    return !ec;
  }
  bool ReadFileStart(const std::wstring& path, uint64_t& size, uint8_t* start, size_t count) override {
    std::ifstream in(N(path), std::ios::binary);
    if (!in) return false;
    const std::string bytes = ReadFile(path);
    size = bytes.size();
    std::fill(start, start + count, 0);
    if (size > count) std::copy(bytes.begin(), bytes.begin() + count, start);
    return true;
  }
  bool WriteNewFile(const std::wstring& path, const std::string& bytes) override {
    Event("Write " + fs::path(N(path)).filename().string());
    if (unwritable.count(path)) return false;
    WriteFile(path, bytes);
    return true;
  }
  bool StartProcess(const std::wstring& commandLine, bool show) override {
    processes.push_back(commandLine);
    processShown.push_back(show);
    return processStarts;
  }
  int ShowMessageBox(const std::wstring& text, unsigned style) override {
    Event("Box " + std::to_string(style) + " " + N(text));
    return 1;
  }
  void MessageBeep(unsigned type) override { Event("Beep " + std::to_string(type)); }
  // The rest of the operating system, which the reconstruction does not use.
  bool GetLocalAppDataFolder(std::wstring&) override { return false; }
  bool GetCommonDocumentsFolder(std::wstring&) override { return false; }
  bool DirectoryExists(const std::wstring& p) override { return fs::is_directory(N(p)); }
  bool MoveFileTo(const std::wstring& from, const std::wstring& to) override {
    return !Exists(to) && MoveFileOver(from, to);
  }
  bool CreateFileWithBytes(const std::wstring& path, const std::string& bytes) override {
    return !Exists(path) && WriteNewFile(path, bytes);
  }
  bool WriteTestFile(const std::wstring& path) override { return WriteNewFile(path, ""); }
  int ShowMessageBox(const std::wstring& text, const std::wstring&, unsigned style) override {
    return ShowMessageBox(text, style);
  }
  void ExitProcessNow(int) override { Event("Exit"); }
  std::unique_ptr<IKvReadFile> OpenForReading(const std::wstring& p) override {
    if (!fs::is_regular_file(N(p))) return nullptr;
    return std::unique_ptr<IKvReadFile>(new DiskFile(ReadFile(p)));
  }
  bool FlushFile(const std::wstring& p) override {
    Event("Flush " + fs::path(N(p)).filename().string());
    return Exists(p);
  }
  bool ListFiles(const std::wstring& folder, const std::wstring& extension,
                 std::vector<std::wstring>& names) override {
    names.clear();
    std::error_code ec;
    if (!fs::is_directory(N(folder))) return false;
    for (const auto& entry : fs::directory_iterator(N(folder), ec)) {
      const std::wstring name = W(entry.path().filename().string());
      if (name.size() >= extension.size() &&
          orvaq::EqualsNoCase(name.substr(name.size() - extension.size()), extension))
        names.push_back(name);
    }
    return !ec;
  }
  std::wstring timeText = L"2026-12-08 09:30:00";
  std::wstring LocalTimeText() override { return timeText; }
  std::wstring GetComputerNameText() override { return L"WS"; }
  uint16_t GetThreadLanguageId() override { return 0x40C; }
  void Repaint() override { Event("Repaint"); }
  void MainWindowRect(int& l, int& t, int& r, int& b) override {
    l = left;
    t = top;
    r = right;
    b = bottom;
  }
};

// A grey picture: one byte per pixel, top row first.
struct Picture : IReconPicture {
  int w = 0, h = 0;
  std::vector<uint8_t> px;
  float dpi = 96;
  int32_t ppm = 0;
  std::vector<std::string> history;
  int Width() const override { return w; }
  int Height() const override { return h; }
};

class Pictures : public IReconPictures {
 public:
  std::vector<std::string> calls;
  std::set<std::wstring> unwritable;  // paths where both writers fail
  bool greyWriterFails = false, markMissing = false, creationFails = false;
  std::map<std::wstring, std::unique_ptr<Picture>> builtIn;
  int thumbX = 0, thumbY = 0, thumbWidth = 0;

  Pictures() {
    for (auto [name, side] : {std::pair<std::wstring, int>{L"EMPY_PLATE_FAST", 500}, {L"EMPY_PLATE_SD", 1000}}) {
      std::unique_ptr<Picture> p(new Picture);
      p->w = p->h = side;
      p->px.assign(size_t(side) * side, 200);
      builtIn[name] = std::move(p);
    }
  }

  static Picture& P(IReconPicture& p) { return static_cast<Picture&>(p); }

  std::unique_ptr<IReconPicture> FromGreyRows(const uint8_t* rows, int width, int height, int32_t ppm) override {
    calls.push_back("FromGreyRows " + std::to_string(width) + "x" + std::to_string(height) + " " +
                    std::to_string(ppm));
    if (creationFails) return nullptr;
    std::unique_ptr<Picture> p(new Picture);
    p->w = width;
    p->h = height;
    p->ppm = ppm;
    p->px.assign(rows, rows + size_t(width) * height);
    return p;
  }
  void ShowThumbnail(IReconPicture& p, int x, int y, int width) override {
    calls.push_back("Thumbnail " + std::to_string(p.Width()) + "x" + std::to_string(p.Height()));
    thumbX = x;
    thumbY = y;
    thumbWidth = width;
  }
  bool Rotate90(IReconPicture& pic) override {
    Picture& p = P(pic);
    calls.push_back("Rotate90");
    std::vector<uint8_t> out(p.px.size());
    // Clockwise: new (x, y) = old (y, h - 1 - x) with the new width = old height.
    for (int y = 0; y < p.w; ++y)
      for (int x = 0; x < p.h; ++x) out[size_t(y) * p.h + x] = p.px[size_t(p.h - 1 - x) * p.w + y];
    p.px.swap(out);
    std::swap(p.w, p.h);
    return true;
  }
  bool Write(IReconPicture& pic, const std::wstring& path) {
    if (unwritable.count(path)) return false;
    Picture& p = P(pic);
    std::vector<uint8_t> file;
    if (!orvaq::imaging::EncodeGreyBmp(p.px.data(), p.w, p.h, p.w, p.dpi, p.dpi, file)) return false;
    WriteFile(path, std::string(file.begin(), file.end()));
    return true;
  }
  bool SaveWithBmpEncoder(IReconPicture& p, const std::wstring& path) override {
    calls.push_back("Encoder " + fs::path(N(path)).filename().string());
    return Write(p, path);
  }
  bool WriteGreyBmp(IReconPicture& p, const std::wstring& path) override {
    calls.push_back("WriteGreyBmp " + fs::path(N(path)).filename().string());
    return !greyWriterFails && Write(p, path);
  }
  std::unique_ptr<IReconPicture> Table(IReconPicture& pic, const uint8_t table[256], const std::string& what) {
    std::unique_ptr<Picture> out(new Picture(P(pic)));
    for (auto& v : out->px) v = table[v];
    out->history.push_back(what);
    return out;
  }
  std::unique_ptr<IReconPicture> AdjustGamma(IReconPicture& p, int gamma) override {
    calls.push_back("Gamma " + std::to_string(gamma));
    uint8_t t[256];
    if (!orvaq::imaging::BuildGammaTable(gamma, t)) return nullptr;
    return Table(p, t, "gamma");
  }
  std::unique_ptr<IReconPicture> AdjustContrastLuminosity(IReconPicture& p, int lum, int con) override {
    calls.push_back("ContrastLuminosity " + std::to_string(lum) + " " + std::to_string(con));
    uint8_t t[256];
    if (!orvaq::imaging::BuildContrastLuminosityTable(lum, con, t)) return nullptr;
    return Table(p, t, "contrast");
  }
  std::unique_ptr<IReconPicture> AddSensorMark(IReconPicture& p, const std::wstring& mark,
                                               const std::wstring& text) override {
    calls.push_back("Mark " + N(mark) + " " + N(text));
    if (markMissing) return nullptr;
    std::unique_ptr<Picture> out(new Picture(P(p)));
    out->history.push_back("mark");
    return out;
  }
  void SetResolution(IReconPicture& p, float dpi) override {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", dpi);
    calls.push_back(std::string("Resolution ") + buf);
    P(p).dpi = dpi;
  }
  IReconPicture* BuiltInPicture(const std::wstring& name) override {
    auto it = builtIn.find(name);
    return it == builtIn.end() ? nullptr : it->second.get();
  }
};

struct Settings : IReconSettings {
  std::wstring images;
  bool demo = false, imaging = false, twain = false, preview = false;
  int useT4 = 0, quality = 0, filter = 0, filterLevel = 0, gamma = 0, lum = 0, con = 0, denoising = 0;
  int depth = 8;
  orvaq::recon::CorrectionSettings correction;
  std::wstring serial = L"LQ2-000123", patient = L"Anne Martin", patientId = L"1234", doctor = L"Dr Blanc";

  std::wstring pending;  // the pending folder; empty: plates are not kept
  std::wstring PendingPlatesFolder() override { return pending; }
  std::wstring ImagesPath() override { return images; }
  bool DemoMode() override { return demo; }
  int AcquisitionUseT4() override { return useT4; }
  int AcquisitionQuality() override { return quality; }
  orvaq::recon::CorrectionSettings Correction() override { return correction; }
  int AcqFilter() override { return filter; }
  int AcqFilterLevel() override { return filterLevel; }
  int AcqGamma() override { return gamma; }
  int AcqLuminosity() override { return lum; }
  int AcqContrast() override { return con; }
  bool ShowImagePreview() override { return preview; }
  int AdvancedDenoising() override { return denoising; }
  std::wstring LUMEQ2Serial() override { return serial; }
  bool Imaging() override { return imaging; }
  bool Twain() override { return twain; }
  int OutputDepth() override { return depth; }
  std::wstring PatientName() override { return patient; }
  std::wstring PatientId() override { return patientId; }
  std::wstring DoctorName() override { return doctor; }
  std::wstring GetText(int id) override { return L"T" + std::to_wstring(id); }
};

// A scripted library: its correction fills a gradient of the asked size, or fails, or
// throws; the filter records its arguments.
struct Library {
  int result = 0;
  int width = 880, height = 1400;
  uint16_t imageCode = 0;  // 0xFFFF: leave the input Mode
  bool throws = false;
  int filterResult = 1;
  bool filterCalled = false;
  FilterParams lastFilter{};
  FilterImage lastImage{};
  CorrectionParams lastParams{};
  std::string lastFolder;
  size_t capacity = 0;
  std::function<void()> onCorrection;  // runs inside the correction call
};
inline Library& Lib() {
  static Library lib;
  return lib;
}

inline int RXFILTER_CALL FakeCorrection(const wchar_t*, BufferFinal* out, CorrectionParams* params) {
  Library& l = Lib();
  l.lastParams = *params;
  l.lastFolder = params->pIntermediateFolder ? params->pIntermediateFolder : "";
  l.capacity = size_t(out->width) * out->height;
  if (l.onCorrection) l.onCorrection();
  if (l.throws) throw std::runtime_error("correction blew up");
  if (l.imageCode != 0xFFFF) params->ImageCode = l.imageCode;
  if (l.result != 0) {
    out->width = out->height = 0;
    return l.result;
  }
  out->width = uint16_t(l.width);
  out->height = uint16_t(l.height);
  if (size_t(l.width) * l.height <= l.capacity)
    for (int y = 0; y < l.height; ++y)
      for (int x = 0; x < l.width; ++x) out->pBuffer[size_t(y) * l.width + x] = uint8_t((x + y) & 0xFF);
  return 0;
}
inline int RXFILTER_CALL FakeFilter(FilterImage* image, FilterParams* params, int) {
  Library& l = Lib();
  l.filterCalled = true;
  l.lastFilter = *params;
  l.lastImage = *image;
  return l.filterResult;
}

// Hands out either the scripted entries or any table of real ones.
class Loader : public IModuleLoader {
 public:
  bool loads = true;
  std::set<std::string> missing;
  std::map<std::string, void*> entries;
  int loaded = 0, freed = 0;
  Loader() {
    entries["LUMEQ2FullCorrection"] = reinterpret_cast<void*>(&FakeCorrection);
    entries["ApplyLUMEQ2FilterX0X3"] = reinterpret_cast<void*>(&FakeFilter);
  }
  void* Load(const wchar_t*) override {
    if (!loads) return nullptr;
    ++loaded;
    return this;
  }
  void* Find(void*, const char* name) override {
    if (missing.count(name)) return nullptr;
    auto it = entries.find(name);
    return it == entries.end() ? nullptr : it->second;
  }
  void Free(void*) override { ++freed; }
};

}  // namespace rfake
