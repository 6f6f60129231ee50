// The operating-system seam on Windows: files, folders, processes, ownerless boxes.
#pragma once

#include "settings/KvSystem.h"

class CKvSystemWin : public IKvSystem {
 public:
  std::wstring GetProgramPath() override;
  bool GetLocalAppDataFolder(std::wstring& folder) override;
  bool GetCommonDocumentsFolder(std::wstring& folder) override;
  bool FileExists(const std::wstring& path) override;
  bool DirectoryExists(const std::wstring& path) override;
  bool CreateFolder(const std::wstring& path) override;
  bool MoveFileTo(const std::wstring& from, const std::wstring& to) override;
  bool MoveFileOver(const std::wstring& from, const std::wstring& to) override;
  bool CopyFileOver(const std::wstring& from, const std::wstring& to) override;
  bool RemoveFile(const std::wstring& path) override;
  bool MakeTempFile(const std::wstring& folder, const std::wstring& prefix, std::wstring& path) override;
  bool ReadFileStart(const std::wstring& path, uint64_t& size, uint8_t* start, size_t count) override;
  std::unique_ptr<IKvReadFile> OpenForReading(const std::wstring& path) override;
  bool WriteNewFile(const std::wstring& path, const std::string& bytes) override;
  bool FlushFile(const std::wstring& path) override;
  bool ListFiles(const std::wstring& folder, const std::wstring& extension,
                 std::vector<std::wstring>& names) override;
  bool StartProcess(const std::wstring& commandLine, bool show) override;
  bool CreateFileWithBytes(const std::wstring& path, const std::string& bytes) override;
  bool WriteTestFile(const std::wstring& path) override;
  int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) override;
  void ExitProcessNow(int code) override;
  std::wstring GetComputerNameText() override;
  uint16_t GetThreadLanguageId() override;
};

// Full path of a module's file, read into a buffer that grows until it fits.
std::wstring GetModulePath(void* module);
