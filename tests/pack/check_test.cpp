// The project check on the demo project, which is clean, and on broken
// copies of it, each broken in one way publishers get wrong; then the
// check and the build as a user runs them.
#include "pack/check.h"

#include <stdlib.h>

#include <set>
#include <sstream>

#include "command.h"
#include "files.h"

namespace osin {
namespace {

fs::path Demo() {
  const char* source = getenv("OSIN_SOURCE_DIR");
  return fs::path(source ? source : ".") / "examples" / "demo";
}

// One change to a copy of the demo: Text replaced by With in File (or
// appended when Text is empty); With empty and Text "*" removes the file;
// Text "*size" makes it a sparse file of With bytes.
struct Edit {
  const char* file;
  std::string text, with;
};

struct BrokenProject {
  const char* what;
  std::vector<Edit> edits;
  const char* kind;
  const char* file;  // where the finding must point (the start of its name)
};

// A 32-bit library that carries the file version 1.1.0.20, laid out as a
// linker does: the PE header, one section .rsrc at 0x1000 (file offset
// 0x200) holding the resource tree of type 16, name 1, language 0x409 and
// the version resource itself.
std::string VersionedLibrary() {
  std::string b(0x200 + 0xB4, '\0');
  auto put = [&b](size_t at, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) b[at + size_t(i)] = char(value >> (8 * i));
  };
  b[0] = 'M', b[1] = 'Z';
  put(0x3C, 0x40, 4);  // the PE header's offset
  b.replace(0x40, 4, std::string("PE\0\0", 4));
  put(0x44, 0x14C, 2), put(0x46, 1, 2);                          // i386, one section
  put(0x54, 0xE0, 2), put(0x56, 0x2102, 2);                      // optional header size; a DLL
  put(0x58, 0x10B, 2), put(0x58 + 92, 16, 4);                    // PE32, 16 directories
  put(0x58 + 96 + 16, 0x1000, 4), put(0x58 + 96 + 20, 0xB4, 4);  // the resources
  b.replace(0x138, 5, ".rsrc");
  put(0x138 + 8, 0xB4, 4), put(0x138 + 12, 0x1000, 4);  // size and address in memory
  put(0x138 + 16, 0xB4, 4), put(0x138 + 20, 0x200, 4);  // size and offset in the file
  size_t r = 0x200;
  put(r + 14, 1, 2), put(r + 16, 16, 4), put(r + 20, 0x80000018, 4);            // type 16
  put(r + 0x18 + 14, 1, 2), put(r + 0x28, 1, 4), put(r + 0x2C, 0x80000030, 4);  // name 1
  put(r + 0x30 + 14, 1, 2), put(r + 0x40, 0x409, 4), put(r + 0x44, 0x48, 4);    // language: data
  put(r + 0x48, 0x1058, 4), put(r + 0x4C, 0x5C, 4);                             // the data's address and size
  size_t v = r + 0x58;
  put(v, 0x5C, 2), put(v + 2, 0x34, 2);
  const char key[] = "VS_VERSION_INFO";
  for (size_t c = 0; c < sizeof key; ++c) put(v + 6 + 2 * c, uint8_t(key[c]), 2);
  put(v + 40, 0xFEEF04BD, 4), put(v + 44, 0x10000, 4);
  put(v + 48, 0x10001, 4), put(v + 52, 20, 4);  // 1.1 and 0.20
  return b;
}

// A 2 x 1 bitmap of two colours, rows as 8-bit runs; Height -1 stores
// them top-down.
std::string RunsBitmap(int32_t height) {
  std::string b;
  auto put = [&b](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b += char(v >> 8 * i);
  };
  const uint32_t offset = 14 + 40 + 8;
  put('B' | 'M' << 8, 2), put(offset + 4, 4), put(0, 4), put(offset, 4);
  put(40, 4), put(2, 4), put(uint32_t(height), 4), put(1, 2), put(8, 2);   // 2 x 1, 8 bits
  put(1, 4), put(4, 4), put(2835, 4), put(2835, 4), put(2, 4), put(0, 4);  // RLE8, 4 bytes, 2 colours
  put(0, 4), put(0xFFFFFF, 4);                                             // black, white
  put(0x01000102, 4);  // two pixels of colour 1, end of bitmap
  return b;
}

#define TEN_CHARS "0123456789"
#define HUNDRED_CHARS \
  TEN_CHARS TEN_CHARS TEN_CHARS TEN_CHARS TEN_CHARS TEN_CHARS TEN_CHARS TEN_CHARS TEN_CHARS TEN_CHARS

const std::vector<BrokenProject>& Cases() {
  static const std::vector<BrokenProject> cases = {
      {"a misspelt section",
       {{"Presetup/Osin.ini", "", "[Dispaly]\r\nShowMainWindow=1\r\n"}},
       "unknown-section",
       "Presetup/Osin.ini"},
      {"a misspelt section of a language file, whose texts would never show",
       {{"Presetup/Enu.lng", "[Uninstall.Strings]", "[Unistall.Strings]"}},
       "unknown-section",
       "Presetup/Enu.lng"},
      {"a misspelt action section",
       {{"Presetup/App.ins", "[CopyFiles]", "[CopyFile]"}},
       "unknown-section",
       "Presetup/App.ins"},
      {"files the program makes, named for the uninstaller with a wildcard",
       {{"Presetup/App.ins", "", "\r\n[Uninstall.CopyFiles]\r\n%InstallPath%\\Logs\\*.log=\r\n"}},
       "bad-value",
       "Presetup/App.ins"},
      {"an install log in the folder the setup deletes when it ends",
       {{"Presetup/Osin.ini", "LogFile=%InstallPath%", "LogFile=%Presetup%"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"a registry text with a comma, not in apostrophes",
       {{"Presetup/System.ins", "Greeting='Hello, world'", "Greeting=Hello, world"}},
       "bad-value",
       "Presetup/System.ins"},
      {"a file the program makes, named for the uninstaller, which keeps it as written after the "
       "installation",
       {{"Presetup/App.ins", "", "\r\n[Uninstall.CopyFiles]\r\n%InstallPath%\\App.log=\r\n"}},
       "bad-value",
       "Presetup/App.ins"},
      {"a line to run at the end that lacks its program",
       {{"Presetup/System.ins", "Readme=%Windows%\\notepad.exe", "Readme="}},
       "bad-value",
       "Presetup/System.ins"},
      {"a language code made up the ISO way",
       {{"Presetup/Osin.ini", "Languages=Enu, Rus", "Languages=Enu, Rus, Ger"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"a misspelt key",
       {{"Presetup/Osin.ini", "ShowMainTitle=1", "ShowMainTitel=1"}},
       "unknown-key",
       "Presetup/Osin.ini"},
      {"yes for a Boolean",
       {{"Presetup/Osin.ini", "ShowMainWindow=1", "ShowMainWindow=yes"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"a colour in HTML form",
       {{"Presetup/Osin.ini", "$402000", "#402000"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"lower-case font styles",
       {{"Presetup/Osin.ini", "$FFFFFF,BI", "$FFFFFF,bi"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"a blank in SupportedOS",
       {{"Presetup/Osin.ini", "Uninstall=0", "Uninstall=0\r\nSupportedOS=nt, 9x"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"a page that does not exist",
       {{"Presetup/Osin.ini", "DLG_START", "DLG_BEGIN"}},
       "unknown-page",
       "Presetup/Osin.ini"},
      {"the progress page in a sequence",
       {{"Presetup/Osin.ini", "DLG_START", "DLG_START,DLG_PROGRESS"}},
       "unknown-page",
       "Presetup/Osin.ini"},
      {"a blank in a page list",
       {{"Presetup/Osin.ini", "DLG_WELCOME,", "DLG_WELCOME, "}},
       "unknown-page",
       "Presetup/Osin.ini"},
      {"a header bitmap missing", {{"Presetup/Legal.bmp", "*", ""}}, "missing-file", "Presetup/Osin.ini"},
      {"a damaged background",
       {{"Presetup/Back.bmp", "*", "BM this is no bitmap"}},
       "bad-bitmap",
       "Presetup/Osin.ini"},
      {"a background of runs stored top-down",
       {{"Presetup/Back.bmp", "*", RunsBitmap(-1)}},
       "bad-bitmap",
       "Presetup/Osin.ini"},
      {"a language without its file",
       {{"Presetup/Osin.ini", "Enu, Rus", "Enu, Rus, Deu"}},
       "missing-file",
       "Presetup/Osin.ini"},
      {"a language name for a code",
       {{"Presetup/Osin.ini", "Enu, Rus", "Enu, Russian"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"a page text missing",
       {{"Presetup/Enu.lng", "107=Browse...", ""}},
       "missing-text",
       "Presetup/Enu.lng"},
      {"an item in an uninstaller text that takes none",
       {{"Presetup/Enu.lng", "1=%ProgramName% Uninstall", "1=%s Uninstall"}},
       "bad-value",
       "Presetup/Enu.lng"},
      {"a message missing",
       {{"Presetup/Rus.lng", "\r\n12=", "\r\n;12="}},
       "missing-text",
       "Presetup/Rus.lng"},
      {"an action naming no section",
       {{"Presetup/App.ins", "CopyAppFiles=", "CopyAppFile="}},
       "missing-section",
       "Presetup/App.ins"},
      {"a section no action names",
       {{"Presetup/App.ins", "", "\r\n[Leftover]\r\na=b\r\n"}},
       "unused-section",
       "Presetup/App.ins"},
      {"a copy target naming a folder",
       {{"Presetup/App.ins", "readme.txt=readme.txt", "readme.txt=Docs\\"}},
       "bad-value",
       "Presetup/App.ins"},
      {"an INI line without a key",
       {{"Presetup/System.ins", "[DemoIni]\r\nInstallPath=", "[DemoIni]\r\n="}},
       "bad-value",
       "Presetup/System.ins"},
      {"a copy line without its file",
       {{"Presetup/App.ins", "readme.txt=", "readme2.txt="}},
       "missing-file",
       "Presetup/App.ins"},
      {"a wildcard line before the line of one of its files",
       {{"Presetup/App.ins", "readme.txt=readme.txt", "*.txt=\r\nreadme.txt=readme.txt"}},
       "shadowed-line",
       "Presetup/App.ins"},
      {"a section header with a blank after it",
       {{"Presetup/Osin.ini", "[Display]", "[Display] "}},
       "lost-line",
       "Presetup/Osin.ini"},
      {"a text that goes on past its line end",
       {{"Presetup/Rus.lng", "\r\n102=", "\r\nthe rest of a text\r\n102="}},
       "lost-line",
       "Presetup/Rus.lng"},
      {"a key before the first section header",
       {{"Presetup/Enu.lng", "[Strings]", "ProgramName=Osin\r\n[Strings]"}},
       "lost-line",
       "Presetup/Enu.lng"},
      {"a second [Config] section",
       {{"Presetup/Osin.ini", "", "\r\n[Config]\r\nNeedReboot=1\r\n"}},
       "unused-section",
       "Presetup/Osin.ini"},
      {"a file nothing installs", {{"Data/extra.dat", "", "spare"}}, "unused-file", "Data/extra.dat"},
      {"an unknown variable",
       {{"Presetup/Osin.ini", "%ProgramFiles%", "%ProgramFolder%"}},
       "undefined-variable",
       "Presetup/Osin.ini"},
      {"a variable in the wrong case",
       {{"Presetup/Enu.lng", "%ProgramName% setup", "%programname% setup"}},
       "undefined-variable",
       "Presetup/Enu.lng"},
      {"a variable of one language only",
       {{"Presetup/Osin.ini", "", "\r\n[Variables.ENU]\r\nEdition=Home\r\n"},
        {"Presetup/Osin.ini", "%ProgramFiles%\\Osin Demo", "%ProgramFiles%\\Osin %Edition%"}},
       "undefined-variable",
       "Presetup/Osin.ini"},
      {"a variable that refers to itself",
       {{"Presetup/Osin.ini", "ProgramGroup=Osin Demo", "ProgramGroup=%ProgramGroup% Demo"}},
       "runaway-variable",
       "Presetup/Osin.ini"},
      {"two variables that refer to each other",
       {{"Presetup/Osin.ini", "ProgramGroup=Osin Demo", "ProgramGroup=%Edition%\r\nEdition=%ProgramGroup%"}},
       "runaway-variable",
       "Presetup/Osin.ini"},
      {"a name outside the code page",
       {{"Data/price\xE2\x82\xAC.txt", "", "euro"}},
       "code-page",
       "Data/price\xE2\x82\xAC.txt"},
      {"a script saved as UTF-8 with a byte-order mark",
       {{"Presetup/App.ins", "[CopyFiles]", "\xEF\xBB\xBF[CopyFiles]"}},
       "code-page",
       "Presetup/App.ins"},
      {"names that differ in case only", {{"Data/README.TXT", "", "twice"}}, "name-clash", "Data/"},
      {"a device name", {{"Data/Docs/aux.txt", "", "device"}}, "name-clash", "Data/Docs/aux.txt"},
      {"a file of 4 GB", {{"Data/disk.img", "*size", "4294967296"}}, "too-large", "Data/disk.img"},
      {"a path past what an archive name holds",
       {{"Data/" HUNDRED_CHARS "/" HUNDRED_CHARS "/" HUNDRED_CHARS ".txt", "", "deep"}},
       "long-name",
       "Data/0123"},
      {"Uninstall without an install log",
       {{"Presetup/Osin.ini", "Uninstall=0", "Uninstall=1"},
        {"Presetup/Osin.ini", "LogFile=%InstallPath%\\Install.log", "LogFile="}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"an uninstaller for a program whose name holds a backslash",
       {{"Presetup/Osin.ini", "Uninstall=0", "Uninstall=1"},
        {"Presetup/Osin.ini", "ProgramName=Osin Demo", "ProgramName=Osin\\Demo"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"an installation folder without its root",
       {{"Presetup/Osin.ini", "DefaultInstallPath=%ProgramFiles%\\Osin Demo",
         "DefaultInstallPath=Osin Demo"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"no installation folder",
       {{"Presetup/Osin.ini", "DefaultInstallPath=%ProgramFiles%\\Osin Demo", ""}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"an install log without its folder",
       {{"Presetup/Osin.ini", "LogFile=%InstallPath%\\Install.log", "LogFile=Install.log"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"a target folder without its root",
       {{"Presetup/App.ins", "CopyAppFiles=%InstallPath%", "CopyAppFiles=Files"}},
       "bad-value",
       "Presetup/App.ins"},
      {"an INI file without its folder",
       {{"Presetup/System.ins", "DemoIni=%Windows%\\win.ini", "DemoIni=win.ini"}},
       "bad-value",
       "Presetup/System.ins"},
      {"an INI file without its section",
       {{"Presetup/System.ins", "DemoIni=%Windows%\\win.ini,Osin Demo", "DemoIni=%Windows%\\win.ini"}},
       "bad-value",
       "Presetup/System.ins"},
      {"a shortcut to a file the setup does not install",
       {{"Presetup/System.ins", "Read Me=\"%Windows%\\notepad.exe\"",
         "Read Me=\"%InstallPath%\\readme.text\""}},
       "missing-file",
       "Presetup/System.ins"},
      {"a shortcut into the setup's temporary folder",
       {{"Presetup/System.ins", "Read Me=\"%Windows%\\notepad.exe\"", "Read Me=\"%Presetup%\\Readme.txt\""}},
       "bad-value",
       "Presetup/System.ins"},
      {"the licence page without a licence",
       {{"Presetup/License.txt", "*", ""}, {"Presetup/License.RUS", "*", ""}},
       "missing-file",
       "Presetup/Osin.ini"},
      {"a version of two numbers",
       {{"Presetup/Osin.ini", "", "\r\n[VersionInfo]\r\nreadme.txt=1.0\r\n"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"a version number beyond 16 bits",
       {{"Presetup/Osin.ini", "", "\r\n[VersionInfo]\r\nreadme.txt=1.70000.0.0\r\n"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"a misspelt script",
       {{"Presetup/Osin.ini", "InsFiles=App,System", "InsFiles=App,Sytem"}},
       "missing-file",
       "Presetup/Osin.ini"},
      {"a registry root in small letters",
       {{"Presetup/System.ins", "DemoObsolete=HKCU", "DemoObsolete=hkcu"}},
       "bad-value",
       "Presetup/System.ins"},
      {"a deletion of the whole software key",
       {{"Presetup/System.ins", "DemoObsolete=HKCU\\Software\\Osin Demo", "DemoObsolete=HKCU"},
        {"Presetup/System.ins", "[DemoObsolete]\r\nObsolete=", "[DemoObsolete]\r\nSoftware="}},
       "bad-value",
       "Presetup/System.ins"},
      {"a DWORD above the decimal range",
       {{"Presetup/System.ins", "Runs=#1", "Runs=#4294967295"}},
       "bad-value",
       "Presetup/System.ins"},
      {"a line break in an INI value",
       {{"Presetup/System.ins", "InstallPath=%InstallPath%\r\n\r\n;",
         "InstallPath=%InstallPath%||x=1\r\n\r\n;"}},
       "bad-value",
       "Presetup/System.ins"},
      {"a line break in a registry value",
       {{"Presetup/System.ins", "Greeting='Hello, world'", "Greeting='Hello,||world'"}},
       "bad-value",
       "Presetup/System.ins"},
      {"a program run first that is not in Presetup",
       {{"Presetup/Osin.ini", "", "\r\n[PreRunApp]\r\nCheck=\"%Presetup%\\check.exe\",/quiet\r\n"}},
       "missing-file",
       "Presetup/Osin.ini"},
      {"a program run first from where it is not installed yet",
       {{"Presetup/Osin.ini", "", "\r\n[PreRunApp]\r\nOld=%InstallPath%\\Uninstall.exe\r\n"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"a program run first from Presetup without its folder",
       {{"Presetup/Osin.ini", "", "\r\n[PreRunApp]\r\nCheck=check.exe\r\n"},
        {"Presetup/check.exe", "", "MZ"}},
       "bad-value",
       "Presetup/Osin.ini"},
      {"a font registered as a server",
       {{"Presetup/System.ins", "OsinMark.ttf,8", "OsinMark.ttf,4"}},
       "bad-value",
       "Presetup/System.ins"},
      {"flags out of range",
       {{"Presetup/System.ins", "OsinMark.ttf,8", "OsinMark.ttf,512"}},
       "bad-value",
       "Presetup/System.ins"},
      {"a version left from the last release",
       {{"Data/core.dll", "*", VersionedLibrary()},
        {"Presetup/App.ins", "[CopyAppFiles]\r\n", "[CopyAppFiles]\r\ncore.dll=\r\n"},
        {"Presetup/Osin.ini", "", "\r\n[VersionInfo]\r\ncore.dll=1.0.0.10\r\n"}},
       "version-info",
       "Presetup/Osin.ini"},
      {"a versioned library without its version",
       {{"Data/core.dll", "*", VersionedLibrary()},
        {"Presetup/App.ins", "[CopyAppFiles]\r\n", "[CopyAppFiles]\r\ncore.dll=\r\n"}},
       "version-info",
       "Data/core.dll"},
      {"no configuration", {{"Presetup/Osin.ini", "*", ""}}, "missing-file", "Presetup"},
  };
  return cases;
}

class ProjectCheck : public ScratchTest {
 protected:
  fs::path CopyOfDemo() {
    fs::path project = dir_ / "project";
    fs::remove_all(project);
    fs::copy(Demo(), project, fs::copy_options::recursive);
    return project;
  }
};

TEST_F(ProjectCheck, TheDemoIsClean) {
  std::vector<Finding> findings = CheckProject(Demo(), 437);
  for (const Finding& f : findings) ADD_FAILURE() << FormatFinding(f);
  // A name beyond ASCII, written by the script in the ANSI code page, is
  // the file the setup finds under Data.
  fs::path project = CopyOfDemo();
  ASSERT_TRUE(WriteBytes(project / "Data" / fs::u8path("R\xc3\xa9sum\xc3\xa9.txt"), "summary"));
  std::string script = ReadBytes(project / "Presetup" / "App.ins");
  script.insert(script.find("readme.txt="), "R\xe9sum\xe9.txt=\r\n");
  // A library registered as a server: a PE file header with the DLL bit.
  std::string library = "MZ" + std::string(0x3A, '\0') + "@" + std::string(3, '\0') + "PE" +
                        std::string(2 + 18, '\0') + std::string("\x02\x21", 2) + std::string(200, '\0');
  ASSERT_TRUE(WriteBytes(project / "Data" / "server.dll", library));
  script.insert(script.find("readme.txt="), "server.dll=server.dll,4\r\n");
  // Libraries whose version the setup knows, or whose version it is told
  // not to compare.
  ASSERT_TRUE(WriteBytes(project / "Data" / "core.dll", VersionedLibrary()));
  ASSERT_TRUE(WriteBytes(project / "Data" / "always.dll", VersionedLibrary()));
  script.insert(script.find("readme.txt="), "core.dll=\r\nalways.dll=,2\r\n");
  std::string config = ReadBytes(project / "Presetup" / "Osin.ini");
  ASSERT_TRUE(
      WriteBytes(project / "Presetup" / "Osin.ini", config + "\r\n[VersionInfo]\r\ncore.dll=1.01.0.20\r\n"));
  ASSERT_TRUE(WriteBytes(project / "Presetup" / "App.ins", script));
  for (const Finding& f : CheckProject(project, 437)) ADD_FAILURE() << FormatFinding(f);
}

TEST_F(ProjectCheck, EachBrokenProjectIsReportedWhereItIsBroken) {
  std::set<std::string> seen;
  for (const BrokenProject& c : Cases()) {
    SCOPED_TRACE(c.what);
    fs::path project = CopyOfDemo();
    for (const Edit& e : c.edits) {
      fs::path file = project / fs::u8path(e.file);
      std::string bytes = ReadBytes(file);
      if (e.text == "*size") {
        WriteBytes(file, "");
        fs::resize_file(file, std::stoull(e.with));
        continue;
      }
      if (e.text == "*") {
        if (e.with.empty())
          ASSERT_TRUE(fs::remove(file));
        else
          WriteBytes(file, e.with);
        continue;
      }
      size_t at = e.text.empty() ? bytes.size() : bytes.find(e.text);
      ASSERT_NE(at, std::string::npos) << e.text << " is not in " << e.file;
      bytes.replace(at, e.text.size(), e.with);
      ASSERT_TRUE(WriteBytes(file, bytes));
    }
    std::string all;
    bool found = false;
    for (const Finding& f : CheckProject(project, 437)) {
      all += FormatFinding(f) + "\n";
      bool ini = f.file.find(".ini") != std::string::npos || f.file.find(".lng") != std::string::npos ||
                 f.file.find(".ins") != std::string::npos;
      if (f.kind == c.kind && f.file.rfind(c.file, 0) == 0 && (f.line > 0 || !ini)) found = true;
    }
    EXPECT_TRUE(found) << "expected " << c.kind << " in " << c.file << ", got:\n" << all;
    seen.insert(c.kind);
  }
  for (const std::string& kind : FindingKinds()) EXPECT_TRUE(seen.count(kind)) << kind << " is never tested";
}

// check exits 0 with warnings and 2 with --strict; build --strict writes
// nothing; a clean project builds under --strict.
TEST_F(ProjectCheck, StrictTurnsWarningsIntoErrors) {
  const char* build = getenv("OSIN_BUILD_DIR");
  std::string pack = "'" + std::string(build ? build : ".") + "/tools/pack/osin-pack'";
  fs::path project = CopyOfDemo();
  ASSERT_TRUE(WriteBytes(project / "Data" / "extra.dat", "spare"));
  ASSERT_TRUE(WriteBytes(dir_ / "stub.exe", "MZ stub"));
  fs::create_symlink(dir_ / "nowhere", project / "Data" / "broken");
  fs::create_directories(project / "Data" / "Logs" / "Old");
  CommandResult r = RunCommandIn(dir_.string(), pack + " check project");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Data/extra.dat: warning: no CopyFiles line"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Data/broken: warning: a link to nothing"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Data/Logs/Old: warning: an empty folder"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Data/Logs: warning"), std::string::npos) << r.out;
  fs::remove(project / "Data" / "broken");
  fs::remove_all(project / "Data" / "Logs");
  r = RunCommandIn(dir_.string(), pack + " check project --strict");
  EXPECT_EQ(r.status, 2) << r.out;
  r = RunCommandIn(dir_.string(), pack + " build project -o setup.exe --stub stub.exe -0 --strict");
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "setup.exe"));
  r = RunCommandIn(dir_.string(), pack + " build project -o setup.exe --stub stub.exe -0");
  EXPECT_EQ(r.status, 0) << r.out;
  fs::remove(project / "Data" / "extra.dat");
  // The demo's password page needs a build with a password, which needs the page.
  r = RunCommandIn(dir_.string(), pack + " build project -o setup.exe --stub stub.exe -0 --strict");
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_NE(r.out.find("DLG_PASSWORD asks for a password, but the build has none"), std::string::npos)
      << r.out;
  r = RunCommandIn(dir_.string(),
                   pack + " build project -o setup.exe --stub stub.exe -0 --strict --password osin");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("warning"), std::string::npos) << r.out;
  std::string config = ReadBytes(project / "Presetup" / "Osin.ini");
  ASSERT_NE(config.find("DLG_PASSWORD,"), std::string::npos);
  ASSERT_TRUE(WriteBytes(project / "Presetup" / "Osin.ini", config.erase(config.find("DLG_PASSWORD,"), 13)));
  r = RunCommandIn(dir_.string(),
                   pack + " build project -o setup.exe --stub stub.exe -0 --strict --password osin");
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_NE(r.out.find("no DLG_PASSWORD asks for the password"), std::string::npos) << r.out;
  // Without the page, the message for a wrong password is still logged by an unattended run.
  std::string texts = ReadBytes(project / "Presetup" / "Enu.lng");
  ASSERT_NE(texts.find("\n12="), std::string::npos);
  ASSERT_TRUE(WriteBytes(project / "Presetup" / "Enu.lng", texts.replace(texts.find("\n12="), 4, "\n;12=")));
  r = RunCommandIn(dir_.string(), pack + " build project -o setup.exe --stub stub.exe -0 --password osin");
  EXPECT_NE(r.out.find("Enu.lng:"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("has no 12 (the message for a wrong password): the box shows the English"),
            std::string::npos)
      << r.out;
}

// The publisher's guide: the files its examples spell out (each fenced
// block after a line "<!-- example PROJECT: PATH -->") make projects that
// pass the check under --strict and build. The header bitmap, which text
// cannot show, is the demo's.
TEST_F(ProjectCheck, TheGuidesExamplesBuildAndPassTheCheck) {
  const char* source = getenv("OSIN_SOURCE_DIR");
  std::istringstream guide(ReadBytes(fs::path(source ? source : ".") / "docs" / "guide.md"));
  std::set<std::string> projects;
  int files = 0;
  const std::string mark = "<!-- example ";
  for (std::string line; std::getline(guide, line);) {
    if (line.rfind(mark, 0) != 0) continue;
    size_t colon = line.find(": ", mark.size());
    ASSERT_NE(colon, std::string::npos) << line;
    std::string project = line.substr(mark.size(), colon - mark.size());
    std::string path = line.substr(colon + 2, line.find(" -->") - colon - 2);
    std::string fence, text;
    ASSERT_TRUE(std::getline(guide, fence) && fence.rfind("```", 0) == 0) << line;
    for (std::string body; std::getline(guide, body) && body != "```";) text += body + "\r\n";
    ASSERT_TRUE(WriteBytes(dir_ / project / path, text));
    projects.insert(project);
    ++files;
  }
  EXPECT_GE(files, 5);
  ASSERT_TRUE(WriteBytes(dir_ / "stub.exe", "MZ stub"));
  const char* build = getenv("OSIN_BUILD_DIR");
  std::string pack = "'" + std::string(build ? build : ".") + "/tools/pack/osin-pack'";
  for (const std::string& project : projects) {
    SCOPED_TRACE(project);
    fs::copy_file(Demo() / "Presetup" / "Osin.bmp", dir_ / project / "Presetup" / "Osin.bmp");
    for (const Finding& f : CheckProject(dir_ / project, 437)) ADD_FAILURE() << FormatFinding(f);
    CommandResult r =
        RunCommandIn(dir_.string(), pack + " build " + project + " -o setup.exe --stub stub.exe --strict");
    EXPECT_EQ(r.status, 0) << r.out;
    r = RunCommandIn(dir_.string(), pack + " test setup.exe");
    EXPECT_NE(r.out.find(" ok, 0 failed"), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace osin
