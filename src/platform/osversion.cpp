#include "platform/osversion.h"

namespace osin {

namespace {

// Kind texts in the order of TOSKind.
const char* const kKindTexts[] = {"32s", "95", "98", "NT", "2000"};
static_assert(sizeof(kKindTexts) / sizeof(kKindTexts[0]) == osWin2000 + 1, "one text per kind");

TOSKind KindOf(uint32_t platform, uint32_t major, uint32_t minor) {
  switch (platform) {
    case kPlatformWin32s:
      return osWin32s;
    case kPlatformWindows:
      return (major > 4 || (major == 4 && minor > 9)) ? osWin98 : osWin95;
    default:
      return major <= 4 ? osWinNT : osWin2000;
  }
}

}  // namespace

const char* OSKindText(TOSKind kind) {
  return kind <= osWin2000 ? kKindTexts[kind] : "";
}

TOSVersion ClassifyOS(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build,
                      const String& servicePack) {
  TOSVersion os;
  os.Kind = KindOf(platform, major, minor);
  os.Major = major;
  os.Minor = minor;
  os.Build = platform == kPlatformWindows ? (build & 0xFFFF) : build;
  os.ServicePack = servicePack;
  os.Version = minor == 0 ? String::Format("%d.%d", static_cast<int>(major), static_cast<int>(minor))
                          : String::Format("%d.%.2d", static_cast<int>(major), static_cast<int>(minor));
  os.Description = String::Format("Windows %s %s.%.4d %s", OSKindText(os.Kind), os.Version.c_str(),
                                  static_cast<int>(os.Build), servicePack.c_str())
                       .Trim();
  return os;
}

}  // namespace osin
