// Mutation driver for the parser fuzz targets when libFuzzer is not used: feeds the
// target every seed file, then a bounded number of mutated inputs from a fixed random
// sequence (so a failure reproduces). Arguments: -runs=N, then seed files or folders;
// a single file argument without -runs replays that input alone. -write_seeds=DIR writes
// the seeds a target builds in code into DIR, one file each, for the libFuzzer corpus.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Targets may provide extra seeds built in code (for formats easier to make than to ship).
extern "C" __attribute__((weak)) void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds);

namespace {

std::vector<uint8_t> ReadFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

void Mutate(std::vector<uint8_t>& d, std::mt19937& rng) {
  const int steps = 1 + static_cast<int>(rng() % 4);
  for (int s = 0; s < steps; ++s) {
    switch (rng() % 7) {
      case 0:  // flip a bit
        if (!d.empty()) d[rng() % d.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
      case 1:  // set a byte to an interesting value
        if (!d.empty()) {
          static const uint8_t v[] = {0, 1, 0x7F, 0x80, 0xFF, ';', '=', '%', '\\', '"', '/'};
          d[rng() % d.size()] = v[rng() % sizeof v];
        }
        break;
      case 2:  // insert random bytes
        d.insert(d.begin() + (d.empty() ? 0 : rng() % (d.size() + 1)), 1 + rng() % 8,
                 static_cast<uint8_t>(rng()));
        break;
      case 3:  // erase a run
        if (!d.empty()) {
          size_t at = rng() % d.size();
          size_t n = 1 + rng() % std::min<size_t>(16, d.size() - at);
          d.erase(d.begin() + at, d.begin() + at + n);
        }
        break;
      case 4:  // truncate
        if (!d.empty()) d.resize(rng() % d.size());
        break;
      case 5:  // overwrite a 16/32-bit field with an extreme
        if (d.size() >= 4) {
          size_t at = rng() % (d.size() - 3);
          uint32_t v = (rng() % 2) ? 0xFFFFFFFFu : static_cast<uint32_t>(rng());
          std::memcpy(&d[at], &v, (rng() % 2) ? 2 : 4);
        }
        break;
      default:  // duplicate a run
        if (!d.empty() && d.size() < 1 << 20) {
          size_t at = rng() % d.size();
          size_t n = 1 + rng() % std::min<size_t>(64, d.size() - at);
          std::vector<uint8_t> run(d.begin() + at, d.begin() + at + n);
          d.insert(d.begin() + at, run.begin(), run.end());
        }
        break;
    }
  }
}

// Seeds built in code, written under a name from their content (FNV-1a) so that writing
// them again changes nothing.
int WriteSeeds(const std::filesystem::path& dir) {
  std::vector<std::vector<uint8_t>> seeds;
  if (OrvaqFuzzSeeds) OrvaqFuzzSeeds(&seeds);
  std::filesystem::create_directories(dir);
  for (const auto& s : seeds) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (uint8_t b : s) h = (h ^ b) * 0x100000001B3ull;
    char name[32];
    std::snprintf(name, sizeof name, "seed-%016llx", static_cast<unsigned long long>(h));
    std::ofstream f(dir / name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(s.data()), static_cast<std::streamsize>(s.size()));
    if (!f) {
      std::fprintf(stderr, "cannot write %s\n", (dir / name).string().c_str());
      return 1;
    }
  }
  std::printf("%zu seeds written to %s\n", seeds.size(), dir.string().c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  long runs = -1;
  std::vector<std::vector<uint8_t>> seeds;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "-runs=", 6) == 0) {
      runs = std::atol(argv[i] + 6);
      continue;
    }
    if (std::strncmp(argv[i], "-write_seeds=", 13) == 0) return WriteSeeds(argv[i] + 13);
    std::filesystem::path p(argv[i]);
    if (std::filesystem::is_directory(p)) {
      for (auto& e : std::filesystem::directory_iterator(p))
        if (e.is_regular_file()) seeds.push_back(ReadFile(e.path()));
    } else if (std::filesystem::exists(p)) {
      seeds.push_back(ReadFile(p));
    }
  }
  if (runs < 0 && seeds.size() == 1) {  // replay one input
    LLVMFuzzerTestOneInput(seeds[0].data(), seeds[0].size());
    return 0;
  }
  if (runs < 0) runs = 10000;
  if (OrvaqFuzzSeeds) OrvaqFuzzSeeds(&seeds);
  seeds.push_back({});
  for (auto& s : seeds) LLVMFuzzerTestOneInput(s.data(), s.size());

  std::mt19937 rng(0x0DA7A5EEDu);
  std::vector<uint8_t> input;
  for (long r = 0; r < runs; ++r) {
    input = seeds[rng() % seeds.size()];
    if (rng() % 16 == 0) {  // now and then a purely random input
      input.resize(rng() % 512);
      for (auto& b : input) b = static_cast<uint8_t>(rng());
    }
    Mutate(input, rng);
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::printf("%ld inputs, %zu seeds: no fault\n", runs + static_cast<long>(seeds.size()), seeds.size());
  return 0;
}
