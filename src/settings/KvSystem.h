// The operating-system services the settings store and the start-up decisions need:
// shell folders, files and folders, message boxes, process exit. win/KvSystemWin
// implements it with the Windows calls; tests implement it with a scripted fake.
#pragma once

#include <cstdint>
#include <string>

#include "common/MessageBox.h"

class IKvSystem {
 public:
  virtual ~IKvSystem() = default;
  // Full path of the running program file.
  virtual std::wstring GetProgramPath() = 0;
  // Shell folders (local application data, common documents); false when unavailable.
  virtual bool GetLocalAppDataFolder(std::wstring& folder) = 0;
  virtual bool GetCommonDocumentsFolder(std::wstring& folder) = 0;
  virtual bool FileExists(const std::wstring& path) = 0;
  virtual bool DirectoryExists(const std::wstring& path) = 0;
  // Creates one folder level; true when it was created or already existed.
  virtual bool CreateFolder(const std::wstring& path) = 0;
  virtual bool MoveFileTo(const std::wstring& from, const std::wstring& to) = 0;
  // Creates a new file holding exactly `bytes`.
  virtual bool CreateFileWithBytes(const std::wstring& path, const std::string& bytes) = 0;
  // Creates (or overwrites) the empty file `path` for reading and writing with write
  // sharing, closes it and leaves it in place; false when that is not possible.
  virtual bool WriteTestFile(const std::wstring& path) = 0;
  // A message box with no owner; returns the answer (orvaq::mb::kId...).
  virtual int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) = 0;
  // Ends the process at once with `code`.
  virtual void ExitProcessNow(int code) = 0;
  virtual std::wstring GetComputerNameText() = 0;
  // The thread locale's language identifier (low 16 bits of the LCID).
  virtual uint16_t GetThreadLanguageId() = 0;
};
