// Command-line options (see CommandLine.h). There is no tokenising: an option counts
// wherever its text first occurs, which is why some option texts end with a space.
#include "command_line/CommandLine.h"

#include <climits>
#include <cwchar>

#include "common/Text.h"
#include "settings/KvParameters.h"

namespace orvaq {
namespace cmdline {

int ReadInt(const std::wstring& text, size_t start) {
  size_t i = start;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

unsigned ReadHex(const std::wstring& text, size_t start) {
  size_t i = start;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  if (i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) i += 2;
  unsigned long long value = 0;
  for (; i < text.size(); ++i) {
    const wchar_t c = text[i];
    unsigned digit;
    if (c >= L'0' && c <= L'9') digit = static_cast<unsigned>(c - L'0');
    else if (c >= L'a' && c <= L'f') digit = static_cast<unsigned>(c - L'a' + 10);
    else if (c >= L'A' && c <= L'F') digit = static_cast<unsigned>(c - L'A' + 10);
    else break;
    value = value * 16 + digit;
    if (value > 0xFFFFFFFFull) value = 0xFFFFFFFFull;
  }
  return static_cast<unsigned>(value);
}

std::wstring ReadText(const std::wstring& text, size_t start) {
  size_t i = start;
  while (i < text.size() && text[i] == L' ') ++i;
  if (i >= text.size()) return std::wstring();
  if (text[i] == L'"') {
    const size_t close = text.find(L'"', i + 1);
    if (close == std::wstring::npos) return std::wstring();
    return text.substr(i + 1, close - i - 1);
  }
  const size_t end = text.find(L' ', i);
  return text.substr(i, end == std::wstring::npos ? std::wstring::npos : end - i);
}

}  // namespace cmdline
}  // namespace orvaq

namespace {

int Clamp(int v, int low, int high) { return v < low ? low : v > high ? high : v; }

// The characters a file name cannot carry become underscores in the patient id, which
// names the output files.
std::wstring SafePatientId(std::wstring id) {
  for (wchar_t& c : id)
    if (c == L'/' || c == L'\\' || c == L'.' || c == L'*' || c == L'?' || c == L':' || c == L'"' ||
        c == L'<' || c == L'>' || c == L'|')
      c = L'_';
  return id;
}

class Matcher {
 public:
  explicit Matcher(const std::wstring& line) : m_sLine(line), m_sLower(orvaq::AsciiLower(line)) {}
  // True when `option` occurs; `m_nArg` is then where its argument starts.
  bool Find(const wchar_t* option) {
    const size_t pos = m_sLower.find(option);
    if (pos == std::wstring::npos) return false;
    m_nArg = pos + std::wcslen(option);
    return true;
  }
  int Int() const { return orvaq::cmdline::ReadInt(m_sLower, m_nArg); }
  unsigned Hex() const { return orvaq::cmdline::ReadHex(m_sLower, m_nArg); }
  std::wstring Text() const { return orvaq::cmdline::ReadText(m_sLine, m_nArg); }

 private:
  const std::wstring& m_sLine;
  const std::wstring m_sLower;
  size_t m_nArg = 0;
};

}  // namespace

bool ParseCommandLine(const std::wstring& line, CKvParameters& params, IOneShotJobs& jobs) {
  Matcher m(line);
  ImageJobRequest job;

  if (m.Find(L"/imaging")) params.m_bImaging = true;
  if (m.Find(L"/twain")) params.m_bTwain = true;
  if (m.Find(L"/pattern")) params.m_bPattern = true;
  if (m.Find(L"/oscillo")) params.m_nOscillo = m.Int();
  if (m.Find(L"/vet")) params.m_bVet = true;
  if (m.Find(L"/close")) params.m_bClose = true;
  if (m.Find(L"/blankstamp")) params.m_bBlankStamp = true;
  if (m.Find(L"/output8")) params.m_nOutputDepth = 8;
  if (m.Find(L"/output16")) params.m_nOutputDepth = 16;
  if (m.Find(L"/outputall")) params.m_nOutputDepth = 0;
  if (m.Find(L"/filter ")) job.filterStrength = m.Int();
  if (m.Find(L"/filtersigma ")) m.Int();
  if (m.Find(L"/filtertreshold ")) m.Int();
  if (m.Find(L"/filterwhite ")) m.Int();
  if (m.Find(L"/filterlevel")) job.filterLevel = m.Int();
  if (m.Find(L"/way_up")) params.SetAcqWay(0);
  if (m.Find(L"/way_left")) params.SetAcqWay(1);
  if (m.Find(L"/way_down")) params.SetAcqWay(2);
  if (m.Find(L"/way_right")) params.SetAcqWay(3);
  if (m.Find(L"/luminosity")) job.luminosity = Clamp(m.Int(), -100, 100);
  if (m.Find(L"/contrast")) job.contrast = Clamp(m.Int(), -100, 100);
  if (m.Find(L"/gamma")) job.gamma = Clamp(m.Int(), 33, 300);
  if (m.Find(L"/lang")) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%X", m.Hex());
    params.SetLanguage(text);
  }
  if (m.Find(L"/doctor")) params.m_sDoctor = m.Text();
  if (m.Find(L"/patient")) params.m_sPatient = m.Text();
  if (m.Find(L"/idpatient")) params.m_sPatientId = SafePatientId(m.Text());
  if (m.Find(L"/image_path")) {
    params.m_sCmdImagePath = m.Text();
    params.m_bImagesFolderWarned = false;
    params.m_bImagesWriteWarned = false;
  }
  if (m.Find(L"/r_in")) {
    RawStripRequest strip;
    strip.input = m.Text();
    if (m.Find(L"/r_ol")) {
      strip.secondInput = m.Text();
      if (m.Find(L"/r_out")) {
        strip.output = m.Text();
        jobs.RunRawStrip(strip);
      }
    }
  }
  if (m.Find(L"/image_in")) {
    job.inputPath = m.Text();
    job.outputPath = m.Find(L"/image_out") ? m.Text() : std::wstring();
    if (job.outputPath.empty()) job.outputPath = job.inputPath;
    jobs.RunImageJob(job);
    return false;
  }
  return true;
}
