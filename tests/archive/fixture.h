// Shared helpers of the archive tests: a scratch folder per test, files in
// and out, the sample archives, and archives built with the writer.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pack/rar_writer.h"
#include "testing.h"

namespace osin {

namespace fs = std::filesystem;

inline std::string ReadFileBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFileBytes(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

// Deterministic bytes that do not compress.
inline std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  uint32_t x = seed * 2654435761u + 12345;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1664525u + 1013904223u;
    s[i] = char(x >> 24);
  }
  return s;
}

// A Linux path as this program sees it: unchanged natively, on drive Z:
// under Wine.
inline fs::path HostPath(const std::string& linuxPath) {
#if defined(_WIN32)
  return fs::path("Z:" + linuxPath);
#else
  return fs::path(linuxPath);
#endif
}

// The sample archives of the team's shared material (OSIN_SHARED_DIR, set
// for every test by the build).
inline fs::path SamplesDir() {
  const char* shared = getenv("OSIN_SHARED_DIR");
  return HostPath(shared ? shared : "../shared") / "rar-samples";
}

inline std::string Sample(const char* name) {
  return ReadFileBytes(SamplesDir() / name);
}

// 2021-06-15 13:45:30, as DOS date and time.
constexpr uint32_t kSomeDosTime = uint32_t((41 << 9 | 6 << 5 | 15) << 16 | (13 << 11 | 45 << 5 | 15));

inline std::string Archive(std::vector<RarEntry> entries, bool solid = false,
                           const std::string& password = "") {
  return WriteRarArchive(entries.data(), entries.size(), solid, password);
}

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / (std::string("osin-") + info->test_suite_name() + "-" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto& e : fs::recursive_directory_iterator(dir_, ec))
      fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }
  // Saves Bytes as a file in the scratch folder; its path.
  std::string Save(const std::string& bytes, const char* name = "test.rar") {
    WriteFileBytes(dir_ / name, bytes);
    return (dir_ / name).string();
  }
  // Every file and folder below the scratch folder, relative, sorted.
  std::vector<std::string> Tree() {
    std::vector<std::string> all;
    for (auto& e : fs::recursive_directory_iterator(dir_))
      all.push_back(fs::relative(e.path(), dir_).generic_string());
    std::sort(all.begin(), all.end());
    return all;
  }

  fs::path dir_;
};

}  // namespace osin
