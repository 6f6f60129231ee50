// The reconstruction entry, the classic rebuild, the outputs and the external rebuild
// (see Reconstruction.h). Every step logs its French line; a failure after the raw file
// arrived never deletes it and says where it stays.
#include "acquisition/Reconstruction.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "acquisition/OrvaqController.h"
#include "common/MessageBox.h"
#include "common/RawFormat.h"
#include "common/Text.h"
#include "imaging/Adjust.h"
#include "imaging/Grey8.h"
#include "logging/KvLogger.h"
#include "settings/KvPaths.h"

using namespace orvaq::recon;

const wchar_t* const CReconstruction::kRawCopyName = L"LASTACQP2.RAW";
const wchar_t* const CReconstruction::kThumbnailFileName = L"LASTACQP2.BIN.bmp";
const wchar_t* const CReconstruction::kRebuildProgram = L"OrvaqRbld2.exe";

namespace {
struct ZeroedBlockFree {
  void operator()(uint8_t* block) const { std::free(block); }
};
constexpr unsigned kBeepDefault = 0xFFFFFFFF, kBeepError = 0x10;
constexpr uint32_t kThumbnailMs = 2500;

// The ANSI folder path handed to the library; characters outside Latin-1 become '?'.
std::string AnsiPath(const std::wstring& path) {
  std::string out;
  if (orvaq::ToLatin1(path, out)) return out;
  out.clear();
  for (wchar_t c : path) out += static_cast<uint32_t>(c) < 256 ? static_cast<char>(c) : '?';
  return out;
}
}  // namespace

CReconstruction::CReconstruction(IReconProgress& controller, IReconSettings& settings, IReconEnv& env,
                                 IKvSystem& system, IReconPictures& pictures, IModuleLoader& loader,
                                 IMultiPlateHook& multiPlate)
    : m_Controller(controller),
      m_Settings(settings),
      m_Env(env),
      m_System(system),
      m_Pictures(pictures),
      m_Loader(loader),
      m_MultiPlate(multiPlate) {}

bool CReconstruction::ReconstructAcquisition() {
  Step(ReconStep::Start);
  LogPrintf(L"Finalisation de l'acquisition d'une image.");
  m_Controller.OnReconstructionStarted(m_Env.GetTickCount());
  const std::wstring folder = m_Settings.ImagesPath();
  std::wstring rawPath = orvaq::paths::Join(folder, kRawFileName);

  if (m_Settings.DemoMode()) {
    LogPrintf(L"Mode démonstration : remplacement de l'image brute.");
    const bool slots[3] = {m_MultiPlate.IsSlotComplete(1), m_MultiPlate.IsSlotComplete(2),
                           m_MultiPlate.IsSlotComplete(3)};
    const std::wstring demo = orvaq::paths::Join(
        orvaq::paths::FolderWithSeparator(m_System.GetProgramPath()), DemoFileName(m_Settings.AcquisitionUseT4(), m_Settings.AcquisitionQuality(), slots));
    if (m_System.FileExists(demo)) {
      LogPrintf(L"Image de démonstration : %ls", demo.c_str());
      m_System.CopyFileOver(demo, rawPath);
    }
  }

  // The next transfer writes "LASTACQP2.BIN" again: this one moves to a name of its own.
  std::wstring temporary;
  if (m_System.MakeTempFile(folder, L"LAST", temporary)) {
    m_System.RemoveFile(temporary);
    if (m_System.MoveFileOver(rawPath, temporary)) rawPath = temporary;
  }

  // The scanner's stored image of a plate already delivered (its outputs exist, but the
  // acknowledgement had not reached the scanner): acknowledged, not delivered twice.
  if (!m_Settings.DemoMode() && DeliveredBefore(rawPath)) {
    m_System.RemoveFile(rawPath);
    ClearReceivingLed();
    return true;
  }
  // Kept before the plate is acknowledged: whatever stops this process from here on, the
  // next start finds the plate and the patient it belongs to.
  KeptPlate kept = KeepPendingPlate(rawPath);
  // A part waits for its set; the record stays until the composition exists.
  if (m_MultiPlate.DetectT3Part(rawPath)) {
    if (!kept.recordPath.empty()) m_PartRecords[rawPath] = kept;
    return true;
  }
  if (ExternalRebuild(rawPath)) {
    if (!kept.recordPath.empty()) {
      kept.plate.handover = orvaq::paths::ReplaceExtension(rawPath, L".NFOT");
      WritePendingRecord(kept.recordPath, kept.plate);
    }
    return true;
  }
  const bool written = ClassicRebuild(rawPath);
  if (written) DropPendingPlate(kept.recordPath, kept.plate);
  return written;
}

