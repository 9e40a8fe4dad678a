// Access rights (Windows only): the NT security functions without a static
// dependency on them, security identifiers of well-known accounts and
// groups, and whether the process runs with administrator rights.
//
// On the NT line "advapi32.dll" is loaded and its security entry points
// are looked up by name; on the 95 line and Win32s nothing is loaded, so the
// same program starts where they do not exist. The process-wide state is
// made on first use for the system OSVersion() reports (the program entry's
// check comes first, before any second thread) and released at exit; tests
// make their own TNTSecurity for another system record.
//
// Failures that must end the run are carried as an ESecurityError value; the
// process-wide IsAdmin raises it as a fault (platform/fault.h).
#pragma once

#include <stdint.h>
#include <windows.h>

#include "platform/osversion.h"

namespace osin {

enum class ESecurityError : uint8_t {
  kNone = 0,
  kLibraryNotLoaded,  // "AdvApi32.dll not loaded"
  kCannotInitSid,     // "Can't initialize a SID"
};
// The message of an error; empty for kNone.
const char* SecurityErrorMessage(ESecurityError error);

// A well-known identifier in 32 bits: bits 0-7 the identifier authority
// (the last of its six bytes, the others 0), bits 8-15 the first
// sub-authority, bits 16-31 the second, present only when not 0.
struct TWellKnownRec {
  uint32_t Code;
  const char* Name;
};
const int kWellKnownCount = 26;
// Everyone, Local, CreatorOwner, ..., Admins (S-1-5-32-544), ..., Replicator.
extern const TWellKnownRec kWellKnownSids[];
// The built-in Administrators group, S-1-5-32-544.
const uint32_t kAdminsCode = 0x02202005;

// The entry points of advapi32 the unit looks up, in lookup order.
enum AdvapiEntry {
  kAllocateAndInitializeSid,
  kLookupAccountSidA,
  kGetSidIdentifierAuthority,
  kGetSidSubAuthority,
  kGetSidSubAuthorityCount,
  kEqualSid,
  kGetLengthSid,
  kCopySid,
  kLookupAccountNameA,
  kGetFileSecurityA,
  kGetSecurityDescriptorDacl,
  kGetAce,
  kInitializeAcl,
  kAddAce,
  kInitializeSecurityDescriptor,
  kSetSecurityDescriptorDacl,
  kSetFileSecurityA,
  kOpenProcessToken,
  kGetTokenInformation,
  kFreeSid,
  kAdvapiEntryCount
};

class TNTSecurity {
 public:
  // Loads the library when OS is of the NT line.
  explicit TNTSecurity(const TOSVersion& os);
  ~TNTSecurity();
  TNTSecurity(const TNTSecurity&) = delete;
  TNTSecurity& operator=(const TNTSecurity&) = delete;

  bool Loaded() const { return library_ != nullptr; }
  // The entry point, or null when the library is not loaded or lacks it.
  FARPROC Entry(AdvapiEntry entry) const { return entries_[entry]; }

  // A new identifier for Code, to be released with FreeSid. On failure Sid
  // is null and the result says why.
  ESecurityError MakeWellKnownSid(uint32_t code, PSID& sid) const;
  void FreeSid(PSID sid) const;

  // Whether the token's groups hold the Administrators group, whatever
  // their attributes (enabled, disabled or deny-only). False when the
  // groups cannot be read or the library lacks the calls; Error is set
  // when the group's identifier cannot be built.
  bool TokenIsAdmin(HANDLE token, ESecurityError& error) const;
  // The 95 line: always true. Win32s, or the NT line without the library:
  // false. Otherwise TokenIsAdmin of the process's token (false when it
  // cannot be opened).
  bool IsAdmin(ESecurityError& error) const;

 private:
  HMODULE library_ = nullptr;
  bool windowsLine_ = false;  // the 95 line, where everyone is administrator
  FARPROC entries_[kAdvapiEntryCount] = {};
};

// The process-wide state, made on first use.
const TNTSecurity& NTSecurity();
// MakeWellKnownSid of the process-wide state.
ESecurityError MakeWellKnownSid(uint32_t code, PSID& sid);
// IsAdmin of the process-wide state; an error is raised as a fault (and
// the answer is false).
bool IsAdmin();

}  // namespace osin
