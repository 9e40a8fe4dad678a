// File utilities that exist on Windows only, under Wine with real files,
// folders and registry.
#include <windows.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "files.h"
#include "platform/file.h"
#include "platform/filefind.h"
#include "platform/osversion.h"
#include "testing.h"

using namespace osin;

namespace {

// Puts a 95-line record in place for the life of the object.
class As95 {
 public:
  explicit As95(uint32_t build = 950) : os_(ClassifyOS(kPlatformWindows, 4, 0, build, "")) {
    SubstituteOSVersion(&os_);
  }
  ~As95() { SubstituteOSVersion(nullptr); }

 private:
  TOSVersion os_;
};

bool IsNameDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'V');
}

// Unique names ----------------------------------------------------------

using UniqueName = ScratchTest;

TEST_F(UniqueName, EightDigitsOfBase32) {
  String name = MakeUniqueName(Dir());
  ASSERT_EQ(name.Length(), 8);
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(IsNameDigit(name[i])) << name.c_str();
  Sleep(30);
  EXPECT_NE(MakeUniqueName(Dir()), name);
}

TEST_F(UniqueName, AnyExistingEntryIsTaken) {
  // Folders (not files) under the names of the next half second: a name
  // is only free once the clock has passed all of them.
  SYSTEMTIME t;
  GetLocalTime(&t);
  LocalStamp now{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
  std::set<std::string> taken;
  int64_t first = now.hour * 360000 + now.minute * 6000 + now.second * 100 + now.millisecond / 10;
  for (int64_t h = first; h < first + 50 && h < 8640000; ++h) {
    LocalStamp s = now;
    s.hour = static_cast<int>(h / 360000);
    s.minute = static_cast<int>(h / 6000 % 60);
    s.second = static_cast<int>(h / 100 % 60);
    s.millisecond = static_cast<int>(h % 100) * 10;
    String name = UniqueNameAt(s);
    ASSERT_TRUE(CreateDirectoryA(Path(name).c_str(), nullptr));
    taken.insert(ToStd(name));
  }
  String name = MakeUniqueName(Dir());
  EXPECT_EQ(taken.count(ToStd(name)), 0u) << name.c_str();
  EXPECT_FALSE(EntryExists(Path(name)));
}

TEST_F(UniqueName, FoldersAreClaimedOnceAcrossThreads) {
  // Two setups starting at once: every folder belongs to exactly one.
  const int kEach = 15;
  std::vector<std::string> names[2];
  std::atomic<bool> go{false};
  auto claim = [&](int who) {
    while (!go) {
    }
    for (int i = 0; i < kEach; ++i) {
      String name;
      if (MakeUniqueFolder(Dir(), name)) names[who].push_back(ToStd(name));
    }
  };
  std::thread a(claim, 0), b(claim, 1);
  go = true;
  a.join();
  b.join();
  std::set<std::string> all(names[0].begin(), names[0].end());
  all.insert(names[1].begin(), names[1].end());
  EXPECT_EQ(names[0].size() + names[1].size(), 2u * kEach);
  EXPECT_EQ(all.size(), 2u * kEach);
  for (const std::string& n : all) EXPECT_TRUE(FolderExists(Path(n.c_str()))) << n;
}

TEST_F(UniqueName, ClaimFailsInAMissingFolder) {
  String name = "left over";
  EXPECT_FALSE(MakeUniqueFolder(Path("missing"), name));
  EXPECT_EQ(name, "");
  EXPECT_FALSE(EntryExists(Path("missing")));
}

// Paths -----------------------------------------------------------------

using WinPaths = ScratchTest;

TEST_F(WinPaths, TwoCharacterPathsCreateNothing) {
  char old[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, old);
  ASSERT_TRUE(SetCurrentDirectoryA(Dir().c_str()));
  ForceFolders("ab");
  ForceFolders("abc\\d");
  EXPECT_FALSE(EntryExists(Path("ab")));
  EXPECT_TRUE(FolderExists(Path("abc\\d")));
  SetCurrentDirectoryA(old);
}

TEST_F(WinPaths, ASecondByteWithTheCodeOfABackslashIsNone) {
  // Run in a Japanese locale by its own test entry.
  if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese code page";
  const String hyo = "\x95\x5C";  // one character, whose second byte is that of "\\"
  String folder = "C:\\" + hyo;
  EXPECT_EQ(AddBackslash(folder), folder + "\\");
  EXPECT_EQ(StripBackslash(folder), folder);
  EXPECT_EQ(StripBackslash(folder + "\\"), folder);
  EXPECT_EQ(PathFolder(folder + "\\x" + hyo), folder + "\\");
  EXPECT_EQ(PathFileName(folder + "\\x" + hyo), "x" + hyo);
  EXPECT_EQ(DriveRootOf("\\\\srv\\" + hyo + "\\x"), "\\\\srv\\" + hyo + "\\");
  String deep = Path(hyo + "\\" + hyo);
  EXPECT_TRUE(ForceFolders(deep));
  EXPECT_TRUE(FolderExists(deep));
  EXPECT_TRUE(WriteBytes(deep + "\\f", "x"));
  EXPECT_TRUE(DeleteTree(Path(hyo), true));
  EXPECT_FALSE(EntryExists(Path(hyo)));
}

TEST_F(WinPaths, ShortPathOfExistingAndMissingFiles) {
  String longName = Path("a rather long file name.text");
  ASSERT_TRUE(WriteBytes(longName, "x"));
  String shortName = ShortPathOf(longName);
  EXPECT_TRUE(FileExists(shortName));
  EXPECT_EQ(ReadBytes(shortName), "x");
  // The last element is in 8.3 form.
  String last = shortName.Copy(shortName.LastPos('\\') + 1, 100);
  EXPECT_LE(last.Length(), 12);
  EXPECT_EQ(ShortPathOf(Path("no such file.text")), Path("no such file.text"));
}

TEST_F(WinPaths, FileSizeOfRelativePaths) {
  ASSERT_TRUE(WriteBytes(Path("five"), "12345"));
  char old[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, old);
  ASSERT_TRUE(SetCurrentDirectoryA(Dir().c_str()));
  EXPECT_EQ(FileSizeOf("five"), 5);
  EXPECT_EQ(FileSizeOf(".\\five"), 5);
  SetCurrentDirectoryA(old);
}

// Free space ------------------------------------------------------------

using WinFreeSpace = ScratchTest;

TEST_F(WinFreeSpace, BothSystemCallsSeeTheSameDisk) {
  ULARGE_INTEGER available, total, free;
  ASSERT_TRUE(GetDiskFreeSpaceExA(AddBackslash(Dir()).c_str(), &available, &total, &free));
  int64_t exKB = static_cast<int64_t>(available.QuadPart >> 10);
  int64_t newer = FreeDiskKB(Dir());
  int64_t older;
  {
    As95 w95;
    older = FreeDiskKB(Dir());
    EXPECT_EQ(FreeDiskKB(Path("missing")), 0);
  }
  // The disk is shared with other work: allow it to move by 64 MB.
  EXPECT_NEAR(static_cast<double>(newer), static_cast<double>(exKB), 65536.0);
  EXPECT_GT(older, 0);
  DWORD spc, bps, freeClusters, clusters;
  ASSERT_TRUE(GetDiskFreeSpaceA(Dir().Copy(1, 3).c_str(), &spc, &bps, &freeClusters, &clusters));
  EXPECT_NEAR(static_cast<double>(older), static_cast<double>(FreeKBFromClusters(bps, spc, freeClusters)),
              65536.0);
}

// Replacement at the next start -----------------------------------------

const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPending[] = "PendingFileRenameOperations";

// The pending operations, one entry per zero-terminated name (they come
// in pairs: old name, new name or empty).
std::vector<std::string> PendingEntries() {
  static char raw[65536];
  DWORD size = sizeof(raw);
  std::vector<std::string> entries;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kSessionManager, kPending, RRF_RT_REG_MULTI_SZ, nullptr, raw, &size))
    return entries;
  for (DWORD i = 0; i + 1 < size; i += static_cast<DWORD>(entries.back().size()) + 1)
    entries.push_back(raw + i);
  return entries;
}

