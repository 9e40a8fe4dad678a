// Where the control files' folder goes, under Wine.
#include <windows.h>

#include "platform/array.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/osversion.h"
#include "platform/runlog.h"
#include "platform/text.h"
#include "setup/run.h"
#include "setup/session.h"
#include "testing.h"
#include "ui/msgbox.h"

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

// The rights check ---------------------------------------------------------

int boxCount = 0;
int CountBox(void*, const String&, const String&, uint32_t) {
  ++boxCount;
  return kBoxResultOk;
}
bool NotAdmin() {
  return false;
}
bool SecurityFails() {
  RaiseFault("Can't initialize a SID");
  return false;
}
bool Admin() {
  return true;
}

TEST(RightsCheck, ASecurityErrorIsShownOnceNotFollowedByTheRefusal) {
  String none, code = "ENU";
  StringList variables;
  LanguageTexts texts{none, code, variables};
  SetBoxHook(CountBox, nullptr);
  boxCount = 0;
  EXPECT_TRUE(AdminCheckPasses(false, NotAdmin, texts));
  EXPECT_TRUE(AdminCheckPasses(true, Admin, texts));
  EXPECT_EQ(boxCount, 0);
  EXPECT_FALSE(AdminCheckPasses(true, NotAdmin, texts));
  EXPECT_EQ(boxCount, 1);
  // The fault is the one box; the program entry shows it after the run.
  EXPECT_FALSE(AdminCheckPasses(true, SecurityFails, texts));
  EXPECT_EQ(boxCount, 1);
  EXPECT_EQ(TakeFault(), "Can't initialize a SID");
  SetBoxHook(nullptr, nullptr);
}

// Running out of memory ----------------------------------------------------

String doomedFolder;
void RemoveDoomedFolder() {
  DeleteTree(doomedFolder, true);
}

TEST(OutOfMemory, TheHandlerRunsBeforeTheProcessEndsWithZero) {
  // The setup's handler removes its temporary folder this way; the process
  // that runs out of memory is a child of the test.
  doomedFolder = SystemTemp() + "osin-oom-test";
  ForceFolders(doomedFolder + "\\sub");
  EXPECT_EXIT(
      {
        SetOutOfMemoryHandler(RemoveDoomedFolder);
        CheckedRealloc(nullptr, SIZE_MAX / 2);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(EntryExists(doomedFolder));
  DeleteTree(doomedFolder, true);
}

String FileText(const String& path) {
  String text;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  char buffer[4096];
  DWORD got = 0;
  while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got)
    text += String(buffer, int(got));
  CloseHandle(file);
  return text;
}

TEST(OutOfMemory, AnUnattendedSetupEndsWithItsLogWholeAndAFailingCode) {
  // A deployment script reads the log and the exit code as soon as the
  // process is gone: neither may say nothing, or success. Cancelled as a
  // page's run would be, the failure is still no cancel.
  String log = SystemTemp() + "osin-oom-run.log";
  for (int stage : {int(kStagePages), int(kStageInstalling)}) {
    String folder = SystemTemp() + "osin-oom-setup\\";
    ForceFolders(folder + "sub");
    EXPECT_EXIT(
        {
          TSetupSession& session = Session();
          session.Options.VerySilent = session.Cancelled = true;
          session.Stage = stage;
          session.PresetupDir = folder;
          OpenRunLog(log);
          SetUnattendedBoxes(RunLog, true);
          RunLog("Language: ", "ENU");
          SetOutOfMemoryHandler(CleanUpAfterOutOfMemory);
          CheckedRealloc(nullptr, SIZE_MAX / 2);
        },
        ::testing::ExitedWithCode(stage == kStagePages ? 1 : 4), "");
    String code = IntToStr(stage == kStagePages ? 1 : 4);
    EXPECT_EQ(FileText(log),
              "Language: ENU\r\nError: Out of memory.\r\nNot installed.\r\nExit code " + code + "\r\n");
    EXPECT_FALSE(EntryExists(folder));
  }
  DeleteFileA(log.c_str());
}

}  // namespace
