// The 16-bit transforms on small images of odd and even sizes, against the index rules
// written out per pixel, and the preview's round trips.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "rebuild/Image16Transforms.h"

using namespace orvaq::rebuild;

namespace {

struct Img {
  std::vector<uint16_t> px;
  BufferFinal16 rec{};
  Img(int w, int h) : px(size_t(w) * h) {
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint16_t(i * 7 + 1);
    rec = BufferFinal16{0, uint16_t(w), uint16_t(h), px.data()};
  }
  uint16_t At(int r, int c) const { return px[size_t(r) * rec.width + c]; }
};

using Transform = bool (*)(BufferFinal16&);
// old(r, c) index expected at new pixel (r, c) for an old W x H image.
using Rule = std::function<uint16_t(const Img& old, int r, int c)>;

}  // namespace

TEST(Image16Transforms, IndexRules) {
  struct Row { const char* name; Transform f; bool swaps; Rule rule; };
  const Row rows[] = {
      {"transpose", Transpose16, true, [](const Img& o, int r, int c) { return o.At(c, r); }},
      {"ccw", RotateCounterClockwise16, true,
       [](const Img& o, int r, int c) { return o.At(c, o.rec.width - 1 - r); }},
      {"cw", RotateClockwise16, true, [](const Img& o, int r, int c) { return o.At(o.rec.height - 1 - c, r); }},
      {"mirror lr", MirrorLeftRight16, false,
       [](const Img& o, int r, int c) { return o.At(r, o.rec.width - 1 - c); }},
      {"mirror tb", MirrorTopBottom16, false,
       [](const Img& o, int r, int c) { return o.At(o.rec.height - 1 - r, c); }},
  };
  const int sizes[][2] = {{1, 1}, {3, 5}, {4, 4}, {5, 2}, {7, 3}};
  for (const Row& row : rows)
    for (const auto& s : sizes) {
      const Img old(s[0], s[1]);
      Img img(s[0], s[1]);
      ASSERT_TRUE(row.f(img.rec)) << row.name;
      const int nw = row.swaps ? s[1] : s[0], nh = row.swaps ? s[0] : s[1];
      ASSERT_EQ(img.rec.width, nw) << row.name << " " << s[0] << "x" << s[1];
      ASSERT_EQ(img.rec.height, nh) << row.name << " " << s[0] << "x" << s[1];
      for (int r = 0; r < nh; ++r)
        for (int c = 0; c < nw; ++c)
          ASSERT_EQ(img.At(r, c), row.rule(old, r, c)) << row.name << " " << s[0] << "x" << s[1] << " at " << r << "," << c;
    }
}

TEST(Image16Transforms, TwoClockwiseTurnsAreAHalfTurn) {
  // The preview's edge case at a small scale: 14 x 9 turned twice is the same size, upside down.
  const Img old(14, 9);
  Img img(14, 9);
  ASSERT_TRUE(RotateClockwise16(img.rec));
  ASSERT_TRUE(RotateClockwise16(img.rec));
  ASSERT_EQ(img.rec.width, 14);
  ASSERT_EQ(img.rec.height, 9);
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < 14; ++c) ASSERT_EQ(img.At(r, c), old.At(8 - r, 13 - c));
  ASSERT_TRUE(RotateCounterClockwise16(img.rec));
  ASSERT_TRUE(RotateCounterClockwise16(img.rec));
  EXPECT_EQ(img.px, old.px);
}

TEST(Image16Transforms, AnEmptyRecordIsLeftAlone) {
  BufferFinal16 none{0, 0, 5, nullptr};
  std::vector<uint16_t> px(4);
  BufferFinal16 zeroWide{0, 0, 4, px.data()};
  for (Transform f : {Transpose16, RotateClockwise16, RotateCounterClockwise16, MirrorLeftRight16, MirrorTopBottom16}) {
    EXPECT_FALSE(f(none));
    EXPECT_FALSE(f(zeroWide));
    EXPECT_EQ(zeroWide.height, 4);
  }
}