// Puts the pending operations back as they were, so the next start of
// the test prefix does not carry out the test's moves.
struct RestorePending {
  char raw[65536];
  DWORD size = sizeof(raw);
  bool had =
      !RegGetValueA(HKEY_LOCAL_MACHINE, kSessionManager, kPending, RRF_RT_REG_MULTI_SZ, nullptr, raw, &size);
  ~RestorePending() {
    if (had) {
      RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSessionManager, kPending, REG_MULTI_SZ, raw, size);
    } else {
      RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSessionManager, kPending);
    }
  }
};

bool EndsWithPath(const std::string& entry, const String& path) {
  std::string p = ToStd(path);
  return entry.size() >= p.size() && _stricmp(entry.c_str() + entry.size() - p.size(), p.c_str()) == 0;
}

using Reboot = ScratchTest;

TEST_F(Reboot, NTLineQueuesTheDeleteThenTheMove) {
  RestorePending restore;
  String target = Path("in use.dll");
  String fresh = Path("new.tmp");
  ASSERT_TRUE(WriteBytes(target, "old"));
  ASSERT_TRUE(WriteBytes(fresh, "new"));
  size_t before = PendingEntries().size();
  EXPECT_TRUE(ReplaceAtReboot(fresh, target));
  std::vector<std::string> after = PendingEntries();
  ASSERT_EQ(after.size(), before + 4);
  // Delete: the target and an empty second name. Move: new, then target
  // (Wine marks a replacing move with "!", which is not asked for here).
  EXPECT_TRUE(EndsWithPath(after[before], target)) << after[before];
  EXPECT_EQ(after[before + 1], "");
  EXPECT_TRUE(EndsWithPath(after[before + 2], fresh)) << after[before + 2];
  EXPECT_TRUE(EndsWithPath(after[before + 3], target)) << after[before + 3];
  // Nothing has moved yet.
  EXPECT_EQ(ReadBytes(target), "old");
}

