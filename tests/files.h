// The test kit for files: whole files in and out, a scratch folder per
// test, and a few kinds of test bytes. The same natively and under Wine.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file.h"
#include "testing.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace osin {

namespace fs = std::filesystem;

// The file's bytes; empty when it cannot be read.
inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
inline std::string ReadBytes(const String& path) {
  return ReadBytes(fs::path(path.c_str()));
}

// Writes Bytes as the whole file, making its folders first; false when the
// file cannot be written.
inline bool WriteBytes(const fs::path& path, const std::string& bytes) {
  std::error_code error;
  if (path.has_parent_path()) fs::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  out.close();
  return static_cast<bool>(out);
}
inline bool WriteBytes(const String& path, const std::string& bytes) {
  return WriteBytes(fs::path(path.c_str()), bytes);
}

// The separator of path elements the program's own calls use.
const char kSep = kPathDelimiter;

inline String Join(const String& folder, const String& name) {
  if (!folder.IsEmpty() && folder.Last() == kSep) return folder + name;
  return folder + kSep + name;
}

// Makes Path a sparse file of Size bytes (nothing but the length written).
inline bool MakeSparse(const String& path, int64_t size) {
  FileHandle h = OpenFileHandle(path, kFileWrite, kShareRead, kAttrNormal, kCreateAlways);
  if (!IsOpenFile(h)) return false;
  bool ok = FileSeek(h, size, kSeekFromStart) == size && FileTruncate(h);
  CloseFileHandle(h);
  return ok;
}

// Bytes that differ from position to position, so shifted copies show.
inline std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
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

// A fresh folder of its own for every test, removed afterwards with all it
// holds (read-only entries too).
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    char name[MAX_PATH];
    // Between freeing the unique name and making the folder, a test program
    // running beside this one may take the same name: then try another.
    for (int tries = 0;; ++tries) {
      ASSERT_NE(GetTempFileNameA(temp, "ost", 0, name), 0u);
      DeleteFileA(name);
      if (CreateDirectoryA(name, nullptr)) break;
      ASSERT_LT(tries, 100) << "no scratch folder could be made in " << temp;
    }
#else
    char name[] = "/tmp/osin-test-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
#endif
    dir_ = name;
  }
  void TearDown() override {
    if (dir_.empty()) return;
    std::error_code error;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, error);
    for (auto& e : fs::recursive_directory_iterator(dir_, error))
      fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(dir_, error);
  }

  // The scratch folder, and a name in it, as the program's own paths.
  String Dir() const {
    return String(dir_.string().c_str());
  }
  String Path(const String& name) const {
    return Join(Dir(), name);
  }
  // Saves Bytes as a file in the scratch folder; its path.
  std::string Save(const std::string& bytes, const char* name = "test.rar") {
    WriteBytes(dir_ / name, bytes);
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
