// The five ways OrvaqRbld2 turns its 16-bit image so that the ".raw" lies as the
// picture is seen: the transposition and the flip of the orientation step, and the
// preview's quarter turns and mirrors. Each works on the record's own buffer with at
// most one image-sized scratch block (rotations) or one row (mirrors), and keeps the
// record's width and height in step. False (image untouched) when the scratch block
// cannot be had or the record is empty.
#pragma once

#include "rxfilter/RXFilter.h"

namespace orvaq {
namespace rebuild {

// new[r][c] = old[c][r]; width and height exchanged.
bool Transpose16(BufferFinal16& image);
// Quarter turn counter-clockwise: new[r][c] = old[c][W-1-r]; width and height exchanged.
bool RotateCounterClockwise16(BufferFinal16& image);
// Quarter turn clockwise: new[r][c] = old[H-1-c][r]; width and height exchanged.
bool RotateClockwise16(BufferFinal16& image);
// Every row reversed.
bool MirrorLeftRight16(BufferFinal16& image);
// Rows i and H-1-i exchanged for i < H/2 (an odd middle row stays).
bool MirrorTopBottom16(BufferFinal16& image);

}  // namespace rebuild
}  // namespace orvaq
