// Bodies, escaping and answer readers of the scanner's command vocabulary.
#include "scanner_link/ScannerCommands.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>

#include "common/Text.h"

const char* const kDeviceFileId = "lumeq2.id";
const char* const kDeviceFileRes = "lumeq2.res";
const char* const kDeviceFilePrm = "lumeq2.prm";
const wchar_t* const kSuperUserMac = L"3A:52:3A:52:3A:52";

namespace {

constexpr size_t kMaxEscapedUtf8 = 4096;
constexpr size_t kMaxUnescapedChars = 4095;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The common form of every payload of "lumeq2.id" and "lumeq2.res".
std::string Payload(int ready, int term, int color, const std::wstring& mac,
                    const std::string& docName, const std::string& patName,
                    const std::string& timeText, int level, const char* mode) {
  char head[96];
  std::snprintf(head, sizeof head, "ready=%d\r\nterm=%02d\r\ncolor=%02d\r\nmac=", ready, term,
                color);
  char tail[64];
  std::snprintf(tail, sizeof tail, "\r\nlevel=%d\r\nmode=", level);
  std::string s = head;
  s += ToBodyText(mac);
  s += "\r\ntext_coding=";
  s += ready == 1 ? "ASCII" : "";
  s += "\r\ndoc_name=" + docName + "\r\npat_name=" + patName + "\r\ntime=" + timeText;
  s += tail;
  s += mode;
  return s;
}

std::string ThreeDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", value);
  return text;
}

// Reads an integer the way "%Nd" of scanf does: blanks skipped, an optional sign, at
// most `width` characters (sign included), at least one digit. Saturates instead of
// overflowing.
bool ScanInt(const std::string& s, size_t& pos, size_t width, int& value) {
  while (pos < s.size() && IsSpace(s[pos])) ++pos;
  size_t p = pos;
  const size_t end = width ? (s.size() - p < width ? s.size() : p + width) : s.size();
  bool negative = false;
  if (p < end && (s[p] == '-' || s[p] == '+')) negative = s[p++] == '-';
  const size_t firstDigit = p;
  long long v = 0;
  while (p < end && IsDigit(s[p])) {
    if (v < 10000000000LL) v = v * 10 + (s[p] - '0');
    ++p;
  }
  if (p == firstDigit) return false;
  if (negative) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  value = static_cast<int>(v);
  pos = p;
  return true;
}

// Matches a literal part of a scanf format: a blank matches any run of blanks.
bool ScanLiteral(const std::string& s, size_t& pos, const char* literal) {
  for (const char* l = literal; *l; ++l) {
    if (IsSpace(*l)) {
      while (pos < s.size() && IsSpace(s[pos])) ++pos;
    } else {
      if (pos >= s.size() || s[pos] != *l) return false;
      ++pos;
    }
  }
  return true;
}

// "%Ns": blanks skipped, then at most `width` non-blank characters, at least one.
bool ScanWord(const std::string& s, size_t& pos, size_t width, std::string& word) {
  while (pos < s.size() && IsSpace(s[pos])) ++pos;
  const size_t start = pos;
  while (pos < s.size() && !IsSpace(s[pos]) && pos - start < width) ++pos;
  if (pos == start) return false;
  word.assign(s, start, pos - start);
  return true;
}

// The unsigned decimal number at the start of a text (blanks skipped, 0 without digits),
// as strtoul would give it, kept within 32 bits.
uint32_t LeadingUnsigned(const std::string& s) {
  size_t p = 0;
  while (p < s.size() && IsSpace(s[p])) ++p;
  bool negative = false;
  if (p < s.size() && (s[p] == '-' || s[p] == '+')) negative = s[p++] == '-';
  unsigned long long v = 0;
  bool overflow = false;
  while (p < s.size() && IsDigit(s[p])) {
    v = v * 10 + static_cast<unsigned>(s[p] - '0');
    if (v > 0xFFFFFFFFull) overflow = true, v = 0xFFFFFFFFull;
    ++p;
  }
  if (overflow) return 0xFFFFFFFFu;
  uint32_t r = static_cast<uint32_t>(v);
  return negative ? 0u - r : r;
}

// The number after `key` in `text`, searched from `from`; 0 when the key is absent.
int NumberAfter(const std::string& text, const char* key, size_t from) {
  const size_t at = text.find(key, from);
  if (at == std::string::npos) return 0;
  size_t pos = at + std::strlen(key);
  int value = 0;
  if (!ScanInt(text, pos, 0, value)) return 0;
  return value;
}

bool IsWideSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

std::wstring TrimWide(const std::wstring& text) {
  size_t b = 0, e = text.size();
  while (b < e && IsWideSpace(text[b])) ++b;
  while (e > b && IsWideSpace(text[e - 1])) --e;
  return text.substr(b, e - b);
}

// Strict UTF-8 check (no overlongs, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n;
    uint32_t cp;
    if (c < 0x80) { ++i; continue; }
    if (c >= 0xC2 && c <= 0xDF) n = 1, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 2, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 3, cp = c & 0x07;
    else return false;
    if (s.size() - i - 1 < n) return false;
    for (size_t k = 1; k <= n; ++k) {
      const unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += n + 1;
  }
  return true;
}

