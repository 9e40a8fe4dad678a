// The file phase on real archives: what is written, skipped, asked, logged
// and counted, and what is left when a write cannot finish.
#include <windows.h>

#include <string>
#include <vector>

#include "config/profile.h"
#include "config/registry.h"
#include "install/copyentry.h"
#include "install/enginetest.h"
#include "install/filephase.h"
#include "pack/rar_writer.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/filefind.h"
#include "platform/osversion.h"
#include "testing.h"
#include "ui/msgbox.h"

using namespace osin;

namespace {

// 1990-01-01: older than any file the test writes.
const uint32_t kOld = (10u << 25) | (1u << 21) | (1u << 16);

class FilePhase : public PhaseTest {
 protected:
  void SetUp() override {
    languageText_ = "[Strings]\r\n11=Can't write \"%s\".\r\n";
    PhaseTest::SetUp();
    app_ = Path("App") + "\\";
    configFile_ = phase_.ConfigFile;
    phase_.AskConflict = Answer;
    phase_.AskContext = this;
  }
  void Archive(const std::vector<RarEntry>& entries) {
    ASSERT_TRUE(WriteBytes(phase_.ArchiveFile, WriteRarArchive(entries.data(), entries.size(), false)));
  }
  void Copy(const String& source, const String& target, int flags) {
    Array<String> fields;
    fields.Add(app_ + target);
    fields.Add(IntToStr(flags));
    lists_.ArchiveCopies.Set("Data\\" + source, std::move(fields));
  }
  // Temporary files left in the target folder: the system takes the first
  // three characters of the prefix "Osin".
  int TempFiles() {
    TSearchRecEx rec;
    int n = 0;
    for (uint32_t r = SearchFirst(app_ + "Osi*.tmp", 0, 0, rec); r == 0; r = SearchNext(rec)) ++n;
    return n;
  }
  bool Holds(const String& path, const std::string& bytes) { return ReadBytes(path) == bytes; }
  static int Answer(void* context, const String& target) {
    FilePhase& self = *static_cast<FilePhase*>(context);
    self.asked_.push_back(ToStd(PathFileName(target)));
    int answer = self.answers_.empty() ? kKeepInstalled : self.answers_.front();
    if (!self.answers_.empty()) self.answers_.erase(self.answers_.begin());
    return answer;
  }

