// Variable references and their expansion.
#include <string>
#include <vector>

#include "config/variables.h"
#include "setup/session.h"
#include "testing.h"
#include "ui/msgbox.h"

using namespace osin;

namespace {

class Expansion : public ::testing::Test {
 protected:
  void SetUp() override {
    Session().Variables.Clear();
    SetBoxHook(
        [](void* context, const String&, const String& text, uint32_t) {
          static_cast<Expansion*>(context)->boxes_.push_back(ToStd(text));
          return static_cast<int>(kBoxResultOk);
        },
        this);
  }
  void TearDown() override {
    SetBoxHook(nullptr, nullptr);
    Session().Variables.Clear();
  }

  std::vector<std::string> boxes_;
};

TEST_F(Expansion, TextWithoutReferencesIsUnchanged) {
  SetVariable("A", "x");
  EXPECT_EQ(ExpandVariables("no percent here"), "no percent here");
  EXPECT_EQ(ExpandVariables("100% sure"), "100% sure");
  EXPECT_EQ(ExpandVariables(""), "");
  EXPECT_TRUE(boxes_.empty());
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
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(Expansion, ReferencesMatchTheNamesLetterCase) {
  SetVariable("Name", "x");
  EXPECT_EQ(ExpandVariables("%name%/%Name%"), "%name%/x");
  // Setting ignores case: the line is replaced, and only the new spelling
  // expands from then on.
  SetVariable("NAME", "y");
  EXPECT_EQ(Session().Variables.Count(), 1);
  EXPECT_EQ(ExpandVariables("%Name%/%NAME%"), "%Name%/y");
  EXPECT_EQ(GetVariable("name"), "y");
  EXPECT_EQ(GetVariable("missing"), "");
}

TEST_F(Expansion, VariablesApplyInListOrder) {
  // A reference may be cut by an earlier replacement: list order decides.
  SetVariable("A", "x");
  SetVariable("B", "y");
  EXPECT_EQ(ExpandVariables("%A%B%"), "xB%");
  Session().Variables.Clear();
  SetVariable("B", "y");
  SetVariable("A", "x");
  EXPECT_EQ(ExpandVariables("%A%B%"), "%Ay");
}

TEST_F(Expansion, ASelfReferenceEndsInTheRunawayMessage) {
  SetVariable("X", "%X%+");
  EXPECT_EQ(ExpandVariables("a %X% b"), "a %X% b");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Infinite reference in the string \"a %X% b\"!");
}

TEST_F(Expansion, AHundredPassesMayChangeTheText) {
  // A chain A1 -> A2 -> ... -> "end" listed backwards resolves one link per
  // pass: Length links need Length changing passes.
  auto chain = [](int length) {
    Session().Variables.Clear();
    for (int i = length; i >= 1; --i) {
      SetVariable(String::Format("A%d", i), i == length ? String("end") : String::Format("%%A%d%%", i + 1));
    }
  };
  chain(99);
  EXPECT_EQ(ExpandVariables("%A1%"), "end");
  EXPECT_TRUE(boxes_.empty());
  chain(100);
  EXPECT_EQ(ExpandVariables("%A1%"), "%A1%");
  EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(Expansion, ARunawayThroughOthersEndsTheSame) {
  SetVariable("A", "%B%+");
  SetVariable("B", "%A%");
  EXPECT_EQ(ExpandVariables("%A%"), "%A%");
  EXPECT_EQ(boxes_.size(), 1u);
  // A cycle that comes back to the same text within one pass settles.
  boxes_.clear();
  SetVariable("A", "%B%");
  EXPECT_EQ(ExpandVariables("%A%"), "%A%");
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(Expansion, ATextThatDoublesItselfStopsBeforeMemoryRunsOut) {
  SetVariable("X", "%X%%X%");
  EXPECT_EQ(ExpandVariables("[%X%]"), "[%X%]");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Infinite reference in the string \"[%X%]\"!");
  // The same through a folder a user typed.
  boxes_.clear();
  SetVariable("InstallPath", "%InstallPath%%InstallPath%");
  EXPECT_EQ(ExpandString("%InstallPath%\\bin"), "%InstallPath%\\bin");
  EXPECT_EQ(boxes_.size(), 1u);
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
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(Expansion, ExpandStringTurnsDoubleBarsIntoLineBreaks) {
  SetVariable("ProgramName", "Demo");
  EXPECT_EQ(ExpandString("%ProgramName% is not installed.||Abort?"), "Demo is not installed.\rAbort?");
  EXPECT_EQ(ExpandVariables("a||b"), "a||b");
  EXPECT_EQ(ExpandString("|||"), "\r|");
}

TEST_F(Expansion, PathVariablesLoseOneTrailingBackslash) {
  SetPathVariable("Root", "C:\\");
  SetPathVariable("Dir", "C:\\Apps\\");
  SetPathVariable("Two", "C:\\Apps\\\\");
  EXPECT_EQ(ExpandVariables("%Root%|%Dir%|%Two%"), "C:\\|C:\\Apps|C:\\Apps\\");
}

}  // namespace
