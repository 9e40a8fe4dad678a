#include <windows.h>

#include "platform/osversion.h"

namespace osin {

namespace {

TOSVersion ReadSystem() {
  OSVERSIONINFOA info;
  ZeroMemory(&info, sizeof(info));
  info.dwOSVersionInfoSize = sizeof(info);
  // The call fails only for a wrong structure size; should it fail anyway,
  // the oldest NT is the choice that keeps every safety check in place.
  if (!GetVersionExA(&info)) return ClassifyOS(kPlatformNT, 4, 0, 0, kNoText);
  return ClassifyOS(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
                    info.szCSDVersion);
}

// The process-wide record: read once, read-only afterwards.
struct SystemRecord {
  TOSVersion own;
  bool read = false;
  const TOSVersion* substitute = nullptr;
};

SystemRecord systemRecord;

}  // namespace

const TOSVersion& OSVersion() {
  if (systemRecord.substitute) return *systemRecord.substitute;
  if (!systemRecord.read) {
    systemRecord.own = ReadSystem();
    systemRecord.read = true;
  }
  return systemRecord.own;
}

void SubstituteOSVersion(const TOSVersion* record) {
  systemRecord.substitute = record;
}

}  // namespace osin
