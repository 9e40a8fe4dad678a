// The archive reader and TArchive on archives built by the writer and on
// hand-damaged bytes. The same suite runs natively and under Wine.
#include <string.h>

#include <algorithm>

#include "archive/crc32.h"
#include "archive/unpack.h"
#include "archive/unrar.h"
#include "fixture.h"
#include "platform/fault.h"

namespace osin {
namespace {

struct Listed {
  std::string name;
  uint32_t unpacked;
};

std::vector<Listed> ListAll(const std::string& path) {
  std::vector<Listed> out;
  TArchive a(path.c_str(), kOpenList);
  EXPECT_TRUE(a.IsOpen()) << path;
  while (!a.Eof) {
    out.push_back({ToStd(a.Header.EntryName), a.Header.UnpackedSize});
    EXPECT_TRUE(a.Process(aoSkip, "", nullptr));
  }
  return out;
}

std::vector<std::string> Names(const std::vector<Listed>& l) {
  std::vector<std::string> n;
  for (auto& e : l) n.push_back(e.name);
  return n;
}

// Extracts every entry below Dest through the reader; the result per entry.
std::vector<int> ExtractAll(const std::string& path, const fs::path& dest, const char* password = "") {
  std::vector<int> results;
  RarReader r;
  EXPECT_TRUE(r.OpenArchiveFile(path.c_str(), kOpenExtract));
  TRARHeader h;
  std::string d = dest.string();
  while (r.ReadNextFileHeader(h) == 0)
    results.push_back(r.ProcessEntry(aoExtract, d.c_str(), "", password, nullptr));
  return results;
}

class Progress : public TArcProgress {
 public:
  bool OnProgress(const String& name, uint32_t count, bool skipping) override {
    calls.push_back({ToStd(name), count, skipping});
    return answer;
  }
  struct Call {
    std::string name;
    uint32_t count;
    bool skipping;
  };
  std::vector<Call> calls;
  bool answer = true;
};

bool OpenFails(const std::string& path) {
  TArchive a(path.c_str(), kOpenList);
  bool failed = !a.IsOpen() && a.Eof && FaultPending();
  String message = TakeFault();
  return failed && message == "Cannot open archive!";
}

// ---- Locating the archive ---------------------------------------------------

class Locator : public ScratchTest {};

TEST_F(Locator, BareArchiveAndArchiveBehindAnExecutable) {
  std::string rar = Archive({StoredEntry("a.txt", "alpha", kSomeDosTime)});
  RarReader r;
  ASSERT_TRUE(r.OpenArchiveFile(Save(rar).c_str(), kOpenList));
  EXPECT_EQ(r.ArchiveOffset(), 0);
  // An image with bytes that look almost like the marker before the real one.
  std::string image = "MZ" + std::string(3000, '\x90') + "Rar!\x1a\x07" + std::string(100, 'R') + "Rar!";
  ASSERT_TRUE(r.OpenArchiveFile(Save(image + rar, "setup.exe").c_str(), kOpenList));
  EXPECT_EQ(r.ArchiveOffset(), int64_t(image.size()));
  TRARHeader h;
  ASSERT_EQ(r.ReadNextFileHeader(h), 0);
  EXPECT_EQ(ToStd(h.EntryName), "a.txt");
}

TEST_F(Locator, SearchWindowEndsAt0x1FFF0BytesAfterTheFirstSeven) {
  std::string rar = Archive({StoredEntry("a.txt", "alpha", kSomeDosTime)});
  // The main header's type byte, 9 bytes after the marker's start, must lie
  // inside the window: the last start found is 7 + 0x1FFF0 - 10.
  const size_t last = 7 + 0x1FFF0 - 10;
  std::string inside = std::string(last, 'M') + rar;
  RarReader r;
  ASSERT_TRUE(r.OpenArchiveFile(Save(inside, "inside.exe").c_str(), kOpenList));
  EXPECT_EQ(r.ArchiveOffset(), int64_t(last));
  EXPECT_TRUE(OpenFails(Save(std::string(last + 1, 'M') + rar, "beyond.exe")));
  EXPECT_TRUE(OpenFails(Save(std::string(0x30000, 'M') + rar, "far.exe")));
}

TEST_F(Locator, OlderFormatShortFilesAndNoArchiveAreRefused) {
  EXPECT_TRUE(OpenFails(Save("RE~^" + std::string(100, '\0'), "old.rar")));
  // An old self-extractor: "RSFX" at offset 28, then the old marker.
  std::string sfx = std::string(28, 'M') + "RSFX" + std::string(200, 'M') + "RE~^" + std::string(50, '\0');
  sfx += std::string(Archive({StoredEntry("a", "a", 0)}));  // a new archive after it is not looked for
  EXPECT_TRUE(OpenFails(Save(sfx, "oldsfx.exe")));
  EXPECT_TRUE(OpenFails(Save("Rar!\x1a\x07", "six.rar")));
  EXPECT_TRUE(OpenFails(Save("", "empty.rar")));
  EXPECT_TRUE(OpenFails(Save(std::string("Rar!\x1a\x07\x00", 7) + "\x01\x02", "nomain.rar")));
  EXPECT_TRUE(OpenFails(Save(std::string(5000, 'x'), "plain.exe")));
  EXPECT_TRUE(OpenFails((dir_ / "missing.rar").string()));
  // A marker without a main header after it is no archive either.
  EXPECT_TRUE(OpenFails(Save("MZ" + std::string("Rar!\x1a\x07\x00", 7) + std::string(50, 'x'), "lone.exe")));
}

TEST_F(Locator, OwnFileIsTheRunningProgram) {
  String self = ProgramFile();
  ASSERT_FALSE(self.IsEmpty());
  EXPECT_TRUE(fs::is_regular_file(ToStd(self)));
  EXPECT_NE(ToStd(self).find("archive_reader_test"), std::string::npos) << ToStd(self);
}

// ---- Walking the blocks -------------------------------------------------------

class Walk : public ScratchTest {};

TEST_F(Walk, ListsFilesInOrderAndPassesOverDirectoriesAndOtherBlocks) {
  RarEntry dir = StoredEntry("Sub", "", kSomeDosTime, 0x10);
  dir.directory = true;
  // Before unpack version 20 an MS-DOS folder has only its attribute.
  RarEntry oldDir = StoredEntry("Old", "", kSomeDosTime, 0x10);
  oldDir.hostOs = 0;
  oldDir.unpackVersion = 15;
  std::string rar =
      Archive({StoredEntry("one.txt", "1", kSomeDosTime), dir, StoredEntry("Sub/two.txt", "22", 0), oldDir,
               StoredEntry("Old/three.txt", "333", 0)});
  // A comment-like block of another type with a data area, spliced in
  // after the main header: type 0x75, flag 0x8000, HEAD_SIZE 7, ADD_SIZE 5.
  std::string other = std::string("\x00\x00\x75\x00\x80\x0b\x00\x05\x00\x00\x00", 11) + "hello";
  rar.insert(20, other);
  auto listed = ListAll(Save(rar));
  EXPECT_EQ(Names(listed), (std::vector<std::string>{"one.txt", "Sub\\two.txt", "Old\\three.txt"}));
  EXPECT_EQ(listed[1].unpacked, 2u);
  EXPECT_EQ(ExtractAll(Save(rar), dir_ / "out"), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(ReadBytes(dir_ / "out" / "Old" / "three.txt"), "333");
}

TEST_F(Walk, ChainWithoutEndBlockEndsAtTheFileEnd) {
  std::string rar = Archive({StoredEntry("a", "aaa", 0), StoredEntry("b", "bbb", 0)});
  rar.resize(rar.size() - 7);  // no end block
  EXPECT_EQ(Names(ListAll(Save(rar))), (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(FaultPending()) << "ending at the file's end is no damage";
  std::vector<int> results = ExtractAll(Save(rar), dir_ / "out");
  EXPECT_EQ(results, (std::vector<int>{0, 0}));
}

// What follows the end block is not read as blocks: a signed setup carries
// its signature there, and whatever it holds (here a well-formed file
// header) is no entry.
TEST_F(Walk, EndBlockEndsTheWalkBeforeWhatFollowsIt) {
  std::string rar = Archive({StoredEntry("a", "aaa", 0)});
  std::string after = Archive({StoredEntry("signature", "not an entry", 0)});
  rar += after.substr(20);
  EXPECT_EQ(Names(ListAll(Save(rar))), (std::vector<std::string>{"a"}));
  EXPECT_EQ(ExtractAll(Save(rar), dir_ / "out"), (std::vector<int>{0}));
}

// The offsets of the first file header in a writer's archive.
constexpr size_t kFirst = 20;

void Put16(std::string& s, size_t at, uint32_t v) {
  s[at] = char(v & 0xFF);
  s[at + 1] = char(v >> 8);
}
void Put32(std::string& s, size_t at, uint32_t v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}

TEST_F(Walk, DamagedBlocksEndTheWalkWithoutLoopingOrCrashing) {
  std::string good = Archive({StoredEntry("a.txt", "alpha", 0), StoredEntry("b.txt", "beta", 0)});
  const size_t second = kFirst + 32 + 5 + 5;
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> names;
    bool cut;  // the file ends inside a block: said, not passed over
  };
  std::vector<Case> cases;
  std::string s = good;
  Put16(s, second + 5, 6);  // HEAD_SIZE below 7
  cases.push_back({"head size 6", s, {"a.txt"}, false});
  s = good;
  Put16(s, second + 5, 0);  // HEAD_SIZE 0: the block would not advance
  cases.push_back({"head size 0", s, {"a.txt"}, false});
  s = good;
  Put32(s, second + 7, 0xFFFFFFF9u);  // ADD_SIZE that wraps a 32-bit position back to the block
  cases.push_back({"wrapping add size", s, {"a.txt", "b.txt"}, true});
  s = good.substr(0, second + 20);  // second header cut inside its fixed part
  cases.push_back({"header cut short", s, {"a.txt"}, true});
  s = good.substr(0, second + 33);  // second header cut inside its name
  cases.push_back({"name cut short", s, {"a.txt"}, true});
  s = good.substr(0, second + 3);  // fewer than 7 bytes of a block
  cases.push_back({"block start cut", s, {"a.txt"}, true});
  for (auto& c : cases) {
    EXPECT_EQ(Names(ListAll(Save(c.bytes))), c.names) << c.what;
    EXPECT_EQ(ToStd(TakeFault()), c.cut ? "The archive is cut short: the file is incomplete or damaged." : "")
        << c.what;
  }
}

TEST_F(Walk, PackedSizeBeyondTheFileEndsTheWalkAfterThatEntry) {
  std::string s = Archive({StoredEntry("a.txt", "alpha", 0), StoredEntry("b.txt", "beta", 0)});
  // a's PACK_SIZE now runs far past the end. Its data still start right
  // after its header, and only UNP_SIZE bytes are the file.
  Put32(s, kFirst + 7, 1000000);
  EXPECT_EQ(Names(ListAll(Save(s))), (std::vector<std::string>{"a.txt"}));
  EXPECT_TRUE(FaultPending()) << "b.txt is lost: the file looks cut short";
  TakeFault();
  EXPECT_EQ(ExtractAll(Save(s), dir_ / "out"), (std::vector<int>{kEntryOk}));
  EXPECT_EQ(ReadBytes(dir_ / "out" / "a.txt"), "alpha");
  // With UNP_SIZE beyond the file too the data run out: a CRC failure.
  Put32(s, kFirst + 11, 1000000);
  EXPECT_EQ(ExtractAll(Save(s), dir_ / "out2"), (std::vector<int>{kEntryBadData}));
  EXPECT_FALSE(fs::exists(dir_ / "out2" / "a.txt"));
}

TEST_F(Walk, NameSizeZeroAndOverlongNames) {
  std::string longName(300, 'n');
  RarEntry e = StoredEntry(std::string(259, 'n'), "x", 0);
  std::string s = Archive({e, StoredEntry("z", "zz", 0)});
  // Stretch the first name to 300 bytes: NAME_SIZE and HEAD_SIZE grow by 41.
  s.insert(kFirst + 32, std::string(41, 'n'));
  Put16(s, kFirst + 26, 300);
  Put16(s, kFirst + 5, 32 + 300);
  auto listed = ListAll(Save(s));
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].name, std::string(259, 'n'));  // cut to 259
  EXPECT_EQ(listed[1].name, "z");

  std::string empty = Archive({StoredEntry("q", "data", 0)});
  // NAME_SIZE 0: the name byte now counts as data, one more than PACK_SIZE.
  Put16(empty, kFirst + 26, 0);
  Put16(empty, kFirst + 5, 32);
  listed = ListAll(Save(empty));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].name, "");
  EXPECT_EQ(ExtractAll(Save(empty), dir_ / "out"), (std::vector<int>{kEntryCannotCreate}));
  EXPECT_FALSE(fs::exists(dir_ / "out"));
}

