// The registry path notation: root word, key path, value name.
#include "config/registry.h"
#include "testing.h"

using namespace osin;

namespace {

void ExpectSplit(const char* path, RegRoot root, const char* key, const char* value) {
  TRegPath split = SplitRegPath(path);
  EXPECT_EQ(split.Root, root) << path;
  EXPECT_EQ(split.KeyPath, key) << path;
  EXPECT_EQ(split.ValueName, value) << path;
}

TEST(RegPath, RootKeyAndValue) {
  ExpectSplit("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ProgramFilesDir", RegRoot::kLocalMachine,
              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
  ExpectSplit("HKCR\\.txt\\Content Type", RegRoot::kClassesRoot, ".txt", "Content Type");
  ExpectSplit("HKCU\\Software\\x", RegRoot::kCurrentUser, "Software", "x");
  ExpectSplit("HKU\\.DEFAULT\\v", RegRoot::kUsers, ".DEFAULT", "v");
}

TEST(RegPath, ATrailingBackslashNamesTheDefaultValue) {
  ExpectSplit("HKCU\\Software\\Osin\\", RegRoot::kCurrentUser, "Software\\Osin", "");
  ExpectSplit("HKCU\\", RegRoot::kCurrentUser, "", "");
  ExpectSplit("HKCU\\value", RegRoot::kCurrentUser, "", "value");
}

TEST(RegPath, ValueNamesWithBackslashesAreInApostrophes) {
  ExpectSplit("HKCU\\Software\\Osin\\'a\\b'", RegRoot::kCurrentUser, "Software\\Osin", "a\\b");
  ExpectSplit("HKCU\\Software\\Osin\\'it''s\\here'", RegRoot::kCurrentUser, "Software\\Osin", "it's\\here");
  // Anything after the closing apostrophe is dropped. An apostrophe that is
  // never closed hides every backslash before it: the whole path is then
  // the value name, and no key is reached.
  ExpectSplit("HKCU\\K\\'a'b", RegRoot::kCurrentUser, "K", "a");
  ExpectSplit("HKCU\\K\\'open", RegRoot::kNone, "", "HKCU\\K\\'open");
}

TEST(RegPath, DoubleQuotesHideBackslashesButStay) {
  ExpectSplit("HKCU\\K\\\"a\\b\"", RegRoot::kCurrentUser, "K", "\"a\\b\"");
  // An apostrophe inside double quotes is ordinary.
  ExpectSplit("HKCU\\K\\\"it's\\x\"", RegRoot::kCurrentUser, "K", "\"it's\\x\"");
}

TEST(RegPath, OnlyTheFourUpperCaseRootWords) {
  ExpectSplit("hklm\\Software\\x", RegRoot::kNone, "Software", "x");
  ExpectSplit("HKEY_LOCAL_MACHINE\\Software\\x", RegRoot::kNone, "Software", "x");
  ExpectSplit("HKLMX\\Software\\x", RegRoot::kNone, "Software", "x");
  ExpectSplit("novalue", RegRoot::kNone, "", "novalue");
  ExpectSplit("", RegRoot::kNone, "", "");
}

}  // namespace
