// The sample archives made by the RAR archiver itself, with the results
// their README states, through TArchive in list and extract mode.
#include <sys/stat.h>

#include <algorithm>

#include "archive/crc32.h"
#include "archive/unrar.h"
#include "fixture.h"
#include "platform/fault.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace osin {
namespace {

std::vector<std::string> ListNames(const std::string& path) {
  std::vector<std::string> names;
  TArchive a(path.c_str(), kOpenList);
  EXPECT_TRUE(a.IsOpen()) << path;
  TakeFault();
  while (!a.Eof) {
    names.push_back(ToStd(a.Header.EntryName));
    EXPECT_TRUE(a.Process(aoSkip, "", nullptr));
  }
  return names;
}

struct Outcome {
  std::string name;
  int result;
};

// Extracts every entry, each into Dest under its own name (as a caller
// passing full target paths does), going on past failures.
std::vector<Outcome> ExtractEach(const std::string& path, const fs::path& dest, const char* password = "") {
  std::vector<Outcome> out;
  TArchive a(path.c_str(), kOpenExtract);
  EXPECT_TRUE(a.IsOpen()) << path;
  TakeFault();
  a.SetPassword(password);
  while (!a.Eof) {
    std::string name = ToStd(a.Header.EntryName);
    std::replace(name.begin(), name.end(), '\\', '/');
    std::string target = (dest / name).string();
    if (a.Process(aoExtract, target.c_str(), nullptr)) {
      out.push_back({name, 0});
    } else {
      out.push_back({name, a.LastResult()});
      a.ReadNext();
    }
  }
  return out;
}

class Samples : public ScratchTest {
 protected:
  std::string Path(const char* name) {
    fs::path p = SamplesDir() / name;
    EXPECT_TRUE(fs::exists(p)) << "missing sample " << p;
    return p.string();
  }
};

bool operator==(const Outcome& a, const Outcome& b) {
  return a.name == b.name && a.result == b.result;
}
void PrintTo(const Outcome& o, std::ostream* os) {
  *os << o.name << "=" << o.result;
}

TEST_F(Samples, ListingPassReportsExactlyTheFileEntries) {
  EXPECT_EQ(ListNames(Path("rar202-comment-nopsw.rar")),
            (std::vector<std::string>{"FILE1.TXT", "FILE2.TXT"}));
  EXPECT_EQ(ListNames(Path("rar202-comment-psw.rar")), (std::vector<std::string>{"FILE1.TXT", "FILE2.TXT"}));
  EXPECT_EQ(ListNames(Path("rar2-unix-owner.rar")), (std::vector<std::string>{"file.txt"}));
  EXPECT_EQ(ListNames(Path("rar15-comment.rar")), (std::vector<std::string>{"FILE1.TXT", "FILE2.TXT"}));
  EXPECT_EQ(ListNames(Path("seektest.rar")), (std::vector<std::string>{"stest1.txt", "stest2.txt"}));
  EXPECT_EQ(ListNames(Path("rar3-old.rar")), (std::vector<std::string>{"vols\\bigfile.txt"}));
  EXPECT_EQ(
      ListNames(Path("rar20-methods.rar")),
      (std::vector<std::string>{"p0.bin", "p1.bin", "p2.bin", "p3.bin", "p4.bin", "p5.bin", "pMM.bin"}));
  EXPECT_EQ(ListNames(Path("rar20-solid.rar")), (std::vector<std::string>{"p5.bin", "p5_solid.bin"}));
  EXPECT_EQ(ListNames(Path("rar20-exe-jpg-text.rar")),
            (std::vector<std::string>{"exe\\test.exe", "jpg\\test.jpg", "????.txt"}));
}

TEST_F(Samples, HeaderFieldsOfTheUnixEntry) {
  TArchive a(Path("rar2-unix-owner.rar").c_str(), kOpenList);
  ASSERT_FALSE(a.Eof);
  EXPECT_EQ(a.Header.HostSystem, 3u);
  EXPECT_EQ(a.Header.Attributes, 0x81B4u);
  EXPECT_EQ(a.Header.UnpackedSize, 4u);
  EXPECT_EQ(a.Header.DataCRC, 0x7E3265A8u);
}

// What an extracted file ended up with: its Windows attributes but archive
// and normal (Wine reports archive for every file), or natively read-only
// (1) when its owner may not write it, else 0.
uint32_t AttributesOf(const fs::path& p) {
#if defined(_WIN32)
  return GetFileAttributesA(p.string().c_str()) & ~DWORD(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL);
#else
  struct stat st;
  if (stat(p.string().c_str(), &st) != 0) return 0xFFFFFFFFu;
  return (st.st_mode & S_IWUSR) ? 0 : 1;
#endif
}

// Entries made on Unix carry the file's mode in ATTR (the sample's 0x81B4
// is rw-rw-r--): only the owner's write bit becomes an attribute.
TEST_F(Samples, UnixModesBecomeReadOnlyOrNothing) {
  EXPECT_EQ(ExtractEach(Path("rar2-unix-owner.rar"), dir_ / "u"), (std::vector<Outcome>{{"file.txt", 0}}));
  EXPECT_EQ(AttributesOf(dir_ / "u" / "file.txt"), 0u);
  RarEntry all = StoredEntry("rwx.txt", "a", 0, 0x81FF), readOnly = StoredEntry("ro.txt", "b", 0, 0x8124);
  all.hostOs = readOnly.hostOs = 3;
  EXPECT_EQ(ExtractEach(Save(Archive({all, readOnly})), dir_ / "m"),
            (std::vector<Outcome>{{"rwx.txt", 0}, {"ro.txt", 0}}));
  EXPECT_EQ(AttributesOf(dir_ / "m" / "rwx.txt"), 0u);
  EXPECT_EQ(AttributesOf(dir_ / "m" / "ro.txt"), 1u);
}

TEST_F(Samples, StoredEntriesExtractAndForeignMethodsFailTheirCrc) {
  EXPECT_EQ(ExtractEach(Path("rar202-comment-nopsw.rar"), dir_),
            (std::vector<Outcome>{{"FILE1.TXT", 0}, {"FILE2.TXT", 0}}));
  EXPECT_EQ(ReadBytes(dir_ / "FILE1.TXT"), "file1\r\n");
  EXPECT_EQ(ReadBytes(dir_ / "FILE2.TXT"), "file2\r\n");

  EXPECT_EQ(ExtractEach(Path("rar15-comment.rar"), dir_ / "r15"),
            (std::vector<Outcome>{{"FILE1.TXT", 3}, {"FILE2.TXT", 0}}));
  EXPECT_FALSE(fs::exists(dir_ / "r15" / "FILE1.TXT"));
  EXPECT_EQ(ReadBytes(dir_ / "r15" / "FILE2.TXT"), "baaaar\r\n");

  EXPECT_EQ(ExtractEach(Path("seektest.rar"), dir_ / "seek"),
            (std::vector<Outcome>{{"stest1.txt", 3}, {"stest2.txt", 0}}));
  std::string lines = ReadBytes(dir_ / "seek" / "stest2.txt");
  ASSERT_EQ(lines.size(), 2048u);
  EXPECT_EQ(lines.substr(0, 8), "000\n001\n");
  EXPECT_EQ(Crc32(lines.data(), lines.size()), 0xC5B7E6A2u);

  EXPECT_EQ(ExtractEach(Path("rar3-old.rar"), dir_ / "vol"), (std::vector<Outcome>{{"vols/bigfile.txt", 3}}));
  EXPECT_FALSE(fs::exists(dir_ / "vol" / "vols" / "bigfile.txt"));

  std::string original = ReadBytes(SamplesDir() / "rar20-methods-original.bin");
  ExtractEach(Path("rar20-methods.rar"), dir_ / "m");
  EXPECT_EQ(ReadBytes(dir_ / "m" / "p0.bin"), original);
}

TEST_F(Samples, EncipheredEntriesWithoutTheRightPasswordFailAndLeaveNothing) {
  for (const char* pw : {"", "wrong"}) {
    fs::path out = dir_ / (std::string("psw-") + pw);
    EXPECT_EQ(ExtractEach(Path("rar202-comment-psw.rar"), out, pw),
              (std::vector<Outcome>{{"FILE1.TXT", 3}, {"FILE2.TXT", 3}}));
    EXPECT_FALSE(fs::exists(out / "FILE1.TXT"));
    EXPECT_FALSE(fs::exists(out / "FILE2.TXT"));
  }
}

TEST_F(Samples, CompressedEntriesDecodeWithTheirCrc) {
  std::string original = ReadBytes(SamplesDir() / "rar20-methods-original.bin");
  EXPECT_EQ(ExtractEach(Path("rar20-methods.rar"), dir_ / "m"), (std::vector<Outcome>{{"p0.bin", 0},
                                                                                      {"p1.bin", 0},
                                                                                      {"p2.bin", 0},
                                                                                      {"p3.bin", 0},
                                                                                      {"p4.bin", 0},
                                                                                      {"p5.bin", 0},
                                                                                      {"pMM.bin", 0}}));
  for (const char* n : {"p1.bin", "p2.bin", "p3.bin", "p4.bin", "p5.bin", "pMM.bin"})
    EXPECT_EQ(ReadBytes(dir_ / "m" / n), original) << n;

  EXPECT_EQ(ExtractEach(Path("rar20-solid.rar"), dir_ / "s"),
            (std::vector<Outcome>{{"p5.bin", 0}, {"p5_solid.bin", 0}}));
  EXPECT_EQ(ReadBytes(dir_ / "s" / "p5_solid.bin"), original);

  EXPECT_EQ(ExtractEach(Path("rar2-unix-owner.rar"), dir_ / "u"), (std::vector<Outcome>{{"file.txt", 0}}));
  EXPECT_EQ(ReadBytes(dir_ / "u" / "file.txt"), "foo\n");
}

TEST_F(Samples, SolidSuccessorNeedsItsPredecessorDecoded) {
  {
    // Passed over in extract mode: decoded in test mode, so the second works.
    TArchive a(Path("rar20-solid.rar").c_str(), kOpenExtract);
    EXPECT_TRUE(a.Process(aoSkip, "", nullptr));
    EXPECT_TRUE(a.Process(aoExtract, (dir_ / "second.bin").string().c_str(), nullptr));
  }
  {
    // Walked past in list mode by another pass: the second has no history.
    TArchive list(Path("rar20-solid.rar").c_str(), kOpenExtract);
    list.ReadNext();
    EXPECT_FALSE(list.Process(aoTest, "", nullptr));
    EXPECT_EQ(list.LastResult(), kEntryBadData);
  }
}

TEST_F(Samples, ExecutableImageAndTextWithAUnicodeName) {
  TArchive a(Path("rar20-exe-jpg-text.rar").c_str(), kOpenExtract);
  std::vector<std::string> ok;
  while (!a.Eof) {
    std::string name = ToStd(a.Header.EntryName);
    if (a.Process(aoTest, "", nullptr))
      ok.push_back(name);
    else
      a.ReadNext();
  }
  EXPECT_EQ(ok, (std::vector<std::string>{"exe\\test.exe", "jpg\\test.jpg", "????.txt"}));
  auto results = ExtractEach(Path("rar20-exe-jpg-text.rar"), dir_ / "x");
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].result, 0);
  EXPECT_EQ(results[1].result, 0);
  EXPECT_EQ(Crc32(ReadBytes(dir_ / "x" / "exe" / "test.exe").data(), 45056), 0xCFB109C8u);
