// System utilities under Wine: versions of real files, OLE server
// registration, programs run and waited for, special folders and the
// privilege logic of restarting (with the system call substituted).
#include <shlobj.h>
#include <windows.h>

#include <string.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "files.h"
#include "platform/file.h"
#include "platform/osversion.h"
#include "platform/sysutils.h"
#include "testing.h"

using namespace osin;

namespace {

// The folder of the running test program, where the fixtures are built.
String FixturePath(const char* name) {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  String path(self, static_cast<int>(n));
  return path.Copy(1, path.LastPos('\\')) + name;
}

// Gives Path the local time Year-Month-Day Hour:Minute:Second as its
// last-write time; returns that time in DOS form.
uint32_t SetLocalWriteTime(const String& path, WORD year, WORD month, WORD day, WORD hour, WORD minute,
                           WORD second) {
  SYSTEMTIME st = {year, month, 0, day, hour, minute, second, 0};
  FILETIME local, utc;
  SystemTimeToFileTime(&st, &local);
  LocalFileTimeToFileTime(&local, &utc);
  FileHandle h = OpenFileHandle(path, kFileWrite, kShareRead, kAttrNormal, kOpenExisting);
  EXPECT_TRUE(IsOpenFile(h));
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &utc));
  CloseFileHandle(h);
  WORD date = 0, time = 0;
  FileTimeToDosDateTime(&local, &date, &time);
  return (static_cast<uint32_t>(date) << 16) | time;
}

// Versions --------------------------------------------------------------

TEST(Versions, ReadFromVersionResources) {
  uint32_t ms = 0, ls = 0;
  ASSERT_TRUE(GetFileVersion(FixturePath("fixture_v15.dll"), ms, ls));
  EXPECT_EQ(ms, 0x00010005u);
  EXPECT_EQ(ls, 0u);
  String text;
  EXPECT_TRUE(GetFileVersionString(FixturePath("fixture_v20.dll"), text));
  EXPECT_EQ(text, "2.0.0.0");
  EXPECT_TRUE(GetFileVersionString(FixturePath("fixture_exitcode.exe"), text));
  EXPECT_EQ(text, "3.1.4.1592");
  // No resource, no file.
  EXPECT_FALSE(GetFileVersionString(FixturePath("fixture_regserver.dll"), text));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(GetFileVersion(FixturePath("no such.dll"), ms, ls));
}

TEST(Versions, ParsedFromText) {
  int32_t ms = -1, ls = -1;
  ParseVersion("2.0.0.0", ms, ls);
  EXPECT_EQ(ms, 0x20000);
  EXPECT_EQ(ls, 0);
  ParseVersion("3.1.4.1592", ms, ls);
  EXPECT_EQ(ms, 0x30001);
  EXPECT_EQ(ls, 0x40638);
  ParseVersion("1.2", ms, ls);
  EXPECT_EQ(ms, 0x10002);
  EXPECT_EQ(ls, 0);
  // Runs of dots separate once; words that are no numbers count 0.
  ParseVersion("1..x.4.5", ms, ls);
  EXPECT_EQ(ms, 0x10000);
  EXPECT_EQ(ls, 0x40005);
  ParseVersion("", ms, ls);
  EXPECT_EQ(ms, 0);
  EXPECT_EQ(ls, 0);
  ParseVersion("40000.0.50727.0", ms, ls);
  EXPECT_EQ(static_cast<uint32_t>(ms), 40000u << 16);
  EXPECT_EQ(static_cast<uint32_t>(ls), 50727u << 16);
}

class Compare : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    installed_ = Path("installed.dll");
    ASSERT_TRUE(CopyFileA(FixturePath("fixture_v15.dll").c_str(), installed_.c_str(), FALSE));
    plain_ = Path("plain.txt");
    ASSERT_TRUE(WriteBytes(plain_, "no version"));
  }
  String installed_, plain_;
};

