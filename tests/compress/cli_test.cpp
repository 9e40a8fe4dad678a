// osin-pack's packing options as a user gives them, with unar and lsar as
// black-box peers.
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "command.h"
#include "files.h"
#include "inputs.h"
#include "testing.h"

namespace fs = std::filesystem;

namespace osin {
namespace {

using namespace testinput;

using Result = CommandResult;

class PackOptions : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("osin-pack-options-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    const char* build = getenv("OSIN_BUILD_DIR");
    pack_ = std::string(build ? build : ".") + "/tools/pack/osin-pack";
    WriteBytes(dir_ / "tree/readme.txt", Text(40000, 1));
    WriteBytes(dir_ / "tree/bin/app.exe", Executable(90000, 2));
    WriteBytes(dir_ / "tree/bin/empty.dat", "");
    WriteBytes(dir_ / "tree/sound/voice.wav", Wave(1, 8, 40000, 3));
    WriteBytes(dir_ / "tree/sound/music.wav", Wave(2, 16, 20000, 4));
    WriteBytes(dir_ / "tree/noise.bin", Random(5000, 5));
  }
  void TearDown() override { fs::remove_all(dir_); }

  Result Run(const std::string& command) { return RunCommandIn(dir_.string(), command); }
  Result Pack(const std::string& args) { return Run("'" + pack_ + "' " + args); }

  // Both readers give back the tree exactly.
  void ExpectBothExtract(const std::string& archive, const std::string& password = std::string()) {
    std::string pw = password.empty() ? "" : " -p '" + password + "'";
    fs::remove_all(dir_ / "u");
    fs::remove_all(dir_ / "o");
    Result u = Run("unar -q -D" + pw + " -o u " + archive);
    EXPECT_EQ(u.status, 0) << u.out;
    Result o = Pack("extract " + archive + pw + " -o o");
    EXPECT_EQ(o.status, 0) << o.out;
    for (const char* f :
         {"readme.txt", "bin/app.exe", "bin/empty.dat", "sound/voice.wav", "sound/music.wav", "noise.bin"}) {
      std::string want = ReadBytes(dir_ / "tree" / f);
      EXPECT_TRUE(ReadBytes(dir_ / "u" / f) == want) << archive << ": unar differs on " << f;
      EXPECT_TRUE(ReadBytes(dir_ / "o" / f) == want) << archive << ": osin-pack differs on " << f;
    }
  }

