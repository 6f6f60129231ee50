// Helpers for the Wine tests: child processes with their own environment, waiting for a
// process's window, capturing window pixels and saving screenshots as test artifacts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace wintest {

// Folder of the running test program (the build's bin folder), with a trailing backslash.
std::wstring ProgramFolder();
// A Linux path as Wine sees it (drive Z: is the Linux root).
std::wstring WinePath(const std::string& linuxPath);
// The build tree's artifact folder (created), with a trailing backslash.
std::wstring ArtifactFolder();

// Bytes of a file, read while others may hold it open (for writing or deleting); empty
// when it cannot be opened. ReadFileText gives the same bytes as a string.
std::vector<uint8_t> ReadFileBytes(const std::wstring& path);
std::string ReadFileText(const std::wstring& path);
// Creates or replaces a file with `bytes`; false on failure.
bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool WriteFileText(const std::wstring& path, const std::string& bytes);
// The user's local application-data folder, without a trailing backslash.
std::wstring LocalAppData();

// A started child process; terminated on destruction if still running.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `exe` with `arguments`; `environment` entries NAME=VALUE replace or extend
  // this process's environment. Returns false when CreateProcessW fails.
  bool Start(const std::wstring& exe, const std::wstring& arguments,
             const std::vector<std::pair<std::wstring, std::wstring>>& environment = {});
  DWORD Id() const { return m_Info.dwProcessId; }
  HANDLE Handle() const { return m_Info.hProcess; }
  // Waits for the end; returns the exit code, or STILL_ACTIVE after the timeout.
  DWORD WaitExit(DWORD timeoutMs);

 private:
  PROCESS_INFORMATION m_Info = {};
};

// The first visible top-level window of process `pid` with class `className`, polled
// until `timeoutMs` passes; null when none appeared.
HWND WaitForProcessWindow(DWORD pid, const wchar_t* className, DWORD timeoutMs);

// Window text of any window (also of another process).
std::wstring WindowText(HWND hwnd);

// Pixels (0x00RRGGBB, top row first) of a window's client area as shown on screen.
struct Pixels {
  int width = 0, height = 0;
  std::vector<uint32_t> data;
};
Pixels CaptureClient(HWND hwnd);
// Saves the whole window as shown on screen to a PNG file; false on failure.
bool SaveWindowPng(HWND hwnd, const std::wstring& path);

}  // namespace wintest
