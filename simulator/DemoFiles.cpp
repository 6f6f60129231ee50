// lumeq2-demo-raw: writes the demonstration raw files that the acquisition program's
// demonstration mode reads beside it: rawimage_0/1/2/10.bin (a phantom on a size-1
// plate at each Mode) and rawimageT4_1..3.bin (the three parts of a three-plate set).
// Built for the host, also inside the Windows builds (see CMakeLists.txt).
#include <cstdio>
#include <string>

#include "simulator/Plates.h"

namespace {

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvaq::sim;
  if (argc != 2) {
    std::fprintf(stderr, "usage: lumeq2-demo-raw OUTPUT_FOLDER\n");
    return 2;
  }
  std::string dir = argv[1];
  struct Job { std::string name; PlateOrder plateOrder; };
  std::vector<Job> jobs;
  const unsigned modes[] = {0, 1, 2, 10};
  for (unsigned mode : modes) {
    PlateOrder s;
    s.size = 1;
    s.mode = mode;
    s.seed = 100 + mode;
    jobs.push_back({"rawimage_" + std::to_string(mode) + ".bin", s});
  }
  for (int part = 1; part <= 3; ++part) {
    PlateOrder s;
    s.kind = PlateKind::MultiPart;
    s.size = 3;
    s.mode = 0;
    s.partCount = 3;
    s.partNumber = part;
    s.seed = 200 + part;
    jobs.push_back({"rawimageT4_" + std::to_string(part) + ".bin", s});
  }
  for (Job& job : jobs) {
    job.plateOrder.wantIdeal = false;
    Plate p;
    std::string path = dir + "/" + job.name;
    if (!BuildPlate(job.plateOrder, p) || !Write(path, p.raw)) {
      std::fprintf(stderr, "lumeq2-demo-raw: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
