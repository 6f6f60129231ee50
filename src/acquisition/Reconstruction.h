// CReconstruction: what COrvaqDlg does with a raw file that passed the check. It owns
// the reconstruction entry (demonstration replacement, the unique "LAST" name, then
// multi-plate detection, external rebuild or the classic rebuild through the filter
// library) and the acquisition outputs (final bitmap, raw copies, information file,
// empty plate). Files, pictures, the window and the settings are reached through the
// narrow interfaces below: GDI+ and Win32 in win/ReconstructionWin, fakes in the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "acquisition/AcquisitionOutputs.h"
#include "filter_binding/RXFilterLibrary.h"
#include "acquisition/PendingPlate.h"
#include "acquisition/ReconProgress.h"
#include "acquisition/ReconstructionRules.h"
#include "settings/KvSystem.h"


// A picture of the platform (a GDI+ bitmap on Windows), owned by whoever holds it.
class IReconPicture {
 public:
  virtual ~IReconPicture() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
};

// The picture operations of the pipeline. Operations that return a picture return a
// new one (or null when they did nothing or failed) and leave their input alone.
class IReconPictures {
 public:
  virtual ~IReconPictures() = default;
  // The 8-bit grey bitmap (bottom-up device-independent bitmap, grey palette, both
  // pixels per metre `ppm`) from `height` rows of `width` bytes, top row first.
  virtual std::unique_ptr<IReconPicture> FromGreyRows(const uint8_t* rows, int width, int height,
                                                      int32_t ppm) = 0;
  // Paints the thumbnail on the screen, centred on x, top at y, `width` wide.
  virtual void ShowThumbnail(IReconPicture& picture, int x, int y, int width) = 0;
  // Turns the picture by 90 degrees clockwise (width and height exchanged).
  virtual bool Rotate90(IReconPicture& picture) = 0;
  virtual bool SaveWithBmpEncoder(IReconPicture& picture, const std::wstring& path) = 0;
  virtual bool WriteGreyBmp(IReconPicture& picture, const std::wstring& path) = 0;
  virtual std::unique_ptr<IReconPicture> AdjustGamma(IReconPicture& picture, int gamma) = 0;
  virtual std::unique_ptr<IReconPicture> AdjustContrastLuminosity(IReconPicture& picture, int lum, int con) = 0;
  // The skin picture `markName` in the corner, or `text` when it cannot be drawn.
  virtual std::unique_ptr<IReconPicture> AddSensorMark(IReconPicture& picture, const std::wstring& markName,
                                                       const std::wstring& text) = 0;
  // The same two operations in place on an 8-bit grey picture, with the grey levels the
  // operations above give (both adjustments' tables as one). False, picture untouched,
  // when the picture is not one of those: the caller then goes the way above.
  virtual bool ApplyGreyTable(IReconPicture& picture, const uint8_t table[256]) { return false; }
  virtual bool AddSensorMarkGrey(IReconPicture& picture, const std::wstring& markName, const std::wstring& text) {
    return false;
  }
  virtual void SetResolution(IReconPicture& picture, float dpi) = 0;
  // A built-in picture ("EMPY_PLATE_SD", "EMPY_PLATE_FAST") kept for the program's
  // life by the implementation; null when there is none.
  virtual IReconPicture* BuiltInPicture(const std::wstring& name) = 0;
};

// The window the reconstruction reports to: the tick, boxes on the main window, beeps,
// repaint and the main window's place. Files, folders and processes go through the
// operating-system seam (IKvSystem).
class IReconEnv {
 public:
  virtual ~IReconEnv() = default;
  virtual uint32_t GetTickCount() = 0;
  virtual int ShowMessageBox(const std::wstring& text, unsigned style) = 0;
  virtual void MessageBeep(unsigned type) = 0;
  virtual void Repaint() = 0;
  // The main window in screen coordinates.
  virtual void MainWindowRect(int& left, int& top, int& right, int& bottom) = 0;
  // Local time as "YYYY-MM-DD hh:mm:ss" (the time of a kept plate's record).
  virtual std::wstring LocalTimeText() = 0;
};

// Settings and command-line values, read at every use.
class IReconSettings {
 public:
  virtual ~IReconSettings() = default;
  virtual std::wstring ImagesPath() = 0;
  virtual bool DemoMode() = 0;
  virtual int AcquisitionUseT4() = 0;
  virtual int AcquisitionQuality() = 0;
  virtual orvaq::recon::CorrectionSettings Correction() = 0;
  virtual int AcqFilter() = 0;
  virtual int AcqFilterLevel() = 0;
  virtual int AcqGamma() = 0;
  virtual int AcqLuminosity() = 0;
  virtual int AcqContrast() = 0;
  virtual bool ShowImagePreview() = 0;
  virtual int AdvancedDenoising() = 0;
  virtual std::wstring LUMEQ2Serial() = 0;
  // Command line: "/imaging", "/twain", the output depth (8, 16, 0 for both), names.
  virtual bool Imaging() = 0;
  virtual bool Twain() = 0;
  virtual int OutputDepth() = 0;
  virtual std::wstring PatientName() = 0;
  virtual std::wstring PatientId() = 0;
  virtual std::wstring DoctorName() = 0;
  virtual std::wstring GetText(int id) = 0;
  // The folder of the plates kept until their outputs exist (empty: none are kept).
  virtual std::wstring PendingPlatesFolder() = 0;
};