void CReconstruction::KeepRaw(const std::wstring& rawPath) {
  LogPrintf(L"Image brute conservée : %ls", rawPath.c_str());
}

void CReconstruction::ClearReceivingLed() {
  if (m_Controller.ClearReceivingLed()) m_Env.Repaint();
}

void CReconstruction::ShowThumbnail(IReconPicture& picture) {
  if (!m_bShowThumbnail) return;
  int left = 0, top = 0, right = 0, bottom = 0;
  m_Env.MainWindowRect(left, top, right, bottom);
  m_Pictures.ShowThumbnail(picture, (left + right) / 2, bottom, (right - left) / 2);
  m_Controller.ArmTimer(TIMER_THUMBNAIL, kThumbnailMs);
}

bool CReconstruction::ClassicRebuild(const std::wstring& rawPath) {
  LogPrintf(L"Rebuild Classique.");
  LogPrintf(L"Chargement de la dll RXFilter.");
  CRXFilterLibrary library(m_Loader);
  bool bound = library.Load();
  if (bound) {
    LogPrintf(L"Recherche des fonctions de la dll RXFilter.");
    bound = library.Require(CRXFilterLibrary::kFullCorrection | CRXFilterLibrary::kApplyFilter);
  }
  if (!bound) {
    // Said before the box, which waits for the operator.
    KeepRaw(rawPath);
    m_Env.ShowMessageBox(m_Settings.GetText(813), orvaq::mb::kOk | orvaq::mb::kIconError);
    return false;
  }

  LogPrintf(L"Check resolution.");
  uint64_t length = 0;
  uint8_t header[orvaq::raw::kHeaderSize] = {};
  if (!m_System.ReadFileStart(rawPath, length, header, sizeof header)) {
    LogPrintf(L"Handle de fichier image invalide.");
    KeepRaw(rawPath);
    return false;
  }
  const int mode = header[orvaq::raw::kOffMode];
  BufferSizing sizing = SizeBufferForRaw(length, mode);
  // A line gives two image rows (RawFormat.h): the image never has more rows than twice
  // the lines, so the record (the capacity the library checks against) and its zeroed
  // block ask for that, not for twice as much.
  const uint64_t lines = length / (2ull * sizing.samples + orvaq::raw::kLineOverhead);
  sizing.height = static_cast<uint16_t>(std::min<uint64_t>(2 * lines, sizing.height));
  float resolution = sizing.resolution;
  // One byte more than the record claims, so an empty record still has a buffer.
  const size_t capacity = sizing.Bytes();
  // calloc: a large zeroed block comes as fresh pages of the system, which are zero
  // already, instead of being written over once more before the library writes it.
  std::unique_ptr<uint8_t[], ZeroedBlockFree> pixels(static_cast<uint8_t*>(std::calloc(capacity + 1, 1)));
  LogPrintf(L"Résolution de l'image : %.2f pixels/mm.", 2.0 * resolution);
  if (!pixels) {
    LogPrintf(L"Buffer pour l'image invalide.");
    KeepRaw(rawPath);
    return false;
  }

  BufferFinal image{RXF_TAG_8, sizing.width, sizing.height, pixels.get()};
  ImageCodeInfo code;
  code.resolution = resolution;
  std::string error;
  const bool imaging = m_Settings.Imaging();
  const bool completed = CRXFilterLibrary::Guarded(
      "Exception lors des phases de reconstruction.",
      [&] {
        Step(ReconStep::Correction);
        LogPrintf(L"Reconstruction de l'image en une seule passe.");
        std::vector<uint8_t> work(1024, 0);
        std::string folder;
        const CorrectionSettings settings = m_Settings.Correction();
        if (settings.storeIntermediateImages) {
          const std::wstring wide = orvaq::paths::Join(m_Settings.ImagesPath(), L"LASTACQP2");
          m_System.CreateFolder(wide);
          folder = AnsiPath(wide);
        }
        CorrectionParams params;
        FillCorrectionParams(settings, static_cast<uint16_t>(mode), work.data(),
                             settings.storeIntermediateImages ? &folder[0] : nullptr, params);
        const int result = library.m_pfnFullCorrection(rawPath.c_str(), &image, &params);
        // A record larger than the buffer would make the bitmap read past it.
        if (result != 0 || size_t(image.width) * image.height > capacity) {
          LogPrintf(L"Image vide / erreur lors de la Reconstruction en une passe.");
          image.width = image.height = 0;
        }
        code = DecodeImageCode(params.ImageCode, resolution);

        if (!imaging && image.width && image.height) {
          Step(ReconStep::Filter);
          FilterImage filterImage{image.width, image.height, image.width, 8, 1, image.pBuffer};
          FilterParams filterParams = MakeFilterParams(m_Settings.AcqFilter(), code);
          if (library.m_pfnApplyFilter(&filterImage, &filterParams, 0) == 0)
            m_Env.ShowMessageBox(L"lpfnApplyLUMEQ2FilterX0X3 Not OK", orvaq::mb::kOk);
        }
      },
      &error);
  if (!completed) {
    pixels.reset();
    library.Free();
    KeepRaw(rawPath);
    m_Env.ShowMessageBox(orvaq::FromUtf8(error), orvaq::mb::kOk | orvaq::mb::kIconWarning);
    return false;
  }
  library.Free();
  resolution = code.resolution;
  Step(ReconStep::RawCopy);

  const std::wstring folder = m_Settings.ImagesPath();
  LogPrintf(L"Enregistrement de l'image BIN en RAW.");
  // LASTACQP2.RAW is a convenience copy (a viewer may hold it open): the final raw file is
  // copied from the received data itself, never from it.
  if (!m_System.CopyFileOver(rawPath, orvaq::paths::Join(folder, kRawCopyName)))
    LogPrintf(L"Enregistrement de l'image BIN en RAW impossible : %ls", kRawCopyName);
  if (image.width == 0 || image.height == 0) {
    pixels.reset();
    return FinalizeEmptyPlate(resolution, rawPath);
  }

  Step(ReconStep::Bitmap);
  int width = image.width, height = image.height;
  std::unique_ptr<IReconPicture> picture =
      m_Pictures.FromGreyRows(pixels.get(), width, height, PixelsPerMetre(resolution));
  LogPrintf(L"Préparation de l'image BMP W %d H %d.", width, height);
  pixels.reset();
  if (!picture) {
    KeepRaw(rawPath);
    return false;
  }

  const int size = PlateSizeFromImage(width, height, resolution);
  Step(ReconStep::Thumbnail);
  LogPrintf(L"Affichage d'une vignette à l'écran");
  ShowThumbnail(*picture);
  if (IsRotatedPlateSize(size) && m_Pictures.Rotate90(*picture)) std::swap(width, height);

  m_Pictures.SaveWithBmpEncoder(*picture, orvaq::paths::Join(folder, kThumbnailFileName));

  Step(ReconStep::Adjustments);
  InfoFileContent content = AdjustAndMark(picture, resolution, imaging);
  content.sensorVariant = code.sensorVariant;
  content.size = std::to_wstring(size);
  content.width = picture->Width();
  content.height = picture->Height();
  content.resolution = ResolutionText(resolution);
  content.pixelSize = PixelPitchMicrons(resolution);
  content.mire = code.mire ? 1 : 0;
  return WriteOutputs(*picture, content, false, rawPath);
}

