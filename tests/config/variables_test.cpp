// Variable references and their expansion.
#include <string>
#include <vector>

#include "config/variables.h"
#include "platform/text.h"
#include "testing.h"

using namespace osin;

namespace {

// Expands against the fixture's list and keeps the message a caller would
// show for each expansion that ran away.
class Expansion : public ::testing::Test {
 protected:
  String Record(const Expanded& expanded) {
    if (expanded.Runaway) messages_.push_back(ToStd(RunawayMessage(expanded.Text)));
    return expanded.Text;
  }
  String ExpandVariables(const String& s) { return Record(osin::ExpandVariables(s, variables_)); }
  String ExpandString(const String& s) { return Record(osin::ExpandString(s, variables_)); }
  String GetVariable(const String& name) { return Record(osin::GetVariable(variables_, name)); }
  void SetVariable(const String& name, const String& value) {
    osin::SetVariable(variables_, name.c_str(), value);
  }
  void SetPathVariable(const String& name, const String& path) {
    osin::SetPathVariable(variables_, name.c_str(), path);
  }

  StringList variables_;
  std::vector<std::string> messages_;
};

TEST_F(Expansion, TextWithoutReferencesIsUnchanged) {
  SetVariable("A", "x");
  EXPECT_EQ(ExpandVariables("no percent here"), "no percent here");
  EXPECT_EQ(ExpandVariables("100% sure"), "100% sure");
  EXPECT_EQ(ExpandVariables(""), "");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(Expansion, ReferencesAreReplacedAndUnknownOnesStay) {
  SetVariable("ProgramFiles", "C:\\Program Files");
  EXPECT_EQ(ExpandVariables("%ProgramFiles%\\App\\a.exe"), "C:\\Program Files\\App\\a.exe");
  EXPECT_EQ(ExpandVariables("%Unknown%\\%ProgramFiles%"), "%Unknown%\\C:\\Program Files");
  EXPECT_EQ(ExpandVariables("%%ProgramFiles%%"), "%C:\\Program Files%");
  SetVariable("ProgramFiles", "");
  EXPECT_EQ(ExpandVariables("%ProgramFiles%\\a.exe"), "\\a.exe");
}

TEST_F(Expansion, LaterAndNestedDefinitionsSettle) {
  SetVariable("App", "%Base%\\App");
  SetVariable("Base", "%Root%\\Base");
  SetVariable("Root", "C:");
  EXPECT_EQ(ExpandVariables("%App%"), "C:\\Base\\App");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(Expansion, ReferencesMatchTheNamesLetterCase) {
  SetVariable("Name", "x");
  EXPECT_EQ(ExpandVariables("%name%/%Name%"), "%name%/x");
  // Setting ignores case: the line is replaced, and only the new spelling
  // expands from then on.
  SetVariable("NAME", "y");
  EXPECT_EQ(variables_.Count(), 1);
  EXPECT_EQ(ExpandVariables("%Name%/%NAME%"), "%Name%/y");
  EXPECT_EQ(GetVariable("name"), "y");
  EXPECT_EQ(GetVariable("missing"), "");
}

TEST_F(Expansion, VariablesApplyInListOrder) {
  // A reference may be cut by an earlier replacement: list order decides.
  SetVariable("A", "x");
  SetVariable("B", "y");
  EXPECT_EQ(ExpandVariables("%A%B%"), "xB%");
  variables_.Clear();
  SetVariable("B", "y");
  SetVariable("A", "x");
  EXPECT_EQ(ExpandVariables("%A%B%"), "%Ay");
}

TEST_F(Expansion, ASelfReferenceEndsInTheRunawayMessage) {
  SetVariable("X", "%X%+");
  EXPECT_EQ(ExpandVariables("a %X% b"), "a %X% b");
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Infinite reference in the string \"a %X% b\"!");
}

TEST_F(Expansion, AHundredPassesMayChangeTheText) {
  // A chain A1 -> A2 -> ... -> "end" listed backwards resolves one link per
  // pass: Length links need Length changing passes.
  auto chain = [this](int length) {
    variables_.Clear();
    for (int i = length; i >= 1; --i) {
      SetVariable(String::Format("A%d", i), i == length ? String("end") : String::Format("%%A%d%%", i + 1));
    }
  };
  chain(99);
  EXPECT_EQ(ExpandVariables("%A1%"), "end");
  EXPECT_TRUE(messages_.empty());
  chain(100);
  EXPECT_EQ(ExpandVariables("%A1%"), "%A1%");
  EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(Expansion, ARunawayThroughOthersEndsTheSame) {
  SetVariable("A", "%B%+");
  SetVariable("B", "%A%");
  EXPECT_EQ(ExpandVariables("%A%"), "%A%");
  EXPECT_EQ(messages_.size(), 1u);
  // A cycle that comes back to the same text within one pass settles.
  messages_.clear();
  SetVariable("A", "%B%");
  EXPECT_EQ(ExpandVariables("%A%"), "%A%");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(Expansion, ATextThatDoublesItselfStopsBeforeMemoryRunsOut) {
  SetVariable("X", "%X%%X%");
  EXPECT_EQ(ExpandVariables("[%X%]"), "[%X%]");
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Infinite reference in the string \"[%X%]\"!");
  // The same through a folder a user typed.
  messages_.clear();
  SetVariable("InstallPath", "%InstallPath%%InstallPath%");
  EXPECT_EQ(ExpandString("%InstallPath%\\bin"), "%InstallPath%\\bin");
  EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(Expansion, LongTextsThatSettleAreExpanded) {
  // Growth up to the bound is legitimate: 1,000 references to a 60-byte value.
  SetVariable("V", std::string(60, 'v').c_str());
  std::string text, expected;
  for (int i = 0; i < 1000; ++i) {
    text += "%V%";
    expected += std::string(60, 'v');
  }
  EXPECT_EQ(ToStd(ExpandVariables(text.c_str())), expected);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(Expansion, ExpandStringTurnsDoubleBarsIntoLineBreaks) {
  SetVariable("ProgramName", "Demo");
  EXPECT_EQ(ExpandString("%ProgramName% is not installed.||Abort?"), "Demo is not installed.\rAbort?");
  EXPECT_EQ(ExpandVariables("a||b"), "a||b");
  EXPECT_EQ(ExpandString("|||"), "\r|");
}

TEST_F(Expansion, ASecondByteWithTheCodeOfABarPairsWithNone) {
  // Run in a Japanese locale by its own test entry.
  if (!IsLeadByte('\x83')) GTEST_SKIP() << "needs a double-byte code page";
  const String po = "\x83\x7C";  // one letter, whose second byte is that of "|"
  EXPECT_EQ(ExpandString(po + "||" + po), po + "\r" + po);
  EXPECT_EQ(ExpandString(po + "|" + po), po + "|" + po);
  EXPECT_EQ(ExpandString(po + po + "|||x"), po + po + "\r|x");
}

TEST_F(Expansion, PathVariablesLoseOneTrailingBackslash) {
  SetPathVariable("Root", "C:\\");
  SetPathVariable("Dir", "C:\\Apps\\");
  SetPathVariable("Two", "C:\\Apps\\\\");
  EXPECT_EQ(ExpandVariables("%Root%|%Dir%|%Two%"), "C:\\|C:\\Apps|C:\\Apps\\");
}

}  // namespace
