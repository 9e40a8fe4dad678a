// Languages under Wine: an English and a Russian language file, the
// language switch, localized strings and page texts loaded into dialogs.
#include <windows.h>

#include <string>
#include <vector>

#include "config/dialog_template.h"
#include "config/language.h"
#include "config/profile.h"
#include "config/variables.h"
#include "files.h"
#include "platform/fault.h"
#include "platform/text.h"
#include "setup/language.h"
#include "setup/session.h"
#include "testing.h"
#include "ui/msgbox.h"
#include "ui/pagetext.h"

using namespace osin;

namespace {

// Russian texts in the Cyrillic code page 1251, as a language file holds
// them: "Далее >" and "Демо".
const char kNextRu[] = "\xC4\xE0\xEB\xE5\xE5 >";
const char kDemoRu[] = "\xC4\xE5\xEC\xEE";

const char kEnglish[] =
    "// English language file\r\n"
    "[Strings]\r\n"
    "1=The %ProgramName% is not completely installed on your computer.||Do you want to abort setup?\r\n"
    "4=Insufficient free disk space!\r\n"
    "13=This operating system is not supported!\r\n"
    "[Strings.ENU]\r\n"
    "4=Not enough room on %LangStr%.\r\n"
    "[Dialogs]\r\n"
    "Caption=%ProgramName% setup\r\n"
    "101=< Back\r\n"
    "102=Next >\r\n"
    "103=Cancel\r\n"
    "105=From Dialogs\r\n"
    "[Dialogs.ENU]\r\n"
    "101=Not for pages\r\n"
    "[DLG_DIR]\r\n"
    "Caption=Destination\r\n"
    "Title=Choose the folder for %ProgramName%\r\n"
    "104=\" Destination folder \"\r\n"
    "105=From the page\r\n"
    "[DLG_WELCOME]\r\n"
    "Caption=%Nothing%\r\n"
    "104=Line one||line two\r\n"
    "[Uninstall.Strings]\r\n"
    "1=Remove %s?\r\n"
    "[Uninstall]\r\n"
    "x=1\r\n"
    "[Uninstall.Strings.RUS]\r\n"
    "1=x\r\n"
    "[UninstallExtra]\r\n"
    "1=x\r\n";

std::string Russian() {
  return std::string("[Strings]\r\n13=") + kDemoRu +
         "\r\n"
         "[Dialogs]\r\n"
         "Caption=%ProgramName%\r\n"
         "102=" +
         kNextRu + "\r\n";
}

const char kConfig[] =
    "[Config]\r\n"
    "Languages=Enu, Rus\r\n"
    "[Variables]\r\n"
    "ProgramName=Demo Program\r\n"
    "Nothing=\r\n"
    "[Variables.RUS]\r\n"
    "ProgramName=Demo RU\r\n";

class Languages : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    TSetupSession& session = Session();
    session.PresetupDir = AddBackslash(Dir());
    session.ConfigFile = session.PresetupDir + "Osin.ini";
    session.SourceFile = session.PresetupDir + "setup.exe";
    session.InstallPath = "C:\\Apps\\Demo\\";
    session.MainWindow = nullptr;
    ASSERT_TRUE(WriteBytes(session.ConfigFile, kConfig));
    ASSERT_TRUE(WriteBytes(session.PresetupDir + "Enu.lng", kEnglish));
    ASSERT_TRUE(WriteBytes(session.PresetupDir + "RUS.lng", Russian()));
    SetBoxHook(
        [](void* context, const String& caption, const String&, uint32_t) {
          static_cast<Languages*>(context)->captions_.push_back(ToStd(caption));
          return static_cast<int>(kBoxResultOk);
        },
        this);
  }
  void TearDown() override {
    SetBoxHook(nullptr, nullptr);
    SetMessageCaption(String());
    DropAllStores();
    Session().Variables.Clear();
    Session().MainWindow = nullptr;
    EXPECT_FALSE(FaultPending()) << ToStd(TakeFault());
    ScratchTest::TearDown();
  }

  std::vector<std::string> captions_;
};

TEST_F(Languages, EnglishSetsNameCaptionAndFonts) {
  SetLanguage("ENU");
  TSetupSession& session = Session();
  EXPECT_EQ(session.Language, "ENU");
  EXPECT_EQ(session.LanguageFile, session.PresetupDir + "ENU.lng");
  EXPECT_EQ(session.ProgramName, "Demo Program");
  EXPECT_EQ(session.DialogFont.Charset, 1);
  EXPECT_EQ(GetVariable(Session().Variables, "LangStr").Text, "ENU");
  ErrorBox("x");
  ASSERT_EQ(captions_.size(), 1u);
  EXPECT_EQ(captions_[0], "Demo Program");
}

