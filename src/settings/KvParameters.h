// CKvParameters: Orvaq's one process-wide parameters object. It owns the settings side
// (settings-file location, creation and migration, every key with its default and
// limits, the images and log folders, window placement), the text lookup in the
// text-resource file, and the values the command line sets for the run.
#pragma once

#include <cstdint>
#include <string>

#include "settings/KvProfile.h"
#include "settings/KvSystem.h"
#include "settings/KvTextFormat.h"

// The fields of a Windows WINDOWPLACEMENT record, as stored in "WPlacement-CONTROL".
struct KvWindowPlacement {
  int length = 0, flags = 0, showCmd = 0;
  int ptMinPositionX = 0, ptMinPositionY = 0, ptMaxPositionX = 0, ptMaxPositionY = 0;
  int rcNormalPositionTop = 0, rcNormalPositionLeft = 0, rcNormalPositionBottom = 0,
      rcNormalPositionRight = 0;
};
constexpr int kWindowPlacementLength = 44;

// The language default from a thread-locale language identifier: identifiers above
// 0x800 other than 0x804 become the primary language's first sublanguage.
std::wstring DefaultLanguageFromLangId(uint16_t langId);

// Replaces the escape sequences of a resource text ("\n", "\r", "\t", then runs of
// backslashes collapse to one).
std::wstring UnescapeResourceText(const std::wstring& text);

class CKvParameters {
 public:
  // Both services must outlive the object. The language starts from the thread locale.
  CKvParameters(IKvProfile& profile, IKvSystem& system);

  IKvProfile& Profile() { return m_Profile; }
  IKvSystem& System() { return m_System; }

  // --- files and folders
  std::wstring GetProgramPath();
  std::wstring GetProgramModuleName();
  std::wstring GetSettingsFilePath();  // created or migrated at the first call
  std::wstring GetTextFilePath();
  std::wstring GetDefaultImagesFolder();
  std::wstring GetImagesPathFromSettings();  // cached, with a trailing backslash
  std::wstring GetImagesPath();              // usable folder, checked at every call
  void SetImagesPath(const std::wstring& path);
  std::wstring GetLogFolder();
  // The plates kept until their outputs exist: "Plaques en attente" in the folder of the
  // settings file (the program's data folder), created when missing. Never the images
  // folder itself, which the calling application reads.
  std::wstring GetPendingPlatesFolder();

  // --- raw access to the settings file
  std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                          const std::wstring& def);
  int ReadInt(const std::wstring& section, const std::wstring& key, int def);
  void WriteInt(const std::wstring& section, const std::wstring& key, int value);
  void WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value);
  void DeleteKey(const std::wstring& section, const std::wstring& key);
  void FlushSettings();

  // --- keys (defaults and limits applied at every read)
  int GetLoggerType();
  std::wstring GetStoredCommandLine();
  void SetStoredCommandLine(const std::wstring& line);  // written and flushed
  void DeleteStoredCommandLine();                       // deleted and flushed
  void RemoveRestartingLine();
  int GetAcqWay();
  void SetAcqWay(int way);
  int GetAcqGamma();
  void SetAcqGamma(int value);
  int GetAcqLuminosity();
  void SetAcqLuminosity(int value);
  int GetAcqContrast();
  void SetAcqContrast(int value);
  int GetAcqFilter();
  void SetAcqFilter(int value);
  int GetAcqFilterLevel();
  bool GetShowImagePreview();
  void SetShowImagePreview(bool on);
  int GetAcqMultiImages();
  void SetAcqMultiImages(int value);
  bool IsMultiImageMode();  // with /twain and AcqMultiImages set
  int GetAdvancedDenoising();
  void SetAdvancedDenoising(int value);
  int GetLUMEQ2Color();
  void SetLUMEQ2Color(int color);
  int GetStationNumber();
  void SetStationNumber(int number);  // values above 10 store 0
  std::wstring GetStationName();      // empty: the computer's name
  void SetStationName(const std::wstring& name);
  int GetReservationDuration();
  void SetReservationDuration(int value);  // clamped 0 ... 999
  int GetHTTPTimeOut();
  std::wstring GetLUMEQ2FiltreSerial();
  std::wstring GetLUMEQ2Name();
  bool GetLUMEQ2Simulated();
  int GetAcquisitionQuality();
  void SetAcquisitionQuality(int value);  // 0 with /twain, else limited like a read
  int GetDelayT4();
  void SetDelayT4(int value);  // clamped 0 ... 300
  int GetValeurEtirement();
  bool GetHorizontalCorrection();
  void SetHorizontalCorrection(bool on);
  int16_t GetHorizontalCorrectionType();
  void SetHorizontalCorrectionType(int16_t type);
  double GetHorizontalCorrectionFactor();
  double GetHorizontalEpsilonCorrection();
  int16_t GetHorizontalOffsetCorrection();
  bool GetStoreIntermediateImages();
  void SetStoreIntermediateImages(bool on);
  bool GetIgnoreMire();
  void SetIgnoreMire(bool on);
  bool GetDemoMode();
  void SetDemoMode(bool on);
  int GetAcquisitionUseT4();
  void SetAcquisitionUseT4(int value);  // clamped 0 ... 2
  std::wstring GetLUMEQ2Serial();
  void SetLUMEQ2Serial(const std::wstring& serial);
  std::wstring GetAdapterName();
  void SetAdapterName(const std::wstring& name);
  std::wstring GetAdapterIPAddress();
  void SetAdapterIPAddress(const std::wstring& address);
  int GetBatchLastImage();
  // Placement of one window ("CONTROL" for the main window); length 0 when absent.
  KvWindowPlacement ReadWindowPlacement(const std::wstring& window = L"CONTROL");
  void WriteWindowPlacement(const KvWindowPlacement& placement,
                            const std::wstring& window = L"CONTROL");

  // --- texts
  const std::wstring& GetLanguage() const { return m_sLanguage; }
  void SetLanguage(const std::wstring& language) { m_sLanguage = language; }
  std::wstring GetText(int id);  // "" when the id exists in neither language
  // Text 1000, the program title (window caption, instance search, log file name). A
  // text file without it gives "Orvaq": an empty title would make every untitled dialog
  // on the desktop look like a running instance.
  std::wstring GetProgramTitle();
  std::wstring FormatTextId(int id, const std::vector<CKvTextArg>& args);

  // --- command-line values (set by ParseCommandLine)
  std::wstring m_sCmdImagePath, m_sDoctor, m_sPatient, m_sPatientId;
  bool m_bImaging = false, m_bTwain = false;
  bool m_bBlankStamp = false, m_bVet = false, m_bClose = false, m_bPattern = false;
  int m_nOscillo = 0;
  bool m_bImagesFolderWarned = false, m_bImagesWriteWarned = false;
  int m_nOutputDepth = 8;

 private:
  bool WriteTest(const std::wstring& folder);
  void FailNoWritableFolder(const std::wstring& folder);

  IKvProfile& m_Profile;
  IKvSystem& m_System;
  std::wstring m_sSettingsFile;
  std::wstring m_sTextFile;
  std::wstring m_sLanguage;
  std::wstring m_sImagesPathFromSettings;
  std::wstring m_sLogFolder;
};

// The process-wide instance (created and deleted by the start-up).
CKvParameters* GetParameters();
void SetParameters(CKvParameters* parameters);