  String app_, configFile_;
  std::vector<std::string> asked_;
  std::vector<int> answers_;
};

TEST_F(FilePhase, InstallsListedEntriesLogsThemAndPassesOverTheRest) {
  Archive({StoredEntry("Presetup\\Osin.ini", "[Config]", kOld), StoredEntry("Data\\a.txt", "alpha", kOld),
           StoredEntry("Data\\bin\\x.dll", "x-dll", kOld),
           StoredEntry("Data\\bin\\sub\\y.dll", "y-dll", kOld),
           StoredEntry("Data\\skip.txt", "never", kOld)});
  Copy("a.txt", "a.txt", 8);
  Copy("bin\\*.dll", "lib\\*.dll", 4 | 128);
  phase_.TotalSize = 8 + 5 + 5 + 5 + 5;
  ASSERT_TRUE(ArchivePass(phase_));
  EXPECT_EQ(ReadBytes(app_ + "a.txt"), "alpha");
  EXPECT_EQ(ReadBytes(app_ + "lib\\x.dll"), "x-dll");
  EXPECT_EQ(ReadBytes(app_ + "lib\\sub\\y.dll"), "y-dll");
  EXPECT_FALSE(FileExists(app_ + "skip.txt"));
  EXPECT_EQ(phase_.TotalDone, phase_.TotalSize);
  EXPECT_TRUE(boxes_.empty());
  String x = app_ + "lib\\x.dll", y = app_ + "lib\\sub\\y.dll";
  ASSERT_EQ(lists_.OleServers.Count(), 2);
  EXPECT_EQ(lists_.OleServers[0].Name, x);
  EXPECT_EQ(lists_.OleServers[0].Field(1), "1");
  EXPECT_EQ(lists_.OleServers[0].Field(2), "1");
  ASSERT_EQ(lists_.Fonts.Count(), 1);
  EXPECT_EQ(lists_.Fonts[0].Name, app_ + "a.txt");
  EXPECT_EQ(ReadRegInteger(SharedDllsValuePath(x), 0), 1);
  std::string app = ToStd(StripBackslash(app_));
  EXPECT_EQ(LogText(), "[CreateDirs]\r\n" + app + "=\r\n" + app + "\\lib=\r\n" + app + "\\lib\\sub=\r\n\r\n" +
                           "[CopyFiles]\r\n" + app + "\\a.txt=\r\n" + ToStd(x) + "=\r\n" + ToStd(y) +
                           "=\r\n\r\n[SharedFiles]\r\n" + ToStd(x) + "=\r\n" + ToStd(y) + "=\r\n\r\n");
  // A second run into the same log (a reinstall, an update) passes identical
  // files over and counts each file once, as the uninstaller lowers it once;
  // a count gone meanwhile is set again. Though it writes no file, it has
  // changed the system: its log must stay should the run fail after this.
  WriteRegInteger(SharedDllsValuePath(y), 3);
  DeleteRegValue(SharedDllsValuePath(x));
  log_.Changed = false;
  ASSERT_TRUE(ArchivePass(phase_));
  EXPECT_EQ(ReadRegInteger(SharedDllsValuePath(y), 0), 3);
  EXPECT_EQ(ReadRegInteger(SharedDllsValuePath(x), 0), 1);
  EXPECT_TRUE(log_.Changed);
  DeleteRegValue(SharedDllsValuePath(x));
  DeleteRegValue(SharedDllsValuePath(y));
}

TEST_F(FilePhase, VersionConflictsAskUntilAnAnswerSticksButKeepInstalledAlwaysHolds) {
  std::vector<RarEntry> entries;
  for (const char* name : {"1", "2", "3", "4", "5", "6"}) {
    entries.push_back(StoredEntry(std::string("Data\\f") + name, std::string("new ") + name, kOld));
    Copy(String("f") + name, String("f") + name, std::string(name) == "5" ? kKeepNewer : 0);
    ASSERT_TRUE(ForceFolders(app_));
    ASSERT_TRUE(WriteBytes(app_ + "f" + name, "installed"));  // written now: newer than 1990
  }
  Archive(entries);
  answers_ = {kKeepInstalled, kReplace, kReplaceAll};
  ASSERT_TRUE(ArchivePass(phase_));
  // f1 kept, f2 replaced, f3 replaced and the answer sticks for f4 and f6;
  // f5 carries keep-installed, which no answer overrides.
  EXPECT_EQ(asked_, (std::vector<std::string>{"f1", "f2", "f3"}));
  EXPECT_EQ(ReadBytes(app_ + "f1"), "installed");
  EXPECT_EQ(ReadBytes(app_ + "f2"), "new 2");
  EXPECT_EQ(ReadBytes(app_ + "f3"), "new 3");
  EXPECT_EQ(ReadBytes(app_ + "f4"), "new 4");
  EXPECT_EQ(ReadBytes(app_ + "f5"), "installed");
  EXPECT_EQ(ReadBytes(app_ + "f6"), "new 6");
  EXPECT_EQ(LogText().find("f1="), std::string::npos);  // a kept file is not logged
  // Keep-all sticks the other way.
  asked_.clear();
  for (const char* name : {"2", "3"}) ASSERT_TRUE(WriteBytes(app_ + "f" + name, "installed"));
  phase_.Choice = kKeepInstalled;
  answers_ = {kKeepAllInstalled};
  ASSERT_TRUE(ArchivePass(phase_));
  EXPECT_EQ(asked_, (std::vector<std::string>{"f1"}));
  EXPECT_EQ(ReadBytes(app_ + "f3"), "installed");
}

TEST_F(FilePhase, AnUpdateLeavesItsUserTheFilesChangedSinceTheLastInstallation) {
  std::vector<RarEntry> entries;
  for (const char* name : {"edited", "kept", "plain", "same", "data"}) {
    entries.push_back(StoredEntry(std::string("Data\\") + name, "v1", kOld));
    Copy(name, name, std::string(name) == "kept" ? kOnlyIfMissing : 0);
  }
  Archive(entries);
  ASSERT_TRUE(ArchivePass(phase_));
  LogText();
  // The log dated 1996; plain replaced by a newer copy before it (1995),
  // edited and kept by the user after it (now).
  auto date = [](const String& path, int year) {
    FILETIME when;
    DosDateTimeToFileTime(WORD((year - 1980) << 9 | 1 << 5 | 1), 0, &when);
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &when));
    CloseHandle(h);
  };
  for (const char* name : {"edited", "kept", "plain"}) ASSERT_TRUE(WriteBytes(app_ + name, "mine"));
  date(app_ + "plain", 1995);
  date(log_.FileName, 1996);
  // The update keeps the newer and the existing files: the uninstaller
  // judges by the log's date, which it makes later than the edits, so the
  // edited ones leave the log; so does the data it now installs unlogged.
  Copy("data", "data", kNoLog | kOnlyIfMissing);
  ASSERT_TRUE(ArchivePass(phase_));
  EXPECT_EQ(asked_, (std::vector<std::string>{"edited", "plain"}));
  EXPECT_EQ(ReadBytes(app_ + "edited"), "mine");
  std::string log = LogText();
  for (const char* name : {"edited=", "kept=", "data="}) EXPECT_EQ(log.find(name), std::string::npos) << log;
  for (const char* name : {"plain=", "same="}) EXPECT_NE(log.find(name), std::string::npos) << log;
}