TEST_F(Languages, RussianTakesItsOwnFileVariablesAndCharset) {
  SetLanguage("RUS");
  TSetupSession& session = Session();
  EXPECT_EQ(session.LanguageFile, session.PresetupDir + "RUS.lng");
  EXPECT_EQ(session.ProgramName, "Demo RU");
  EXPECT_EQ(session.MainTitleFont.Charset, 204);
  EXPECT_EQ(session.DialogTitleFont.Charset, 204);
  EXPECT_EQ(MessageString(SessionTexts(), 13).Text, kDemoRu);
  // The Russian file lacks message 4: the English one shows, not an empty
  // box; the override section of ENU is not for RUS.
  EXPECT_EQ(MessageString(SessionTexts(), 4).Text, "Insufficient free disk space!");
  EXPECT_EQ(MessageString(SessionTexts(), 99).Text, "");
}

TEST_F(Languages, ALanguageWithoutItsFileShowsEnglish) {
  SetLanguage("DEU");
  TSetupSession& session = Session();
  EXPECT_EQ(session.LanguageFile, session.PresetupDir + "Enu.lng");
  EXPECT_EQ(session.Language, "DEU");
  EXPECT_EQ(GetVariable(Session().Variables, "LangStr").Text, "DEU");
  EXPECT_EQ(MessageString(SessionTexts(), 13).Text, "This operating system is not supported!");
  EXPECT_EQ(MessageString(SessionTexts(), 4).Text, "Insufficient free disk space!")
      << "Strings.ENU is for ENU only";
}

TEST_F(Languages, MessagesExpandAndTheOverrideSectionWins) {
  SetLanguage("ENU");
  EXPECT_EQ(MessageString(SessionTexts(), 1).Text,
            "The Demo Program is not completely installed on your computer.\rDo you want to abort setup?");
  EXPECT_EQ(MessageString(SessionTexts(), 4).Text, "Not enough room on ENU.");
  EXPECT_EQ(MessageString(SessionTexts(), 99).Text, "");
  EXPECT_EQ(LanguageString(SessionTexts(), "Dialogs", 102).Text, "Next >");
}

