// Owners of Windows handles: each closes what it holds when it goes, so every exit path
// closes it; Close() does it early and says whether the system agreed (the last data of
// a write can fail only there). Also the one loop that writes a whole buffer to a file.
#pragma once

#include <windows.h>

#include <cstddef>
#include <utility>

template <typename Traits>
class CKvHandle {
 public:
  using Type = typename Traits::Type;
  CKvHandle() = default;
  explicit CKvHandle(Type handle) : m_h(handle) {}
  ~CKvHandle() { Close(); }
  CKvHandle(const CKvHandle&) = delete;
  CKvHandle& operator=(const CKvHandle&) = delete;
  CKvHandle(CKvHandle&& other) noexcept : m_h(other.Release()) {}
  CKvHandle& operator=(CKvHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Type Get() const { return m_h; }
  bool Valid() const { return m_h != Traits::Invalid(); }
  explicit operator bool() const { return Valid(); }
  // Gives the handle up without closing it.
  Type Release() { return std::exchange(m_h, Traits::Invalid()); }
  // Closes the held handle (if any) and holds `handle` from now on.
  void Reset(Type handle = Traits::Invalid()) {
    Close();
    m_h = handle;
  }
  // True when nothing was held or the system closed it.
  bool Close() {
    if (!Valid()) return true;
    return Traits::Close(Release());
  }

 private:
  Type m_h = Traits::Invalid();
};

// Files: invalid is INVALID_HANDLE_VALUE.
struct KvFileHandleTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE h) { return CloseHandle(h) != FALSE; }
};
// Processes, threads, events: invalid is null.
struct KvObjectHandleTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static bool Close(HANDLE h) { return CloseHandle(h) != FALSE; }
};
// FindFirstFileW searches.
struct KvFindHandleTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE h) { return FindClose(h) != FALSE; }
};

using CKvFileHandle = CKvHandle<KvFileHandleTraits>;
using CKvObjectHandle = CKvHandle<KvObjectHandleTraits>;
using CKvFindHandle = CKvHandle<KvFindHandleTraits>;

// Writes all `size` bytes; WriteFile may write less than asked, and takes at most a
// DWORD at a time.
inline bool KvWriteAll(HANDLE file, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr) || written == 0) return false;
    p += written;
    size -= written;
  }
  return true;
}
