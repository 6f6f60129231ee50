// IReconProgress: what the reconstruction reports to the acquisition controller, which
// implements it; its own header so that the controller does not depend on the pipeline.
#pragma once

#include <cstdint>

// What the reconstruction reports to the acquisition controller (COrvaqController).
class IReconProgress {
 public:
  virtual ~IReconProgress() = default;
  // A reconstruction started: the cleanup grace after a reservation runs from `tick`.
  virtual void OnReconstructionStarted(uint32_t tick) = 0;
  // Turns the receiving lamp off; true when it was on (the caller repaints).
  virtual bool ClearReceivingLed() = 0;
  virtual void ArmTimer(uint32_t id, uint32_t periodMs) = 0;
  // The image under way is the scanner's stored image read again, not a new scan.
  virtual bool ReadingStoredImage() { return false; }
};

// No controller: the recovery of kept plates at start-up, before the main window.
class CNoReconProgress : public IReconProgress {
 public:
  void OnReconstructionStarted(uint32_t) override {}
  bool ClearReceivingLed() override { return false; }
  void ArmTimer(uint32_t, uint32_t) override {}
};