InfoFileContent CReconstruction::BaseContent(bool neutralFilter) {
  InfoFileContent c;
  c.patientName = m_Settings.PatientName();
  c.patientId = m_Settings.PatientId();
  c.doctorName = m_Settings.DoctorName();
  c.serial = m_Settings.LUMEQ2Serial();
  c.filter.imaging = neutralFilter;
  return c;
}

bool CReconstruction::WriteInfoFile(const std::wstring& temporaryPath, const InfoFileContent& content,
                                    bool rename) {
  LogPrintf(L"Enregistrement du fichier d'information.");
  const std::string bytes = EncodeInfoFile(ComposeInfoText(content));
  if (!m_System.WriteNewFile(temporaryPath, bytes)) {
    // A half-written ".NFOT" is never renamed, and is not left to look like a hand-over.
    m_System.RemoveFile(temporaryPath);
    m_Env.ShowMessageBox(L"NFO file Error !", orvaq::mb::kOk | orvaq::mb::kIconError);
    LogPrintf(L"Impossible de créer le fichier NFO.");
    m_Env.MessageBeep(kBeepError);
    return false;
  }
  if (rename && !m_System.MoveFileOver(temporaryPath, FinalInfoName(temporaryPath))) {
    LogPrintf(L"Impossible de créer le fichier NFO.");
    m_Env.MessageBeep(kBeepError);
    return false;
  }
  return true;
}

