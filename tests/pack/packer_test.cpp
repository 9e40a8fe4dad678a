// The packer's own pieces on both systems (natively and under Wine): names
// gathered in OEM code page and sorted, archives read back by TArchive.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "archive/unrar.h"
#include "files.h"
#include "pack/compress/entry_packer.h"
#include "pack/oem.h"
#include "pack/packer.h"
#include "platform/fault.h"
#include "testing.h"

namespace fs = std::filesystem;

namespace osin {
namespace {

class Packer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           (std::string("osin-packer-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(Packer, OemNamesWithBackslashesAndRefusedCharacters) {
  std::string name;
  ASSERT_TRUE(ToOemName(fs::u8path(u8"Sub") / fs::u8path(u8"caf\u00e9.txt"), 437, name));
  EXPECT_EQ(name, "Sub\\caf\x82.txt");
  // O with stroke is in code page 850 but not in 437.
  ASSERT_TRUE(ToOemName(fs::u8path(u8"\u00d8.txt"), 850, name));
  EXPECT_EQ(name, "\x9d.txt");
  EXPECT_FALSE(ToOemName(fs::u8path(u8"\u00d8.txt"), 437, name));
  EXPECT_FALSE(ToOemName(fs::u8path(u8"\u20ac.txt"), 437, name));
}

TEST_F(Packer, GatheredFilesSortByteWiseAndReadBackInThatOrder) {
  WriteBytes(dir_ / "src" / "b.txt", "b");
  WriteBytes(dir_ / "src" / "B" / "z.txt", "Bz");
  WriteBytes(dir_ / "src" / "a" / "c.txt", "ac");
  fs::create_directories(dir_ / "src" / "emptydir");
  std::vector<SourceFile> files = GatherFiles(dir_ / "src", "Data\\", 437);
  std::vector<std::string> names;
  for (auto& f : files) names.push_back(f.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Data\\B\\z.txt", "Data\\a\\c.txt", "Data\\b.txt"}));

  std::string archive = (dir_ / "out.rar").string();
  StoredPacking packer;
  WriteAtomically(archive, [&](std::ostream& out) { WriteArchive(files, ArchiveOptions(), packer, out); });
  TArchive a(archive.c_str(), kOpenExtract);
  ASSERT_TRUE(a.IsOpen());
  std::vector<std::string> read;
  while (!a.Eof) {
    read.push_back(ToStd(a.Header.EntryName));
    ASSERT_TRUE(a.Process(aoTest, "", nullptr)) << read.back();
  }
  EXPECT_EQ(read, names);
}

TEST_F(Packer, FailedProductionLeavesTheTargetAlone) {
  fs::path target = dir_ / "t.rar";
  WriteBytes(target, "before");
  EXPECT_THROW(WriteAtomically(target, [](std::ostream&) { throw PackError("stop"); }), PackError);
  EXPECT_EQ(ReadBytes(target), "before");
  EXPECT_FALSE(fs::exists(dir_ / "t.rar.osin-tmp"));
  EXPECT_THROW(GatherFiles(dir_ / "missing", "", 437), PackError);
  // The output ends where the writing ended: bytes left behind by an entry
  // stored after a longer packed attempt belong to no entry.
  WriteAtomically(target, [](std::ostream& out) {
    out << "0123456789";
    out.seekp(4);
  });
  EXPECT_EQ(ReadBytes(target), "0123");
}

// A large file moves the progress while it is read, not only once done.
TEST_F(Packer, ProgressMovesWithinAFile) {
  WriteBytes(dir_ / "src" / "a.txt", "0123456789");
  WriteBytes(dir_ / "src" / "big.bin", Pattern(5 << 20));
  std::vector<SourceFile> files = GatherFiles(dir_ / "src", "", 437);
  ArchiveOptions options;
  std::vector<uint64_t> within;
  options.progress = [&](const PackProgress& p) {
    EXPECT_EQ(p.count, 2u);
    EXPECT_EQ(p.total, 10u + (5 << 20));
    EXPECT_EQ(p.done, (p.index == 2 ? 10u : 0u) + p.fileDone);
    if (p.index == 2) {
      EXPECT_EQ(p.fileSize, 5u << 20);
      EXPECT_EQ(p.name, "big.bin");
      within.push_back(p.fileDone);
    }
  };
  StoredPacking packer;
  WriteAtomically(dir_ / "out.rar", [&](std::ostream& out) { WriteArchive(files, options, packer, out); });
  ASSERT_GE(within.size(), 4u);
  EXPECT_EQ(within.front(), 0u);
  EXPECT_EQ(within.back(), 5u << 20);
  EXPECT_TRUE(std::is_sorted(within.begin(), within.end()));
}

// A file that grows or shrinks between being opened and read (changed
// where the progress first hears of it) gets an entry of exactly the bytes
// read, compressed, stored after a compression that would not shrink it,
// or in a solid run, and a warning naming it and both sizes.
TEST_F(Packer, AFileThatChangesSizeWhilePackedIsWarnedOfAndKeepsWhatWasRead) {
  struct Change {
    std::string name, before, after;
  };
  const std::vector<Change> changes = {{"grew.txt", Pattern(1000), Pattern(300000)},
                                       {"noise.bin", Noise(1000, 7), Noise(5000, 7)},
                                       {"same.txt", Pattern(700), Pattern(700)},
                                       {"shrank.txt", Pattern(90000), Pattern(2000)}};
  for (bool solid : {false, true}) {
    for (const Change& c : changes) WriteBytes(dir_ / "src" / c.name, c.before);
    std::vector<SourceFile> files = GatherFiles(dir_ / "src", "", 437);
    ASSERT_EQ(files.size(), changes.size());
    ArchiveOptions options;
    options.solid = solid;
    options.progress = [&](const PackProgress& p) {
      const Change& c = changes[p.index - 1];
      if (p.fileDone == 0 && c.after != c.before) {
        std::ofstream out(dir_ / "src" / c.name, std::ios::binary | std::ios::in);
        out << c.after;
        out.close();
        fs::resize_file(dir_ / "src" / c.name, c.after.size());
      }
    };
    std::vector<std::string> warnings;
    options.warn = [&](const std::string& warning) { warnings.push_back(warning); };
    CompressedPacking packer(3, Multimedia::kAuto, solid);
    fs::path archive = dir_ / "out.rar";
    WriteAtomically(archive, [&](std::ostream& out) { WriteArchive(files, options, packer, out); });
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_NE(warnings[0].find("grew.txt: the file changed size while it was packed (1000 bytes when opened, "
                               "300000 read)"),
              std::string::npos)
        << warnings[0];
    EXPECT_NE(warnings[1].find("noise.bin: the file changed size while it was packed (1000 bytes when "
                               "opened, 5000 read)"),
              std::string::npos)
        << warnings[1];
    EXPECT_NE(warnings[2].find("shrank.txt: the file changed size while it was packed (90000 bytes when "
                               "opened, 2000 read)"),
              std::string::npos)
        << warnings[2];
    TArchive a(archive.string().c_str(), kOpenExtract);
    ASSERT_TRUE(a.IsOpen());
    for (const Change& c : changes) {
      ASSERT_FALSE(a.Eof) << c.name;
      EXPECT_EQ(ToStd(a.Header.EntryName), c.name);
      if (c.name == "noise.bin" && !solid) {
        EXPECT_EQ(a.Header.MethodCode, kMethodStore);
      }
      fs::path out = dir_ / (std::string(solid ? "solid-" : "") + c.name);
      ASSERT_TRUE(a.Process(aoExtract, out.string().c_str(), nullptr)) << c.name << " solid " << solid;
      EXPECT_EQ(ReadBytes(out), c.after) << c.name << " solid " << solid;
    }
    EXPECT_TRUE(a.Eof);
  }
}

// A folder that cannot be opened ends the walk like its end; the files
// after it must not vanish from the setup without a word. (Folder
// permissions as a test can set them exist on POSIX systems only.)
#ifndef _WIN32
TEST_F(Packer, AFolderThatCannotBeReadStopsTheGathering) {
  WriteBytes(dir_ / "src" / "a.txt", "a");
  WriteBytes(dir_ / "src" / "z" / "closed.txt", "z");
  fs::permissions(dir_ / "src" / "z", fs::perms::none);
  // Permissions do not bind root, who runs the build machines: walk as nobody.
  bool root = geteuid() == 0;
  ASSERT_TRUE(!root || seteuid(65534) == 0);
  // Bound when the closed folder alone cannot be read (the temporary folder
  // may be closed to nobody too).
  std::error_code open, closed;
  fs::directory_iterator(dir_ / "src", open);
  fs::directory_iterator(dir_ / "src" / "z", closed);
  bool bound = !open && closed;
  std::string error;
  try {
    if (bound) GatherFiles(dir_ / "src", "", 437);
  } catch (const PackError& e) {
    error = e.what();
  }
  ASSERT_TRUE(!root || seteuid(0) == 0);
  fs::permissions(dir_ / "src" / "z", fs::perms::owner_all);
  if (!bound)
    GTEST_SKIP() << "folder permissions do not bind here (an administrator, or a closed temporary folder)";
  EXPECT_NE(error.find("z: cannot read the folder"), std::string::npos) << "passed over or: " << error;
}
#endif

}  // namespace
}  // namespace osin