TEST_F(Walk, HostSystemAboveThreeForcesArchiveAttribute) {
  RarEntry unix = StoredEntry("u", "u", 0, 0x81B4);
  unix.hostOs = 3;
  RarEntry beos = StoredEntry("b", "b", 0, 0x81B4);
  beos.hostOs = 5;
  RarReader r;
  ASSERT_TRUE(r.OpenArchiveFile(Save(Archive({unix, beos})).c_str(), kOpenList));
  TRARHeader h;
  ASSERT_EQ(r.ReadNextFileHeader(h), 0);
  EXPECT_EQ(h.HostSystem, 3u);
  EXPECT_EQ(h.Attributes, 0x81B4u);
  ASSERT_EQ(r.ReadNextFileHeader(h), 0);
  EXPECT_EQ(h.HostSystem, 0u);
  EXPECT_EQ(h.Attributes, 0x20u);
  EXPECT_EQ(r.ReadNextFileHeader(h), -1);
}

// ---- Names -------------------------------------------------------------------

class EntryNames : public ScratchTest {};

TEST_F(EntryNames, CleaningDropsOneLevelOfDrivePrefixAndRoot) {
  std::string rar =
      Archive({StoredEntry("C:\\dir\\a", "", 0), StoredEntry(".\\b", "", 0), StoredEntry("..\\c", "", 0),
               StoredEntry("\\d", "", 0), StoredEntry("/e/f", "", 0), StoredEntry("..\\..\\g", "", 0),
               StoredEntry(".\\..\\h", "", 0), StoredEntry(std::string("i\0tail", 6), "", 0)});
  EXPECT_EQ(Names(ListAll(Save(rar))),
            (std::vector<std::string>{"dir\\a", "b", "c", "d", "e\\f", "..\\g", "..\\h", "i"}));
}

