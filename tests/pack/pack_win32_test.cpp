// osin-pack.exe under Wine: the Windows build of the tool on the verbs a
// publisher uses there.
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "archive/unpack.h"
#include "files.h"
#include "pack/local.h"
#include "pack/rar_writer.h"
#include "testing.h"

namespace fs = std::filesystem;

namespace osin {
namespace {

class OsinPackWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           (std::string("osin-packexe-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const char* build = getenv("OSIN_BUILD_DIR");
    pack_ = "Z:" + std::string(build ? build : "") + "/tools/pack/osin-pack.exe";
  }
  void TearDown() override { fs::remove_all(dir_); }

  int Pack(const std::string& args, std::string& out) {
    std::string command = "\"\"" + pack_ + "\" " + args + " 2>&1\"";
    FILE* p = _popen(command.c_str(), "r");
    out.clear();
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), p)) > 0) out.append(buf, n);
    return _pclose(p);
  }
  std::string Q(const fs::path& p) { return "\"" + p.string() + "\""; }

  // The same through the wide command line, which carries any name
  // whatever this system's ANSI code page.
  int PackW(const std::wstring& args, std::string& out) {
    std::wstring command = L"\"\"" + fs::path(pack_).wstring() + L"\" " + args + L" 2>&1\"";
    FILE* p = _wpopen(command.c_str(), L"r");
    out.clear();
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), p)) > 0) out.append(buf, n);
    return _pclose(p);
  }
  std::wstring W(const fs::path& p) { return L"\"" + p.wstring() + L"\""; }

  fs::path dir_;
  std::string pack_;
};

// The project check of the Windows build sees the demo as the native one
// does (clean), and a broken copy of it under --strict as an error.
TEST_F(OsinPackWin32, CheckTheDemoAndABrokenProject) {
  const char* source = getenv("OSIN_SOURCE_DIR");
  std::string demo = "Z:" + std::string(source ? source : "") + "/examples/demo";
  std::string out;
  ASSERT_EQ(Pack("check \"" + demo + "\" --strict", out), 0) << out;
  EXPECT_EQ(out.find("warning"), std::string::npos) << out;
  WriteBytes(dir_ / "proj" / "Presetup" / "Osin.ini", "[Config]\r\nShowMainWindow=1\r\n");
  EXPECT_EQ(Pack("check " + Q(dir_ / "proj") + " --strict", out), 2) << out;
  EXPECT_NE(out.find("Presetup/Osin.ini:2: warning: the setup does not read ShowMainWindow in [Config]"),
            std::string::npos)
      << out;
}

TEST_F(OsinPackWin32, BuildListTestAndExtract) {
  WriteBytes(dir_ / "proj" / "Presetup" / "Osin.ini", "[Config]\r\n");
  WriteBytes(dir_ / "proj" / "Data" / "Sub" / "app.exe", std::string(70000, 'a'));
  WriteBytes(dir_ / "stub.exe", "MZ windows stub");
  std::string out;
  ASSERT_EQ(
      Pack("build " + Q(dir_ / "proj") + " -o " + Q(dir_ / "setup.exe") + " --stub " + Q(dir_ / "stub.exe"),
           out),
      0)
      << out;
  ASSERT_EQ(Pack("list " + Q(dir_ / "setup.exe"), out), 0) << out;
  EXPECT_NE(out.find("archive at offset 15"), std::string::npos) << out;
  EXPECT_LT(out.find("Presetup\\Osin.ini"), out.find("Data\\Sub\\app.exe")) << out;
  ASSERT_EQ(Pack("test " + Q(dir_ / "setup.exe"), out), 0) << out;
  EXPECT_NE(out.find("2 ok, 0 failed"), std::string::npos) << out;
  ASSERT_EQ(Pack("extract " + Q(dir_ / "setup.exe") + " -o " + Q(dir_ / "out"), out), 0) << out;
  EXPECT_EQ(ReadBytes(dir_ / "out" / "Data" / "Sub" / "app.exe"), std::string(70000, 'a'));
}