// Cuts wide text to `max` characters without splitting a surrogate pair.
std::wstring CutWide(std::wstring text, size_t max) {
  if (text.size() <= max) return text;
  size_t n = max;
  if (sizeof(wchar_t) == 2 && n > 0 && (static_cast<uint32_t>(text[n - 1]) & 0xFC00) == 0xD800) --n;
  text.resize(n);
  return text;
}

}  // namespace

std::string ToBodyText(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    const uint32_t v = static_cast<uint32_t>(c);
    out += v <= 0xFF ? static_cast<char>(v) : '?';
  }
  return out;
}

std::string EscapeName(const std::wstring& name) {
  std::string utf8 = orvaq::ToUtf8(name);
  if (utf8.size() > kMaxEscapedUtf8) {
    size_t n = kMaxEscapedUtf8;
    while (n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) --n;
    utf8.resize(n);
  }
  std::string out;
  out.reserve(utf8.size() * 2);
  for (char ch : utf8) {
    const unsigned char b = static_cast<unsigned char>(ch);
    if ((b < 0x80 && std::isalnum(b)) || b == ' ') {
      out += ch;
    } else {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%2x", b);
      out += esc;
    }
  }
  return out;
}

std::wstring UnescapeName(const std::string& text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && text.size() - i > 3 && text[i + 1] == 'x') {
      const char a = text[i + 2], b = text[i + 3];
      const int hi = a == ' ' ? 0 : HexValue(a);
      const int lo = HexValue(b);
      if (hi >= 0 && lo >= 0) {
        bytes += static_cast<char>(hi * 16 + lo);
        i += 3;
        continue;
      }
    }
    bytes += text[i];
  }
  if (IsValidUtf8(bytes)) return CutWide(orvaq::FromUtf8(bytes), kMaxUnescapedChars);
  return CutWide(orvaq::FromLatin1(bytes), kMaxUnescapedChars);
}

const char* ReservationModeWord(int mode) {
  switch (mode) {
    case 0: return "sd";
    case 1: return "hd";
    case 2: return "sd_fast";
    default: return "debug";
  }
}

std::string IdentifyPayload(const std::wstring& mac, int term, int color,
                            const std::wstring& doctor, const std::wstring& patient) {
  return Payload(1, term, color, mac, EscapeName(doctor), EscapeName(patient), "000", 0, "sd");
}

std::string WithdrawIdentificationPayload(const std::wstring& mac, int term, int color) {
  return Payload(0, term, color, mac, "", "", "000", 0, "");
}

std::string ReservationPayload(const std::wstring& mac, int reservationTime, int level, int term,
                               int color, int mode, const std::wstring& doctor,
                               const std::wstring& patient) {
  return Payload(1, term, color, mac, EscapeName(doctor), EscapeName(patient),
                 ThreeDigits(reservationTime), level, ReservationModeWord(mode));
}

std::string CancelReservationPayload(const std::wstring& mac, int reservationTime, int term,
                                     int color) {
  return Payload(0, term, color, mac, "", "", ThreeDigits(reservationTime), 0, "");
}

std::string RetrieveReservePayload(int reservationTime, int mode) {
  return ReservationPayload(kSuperUserMac, reservationTime, 2, kSuperUserTerminal,
                            kSuperUserColor, mode, L"Retrieve", L"Image");
}

std::string SuperReservePayload(int reservationTime, const std::wstring& doctor,
                                const std::wstring& patient) {
  return Payload(1, kSuperUserTerminal, kSuperUserColor, kSuperUserMac, EscapeName(doctor),
                 EscapeName(patient), ThreeDigits(reservationTime), 2, "sd");
}

std::string SuperUnreservePayload(int reservationTime) {
  return CancelReservationPayload(kSuperUserMac, reservationTime, kSuperUserTerminal,
                                  kSuperUserColor);
}

std::string SetClockCommand(int hour, int minute, int second, int day, int month, int year) {
  char text[64];
  std::snprintf(text, sizeof text, "time=%02d:%02d:%02d %02d.%02d.%04d", hour, minute, second,
                day, month, year);
  return text;
}

std::string GetDoctorQuery(int doctor) { return FormatBody("get_doctor=%02d", doctor); }
std::string ReloadCommand(int value) { return FormatBody("reload=%03d", value); }
std::string ResetTerminalCommand(int terminal) { return FormatBody("reset_terminal=%02d", terminal); }

std::string SetValueCommand(const char* key, int value) {
  char text[32];
  std::snprintf(text, sizeof text, "=%d", value);
  return std::string(key) + text;
}

const char* LanguageWord(int langId) {
  switch (langId) {
    case 1025: return "arabic";
    case 1028:
    case 2052: return "chinese";
    case 1031: return "deutsch";
    case 1034: return "spanish";
    case 1036: return "french";
    case 1040: return "italian";
    case 1041: return "japanese";
    case 1042: return "korean";
    case 1043: return "nederland";
    case 1053: return "swedish";
    case 1054: return "thai";
    default: return "english";
  }
}