struct IniWrite {
  std::string file, section, key, value;
};
std::vector<IniWrite> iniWrites;
bool acceptIniWrites = true;

bool RecordIniWrite(const String& file, const String& section, const String& key, const String& value) {
  iniWrites.push_back({ToStd(file), ToStd(section), ToStd(key), ToStd(value)});
  return acceptIniWrites;
}

TEST_F(Reboot, NinetyFiveLineWritesWininitThroughTheIniWriter) {
  RestorePending restore;
  String target = Path("in use long name.dll");
  String fresh = Path("new file.tmp");
  ASSERT_TRUE(WriteBytes(target, "old"));
  ASSERT_TRUE(WriteBytes(fresh, "new"));
  size_t before = PendingEntries().size();
  As95 w95;
  SetRebootIniWriter(nullptr);
  EXPECT_FALSE(ReplaceAtReboot(fresh, target));
  EXPECT_TRUE(iniWrites.empty());

  SetRebootIniWriter(RecordIniWrite);
  iniWrites.clear();
  acceptIniWrites = true;
  EXPECT_TRUE(ReplaceAtReboot(fresh, target));
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string wininit = std::string(windows) + "\\wininit.ini";
  ASSERT_EQ(iniWrites.size(), 2u);
  EXPECT_EQ(iniWrites[0].file, wininit);
  EXPECT_EQ(iniWrites[0].section, "Rename");
  EXPECT_EQ(iniWrites[0].key, "NUL");
  EXPECT_EQ(iniWrites[0].value, ToStd(ShortPathOf(target)));
  EXPECT_EQ(iniWrites[1].key, ToStd(ShortPathOf(target)));
  EXPECT_EQ(iniWrites[1].value, ToStd(ShortPathOf(fresh)));
  EXPECT_EQ(PendingEntries().size(), before);

  // A refused first write stops before the second.
  iniWrites.clear();
  acceptIniWrites = false;
  EXPECT_FALSE(ReplaceAtReboot(fresh, target));
  EXPECT_EQ(iniWrites.size(), 1u);
  SetRebootIniWriter(nullptr);
}

