// Classification of the operating system from what it reports.
#include "platform/osversion.h"
#include "testing.h"

using namespace osin;

namespace {

TEST(OSVersion, KindsOfTheNinetyFiveLine) {
  EXPECT_EQ(ClassifyOS(kPlatformWindows, 4, 0, 950, "").Kind, osWin95);
  // 95 OSR2 reports its build in the high word as well.
  TOSVersion osr2 = ClassifyOS(kPlatformWindows, 4, 0, 0x040003B6, " B");
  EXPECT_EQ(osr2.Kind, osWin95);
  EXPECT_EQ(osr2.Build, 0x03B6u);
  EXPECT_EQ(ClassifyOS(kPlatformWindows, 4, 9, 0, "").Kind, osWin95);
  EXPECT_EQ(ClassifyOS(kPlatformWindows, 4, 10, 1998, "").Kind, osWin98);
  EXPECT_EQ(ClassifyOS(kPlatformWindows, 4, 90, 3000, "").Kind, osWin98);
  EXPECT_EQ(ClassifyOS(kPlatformWindows, 5, 0, 0, "").Kind, osWin98);
  EXPECT_FALSE(ClassifyOS(kPlatformWindows, 4, 10, 1998, "").IsNTLine());
}

TEST(OSVersion, KindsOfTheNTLineAndWin32s) {
  EXPECT_EQ(ClassifyOS(kPlatformNT, 3, 51, 1057, "").Kind, osWinNT);
  EXPECT_EQ(ClassifyOS(kPlatformNT, 4, 0, 1381, "Service Pack 6").Kind, osWinNT);
  EXPECT_EQ(ClassifyOS(kPlatformNT, 5, 0, 2195, "").Kind, osWin2000);
  EXPECT_EQ(ClassifyOS(kPlatformNT, 10, 0, 19045, "").Kind, osWin2000);
  EXPECT_TRUE(ClassifyOS(kPlatformNT, 4, 0, 1381, "").IsNTLine());
  EXPECT_EQ(ClassifyOS(kPlatformWin32s, 3, 10, 0, "").Kind, osWin32s);
  // Build numbers on the NT line keep all their bits.
  EXPECT_EQ(ClassifyOS(kPlatformNT, 6, 2, 0x12345678, "").Build, 0x12345678u);
}

TEST(OSVersion, VersionAndDescriptionTexts) {
  TOSVersion xp = ClassifyOS(kPlatformNT, 5, 1, 2600, "Service Pack 3");
  EXPECT_EQ(xp.Version, "5.01");
  EXPECT_EQ(xp.Description, "Windows 2000 5.01.2600 Service Pack 3");
  TOSVersion w98 = ClassifyOS(kPlatformWindows, 4, 10, 0x040A07CE, " A ");
  EXPECT_EQ(w98.Version, "4.10");
  EXPECT_EQ(w98.Description, "Windows 98 4.10.1998  A");
  TOSVersion nt4 = ClassifyOS(kPlatformNT, 4, 0, 1381, "");
  EXPECT_EQ(nt4.Version, "4.0");
  EXPECT_EQ(nt4.Description, "Windows NT 4.0.1381");
  EXPECT_EQ(ClassifyOS(kPlatformWindows, 4, 0, 95, "\t").Description, "Windows 95 4.0.0095");
  EXPECT_EQ(ClassifyOS(kPlatformWin32s, 1, 30, 0, "").Description, "Windows 32s 1.30.0000");
}

}  // namespace
