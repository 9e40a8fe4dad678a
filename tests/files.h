// Whole files in and out, for tests that prepare folders and compare results.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace osin {

// The file's bytes; empty when it cannot be read.
inline std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Writes Bytes as the whole file, making its folders first.
inline void Put(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace osin