// File search -----------------------------------------------------------

class Search : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    ASSERT_TRUE(WriteBytes(Path("plain.txt"), "12345"));
    ASSERT_TRUE(WriteBytes(Path("ro.txt"), "r"));
    ASSERT_TRUE(WriteBytes(Path("hidden.txt"), "h"));
    ASSERT_TRUE(WriteBytes(Path(".dot"), "d"));
    ASSERT_TRUE(ForceFolders(Path("sub")));
    ASSERT_TRUE(ForceFolders(Path("hidden sub")));
    SetFileAttributesA(Path("ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(Path("hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA(Path("hidden sub").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
  }
  void TearDown() override {
    RemoveFileForced(Path(".dot"));
    ScratchTest::TearDown();
  }
  std::set<std::string> Names(uint32_t include, uint32_t exclude, const char* pattern = "*.*") {
    std::set<std::string> names;
    TSearchRecEx rec;
    uint32_t r = SearchFirst(Path(pattern), include, exclude, rec);
    for (; r == 0; r = SearchNext(rec)) names.insert(ToStd(rec.Name));
    EXPECT_TRUE(r == kNoMoreFiles || r == ERROR_FILE_NOT_FOUND) << r;
    SearchClose(rec);
    return names;
  }
  using Set = std::set<std::string>;
};

TEST_F(Search, FoldersOnlyAndNeverTheDotEntries) {
  EXPECT_EQ(Names(FILE_ATTRIBUTE_DIRECTORY, 0), (Set{"sub", "hidden sub"}));
  EXPECT_EQ(Names(FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_HIDDEN), (Set{"sub"}));
}

TEST_F(Search, IncludeAndExcludeMasks) {
  Set all{"plain.txt", "ro.txt", "hidden.txt", ".dot", "sub", "hidden sub"};
  EXPECT_EQ(Names(0, 0), all);
  EXPECT_EQ(Names(0x3F, 0), all);
  EXPECT_EQ(Names(FILE_ATTRIBUTE_READONLY, 0), (Set{"ro.txt"}));
  EXPECT_EQ(Names(0, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY),
            (Set{"plain.txt", "hidden.txt", ".dot"}));
  // (Wine reports names beginning with a dot as hidden, so the hidden bit is
  // left out of the exclusions that should keep ".dot".)
  EXPECT_EQ(Names(FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_DIRECTORY).count("hidden.txt"), 1u);
  EXPECT_EQ(Names(0, 0, "*.txt"), (Set{"plain.txt", "ro.txt", "hidden.txt"}));
  // A file marked only "temporary", "offline" or "not indexed" is found by
  // a search for everything, and not by one for read-only files. (Wine
  // gives every file the archive bit, so only the mask shows it.)
  for (uint32_t everything : {0u, 0x3Fu}) {
    for (uint32_t mark :
         {FILE_ATTRIBUTE_TEMPORARY, FILE_ATTRIBUTE_OFFLINE, FILE_ATTRIBUTE_NOT_CONTENT_INDEXED})
      EXPECT_NE(SearchIncludeMask(everything) & mark, 0u) << everything << " " << mark;
  }
  EXPECT_EQ(SearchIncludeMask(FILE_ATTRIBUTE_READONLY), static_cast<uint32_t>(FILE_ATTRIBUTE_READONLY));
}

TEST_F(Search, FoundEntriesCarrySizeTimeAndAttributes) {
  // A local time, written as the file's last-write time.
  SYSTEMTIME st = {2001, 2, 0, 3, 4, 5, 6, 0};
  FILETIME local, utc;
  ASSERT_TRUE(SystemTimeToFileTime(&st, &local));
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
  FileHandle h = OpenFileHandle(Path("plain.txt"), kFileWrite, kShareRead, kAttrNormal, kOpenExisting);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &utc));
  CloseFileHandle(h);
  const int64_t kBig = (int64_t{3} << 31) + 7;
  ASSERT_TRUE(MakeSparse(Path("big.bin"), kBig));

  TSearchRecEx rec;
  ASSERT_EQ(SearchFirst(Path("plain.txt"), 0, 0, rec), 0u);
  EXPECT_EQ(rec.Name, "plain.txt");
  EXPECT_EQ(rec.Size, 5);
  EXPECT_EQ(rec.Attr & FILE_ATTRIBUTE_DIRECTORY, 0u);
  // 2001-02-03 04:05:06 as MS-DOS date and time.
  uint32_t date = (21u << 9) | (2u << 5) | 3u;
  uint32_t time = (4u << 11) | (5u << 5) | 3u;
  EXPECT_EQ(rec.Time, (date << 16) | time);
  EXPECT_EQ(SearchNext(rec), kNoMoreFiles);

  ASSERT_EQ(SearchFirst(Path("big.bin"), 0, 0, rec), 0u);
  EXPECT_EQ(rec.Size, kBig);
  ASSERT_EQ(SearchFirst(Path("ro.txt"), 0, 0, rec), 0u);
  EXPECT_EQ(rec.Attr & FILE_ATTRIBUTE_READONLY, static_cast<uint32_t>(FILE_ATTRIBUTE_READONLY));
}

