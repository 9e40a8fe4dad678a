// The wizard pages and the sequence runner (Windows only, but for the
// portable rules at the end).
//
// The run puts page names (dialog templates DLG_...) into a sequence and
// calls RunDialogSequence, which shows them modally one after the other and
// moves on the buttons Back (101), Next (102) and Cancel (103). Every page
// gets the dialog font, its place on the screen, its texts from the
// language file and a painted header (title over the DialogBitmap of the
// page, or Osin.bmp); a part per page name does the page's own work:
//   DLG_LANGUAGE   the offered languages; Back or Next sets the chosen one
//   DLG_LICENSE    License.<code> (or License.txt); Yes goes on, No (or Esc)
//                  ends the sequence at once without asking
//   DLG_README     Readme.<code> (or Readme.txt)
//   DLG_PASSWORD   the archive password, tried on the archive's test.psw
//   DLG_DIR        the destination folder, typed or chosen with Browse
//   DLG_GROUP      the program group, with the groups of both Programs menus
//   DLG_PROGRESS   the installation's file phase (see TProgressWorker)
//   DLG_REBOOT     whether to restart now
//   DLG_FINISH, DLG_NOTFINISH   the final message, one OK button
// Cancel asks the question of message 1 first while ConfirmCancel is set.
//
// A name that names no template ends the sequence as Cancel would, after
// an error box that names the page. Reading the language file may raise the
// run-ending fault of the INI store: the page then ends itself and the
// sequence ends as if cancelled, leaving the fault to the run.
#pragma once

#include <stdint.h>

#include "config/language.h"
#include "platform/str.h"
#include "platform/strlist.h"
#include "ui/font.h"

struct HWND__;

namespace osin {

// The installation's file phase as the progress page drives it. The engine
// creates its worker held and registers these calls for the page; the page
// reaches the engine through them only. Every call gets Context.
//   Start   called once the page is open, with the page's window (for the
//           worker's messages to controls 106, 107 and 109): lets the
//           worker run. The worker ends the page by posting WM_COMMAND 102
//           to it, whether it finished or was cancelled. When the page
//           cannot open, Start is called with no window after Cancel, so a
//           run that waits for its worker is not left waiting for ever.
//   Pause   holds the worker at its next safe point; the page calls it
//           before the cancel question. It must not wait for the worker
//           without letting the page's messages through (the worker sends
//           to the page).
//   Resume  lets a paused worker go on.
//   Cancel  sets the engine's cancel flag; the worker stops at its next
//           check and then ends the page as usual.
struct TProgressWorker {
  void* Context = nullptr;
  void (*Start)(void* context, HWND__* page) = nullptr;
  void (*Pause)(void* context) = nullptr;
  void (*Resume)(void* context) = nullptr;
  void (*Cancel)(void* context) = nullptr;
};

// What the pages read and change: the run's fields, by reference, and the
// services of the run above this layer.
struct TPageRun {
  // Page names, shown in order; the caller fills it before each sequence.
  const StringList& Sequence;
  // The background window (owner of the pages while it is visible; its
  // client size places them).
  HWND__* MainWindow;
  // Folder of the control files, with a trailing "\"; configuration file.
  const String& PresetupDir;
  const String& ConfigFile;
  // The setup program's own file, whose archive the password is tried on.
  const String& SourceFile;
  // The language in force (file, code, variables).
  LanguageTexts Texts;
  // The variables, for InstallPath and ProgramGroup.
  StringList& Variables;
  // Offered languages as code=display name lines.
  const StringList& Languages;
  String& InstallPath;
  String& ArchivePassword;
  bool& NeedReboot;
  bool& ConfirmCancel;
  // The expanded title of the page being shown.
  String& PageTitle;
  const TFontDescription& DialogFont;
  const TFontDescription& DialogTitleFont;
  bool DialogTitleShadow;
  int32_t DialogTitleShadowColor;
  // [Display] DialogPosition, horizontal and vertical: 0 near the left or
  // top edge (1/16 of the screen), 1 centred, 2 near the right or bottom
  // edge, anything else at the edge itself.
  int PositionH;
  int PositionV;
  // Makes a language current (files, fonts, variables, program name); the
  // language page calls it with the chosen code.
  void (*SetLanguage)(const String& code);
  // The installation's worker for DLG_PROGRESS; none outside the
  // installation (the page then only waits for its buttons).
  const TProgressWorker* Worker = nullptr;
};

// Shows the pages of Run.Sequence. True when the last page ended with Next
// (or the sequence is empty), false when a page ended with Cancel, could
// not open or raised the run-ending fault.
bool RunDialogSequence(TPageRun& run);

// When Code (a system error code) is not 0, an error box names Folder and
// the system's words for the fault, and the result is true: the folder
// cannot be the destination. False, and no box, for 0.
bool RefuseFolder(const String& folder, uint32_t code);

// Whether the archive of SourceFile accepts Password: the entry test.psw,
// found among or right after the leading "Presetup\" entries, is extracted
// to Folder and deleted again, and the result is whether its data checked
// out; an archive without it accepts every password. False when the
// archive cannot be opened (its fault is raised).
bool TestArchivePassword(const String& sourceFile, const String& password, const String& folder);

// Portable rules behind the pages ----------------------------------------

// The page's left or top edge for a placement field (see PositionH): Extent
// is the screen's (or background's) width or height, Size the page's.
int PagePosition(int field, int extent, int size);

}  // namespace osin