  fs::path dir_;
  std::string pack_;
};

TEST_F(PackOptions, EveryLevelSolidOrNotAndEveryMultimediaMode) {
  uintmax_t stored = 0, previous = 0;
  for (int level = 0; level <= 5; ++level) {
    for (const char* solid : {"", " --solid"}) {
      std::string name = "l" + std::to_string(level) + (*solid ? "s" : "") + ".rar";
      Result r = Pack("archive tree -o " + name + " -" + std::to_string(level) + solid);
      ASSERT_EQ(r.status, 0) << r.out;
      ExpectBothExtract(name);
    }
    uintmax_t size = fs::file_size(dir_ / ("l" + std::to_string(level) + "s.rar"));
    if (level == 0) stored = size;
    if (level > 1) {
      EXPECT_LE(size, previous * 101 / 100) << "level " << level;
    }
    previous = size;
  }
  EXPECT_LT(previous, stored / 2);
  for (const char* mm : {"off", "force", "auto"}) {
    ASSERT_EQ(Pack(std::string("archive tree -o m.rar --solid --multimedia ") + mm).status, 0);
    ExpectBothExtract("m.rar");
  }
}

// Enciphered entries at every level, solid or not, and in the audio mode:
// unar extracts them and lsar tests them with the password, and neither
// reader accepts another password.
TEST_F(PackOptions, PasswordAtEveryLevelSolidOrNotAndWithMultimedia) {
  std::vector<std::string> runs;
  for (int level = 0; level <= 5; ++level)
    for (const char* solid : {"", " --solid"}) runs.push_back("-" + std::to_string(level) + solid);
  runs.push_back("--multimedia force");
  runs.push_back("--multimedia force --solid -5");
  for (const std::string& options : runs) {
    Result r = Pack("archive tree -o p.rar --password 'pass word' " + options);
    ASSERT_EQ(r.status, 0) << options << ": " << r.out;
    ExpectBothExtract("p.rar", "pass word");
    Result t = Run("lsar -t -p 'pass word' p.rar");
    EXPECT_NE(t.out.find("6 passed, 0 failed"), std::string::npos) << options << ": " << t.out;
    EXPECT_NE(Run("lsar -t -p 'pass wore' p.rar").status, 0) << options;
    EXPECT_EQ(Pack("test p.rar -p 'pass wore'").status, 1) << options;
  }
}

TEST_F(PackOptions, DefaultCompressesAndRepeatsItself) {
  ASSERT_EQ(Pack("archive tree -o a.rar").status, 0);
  ASSERT_EQ(Pack("archive tree -o b.rar").status, 0);
  ASSERT_EQ(Pack("archive tree -o stored.rar -0").status, 0);
  EXPECT_TRUE(ReadBytes(dir_ / "a.rar") == ReadBytes(dir_ / "b.rar"));
  EXPECT_LT(fs::file_size(dir_ / "a.rar"), fs::file_size(dir_ / "stored.rar") / 2);
  ExpectBothExtract("a.rar");
  Result t = Pack("test a.rar");
  EXPECT_EQ(t.status, 0) << t.out;
}

TEST_F(PackOptions, BadOptionsAreRefusedByName) {
  Result r = Pack("archive tree -o x.rar -6");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("-6"), std::string::npos) << r.out;
  r = Pack("archive tree -o x.rar --multimedia loud");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("loud"), std::string::npos) << r.out;
  r = Pack("archive tree -o x.rar --codepage 99999");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("--codepage 99999 is not a code page"), std::string::npos) << r.out;
  r = Pack("archive tree -o x.rar --codepage 1252");  // the setup would rename every accented file
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("goes with it (850)"), std::string::npos) << r.out;
  r = Pack("archive tree -o tree/x.rar");  // the next run would pack it
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("tree/x.rar: inside tree"), std::string::npos) << r.out;
  // A full disk is the output's fault, not that of the file being packed.
  fs::create_symlink("/dev/full", dir_ / "x.rar.osin-tmp");
  r = Pack("archive tree -o x.rar");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("x.rar: cannot write the file (No space left on device)"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "x.rar.osin-tmp"));
  EXPECT_FALSE(fs::exists(dir_ / "x.rar"));
  r = Pack("archive tree -o x.rar --strict");  // a check that would not happen
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("archive does not take --strict"), std::string::npos) << r.out;
  r = Pack("list missing.rar");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("missing.rar: no such file"), std::string::npos) << r.out;
  r = Pack("archive -o y.rar -0 tree");  // the folder after the options
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Pack("test y.rar").status, 0);
}

TEST_F(PackOptions, BuildWithPasswordWritesTheTestEntryAfterPresetup) {
  WriteBytes(dir_ / "project/Presetup/Osin.ini", "[Config]\r\n");
  WriteBytes(dir_ / "project/Presetup/App.ins", "[CopyFiles]\r\n");
  WriteBytes(dir_ / "project/Data/app.exe", Executable(30000, 9));
  WriteBytes(dir_ / "stub.exe", std::string(4096, 'M'));
  for (const char* solid : {"", " --solid"}) {
    Result r = Pack(std::string("build project -o setup.exe --stub stub.exe --password 'pass word'") + solid);
    ASSERT_EQ(r.status, 0) << r.out;
    Result l = Run("lsar setup.exe");
    size_t presetup = l.out.rfind("Presetup"), check = l.out.find("test.psw"), data = l.out.find("Data");
    ASSERT_NE(check, std::string::npos) << l.out;
    EXPECT_LT(presetup, check);
    EXPECT_LT(check, data);
    EXPECT_EQ(Run("unar -q -D -p 'pass word' -o u setup.exe").status, 0);
    EXPECT_EQ(ReadBytes(dir_ / "u/Data/app.exe"), ReadBytes(dir_ / "project/Data/app.exe"));
    EXPECT_NE(Pack("test setup.exe -p wrong").status, 0);
    EXPECT_EQ(Pack("test setup.exe -p 'pass word'").status, 0);
    fs::remove_all(dir_ / "u");
  }
  Result r = Pack("build project -o setup.exe --stub stub.exe --password 'a\"b'");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("password holds a double quote"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace osin