bool CReconstruction::WriteOutputs(IReconPicture& picture, InfoFileContent content, bool emptyPlate,
                                   const std::wstring& rawPath) {
  Step(ReconStep::Files);
  const std::wstring folder = m_Settings.ImagesPath();
  std::wstring bitmap;
  if (!MakeFinalBitmapName(folder, m_Settings.PatientId(), [this](const std::wstring& p) { return m_System.FileExists(p); },
                           bitmap)) {
    // No free numbered name within 260 characters.
    LogPrintf(L"Enregistrement du BMP final impossible : %ls", bitmap.c_str());
    KeepRaw(rawPath);
    return false;
  }
  LogPrintf(L"Enregistrement du BMP final : %ls", bitmap.c_str());
  if (!m_Pictures.WriteGreyBmp(picture, bitmap)) m_Pictures.SaveWithBmpEncoder(picture, bitmap);

  // A composed image has no raw file of its own (its parts' go once it is written).
  content.file16.clear();
  if (!rawPath.empty()) {
    const std::wstring finalRaw = orvaq::paths::ReplaceExtension(bitmap, L".RAW");
    // The received file itself becomes the final one (a rename in the images folder); a
    // move that fails leaves it where it was, and the log says so.
    if (!m_System.MoveFileOver(rawPath, finalRaw)) KeepRaw(rawPath);
    content.file16 = finalRaw;
  }

  content.file8 = bitmap;
  if (!WriteInfoFile(orvaq::paths::ReplaceExtension(bitmap, L".NFOT"), content, true)) return false;
  LogPrintf(emptyPlate ? L"Beep de fin de l'acquisition d'une image blanche." : L"Beep de fin de l'acquisition.");
  m_Env.MessageBeep(kBeepDefault);
  Step(ReconStep::End);
  return true;
}

bool CReconstruction::FinalizeEmptyPlate(float resolution, const std::wstring& rawPath) {
  if (resolution != 15.0f && resolution != 20.0f) {
    KeepRaw(rawPath);
    m_Env.ShowMessageBox(m_Settings.GetText(1000) + L"\n[22] " + m_Settings.GetText(10122), orvaq::mb::kOk | orvaq::mb::kIconWarning);
    return false;
  }
  IReconPicture* picture = m_Pictures.BuiltInPicture(resolution == 15.0f ? L"EMPY_PLATE_FAST" : L"EMPY_PLATE_SD");
  ClearReceivingLed();
  if (!picture) {
    KeepRaw(rawPath);
    return false;
  }
  ShowThumbnail(*picture);
  m_Pictures.SetResolution(*picture, DotsPerInch(resolution));

  InfoFileContent content = BaseContent(true);
  content.size.clear();
  content.width = picture->Width();
  content.height = picture->Height();
  content.resolution = EmptyPlateResolutionText(m_Settings.AcquisitionQuality());
  content.pixelSize = PixelPitchMicrons(resolution);
  content.mire = 0;
  return WriteOutputs(*picture, content, true, rawPath);
}

