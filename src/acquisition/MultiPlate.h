// CMultiPlate: the composition of a large image scanned in two or three parts ("T3"
// plates) into one "T4" image. It recognises a part through the filter library, keeps
// the parts in three slots, asks the library for its arrangement advice, lets the
// operator rotate, exchange or cut, and composes the parts after the last one, after a
// delay, or on request. The decisions are MultiPlateRules'; the window, the timer and the
// outputs are its host's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/Reconstruction.h"
#include "filter_binding/RXFilterLibrary.h"

class IMultiPlateHost {
 public:
  virtual ~IMultiPlateHost() = default;
  // N: 0 off, 1 two parts, 2 three parts (the panel's mode counter).
  virtual int PartsWanted() = 0;
  virtual int DelayT4() = 0;  // seconds, 0 meaning an hour
  // Timer 4444.
  virtual void ArmT4Timer(uint32_t ms) = 0;
  virtual void StopT4Timer() = 0;
  virtual bool T4TimerArmed() = 0;
  // The composition went on or off: the window grows or shrinks by its panel.
  virtual void OnT4ModeChanged(bool on) = 0;
  // A part as a plate of its own: the external rebuild when it runs, else the classic one.
  virtual bool RebuildAlone(const std::wstring& rawPath) = 0;
  // The composed picture (8-bit rows, top row first) and its outputs.
  virtual bool FinishComposed(const uint8_t* pixels, int width, int height, float resolution) = 0;
  // A part's data now lives in a composed image (or in its own plate).
  virtual void PartDone(const std::wstring& rawPath) = 0;
};

class CMultiPlate : public IMultiPlateHook {
 public:
  CMultiPlate(IReconSettings& settings, IReconEnv& env, IKvSystem& system, IModuleLoader& loader)
      : m_Settings(settings), m_Env(env), m_System(system), m_Loader(loader) {}
  void SetHost(IMultiPlateHost* host) { m_pHost = host; }

  // --- the reconstruction's hook
  bool DetectT3Part(const std::wstring& rawPath) override;
  bool IsSlotComplete(int box) override;

  // --- the operator and the timer
  void PreReconstructT4();
  // True when a composed image was written.
  bool ReconstructT4();
  void CutT4();
  void Rotate(int box);
  void Exchange(int a, int b);
  void SetT4Mode(bool on);
  bool T4Mode() const { return m_bT4Mode; }

  // What the panel draws of a box (1-based): its preview (8-bit rows, null when empty)
  // and whether it is turned.
  struct SBoxView {
    const uint8_t* pixels = nullptr;
    int width = 0, height = 0;
    bool rotated = false;
  };
  SBoxView Box(int box) const;

 private:
  struct Slot {
    BufferFinal preview{RXF_TAG_8, 0, 0, nullptr};
    BufferFinal16 first{RXF_TAG_16, 0, 0, nullptr};
    BufferFinal16 second{RXF_TAG_16, 0, 0, nullptr};
    std::vector<uint8_t> previewPixels;
    std::vector<uint16_t> firstPixels, secondPixels;
    std::wstring rawPath;
    bool rotated = false;
    bool HasImage() const { return second.pBuffer && second.width && second.height; }
    bool Complete() const { return preview.pBuffer && preview.width && preview.height; }
  };
  // A part stored in `slot` (0-based), or false when the library says it is none.
  bool Examine(const std::wstring& rawPath, Slot& part);
  void Store(int slot, Slot&& part);
  void ArmDelay();
  void ClearSlots();
  // Loads the library with `entries`; on failure logs, shows text 813 and returns false.
  bool Bind(CRXFilterLibrary& library, unsigned entries);
  void ShowError(const std::string& text);

  IReconSettings& m_Settings;
  IReconEnv& m_Env;
  IKvSystem& m_System;
  IModuleLoader& m_Loader;
  IMultiPlateHost* m_pHost = nullptr;
  Slot m_Slots[3];
  bool m_bT4Mode = false;
  // The resolution and Mode of the last part examined.
  float m_fResolution = 0;
  int m_nMode = -1;
};
