// orvaq-press: a test tool that presses Orvaq's reservation button from outside. It finds
// the main window of Orvaq.exe in its own Wine session, optionally waits for a wall-clock
// moment (so that two workstations press together), and posts the button's click. With
// --answer-box it instead waits for a message box of Orvaq, prints its text and clicks OK
// (as an operator answering a question).
//   orvaq-press [--timeout SECONDS] [--at EPOCH_MS] [--answer-box]
// Exit code: 0 the click was posted, 1 no window, 2 usage error.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <set>
#include <string>

namespace {

constexpr int kReservationButton = 1008;
constexpr int kCloseButton = 1006;  // only Orvaq's main window template has it

bool ParseNumber(const wchar_t* text, long long& value) {
  if (!text || !*text) return false;
  wchar_t* end = nullptr;
  value = std::wcstoll(text, &end, 10);
  return end && *end == 0 && value >= 0;
}

// Wall-clock milliseconds since 1970, the same clock as the Linux side's `date +%s%3N`.
long long NowEpochMs() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  return static_cast<long long>((t.QuadPart - 116444736000000000ULL) / 10000ULL);
}

// The processes whose image is Orvaq.exe. Taken from a snapshot rather than by opening
// each process, which needs no access rights to the other process.
std::set<DWORD> OrvaqProcesses() {
  std::set<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    const wchar_t* name = std::wcsrchr(entry.szExeFile, L'\\');
    name = name ? name + 1 : entry.szExeFile;
    if (_wcsicmp(name, L"Orvaq.exe") == 0) ids.insert(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return ids;
}

struct Search {
  std::set<DWORD> processes;
  bool messageBox = false;  // look for a message box instead of the main window
  HWND found = nullptr;
};

// A visible top-level dialog of an Orvaq process that carries the main window's close
// button; message boxes and the parameter sheet are dialogs of the same process too.
BOOL CALLBACK VisitWindow(HWND window, LPARAM context) {
  Search& search = *reinterpret_cast<Search*>(context);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (!search.processes.count(pid) || !IsWindowVisible(window)) return TRUE;
  wchar_t className[64] = {};
  GetClassNameW(window, className, 63);
  if (std::wcscmp(className, L"#32770") != 0) return TRUE;
  const bool isMain = GetDlgItem(window, kCloseButton) != nullptr;
  if (search.messageBox ? (isMain || !GetDlgItem(window, IDOK)) : !isMain) return TRUE;
  search.found = window;
  return FALSE;
}

HWND FindOrvaqWindow(bool messageBox = false) {
  Search search;
  search.messageBox = messageBox;
  search.processes = OrvaqProcesses();
  if (search.processes.empty()) return nullptr;
  EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int Usage() {
  std::fwprintf(stderr, L"usage: orvaq-press [--timeout SECONDS] [--at EPOCH_MS] [--answer-box]\n");
  return 2;
}

// The texts of a message box's static controls, joined by " | ".
BOOL CALLBACK CollectText(HWND child, LPARAM context) {
  wchar_t className[32] = {}, text[1024] = {};
  GetClassNameW(child, className, 31);
  if (_wcsicmp(className, L"Static") == 0 && GetWindowTextW(child, text, 1023) > 0) {
    std::wstring& all = *reinterpret_cast<std::wstring*>(context);
    if (!all.empty()) all += L" | ";
    all += text;
  }
  return TRUE;
}

int AnswerBox(long long timeoutS) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutS) * 1000;
  HWND box = FindOrvaqWindow(true);
  while (!box && GetTickCount64() < end) {
    Sleep(200);
    box = FindOrvaqWindow(true);
  }
  if (!box) {
    std::fwprintf(stderr, L"orvaq-press: no Orvaq message box within %lld s\n", timeoutS);
    return 1;
  }
  std::wstring text;
  EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&text));
  if (!PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)))) {
    std::fwprintf(stderr, L"orvaq-press: the box went away before the click (%lu)\n", GetLastError());
    return 1;
  }
  std::wprintf(L"orvaq-press: answered OK to: %ls\n", text.c_str());
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  long long timeoutS = 30, atMs = 0;
  bool answerBox = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring option = argv[i];
    if (option == L"--answer-box") {
      answerBox = true;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    if (option == L"--timeout") {
      if (!ParseNumber(argv[++i], timeoutS)) return Usage();
    } else if (option == L"--at") {
      if (!ParseNumber(argv[++i], atMs)) return Usage();
    } else {
      return Usage();
    }
  }

  if (answerBox) return AnswerBox(timeoutS);

  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutS) * 1000;
  HWND window = FindOrvaqWindow();
  while (!window && GetTickCount64() < end) {
    Sleep(200);
    window = FindOrvaqWindow();
  }
  if (!window) {
    std::fwprintf(stderr, L"orvaq-press: no Orvaq window within %lld s\n", timeoutS);
    return 1;
  }

  // Short sleeps: the last one ends within a few milliseconds of the moment asked for.
  long long late = 0;
  if (atMs > 0) {
    for (long long left = atMs - NowEpochMs(); left > 0; left = atMs - NowEpochMs())
      Sleep(static_cast<DWORD>(left > 20 ? left - 10 : 1));
    late = NowEpochMs() - atMs;
  }
  if (!IsWindow(window)) window = FindOrvaqWindow();  // it may have been made again
  // As a click does: the notification code and the button's own window, when it has one.
  const HWND button = window ? GetDlgItem(window, kReservationButton) : nullptr;
  if (!window || !PostMessageW(window, WM_COMMAND, MAKEWPARAM(kReservationButton, BN_CLICKED),
                               reinterpret_cast<LPARAM>(button))) {
    std::fwprintf(stderr, L"orvaq-press: the window went away before the click (%lu)\n", GetLastError());
    return 1;
  }
  std::wprintf(L"orvaq-press: posted to window %p at %lld (%lld ms late)\n", static_cast<void*>(window),
               NowEpochMs(), late);
  return 0;
}
