// The one seam to the operating system's files, folders, processes and ownerless message
// boxes, for the settings store, the start-up and the reconstruction alike.
// win/KvSystemWin implements it with the Windows calls; tests implement it with fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/MessageBox.h"

// A file opened for reading (a writer may still hold it).
class IKvReadFile {
 public:
  virtual ~IKvReadFile() = default;
  virtual uint64_t Size() = 0;
  // Reads `size` bytes from the start into `buffer`; false on a short or failed read.
  virtual bool ReadAll(uint8_t* buffer, size_t size) = 0;
};

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
  // Moves a file; fails when `to` exists.
  virtual bool MoveFileTo(const std::wstring& from, const std::wstring& to) = 0;
  // Moves a file, replacing `to` (across volumes too).
  virtual bool MoveFileOver(const std::wstring& from, const std::wstring& to) = 0;
  // Copies a file, replacing `to`.
  virtual bool CopyFileOver(const std::wstring& from, const std::wstring& to) = 0;
  virtual bool RemoveFile(const std::wstring& path) = 0;
  // Creates a new empty file of a unique name (prefix + hex digits + ".tmp") in `folder`.
  virtual bool MakeTempFile(const std::wstring& folder, const std::wstring& prefix, std::wstring& path) = 0;
  // The file's size and its first `count` bytes (zeros when it is shorter, or the read
  // fails); false when the file cannot be opened or measured.
  virtual bool ReadFileStart(const std::wstring& path, uint64_t& size, uint8_t* start, size_t count) = 0;
  // Opens `path` for reading, sharing it with readers and writers; null when it cannot.
  virtual std::unique_ptr<IKvReadFile> OpenForReading(const std::wstring& path) = 0;
  // Creates (or replaces) `path` with exactly `bytes`, flushed to disk before it is closed.
  virtual bool WriteNewFile(const std::wstring& path, const std::string& bytes) = 0;
  // Writes what the system still holds of `path` in its cache to the disk.
  virtual bool FlushFile(const std::wstring& path) = 0;
  // Names (without folder) of the files in `folder` whose name ends with `extension`
  // (case-insensitive), in no particular order; false when the folder cannot be read.
  virtual bool ListFiles(const std::wstring& folder, const std::wstring& extension,
                         std::vector<std::wstring>& names) = 0;
  // Starts a program (its window shown or hidden) and waits until it is idle, 1 s at most.
  virtual bool StartProcess(const std::wstring& commandLine, bool show) = 0;
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