TEST_F(Compare, VersionsDecideBeforeDates) {
  // Installed 1.5 is younger than the new file's date, yet older by version.
  uint32_t young = SetLocalWriteTime(installed_, 2020, 6, 1, 12, 0, 0);
  uint32_t old = young - (1u << 16);
  EXPECT_FALSE(IsInstalledNewer("2.0.0.0", installed_, old));
  EXPECT_TRUE(IsInstalledNewer("1.4.9.9", installed_, young + (1u << 16)));
  EXPECT_FALSE(IsInstalledNewer("1.5.0.0", installed_, old));
  EXPECT_TRUE(IsSameVersion("1.5.0.0", installed_, old));
  EXPECT_TRUE(IsSameVersion("1.5", installed_, old));
  EXPECT_FALSE(IsSameVersion("1.5.0.1", installed_, young));
  // Numbers of 0x8000 and up are still higher ones, not negative.
  EXPECT_FALSE(IsInstalledNewer("40000.0.0.0", installed_, old));
  EXPECT_FALSE(IsInstalledNewer("1.5.50727.0", installed_, old));
  EXPECT_TRUE(IsInstalledNewer("1.4.50727.65535", installed_, young + (1u << 16)));
}

TEST_F(Compare, DatesDecideWithoutAVersionText) {
  uint32_t when = SetLocalWriteTime(installed_, 2020, 6, 1, 12, 0, 0);
  uint32_t earlier = SetLocalWriteTime(plain_, 2019, 1, 1, 8, 30, 0);
  uint32_t later = when + 2;  // two seconds later in DOS form
  EXPECT_TRUE(IsInstalledNewer("", installed_, earlier));
  EXPECT_FALSE(IsInstalledNewer("", installed_, later));
  EXPECT_FALSE(IsInstalledNewer("", installed_, when));
  EXPECT_TRUE(IsSameVersion("", installed_, when));
  EXPECT_FALSE(IsSameVersion("", installed_, later));
  // An installed file without a version is compared by date too.
  EXPECT_TRUE(IsInstalledNewer("9.9.9.9", plain_, earlier - 1));
  EXPECT_TRUE(IsSameVersion("9.9.9.9", plain_, earlier));
}

TEST_F(Compare, MissingInstalledFile) {
  EXPECT_FALSE(IsInstalledNewer("1.0.0.0", Path("none.dll"), 0));
  EXPECT_FALSE(IsSameVersion("", Path("none.dll"), 0));
  EXPECT_TRUE(ShouldReplace(plain_, Path("none.dll")));
}

TEST_F(Compare, ShouldReplaceByVersionThenByDate) {
  String newer = Path("v20.dll");
  ASSERT_TRUE(CopyFileA(FixturePath("fixture_v20.dll").c_str(), newer.c_str(), FALSE));
  SetLocalWriteTime(newer, 2001, 1, 1, 0, 0, 0);
  SetLocalWriteTime(installed_, 2020, 1, 1, 0, 0, 0);
  EXPECT_TRUE(ShouldReplace(newer, installed_));
  EXPECT_FALSE(ShouldReplace(installed_, newer));
  EXPECT_FALSE(ShouldReplace(installed_, installed_));
  String high = Path("v15high.dll");
  ASSERT_TRUE(CopyFileA(FixturePath("fixture_v15high.dll").c_str(), high.c_str(), FALSE));
  SetLocalWriteTime(high, 2001, 1, 1, 0, 0, 0);
  String text;
  EXPECT_TRUE(GetFileVersionString(high, text));
  EXPECT_EQ(text, "1.5.50727.40000");
  EXPECT_TRUE(ShouldReplace(high, installed_));
  EXPECT_FALSE(ShouldReplace(installed_, high));
  EXPECT_TRUE(ShouldReplace(newer, high));
  EXPECT_FALSE(ShouldReplace(high, newer));
  // One side without a version: the dates decide.
  SetLocalWriteTime(plain_, 2010, 1, 1, 0, 0, 0);
  EXPECT_TRUE(ShouldReplace(plain_, newer));
  EXPECT_FALSE(ShouldReplace(plain_, installed_));
  String twin = Path("twin.txt");
  ASSERT_TRUE(WriteBytes(twin, "other"));
  SetLocalWriteTime(twin, 2010, 1, 1, 0, 0, 0);
  EXPECT_FALSE(ShouldReplace(twin, plain_));
  EXPECT_FALSE(ShouldReplace(plain_, twin));
}

// OLE servers -----------------------------------------------------------

