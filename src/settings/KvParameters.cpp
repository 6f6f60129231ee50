// CKvParameters: settings file, keys with their defaults and limits, images and log
// folders, text lookup (see KvParameters.h).
#include "settings/KvParameters.h"

#include <cmath>
#include <cwchar>

#include "common/Text.h"
#include "settings/KvPaths.h"

namespace {
CKvParameters* g_pParameters = nullptr;

const wchar_t kSensor[] = L"SENSOR";
// UTF-16LE byte-order mark and an empty line: the profile functions then write Unicode.
const char kUnicodeIniHeader[] = "\xFF\xFE\x0D\x00\x0A\x00";

double ParseDecimal(const std::wstring& text) {
  // Decimal text with a full stop, read the same whatever the C locale.
  const std::string narrow = orvaq::ToUtf8(text);
  size_t i = 0;
  while (i < narrow.size() && (narrow[i] == ' ' || narrow[i] == '\t')) ++i;
  bool negative = false;
  if (i < narrow.size() && (narrow[i] == '+' || narrow[i] == '-')) negative = narrow[i++] == '-';
  double value = 0;
  bool digits = false;
  for (; i < narrow.size() && narrow[i] >= '0' && narrow[i] <= '9'; ++i) {
    value = value * 10 + (narrow[i] - '0');
    digits = true;
  }
  if (i < narrow.size() && (narrow[i] == '.' || narrow[i] == ',')) {
    double scale = 0.1;
    for (++i; i < narrow.size() && narrow[i] >= '0' && narrow[i] <= '9'; ++i) {
      value += (narrow[i] - '0') * scale;
      scale /= 10;
      digits = true;
    }
  }
  if (!digits || !std::isfinite(value)) return 0;
  return negative ? -value : value;
}

// Values of the two correction numbers: negative or above 1000 read 0.
double LimitCorrectionNumber(double value) {
  if (!(value >= 0 && value <= 1000)) return 0;
  return value;
}
}  // namespace

CKvParameters* GetParameters() { return g_pParameters; }
void SetParameters(CKvParameters* parameters) { g_pParameters = parameters; }

std::wstring DefaultLanguageFromLangId(uint16_t langId) {
  unsigned id = langId;
  if (id > 0x800 && id != 0x804) id = 0x400 | (id & 0xFF);
  wchar_t buffer[16];
  std::swprintf(buffer, 16, L"%X", id);
  return buffer;
}

std::wstring UnescapeResourceText(const std::wstring& text) {
  // "\n", "\r", "\t" in turn: a replacement never creates a new sequence of its kind, so
  // one left-to-right pass equals replacing again from the start until none is left.
  std::wstring current = text;
  const wchar_t letters[3] = {L'n', L'r', L't'};
  const wchar_t controls[3] = {L'\n', L'\r', L'\t'};
  for (int k = 0; k < 3; ++k) {
    std::wstring out;
    out.reserve(current.size());
    for (size_t i = 0; i < current.size(); ++i) {
      if (current[i] == L'\\' && i + 1 < current.size() && current[i + 1] == letters[k]) {
        out.push_back(controls[k]);
        ++i;
      } else {
        out.push_back(current[i]);
      }
    }
    current.swap(out);
  }
  // "\\" by "\" until none is left: every run of backslashes becomes one.
  std::wstring out;
  out.reserve(current.size());
  for (size_t i = 0; i < current.size(); ++i)
    if (!(current[i] == L'\\' && !out.empty() && out.back() == L'\\')) out.push_back(current[i]);
  return out;
}

CKvParameters::CKvParameters(IKvProfile& profile, IKvSystem& system)
    : m_Profile(profile), m_System(system) {
  m_sLanguage = DefaultLanguageFromLangId(system.GetThreadLanguageId());
}

// ---------------------------------------------------------------- files and folders

std::wstring CKvParameters::GetProgramPath() { return m_System.GetProgramPath(); }

std::wstring CKvParameters::GetProgramModuleName() { return orvaq::paths::BaseName(GetProgramPath()); }

