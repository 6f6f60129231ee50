// Raw acquisition file reader of the reference filter library (layout: common/RawFormat.h).
#include "rxfilter/RawReader.h"

#include "common/ByteReader.h"
#include "common/RawFormat.h"

namespace orvaq {
namespace rxf {

using namespace orvaq;

RawError ReadRawHeader(const uint8_t* data, size_t size, RawHeader& h) {
  if (!data || size < raw::kHeaderSize) return RawError::TooShort;
  CByteReader r(data, size);
  const uint16_t signature = r.U16();
  const uint16_t version = r.U16();
  h.mode = r.U8();
  h.plateCode = r.U8();
  h.flags = r.U8();
  h.sensorVariant = r.U8();
  h.partNumber = r.U8();
  h.partCount = r.U8();
  h.orientation = r.U8();
  r.U8();
  h.lineCount = r.U32();
  h.samples = r.U16();
  h.bitsPerSample = r.U16();
  h.sequence = r.U32();
  h.scanTime = r.U32();
  if (!r.Ok()) return RawError::TooShort;
  if (signature != raw::kSignature || version != raw::kHeaderVersion) return RawError::Signature;
  if (raw::SamplesForMode(h.mode) == 0) return RawError::Mode;
  if (h.samples != raw::SamplesForMode(h.mode) || h.bitsPerSample != 16) return RawError::Geometry;
  return RawError::None;
}

RawError ReadRaw(const uint8_t* data, size_t size, RawScan& scan) {
  scan = RawScan();
  RawHeader h;
  RawError e = ReadRawHeader(data, size, h);
  if (e != RawError::None) return e;
  const size_t c = h.samples;
  const size_t L = raw::LineSizeForMode(h.mode);
  const size_t body = size - raw::kHeaderSize;
  if (body < L) return RawError::TooShort;
  if (body % L != 0) return RawError::Truncated;
  const size_t n = body / L;
  if (n > kMaxLines) return RawError::TooManyLines;

  std::vector<uint16_t> plane(n * c);
  for (size_t k = 0; k < n; ++k) {
    const uint8_t* rec = data + raw::kHeaderSize + k * L;
    CByteReader r(rec, L);
    const uint16_t number = r.U16();
    if (number != uint16_t(k)) return RawError::LineNumber;
    r.Seek(L - raw::kPrevLineFromEnd);
    const uint16_t prev = r.U16();
    r.U16();
    const uint32_t checksum = r.U32();
    const uint16_t wantPrev = k == 0 ? raw::kFirstPrevLine : uint16_t(k - 1);
    if (prev != wantPrev) return RawError::LineNumber;
    const uint8_t* s = rec + raw::kSamplesOffset;
    uint16_t* out = &plane[k * c];
    uint32_t sum = 0;
    for (size_t i = 0; i < c; ++i) {
      const uint16_t v = uint16_t(s[2 * i] | (s[2 * i + 1] << 8));
      out[i] = v;
      sum += v;
    }
    if (sum != checksum) return RawError::Checksum;
  }
  scan.header = h;
  scan.samples = unsigned(c);
  scan.lines = unsigned(n);
  scan.resolution = raw::ResolutionForMode(h.mode);
  scan.data.swap(plane);
  return RawError::None;
}

}  // namespace rxf
}  // namespace orvaq