// The mended fault: a name that still climbs after cleaning is not written
// when the output name comes from the entry, and nothing appears outside.
TEST_F(EntryNames, EntriesThatWouldLeaveTheDestinationAreNotWritten) {
  std::string rar =
      Archive({StoredEntry("..\\..\\x.dll", "evil", 0), StoredEntry("Sub\\..\\..\\y.dll", "evil", 0),
               StoredEntry("a\\..\\..", "evil", 0), StoredEntry("\\\\z.dll", "evil", 0),
               StoredEntry("C:C:\\w.dll", "evil", 0), StoredEntry("ok\\..x\\fine.txt", "fine", 0),
               StoredEntry("..\\top.txt", "top", 0)});
  fs::path dest = dir_ / "deep" / "dest";
  fs::create_directories(dest);
  EXPECT_EQ(ExtractAll(Save(rar), dest), (std::vector<int>{6, 6, 6, 6, 6, 0, 0}));
  EXPECT_EQ(Tree(), (std::vector<std::string>{"deep", "deep/dest", "deep/dest/ok", "deep/dest/ok/..x",
                                              "deep/dest/ok/..x/fine.txt", "deep/dest/top.txt", "test.rar"}));
  // An explicit DestName is the caller's choice and is written as given.
  RarReader r;
  ASSERT_TRUE(r.OpenArchiveFile((dir_ / "test.rar").string().c_str(), kOpenExtract));
  TRARHeader h;
  ASSERT_EQ(r.ReadNextFileHeader(h), 0);
  EXPECT_EQ(ToStd(h.EntryName), "..\\x.dll");
  std::string target = (dir_ / "chosen.dll").string();
  EXPECT_EQ(r.ProcessEntry(aoExtract, dest.string().c_str(), target.c_str(), "", nullptr), 0);
  EXPECT_EQ(ReadBytes(target), "evil");
}

