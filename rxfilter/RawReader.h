// Reader and validator of the raw acquisition file for the reference filter library:
// takes the file's bytes, checks the header, every line record's numbers and checksum,
// and the length, and hands back the samples as one plane. Never reads out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvaq {
namespace rxf {

enum class RawError {
  None,
  TooShort,       // shorter than the header plus one line record
  Signature,      // not "B1" or unknown header version
  Mode,           // Mode outside 0, 1, 2, 10
  Geometry,       // samples per line or bits per sample do not match the Mode
  Truncated,      // the length is not the header plus whole line records
  TooManyLines,   // more lines than a 16-bit image height can hold (4 rows a line)
  LineNumber,     // a record's own number or its previous-line number is wrong
  Checksum,       // a record's sample sum does not match
};

struct RawHeader {
  uint8_t mode = 0, plateCode = 4, flags = 0, sensorVariant = 0;
  uint8_t partNumber = 0, partCount = 0, orientation = 0;
  uint32_t lineCount = 0, sequence = 0, scanTime = 0;
  uint16_t samples = 0, bitsPerSample = 0;
};

struct RawScan {
  RawHeader header;
  unsigned samples = 0;        // c
  unsigned lines = 0;          // n
  double resolution = 0;       // R: the image has 2R pixels per millimetre
  std::vector<uint16_t> data;  // n x c samples, line after line
  uint16_t At(unsigned line, unsigned sample) const { return data[size_t(line) * samples + sample]; }
};

// Largest line count whose image (4 rows per line in the callers' buffers) fits 16 bits.
constexpr unsigned kMaxLines = 65535 / 4;

// Reads only the 36-byte header (no length or line checks).
RawError ReadRawHeader(const uint8_t* data, size_t size, RawHeader& header);
// Reads and checks the whole file. On an error `scan` is left empty.
RawError ReadRaw(const uint8_t* data, size_t size, RawScan& scan);

}  // namespace rxf
}  // namespace orvaq
