// Simulated imaging plates: builds the raw acquisition files that the scanner streams
// (layout and geometry of common/RawFormat.h) and, beside each one, the ideal
// noise-free image at 2R pixels per millimetre that a perfect reconstruction gives.
// Portable: used by the simulator, the demonstration files and the filter-library tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvaq {
namespace sim {

// What is on the plate.
enum class PlateKind {
  Phantom,      // teeth-like shapes, a step wedge, fine line groups, an orientation disc
  Empty,        // an unexposed plate: the plate's base level only
  TestPattern,  // grid, frame, centre cross, line-pair groups, checkerboard ("mire")
  MultiPart,    // one part (numbered) of a two- or three-plate set showing one phantom
};

// Signal levels of the raw samples (16-bit counts, higher = more exposure).
constexpr uint16_t kDarkLevel = 1200;    // read where there is no plate
constexpr uint16_t kPlateBase = 2000;    // an unexposed plate
constexpr uint16_t kFullSignal = 52000;  // a fully exposed plate

// Plate size classes 0..3: {shorter side, longer side} in millimetres.
struct PlateSizeMm { int shortSide; int longSide; };
// Sides of size class `size`, {0, 0} for anything but 0..3.
PlateSizeMm PlateSize(int size);

struct PlateOrder {
  int size = 1;                 // plate size class 0..3
  unsigned mode = 0;            // header Mode: 0, 1, 2 or 10 (others are refused)
  PlateKind kind = PlateKind::Phantom;
  int partNumber = 0;           // MultiPart: 1..partCount
  int partCount = 0;            // MultiPart: 2 or 3
  int sensorVariant = 0;        // header byte 7
  uint32_t seed = 1;            // noise generator seed; same seed, same bytes
  double noise = 1.0;           // noise scale: 0 = noise-free raw samples
  uint32_t sequence = 0;        // scan sequence number (header)
  uint32_t scanTime = 0;        // seconds since 1970 (header)
  int marginMm = 3;             // dark lines before and after the plate
  bool wantIdeal = true;        // also build the ideal image
};

// A 16-bit image, rows top first, `width` samples per row.
struct Image16 {
  int width = 0;
  int height = 0;
  std::vector<uint16_t> pixels;
  uint16_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

struct Plate {
  std::vector<uint8_t> raw;  // the whole raw file: header and line records
  unsigned mode = 0;
  double resolution = 0;     // R; the ideal image has 2R pixels per mm
  unsigned samplesPerLine = 0;
  unsigned lineSize = 0;     // L = 2c + 48
  unsigned lineCount = 0;
  unsigned plateFirstLine = 0;    // first line that reads the plate
  unsigned plateFirstSample = 0;  // first sample of a line that reads the plate
  unsigned plateLines = 0;        // lines across the plate (longer side x R)
  unsigned plateSamples = 0;      // samples across the plate (shorter side x R)
  // Noise-free signal of the plate alone at 2R pixels per mm: width along the line
  // (the shorter side), height along the scan (the longer side), first line on top.
  // A raw sample is the mean of the 2 x 2 ideal pixels it covers, plus noise.
  Image16 ideal;
};

// Builds a plate. Returns false (and leaves `out` empty) for an unknown size or Mode,
// or a MultiPart request whose part numbering is out of range.
bool BuildPlate(const PlateOrder& plateOrder, Plate& out);

// The ideal image of a whole multi-plate set (parts side by side, part 1 on the left,
// each part's ideal a slice of it) at the resolution of `mode`; empty on bad arguments.
Image16 MultiPlateIdeal(int size, int partCount, unsigned mode);

// The two rules the acquisition applies to a received file: a length of exactly
// 36 + count x L for the header's Mode, and each record's previous-line word equal to
// the number of the record before it (0xFFFF for the first). `why` says which failed.
bool CheckRawLayout(const uint8_t* data, size_t size, std::string* why = nullptr);

// Faults for tests and the simulator's fault switches; each works on a copy of a file.
// Writes `value` as line `line`'s previous-line word (so that line fails the scan).
void CorruptPreviousLineNumber(std::vector<uint8_t>& raw, unsigned lineSize, unsigned line,
                               uint16_t value);

}  // namespace sim
}  // namespace orvaq