// ---- Extraction ---------------------------------------------------------------

class Extract : public ScratchTest {};

TEST_F(Extract, StoredEntriesWithFolderChain) {
  std::string big = Noise(100000, 1);  // several 32 KB pieces
  std::string rar = Archive({StoredEntry("Data\\bin\\deep\\big.bin", big, kSomeDosTime),
                             StoredEntry("Data\\empty.txt", "", kSomeDosTime)});
  TArchive a(Save(rar).c_str(), kOpenExtract);
  Progress p;
  ASSERT_FALSE(a.Eof);
  std::string out = (dir_ / "x" / "y" / "big.bin").string();
  EXPECT_TRUE(a.Process(aoExtract, out.c_str(), &p));
  EXPECT_EQ(ReadBytes(out), big);
  ASSERT_FALSE(a.Eof);
  EXPECT_EQ(ToStd(a.Header.EntryName), "Data\\empty.txt");
  std::string empty = (dir_ / "empty.txt").string();
  EXPECT_TRUE(a.Process(aoExtract, empty.c_str(), nullptr));
  EXPECT_TRUE(fs::exists(empty));
  EXPECT_EQ(fs::file_size(empty), 0u);
  EXPECT_TRUE(a.Eof);
  EXPECT_FALSE(a.Process(aoSkip, "", nullptr));
}