// --codepage names the entry names' OEM code page in both directions, as
// on Linux: O-stroke is 0x9D in code page 850 (a yen sign in 437, the
// system's table here), and Cyrillic names come back whole even where the
// system's ANSI code page cannot spell them.
TEST_F(OsinPackWin32, NamesGoToAndComeFromTheGivenCodePage) {
  WriteBytes(dir_ / L"west" / L"\u00d8.txt", "o");
  std::string out;
  ASSERT_EQ(Pack("archive " + Q(dir_ / "west") + " -o " + Q(dir_ / "west.rar") + " --codepage 850", out), 0)
      << out;
  EXPECT_NE(ReadBytes(dir_ / "west.rar").find("\x9d.txt"), std::string::npos);
  // Listed in the system's ANSI code page (where it has the letter).
  char shown[8] = {};
  BOOL lost = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, L"\u00d8.txt", -1, shown, sizeof(shown), nullptr, &lost);
  std::string west;
  ASSERT_EQ(Pack("list " + Q(dir_ / "west.rar") + " --codepage 850", out), 0) << out;
  ASSERT_EQ(Pack("list " + Q(dir_ / "west.rar"), west), 0) << west;
  if (!lost) {
    EXPECT_NE(out.find(std::string("  ") + shown), std::string::npos) << out;
    // Without it the names read as this system's setup would read them.
    EXPECT_EQ(west.find(std::string("  ") + shown), std::string::npos) << west;
  }

  WriteBytes(dir_ / "proj" / "Presetup" / "Osin.ini", "[Config]\r\n");
  WriteBytes(dir_ / "proj" / "Data" / L"\u0434\u0430" / L"\u044f.txt", "ya");
  WriteBytes(dir_ / "stub.exe", "MZ windows stub");
  ASSERT_EQ(Pack("build " + Q(dir_ / "proj") + " -o " + Q(dir_ / "setup.exe") + " --stub " +
                     Q(dir_ / "stub.exe") + " --codepage 866",
                 out),
            0)
      << out;
  EXPECT_NE(ReadBytes(dir_ / "setup.exe").find("Data\\\xa4\xa0\\\xef.txt"), std::string::npos);
  ASSERT_EQ(Pack("test " + Q(dir_ / "setup.exe") + " --codepage 866", out), 0) << out;
  ASSERT_EQ(Pack("extract " + Q(dir_ / "setup.exe") + " -o " + Q(dir_ / "out") + " --codepage 866", out), 0)
      << out;
  EXPECT_EQ(ReadBytes(dir_ / "out" / "Data" / L"\u0434\u0430" / L"\u044f.txt"), "ya");
  EXPECT_EQ(ReadBytes(dir_ / "out" / "Presetup" / "Osin.ini"), "[Config]\r\n");
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(dir_ / "out"), fs::recursive_directory_iterator()),
            5);
}

