// Round trips of the compressor: every archive is extracted by our reader
// (and decoder) and by unar (a RAR reader that is not ours), and both must
// give back the exact bytes.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/unpack.h"
#include "entry_packer.h"
#include "inputs.h"
#include "pack/packer.h"
#include "pack/rar_writer.h"
#include "testing.h"

namespace osin {
namespace {

namespace fs = std::filesystem;
using namespace testinput;

struct Input {
  std::string name;
  std::string data;
};

std::vector<RarEntry> PackEntries(const std::vector<Input>& inputs, int level, Multimedia mm, bool solid,
                                  bool encrypt) {
  EntryPacker packer(level, mm, solid);
  std::vector<RarEntry> entries;
  for (const Input& in : inputs) {
    entries.push_back(packer.Pack(in.name, in.data, 0x50210000));
    entries.back().encrypt = encrypt;
  }
  return entries;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// Extracts every entry of the archive at Path with our reader into Folder.
void ExpectReaderExtracts(const std::string& path, const std::string& folder,
                          const std::vector<Input>& inputs, const std::string& password) {
  RarReader reader;
  ASSERT_TRUE(reader.OpenArchiveFile(path.c_str(), kOpenExtract));
  TRARHeader header;
  for (const Input& in : inputs) {
    ASSERT_EQ(reader.ReadNextFileHeader(header), 0) << in.name;
    std::string out = folder + "/" + in.name;
    EXPECT_EQ(reader.ProcessEntry(aoExtract, nullptr, out.c_str(), password.c_str(), nullptr), kEntryOk)
        << in.name;
    EXPECT_TRUE(ReadFile(out) == in.data) << in.name << " differs after our reader";
  }
  EXPECT_EQ(reader.ReadNextFileHeader(header), -1);
}

// Extracts Archive with unar and with our reader into fresh folders and
// compares every entry.
void ExpectExtracts(const std::string& archive, const std::vector<Input>& inputs,
                    const std::string& password) {
  char folder[] = "/tmp/osin-compress-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  std::string dir = folder;
  {
    std::ofstream f(dir + "/a.rar", std::ios::binary);
    f << archive;
  }
  std::string cmd = "unar -q -f -D -o " + dir + "/out";
  if (!password.empty()) cmd += " -p '" + password + "'";
  cmd += " " + dir + "/a.rar >" + dir + "/log 2>&1";
  int rc = system(cmd.c_str());
  EXPECT_EQ(rc, 0) << ReadFile(dir + "/log");
  for (const Input& in : inputs) {
    std::string out = ReadFile(dir + "/out/" + in.name);
    EXPECT_EQ(out.size(), in.data.size()) << in.name;
    EXPECT_TRUE(out == in.data) << in.name << " differs after unar";
  }
  ASSERT_EQ(mkdir((dir + "/ours").c_str(), 0700), 0);
  ExpectReaderExtracts(dir + "/a.rar", dir + "/ours", inputs, password);
  std::string clean = "rm -rf " + dir;
  EXPECT_EQ(system(clean.c_str()), 0);
}

void RoundTrip(const std::vector<Input>& inputs, int level, Multimedia mm, bool solid,
               const std::string& password = std::string()) {
  SCOPED_TRACE("level " + std::to_string(level) + (solid ? " solid" : "") +
               (password.empty() ? "" : " encrypted"));
  std::vector<RarEntry> entries = PackEntries(inputs, level, mm, solid, !password.empty());
  ExpectExtracts(WriteRarArchive(entries.data(), entries.size(), solid, password), inputs, password);
}

std::vector<Input> Mixed() {
  return {
      {"one.bin", "x"},
      {"empty.bin", ""},
      {"two.bin", "xy"},
      {"repeat.txt", Repetitive(70000)},
      {"random.bin", Random(40000, 7)},
      {"text.txt", Text(150000, 3)},
      {"program.exe", Executable(120000, 5)},
      {"zeros.bin", std::string(200000, '\0')},
      {"mono8.wav", Wave(1, 8, 30000, 1)},
      {"stereo16.wav", Wave(2, 16, 20000, 2)},
  };
}

TEST(CompressRoundTrip, EveryLevelNonSolidAndSolid) {
  std::vector<Input> inputs = Mixed();
  for (int level = 1; level <= 5; ++level) {
    RoundTrip(inputs, level, Multimedia::kAuto, false);
    RoundTrip(inputs, level, Multimedia::kAuto, true);
  }
}

TEST(CompressRoundTrip, MultimediaOffAndForced) {
  std::vector<Input> inputs = {{"stereo8.wav", Wave(2, 8, 40000, 4)},
                               {"mono16.wav", Wave(1, 16, 30000, 5)},
                               {"text.txt", Text(30000, 9)},
                               {"quad.wav", Wave(4, 8, 20000, 6)}};
  for (Multimedia mm : {Multimedia::kOff, Multimedia::kForce}) {
    RoundTrip(inputs, 3, mm, false);
    RoundTrip(inputs, 3, mm, true);
  }
}

TEST(CompressRoundTrip, EncryptedEntries) {
  std::vector<Input> inputs = Mixed();
  RoundTrip(inputs, 3, Multimedia::kAuto, false, "secret");
  RoundTrip(inputs, 5, Multimedia::kAuto, true, "pass word");
}

TEST(CompressRoundTrip, AcrossTheWindowAndTheHandOver) {
  // A block that comes back just inside and just outside the 1 MB window,
  // entries whose sizes straddle the 64 KB output hand-over, and a solid
  // sequence whose later entries match far back into earlier ones.
  std::string block = Random(4096, 11);
  std::string far = block + Random(0x100000 - 4096 - 10, 12) + block + Random(20, 13) + block;
  std::vector<Input> inputs = {{"far.bin", far}};
  for (size_t size : {65535u, 65536u, 65537u, 131072u + 1}) {
    inputs.push_back({"handover" + std::to_string(size) + ".bin", Text(size, static_cast<uint32_t>(size))});
  }
  inputs.push_back({"again.bin", far.substr(0, 300000)});
  RoundTrip(inputs, 1, Multimedia::kAuto, true);
  RoundTrip(inputs, 5, Multimedia::kAuto, true);
  RoundTrip(inputs, 3, Multimedia::kAuto, false);
}

TEST(CompressRoundTrip, ManyGeneratedInputs) {
  // Short inputs of every kind and many sizes, in one solid sequence and
  // one by one; short entries stress the table choices most.
  std::vector<Input> inputs;
  for (uint32_t i = 0; i < 60; ++i) {
    size_t size = (i * 7919u) % 5000;
    std::string data;
    switch (i % 4) {
      case 0:
        data = Random(size, i);
        break;
      case 1:
        data = Text(size, i);
        break;
      case 2:
        data = Executable(size, i);
        break;
      default:
        data = Wave(1 + i % 2, i % 3 ? 8 : 16, size / 2, i);
    }
    inputs.push_back({"g" + std::to_string(i) + ".bin", data});
  }
  for (int level : {2, 4}) {
    RoundTrip(inputs, level, Multimedia::kAuto, true);
    RoundTrip(inputs, level, Multimedia::kForce, false);
  }
}

// Files are read and packed piece by piece, never whole: the archive must
// be the one packed from the files held in memory. A text spans two of the
// compressor's 4 MB pieces, a sound keeps its format after a chunk that
// reaches into the second piece, and the noise that ends the archive is
// stored once its packed form proves longer (nothing of it may stay behind
// the archive's end).
TEST(Compress, FilesStreamedGiveTheArchivePackedInMemory) {
  std::string wave = Wave(2, 16, 60000, 31);
  std::string pad = Repetitive(4300000);
  auto le32 = [](size_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  std::string late = wave.substr(0, 36) + "LIST" + le32(pad.size()) + pad + wave.substr(36);
  late.replace(4, 4, le32(late.size() - 8));
  std::vector<Input> inputs = {{"empty.bin", ""},
                               {"late.wav", late},
                               {"text.txt", Text(4300000, 32)},
                               {"zz-noise.bin", Random(70000, 33)}};
  char folder[] = "/tmp/osin-stream-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  std::string dir = folder;
  for (const Input& in : inputs) std::ofstream(dir + "/" + in.name, std::ios::binary) << in.data;
  struct Run {
    int level;
    bool solid;
    std::string password;
  };
  for (const Run& run : {Run{3, false, "pass word"}, Run{1, true, ""}}) {
    SCOPED_TRACE("level " + std::to_string(run.level) + (run.solid ? " solid" : ""));
    std::vector<SourceFile> files = GatherFiles(dir, "", 437);
    for (SourceFile& f : files) f.encrypt = true;
    ArchiveOptions options;
    options.solid = run.solid;
    options.password = run.password;
    CompressedPacking packing(run.level, Multimedia::kAuto, run.solid);
    std::string path = dir + ".rar";
    WriteAtomically(path, [&](std::ostream& out) { WriteArchive(files, options, packing, out); });
    // The same entries packed from memory, with the times and attributes
    // the files gave.
    RarReader reader;
    ASSERT_TRUE(reader.OpenArchiveFile(path.c_str(), kOpenList));
    EntryPacker packer(run.level, Multimedia::kAuto, run.solid);
    std::vector<RarEntry> entries;
    TRARHeader h;
    for (const Input& in : inputs) {
      ASSERT_EQ(reader.ReadNextFileHeader(h), 0);
      entries.push_back(packer.Pack(in.name, in.data, h.ModTime, h.Attributes));
      entries.back().encrypt = !run.password.empty();
      reader.ProcessEntry(aoSkip, nullptr, nullptr, nullptr, nullptr);
    }
    reader.CloseArchiveFile();
    std::string streamed = ReadFile(path);
    EXPECT_TRUE(streamed == WriteRarArchive(entries.data(), entries.size(), run.solid, run.password))
        << "the streamed archive differs (" << streamed.size() << " bytes)";
    if (!run.solid) {
      EXPECT_EQ(entries.back().method, kMethodStored);
    }
    ExpectExtracts(streamed, inputs, run.password);
    fs::remove(path);
  }
  fs::remove_all(dir);
}

TEST(Compress, SameInputSameBytes) {
  std::vector<Input> inputs = Mixed();
  for (int level : {1, 3, 5}) {
    std::vector<RarEntry> a = PackEntries(inputs, level, Multimedia::kAuto, true, false);
    std::vector<RarEntry> b = PackEntries(inputs, level, Multimedia::kAuto, true, false);
    for (size_t i = 0; i < a.size(); ++i)
      EXPECT_TRUE(a[i].packed == b[i].packed) << level << " " << inputs[i].name;
  }
}

TEST(Compress, LevelsAndAudioModePay) {
  std::string text = Text(300000, 21);
  size_t fast = Rar20Encoder(1, Multimedia::kAuto)
                    .Pack(reinterpret_cast<const uint8_t*>(text.data()), text.size(), false)
                    .size();
  size_t best = Rar20Encoder(5, Multimedia::kAuto)
                    .Pack(reinterpret_cast<const uint8_t*>(text.data()), text.size(), false)
                    .size();
  EXPECT_LT(best, fast);
  EXPECT_LT(best, text.size() / 4);
  std::string wave = Wave(2, 16, 50000, 22);
  const uint8_t* w = reinterpret_cast<const uint8_t*>(wave.data());
  size_t lz = Rar20Encoder(3, Multimedia::kOff).Pack(w, wave.size(), false).size();
  size_t audio = Rar20Encoder(3, Multimedia::kAuto).Pack(w, wave.size(), false).size();
  EXPECT_LT(audio, lz * 9 / 10);
}

}  // namespace
}  // namespace osin