TEST_F(Languages, WithoutAProgramNameTheTitleShowsTheReference) {
  ASSERT_TRUE(WriteBytes(Session().ConfigFile, "[Config]\r\n"));
  HWND window =
      CreateWindowExA(0, "STATIC", "old", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  Session().MainWindow = window;
  SetLanguage("ENU");
  char title[64];
  GetWindowTextA(window, title, sizeof(title));
  EXPECT_STREQ(title, "%ProgramName%");
  EXPECT_EQ(Session().ProgramName, "%ProgramName%");
  DestroyWindow(window);
}

TEST_F(Languages, TheMainWindowTitleFollowsTheLanguage) {
  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  Session().MainWindow = window;
  char title[64];
  SetLanguage("ENU");
  GetWindowTextA(window, title, sizeof(title));
  EXPECT_STREQ(title, "Demo Program");
  SetLanguage("RUS");
  GetWindowTextA(window, title, sizeof(title));
  EXPECT_STREQ(title, "Demo RU");
  DestroyWindow(window);
}

TEST_F(Languages, UninstallSectionsWithAtMostTwoWords) {
  SetLanguage("ENU");
  StringList sections;
  UninstallLanguageSections(Session().LanguageFile, sections);
  String file = Session().LanguageFile;
  EXPECT_EQ(ToStd(sections.Text()), ToStd(file + ",Uninstall.Strings\r\n" + file + ",Uninstall\r\n"));
}

TEST_F(Languages, ReadTextFileTakesTheWholeFile) {
  String licence = Path("License.ENU");
  ASSERT_TRUE(WriteBytes(licence, "line 1\r\nline 2\r\n"));
  ASSERT_TRUE(WriteBytes(Path("empty.txt"), ""));
  String text;
  ReadTextFile(licence, text);
  EXPECT_EQ(text, "line 1\r\nline 2\r\n");
  ReadTextFile(Path("empty.txt"), text);
  EXPECT_EQ(text, "");
  text = "kept";
  ReadTextFile(Path("missing.txt"), text);
  EXPECT_EQ(text, "kept");
}

// Pages -------------------------------------------------------------------

enum { kHeader = 100, kBack = 101, kNext = 102, kCancel = 103, kLabel = 104, kBoth = 105, kEdit = 106 };

DialogTemplate PageTemplate() {
  DialogTemplate page("Template caption", 300, 150);
  page.Item(DialogTemplate::kStatic, kHeader, "Template title", 5, 5, 200, 10)
      .Item(DialogTemplate::kButton, kBack, "b", 100, 120, 50, 14)
      .Item(DialogTemplate::kButton, kNext, "n", 155, 120, 50, 14)
      .Item(DialogTemplate::kButton, kCancel, "c", 210, 120, 50, 14)
      .Item(DialogTemplate::kStatic, kLabel, "Template label", 5, 30, 200, 20)
      .Item(DialogTemplate::kStatic, kBoth, "Template both", 5, 55, 200, 10)
      .Item(DialogTemplate::kEdit, kEdit, "%InstallPath%\\bin", 5, 70, 200, 14);
  return page;
}

std::string Text(HWND page, int id) {
  return ToStd(GetItemText(page, id));
}

std::string Caption(HWND page) {
  char caption[256];
  GetWindowTextA(page, caption, sizeof(caption));
  return caption;
}

class Pages : public Languages {
 protected:
  HWND Open(const DialogTemplate& page) {
    HWND window = CreateDialogIndirectParamA(nullptr, page.get(), nullptr, NoMessages, 0);
    EXPECT_NE(window, nullptr);
    return window;
  }
  static INT_PTR CALLBACK NoMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
};

TEST_F(Pages, TheTextsOfAPageComeFromItsSectionAndFromDialogs) {
  SetLanguage("ENU");
  DialogTemplate page = PageTemplate();
  HWND window = Open(page);
  ASSERT_TRUE(LoadPageTexts(window, "DLG_DIR", SessionTexts(), Session().PageTitle));
  EXPECT_EQ(Caption(window), "Destination");
  EXPECT_EQ(Session().PageTitle, "Choose the folder for Demo Program");
  EXPECT_EQ(Text(window, kBack), "< Back") << "Dialogs.ENU does not touch pages";
  EXPECT_EQ(Text(window, kNext), "Next >");
  EXPECT_EQ(Text(window, kCancel), "Cancel");
  EXPECT_EQ(Text(window, kLabel), " Destination folder ");
  EXPECT_EQ(Text(window, kBoth), "From the page");
  EXPECT_EQ(Text(window, kEdit), "C:\\Apps\\Demo\\bin") << "template texts are expanded in place";
  EXPECT_EQ(Text(window, kHeader), "Template title");
  DestroyWindow(window);
}

TEST_F(Pages, WhatAPageDoesNotNameComesFromDialogsOrTheTemplate) {
  SetLanguage("ENU");
  DialogTemplate page = PageTemplate();
  HWND window = Open(page);
  ASSERT_TRUE(LoadPageTexts(window, "DLG_WELCOME", SessionTexts(), Session().PageTitle));
  EXPECT_EQ(Caption(window), "Template caption") << "an empty expansion leaves the caption alone";
  EXPECT_EQ(Session().PageTitle, "Template title");
  EXPECT_EQ(Text(window, kBoth), "From Dialogs");
  EXPECT_EQ(Text(window, kLabel), "Line one\rline two");
  DestroyWindow(window);
}

TEST_F(Pages, RussianPagesShowRussianTexts) {
  SetLanguage("RUS");
  DialogTemplate page = PageTemplate();
  HWND window = Open(page);
  ASSERT_TRUE(LoadPageTexts(window, "DLG_DIR", SessionTexts(), Session().PageTitle));
  EXPECT_EQ(Caption(window), "Demo RU");
  EXPECT_EQ(Text(window, kNext), kNextRu);
  EXPECT_EQ(Text(window, kBack), "< Back") << "what the Russian file lacks shows in English, never blank";
  DestroyWindow(window);
}

TEST_F(Pages, ItemTextsAndListSelections) {
  DialogTemplate page("x", 200, 100);
  page.Item(DialogTemplate::kEdit, 10, "", 5, 5, 150, 14)
      .Item(DialogTemplate::kListBox, 11, "", 5, 25, 150, 50, LBS_NOTIFY);
  HWND window = Open(page);
  std::string longText(2000, 'w');
  SetItemText(window, 10, longText.c_str());
  EXPECT_EQ(GetItemText(window, 10), longText.c_str()) << "a long text comes back whole";
  DWORD start = 1, end = 0;
  SendDlgItemMessageA(window, 10, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                      reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 2000u) << "all of the text is selected";
  HWND list = GetDlgItem(window, 11);
  EXPECT_EQ(GetListSelection(list), "");
  SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("English (USA)"));
  SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Russian"));
  SendMessageA(list, LB_SETCURSEL, 1, 0);
  EXPECT_EQ(GetListSelection(list), "Russian");
  DestroyWindow(window);
}

// A page whose language file cannot be read ends itself; the fault waits
// for whoever opened the dialog.
struct PageRun {
  const char* name;
  bool loaded;
};

INT_PTR CALLBACK FaultingPage(HWND page, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  PageRun& run = *reinterpret_cast<PageRun*>(lParam);
  run.loaded = LoadPageTexts(page, run.name, SessionTexts(), Session().PageTitle);
  EndDialog(page, run.loaded ? IDOK : IDABORT);
  return TRUE;
}

TEST_F(Pages, AFaultEndsTheDialogAndWaitsForItsCaller) {
  SetLanguage("ENU");
  DropAllStores();
  FileHandle lock = OpenFileHandle(Session().LanguageFile, kFileRead, kShareNone, 0, kOpenExisting);
  ASSERT_TRUE(IsOpenFile(lock));
  DialogTemplate page = PageTemplate();
  PageRun run{"DLG_DIR", true};
  INT_PTR result =
      DialogBoxIndirectParamA(nullptr, page.get(), nullptr, FaultingPage, reinterpret_cast<LPARAM>(&run));
  CloseFileHandle(lock);
  EXPECT_EQ(result, IDABORT);
  EXPECT_FALSE(run.loaded);
  ASSERT_TRUE(FaultPending());
  EXPECT_EQ(TakeFault(), "Cannot open file " + Session().LanguageFile);
}

}  // namespace
