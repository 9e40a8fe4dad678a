// The operating system the setup runs on, classified once.
//
// TOSVersion sorts the running Windows into five kinds: Win32s, the Windows 95
// line (95, and 98 with everything after it on that line, Me included) and
// the NT line (NT up to version 4, and "2000" for every later NT version).
// The kind selects the script variants, the supported-system check and the
// branches the platform utilities take for the older systems (free disk
// space, replacement at restart, privileges, administrator rights).
//
// OSVersion() reads the system the first time it is called and keeps the
// record for the rest of the process; the program entry calls it before any
// second thread exists. Tests put another record in its place with
// SubstituteOSVersion, so the branches for the 95 line run on an NT system
// too. OSVersion and SubstituteOSVersion exist in the Windows build only;
// ClassifyOS, which builds the record from what the system reports, is
// portable.
#pragma once

#include <stdint.h>

#include "platform/str.h"

namespace osin {

enum TOSKind : uint8_t {
  osWin32s = 0,
  osWin95 = 1,
  osWin98 = 2,
  osWinNT = 3,
  osWin2000 = 4,
};

// The platform identifiers GetVersionEx reports.
enum OSPlatform : uint32_t {
  kPlatformWin32s = 0,
  kPlatformWindows = 1,  // the 95 line
  kPlatformNT = 2,
};

struct TOSVersion {
  TOSKind Kind = osWin2000;
  uint32_t Major = 0;
  uint32_t Minor = 0;
  // "%d.%d" when Minor is 0, else "%d.%.2d": 4.10 reads "4.10", 5.1 "5.01".
  String Version;
  // On the 95 line only the low 16 bits of the system's build number.
  uint32_t Build = 0;
  // The system's service-pack text, as it reports it.
  String ServicePack;
  // "Windows <kind text> <Version>.<Build, four digits> <ServicePack>",
  // without leading and trailing blanks and control characters.
  String Description;

  bool IsNTLine() const { return Kind >= osWinNT; }
};

// The kind texts ("32s", "95", "98", "NT", "2000"), indexed by TOSKind.
const char* OSKindText(TOSKind kind);

// Builds the record. Platform identifiers other than the three known ones
// are taken as the NT line, which every later Windows descends from.
TOSVersion ClassifyOS(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build,
                      const String& servicePack);

// The running system's record (Windows build only).
const TOSVersion& OSVersion();
// Makes OSVersion() answer Record until it is called with nullptr, which
// brings the system's own record back. The record must outlive its use.
void SubstituteOSVersion(const TOSVersion* record);

}  // namespace osin