TEST_F(FilePhase, AFailedOrCancelledUpgradeLeavesTheInstalledFileAndNoPart) {
  RarEntry damaged = StoredEntry("Data\\big.bin", Pattern(1 << 20), kOld);
  damaged.crc ^= 1;
  Archive({damaged});
  Copy("big.bin", "big.bin", kNoVersionCheck);
  ASSERT_TRUE(ForceFolders(app_));
  ASSERT_TRUE(WriteBytes(app_ + "big.bin", "old"));
  EXPECT_FALSE(ArchivePass(phase_));
  EXPECT_EQ(boxes_, (std::vector<std::string>{"Can't write \"" + ToStd(app_) + "big.bin\"."}));
  EXPECT_TRUE(Holds(app_ + "big.bin", "old"));
  EXPECT_EQ(TempFiles(), 0);
  // Cancelled at the first progress report: no box, nothing changed.
  Archive({StoredEntry("Data\\big.bin", Pattern(1 << 20), kOld)});
  TWorkerSignals signals;
  signals.Cancel = 1;
  phase_.Signals = &signals;
  boxes_.clear();
  TArchive archive(phase_.ArchiveFile, kOpenExtract);
  EXPECT_FALSE(ProcessFile(phase_, &archive, "Data\\big.bin", false));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_TRUE(Holds(app_ + "big.bin", "old"));
  EXPECT_EQ(TempFiles(), 0);
}

String NoTempFile(const String&, const char*) {
  return String();
}

TEST_F(FilePhase, WithoutATemporaryFileNothingIsWrittenAnywhere) {
  Archive({StoredEntry("Data\\a.txt", "new", kOld)});
  Copy("a.txt", "a.txt", kNoVersionCheck);
  ASSERT_TRUE(ForceFolders(app_));
  ASSERT_TRUE(WriteBytes(app_ + "a.txt", "old"));
  phase_.MakeTempFile = NoTempFile;
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  SetCurrentDirectoryA(Dir().c_str());
  EXPECT_FALSE(ArchivePass(phase_));
  SetCurrentDirectoryA(current);
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(ReadBytes(app_ + "a.txt"), "old");
  EXPECT_FALSE(FileExists(Path("a.txt")));
  EXPECT_FALSE(needReboot_);
}

