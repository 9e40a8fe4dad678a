// Access rights under Wine: identifiers built from the well-known codes,
// the administrator check, and the 95 line where the library is not loaded.
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <set>
#include <string>

#include "platform/fault.h"
#include "platform/osversion.h"
#include "platform/security.h"
#include "testing.h"

using namespace osin;

namespace {

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return "";
  std::string s = text;
  LocalFree(text);
  return s;
}

TEST(WellKnown, EveryCodeGivesItsIdentifier) {
  // The textual forms, in the table's order.
  const char* const kExpected[kWellKnownCount] = {
      "S-1-1-0",      "S-1-2-0",      "S-1-3-0",      "S-1-3-1",      "S-1-5-1",      "S-1-5-2",
      "S-1-5-3",      "S-1-5-4",      "S-1-5-6",      "S-1-5-7",      "S-1-5-5",      "S-1-5-18",
      "S-1-5-32-500", "S-1-5-32-501", "S-1-5-32-512", "S-1-5-32-513", "S-1-5-32-514", "S-1-5-32-544",
      "S-1-5-32-545", "S-1-5-32-546", "S-1-5-32-547", "S-1-5-32-548", "S-1-5-32-549", "S-1-5-32-550",
      "S-1-5-32-551", "S-1-5-32-552",
  };
  std::set<std::string> names;
  for (int i = 0; i < kWellKnownCount; ++i) {
    PSID sid = nullptr;
    ASSERT_EQ(MakeWellKnownSid(kWellKnownSids[i].Code, sid), ESecurityError::kNone) << kWellKnownSids[i].Name;
    ASSERT_NE(sid, nullptr);
    EXPECT_EQ(SidText(sid), kExpected[i]) << kWellKnownSids[i].Name;
    NTSecurity().FreeSid(sid);
    names.insert(kWellKnownSids[i].Name);
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(kWellKnownCount));
  EXPECT_STREQ(kWellKnownSids[17].Name, "Admins");
  EXPECT_EQ(kWellKnownSids[17].Code, kAdminsCode);
}

TEST(WellKnown, AdministratorsMatchTheSystemsOwnIdentifier) {
  PSID ours = nullptr;
  ASSERT_EQ(MakeWellKnownSid(kAdminsCode, ours), ESecurityError::kNone);
  BYTE buffer[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(buffer);
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, buffer, &size));
  EXPECT_TRUE(EqualSid(ours, buffer));
  NTSecurity().FreeSid(ours);
}

TEST(Library, LoadedOnTheNTLineWithEveryEntryPoint) {
  const TNTSecurity& security = NTSecurity();
  ASSERT_TRUE(security.Loaded());
  for (int i = 0; i < kAdvapiEntryCount; ++i)
    EXPECT_NE(security.Entry(static_cast<AdvapiEntry>(i)), nullptr) << i;
}

TEST(Library, NotLoadedOnTheNinetyFiveLine) {
  TNTSecurity w95(ClassifyOS(kPlatformWindows, 4, 0, 950, ""));
  EXPECT_FALSE(w95.Loaded());
  EXPECT_EQ(w95.Entry(kEqualSid), nullptr);
  PSID sid = reinterpret_cast<PSID>(1);
  EXPECT_EQ(w95.MakeWellKnownSid(kAdminsCode, sid), ESecurityError::kLibraryNotLoaded);
  EXPECT_EQ(sid, nullptr);
  EXPECT_STREQ(SecurityErrorMessage(ESecurityError::kLibraryNotLoaded), "AdvApi32.dll not loaded");
}

TEST(Admin, WineRunsUsAsAdministrator) {
  EXPECT_TRUE(IsAdmin());
  EXPECT_FALSE(FaultPending());
}

TEST(Admin, TheNinetyFiveLineIsAlwaysAdministratorWin32sNever) {
  ESecurityError error = ESecurityError::kCannotInitSid;
  EXPECT_TRUE(TNTSecurity(ClassifyOS(kPlatformWindows, 4, 10, 1998, "")).IsAdmin(error));
  EXPECT_EQ(error, ESecurityError::kNone);
  EXPECT_TRUE(TNTSecurity(ClassifyOS(kPlatformWindows, 4, 0, 950, "")).IsAdmin(error));
  EXPECT_FALSE(TNTSecurity(ClassifyOS(kPlatformWin32s, 3, 10, 0, "")).IsAdmin(error));
}

TEST(Admin, ADenyOnlyAdministratorsGroupStillCounts) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &token));
  PSID admins = nullptr;
  ASSERT_EQ(MakeWellKnownSid(kAdminsCode, admins), ESecurityError::kNone);
  SID_AND_ATTRIBUTES disable = {admins, 0};
  HANDLE restricted = nullptr;
  BOOL made = CreateRestrictedToken(token, 0, 1, &disable, 0, nullptr, 0, nullptr, &restricted);
  CloseHandle(token);
  if (!made) NTSecurity().FreeSid(admins);
  if (!made) GTEST_SKIP() << "this Wine makes no restricted tokens";
  // The group is there, but for denying only.
  char buffer[8192];
  DWORD size = 0;
  ASSERT_TRUE(GetTokenInformation(restricted, TokenGroups, buffer, sizeof(buffer), &size));
  auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buffer);
  DWORD attributes = 0;
  for (DWORD i = 0; i < groups->GroupCount; ++i)
    if (EqualSid(groups->Groups[i].Sid, admins)) attributes = groups->Groups[i].Attributes;
  NTSecurity().FreeSid(admins);
  EXPECT_TRUE(attributes & SE_GROUP_USE_FOR_DENY_ONLY) << attributes;
  ESecurityError error = ESecurityError::kNone;
  EXPECT_TRUE(NTSecurity().TokenIsAdmin(restricted, error));
  EXPECT_EQ(error, ESecurityError::kNone);
  CloseHandle(restricted);
}

}  // namespace
