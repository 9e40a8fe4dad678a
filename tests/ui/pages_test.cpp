// The portable rules behind the pages and started programs: where a page
// is placed, how a run specification is read.
#include "ui/pages.h"
#include "testing.h"
#include "ui/runprogram.h"

using namespace osin;

namespace {

TEST(PagePlacement, EachFieldOfDialogPosition) {
  // A 1024-pixel extent and a 400-pixel page: 1/16 from the edge, centred,
  // 1/16 from the far edge, or at the edge itself.
  EXPECT_EQ(PagePosition(0, 1024, 400), 64);
  EXPECT_EQ(PagePosition(1, 1024, 400), 312);
  EXPECT_EQ(PagePosition(2, 1024, 400), 560);
  EXPECT_EQ(PagePosition(3, 1024, 400), 0);
  EXPECT_EQ(PagePosition(-1, 1024, 400), 0);
  // A page larger than the screen: divisions truncate toward zero.
  EXPECT_EQ(PagePosition(1, 300, 401), -50);
}

TEST(RunSpecs, FieldsQuotesAndShowCommands) {
  TRunSpec run = ParseRunSpec("\"C:\\My \"\"Tools\"\"\\x.exe\",/a 'b,c',C:\\Work,2,\"Please, wait\"");
  EXPECT_EQ(run.Program, "C:\\My \"Tools\"\\x.exe");
  EXPECT_EQ(run.Parameters, "/a 'b,c'");
  EXPECT_EQ(run.Directory, "C:\\Work");
  EXPECT_EQ(run.Show, 3);  // maximized
  EXPECT_EQ(run.Message, "Please, wait");

  TRunSpec plain = ParseRunSpec("notepad.exe");
  EXPECT_EQ(plain.Program, "notepad.exe");
  EXPECT_TRUE(plain.Parameters.IsEmpty() && plain.Message.IsEmpty());
  EXPECT_EQ(plain.Show, 5);  // normal when empty
  EXPECT_EQ(ParseRunSpec("a,,,0").Show, 0);
  EXPECT_EQ(ParseRunSpec("a,,,3").Show, 2);
  EXPECT_EQ(ParseRunSpec("a,,,7").Show, 5);
  EXPECT_EQ(ParseRunSpec("a,,,max").Show, 5);
  // Apostrophes around a field go.
  EXPECT_EQ(ParseRunSpec("'a,b',x").Program, "a,b");
}

}  // namespace
