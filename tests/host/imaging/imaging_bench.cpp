// Benchmarks of the picture operations and of the reference library, each beside the
// OpenCV operation it is measured against (single thread, same data, same run).
// Arguments: picture width, height, grey (1) or colour (0).
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/Text.h"
#include "imaging/Adjust.h"
#include "imaging/Filters.h"
#include "imaging/GreyBmp.h"
#include "rxfilter/Correction.h"
#include "rxfilter/RXFilter.h"
#include "simulator/Plates.h"

using namespace orvaq::imaging;

namespace {

// A 24-bit picture (OpenCV's BGR layout, continuous rows) with smooth content and noise.
cv::Mat MakePicture(int w, int h, bool grey) {
  cv::Mat m(h, w, CV_8UC3);
  std::mt19937 rng(3);
  for (int y = 0; y < h; ++y) {
    uint8_t* r = m.ptr<uint8_t>(y);
    for (int x = 0; x < w; ++x) {
      const int base = (x * 255 / w + y * 200 / h) % 256;
      for (int c = 0; c < 3; ++c) r[3 * x + c] = uint8_t(std::clamp(base + int(rng() % 41) - 20 + c * 7, 0, 255));
      if (grey) r[3 * x + 1] = r[3 * x + 2] = r[3 * x];
    }
  }
  return m;
}

PictureView View(cv::Mat& m) { return PictureView{m.data, m.cols, m.rows, ptrdiff_t(m.step)}; }

void Sizes(benchmark::internal::Benchmark* b) {
  for (int grey : {1, 0}) {
    b->Args({2800, 1400, grey});
    b->Args({5600, 4400, grey});
  }
  b->Unit(benchmark::kMillisecond);
}

void BM_BoxUnsharp49_Ours(benchmark::State& st) {
  const cv::Mat src = MakePicture(int(st.range(0)), int(st.range(1)), st.range(2));
  for (auto _ : st) {
    cv::Mat work = src.clone();
    BoxUnsharp(View(work), 49);
    benchmark::DoNotOptimize(work.data);
  }
}
void BM_BoxUnsharp49_OpenCV(benchmark::State& st) {
  const cv::Mat src = MakePicture(int(st.range(0)), int(st.range(1)), st.range(2));
  for (auto _ : st) {
    cv::Mat mean, out;
    cv::blur(src, mean, cv::Size(49, 49), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    cv::addWeighted(src, 2.0, mean, -1.0, 0.0, out);
    benchmark::DoNotOptimize(out.data);
  }
}

void BM_MedianGaussianUnsharp_Ours(benchmark::State& st) {
  const cv::Mat src = MakePicture(int(st.range(0)), int(st.range(1)), st.range(2));
  for (auto _ : st) {
    cv::Mat work = src.clone();
    MedianGaussianUnsharp(View(work));
    benchmark::DoNotOptimize(work.data);
  }
}
void BM_MedianGaussianUnsharp_OpenCV(benchmark::State& st) {
  const cv::Mat src = MakePicture(int(st.range(0)), int(st.range(1)), st.range(2));
  cv::Mat k5(5, 5, CV_32F), k17(17, 17, CV_32F);
  for (int i = 0; i < 25; ++i) k5.at<float>(i / 5, i % 5) = float(GaussTable5()[i]) / kGaussDivisor5;
  for (int i = 0; i < 289; ++i) k17.at<float>(i / 17, i % 17) = float(GaussTable17()[i]) / kGaussDivisor17;
  for (auto _ : st) {
    cv::Mat med, b5, b17, out;
    cv::medianBlur(src, med, 3);
    cv::filter2D(med, b5, -1, k5, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
    cv::filter2D(med, b17, -1, k17, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
    // centre + 2 (centre - b5) + 4 (centre - b17) = 7 centre - 2 b5 - 4 b17
    cv::Mat acc;
    cv::addWeighted(med, 7.0, b5, -2.0, 0.0, acc, CV_16S);
    cv::Mat b17s;
    b17.convertTo(b17s, CV_16S);
    cv::scaleAdd(b17s, -4.0, acc, acc);
    acc.convertTo(out, CV_8U);
    benchmark::DoNotOptimize(out.data);
  }
}

void BM_GaussianUnsharp3_Ours(benchmark::State& st) {
  const cv::Mat src = MakePicture(int(st.range(0)), int(st.range(1)), st.range(2));
  for (auto _ : st) {
    cv::Mat work = src.clone();
    GaussianUnsharp(View(work), 60, 3);
    benchmark::DoNotOptimize(work.data);
  }
}
void BM_GaussianUnsharp3_OpenCV(benchmark::State& st) {
  const cv::Mat src = MakePicture(int(st.range(0)), int(st.range(1)), st.range(2));
  for (auto _ : st) {
    cv::Mat plane, blurred, sharp, med, mean;
    cv::extractChannel(src, plane, 0);
    plane.convertTo(plane, CV_64F);
    cv::GaussianBlur(plane, blurred, cv::Size(0, 0), 8.0, 8.0, cv::BORDER_REPLICATE);
    cv::addWeighted(plane, 1 / 0.4, blurred, -0.6 / 0.4, 0.0, sharp, CV_8U);
    cv::medianBlur(sharp, med, 3);
    cv::blur(med, mean, cv::Size(5, 5));
    benchmark::DoNotOptimize(mean.data);
  }
}

void BM_ContrastLuminosity_Ours(benchmark::State& st) {
  const cv::Mat src = MakePicture(int(st.range(0)), int(st.range(1)), st.range(2));
  uint8_t table[256];
  BuildContrastLuminosityTable(20, 30, table);
  for (auto _ : st) {
    cv::Mat work = src.clone();  // the operation works on its copy
    ApplyTable24(View(work), table);
    benchmark::DoNotOptimize(work.data);
  }
}
void BM_Gamma_Ours(benchmark::State& st) {
  const cv::Mat src = MakePicture(int(st.range(0)), int(st.range(1)), st.range(2));
  uint8_t table[256];
  BuildGammaTable(200, table);
  for (auto _ : st) {
    cv::Mat work = src.clone();
    ApplyTable24(View(work), table);
    benchmark::DoNotOptimize(work.data);
  }
}
void BM_Lut_OpenCV(benchmark::State& st) {
  const cv::Mat src = MakePicture(int(st.range(0)), int(st.range(1)), st.range(2));
  cv::Mat lut(1, 256, CV_8U);
  for (int i = 0; i < 256; ++i) lut.at<uint8_t>(i) = uint8_t(255 - i);
  for (auto _ : st) {
    cv::Mat out;
    cv::LUT(src, lut, out);
    benchmark::DoNotOptimize(out.data);
  }
}

void BM_WriteGreyBmp_Ours(benchmark::State& st) {
  const cv::Mat src = MakePicture(int(st.range(0)), int(st.range(1)), st.range(2));
  const std::string path = "/tmp/orvaq_bench_ours.bmp";
  for (auto _ : st) {
    // As the Windows writer does: pieces of about 1 MiB from one buffer, one write each.
    FILE* f = std::fopen(path.c_str(), "wb");
    std::setvbuf(f, nullptr, _IONBF, 0);
    StreamGreyBmpFile(src.data, src.cols, src.rows, ptrdiff_t(src.step), 3, 1016.0f, 1016.0f,
                      [f](const uint8_t* p, size_t n) { return std::fwrite(p, 1, n, f) == n; });
    std::fclose(f);
  }
}
void BM_WriteGreyBmp_OpenCV(benchmark::State& st) {
  const cv::Mat src = MakePicture(int(st.range(0)), int(st.range(1)), st.range(2));
  cv::Mat grey;
  cv::extractChannel(src, grey, 0);
  for (auto _ : st) cv::imwrite("/tmp/orvaq_bench_cv.bmp", grey);
}

void BM_Reduce16To8_Ours(benchmark::State& st) {
  cv::Mat src(int(st.range(1)), int(st.range(0)), CV_16U);
  cv::randu(src, 0, 65535);
  for (auto _ : st) {
    cv::Mat out(src.rows, src.cols, CV_8U);
    orvaq::rxf::HighBytes(src.ptr<uint16_t>(), src.total(), out.data);
    benchmark::DoNotOptimize(out.data);
  }
}
void BM_Reduce16To8_OpenCV(benchmark::State& st) {
  cv::Mat src(int(st.range(1)), int(st.range(0)), CV_16U);
  cv::randu(src, 0, 65535);
  for (auto _ : st) {
    cv::Mat out;
    cv::convertScaleAbs(src, out, 1.0 / 256);
    benchmark::DoNotOptimize(out.data);
  }
}

// The reference library on a 30 MiB raw file (size 3 plate, Mode 10, 8 mm margins).
struct BigPlate {
  std::vector<uint8_t> raw;
  std::wstring path;
  unsigned w = 0, h = 0;
  BigPlate() {
    orvaq::sim::PlateOrder plateOrder;
    plateOrder.size = 3;
    plateOrder.mode = 10;
    plateOrder.marginMm = 8;
    plateOrder.wantIdeal = false;
    orvaq::sim::Plate p;
    orvaq::sim::BuildPlate(plateOrder, p);
    raw = p.raw;
    path = orvaq::FromUtf8("/tmp/orvaq_bench_plate.bin");
    FILE* f = std::fopen("/tmp/orvaq_bench_plate.bin", "wb");
    std::fwrite(raw.data(), 1, raw.size(), f);
    std::fclose(f);
    w = 2 * p.samplesPerLine;
    h = 4 * p.lineCount;
  }
};
BigPlate& Big() {
  static BigPlate b;
  return b;
}

void BM_Memcpy30MiB(benchmark::State& st) {
  const std::vector<uint8_t>& raw = Big().raw;
  std::vector<uint8_t> dst(raw.size());
  for (auto _ : st) {
    std::memcpy(dst.data(), raw.data(), raw.size());
    benchmark::DoNotOptimize(dst.data());
  }
  st.counters["MiB"] = double(raw.size()) / (1 << 20);
}
void BM_FullCorrection30MiB(benchmark::State& st) {
  BigPlate& b = Big();
  std::vector<uint8_t> px8(size_t(b.w) * b.h);
  for (auto _ : st) {
    BufferFinal o8{RXF_TAG_8, uint16_t(b.w), uint16_t(b.h), px8.data()};
    CorrectionParams cp{};
    cp.HorizontalCorrection = 1;
    cp.HorizontalCorrectionFactor = 0.016;
    cp.HorizontalEpsilonCorrection = 0.1f;
    cp.ValeurEtirement = 57000;
    if (LUMEQ2FullCorrection(b.path.c_str(), &o8, &cp) != RXF_OK) st.SkipWithError("correction failed");
    st.counters["pixels"] = double(o8.width) * o8.height;
  }
}
void BM_Filter50OfTheResult(benchmark::State& st) {
  BigPlate& b = Big();
  std::vector<uint8_t> px8(size_t(b.w) * b.h);
  BufferFinal o8{RXF_TAG_8, uint16_t(b.w), uint16_t(b.h), px8.data()};
  CorrectionParams cp{};
  cp.ValeurEtirement = 57000;
  LUMEQ2FullCorrection(b.path.c_str(), &o8, &cp);
  const std::vector<uint8_t> image(px8.begin(), px8.begin() + size_t(o8.width) * o8.height);
  for (auto _ : st) {
    std::vector<uint8_t> work = image;
    FilterImage fi{o8.width, o8.height, o8.width, 8, 1, work.data()};
    FilterParams fp{};
    fp.iterations = 50;
    fp.strength = 0.27;
    fp.strong = 1;
    ApplyLUMEQ2FilterX0X3(&fi, &fp, 0);
  }
}

// OpenCV runs every function on the calling thread (0: no parallel regions at all), so
// the CPU time measured on this thread is all of its work.
struct SingleThread {
  SingleThread() { cv::setNumThreads(0); }
} g_single;

}  // namespace

BENCHMARK(BM_BoxUnsharp49_Ours)->Apply(Sizes);
BENCHMARK(BM_BoxUnsharp49_OpenCV)->Apply(Sizes);
BENCHMARK(BM_MedianGaussianUnsharp_Ours)->Apply(Sizes);
BENCHMARK(BM_MedianGaussianUnsharp_OpenCV)->Apply(Sizes);
BENCHMARK(BM_GaussianUnsharp3_Ours)->Apply(Sizes);
BENCHMARK(BM_GaussianUnsharp3_OpenCV)->Apply(Sizes);
BENCHMARK(BM_ContrastLuminosity_Ours)->Apply(Sizes);
BENCHMARK(BM_Gamma_Ours)->Apply(Sizes);
BENCHMARK(BM_Lut_OpenCV)->Apply(Sizes);
BENCHMARK(BM_WriteGreyBmp_Ours)->Apply(Sizes);
BENCHMARK(BM_WriteGreyBmp_OpenCV)->Apply(Sizes);
BENCHMARK(BM_Reduce16To8_Ours)->Apply(Sizes);
BENCHMARK(BM_Reduce16To8_OpenCV)->Apply(Sizes);
BENCHMARK(BM_Memcpy30MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullCorrection30MiB)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Filter50OfTheResult)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_MAIN();
