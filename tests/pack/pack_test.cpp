// osin-pack as a user runs it, with lsar and unar as black-box peers.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "archive/crc32.h"
#include "command.h"
#include "files.h"
#include "pack/rar_writer.h"
#include "testing.h"

namespace fs = std::filesystem;

namespace osin {
namespace {

std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    s[i] = char(seed >> 24);
  }
  return s;
}

using Result = CommandResult;

class OsinPack : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("osin-pack-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const char* build = getenv("OSIN_BUILD_DIR");
    pack_ = std::string(build ? build : ".") + "/tools/pack/osin-pack";
  }
  void TearDown() override {
    std::error_code ec;
    for (auto& e : fs::recursive_directory_iterator(dir_, ec))
      fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }

  Result Run(const std::string& command) { return RunCommandIn(dir_.string(), command); }
  Result Pack(const std::string& args) { return Run("'" + pack_ + "' " + args); }
  std::string Sample(const char* name) {
    const char* shared = getenv("OSIN_SHARED_DIR");
    std::string p = std::string(shared ? shared : "../shared") + "/rar-samples/" + name;
    if (!fs::exists(p)) ADD_FAILURE() << "missing sample " << p;
    return p;
  }

  // A small project folder with a nested file, an empty file, a read-only
  // file and a name outside ASCII.
  void MakeTree(const fs::path& root) {
    WriteBytes(root / "readme.txt", "read me\r\n");
    WriteBytes(root / "bin" / "app.exe", Noise(200000, 1));
    WriteBytes(root / "bin" / "deep" / "lib.dll", Noise(3000, 2));
    WriteBytes(root / "empty.dat", "");
    WriteBytes(root / "caf\xc3\xa9.txt", "accent");
    WriteBytes(root / "ro.txt", "locked");
    fs::permissions(root / "ro.txt",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    // An odd modification time: 2019-03-04 05:06:07 local (odd seconds).
    struct tm t = {};
    t.tm_year = 119, t.tm_mon = 2, t.tm_mday = 4, t.tm_hour = 5, t.tm_min = 6, t.tm_sec = 7, t.tm_isdst = -1;
    time_t when = mktime(&t);
    struct timespec times[2] = {{when, 0}, {when, 0}};
    utimensat(AT_FDCWD, (root / "readme.txt").c_str(), times, 0);
  }

  fs::path dir_;
  std::string pack_;
};

TEST_F(OsinPack, ArchivedTreeExtractsWithUnarIdentically) {
  MakeTree(dir_ / "src");
  for (const char* variant : {"", " --solid"}) {
    fs::remove_all(dir_ / "out");
    Result r = Pack(std::string("archive src -o a.rar") + variant);
    ASSERT_EQ(r.status, 0) << r.out;
    Result u = Run("unar -q -D -o out a.rar");
    ASSERT_EQ(u.status, 0) << variant << u.out;
    for (const char* f : {"readme.txt", "bin/app.exe", "bin/deep/lib.dll", "empty.dat", "ro.txt"})
      EXPECT_EQ(ReadBytes(dir_ / "out" / f), ReadBytes(dir_ / "src" / f)) << variant << f;
    // Times come back at DOS precision (two seconds, rounded down).
    auto src = fs::last_write_time(dir_ / "src" / "readme.txt");
    auto out = fs::last_write_time(dir_ / "out" / "readme.txt");
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(src - out).count(), 1) << variant;
  }
  // lsar reads the fields back: names in sorted order, attributes, OS.
  Result l = Run("lsar -L a.rar");
  EXPECT_NE(l.out.find("RAROS:                          2"), std::string::npos);
  EXPECT_NE(l.out.find("RARAttributes:                  33"), std::string::npos) << "read-only ro.txt";
  EXPECT_NE(l.out.find("Solid"), std::string::npos);
  Result names = Run("lsar a.rar");
  EXPECT_LT(names.out.find("bin/app.exe"), names.out.find("bin/deep/lib.dll"));
  EXPECT_LT(names.out.find("bin/deep/lib.dll"), names.out.find("empty.dat"));
  EXPECT_LT(names.out.find("empty.dat"), names.out.find("readme.txt"));
}