bool CReconstruction::ExternalRebuild(const std::wstring& rawPath) {
  LogPrintf(L"Rebuild Externe.");
  ExternalRebuildArgs args;
  args.programPath = orvaq::paths::Join(orvaq::paths::FolderWithSeparator(m_System.GetProgramPath()), kRebuildProgram);
  if (!m_System.FileExists(args.programPath)) {
    LogPrintf(L"Rebuild Externe impossible.");
    return false;
  }
  const bool imaging = m_Settings.Imaging();
  const CorrectionSettings correction = m_Settings.Correction();
  args.imaging = imaging;
  args.infoPath = orvaq::paths::ReplaceExtension(rawPath, L".NFOT");
  args.storeIntermediateImages = correction.storeIntermediateImages;
  args.ignoreMire = correction.ignoreMire;
  args.showPreview = m_Settings.ShowImagePreview();
  args.outputKind = ExternalOutputKind(m_Settings.Twain(), m_Settings.AdvancedDenoising(), m_Settings.OutputDepth());
  args.filter = m_Settings.AcqFilter();
  args.luminosity = m_Settings.AcqLuminosity();
  args.contrast = m_Settings.AcqContrast();
  args.gamma = orvaq::imaging::GammaFromSetting(m_Settings.AcqGamma());
  int left = 0, top = 0, right = 0, bottom = 0;
  m_Env.MainWindowRect(left, top, right, bottom);
  args.thumbX = (left + right) / 2;
  args.thumbY = args.showPreview ? top : bottom;
  std::wstring commandLine;
  if (!FormatExternalRebuildCommandLine(args, commandLine)) {
    // Cut short, the line would name a file that does not exist.
    LogPrintf(L"Rebuild Externe impossible.");
    return false;
  }

  InfoFileContent content = BaseContent(imaging);
  if (!imaging) {
    content.filter.gamma = args.gamma;
    content.filter.luminosity = args.luminosity;
    content.filter.contrast = args.contrast;
    content.filter.filter = args.filter;
    content.filter.filterLevel = m_Settings.AcqFilterLevel();
  }
  content.size = L"0";
  content.file16 = rawPath;
  content.pixelSize = 0;
  if (!WriteInfoFile(args.infoPath, content, false)) return false;

  if (!m_System.StartProcess(commandLine, args.showPreview)) {
    // The classic rebuild takes over; a ".NFOT" nobody will complete is not left behind.
    m_System.RemoveFile(args.infoPath);
    LogPrintf(L"Rebuild Externe impossible.");
    return false;
  }
  return true;
}

