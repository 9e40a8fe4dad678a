// The rules of the run's configuration lists: which items a key offers,
// which systems SupportedOS lets through, which languages are offered.
#include "setup/config.h"
#include "platform/osversion.h"
#include "testing.h"

using namespace osin;

namespace {

std::string Lines(const StringList& list) {
  return ToStd(list.Text());
}

TEST(ConfigLists, SplitAtCommasOnlyWithTheKeysOwnTrimmingAndCase) {
  StringList pages;
  AddListItems("DLG_WELCOME, dlg_dir,,DLG_START", false, true, pages);
  // The blank stays part of the name, so " DLG_DIR" names no page.
  EXPECT_EQ(Lines(pages), "DLG_WELCOME\r\n DLG_DIR\r\nDLG_START\r\n");
  pages.Clear();
  AddListItems("DLG_WELCOME,", false, true, pages);  // an empty name would end the run
  EXPECT_EQ(Lines(pages), "DLG_WELCOME\r\n");
  StringList codes;
  AddListItems(" Enu ;x, Rus ", true, false, codes);
  EXPECT_EQ(Lines(codes), "Enu ;x\r\nRus\r\n");
  StringList none;
  AddListItems("", true, false, none);
  EXPECT_TRUE(none.IsEmpty());
}

TEST(ConfigLists, SupportedOSByLineAndVersion) {
  TOSVersion nt4 = ClassifyOS(kPlatformNT, 4, 0, 1381, "Service Pack 6");
  TOSVersion xp = ClassifyOS(kPlatformNT, 5, 1, 2600, "");
  TOSVersion win10 = ClassifyOS(kPlatformNT, 10, 0, 19045, "");
  TOSVersion win95 = ClassifyOS(kPlatformWindows, 4, 0, 950, "");
  TOSVersion win98 = ClassifyOS(kPlatformWindows, 4, 10, 2222, "A");
  EXPECT_TRUE(OSSupported("", win10));
  EXPECT_TRUE(OSSupported("NT", win10));
  EXPECT_TRUE(OSSupported("nt4", nt4));
  EXPECT_FALSE(OSSupported("nt4", xp));
  EXPECT_TRUE(OSSupported("2k", xp));
  EXPECT_FALSE(OSSupported("2k,nt4", win10));
  EXPECT_FALSE(OSSupported("nt", win98));
  // The second item keeps its blank, so " 9x" is no word of the list.
  EXPECT_FALSE(OSSupported("nt, 9x", win98));
  EXPECT_TRUE(OSSupported("nt,9x", win95));
  EXPECT_TRUE(OSSupported("98", win98));
  EXPECT_FALSE(OSSupported("98", win95));
  EXPECT_TRUE(OSSupported("95", win95));
}

TEST(ConfigLanguages, OfferedLanguagesMatchTheInstalledLocales) {
  StringList installed;
  installed.SetText("DEU=German (Germany)\nENU=English (United States)\nRUS=Russian (Russia)\n");
  StringList offered;
  // The system's spelling of the code wins; a code no locale has is dropped.
  EXPECT_EQ(MatchLanguages("enu, Rus ,XYZ", installed, "RUS", offered), "RUS");
  EXPECT_EQ(Lines(offered), "ENU=English (United States)\r\nRUS=Russian (Russia)\r\n");
  StringList others;
  EXPECT_EQ(MatchLanguages("Rus,Enu", installed, "FRA", others), "RUS");
}

TEST(ConfigLanguages, NothingOfferedOrInstalledFallsBackToEnglish) {
  StringList installed;
  installed.SetText("ENU=English (United States)\n");
  StringList none;
  EXPECT_EQ(MatchLanguages("", installed, "ENU", none), "ENU");
  EXPECT_EQ(Lines(none), "ENU=English (USA)\r\n");
  StringList missing;
  EXPECT_EQ(MatchLanguages("Rus", installed, "DEU", missing), "ENU");
  EXPECT_EQ(Lines(missing), "ENU=English (USA)\r\n");
}

}  // namespace
