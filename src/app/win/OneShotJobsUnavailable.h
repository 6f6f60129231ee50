// Stand-in for the one-shot jobs while the imaging side is not linked in: each job
// only logs that it cannot run, and writes nothing.
#pragma once

#include "app/OneShotJobs.h"

class COneShotJobsUnavailable : public IOneShotJobs {
 public:
  void RunImageJob(const ImageJobRequest& request) override;
  void RunRawStrip(const RawStripRequest& request) override;
};