const char kRegKey[] = "Software\\OsinTests\\RegisterServer";

class Servers : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    RegDeleteKeyA(HKEY_CURRENT_USER, kRegKey);
  }
  void TearDown() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kRegKey);
    ScratchTest::TearDown();
  }
  static std::string Ran() {
    char value[MAX_PATH] = {};
    DWORD size = sizeof(value);
    RegGetValueA(HKEY_CURRENT_USER, kRegKey, "Ran", RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
  }
  static DWORD GetDword(const char* name) {
    DWORD value = 0, size = sizeof(value);
    RegGetValueA(HKEY_CURRENT_USER, kRegKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
  }
};

TEST_F(Servers, RegisterServerCallsTheEntryPoint) {
  String server = Path("server.dll");
  ASSERT_TRUE(CopyFileA(FixturePath("fixture_regserver.dll").c_str(), server.c_str(), FALSE));
  EXPECT_TRUE(RegisterServer(server));
  EXPECT_EQ(_stricmp(Ran().c_str(), server.c_str()), 0) << Ran();
  // The library was freed again: the file can go.
  EXPECT_TRUE(RemoveFileForced(server));
}

TEST_F(Servers, AFailedRegistrationIsReported) {
  DWORD fail = 1;
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kRegKey, "Fail", REG_DWORD, &fail, sizeof(fail)),
            ERROR_SUCCESS);
  EXPECT_FALSE(RegisterServer(FixturePath("fixture_regserver.dll")));
  EXPECT_NE(Ran(), "");
}

TEST_F(Servers, LibrariesWithoutTheEntryPointOrMissing) {
  EXPECT_FALSE(RegisterServer(FixturePath("fixture_v15.dll")));
  EXPECT_FALSE(RegisterServer(Path("missing.dll")));
  ASSERT_TRUE(WriteBytes(Path("text.dll"), "not a library"));
  EXPECT_FALSE(RegisterServer(Path("text.dll")));
}

TEST_F(Servers, LibrariesTheServerNeedsAreFoundInItsFolder) {
  ASSERT_TRUE(
      CopyFileA(FixturePath("own-folder\\fixture_regdep.dll").c_str(), Path("dep.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(FixturePath("own-folder\\fixture_helper.dll").c_str(),
                        Path("fixture_helper.dll").c_str(), FALSE));
  ASSERT_FALSE(FileExists(FixturePath("fixture_helper.dll")));
  EXPECT_TRUE(RegisterServer(Path("dep.dll")));
  EXPECT_EQ(GetDword("Helper"), 42u);
}

// Running programs ------------------------------------------------------

TEST(Run, ExitCodesComeBack) {
  String program = FixturePath("fixture_exitcode.exe");
  EXPECT_EQ(RunAndWait(nullptr, program, "7", SW_HIDE, ""), 7);
  EXPECT_EQ(RunAndWait(nullptr, program, "0 100", SW_HIDE, ""), 0);
  EXPECT_EQ(RunAndWait(nullptr, program, "-5", SW_HIDE, ""), -5);
  EXPECT_EQ(RunAndWait(nullptr, program, "7", SW_HIDE, "", false, false), 0);  // started, not waited for
}

// A message box of this process, or null.
HWND OwnMessageBox() {
  struct Search {
    static BOOL CALLBACK Visit(HWND window, LPARAM found) {
      char name[16] = {};
      DWORD pid = 0;
      GetWindowThreadProcessId(window, &pid);
      GetClassNameA(window, name, sizeof(name));
      if (pid != GetCurrentProcessId() || strcmp(name, "#32770") != 0) return TRUE;
      *reinterpret_cast<HWND*>(found) = window;
      return FALSE;
    }
  };
  HWND found = nullptr;
  EnumWindows(Search::Visit, reinterpret_cast<LPARAM>(&found));
  return found;
}

TEST(Run, AProgramThatCannotStartGivesMinusOne) {
  // The shell tells the user what it could not start, unless asked to be
  // quiet; a second thread plays the user and closes that box.
  std::atomic<bool> done{false};
  std::atomic<bool> sawBox{false};
  std::thread user([&] {
    while (!done) {
      if (HWND box = OwnMessageBox()) {
        sawBox = true;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      }
      Sleep(50);
    }
  });
  EXPECT_EQ(RunAndWait(nullptr, FixturePath("no such program.exe"), "", SW_HIDE, "", true), -1);
  EXPECT_EQ(RunAndWait(nullptr, FixturePath("no such program.exe"), "", SW_HIDE, "", true, false), -1);
  EXPECT_FALSE(sawBox);
  EXPECT_EQ(RunAndWait(nullptr, FixturePath("no such program.exe"), "", SW_HIDE, ""), -1);
  done = true;
  user.join();
  EXPECT_TRUE(sawBox);
}

TEST(Run, ExitCode259DoesNotKeepTheCallerWaiting) {
  // STILL_ACTIVE as an exit code: the wait must end on the process itself.
  String program = FixturePath("fixture_exitcode.exe");
  auto result =
      std::async(std::launch::async, [&] { return RunAndWait(nullptr, program, "259", SW_HIDE, ""); });
  ASSERT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready) << "RunAndWait hangs";
  EXPECT_EQ(result.get(), 259);
}

