// The scanner's raw acquisition file ("LASTACQP2.BIN"): a 36-byte header followed by
// line records. One definition for the acquisition check, the rebuild program, the
// reference filter library and the scanner simulator.
//
// File:    Br1Header (36 bytes) | line record 0 | line record 1 | ... (all little-endian)
//
// Br1Header
//   0  u16  signature 0x3142 ("B1")
//   2  u16  header version (1)
//   4  u8   Mode: 0 = standard (R 20), 1 = high definition (R 40), 2 = fast (R 15),
//           10 = ultra (R 80); lines of 5648 bytes for 0, 1 and 10, 2848 for 2
//   5  u8   plate code: the plate's size class 0..3 (4 = unknown)
//   6  u8   flags: bit 0 test pattern ("mire") plate, bit 1 part of a multi-plate set
//   7  u8   sensor variant (0 = standard; reported as hundreds of the image code)
//   8  u8   part number within a multi-plate set (1..3, 0 when single)
//   9  u8   parts in the set (2 or 3, 0 when single)
//  10  u8   part orientation: 0 as scanned, 1 scanned turned by 90 degrees
//  11  u8   reserved (0)
//  12  u32  line count as the scanner counted it (informative; the file length rules)
//  16  u16  samples per line c (2800 or 1400)
//  18  u16  bits per sample (16)
//  20  u32  scan sequence number
//  24  u32  scan time (seconds since 1970, UTC)
//  28  8    reserved (0)
//
// Line record k of L = 2c + 48 bytes
//   0      u16  line number (k modulo 65536)
//   2      u16  channel (0)
//   4      u32  encoder position of the line in micrometres
//   8      8    reserved (0)
//  16      2c   c samples, u16, photostimulated-luminescence intensity (higher = more
//               exposure); where there is no plate the scanner reads its dark level
//  L-32    u16  number of the previous line (0xFFFF for the first line)
//  L-30    u16  reserved (0)
//  L-28    u32  sum of the line's samples modulo 2^32
//  L-24    24   reserved (0)
//
// Geometry (the contract between the simulator's plates and the reference library):
// with R the mode's resolution value, the reconstructed image has 2R pixels per mm;
// a sample spans 2 image pixels across the line and a line spans 2 image rows, so one
// line covers c/R mm of scan width and lines are 1/R mm apart. The plate's shorter side
// lies across the line. The reconstructed 8-bit image shows less exposure brighter.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvaq {
namespace raw {

constexpr size_t kHeaderSize = 36;
constexpr uint16_t kSignature = 0x3142;
constexpr uint16_t kHeaderVersion = 1;
constexpr size_t kLineOverhead = 48;      // record bytes besides the samples
constexpr size_t kSamplesOffset = 16;     // samples start within a record
constexpr size_t kPrevLineFromEnd = 32;   // previous line number, bytes before record end
constexpr size_t kChecksumFromEnd = 28;
constexpr uint16_t kFirstPrevLine = 0xFFFF;

// Header byte offsets.
constexpr size_t kOffSignature = 0, kOffVersion = 2, kOffMode = 4, kOffPlateCode = 5,
                 kOffFlags = 6, kOffSensorVariant = 7, kOffPartNumber = 8, kOffPartCount = 9,
                 kOffOrientation = 10, kOffLineCount = 12, kOffSamples = 16,
                 kOffBitsPerSample = 18, kOffSequence = 20, kOffScanTime = 24;

constexpr uint8_t kFlagTestPattern = 0x01;
constexpr uint8_t kFlagMultiPlatePart = 0x02;

// Samples per line c for a Mode, 0 for an invalid Mode.
constexpr unsigned SamplesForMode(unsigned mode) {
  return mode == 2 ? 1400u : (mode == 0 || mode == 1 || mode == 10) ? 2800u : 0u;
}
// Line record size L = 2c + 48 for a Mode, 0 for an invalid Mode.
constexpr unsigned LineSizeForMode(unsigned mode) {
  return SamplesForMode(mode) ? 2 * SamplesForMode(mode) + kLineOverhead : 0u;
}
// Resolution value R (half the pixels per millimetre of the reconstructed image).
// Every Mode other than 0, 1 and 2 reads as 80, as the reconstruction sizes it.
constexpr double ResolutionForMode(unsigned mode) {
  return mode == 2 ? 15.0 : mode == 0 ? 20.0 : mode == 1 ? 40.0 : 80.0;
}

static_assert(LineSizeForMode(0) == 5648 && LineSizeForMode(2) == 2848, "line sizes");

}  // namespace raw
}  // namespace orvaq
