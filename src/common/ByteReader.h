// Bounds-checked little-endian reader over outside bytes (frames, answers, raw files,
// headers). Reads past the end yield zero and set a sticky error flag, so a parser reads
// all its fields and checks Ok() once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace orvaq {

class CByteReader {
 public:
  CByteReader(const uint8_t* data, size_t size) : m_pData(data), m_nSize(data ? size : 0) {}

  bool Ok() const { return !m_bError; }
  size_t Position() const { return m_nPos; }
  size_t Remaining() const { return m_nSize - m_nPos; }

  // Moves to an absolute offset; an offset past the end is an error.
  void Seek(size_t offset) {
    if (offset > m_nSize) { m_bError = true; m_nPos = m_nSize; }
    else m_nPos = offset;
  }
  void Skip(size_t count) { Seek(count > Remaining() ? m_nSize + 1 : m_nPos + count); }

  uint8_t U8() { uint8_t v = 0; Take(&v, 1); return v; }
  uint16_t U16() { uint8_t b[2] = {}; Take(b, 2); return static_cast<uint16_t>(b[0] | (b[1] << 8)); }
  uint32_t U32() {
    uint8_t b[4] = {};
    Take(b, 4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
  }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  // Copies `count` bytes; on a short read the destination is zero-filled.
  void Bytes(void* out, size_t count) { Take(out, count); }
  // A fixed-size text field: bytes up to the first NUL within `count`.
  std::string FixedString(size_t count) {
    std::string s(count, '\0');
    Take(&s[0], count);
    s.resize(std::strlen(s.c_str()));
    return s;
  }

 private:
  void Take(void* out, size_t count) {
    if (m_bError || count > Remaining()) {
      m_bError = true;
      std::memset(out, 0, count);
      return;
    }
    std::memcpy(out, m_pData + m_nPos, count);
    m_nPos += count;
  }

  const uint8_t* m_pData;
  size_t m_nSize;
  size_t m_nPos = 0;
  bool m_bError = false;
};

}  // namespace orvaq