TEST_F(Extract, CrcMismatchDeletesTheOutputAndStaysOnTheEntry) {
  RarEntry bad = StoredEntry("bad.txt", "payload", kSomeDosTime);
  bad.crc ^= 1;
  std::string rar = Archive({bad, StoredEntry("next.txt", "n", 0)});
  TArchive a(Save(rar).c_str(), kOpenExtract);
  std::string out = (dir_ / "bad.txt").string();
  EXPECT_FALSE(a.Process(aoExtract, out.c_str(), nullptr));
  EXPECT_EQ(a.LastResult(), kEntryBadData);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(ToStd(a.Header.EntryName), "bad.txt");
  a.ReadNext();
  EXPECT_EQ(ToStd(a.Header.EntryName), "next.txt");
  EXPECT_TRUE(a.Process(aoExtract, (dir_ / "next.txt").string().c_str(), nullptr));
}

TEST_F(Extract, OutputThatCannotBeCreatedGivesSixAndKeepsTheEntry) {
  std::string rar = Archive({StoredEntry("a.txt", "alpha", 0)});
  fs::create_directories(dir_ / "taken");  // a folder where the file should go
  TArchive a(Save(rar).c_str(), kOpenExtract);
  EXPECT_FALSE(a.Process(aoExtract, (dir_ / "taken").string().c_str(), nullptr));
  EXPECT_EQ(a.LastResult(), kEntryCannotCreate);
  EXPECT_FALSE(a.Eof);
  EXPECT_TRUE(a.Process(aoExtract, (dir_ / "free.txt").string().c_str(), nullptr));
  EXPECT_EQ(ReadBytes(dir_ / "free.txt"), "alpha");
}

TEST_F(Extract, ListModeNeverDecodesOrWrites) {
  RarEntry bad = StoredEntry("bad.txt", "payload", 0);
  bad.crc ^= 1;
  TArchive a(Save(Archive({bad}, true)).c_str(), kOpenList);
  std::string out = (dir_ / "bad.txt").string();
  EXPECT_TRUE(a.Process(aoExtract, out.c_str(), nullptr));
  EXPECT_FALSE(fs::exists(out));
  EXPECT_TRUE(a.Eof);
}

TEST_F(Extract, SkippingReportsOnceInAPlainArchiveAndDecodesInASolidOne) {
  RarEntry bad = StoredEntry("bad.txt", "payload", 0);
  bad.crc ^= 1;
  {
    TArchive a(Save(Archive({bad, StoredEntry("b", "b", 0)})).c_str(), kOpenExtract);
    Progress p;
    EXPECT_TRUE(a.Process(aoSkip, "", &p));  // not decoded, so no CRC check
    ASSERT_EQ(p.calls.size(), 1u);
    EXPECT_EQ(p.calls[0].name, "bad.txt");
    EXPECT_EQ(p.calls[0].count, 7u);
    EXPECT_TRUE(p.calls[0].skipping);
    p.answer = false;
    EXPECT_FALSE(a.Process(aoSkip, "", &p));
    EXPECT_EQ(a.LastResult(), kEntryAborted);
  }
  {
    TArchive a(Save(Archive({bad}, true), "solid.rar").c_str(), kOpenExtract);
    EXPECT_FALSE(a.Process(aoSkip, "", nullptr));
    EXPECT_EQ(a.LastResult(), kEntryBadData);
  }
  {
    TArchive a(Save(Archive({bad}), "test.rar").c_str(), kOpenExtract);
    EXPECT_FALSE(a.Process(aoTest, "", nullptr));
    EXPECT_EQ(a.LastResult(), kEntryBadData);
  }
}