std::wstring CKvParameters::GetSettingsFilePath() {
  if (!m_sSettingsFile.empty()) return m_sSettingsFile;
  const std::wstring module = GetProgramModuleName();
  const std::wstring besideProgram = orvaq::paths::ReplaceExtension(GetProgramPath(), L".INI");
  std::wstring appData;
  if (!m_System.GetLocalAppDataFolder(appData)) {
    // Without a per-user folder the file stays where older installations kept it.
    m_sSettingsFile = besideProgram;
    return m_sSettingsFile;
  }
  const std::wstring folder = orvaq::paths::Join(appData, module);
  m_System.CreateFolder(folder);  // not reported: the profile functions then just fail
  const std::wstring path = orvaq::paths::Join(folder, module + L".INI");
  if (!m_System.FileExists(path)) {
    if (m_System.FileExists(besideProgram))
      m_System.MoveFileTo(besideProgram, path);
    else
      m_System.CreateFileWithBytes(path, std::string(kUnicodeIniHeader, 6));
  }
  m_sSettingsFile = path;
  return m_sSettingsFile;
}

std::wstring CKvParameters::GetTextFilePath() {
  if (m_sTextFile.empty()) m_sTextFile = orvaq::paths::ReplaceExtension(GetProgramPath(), L".TXT");
  return m_sTextFile;
}

std::wstring CKvParameters::GetDefaultImagesFolder() {
  std::wstring documents;
  if (m_System.GetCommonDocumentsFolder(documents)) {
    const std::wstring folder = orvaq::paths::Join(documents, GetProgramModuleName());
    if (!m_System.DirectoryExists(folder)) m_System.CreateFolder(folder);
    return folder;
  }
  return orvaq::paths::WithTrailingSeparator(orvaq::paths::Folder(GetSettingsFilePath()));
}

std::wstring CKvParameters::GetImagesPathFromSettings() {
  if (m_sImagesPathFromSettings.empty())
    m_sImagesPathFromSettings = orvaq::paths::WithTrailingSeparator(
        ReadString(kSensor, L"ImagesPath", GetDefaultImagesFolder()));
  return m_sImagesPathFromSettings;
}

void CKvParameters::SetImagesPath(const std::wstring& path) {
  WriteString(kSensor, L"ImagesPath", path);
  m_sImagesPathFromSettings = orvaq::paths::WithTrailingSeparator(path);
}

bool CKvParameters::WriteTest(const std::wstring& folder) {
  return m_System.WriteTestFile(orvaq::paths::Join(folder, L"test.fil"));
}

void CKvParameters::FailNoWritableFolder(const std::wstring& folder) {
  m_System.ShowMessageBox(FormatTextId(811, {folder}), GetProgramTitle(), orvaq::mb::kOk | orvaq::mb::kIconError);
  m_System.ExitProcessNow(1);
}

std::wstring CKvParameters::GetImagesPath() {
  std::wstring folder;
  if (m_sCmdImagePath.empty()) {
    folder = GetImagesPathFromSettings();
    if (!m_System.DirectoryExists(folder)) m_System.CreateFolder(folder);
  } else if (m_System.DirectoryExists(m_sCmdImagePath) || m_System.CreateFolder(m_sCmdImagePath)) {
    folder = m_sCmdImagePath;
  } else {
    folder = GetDefaultImagesFolder();
    if (!m_bImagesFolderWarned) {
      m_bImagesFolderWarned = true;
      m_System.ShowMessageBox(FormatTextId(810, {m_sCmdImagePath, folder}), GetProgramTitle(),
                          orvaq::mb::kOk | orvaq::mb::kIconWarning);
    }
  }
  if (WriteTest(folder)) return folder;

  const std::wstring defaultFolder = GetDefaultImagesFolder();
  // Compared without the trailing separator: the settings' path carries one, the default
  // folder does not, and they are the same folder.
  if (orvaq::EqualsNoCase(orvaq::paths::WithoutTrailingSeparator(folder),
                          orvaq::paths::WithoutTrailingSeparator(defaultFolder))) {
    FailNoWritableFolder(folder);
    return folder;
  }
  if (!m_bImagesWriteWarned) {
    m_bImagesWriteWarned = true;
    m_System.ShowMessageBox(FormatTextId(812, {folder, defaultFolder}), GetProgramTitle(),
                        orvaq::mb::kOk | orvaq::mb::kIconWarning);
  }
  if (!WriteTest(defaultFolder)) FailNoWritableFolder(defaultFolder);
  return defaultFolder;
}

std::wstring CKvParameters::GetLogFolder() {
  if (!m_sLogFolder.empty()) return m_sLogFolder;
  std::wstring base;
  if (!m_System.GetLocalAppDataFolder(base)) base = GetImagesPath();
  m_sLogFolder = orvaq::paths::Join(base, L"Logs KVW");
  m_System.CreateFolder(m_sLogFolder);
  return m_sLogFolder;
}