// Whether any handle of this process refers to the process Pid: handle
// values are multiples of four, so the table is walked directly.
bool HoldsHandleTo(DWORD pid) {
  for (uintptr_t value = 4; value < 0x10000; value += 4) {
    HANDLE h = reinterpret_cast<HANDLE>(value);
    DWORD flags = 0;
    if (GetHandleInformation(h, &flags) && GetProcessId(h) == pid) return true;
  }
  return false;
}

TEST(Run, TheProcessHandleIsClosed) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  String pidFile = AddBackslash(temp) + "osin-exitcode.pid";
  EXPECT_EQ(RunAndWait(nullptr, FixturePath("fixture_exitcode.exe"), "1 0 " + pidFile, SW_HIDE, ""), 1);
  DWORD pid = static_cast<DWORD>(atol(ReadBytes(pidFile).c_str()));
  DeleteFileA(pidFile.c_str());
  ASSERT_NE(pid, 0u);
  EXPECT_FALSE(HoldsHandleTo(pid));
  // The walk does find a handle that is open.
  HANDLE self = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
  ASSERT_NE(self, nullptr);
  EXPECT_TRUE(HoldsHandleTo(GetCurrentProcessId()));
  CloseHandle(self);
}

TEST(Run, WorkingFolderIsPassedOn) {
  // A relative program name resolves in the working folder.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  String copy = AddBackslash(temp) + "osin exit code.exe";
  ASSERT_TRUE(CopyFileA(FixturePath("fixture_exitcode.exe").c_str(), copy.c_str(), FALSE));
  EXPECT_EQ(RunAndWait(nullptr, "osin exit code.exe", "3", SW_HIDE, temp), 3);
  DeleteFileA(copy.c_str());
}

// A window on the waiting thread, and a second thread that sends it a
// message: the send only returns if the waiting thread keeps pumping.
struct Pumped {
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP) return 1000 + static_cast<LRESULT>(w);
    if (message == WM_APP + 1) {
      ++posted;
      return 0;
    }
    return DefWindowProcA(window, message, w, l);
  }
  static std::atomic<int> posted;
};
std::atomic<int> Pumped::posted{0};

TEST(Run, MessagesKeepFlowingWhileWaiting) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Pumped::Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "OsinPumpTest";
  RegisterClassA(&wc);
  HWND window = CreateWindowA("OsinPumpTest", "pump", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  Pumped::posted = 0;
  PostMessageA(window, WM_APP + 1, 0, 0);
  std::atomic<LRESULT> reply{0};
  std::thread sender([&] {
    Sleep(200);
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(window, WM_APP, 7, 0, SMTO_NORMAL, 5000, &answer)) reply = answer;
    PostMessageA(window, WM_APP + 1, 0, 0);
  });
  int32_t code = RunAndWait(window, FixturePath("fixture_exitcode.exe"), "4 1500", SW_HIDE, "");
  sender.join();
  EXPECT_EQ(code, 4);
  EXPECT_EQ(reply.load(), 1007);
  EXPECT_EQ(Pumped::posted.load(), 2);
  DestroyWindow(window);
}

