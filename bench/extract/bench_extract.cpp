// Extraction speed of a stored archive: osin-pack extract against unar on
// the benchmark corpus, both into a fresh temporary folder, measured in the
// same run, alternating, median of several rounds. Prints the times and the
// ratio unar / osin-pack (above 1.0: osin-pack is faster).
//
//   bench_extract [ROUNDS]
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

int Sh(const std::string& command) {
  int rc = std::system(command.c_str());
  return rc;
}

double Seconds(const std::string& command) {
  auto start = std::chrono::steady_clock::now();
  int rc = Sh(command);
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (rc != 0) {
    fprintf(stderr, "bench_extract: failed: %s\n", command.c_str());
    exit(1);
  }
  return s;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Bytes and number of the corpus files (its MANIFEST aside).
uint64_t TreeBytes(const fs::path& root, unsigned& files) {
  uint64_t n = 0;
  files = 0;
  for (auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file() || e.path().filename() == "MANIFEST") continue;
    n += e.file_size();
    ++files;
  }
  return n;
}

fs::path CorpusScript() {
  fs::path p = fs::path(OSIN_SHARED_DIR) / "corpus" / "make-corpus.py";
  if (fs::exists(p)) return p;
  fprintf(stderr, "bench_extract: %s not found (set OSIN_SHARED_DIR)\n", p.string().c_str());
  exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 5;
  if (rounds < 1) rounds = 1;
  fs::path work = fs::path(OSIN_BUILD_DIR) / "bench" / "extract-work";
  fs::path corpus = fs::path(OSIN_BUILD_DIR) / "bench" / "corpus";
  fs::create_directories(work);
  if (!fs::exists(corpus / "MANIFEST") &&
      Sh("python3 '" + CorpusScript().string() + "' '" + corpus.string() + "' >/dev/null") != 0) {
    fprintf(stderr, "bench_extract: building the corpus failed\n");
    return 1;
  }
  fs::path archive = work / "corpus-stored.rar";
  std::string pack = OSIN_PACK;
  Seconds("'" + pack + "' archive '" + corpus.string() + "' -o '" + archive.string() + "' >/dev/null");
  unsigned files = 0;
  uint64_t bytes = TreeBytes(corpus, files);

  std::vector<double> osin, unar;
  fs::path out = work / "out";
  for (int i = 0; i < rounds; ++i) {
    fs::remove_all(out);
    osin.push_back(
        Seconds("'" + pack + "' extract '" + archive.string() + "' -o '" + out.string() + "' >/dev/null"));
    if (i == 0 &&
        Sh("diff -r -q -x MANIFEST '" + corpus.string() + "' '" + out.string() + "' >/dev/null") != 0) {
      fprintf(stderr, "bench_extract: osin-pack's output differs from the corpus\n");
      return 1;
    }
    fs::remove_all(out);
    unar.push_back(
        Seconds("unar -q -D -o '" + out.string() + "' '" + archive.string() + "' >/dev/null 2>&1"));
  }
  fs::remove_all(out);
  double o = Median(osin), u = Median(unar);
  double mb = double(bytes) / 1e6;
  printf("extract stored corpus: %.1f MB in %u files, median of %d rounds\n", mb, files, rounds);
  printf("  osin-pack extract  %7.3f s  %7.1f MB/s\n", o, mb / o);
  printf("  unar               %7.3f s  %7.1f MB/s\n", u, mb / u);
  printf("  ratio unar/osin-pack: %.2f (goal >= 1.0: %s)\n", u / o, u / o >= 1.0 ? "met" : "MISSED");
  return 0;
}
