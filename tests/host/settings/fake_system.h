// A scripted operating system for the settings and start-up tests: folders and files
// as sets of paths, message boxes recorded (and answered from a queue), exit thrown.
#pragma once

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/Text.h"
#include "settings/KvSystem.h"

struct FakeExit {
  int code;
};

struct FakeBox {
  std::wstring text, caption;
  unsigned style;
};

class FakeSystem : public IKvSystem {
 public:
  std::wstring programPath = L"C:\\Program Files\\Orvaq\\Orvaq.exe";
  std::wstring localAppData = L"C:\\users\\doc\\AppData\\Local";
  std::wstring commonDocuments = L"C:\\users\\Public\\Documents";
  bool hasLocalAppData = true, hasCommonDocuments = true;
  std::set<std::wstring> files, folders;   // upper-cased paths
  std::set<std::wstring> uncreatable;      // folders that cannot be created
  std::set<std::wstring> unwritable;       // folders where the write test fails
  std::map<std::wstring, std::string> fileBytes;
  std::vector<FakeBox> boxes;
  std::deque<int> answers;
  std::vector<std::pair<std::wstring, std::wstring>> moves;
  std::wstring computerName = L"RECEPTION-PC";
  uint16_t langId = 0x40C;

  static std::wstring Key(const std::wstring& p) {
    std::wstring k = orvaq::AsciiUpper(p);
    while (k.size() > 3 && k.back() == L'\\') k.pop_back();
    return k;
  }

  std::wstring GetProgramPath() override { return programPath; }
  bool GetLocalAppDataFolder(std::wstring& f) override {
    if (hasLocalAppData) f = localAppData;
    return hasLocalAppData;
  }
  bool GetCommonDocumentsFolder(std::wstring& f) override {
    if (hasCommonDocuments) f = commonDocuments;
    return hasCommonDocuments;
  }
  bool FileExists(const std::wstring& p) override { return files.count(Key(p)) != 0; }
  bool DirectoryExists(const std::wstring& p) override { return folders.count(Key(p)) != 0; }
  bool CreateFolder(const std::wstring& p) override {
    if (folders.count(Key(p))) return true;
    if (uncreatable.count(Key(p))) return false;
    folders.insert(Key(p));
    return true;
  }
  bool MoveFileTo(const std::wstring& from, const std::wstring& to) override {
    if (!files.count(Key(from))) return false;
    files.erase(Key(from));
    files.insert(Key(to));
    moves.emplace_back(from, to);
    return true;
  }
  bool MoveFileOver(const std::wstring& from, const std::wstring& to) override {
    files.erase(Key(to));
    return MoveFileTo(from, to);
  }
  bool CopyFileOver(const std::wstring& from, const std::wstring& to) override {
    if (!files.count(Key(from))) return false;
    files.insert(Key(to));
    fileBytes[Key(to)] = fileBytes[Key(from)];
    return true;
  }
  bool RemoveFile(const std::wstring& p) override { return files.erase(Key(p)) != 0; }
  bool MakeTempFile(const std::wstring& folder, const std::wstring& prefix, std::wstring& p) override {
    p = folder + L"\\" + prefix + std::to_wstring(files.size()) + L".tmp";
    return CreateFileWithBytes(p, "");
  }
  bool ReadFileStart(const std::wstring& p, uint64_t& size, uint8_t* start, size_t count) override {
    if (!files.count(Key(p))) return false;
    const std::string& bytes = fileBytes[Key(p)];
    size = bytes.size();
    for (size_t i = 0; i < count; ++i) start[i] = size > count ? uint8_t(bytes[i]) : 0;
    return true;
  }
  bool WriteNewFile(const std::wstring& p, const std::string& bytes) override {
    files.insert(Key(p));
    fileBytes[Key(p)] = bytes;
    return true;
  }
  bool FlushFile(const std::wstring& p) override { return files.count(Key(p)) != 0; }
  bool ListFiles(const std::wstring&, const std::wstring&, std::vector<std::wstring>&) override { return false; }
  bool StartProcess(const std::wstring&, bool) override { return false; }
  std::unique_ptr<IKvReadFile> OpenForReading(const std::wstring&) override { return nullptr; }
  bool CreateFileWithBytes(const std::wstring& p, const std::string& bytes) override {
    files.insert(Key(p));
    fileBytes[Key(p)] = bytes;
    return true;
  }
  bool WriteTestFile(const std::wstring& p) override {
    const std::wstring folder = Key(p.substr(0, p.find_last_of(L'\\')));
    if (!folders.count(folder) || unwritable.count(folder)) return false;
    files.insert(Key(p));
    return true;
  }
  int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) override {
    boxes.push_back({text, caption, style});
    if (answers.empty()) return orvaq::mb::kIdOk;
    const int a = answers.front();
    answers.pop_front();
    return a;
  }
  void ExitProcessNow(int code) override { throw FakeExit{code}; }
  std::wstring GetComputerNameText() override { return computerName; }
  uint16_t GetThreadLanguageId() override { return langId; }
};