TEST_F(OsinPack, SameFolderGivesTheSameBytes) {
  MakeTree(dir_ / "src");
  ASSERT_EQ(Pack("archive src -o one.rar").status, 0);
  ASSERT_EQ(Pack("archive src -o two.rar").status, 0);
  EXPECT_EQ(ReadBytes(dir_ / "one.rar"), ReadBytes(dir_ / "two.rar"));
}

TEST_F(OsinPack, NamesAreWrittenInTheChosenOemCodePage) {
  WriteBytes(dir_ / "src" / "caf\xc3\xa9.txt", "x");
  ASSERT_EQ(Pack("archive src -o a.rar").status, 0);
  EXPECT_NE(ReadBytes(dir_ / "a.rar").find("caf\x82.txt"), std::string::npos);  // 437: e-acute is 0x82
  WriteBytes(dir_ / "ru" / "\xd0\xb0.txt", "x");                                // Cyrillic a
  Result r = Pack("archive ru -o ru.rar");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("cannot be written in OEM code page 437"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "ru.rar"));
  WriteBytes(dir_ / "ru" / "\xd0\xb4\xd0\xb0" / "\xd1\x8f.txt", "ya");  // Cyrillic da/ya
  ASSERT_EQ(Pack("archive ru -o ru.rar --codepage 866").status, 0);
  EXPECT_NE(ReadBytes(dir_ / "ru.rar").find("\xa0.txt"), std::string::npos);  // 866: a is 0xA0
  // Read back in the same code page, the names are the files' own.
  r = Pack("list ru.rar --codepage 866");
  EXPECT_NE(r.out.find("  \xd0\xb0.txt\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  \xd0\xb4\xd0\xb0\\\xd1\x8f.txt\n"), std::string::npos) << r.out;
  EXPECT_EQ(Pack("test ru.rar --codepage 866").status, 0);
  r = Pack("extract ru.rar -o out --codepage 866");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(ReadBytes(dir_ / "out" / "\xd0\xb0.txt"), "x");
  EXPECT_EQ(ReadBytes(dir_ / "out" / "\xd0\xb4\xd0\xb0" / "\xd1\x8f.txt"), "ya");
  // Without it they read as code page 437 (0xA0 is a-acute there).
  EXPECT_NE(Pack("list ru.rar").out.find("  \xc3\xa1.txt\n"), std::string::npos);
  // The progress on a terminal names the file in its own letters too.
  r = Run("script -qec \"'" + pack_ + "' archive ru -o ru2.rar --codepage 866\" /dev/null");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("1/2  \xd0\xb0.txt "), std::string::npos) << r.out;
}

