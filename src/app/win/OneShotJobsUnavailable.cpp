// One-shot jobs stand-in (see OneShotJobsUnavailable.h).
#include "app/win/OneShotJobsUnavailable.h"

#include "logging/KvLogger.h"

void COneShotJobsUnavailable::RunImageJob(const ImageJobRequest& request) {
  if (LogPrintf(L"Traitement d'image indisponible : %ls", request.inputPath.c_str()) != 0)
    LogLine("Traitement d'image indisponible.");
}

void COneShotJobsUnavailable::RunRawStrip(const RawStripRequest& request) {
  if (LogPrintf(L"Traitement de fichier brut indisponible : %ls", request.input.c_str()) != 0)
    LogLine("Traitement de fichier brut indisponible.");
}