// The operator's adjustments (settings read afresh) and the sensor mark, then the
// picture's resolution; the receiving lamp goes out. The information file's content so
// far: the names and the filter section.
InfoFileContent CReconstruction::AdjustAndMark(std::unique_ptr<IReconPicture>& picture, float resolution,
                                               bool imaging) {
  InfoFilter filter;
  filter.imaging = imaging;
  if (!imaging) {
    filter.gamma = orvaq::imaging::GammaFromSetting(m_Settings.AcqGamma());
    filter.luminosity = m_Settings.AcqLuminosity();
    filter.contrast = m_Settings.AcqContrast();
    // Both tables at once on the 8-bit picture where it is one; else each on a 24-bit copy.
    uint8_t gamma[256], contrast[256], both[256];
    const bool hasGamma = orvaq::imaging::BuildGammaTable(filter.gamma, gamma);
    const bool hasContrast = orvaq::imaging::BuildContrastLuminosityTable(filter.luminosity, filter.contrast, contrast);
    if (hasGamma && hasContrast) orvaq::imaging::ComposeTables(gamma, contrast, both);
    const uint8_t* table = hasGamma && hasContrast ? both : hasGamma ? gamma : hasContrast ? contrast : nullptr;
    if (table && m_Pictures.ApplyGreyTable(*picture, table)) {
      if (hasGamma) LogPrintf(L"Application d'un gamme %d.", filter.gamma);
      if (hasContrast)
        LogPrintf(L"Application d'une luminosité %d et d'un contraste %d.", filter.luminosity, filter.contrast);
    } else {
      if (std::unique_ptr<IReconPicture> adjusted = m_Pictures.AdjustGamma(*picture, filter.gamma)) {
        picture = std::move(adjusted);
        LogPrintf(L"Application d'un gamme %d.", filter.gamma);
      }
      if (std::unique_ptr<IReconPicture> adjusted =
              m_Pictures.AdjustContrastLuminosity(*picture, filter.luminosity, filter.contrast)) {
        picture = std::move(adjusted);
        LogPrintf(L"Application d'une luminosité %d et d'un contraste %d.", filter.luminosity, filter.contrast);
      }
    }
  }
  Step(ReconStep::Mark);
  const std::wstring mark = resolution == 15.0f ? L"MARK_SENSOR_20" : L"MARK_SENSOR_40";
  if (m_Pictures.AddSensorMarkGrey(*picture, mark, L"LUMEQ")) {
    LogPrintf(L"Ajout d'un marqueur sur l'image");
  } else if (std::unique_ptr<IReconPicture> marked = m_Pictures.AddSensorMark(*picture, mark, L"LUMEQ")) {
    picture = std::move(marked);
    LogPrintf(L"Ajout d'un marqueur sur l'image");
  }
  m_Pictures.SetResolution(*picture, DotsPerInch(resolution));
  ClearReceivingLed();
  InfoFileContent content = BaseContent(imaging);
  if (!imaging) {
    content.filter = filter;
    content.filter.filter = m_Settings.AcqFilter();
    content.filter.filterLevel = m_Settings.AcqFilterLevel();
  }
  return content;
}

// ------------------------------------------------------------------ multi-plate

bool CReconstruction::FinishComposed(const uint8_t* pixels, int width, int height, float resolution) {
  if (!pixels || width <= 0 || height <= 0) return FinalizeEmptyPlate(resolution, std::wstring());
  // Shown upside down: the composed rows are handed over bottom row first.
  std::vector<uint8_t> flipped(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y)
    std::copy(pixels + size_t(height - 1 - y) * width, pixels + size_t(height - y) * width,
              flipped.begin() + std::ptrdiff_t(y) * width);
  std::unique_ptr<IReconPicture> picture =
      m_Pictures.FromGreyRows(flipped.data(), width, height, PixelsPerMetre(resolution));
  LogPrintf(L"Préparation de l'image BMP W %d H %d.", width, height);
  if (!picture) return false;
  LogPrintf(L"Affichage d'une vignette à l'écran");
  ShowThumbnail(*picture);
  m_Pictures.SaveWithBmpEncoder(*picture, orvaq::paths::Join(m_Settings.ImagesPath(), kThumbnailFileName));

  InfoFileContent content = AdjustAndMark(picture, resolution, m_Settings.Imaging());
  content.sensorVariant = 0;
  content.size = L"4";
  content.width = picture->Width();
  content.height = picture->Height();
  content.resolution = ResolutionText(resolution);
  content.pixelSize = PixelPitchMicrons(resolution);
  content.mire = 0;
  return WriteOutputs(*picture, content, false, std::wstring());
}

void CReconstruction::PartDone(const std::wstring& rawPath) {
  auto it = m_PartRecords.find(rawPath);
  if (it == m_PartRecords.end()) return;
  DropPendingPlate(it->second.recordPath, it->second.plate);
  m_PartRecords.erase(it);
}