std::wstring CKvParameters::GetPendingPlatesFolder() {
  std::wstring base = orvaq::paths::Folder(GetSettingsFilePath());
  if (base.empty()) base = GetImagesPath();
  const std::wstring folder = orvaq::paths::Join(base, L"Plaques en attente");
  m_System.CreateFolder(folder);
  return folder;
}

// ---------------------------------------------------------------- raw access

std::wstring CKvParameters::ReadString(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& def) {
  return ReadProfileString(m_Profile, GetSettingsFilePath(), section, key, def);
}

int CKvParameters::ReadInt(const std::wstring& section, const std::wstring& key, int def) {
  return m_Profile.ReadInt(GetSettingsFilePath(), section, key, def);
}

void CKvParameters::WriteInt(const std::wstring& section, const std::wstring& key, int value) {
  const std::wstring text = std::to_wstring(value);
  m_Profile.WriteString(GetSettingsFilePath(), section, key, &text);
}

void CKvParameters::WriteString(const std::wstring& section, const std::wstring& key,
                                const std::wstring& value) {
  m_Profile.WriteString(GetSettingsFilePath(), section, key, &value);
}

void CKvParameters::DeleteKey(const std::wstring& section, const std::wstring& key) {
  m_Profile.WriteString(GetSettingsFilePath(), section, key, nullptr);
}

void CKvParameters::FlushSettings() { m_Profile.Flush(); }

// ---------------------------------------------------------------- keys

int CKvParameters::GetLoggerType() { return ReadInt(L"DEBUG", L"LoggerType", 2); }

std::wstring CKvParameters::GetStoredCommandLine() { return ReadString(L"KVW", L"CommandLine", L""); }
void CKvParameters::SetStoredCommandLine(const std::wstring& line) {
  WriteString(L"KVW", L"CommandLine", line);
  FlushSettings();
}
void CKvParameters::DeleteStoredCommandLine() {
  DeleteKey(L"KVW", L"CommandLine");
  FlushSettings();
}
void CKvParameters::RemoveRestartingLine() { DeleteKey(L"KVW", L"RestartingLine"); }

int CKvParameters::GetAcqWay() { return ReadInt(kSensor, L"AcqWay", 0); }
void CKvParameters::SetAcqWay(int way) { WriteInt(kSensor, L"AcqWay", way); }
int CKvParameters::GetAcqGamma() { return ReadInt(kSensor, L"AcqGamma", 0); }
void CKvParameters::SetAcqGamma(int value) { WriteInt(kSensor, L"AcqGamma", value); }
int CKvParameters::GetAcqLuminosity() { return ReadInt(kSensor, L"AcqLuminosity", 0); }
void CKvParameters::SetAcqLuminosity(int value) { WriteInt(kSensor, L"AcqLuminosity", value); }
int CKvParameters::GetAcqContrast() { return ReadInt(kSensor, L"AcqContrast", 0); }
void CKvParameters::SetAcqContrast(int value) { WriteInt(kSensor, L"AcqContrast", value); }
int CKvParameters::GetAcqFilter() { return ReadInt(kSensor, L"AcqFilter", 0); }
void CKvParameters::SetAcqFilter(int value) { WriteInt(kSensor, L"AcqFilter", value); }
int CKvParameters::GetAcqFilterLevel() { return ReadInt(kSensor, L"AcqFilterLevel", 0); }
bool CKvParameters::GetShowImagePreview() { return ReadInt(kSensor, L"ShowImagePreview", 0) != 0; }
void CKvParameters::SetShowImagePreview(bool on) { WriteInt(kSensor, L"ShowImagePreview", on ? 1 : 0); }

int CKvParameters::GetAcqMultiImages() { return ReadInt(L"TWAIN", L"AcqMultiImages", 0); }
void CKvParameters::SetAcqMultiImages(int value) { WriteInt(L"TWAIN", L"AcqMultiImages", value); }
bool CKvParameters::IsMultiImageMode() { return m_bTwain && GetAcqMultiImages() != 0; }
int CKvParameters::GetAdvancedDenoising() { return ReadInt(L"TWAIN", L"AdvancedDenoising", 0); }
void CKvParameters::SetAdvancedDenoising(int value) { WriteInt(L"TWAIN", L"AdvancedDenoising", value); }

int CKvParameters::GetLUMEQ2Color() {
  const int color = ReadInt(kSensor, L"LUMEQ2Color", 0);
  return color >= 0 && color <= 15 ? color : 0;
}
void CKvParameters::SetLUMEQ2Color(int color) { WriteInt(kSensor, L"LUMEQ2Color", color); }