// Archives carry the packer's local time: one made east of here is ahead.
TEST_F(Search, AStampPastIsKeptAndOneStillToComeBecomesNow) {
  uint32_t past = ((21u << 9) | (2u << 5) | 3u) << 16 | (4u << 11) | (5u << 5) | 3u;
  SYSTEMTIME now;
  GetLocalTime(&now);
  uint32_t tomorrow = ((now.wYear - 1980u + 1) << 9 | 1u << 5 | 1u) << 16;
  TSearchRecEx rec;
  for (uint32_t stamp : {past, tomorrow}) {
    FileHandle h = OpenFileHandle(Path("plain.txt"), kFileWrite, kShareRead, kAttrNormal, kOpenExisting);
    ASSERT_TRUE(SetFileDosTime(h, stamp));
    CloseFileHandle(h);
    ASSERT_EQ(SearchFirst(Path("plain.txt"), 0, 0, rec), 0u);
    if (stamp == past) {
      EXPECT_EQ(rec.Time, past);
    }
  }
  uint32_t today = (now.wYear - 1980u) << 25 | now.wMonth << 21 | now.wDay << 16;
  EXPECT_GE(rec.Time, today);
  EXPECT_LT(rec.Time, tomorrow);
}

TEST_F(Search, NothingFoundClosesTheSearch) {
  TSearchRecEx rec;
  EXPECT_EQ(SearchFirst(Path("*.none"), 0, 0, rec), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(rec.FindHandle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SearchFirst(Path("missing\\*.*"), 0, 0, rec), static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
  // Entries exist, but none matches the masks.
  EXPECT_EQ(SearchFirst(Path("*.txt"), FILE_ATTRIBUTE_DIRECTORY, 0, rec), kNoMoreFiles);
  EXPECT_EQ(rec.FindHandle, INVALID_HANDLE_VALUE);
  EXPECT_NE(SearchNext(rec), 0u);
}

}  // namespace
