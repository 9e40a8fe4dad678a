// The state of one setup run.
//
// One instance exists per process (Session()); the program entry fills it at
// the start of the run. Only the setup layer reads and writes it: the layers
// below are handed the fields they work on (the variable list, the language
// file, the window, the fonts) as arguments. Fields are plain values:
// whoever changes one is responsible for the consequences stated beside it.
#pragma once

#include "config/language.h"
#include "platform/str.h"
#include "platform/strlist.h"
#include "setup/cmdline.h"
#include "ui/font.h"
#include "ui/mainwindow.h"

struct HWND__;
struct HICON__;

namespace osin {

struct TSetupSession {
  // Out of line and on its object: inlined into Session(), every field's
  // start value was stored at the full address of the one instance, about
  // twice the bytes of a store relative to the object.
#ifdef __clang__
  __attribute__((noinline)) TSetupSession();
#else
  __attribute__((noinline, noclone)) TSetupSession();
#endif
  // Full path of the running program; %SourcePath% is its folder.
  String SourceFile;
  // Temporary folder of the control files, with a trailing backslash.
  String PresetupDir;
  // PresetupDir + "Osin.ini".
  String ConfigFile;
  // "Setup" at the start; the expansion of %ProgramName% once a language is
  // set. Caption of message boxes and title of the background window.
  String ProgramName = "Setup";
  // Destination folder, unexpanded until it is used.
  String InstallPath;
  // Current language code (%LangStr%), for example "ENU".
  String Language;
  // The language file of Language, or the English fallback.
  String LanguageFile;
  // Offered languages as code=display name lines, in configuration order.
  StringList Languages;
  // Variables as name=value lines, values unexpanded.
  StringList Variables;
  // Expanded title of the page being shown; the page header draws it.
  String PageTitle;
  // The three configured fonts; their character set follows the language.
  TFontDescription MainTitleFont;
  TFontDescription DialogFont;
  TFontDescription DialogTitleFont;
  // What the background window draws; its bitmap is owned by the run.
  TBackgroundLook Background;
  // The pages' title shadow and their placement ([Display] DialogPosition).
  bool DialogTitleShadow = true;
  int32_t DialogTitleShadowColor = 0xC0C0C0;
  int DialogPositionH = 1;
  int DialogPositionV = 1;
  // The background window, or none before it is created.
  HWND__* MainWindow = nullptr;
  // The icon "MAINICON", loaded at the start.
  HICON__* MainIcon = nullptr;
  // Password for enciphered archive entries; empty until the password page.
  String ArchivePassword;
  // A restart is needed at the end (configuration, files replaced at
  // restart, the user's choice on the reboot page).
  bool NeedReboot = false;
  // Cancelling a page asks first; cleared just before the final page.
  bool ConfirmCancel = true;
  // Outcome of the last stage of the run.
  bool InstallSucceeded = false;
  // [Config] CheckAdminRights: the run needs administrator rights.
  bool CheckAdminRights = false;
  // [Config] Uninstall with UnOsin.exe among the control files: the
  // uninstaller is copied and registered.
  bool RegisterUninstall = false;
  // The switches of the command line.
  TCommandLine Options;
  // How far the run came (TRunStage), and whether it ended by a cancel
  // (the user's, or a program run first that refused).
  int Stage = kStageStarting;
  bool Cancelled = false;
  // Page names for the page sequence runner.
  StringList DialogSequence;
  // The background's bitmap lines, each with its bitmap (owned).
  StringList StaticBitmaps;
};

// The run's state. Created on first use and kept until the process ends.
inline TSetupSession& Session() {
  // Its alignment stated: the setup's libraries align data as the ABI asks,
  // tests by the compiler's wider default, and both define this object.
  alignas(TSetupSession) static TSetupSession session;
  return session;
}

// The run's language in force, for lookups of localized texts.
inline LanguageTexts SessionTexts() {
  const TSetupSession& session = Session();
  return LanguageTexts{session.LanguageFile, session.Language, session.Variables};
}

}  // namespace osin