#if defined(_WIN32)
  EXPECT_EQ(results[2].result, kEntryCannotCreate);  // '?' is no file name character here
#else
  EXPECT_EQ(results[2].result, 0);
#endif
}

class Recorder : public TArcProgress {
 public:
  bool OnProgress(const String& name, uint32_t count, bool skipping) override {
    EXPECT_EQ(ToStd(name), "p3.bin");
    total += count;
    ++calls;
    sawSkipping |= skipping;
    sawWriting |= !skipping;
    return calls < stopAfter;
  }
  uint64_t total = 0;
  int calls = 0, stopAfter = 1 << 30;
  bool sawSkipping = false, sawWriting = false;
};

TEST_F(Samples, DecoderProgressCountsEveryByteWithTheWritingFlag) {
  auto seek = [](TArchive& a) {
    while (!a.Eof && a.Header.EntryName != "p3.bin") a.Process(aoSkip, "", nullptr);
  };
  {
    TArchive a(Path("rar20-methods.rar").c_str(), kOpenExtract);
    seek(a);
    Recorder r;
    ASSERT_TRUE(a.Process(aoExtract, (dir_ / "p3.bin").string().c_str(), &r));
    EXPECT_EQ(r.total, 16384u);
    EXPECT_GE(r.calls, 2);  // every 1,024 bytes or more, and the rest at the end
    EXPECT_TRUE(r.sawWriting);
    EXPECT_FALSE(r.sawSkipping);
  }
  {
    TArchive a(Path("rar20-methods.rar").c_str(), kOpenExtract);
    seek(a);
    Recorder r;
    ASSERT_TRUE(a.Process(aoTest, "", &r));
    EXPECT_EQ(r.total, 16384u);
    EXPECT_TRUE(r.sawSkipping);
    EXPECT_FALSE(r.sawWriting);
  }
  {
    // Stopped after the first report: the output is incomplete, the CRC
    // check fails the entry and the file is removed.
    TArchive a(Path("rar20-methods.rar").c_str(), kOpenExtract);
    seek(a);
    Recorder r;
    r.stopAfter = 1;
    std::string out = (dir_ / "stopped.bin").string();
    EXPECT_FALSE(a.Process(aoExtract, out.c_str(), &r));
    EXPECT_EQ(a.LastResult(), kEntryBadData);
    EXPECT_EQ(r.calls, 1);
    EXPECT_FALSE(fs::exists(out));
  }
}

TEST_F(Samples, EncipheredEntriesExtractWithThePassword) {
  EXPECT_EQ(ExtractEach(Path("rar202-comment-psw.rar"), dir_, "password"),
            (std::vector<Outcome>{{"FILE1.TXT", 0}, {"FILE2.TXT", 0}}));
  EXPECT_EQ(ReadBytes(dir_ / "FILE1.TXT"), "file1\r\n");
  EXPECT_EQ(ReadBytes(dir_ / "FILE2.TXT"), "file2\r\n");
}

}  // namespace
}  // namespace osin
