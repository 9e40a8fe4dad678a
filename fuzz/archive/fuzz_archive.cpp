// Untrusted archives through the reader: a listing pass, then an extracting
// pass into a scratch folder (with a password, so the ciphers run), then a
// testing pass. Anything written lands in the scratch folder, which is
// emptied after every input; a file outside it is a finding.
#include <stdint.h>
#include <stdio.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "archive/unpack.h"
#include "archive/unrar.h"
#include "platform/fault.h"

namespace fs = std::filesystem;

namespace {

// In memory when the system offers it: creating files on disk costs more
// than everything the reader does with them.
fs::path ScratchBase() {
  return fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
}

struct Scratch {
  fs::path root = ScratchBase() / ("osin-fuzz-archive-" + std::to_string(getpid()));
  fs::path input = root / "input.rar";
  fs::path out = root / "box" / "out";
  Scratch() { fs::create_directories(out); }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

Scratch& Place() {
  static Scratch s;
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Scratch& s = Place();
  {
    std::ofstream f(s.input, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  }
  std::string input = s.input.string();
  {
    osin::TArchive list(input.c_str(), osin::kOpenList);
    while (!list.Eof) list.Process(osin::aoSkip, "", nullptr);
  }
  osin::TakeFault();
  {
    osin::RarReader r;
    if (r.OpenArchiveFile(input.c_str(), osin::kOpenExtract)) {
      osin::TRARHeader h;
      std::string dest = s.out.string();
      for (int i = 0; r.ReadNextFileHeader(h) == 0; ++i)
        r.ProcessEntry(i % 3 == 2 ? osin::aoSkip : osin::aoExtract, dest.c_str(), "", (i & 1) ? "pw" : "",
                       nullptr);
    }
  }
  {
    osin::TArchive test(input.c_str(), osin::kOpenExtract);
    test.SetPassword("password");
    while (!test.Eof)
      if (!test.Process(osin::aoTest, "", nullptr)) test.ReadNext();
  }
  osin::TakeFault();
  // Only the output folder may have gained anything.
  for (auto& e : fs::directory_iterator(s.root / "box"))
    if (e.path() != s.out) __builtin_trap();
  for (auto& e : fs::directory_iterator(s.out)) fs::remove_all(e.path());
  return 0;
}