TEST_F(Extract, AStoredEntryReportsEachPieceAndStopsWhenTold) {
  std::string data = Noise(100000, 3);
  std::string path = Save(Archive({StoredEntry("big.bin", data, kSomeDosTime)}));
  std::string out = (dir_ / "big.bin").string();
  {
    TArchive a(path.c_str(), kOpenExtract);
    Progress p;
    EXPECT_TRUE(a.Process(aoExtract, out.c_str(), &p));
    ASSERT_GT(p.calls.size(), 1u);
    uint32_t sum = 0;
    for (const Progress::Call& c : p.calls) sum += c.count;
    EXPECT_EQ(sum, data.size());
    EXPECT_EQ(ReadBytes(out), data);
  }
  fs::remove(out);
  TArchive a(path.c_str(), kOpenExtract);
  Progress p;
  p.answer = false;
  EXPECT_FALSE(a.Process(aoExtract, out.c_str(), &p));
  EXPECT_EQ(p.calls.size(), 1u);
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(Extract, EncipheredStoredEntriesNeedTheirPassword) {
  for (uint8_t version : {uint8_t(13), uint8_t(15)}) {
    RarEntry e = StoredEntry("secret.bin", Noise(40000, version), kSomeDosTime);
    e.encrypt = true;
    e.unpackVersion = version;
    std::string path = Save(Archive({e}, false, "open sesame"));
    std::string out = (dir_ / "secret.bin").string();
    for (const char* wrong : {"", "open sesamf"}) {
      TArchive a(path.c_str(), kOpenExtract);
      a.SetPassword(wrong);
      EXPECT_FALSE(a.Process(aoExtract, out.c_str(), nullptr)) << int(version) << wrong;
      EXPECT_EQ(a.LastResult(), kEntryBadData);
      EXPECT_FALSE(fs::exists(out));
    }
    TArchive a(path.c_str(), kOpenExtract);
    a.SetPassword("open sesame");
    EXPECT_TRUE(a.Process(aoExtract, out.c_str(), nullptr)) << int(version);
    EXPECT_EQ(ReadBytes(out), Noise(40000, version));
  }
}

// Headers, names and data fall at every offset of the reader's read-ahead
// and past it; entries passed over, tested and extracted alternate, so the
// reader moves inside what it read ahead, beyond it and through big reads.
TEST_F(Extract, ManyEntriesPassedOverTestedAndExtractedInTurn) {
  std::vector<RarEntry> entries;
  std::vector<std::string> data;
  for (int i = 0; i < 60; ++i) {
    data.push_back(Noise(size_t(i % 7 == 6 ? 70000 + i : 997 * i + 13), uint32_t(i)));
    entries.push_back(StoredEntry("e" + std::to_string(i) + ".bin", data.back(), kSomeDosTime));
  }
  TArchive a(Save(Archive(entries)).c_str(), kOpenExtract);
  for (int i = 0; i < 60; ++i) {
    ASSERT_FALSE(a.Eof) << i;
    EXPECT_EQ(ToStd(a.Header.EntryName), "e" + std::to_string(i) + ".bin");
    std::string out = (dir_ / ("o" + std::to_string(i))).string();
    TArchiveOperation op = i % 3 == 0 ? aoSkip : i % 3 == 1 ? aoTest : aoExtract;
    EXPECT_TRUE(a.Process(op, out.c_str(), nullptr)) << i;
    if (op == aoExtract) {
      EXPECT_EQ(ReadBytes(out), data[size_t(i)]) << i;
    }
  }
  EXPECT_TRUE(a.Eof);
}

TEST_F(Extract, ReplacesAReadOnlyFile) {
  std::string out = (dir_ / "ro.txt").string();
  WriteBytes(out, "old");
  fs::permissions(out, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  TArchive a(Save(Archive({StoredEntry("ro.txt", "new", 0)})).c_str(), kOpenExtract);
  EXPECT_TRUE(a.Process(aoExtract, out.c_str(), nullptr));
  EXPECT_EQ(ReadBytes(out), "new");
}

TEST_F(Extract, OnePassAfterAnotherWithFreshState) {
  RarEntry e = StoredEntry("s.bin", "abc", 0);
  e.encrypt = true;
  e.unpackVersion = 15;
  std::string path = Save(Archive({e}, false, "pw"));
  for (int pass = 0; pass < 3; ++pass) {
    TArchive a(path.c_str(), kOpenExtract);
    a.SetPassword("pw");
    EXPECT_TRUE(a.Process(aoTest, "", nullptr)) << pass;
  }
}

}  // namespace
}  // namespace osin