// A publisher keeps projects in folders named in their own letters, in
// the ANSI code page (U-umlaut, and the OE ligature, which only code page
// 1252 has of the two) or not (Cyrillic on a Western system): every verb
// reads them, the check too, and pipes get the names in the ANSI code
// page. A password outside ASCII arrives whole on any system.
TEST_F(OsinPackWin32, EveryVerbWorksInFoldersOfAnyName) {
  for (const std::wstring& name :
       {std::wstring(L"\u00dcbung-\u0152uvre"), std::wstring(L"\u041f\u0440\u043e\u0435\u043a\u0442")}) {
    SCOPED_TRACE(fs::path(name).string());
    fs::path root = dir_ / name;
    WriteBytes(root / L"Demo" / "Presetup" / "Osin.ini",
               "[Config]\r\nShowMainWindow=1\r\nInsFiles=\xdc"
               "bung\r\n");
    WriteBytes(root / L"Demo" / "Presetup" /
                   L"\u00dc"
                   L"bung.ins",
               "[Files]\r\n");
    WriteBytes(root / L"Demo" / "Data" / L"Gr\u00fc\u00dfe.txt", "hallo");
    WriteBytes(root / L"St\u00fcb.exe", "MZ windows stub");
    fs::path setup = root / (name + L".exe");
    std::string out;
    ASSERT_EQ(PackW(L"check " + W(root / L"Demo"), out), 0) << out;
    EXPECT_EQ(out.find("cannot be read"), std::string::npos) << out;
    EXPECT_NE(out.find("Osin.ini:2: warning: the setup does not read ShowMainWindow"), std::string::npos)
        << out;
    ASSERT_EQ(PackW(L"build " + W(root / L"Demo") + L" -o " + W(setup) + L" --stub " +
                        W(root / L"St\u00fcb.exe") + L" --codepage 850 --password Gr\u00fc\u00dfe",
                    out),
              0)
        << out;
    EXPECT_NE(ReadBytes(setup).find("Data\\Gr\x81\xe1"
                                    "e.txt"),
              std::string::npos);
    ASSERT_EQ(PackW(L"list " + W(setup) + L" --codepage 850", out), 0) << out;
    EXPECT_NE(out.find("archive at offset 15"), std::string::npos) << out;
    char shown[16] = {};
    BOOL lost = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, shown, sizeof(shown), nullptr, &lost);
    if (!lost) {
      EXPECT_NE(out.find(std::string(shown) + ".exe: archive"), std::string::npos) << out;
    }
    ASSERT_EQ(PackW(L"test " + W(setup) + L" -p Gr\u00fc\u00dfe --codepage 850", out), 0) << out;
    EXPECT_NE(out.find("4 ok, 0 failed"), std::string::npos) << out;
    // The password is the one typed, in code page 1252 as the setup reads it.
    fs::remove(dir_ / "copy.exe");
    fs::copy_file(setup, dir_ / "copy.exe");
    RarReader reader;
    ASSERT_TRUE(reader.OpenArchiveFile((dir_ / "copy.exe").string().c_str(), kOpenExtract));
    TRARHeader h;
    int tested = 0;
    for (; reader.ReadNextFileHeader(h) == 0; ++tested)
      EXPECT_EQ(reader.ProcessEntry(aoTest, "", "",
                                    "Gr\xfc\xdf"
                                    "e",
                                    nullptr),
                kEntryOk)
          << h.EntryName.c_str();
    EXPECT_EQ(tested, 4);
    ASSERT_EQ(PackW(L"extract " + W(setup) + L" -o " + W(root / L"Entpackt") +
                        L" -p Gr\u00fc\u00dfe --codepage 850",
                    out),
              0)
        << out;
    EXPECT_EQ(ReadBytes(root / L"Entpackt" / "Data" / L"Gr\u00fc\u00dfe.txt"), "hallo");
    ASSERT_EQ(PackW(L"archive " + W(root / L"Demo" / "Data") + L" -o " + W(root / L"D\u00e4ten.rar"), out), 0)
        << out;
    ASSERT_EQ(PackW(L"test " + W(root / L"D\u00e4ten.rar"), out), 0) << out;
    EXPECT_NE(out.find("1 ok, 0 failed"), std::string::npos) << out;
  }
}