TEST_F(OsinPack, PasswordEnciphersWithTheRar20Cipher) {
  MakeTree(dir_ / "src");
  Result r = Pack("archive src -o enc.rar --password 'pass word'");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Run("lsar -L enc.rar").out.find("Encrypted:    0"), std::string::npos);
  ASSERT_EQ(Run("unar -q -D -p 'pass word' -o out enc.rar").status, 0);
  EXPECT_EQ(ReadBytes(dir_ / "out" / "bin" / "app.exe"), ReadBytes(dir_ / "src" / "bin" / "app.exe"));
  EXPECT_EQ(Pack("test enc.rar -p 'pass word'").status, 0);
  Result wrong = Pack("test enc.rar -p nope");
  EXPECT_EQ(wrong.status, 1);
  // The setup's user types the password in the ANSI code page paired with
  // the OEM one: a UTF-8 command line is turned into it, or refused.
  ASSERT_EQ(Pack("archive src -o ansi.rar --password 'p\xc3\xa4ss'").status, 0);
  EXPECT_EQ(Run("unar -q -D -p 'p\xc3\xa4ss' -E windows-1252 -o ansi ansi.rar").status, 0);
  WriteBytes(dir_ / "plain" / "a.txt", "a");
  EXPECT_EQ(Pack("archive plain -o ru.rar --password '\xd0\xb0'").status, 2);
  EXPECT_EQ(Pack("archive plain -o ru.rar --password '\xd0\xb0' --codepage 866").status, 0);
  // Reading it back takes the same code page, or the password is not the one written.
  EXPECT_EQ(Pack("test ru.rar -p '\xd0\xb0' --codepage 866").status, 0);
  EXPECT_EQ(Pack("extract ru.rar -o ru -p '\xd0\xb0' --codepage 866").status, 0);
  EXPECT_EQ(Pack("test ru.rar -p '\xd0\xb0'").status, 2);
  // A setup: its control files stay readable without the password.
  WriteBytes(dir_ / "proj" / "Presetup" / "Osin.ini", "[Config]\r\n");
  WriteBytes(dir_ / "proj" / "Data" / "App.exe", Noise(999, 5));
  WriteBytes(dir_ / "stub.exe", "MZ stub");
  ASSERT_EQ(Pack("build proj -o setup.exe --stub stub.exe --password pw").status, 0);
  Result l = Pack("list setup.exe");
  size_t ini = l.out.find("Presetup\\Osin.ini"), app = l.out.find("Data\\App.exe");
  ASSERT_NE(ini, std::string::npos);
  ASSERT_NE(app, std::string::npos);
  EXPECT_EQ(l.out.substr(l.out.rfind('\n', ini) + 1, ini - l.out.rfind('\n', ini) - 1).find("-E"),
            std::string::npos);
  EXPECT_NE(l.out.substr(l.out.rfind('\n', app) + 1, app - l.out.rfind('\n', app) - 1).find("-E"),
            std::string::npos);
  EXPECT_EQ(Pack("test setup.exe -p pw").status, 0);
  // Into a folder that is not there yet: made for it.
  ASSERT_EQ(Pack("build proj -o 'Release 1.1/Setup.exe' --stub stub.exe --password pw").status, 0);
  EXPECT_EQ(ReadBytes(dir_ / "Release 1.1" / "Setup.exe"), ReadBytes(dir_ / "setup.exe"));
  WriteBytes(dir_ / "taken", "a file");
  r = Pack("build proj -o taken/Setup.exe --stub stub.exe --password pw");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("taken: cannot create the folder"), std::string::npos) << r.out;
}

TEST_F(OsinPack, ListShowsEveryEntryAndTheArchiveOffset) {
  Result r = Pack("list '" + Sample("rar20-methods.rar") + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("archive at offset 0"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("     16384      16384  stored  --"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("RAR 2.0"), std::string::npos);
  EXPECT_NE(r.out.find("  00002020  10751ABA  p0.bin"), std::string::npos) << r.out;
  for (const char* n : {"p0.bin", "p1.bin", "p5.bin", "pMM.bin"})
    EXPECT_NE(r.out.find(n), std::string::npos) << n;
  r = Pack("list '" + Sample("rar20-solid.rar") + "'");
  EXPECT_NE(r.out.find(", solid"), std::string::npos);
  EXPECT_NE(r.out.find("S-"), std::string::npos);
  r = Pack("list '" + Sample("rar202-comment-psw.rar") + "'");
  EXPECT_NE(r.out.find("-E"), std::string::npos) << r.out;
  WriteBytes(dir_ / "plain.bin", Noise(1000, 3));
  r = Pack("list plain.bin");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("plain.bin: Cannot open archive!"), std::string::npos) << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
  // The older format is there but refused, bare or behind its self-extractor.
  WriteBytes(dir_ / "old.rar", "RE~^" + Noise(100, 4));
  WriteBytes(dir_ / "oldsfx.exe",
             "MZ" + std::string(26, '\0') + "RSFX" + Noise(100, 5) + "RE~^" + Noise(100, 6));
  for (const char* command : {"list old.rar", "test oldsfx.exe", "extract old.rar -o old"}) {
    r = Pack(command);
    EXPECT_EQ(r.status, 2) << command;
    EXPECT_NE(r.out.find("Cannot open archive! (an archive of the older RAR 1.x format"), std::string::npos)
        << command << r.out;
  }
}

TEST_F(OsinPack, TestReportsFailingEntriesWithTheirResult) {
  Result r = Pack("test '" + Sample("seektest.rar") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("FAILED stest1.txt: result 3, CRC mismatch: packed with the RAR 2.9 method"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("1 ok, 1 failed"), std::string::npos) << r.out;
  r = Pack("extract '" + Sample("rar3-old.rar") + "' -o vols");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("split over volumes"), std::string::npos) << r.out;
  r = Pack("list '" + Sample("rar15-comment.rar") + "'");
  EXPECT_NE(r.out.find("RAR 1.5"), std::string::npos) << r.out;
  r = Pack("test '" + Sample("rar202-comment-nopsw.rar") + "'");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("2 ok, 0 failed"), std::string::npos);
  // Cut inside its second entry's header: the first is whole, the file is not.
  std::vector<RarEntry> e = {StoredEntry("one.txt", "one", 0), StoredEntry("two.txt", "two", 0)};
  std::string whole = WriteRarArchive(e.data(), e.size(), false);
  WriteBytes(dir_ / "cut.rar", whole.substr(0, whole.size() - 7 - 3 - 20));
  for (const char* command : {"list cut.rar", "test cut.rar", "extract cut.rar -o cut"}) {
    r = Pack(command);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_NE(r.out.find("FAILED: the archive is cut short"), std::string::npos) << command << r.out;
  }
  EXPECT_EQ(ReadBytes(dir_ / "cut" / "one.txt"), "one");
}

