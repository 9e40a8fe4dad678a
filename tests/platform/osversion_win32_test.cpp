// The running system's record and its substitution under Wine.
#include <windows.h>

#include "platform/osversion.h"
#include "testing.h"

using namespace osin;

namespace {

TEST(SystemOSVersion, WineReportsAnNTSystem) {
  const TOSVersion& os = OSVersion();
  EXPECT_TRUE(os.IsNTLine());
  EXPECT_GE(os.Major, 5u);
  EXPECT_EQ(os.Kind, osWin2000);
  EXPECT_TRUE(os.Description.StartsWith("Windows 2000 "));
  // Read once: the same record every time.
  EXPECT_EQ(&OSVersion(), &os);
}

TEST(SystemOSVersion, SubstituteAndRestore) {
  TOSVersion w95 = ClassifyOS(kPlatformWindows, 4, 0, 950, "");
  SubstituteOSVersion(&w95);
  EXPECT_EQ(OSVersion().Kind, osWin95);
  EXPECT_EQ(&OSVersion(), &w95);
  SubstituteOSVersion(nullptr);
  EXPECT_EQ(OSVersion().Kind, osWin2000);
}

}  // namespace