// A Windows process under Wine does not see this system's programs on its
// PATH, so the Windows build cannot reach osslsigncode here: it must say
// what is missing, end with 2 and leave no setup, signed or not, behind,
// not even in place of an older one.
TEST_F(OsinPackWin32, SigningWithoutOsslsigncodeSaysSoAndWritesNothing) {
  WriteBytes(dir_ / "proj" / "Presetup" / "Osin.ini", "[Config]\r\n");
  WriteBytes(dir_ / "stub.exe", "MZ windows stub");
  WriteBytes(dir_ / "cert.pem", "certificate");
  WriteBytes(dir_ / "key.pem", "key");
  WriteBytes(dir_ / "setup.exe", "an older setup");
  std::string out;
  EXPECT_EQ(
      Pack("build " + Q(dir_ / "proj") + " -o " + Q(dir_ / "setup.exe") + " --stub " + Q(dir_ / "stub.exe") +
               " --sign " + Q(dir_ / "cert.pem") + " --key " + Q(dir_ / "key.pem"),
           out),
      2)
      << out;
  EXPECT_NE(
      out.find(
          "osin-pack: cannot run osslsigncode to sign the setup: it is not installed or not on the PATH"),
      std::string::npos)
      << out;
  EXPECT_NE(out.find("osslsigncode.exe"), std::string::npos) << out;
  EXPECT_EQ(ReadBytes(dir_ / "setup.exe"), "an older setup");
  EXPECT_FALSE(fs::exists(dir_ / "setup.exe.unsigned"));
  EXPECT_FALSE(fs::exists(dir_ / "setup.exe.signing"));
}

// Names show in their own letters in a console whatever its code page;
// a file (or pipe) gets them in the ANSI code page, as before.
TEST(PrintWin32, ConsolesGetEveryLetterFilesTheAnsiCodePage) {
  // A console of its own: Wine attaches none to a program run from a
  // pipe, nor does a service on Windows; Wine makes one only with a
  // display.
  FreeConsole();
  ASSERT_TRUE(AllocConsole());
  HANDLE buffer = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
  DWORD mode = 0;
  if (buffer == INVALID_HANDLE_VALUE || !GetConsoleMode(buffer, &mode))
    GTEST_SKIP() << "no console without a display";
  FILE* console = _fdopen(_open_osfhandle(intptr_t(buffer), 0), "w");
  ASSERT_NE(console, nullptr);
  const char* text =
      "\xd0\x94\xd0\xb5\xd0\xbc\xd0\xbe \xc3\x9c"
      "bung";  // UTF-8
  Print(console, "%s: %d\n", text, 7);
  wchar_t cells[16] = {};
  DWORD read = 0;
  ASSERT_TRUE(ReadConsoleOutputCharacterW(buffer, cells, 13, COORD{0, 0}, &read));
  EXPECT_EQ(std::wstring(cells, read),
            L"\u0414\u0435\u043c\u043e \u00dc"
            L"bung: 7");
  fclose(console);

  fs::path path = fs::temp_directory_path() / "osin-print.txt";
  FILE* file = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(file, nullptr);
  Print(file, "%s\n", text);
  fclose(file);
  char expected[16] = {};
  WideCharToMultiByte(CP_ACP, 0,
                      L"\u0414\u0435\u043c\u043e \u00dc"
                      L"bung\n",
                      -1, expected, sizeof(expected), "?", nullptr);
  EXPECT_EQ(ReadBytes(path), expected);
  fs::remove(path);
}

TEST_F(OsinPackWin32, FailuresSetTheExitStatus) {
  RarEntry bad = StoredEntry("bad.txt", "bad", 0);
  bad.crc ^= 1;
  RarEntry escape = StoredEntry("..\\..\\up.txt", "up", 0);
  RarEntry both[2] = {bad, escape};
  WriteBytes(dir_ / "bad.rar", WriteRarArchive(both, 2, false));
  std::string out;
  EXPECT_EQ(Pack("extract " + Q(dir_ / "bad.rar") + " -o " + Q(dir_ / "x" / "y"), out), 1) << out;
  EXPECT_NE(out.find("FAILED bad.txt: result 3"), std::string::npos) << out;
  EXPECT_NE(out.find("FAILED ..\\up.txt: result 6"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(dir_ / "up.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "x" / "up.txt"));
  WriteBytes(dir_ / "plain.txt", "no archive");
  EXPECT_EQ(Pack("list " + Q(dir_ / "plain.txt"), out), 2) << out;
}

}  // namespace
}  // namespace osin