// The multi-plate composition's share of the entry: whether it takes the plate, and
// which of its slots are complete (for the demonstration file choice).
class IMultiPlateHook {
 public:
  virtual ~IMultiPlateHook() = default;
  virtual bool DetectT3Part(const std::wstring& rawPath) = 0;
  virtual bool IsSlotComplete(int box) = 0;
};

// Until the composition exists, no plate is a part.
class CNoMultiPlate : public IMultiPlateHook {
 public:
  bool DetectT3Part(const std::wstring&) override { return false; }
  bool IsSlotComplete(int) override { return false; }
};

// Steps of one reconstruction, for measurements (see onStep).
enum class ReconStep { Start, Correction, Filter, RawCopy, Bitmap, Thumbnail, Adjustments, Mark, Files, End };

class CReconstruction {
 public:
  CReconstruction(IReconProgress& controller, IReconSettings& settings, IReconEnv& env, IKvSystem& system,
                  IReconPictures& pictures, IModuleLoader& loader, IMultiPlateHook& multiPlate);

  // The entry run after a passed check, before the plate is acknowledged. The plate is
  // first kept with its record in the pending folder; the record goes once the outputs
  // exist. True when an image was produced or handed on.
  bool ReconstructAcquisition();
  // At start-up: reconstructs every kept plate for the patient and images folder of its
  // record (never for the current command line), with its log lines. Returns the number
  // of plates whose outputs now exist.
  int RecoverPendingPlates();
  // The reconstruction in this process; true when the outputs were written.
  bool ClassicRebuild(const std::wstring& rawPath);
  // Hands the raw file to OrvaqRbld2; false lets the classic rebuild run.
  bool ExternalRebuild(const std::wstring& rawPath);
  // A composed multi-plate image (8-bit rows, top row first; null or empty: no image)
  // and its outputs: shown upside down, no raw copy, no 16-bit file, size class 4.
  bool FinishComposed(const uint8_t* pixels, int width, int height, float resolution);
  // A part kept for a composition now lives in a composed image or a plate of its own:
  // its pending record goes.
  void PartDone(const std::wstring& rawPath);
  // The library gave no image: the empty-plate picture and its files. `rawPath` is the
  // temporary raw file, deleted once its final copy exists. True when files were written.
  bool FinalizeEmptyPlate(float resolution, const std::wstring& rawPath);

  // Called at the start of each step when set (measurements).
  std::function<void(ReconStep)> onStep;

  // Names of the files the pipeline writes beside the final ones, in the image folder.
  static const wchar_t* const kRawCopyName;       // "LASTACQP2.RAW"
  static const wchar_t* const kThumbnailFileName;  // "LASTACQP2.BIN.bmp"
  static const wchar_t* const kRebuildProgram;    // "OrvaqRbld2.exe"

 private:
  bool WriteOutputs(IReconPicture& picture, orvaq::recon::InfoFileContent content, bool emptyPlate,
                    const std::wstring& rawPath);
  bool WriteInfoFile(const std::wstring& temporaryPath, const orvaq::recon::InfoFileContent& content,
                     bool rename);
  orvaq::recon::InfoFileContent BaseContent(bool neutralFilter);
  void ShowThumbnail(IReconPicture& picture);
  orvaq::recon::InfoFileContent AdjustAndMark(std::unique_ptr<IReconPicture>& picture, float resolution,
                                              bool imaging);
  // The kept plate of the reconstruction under way (record path empty: none kept).
  struct KeptPlate {
    std::wstring recordPath;
    orvaq::recon::PendingPlate plate;
  };
  KeptPlate KeepPendingPlate(const std::wstring& rawPath);
  bool WritePendingRecord(const std::wstring& recordPath, const orvaq::recon::PendingPlate& plate);
  void DropPendingPlate(const std::wstring& recordPath, const orvaq::recon::PendingPlate& plate);
  bool RecoverOne(const std::wstring& folder, const std::wstring& recordName);
  bool FingerprintFile(const std::wstring& path, orvaq::recon::DeliveredPlate& print);
  void RememberDelivered(const std::wstring& recordPath, const orvaq::recon::PendingPlate& plate);
  bool DeliveredBefore(const std::wstring& rawPath);
  void ClearReceivingLed();
  void KeepRaw(const std::wstring& rawPath);
  void Step(ReconStep step) {
    if (onStep) onStep(step);
  }

  IReconProgress& m_Controller;
  IReconSettings& m_Settings;
  IReconEnv& m_Env;
  IKvSystem& m_System;
  IReconPictures& m_Pictures;
  IModuleLoader& m_Loader;
  IMultiPlateHook& m_MultiPlate;
  // The pending records of the parts waiting in the composition, by raw path.
  std::map<std::wstring, KeptPlate> m_PartRecords;
  // Off for the recovery at start-up: there is no window to put a thumbnail on.
  bool m_bShowThumbnail = true;
};
