// A scratch folder per test, removed afterwards, and small file helpers that
// work the same natively and under Wine.
#pragma once

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "platform/file.h"
#include "testing.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace osin {

#ifdef _WIN32
const char kSep = '\\';
#else
const char kSep = '/';
#endif

inline String Join(const String& folder, const String& name) {
  if (!folder.IsEmpty() && folder.Last() == kSep) return folder + name;
  return folder + kSep + name;
}

inline bool WriteBytes(const String& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

inline std::string ReadBytes(const String& path) {
  std::string bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.append(buffer, n);
  fclose(f);
  return bytes;
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

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    char name[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(temp, "ost", 0, name), 0u);
    DeleteFileA(name);
    ASSERT_TRUE(CreateDirectoryA(name, nullptr));
    dir_ = name;
#else
    char name[] = "/tmp/osin-test-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
#endif
  }
  void TearDown() override {
    if (!dir_.IsEmpty()) DeleteTree(dir_, true);
  }
  String Path(const String& name) const {
    return Join(dir_, name);
  }

  String dir_;
};

}  // namespace osin