int CKvParameters::GetStationNumber() {
  const unsigned number = static_cast<unsigned>(ReadInt(kSensor, L"StationNumber", 0));
  return number <= 10 ? static_cast<int>(number) : 0;
}
void CKvParameters::SetStationNumber(int number) {
  WriteInt(kSensor, L"StationNumber", static_cast<unsigned>(number) <= 10 ? number : 0);
}

std::wstring CKvParameters::GetStationName() {
  std::wstring name = ReadString(kSensor, L"StationName", L"");
  if (name.empty()) {
    name = m_System.GetComputerNameText();
    if (name.size() > 256) name.resize(256);
  }
  return name;
}
void CKvParameters::SetStationName(const std::wstring& name) { WriteString(kSensor, L"StationName", name); }

static int Clamp(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

int CKvParameters::GetReservationDuration() {
  return Clamp(ReadInt(kSensor, L"ReservationDuration", 0), 0, 999);
}
void CKvParameters::SetReservationDuration(int value) {
  WriteInt(kSensor, L"ReservationDuration", Clamp(value, 0, 999));
}

int CKvParameters::GetHTTPTimeOut() { return ReadInt(L"COMM", L"HTTPTimeOut", 1500); }
std::wstring CKvParameters::GetLUMEQ2FiltreSerial() { return ReadString(kSensor, L"LUMEQ2FiltreSerial", L""); }
std::wstring CKvParameters::GetLUMEQ2Name() { return ReadString(kSensor, L"LUMEQ2Name", L"lumeq2"); }
bool CKvParameters::GetLUMEQ2Simulated() { return ReadInt(kSensor, L"LUMEQ2Simulated", 0) != 0; }

static int LimitQuality(int value) {
  if (value < 0) return 0;
  if (value > 10) return 10;
  if (value >= 3 && value <= 9) return 2;
  return value;
}
int CKvParameters::GetAcquisitionQuality() {
  if (m_bTwain) return 0;
  return LimitQuality(ReadInt(kSensor, L"AcquisitionQuality", 0));
}
void CKvParameters::SetAcquisitionQuality(int value) {
  WriteInt(kSensor, L"AcquisitionQuality", m_bTwain ? 0 : LimitQuality(value));
}

int CKvParameters::GetDelayT4() { return Clamp(ReadInt(kSensor, L"DelayT4", 10), 0, 300); }
void CKvParameters::SetDelayT4(int value) { WriteInt(kSensor, L"DelayT4", Clamp(value, 0, 300)); }
int CKvParameters::GetValeurEtirement() { return ReadInt(kSensor, L"ValeurEtirement", 57000); }
bool CKvParameters::GetHorizontalCorrection() { return ReadInt(kSensor, L"HorizontalCorrection", 1) != 0; }
void CKvParameters::SetHorizontalCorrection(bool on) { WriteInt(kSensor, L"HorizontalCorrection", on ? 1 : 0); }
int16_t CKvParameters::GetHorizontalCorrectionType() {
  return static_cast<int16_t>(ReadInt(kSensor, L"HorizontalCorrectionType", 0));
}
void CKvParameters::SetHorizontalCorrectionType(int16_t type) {
  WriteInt(kSensor, L"HorizontalCorrectionType", type);
}
double CKvParameters::GetHorizontalCorrectionFactor() {
  return LimitCorrectionNumber(ParseDecimal(ReadString(kSensor, L"HorizontalCorrectionFactor", L"")));
}
double CKvParameters::GetHorizontalEpsilonCorrection() {
  return LimitCorrectionNumber(ParseDecimal(ReadString(kSensor, L"HorizontalEpsilonCorrection", L"0.1")));
}
int16_t CKvParameters::GetHorizontalOffsetCorrection() {
  return static_cast<int16_t>(ReadInt(kSensor, L"HorizontalOffsetCorrection", 0));
}
bool CKvParameters::GetStoreIntermediateImages() { return ReadInt(kSensor, L"StoreIntermediateImages", 0) != 0; }
void CKvParameters::SetStoreIntermediateImages(bool on) { WriteInt(kSensor, L"StoreIntermediateImages", on ? 1 : 0); }
bool CKvParameters::GetIgnoreMire() {
  if (m_bTwain) return true;
  return ReadInt(kSensor, L"IgnoreMire", m_sLanguage == L"407" ? 1 : 0) != 0;
}
void CKvParameters::SetIgnoreMire(bool on) { WriteInt(kSensor, L"IgnoreMire", on ? 1 : 0); }
bool CKvParameters::GetDemoMode() { return ReadInt(kSensor, L"DemoMode", 0) != 0; }
void CKvParameters::SetDemoMode(bool on) { WriteInt(kSensor, L"DemoMode", on ? 1 : 0); }
int CKvParameters::GetAcquisitionUseT4() {
  if (GetAcqMultiImages() != 0) return 0;
  return Clamp(ReadInt(kSensor, L"AcquisitionUseT4", 0), 0, 2);
}
void CKvParameters::SetAcquisitionUseT4(int value) { WriteInt(kSensor, L"AcquisitionUseT4", Clamp(value, 0, 2)); }
std::wstring CKvParameters::GetLUMEQ2Serial() { return ReadString(kSensor, L"LUMEQ2Serial", L""); }
void CKvParameters::SetLUMEQ2Serial(const std::wstring& serial) { WriteString(kSensor, L"LUMEQ2Serial", serial); }
std::wstring CKvParameters::GetAdapterName() { return ReadString(kSensor, L"AdapterName", L""); }
void CKvParameters::SetAdapterName(const std::wstring& name) { WriteString(kSensor, L"AdapterName", name); }
std::wstring CKvParameters::GetAdapterIPAddress() { return ReadString(kSensor, L"AdapterIPAddress", L""); }
void CKvParameters::SetAdapterIPAddress(const std::wstring& address) {
  WriteString(kSensor, L"AdapterIPAddress", address);
}
int CKvParameters::GetBatchLastImage() { return Clamp(ReadInt(L"_TEST_", L"BatchLastImage", 1), 1, 999); }

KvWindowPlacement CKvParameters::ReadWindowPlacement(const std::wstring& window) {
  const std::wstring section = L"WPlacement-" + window;
  KvWindowPlacement p;
  p.length = ReadInt(section, L"length", 0);
  if (p.length != kWindowPlacementLength) {
    p.length = 0;
    return p;
  }
  p.flags = ReadInt(section, L"flags", 0);
  p.showCmd = ReadInt(section, L"showCmd", 0);
  p.ptMinPositionX = ReadInt(section, L"ptMinPosition.x", 0);
  p.ptMinPositionY = ReadInt(section, L"ptMinPosition.y", 0);
  p.ptMaxPositionX = ReadInt(section, L"ptMaxPosition.x", 0);
  p.ptMaxPositionY = ReadInt(section, L"ptMaxPosition.y", 0);
  p.rcNormalPositionTop = ReadInt(section, L"rcNormalPosition.top", 0);
  p.rcNormalPositionLeft = ReadInt(section, L"rcNormalPosition.left", 0);
  p.rcNormalPositionBottom = ReadInt(section, L"rcNormalPosition.bottom", 0);
  p.rcNormalPositionRight = ReadInt(section, L"rcNormalPosition.right", 0);
  return p;
}

void CKvParameters::WriteWindowPlacement(const KvWindowPlacement& p, const std::wstring& window) {
  const std::wstring section = L"WPlacement-" + window;
  WriteInt(section, L"length", p.length);
  WriteInt(section, L"flags", p.flags);
  WriteInt(section, L"showCmd", p.showCmd);
  WriteInt(section, L"ptMinPosition.x", p.ptMinPositionX);
  WriteInt(section, L"ptMinPosition.y", p.ptMinPositionY);
  WriteInt(section, L"ptMaxPosition.x", p.ptMaxPositionX);
  WriteInt(section, L"ptMaxPosition.y", p.ptMaxPositionY);
  WriteInt(section, L"rcNormalPosition.top", p.rcNormalPositionTop);
  WriteInt(section, L"rcNormalPosition.left", p.rcNormalPositionLeft);
  WriteInt(section, L"rcNormalPosition.bottom", p.rcNormalPositionBottom);
  WriteInt(section, L"rcNormalPosition.right", p.rcNormalPositionRight);
}

// ---------------------------------------------------------------- texts

std::wstring CKvParameters::GetText(int id) {
  const std::wstring key = std::to_wstring(id);
  const std::wstring file = GetTextFilePath();
  std::wstring text = ReadProfileString(m_Profile, file, m_sLanguage, key, L"");
  if (text.empty() && m_sLanguage != L"409") text = ReadProfileString(m_Profile, file, L"409", key, L"");
  return UnescapeResourceText(text);
}

std::wstring CKvParameters::GetProgramTitle() {
  const std::wstring title = GetText(1000);
  return title.empty() ? std::wstring(L"Orvaq") : title;
}

std::wstring CKvParameters::FormatTextId(int id, const std::vector<CKvTextArg>& args) {
  return FormatText(GetText(id), args);
}
