// What the message boxes show: captions and flags, seen through the box hook.
#include <string>
#include <vector>

#include "testing.h"
#include "ui/msgbox.h"

using namespace osin;

namespace {

struct Shown {
  std::string caption;
  std::string text;
  uint32_t flags;
};

class Boxes : public ::testing::Test {
 protected:
  void SetUp() override {
    SetBoxHook(
        [](void* context, const String& caption, const String& text, uint32_t flags) {
          auto& self = *static_cast<Boxes*>(context);
          self.shown_.push_back({ToStd(caption), ToStd(text), flags});
          return self.answer_;
        },
        this);
  }
  void TearDown() override {
    SetBoxHook(nullptr, nullptr);
    SetMessageCaption(String());
    SetExtraBoxFlags(0);
  }

  std::vector<Shown> shown_;
  int answer_ = kBoxResultYes;
};

TEST_F(Boxes, EachKindHasItsCaptionUntilAMessageCaptionIsSet) {
  ErrorBox("e");
  WarningBox("w");
  QuestionBox("q");
  SetMessageCaption("My Program");
  ErrorBox("e2");
  ASSERT_EQ(shown_.size(), 4u);
  EXPECT_EQ(shown_[0].caption, "Error");
  EXPECT_EQ(shown_[1].caption, "Warning");
  EXPECT_EQ(shown_[2].caption, "Question");
  EXPECT_EQ(shown_[3].caption, "My Program");
  EXPECT_EQ(shown_[3].text, "e2");
}

TEST_F(Boxes, FlagsByKindPlusTaskModalAndTheExtraFlags) {
  ErrorBox("e");
  WarningBox("w");
  QuestionBox("q");
  SetExtraBoxFlags(kBoxSetForeground);
  ErrorBox("e");
  ASSERT_EQ(shown_.size(), 4u);
  EXPECT_EQ(shown_[0].flags, 0x2010u);
  EXPECT_EQ(shown_[1].flags, 0x2030u);
  EXPECT_EQ(shown_[2].flags, 0x2024u);
  EXPECT_EQ(shown_[3].flags, 0x12010u);
}

TEST_F(Boxes, TheQuestionAnswersWhatTheBoxAnswered) {
  EXPECT_EQ(QuestionBox("q"), kBoxResultYes);
  answer_ = kBoxResultNo;
  EXPECT_EQ(QuestionBox("q"), kBoxResultNo);
}

TEST_F(Boxes, ShowBoxAddsNothing) {
  SetMessageCaption("Program");
  SetExtraBoxFlags(kBoxSetForeground);
  ShowBox(nullptr, "Error", "t", kBoxIconError);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].caption, "Error");
  EXPECT_EQ(shown_[0].flags, static_cast<uint32_t>(kBoxIconError));
}

TEST_F(Boxes, ARunawayExpansionIsReportedAndKeepsItsText) {
  StringList variables;
  SetVariable(variables, "X", "%X%+");
  SetVariable(variables, "Y", "y");
  EXPECT_EQ(ReportRunaway(ExpandString("%Y%||%Y%", variables)), "y\ry");
  EXPECT_TRUE(shown_.empty());
  EXPECT_EQ(ReportRunaway(ExpandString("a||%X%", variables)), "a\r%X%");
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "Infinite reference in the string \"a\r%X%\"!");
  EXPECT_EQ(shown_[0].caption, "Error");
}

}  // namespace