TEST_F(FilePhase, AFileInUseIsReplacedAtRestartAndAFailedRequestFails) {
  Archive({StoredEntry("Data\\srv.dll", "new", kOld)});
  Copy("srv.dll", "srv.dll", kNoVersionCheck | kRegisterServer);
  TOSVersion win95 = ClassifyOS(kPlatformWindows, 4, 0, 950, "");
  SubstituteOSVersion(&win95);
  // A new file there has no old one to delete: it takes its place at once.
  ASSERT_TRUE(ArchivePass(phase_));
  EXPECT_EQ(ReadBytes(app_ + "srv.dll"), "new");
  EXPECT_FALSE(needReboot_);
  // The 95 line's request goes to wininit.ini; without its writer it fails.
  // The INI layer installs its writer when first used, as the pass above
  // did: only now does taking it away last.
  SetRebootIniWriter(nullptr);
  lists_.OleServers.Clear();
  ASSERT_TRUE(WriteBytes(app_ + "srv.dll", "old"));
  HANDLE held = CreateFileA((app_ + "srv.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ArchivePass(phase_));
  SetRebootIniWriter(AddIniLine);
  SubstituteOSVersion(nullptr);
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_FALSE(needReboot_);
  EXPECT_EQ(TempFiles(), 0);
  EXPECT_TRUE(lists_.OleServers.IsEmpty());
  // A name the system refuses is no file in use: it fails now, as it would
  // at the restart.
  for (const char* name : {"a|b.dll", "sub\\"}) {
    Copy("srv.dll", name, kNoVersionCheck | kRegisterServer);
    boxes_.clear();
    EXPECT_FALSE(ArchivePass(phase_)) << name;
    EXPECT_EQ(boxes_.size(), 1u) << name;
    EXPECT_FALSE(needReboot_) << name;
    EXPECT_EQ(TempFiles(), 0) << name;
  }
  Copy("srv.dll", "srv.dll", kNoVersionCheck | kRegisterServer);
  // Accepted: the new file waits under its temporary name, registration
  // waits for the next start.
  boxes_.clear();
  ASSERT_TRUE(ArchivePass(phase_));
  CloseHandle(held);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_TRUE(needReboot_);
  EXPECT_EQ(TempFiles(), 1);
  EXPECT_EQ(ReadBytes(app_ + "srv.dll"), "old");
  ASSERT_EQ(lists_.OleServers.Count(), 1);
  EXPECT_EQ(lists_.OleServers[0].Field(1), "0");
  EXPECT_NE(LogText().find("srv.dll="), std::string::npos);
}

TEST_F(FilePhase, WildcardEntriesNeverClimbOutOfTheTargetFolder) {
  Archive({StoredEntry("Data\\..\\..\\evil.dll", "evil", kOld)});
  Copy("*.dll", "*.dll", 0);
  EXPECT_FALSE(ArchivePass(phase_));
  EXPECT_EQ(boxes_, (std::vector<std::string>{"Can't write \"Data\\..\\..\\evil.dll\"."}));
  EXPECT_FALSE(FileExists(Path("evil.dll")));
  EXPECT_FALSE(FileExists(Dir() + "\\..\\evil.dll"));
}

void Collect(void* context, const String& path) {
  static_cast<std::vector<std::string>*>(context)->push_back(ToStd(path));
}

TEST_F(FilePhase, ExternalSourcesAreFoundInSubfoldersWhoseNamesMatchTheMask) {
  String src = Path("src") + "\\";
  for (const char* name : {"a.dll", "b.txt", "sub.dll\\c.dll", "sub.dll\\deep.dll\\d.dll", "other\\e.dll"}) {
    ASSERT_TRUE(ForceFolders(PathFolder(src + name)));
    ASSERT_TRUE(WriteBytes(src + name, name));
  }
  std::vector<std::string> found;
  ForEachExternalFile(src + "*.dll", nullptr, Collect, &found);
  std::vector<std::string> expected{ToStd(src + "a.dll"), ToStd(src + "sub.dll\\c.dll"),
                                    ToStd(src + "sub.dll\\deep.dll\\d.dll")};
  EXPECT_EQ(found, expected);
  found.clear();
  ForEachExternalFile(src + "b.txt", nullptr, Collect, &found);
  ForEachExternalFile(src + "missing.txt", nullptr, Collect, &found);
  EXPECT_EQ(found, std::vector<std::string>{ToStd(src + "b.txt")});
  TWorkerSignals cancelled;
  cancelled.Cancel = 1;
  found.clear();
  ForEachExternalFile(src + "*.dll", &cancelled, Collect, &found);
  EXPECT_TRUE(found.empty());
}

}  // namespace

TEST_F(FilePhase, AnExternalFileThatCannotBeCopiedFailsThePassYetTheOthersAreCopied) {
  String src = Path("Medium") + "\\";
  ASSERT_TRUE(ForceFolders(src));
  ASSERT_TRUE(WriteBytes(src + "a.txt", "alpha"));
  ASSERT_TRUE(WriteBytes(src + "b.txt", "beta"));
  for (const char* name : {"a.txt", "b.txt"}) {
    Array<String> fields;
    fields.Add(app_ + name);
    fields.Add(IntToStr(kExternalSource | kNoVersionCheck));
    lists_.ExternalCopies.Set(src + name, std::move(fields));
  }
  // A folder where a.txt is to go: that copy cannot be made.
  ASSERT_TRUE(ForceFolders(app_ + "a.txt"));
  EXPECT_FALSE(ExternalPass(phase_));
  EXPECT_EQ(boxes_, (std::vector<std::string>{"Can't write \"" + ToStd(app_) + "a.txt\"."}));
  EXPECT_EQ(ReadBytes(app_ + "b.txt"), "beta");
}
