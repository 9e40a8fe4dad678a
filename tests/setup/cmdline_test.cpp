// The switches of an unattended install as an administrator's tool writes
// them.
#include "setup/cmdline.h"

#include "testing.h"

using namespace osin;

namespace {

TEST(CommandLine, SwitchesWithQuotedValuesAnyCaseLastOneCounting) {
  const char* whole =
      "\"C:\\Down loads\\setup.exe\"  /verysilent -NoRestart /DIR=\"C:\\Program Files\\App\\\" "
      "\"/GROUP=My Apps\" /lang=rus /LANG=Enu /PASSWORD=a=b /LOG=\"C:\\log s\\run.log\"";
  const char* arguments = SkipProgramName(whole);
  EXPECT_STREQ(arguments,
               "  /verysilent -NoRestart /DIR=\"C:\\Program Files\\App\\\" \"/GROUP=My Apps\" "
               "/lang=rus /LANG=Enu /PASSWORD=a=b /LOG=\"C:\\log s\\run.log\"");
  TCommandLine line;
  ASSERT_TRUE(ParseCommandLine(arguments, line)) << ToStd(line.Error);
  EXPECT_TRUE(line.VerySilent && line.SuppressBoxes && line.NoRestart && line.Unattended());
  EXPECT_FALSE(line.Silent || line.Help);
  // The closing backslash of a folder stays, typed once or doubled as
  // the C runtime's quoting does.
  EXPECT_EQ(line.Dir, "C:\\Program Files\\App\\");
  TCommandLine doubled;
  ASSERT_TRUE(ParseCommandLine("\"/DIR=\\\\srv\\App\\\\\" /SILENT", doubled));
  EXPECT_EQ(doubled.Dir, "\\\\srv\\App\\");
  EXPECT_TRUE(doubled.Silent);
  TCommandLine slashes;
  ASSERT_TRUE(ParseCommandLine("/DIR=C:/Apps/X/ /LOG=C:/run.log", slashes)) << ToStd(slashes.Error);
  EXPECT_EQ(slashes.Dir, "C:\\Apps\\X\\");
  EXPECT_EQ(slashes.LogFile, "C:/run.log");
  ASSERT_TRUE(ParseCommandLine("/DIR=//srv/share/App", slashes));
  EXPECT_EQ(slashes.Dir, "\\\\srv\\share\\App");
  EXPECT_EQ(line.Group, "My Apps");
  EXPECT_EQ(line.Lang, "Enu");
  EXPECT_EQ(line.Password, "a=b");
  EXPECT_EQ(line.LogFile, "C:\\log s\\run.log");

  TCommandLine none;
  ASSERT_TRUE(ParseCommandLine(SkipProgramName("setup.exe"), none));
  EXPECT_FALSE(none.Unattended() || none.SuppressBoxes || none.Help);
  EXPECT_TRUE(none.Dir.IsEmpty() && none.LogFile.IsEmpty());
}

TEST(CommandLine, FaultsAreNamedAndTheRestIsStillRead) {
  struct Case {
    const char* arguments;
    const char* error;
  } cases[] = {
      {"/SILENT /QUIET /LOG=x.log", "Unknown switch: /QUIET"},
      {"/SILENT=1", "Unknown switch: /SILENT=1"},
      {"setup.ini", "Unknown switch: setup.ini"},
      {"/DIR=", "No value given: /DIR="},
      {"/DIR", "No value given: /DIR"},
      {"/dir=Program\\App", "Not a full path: /dir=Program\\App"},
      {"/DIR=C:App", "Not a full path: /DIR=C:App"},
      {"/X /Y", "Unknown switch: /X"},
  };
  for (const Case& c : cases) {
    TCommandLine line;
    EXPECT_FALSE(ParseCommandLine(c.arguments, line)) << c.arguments;
    EXPECT_EQ(ToStd(line.Error), c.error) << c.arguments;
  }
  // A fault before /VERYSILENT and /LOG does not hide them: the run must
  // still stay silent and say why in the log.
  TCommandLine line;
  EXPECT_FALSE(ParseCommandLine("/BAD /VERYSILENT /LOG=C:\\run.log", line));
  EXPECT_TRUE(line.VerySilent);
  EXPECT_EQ(line.LogFile, "C:\\run.log");
  TCommandLine unc;
  EXPECT_TRUE(ParseCommandLine("/DIR=\\\\server\\share\\App /?", unc));
  EXPECT_TRUE(unc.Help);
  TCommandLine variable;
  EXPECT_TRUE(ParseCommandLine("\"/DIR=%ProgramFiles%\\My App\"", variable));
  EXPECT_EQ(variable.Dir, "%ProgramFiles%\\My App");
}

}  // namespace
