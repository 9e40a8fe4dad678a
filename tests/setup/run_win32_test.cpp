// Where the control files' folder goes, under Wine.
#include <windows.h>

#include "platform/file.h"
#include "platform/osversion.h"
#include "platform/text.h"
#include "setup/run.h"
#include "testing.h"

using namespace osin;

namespace {

String SystemTemp() {
  char buffer[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, buffer);
  return AddBackslash(String(buffer, static_cast<int>(n)));
}

String WindowsFolder() {
  char buffer[MAX_PATH];
  UINT n = GetWindowsDirectoryA(buffer, MAX_PATH);
  return AddBackslash(String(buffer, static_cast<int>(n)));
}

// Restores the working folder and the temporary-path variables.
class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetCurrentDirectoryA(MAX_PATH, current_);
    GetEnvironmentVariableA("TMP", tmp_, MAX_PATH);
    GetEnvironmentVariableA("TEMP", temp_, MAX_PATH);
  }
  void TearDown() override {
    SetCurrentDirectoryA(current_);
    SetEnvironmentVariableA("TMP", tmp_);
    SetEnvironmentVariableA("TEMP", temp_);
    SubstituteOSVersion(nullptr);
  }
  char current_[MAX_PATH] = {};
  char tmp_[MAX_PATH] = {};
  char temp_[MAX_PATH] = {};
};

TEST_F(TempFolderTest, TheSystemsTemporaryPathWithABackslash) {
  String folder = PresetupParentFolder();
  EXPECT_EQ(folder, SystemTemp());
  EXPECT_EQ(folder.Last(), '\\');
}

TEST_F(TempFolderTest, StartedFromTheTemporaryFolderItselfUsesTheFallback) {
  ASSERT_TRUE(SetCurrentDirectoryA(SystemTemp().c_str()));
  EXPECT_EQ(PresetupParentFolder(), "C:\\Temp\\");
  // The 95 line takes the Windows folder's Temp instead.
  TOSVersion win98 = ClassifyOS(kPlatformWindows, 4, 10, 2222, "A");
  SubstituteOSVersion(&win98);
  EXPECT_EQ(PresetupParentFolder(), WindowsFolder() + "Temp\\");
}

TEST_F(TempFolderTest, ATemporaryPathTooLongForItsBufferIsNotUsed) {
  // The system then reports the size it needs and leaves the buffer alone;
  // whatever the buffer held must not become the folder that is deleted at
  // the end.
  String longPath = "C:\\" + String(280, 'x');
  ASSERT_TRUE(SetEnvironmentVariableA("TMP", longPath.c_str()));
  ASSERT_TRUE(SetEnvironmentVariableA("TEMP", longPath.c_str()));
  EXPECT_EQ(PresetupParentFolder(), "C:\\Temp\\");
}

}  // namespace