TEST_F(OsinPack, ExtractReportsByNameAndKeepsEverythingBelowTheFolder) {
  // OEM names (code page 437: 0x82 is e acute, 0x81 u umlaut) come out in this system's UTF-8.
  std::vector<RarEntry> e = {StoredEntry("good\\one.txt", "one", 0),
                             StoredEntry("..\\..\\\x82vil.txt", "evil", 0), StoredEntry("two.txt", "two", 0),
                             StoredEntry("caf\x82\\m\x81nze.txt", "coin", 0)};
  e[2].crc ^= 1;
  WriteBytes(dir_ / "x.rar", WriteRarArchive(e.data(), e.size(), false));
  Result r = Pack("extract x.rar -o dest/inner");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("FAILED ..\\\xC3\xA9vil.txt: result 6"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("FAILED two.txt: result 3"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2 ok, 2 failed"), std::string::npos) << r.out;
  EXPECT_EQ(ReadBytes(dir_ / "dest" / "inner" / "caf\xC3\xA9" / "m\xC3\xBCnze.txt"), "coin");
  EXPECT_NE(Pack("list x.rar").out.find("caf\xC3\xA9\\m\xC3\xBCnze.txt"), std::string::npos);
  EXPECT_EQ(ReadBytes(dir_ / "dest" / "inner" / "good" / "one.txt"), "one");
  EXPECT_FALSE(fs::exists(dir_ / "dest" / "inner" / "two.txt"));
  for (const auto& f : fs::recursive_directory_iterator(dir_))
    EXPECT_EQ(f.path().filename().string().find("vil.txt"), std::string::npos) << f.path();
  for (const auto& f : fs::directory_iterator(dir_.parent_path()))
    EXPECT_EQ(f.path().filename().string().find("vil.txt"), std::string::npos) << f.path();
}

TEST_F(OsinPack, AWriteThatFailsFailsTheEntryAndLeavesNoPart) {
  // A file size limit makes writes fail the way a full disk does, while the
  // bytes the entry produced still match its CRC.
  std::string big = Noise(300000, 9);
  std::vector<RarEntry> e = {StoredEntry("small.txt", "small", 0), StoredEntry("big.bin", big, 0)};
  WriteBytes(dir_ / "x.rar", WriteRarArchive(e.data(), e.size(), false));
  Result r = Run("trap '' XFSZ; ulimit -f 200; '" + pack_ + "' extract x.rar -o out");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("FAILED big.bin: result 6"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 ok, 1 failed"), std::string::npos) << r.out;
  EXPECT_EQ(ReadBytes(dir_ / "out" / "small.txt"), "small");
  EXPECT_FALSE(fs::exists(dir_ / "out" / "big.bin"));
}

TEST_F(OsinPack, BuildPutsPresetupFirstBehindTheStub) {
  WriteBytes(dir_ / "proj" / "Presetup" / "Osin.ini", "[Config]\r\n");
  WriteBytes(dir_ / "proj" / "Presetup" / "en.lng", "[Strings]\r\n");
  WriteBytes(dir_ / "proj" / "Data" / "App.exe", Noise(5000, 4));
  WriteBytes(dir_ / "proj" / "Data" / "A" / "first.txt",
             "a");  // sorts before Presetup by name, yet comes after
  std::string stub = "MZ" + std::string(40000, '\x90');
  WriteBytes(dir_ / "stub.exe", stub);
  Result r = Pack("build proj -o setup.exe --stub stub.exe --solid");
  ASSERT_EQ(r.status, 0) << r.out;
  std::string setup = ReadBytes(dir_ / "setup.exe");
  EXPECT_EQ(setup.substr(0, stub.size()), stub);
  Result l = Pack("list setup.exe");
  EXPECT_NE(l.out.find("archive at offset 40002, solid"), std::string::npos) << l.out;
  size_t ini = l.out.find("Presetup\\Osin.ini"), lng = l.out.find("Presetup\\en.lng");
  size_t a = l.out.find("Data\\A\\first.txt"), app = l.out.find("Data\\App.exe");
  EXPECT_LT(ini, lng);  // byte order: "Osin.ini" before "en.lng"
  EXPECT_LT(std::max(ini, lng), std::min(a, app));
  EXPECT_EQ(Pack("test setup.exe").status, 0);
  ASSERT_EQ(Run("unar -q -D -o out setup.exe").status, 0);
  EXPECT_EQ(ReadBytes(dir_ / "out" / "Data" / "App.exe"), Noise(5000, 4));
}

TEST_F(OsinPack, BuildPacksPresetupNamesBeginningWithADotQuietly) {
  // The setup program's clean-up removes them like any other name.
  WriteBytes(dir_ / "proj" / "Presetup" / "Osin.ini", "[Config]\r\n");
  WriteBytes(dir_ / "proj" / "Presetup" / ".svn" / "entries", "x");
  WriteBytes(dir_ / "stub.exe", "MZ stub");
  Result r = Pack("build proj -o setup.exe --stub stub.exe");
  ASSERT_EQ(r.status, 0) << r.out;
  // The project check has its say about the bare project, not about them.
  EXPECT_EQ(r.out.find(".svn"), std::string::npos) << r.out;
  EXPECT_NE(Pack("list setup.exe").out.find("Presetup\\.svn\\entries"), std::string::npos);
}

TEST_F(OsinPack, BuildRefusesStubsThatHideTheArchive) {
  WriteBytes(dir_ / "proj" / "Presetup" / "Osin.ini", "[Config]\r\n");
  WriteBytes(dir_ / "setup.exe", "previous");
  WriteBytes(dir_ / "big.exe", std::string(7 + 0x1FFF0 - 9, 'M'));
  Result r = Pack("build proj -o setup.exe --stub big.exe");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("big.exe: the stub is 131054 bytes"), std::string::npos) << r.out;
  WriteBytes(dir_ / "marked.exe",
             "MZ" + std::string("Rar!\x1a\x07\x00\x00\x00\x73", 10) + std::string(100, 'x'));
  r = Pack("build proj -o setup.exe --stub marked.exe");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("marked.exe: the stub holds a RAR archive marker at offset 2"), std::string::npos)
      << r.out;
  EXPECT_EQ(ReadBytes(dir_ / "setup.exe"), "previous");
  // The largest stub that still works.
  WriteBytes(dir_ / "edge.exe", std::string(7 + 0x1FFF0 - 10, 'M'));
  r = Pack("build proj -o setup.exe --stub edge.exe");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Pack("test setup.exe").status, 0);
  // A signed stub (a PE32+ image whose certificate table is not empty):
  // the archive after its signature breaks the signature.
  std::string pe = "MZ" + std::string(0x3A, '\0') + std::string("\x40\0\0\0PE\0\0", 8) +
                   std::string(20, '\0') + std::string("\x0b\x02", 2) + std::string(110 + 4 * 8, '\0') +
                   std::string("\x10\0\0\0\x20\0\0\0", 8);
  WriteBytes(dir_ / "signed.exe", pe);
  r = Pack("build proj -o setup.exe --stub signed.exe");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("warning: signed.exe is signed"), std::string::npos) << r.out;
  r = Pack("build proj -o setup.exe --stub edge.exe");
  EXPECT_EQ(r.out.find("is signed"), std::string::npos) << r.out;
}