std::string LanguageCommand(int langId) { return std::string("gui_language=") + LanguageWord(langId); }

std::string FormatBody(const char* format, int number) {
  if (!format) return std::string();
  // Only one integer conversion is allowed: anything else could read arguments that are
  // not there, so such a format goes out as it stands.
  int conversions = 0;
  for (const char* p = format; *p; ++p) {
    if (*p != '%') continue;
    if (p[1] == '%') { ++p; continue; }
    const char* q = p + 1;
    while (*q && std::strchr("-+ #0", *q)) ++q;
    while (*q >= '0' && *q <= '9') ++q;
    if (*q == '.') { ++q; while (*q >= '0' && *q <= '9') ++q; }
    if (!*q || !std::strchr("diuxXc", *q)) return format;
    ++conversions;
    p = q;
  }
  if (conversions != 1) return format;
  const int n = std::snprintf(nullptr, 0, format, number);
  if (n < 0) return format;
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(&out[0], out.size(), format, number);
  out.resize(static_cast<size_t>(n));
  return out;
}

int32_t MapAnswerCode(int32_t code, const std::string& answer) {
  if (code == -1 || (code >= 50 && code <= 54) || (code >= 200 && code <= 206)) return code;
  if (answer.empty()) return code;
  // The scanner writes its own number at the start of a refusal. An answer without one
  // (a proxy's or server's error page) keeps the HTTP status: read as 0 it would count as
  // the scanner's success.
  size_t p = 0;
  while (p < answer.size() && IsSpace(answer[p])) ++p;
  if (p < answer.size() && (answer[p] == '-' || answer[p] == '+')) ++p;
  if (p >= answer.size() || !IsDigit(answer[p])) return code;
  return static_cast<int32_t>(LeadingUnsigned(answer));
}

bool HttpResultWantsRetry(int32_t result) {
  return static_cast<uint32_t>(result) < 100u || result == 403;
}

int ReadReservationMode(int32_t code, const std::string& answer) {
  if (code != 200) return -1;
  if (answer == "mono") return 0;
  if (answer == "multi") return 1;
  return -1;
}

int ReadDoorState(int32_t code, const std::string& answer) {
  if (code != 200) return -1;
  static const char* const kWords[] = {"open", "close", "moving", "error", "unknown"};
  for (int i = 0; i < 5; ++i)
    if (answer == kWords[i]) return i;
  return -1;
}

int ReadTimeoutValue(int32_t code, const std::string& answer) {
  if (code != 200) return -1;
  return static_cast<int>(LeadingUnsigned(answer));
}

int ReadDemo(int32_t code, const std::string& answer) {
  if (code != 200) return -1;
  return orvaq::EqualsNoCase(orvaq::FromLatin1(answer), L"enable") ? 1 : 0;
}

std::string ReadTimeText(int32_t code, const std::string& answer) {
  return code == 200 ? answer : std::string();
}

int32_t ReadDoctorEntry(int32_t code, const std::string& answer, DoctorEntry& entry) {
  entry = DoctorEntry();
  if (code != 200) return code;
  const std::string text = answer.substr(0, answer.find('\0'));
  size_t pos = 0;
  DoctorEntry e;
  if (ScanLiteral(text, pos, "term=") && ScanInt(text, pos, 2, e.term) &&
      ScanLiteral(text, pos, " color=") && ScanInt(text, pos, 2, e.color) &&
      ScanLiteral(text, pos, " mac=") && ScanWord(text, pos, 255, e.mac)) {
    entry = e;
    return 200;
  }
  return -1;
}

int32_t ReadImageInfo(int32_t code, const std::string& answer, ImageInfo& info) {
  info = ImageInfo();
  if (code != 200) return code;
  const std::string text = answer.substr(0, answer.find('\0'));
  size_t pos = 0;
  ImageInfo r;
  if (!(ScanLiteral(text, pos, "term=") && ScanInt(text, pos, 2, r.term) &&
        ScanLiteral(text, pos, " color=") && ScanInt(text, pos, 2, r.color)))
    return -1;
  static const char kDoc[] = "doc_name=";
  static const char kPat[] = "pat_name=";
  static const char kLines[] = "nb_line=";
  const size_t doc = text.find(kDoc);
  if (doc == std::string::npos) return -1;
  const size_t docStart = doc + sizeof kDoc - 1;
  const size_t pat = text.find(kPat, docStart);
  if (pat == std::string::npos) return -1;
  const size_t patStart = pat + sizeof kPat - 1;
  size_t patEnd = text.find(kLines, patStart);
  if (patEnd == std::string::npos) patEnd = text.size();
  r.doctor = TrimWide(UnescapeName(text.substr(docStart, pat - docStart)));
  r.patient = TrimWide(UnescapeName(text.substr(patStart, patEnd - patStart)));
  r.nbLine = NumberAfter(text, kLines, patStart);
  r.lineSize = NumberAfter(text, "line_size=", patStart);
  info = r;
  return 200;
}
