// COrvaqController: the image transfer (events of the image socket, the watchdog, the
// acknowledgement) and the check of the raw file before it is acknowledged.
#include <memory>
#include <new>

#include "acquisition/OrvaqController.h"
#include "acquisition/RawCheck.h"
#include "common/Text.h"
#include "logging/KvLogger.h"
#include "settings/KvPaths.h"

const wchar_t* const kRawFileName = L"LASTACQP2.BIN";

std::wstring COrvaqController::RawFilePath() {
  return orvaq::paths::Join(m_Settings.ImagesPath(), kRawFileName);
}

// ------------------------------------------------------------------ image transfer

void COrvaqController::ClearAfterLostImageListener() {
  DestroyHttpClient();
  DestroyImageListener();
  m_TickReservation = 0;
  m_bReserved = false;
  m_bScannerOnGui = false;
  m_TerminalResaNum = 0;
  m_TerminalNum = -1;
  m_nTerminalColor = 0;
  m_sScannerSerial.clear();
  const bool changed = m_bLedReady || m_bLedReserved || m_bLedReceiving || !m_bLedError;
  m_bLedReady = m_bLedReserved = m_bLedReceiving = false;
  m_bLedError = true;
  if (changed) m_Host.Repaint();
}

bool COrvaqController::IsScannerPeer(uint32_t peer) {
  if (m_sScannerSerial.empty()) return false;
  SNDPFrameRecord record;
  if (!m_SNDPFrames.FindNewestRecord(m_sScannerSerial, m_Host.GetTickCount(), record)) return false;
  // Where the sender's address is unknown, the frame's own address field stands in.
  return peer == (record.source ? record.source : record.frame.ipAddress);
}

void COrvaqController::OnImageMessage(uintptr_t wParam, uint32_t lParam) {
  LogPrintf(L"Message Image WP : %X (%d) LP : %X (%d)", static_cast<unsigned>(wParam),
            static_cast<int>(wParam), lParam, static_cast<int>(lParam));
  // Neither a late event of a connection closed before nor a second connection may touch
  // the transfer under way (its file, its watchdog, its socket).
  if (m_pImageClient && !m_pImageClient->OwnsSocket(wParam)) {
    if ((lParam & 0xFFFF) == kFdRead)
      LogPrintf(L"FD_READ après le close!!!");
    else
      LogPrintf(L"Message Image d'un socket fermé ignoré.");
    return;
  }
  if (m_pImageClient && (lParam & 0xFFFF) == kFdAccept && m_pImageClient->HasConnection()) {
    LogPrintf(L"Connexion image supplémentaire refusée.");
    m_pImageClient->RefuseConnection();
    return;
  }
  // Only the bound scanner delivers images: any other host of the network is turned away
  // before it can touch the raw file, the watchdog or the reservation.
  if (m_pImageClient && (lParam & 0xFFFF) == kFdAccept) {
    uint32_t peer = 0;
    if (m_pImageClient->AcceptPending(peer) && !IsScannerPeer(peer)) {
      LogPrintf(L"Connexion image refusée de %ls : ce n'est pas le scanner.", FormatIPv4(peer).c_str());
      m_pImageClient->CloseHeldConnection();
      return;
    }
  }
  StopTimer(TIMER_WATCHDOG);
  if (!m_pImageClient) {
    LogPrintf(L"Pas d'écouteur TCP dans le message Image -> Reset complet.");
    ClearAfterLostImageListener();
    return;
  }
  const uint32_t error = lParam >> 16;
  if (error != 0) LogPrintf(L"Erreur dans la réception de l'image : %d", static_cast<int>(error));

  switch (lParam & 0xFFFF) {
    case kFdAccept:
      LogPrintf(L"Message Image FD_ACCEPT.");
      m_bRawFileAccepted = m_pImageClient->Accept(RawFilePath(), true);
      ArmTimer(TIMER_WATCHDOG, kWatchdogMs);
      break;
    case kFdRead: {
      LogPrintf(L"Message Image FD_READ.");
      const int32_t count = m_pImageClient->ReceivePending();
      if (count == -1) {
        LogPrintf(L"FD_READ après le close!!!");
        return;
      }
      LogPrintf(L"Number of bytes received : %d", count);
      ArmTimer(TIMER_WATCHDOG, kWatchdogMs);
      m_bTransferInProgress = true;
      if (!m_bLedReceiving) {
        m_bLedReceiving = true;
        m_Host.Repaint();
      }
      break;
    }
    case kFdClose:
      OnImageClose();
      break;
    default:
      break;
  }
}