TEST_F(OsinPack, BuildWithoutStubUsesTheOsinExeBesideItself) {
  WriteBytes(dir_ / "proj" / "Presetup" / "Osin.ini", "[Config]\r\n");
  // A copy of osin-pack in a folder of its own, away from any build tree.
  fs::create_directories(dir_ / "kit");
  fs::copy_file(pack_, dir_ / "kit" / "osin-pack");
  Result r = Run("kit/osin-pack build proj -o setup.exe");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("build needs --stub osin.exe"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "setup.exe"));
  std::string stub = "MZ shipped beside osin-pack";
  WriteBytes(dir_ / "kit" / "osin.exe", stub);
  r = Run("kit/osin-pack build proj -o setup.exe");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(ReadBytes(dir_ / "setup.exe").substr(0, stub.size()), stub);
  EXPECT_NE(r.out.find("kit/osin.exe)"), std::string::npos) << r.out;  // says which one it took
  EXPECT_EQ(Pack("test setup.exe").status, 0);
}

TEST_F(OsinPack, BuildAddsTheUninstallerTheConfigurationAsksFor) {
  WriteBytes(dir_ / "proj" / "Presetup" / "Osin.ini", "[Config]\r\nUninstall=1\r\n");
  WriteBytes(dir_ / "proj" / "Presetup" / "Zz.lng", "[Strings]\r\n");
  WriteBytes(dir_ / "kit" / "osin.exe", "MZ stub");
  Result r = Pack("build proj -o setup.exe --stub kit/osin.exe --uninstaller none.exe");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("asks for an uninstaller ([Config] Uninstall=1)"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "setup.exe"));
  // The one shipped beside the stub, in its place among the names.
  WriteBytes(dir_ / "kit" / "UnOsin.exe", "MZ uninstaller");
  r = Pack("build proj -o setup.exe --stub kit/osin.exe");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("uninstaller: kit/UnOsin.exe"), std::string::npos) << r.out;
  std::string listing = Pack("list setup.exe").out;
  size_t ini = listing.find("Presetup\\Osin.ini"), un = listing.find("Presetup\\UnOsin.exe"),
         lng = listing.find("Presetup\\Zz.lng");
  ASSERT_NE(un, std::string::npos) << listing;
  EXPECT_LT(ini, un);
  EXPECT_LT(un, lng);
  ASSERT_EQ(Pack("extract setup.exe -o out").status, 0);
  EXPECT_EQ(ReadBytes(dir_ / "out" / "Presetup" / "UnOsin.exe"), "MZ uninstaller");
  // A project's own uninstaller wins; without Uninstall=1 none is added.
  WriteBytes(dir_ / "proj" / "Presetup" / "unosin.exe", "MZ the project's own");
  r = Pack("build proj -o setup.exe --stub kit/osin.exe");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("uninstaller:"), std::string::npos) << r.out;
  fs::remove(dir_ / "proj" / "Presetup" / "unosin.exe");
  WriteBytes(dir_ / "proj" / "Presetup" / "Osin.ini", "[Config]\r\nUninstall=0\r\n");
  r = Pack("build proj -o setup.exe --stub kit/osin.exe");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Pack("list setup.exe").out.find("UnOsin"), std::string::npos);
}