TEST(Run, AQuitMessageEndsTheWait) {
  PostQuitMessage(0);
  auto start = GetTickCount();
  EXPECT_EQ(RunAndWait(nullptr, FixturePath("fixture_exitcode.exe"), "0 3000", SW_HIDE, ""), -1);
  EXPECT_LT(GetTickCount() - start, 2500u);
  // The quit was consumed.
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// Special folders -------------------------------------------------------

TEST(SpecialFolders, TheShellsFoldersExist) {
  for (int index : {0, 1, 3, 4, 7}) {
    String path = SpecialFolderPath(index);
    EXPECT_FALSE(path.IsEmpty()) << "special folder " << index;
    EXPECT_TRUE(FolderExists(path)) << path.c_str();
  }
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  EXPECT_EQ(_stricmp(SpecialFolderPath(1).c_str(), (String(windows) + "\\Fonts").c_str()), 0);
  EXPECT_EQ(SpecialFolderPath(-1), "");
  EXPECT_EQ(SpecialFolderPath(kSpecialFolderCount), "");
  EXPECT_EQ(_stricmp(ShellFolderPath(CSIDL_FONTS).c_str(), SpecialFolderPath(1).c_str()), 0);
}

// Restarting ------------------------------------------------------------

UINT exitFlags = 0xFFFF;
int exitCalls = 0;

BOOL WINAPI RecordExit(UINT flags, DWORD) {
  exitFlags = flags;
  ++exitCalls;
  return TRUE;
}

// Whether the process token has SeShutdownPrivilege enabled.
bool ShutdownPrivilegeEnabled() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  LUID luid;
  LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid);
  char buffer[4096];
  DWORD size = 0;
  bool enabled = false;
  if (GetTokenInformation(token, TokenPrivileges, buffer, sizeof(buffer), &size)) {
    auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer);
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
      const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
      if (p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart)
        enabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  CloseHandle(token);
  return enabled;
}

void SetShutdownPrivilege(bool enable) {
  HANDLE token;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
  TOKEN_PRIVILEGES tp;
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid);
  ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr));
  CloseHandle(token);
  ASSERT_EQ(ShutdownPrivilegeEnabled(), enable);
}

class Restart : public ::testing::Test {
 protected:
  void SetUp() override {
    SubstituteExitWindows(RecordExit);
    exitFlags = 0xFFFF;
    exitCalls = 0;
    SetShutdownPrivilege(false);
  }
  void TearDown() override {
    SubstituteExitWindows(nullptr);
    SubstituteOSVersion(nullptr);
  }
};

TEST_F(Restart, RebootOnTheNTLineEnablesThePrivilegeFirst) {
  EXPECT_TRUE(RebootSystem(false));
  EXPECT_EQ(exitCalls, 1);
  EXPECT_EQ(exitFlags, static_cast<UINT>(EWX_REBOOT));
  EXPECT_TRUE(ShutdownPrivilegeEnabled());
  SetShutdownPrivilege(false);
  EXPECT_TRUE(RebootSystem(true));
  EXPECT_EQ(exitFlags, static_cast<UINT>(EWX_REBOOT | EWX_FORCE));
  EXPECT_TRUE(ShutdownPrivilegeEnabled());
}

TEST_F(Restart, LogoffNeedsNoPrivilege) {
  EXPECT_TRUE(ShutdownWindows(EWX_LOGOFF));
  EXPECT_EQ(exitFlags, static_cast<UINT>(EWX_LOGOFF));
  EXPECT_FALSE(ShutdownPrivilegeEnabled());
  EXPECT_TRUE(ShutdownWindows(EWX_POWEROFF));
  EXPECT_TRUE(ShutdownPrivilegeEnabled());
}

TEST_F(Restart, TheNinetyFiveLineLeavesPrivilegesAlone) {
  TOSVersion w98 = ClassifyOS(kPlatformWindows, 4, 10, 1998, "");
  SubstituteOSVersion(&w98);
  EXPECT_TRUE(RebootSystem(false));
  EXPECT_EQ(exitCalls, 1);
  EXPECT_EQ(exitFlags, static_cast<UINT>(EWX_REBOOT));
  EXPECT_FALSE(ShutdownPrivilegeEnabled());
}

}  // namespace