void COrvaqController::OnImageClose() {
  LogPrintf(L"Message Image FD_CLOSE.");
  LogPrintf(L"Read pending data.");
  LogPrintf(L"Number of bytes received before close : %d", m_pImageClient->ReceivePending());
  LogPrintf(L"Close image socket.");
  m_pImageClient->Close();
  const bool patternRead = m_bPatternRead;
  m_SNDPFrames.SetMaxAge(kSNDPFrameMaxAgeAfterImage);

  const bool accepted = m_bRawFileAccepted;
  m_bRawFileAccepted = false;
  if (accepted && CheckRawImage()) {
    LogPrintf(L"Reconstruction de l'image.");
    m_Host.ReconstructAcquisition();
    LogPrintf(L"Check image terminé - Acquittement de l'image.");
    AdminAction(kAdminReadOk, std::wstring(m_sScannerSerial));
    if (m_bImageInMemoryRead) {
      LogPrintf(L"Déréservation aprés acquisition car lecture d'une image en mémoire.");
      ReservationAction();
    }
    if (m_bPatternRead) {
      LogPrintf(L"Déréservation aprés acquisition car lecture d'une pattern.");
      if (m_pHTTPClient) m_pHTTPClient->SuperUnreserve();
      m_bReserved = false;
      m_bImageInMemoryRead = false;
      m_bPatternRead = false;
    }
  } else {
    LogPrintf(L"Trasmission de l'image impossible !");
    const std::wstring answer = AdminAction(kAdminReadNok, std::wstring(m_sScannerSerial));
    if (!orvaq::EqualsNoCase(answer, L"OK")) {
      LogPrintf(L"Déréservation suite à l'échec du transfert de l'image et du NonAck.");
      ReservationAction();
    }
  }

  m_bTransferInProgress = false;
  m_Host.Repaint();
  if (--m_nBatchReadsLeft > 0) {
    m_bReadLastImage = true;
    if (patternRead) m_bPatternMode = true;
  }
}

bool COrvaqController::CheckRawImage() {
  LogPrintf(L"Check image.");
  std::unique_ptr<IKvReadFile> file = m_Host.System().OpenForReading(RawFilePath());
  if (!file) {
    LogPrintf(L"Handle de fichier image invalide.");
    return false;
  }
  const uint64_t length = file->Size();
  if (length >= kRawCheckSkipSize) {
    LogPrintf(L"Taille du .bin > 30Mo. On ne check pas l'image.");
    return true;
  }
  std::unique_ptr<uint8_t[]> buffer;
  if (length > orvaq::raw::kHeaderSize) buffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(length)]());
  if (!buffer) {
    LogPrintf(L"Buffer pour l'image invalide.");
    return false;
  }
  if (!file->ReadAll(buffer.get(), static_cast<size_t>(length))) {
    // A short read leaves zeros, which the line-number scan refuses; say why here.
    LogPrintf(L"Lecture du fichier image incomplète.");
    return false;
  }

  const unsigned lineSize = ExpectedLineSize(buffer.get(), static_cast<size_t>(length));
  if (lineSize == 0) {
    LogPrintf(L"Taille de ligne invalide : %d.", 0);
    return false;
  }
  LogPrintf(L"Taille de ligne correcte : %d.", static_cast<int>(lineSize));

  const std::wstring info = AdminAction(kAdminImageInfo, std::wstring(m_sScannerSerial));
  const RawImageDescription description = ParseImageDescription(info);
  LogPrintf(L"Données associées à l'image : %d %d %ls %ls %d %d.", description.terminal, 0,
            description.doctor.c_str(), description.patient.c_str(), description.lineCount,
            description.lineSize);

  const RawScanResult scan =
      ScanRawLines(buffer.get(), static_cast<size_t>(length), lineSize, description);
  switch (scan.verdict) {
    case RawVerdict::Pass:
      LogPrintf(L"Taille du fichier bin correcte.");
      LogPrintf(L"Analyse rapide des numéros de ligne OK.");
      return true;
    case RawVerdict::InconsistentLineSize:
      LogPrintf(L"Taille de ligne inconsitante : %d / %d.", static_cast<int>(lineSize), description.lineSize);
      return false;
    case RawVerdict::NoSizeInformation:
      LogPrintf(L"Aucun information de taille de fichier.");
      break;
    case RawVerdict::UnexpectedLength:
      LogPrintf(L"Taille de fichier innatendue : %d - %d.", static_cast<int>(length),
                static_cast<int>(scan.expectedLength));
      break;
    case RawVerdict::UnexpectedLineNumber:
      LogPrintf(L"Taille du fichier bin correcte.");
      LogPrintf(L"Numéro de ligne innatendu : %d - %d.", scan.found, scan.expected);
      break;
  }
  LogPrintf(L"Erreur de contenu de l'image -> Il faut faire un retrieve.");
  return false;
}