TEST_F(OsinPack, ErrorsNameTheFileAndLeaveNoHalfWrittenOutput) {
  WriteBytes(dir_ / "src" / "ok.txt", "ok");
  WriteBytes(dir_ / "src" / "locked.txt", "secret");
  fs::permissions(dir_ / "src" / "locked.txt", fs::perms::all, fs::perm_options::remove);
  if (getuid() == 0) {
    // root reads anything; use a name that cannot be written instead.
    fs::remove(dir_ / "src" / "locked.txt");
    WriteBytes(dir_ / "src" / "\xe2\x82\xac.txt", "euro");  // no euro sign in code page 437
  }
  WriteBytes(dir_ / "a.rar", "previous");
  Result r = Pack("archive src -o a.rar");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("src/"), std::string::npos) << r.out;
  EXPECT_EQ(ReadBytes(dir_ / "a.rar"), "previous");
  EXPECT_FALSE(fs::exists(dir_ / "a.rar.osin-tmp"));
  // What cannot be packed stops the work instead of vanishing from the archive.
  fs::remove_all(dir_ / "src");
  WriteBytes(dir_ / "src" / "ok.txt", "ok");
  for (const char* odd : {"broken", "folder"}) {
    fs::create_symlink(std::string(odd) == "broken" ? dir_ / "none" : dir_ / "proj", dir_ / "src" / odd);
    fs::create_directories(dir_ / "proj");
    r = Pack("archive src -o a.rar");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find(std::string("src/") + odd + ": "), std::string::npos) << r.out;
    EXPECT_EQ(ReadBytes(dir_ / "a.rar"), "previous");
    fs::remove(dir_ / "src" / odd);
  }
  fs::create_directories(dir_ / "folder.rar");
  r = Pack("archive src -o folder.rar");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("folder.rar: not a file"), std::string::npos) << r.out;
  WriteBytes(dir_ / "src" / "huge.bin", "");
  fs::resize_file(dir_ / "src" / "huge.bin", 0x100000000u);  // sparse: refused before it is read
  r = Pack("archive src -o a.rar -0");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("huge.bin: files of 4 GB or more"), std::string::npos) << r.out;
  fs::remove(dir_ / "src" / "huge.bin");
  // Stopped while it packs, as Ctrl+C or a job runner's kill does.
  WriteBytes(dir_ / "src" / "noise.bin", Noise(16 << 20, 3));
  // "true;" ends the runner's "cd folder &&" list, so that the cd holds for
  // the whole line and not only for the job sent to the background.
  r = Run("true; '" + pack_ + "' archive src -o a.rar -5 & p=$!; n=0; " +
          "while [ ! -e a.rar.osin-tmp ] && [ $n -lt 500 ]; do sleep 0.01; n=$((n+1)); done; " +
          "echo polled $n; kill -TERM $p; wait $p; echo stopped $?");
  EXPECT_EQ(r.out.find("polled 500"), std::string::npos) << r.out;  // the temporary file was seen
  EXPECT_NE(r.out.find("stopped 143"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "a.rar.osin-tmp"));
  EXPECT_EQ(ReadBytes(dir_ / "a.rar"), "previous");
  // Stopped by a file-size limit (ulimit -f, in 512-byte blocks here).
  r = Run("true; (ulimit -f 64; exec '" + pack_ + "' archive src -o a.rar -0); echo stopped $?");
  EXPECT_NE(r.out.find("stopped 153"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "a.rar.osin-tmp"));
  EXPECT_EQ(ReadBytes(dir_ / "a.rar"), "previous");
  fs::remove(dir_ / "src" / "noise.bin");
  EXPECT_EQ(Pack("frobnicate x").status, 2);
  // Asked for, the usage is an answer, not an error; it names every option a command takes.
  r = Pack("--help");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("osin-pack test FILE [-p PASSWORD] [--codepage N]"), std::string::npos) << r.out;
  EXPECT_EQ(Pack("").status, 2);
  EXPECT_EQ(Pack("extract a.rar").status, 2);  // no -o
  // A signing option without --sign would give an unsigned setup quietly.
  WriteBytes(dir_ / "proj" / "Presetup" / "Osin.ini", "[Config]\r\n");
  r = Pack("build proj -o s.exe --stub a.rar --sign-password pw");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("need --sign"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "s.exe"));
}

}  // namespace
}  // namespace osin
