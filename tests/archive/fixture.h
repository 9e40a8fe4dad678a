// Shared helpers of the archive tests: the sample archives and archives
// built with the writer (scratch folders and files come from the kit).
#pragma once

#include <stdlib.h>

#include <string>
#include <vector>

#include "files.h"
#include "pack/rar_writer.h"

namespace osin {

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
  return ReadBytes(SamplesDir() / name);
}

// 2021-06-15 13:45:30, as DOS date and time.
constexpr uint32_t kSomeDosTime = uint32_t((41 << 9 | 6 << 5 | 15) << 16 | (13 << 11 | 45 << 5 | 15));

inline std::string Archive(std::vector<RarEntry> entries, bool solid = false,
                           const std::string& password = "") {
  return WriteRarArchive(entries.data(), entries.size(), solid, password);
}

}  // namespace osin
