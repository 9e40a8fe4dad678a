#include "platform/security.h"

#include <stdlib.h>

#include "platform/fault.h"
#include "platform/winproc.h"

namespace osin {

namespace {

// Names looked up in advapi32, in the order of AdvapiEntry.
const char* const kAdvapiNames[] = {
    "AllocateAndInitializeSid",
    "LookupAccountSidA",
    "GetSidIdentifierAuthority",
    "GetSidSubAuthority",
    "GetSidSubAuthorityCount",
    "EqualSid",
    "GetLengthSid",
    "CopySid",
    "LookupAccountNameA",
    "GetFileSecurityA",
    "GetSecurityDescriptorDacl",
    "GetAce",
    "InitializeAcl",
    "AddAce",
    "InitializeSecurityDescriptor",
    "SetSecurityDescriptorDacl",
    "SetFileSecurityA",
    "OpenProcessToken",
    "GetTokenInformation",
    "FreeSid",
};
static_assert(sizeof(kAdvapiNames) / sizeof(kAdvapiNames[0]) == kAdvapiEntryCount, "one name per entry");

// The signatures of the entry points this unit calls itself.
using AllocateAndInitializeSidFn = BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD,
                                                 DWORD, DWORD, DWORD, DWORD, PSID*);
using EqualSidFn = BOOL(WINAPI*)(PSID, PSID);
using FreeSidFn = PVOID(WINAPI*)(PSID);
using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
using GetTokenInformationFn = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);

}  // namespace

// Code = authority | first sub-authority << 8 | second sub-authority << 16.
const TWellKnownRec kWellKnownSids[] = {
    {0x00000001, "Everyone"},     {0x00000002, "Local"},        {0x00000003, "CreatorOwner"},
    {0x00000103, "CreatorGroup"}, {0x00000105, "Dialup"},       {0x00000205, "Network"},
    {0x00000305, "Batch"},        {0x00000405, "Interactive"},  {0x00000605, "Service"},
    {0x00000705, "Anonymous"},    {0x00000505, "Logon"},        {0x00001205, "System"},
    {0x01F42005, "Admin"},        {0x01F52005, "Guest"},        {0x02002005, "DomainAdmins"},
    {0x02012005, "DomainUsers"},  {0x02022005, "DomainGuests"}, {0x02202005, "Admins"},
    {0x02212005, "Users"},        {0x02222005, "Guests"},       {0x02232005, "PowerUsers"},
    {0x02242005, "AccountOps"},   {0x02252005, "SystemOps"},    {0x02262005, "PrintOps"},
    {0x02272005, "BackupOps"},    {0x02282005, "Replicator"},
};
static_assert(sizeof(kWellKnownSids) / sizeof(kWellKnownSids[0]) == kWellKnownCount, "every well-known SID");

const char* SecurityErrorMessage(ESecurityError error) {
  switch (error) {
    case ESecurityError::kNone:
      return "";
    case ESecurityError::kLibraryNotLoaded:
      return "AdvApi32.dll not loaded";
    case ESecurityError::kCannotInitSid:
      return "Can't initialize a SID";
  }
  return "";
}

TNTSecurity::TNTSecurity(const TOSVersion& os) {
  windowsLine_ = os.Kind == osWin95 || os.Kind == osWin98;
  if (!os.IsNTLine()) return;
  library_ = LoadLibraryA("advapi32.dll");
  if (!library_) return;
  for (int i = 0; i < kAdvapiEntryCount; ++i) entries_[i] = GetProcAddress(library_, kAdvapiNames[i]);
}

TNTSecurity::~TNTSecurity() {
  if (library_) FreeLibrary(library_);
}

ESecurityError TNTSecurity::MakeWellKnownSid(uint32_t code, PSID& sid) const {
  sid = nullptr;
  auto allocate = ProcCast<AllocateAndInitializeSidFn>(entries_[kAllocateAndInitializeSid]);
  if (!library_ || !allocate) return ESecurityError::kLibraryNotLoaded;
  SID_IDENTIFIER_AUTHORITY authority = {{0, 0, 0, 0, 0, static_cast<BYTE>(code & 0xFF)}};
  DWORD first = (code >> 8) & 0xFF;
  DWORD second = code >> 16;
  BYTE count = second ? 2 : 1;
  if (!allocate(&authority, count, first, second, 0, 0, 0, 0, 0, 0, &sid)) {
    sid = nullptr;
    return ESecurityError::kCannotInitSid;
  }
  return ESecurityError::kNone;
}

void TNTSecurity::FreeSid(PSID sid) const {
  auto freeSid = ProcCast<FreeSidFn>(entries_[kFreeSid]);
  if (sid && freeSid) freeSid(sid);
}

bool TNTSecurity::TokenIsAdmin(HANDLE token, ESecurityError& error) const {
  error = ESecurityError::kNone;
  auto getInformation = ProcCast<GetTokenInformationFn>(entries_[kGetTokenInformation]);
  auto equal = ProcCast<EqualSidFn>(entries_[kEqualSid]);
  if (!getInformation || !equal || !entries_[kFreeSid]) return false;
  DWORD size = 0;
  getInformation(token, TokenGroups, nullptr, 0, &size);
  auto* groups = static_cast<TOKEN_GROUPS*>(malloc(size ? size : 1));
  if (!groups) return false;
  bool read = size && getInformation(token, TokenGroups, groups, size, &size);
  PSID admins = nullptr;
  error = MakeWellKnownSid(kAdminsCode, admins);
  bool admin = false;
  if (error == ESecurityError::kNone && read) {
    for (DWORD i = 0; i < groups->GroupCount && !admin; ++i)
      admin = equal(groups->Groups[i].Sid, admins) != 0;
  }
  FreeSid(admins);
  free(groups);
  return admin;
}

bool TNTSecurity::IsAdmin(ESecurityError& error) const {
  error = ESecurityError::kNone;
  if (!library_) return windowsLine_;
  auto openToken = ProcCast<OpenProcessTokenFn>(entries_[kOpenProcessToken]);
  HANDLE token = nullptr;
  if (!openToken || !openToken(GetCurrentProcess(), TOKEN_READ, &token)) return false;
  bool admin = TokenIsAdmin(token, error);
  CloseHandle(token);
  return admin;
}

const TNTSecurity& NTSecurity() {
  static TNTSecurity security(OSVersion());
  return security;
}

ESecurityError MakeWellKnownSid(uint32_t code, PSID& sid) {
  return NTSecurity().MakeWellKnownSid(code, sid);
}

bool IsAdmin() {
  ESecurityError error = ESecurityError::kNone;
  bool admin = NTSecurity().IsAdmin(error);
  if (error != ESecurityError::kNone) RaiseFault(SecurityErrorMessage(error));
  return admin;
}

}  // namespace osin
