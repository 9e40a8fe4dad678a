#include <windows.h>

#include "install/copyentry.h"
#include "install/filephase.h"
#include "resources/ids.h"
#include "ui/pagetext.h"
#include "ui/wintext.h"

namespace osin {

namespace {

struct ConflictQuestion {
  const String& target;
  const LanguageTexts& texts;
  TWorkerSignals* signals;
};

INT_PTR CALLBACK ConflictProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const ConflictQuestion& question = *reinterpret_cast<const ConflictQuestion*>(lParam);
      String title;
      // A language file that cannot be read leaves the fault to the phase,
      // which stops at once; the installed file is kept meanwhile.
      if (!LoadPageTexts(dialog, DLG_VERSIONCONFLICT, question.texts, title)) {
        EndDialog(dialog, kKeepInstalled);
        return TRUE;
      }
      SetItemText(dialog, IDC_CONFLICT_NAME, PathFileName(question.target));
      SetItemText(dialog, IDC_CONFLICT_FOLDER, PathFolder(question.target));
      SetFocus(GetDlgItem(dialog, IDC_CONFLICT_KEEP));
      if (question.signals) InterlockedExchange(const_cast<long*>(&question.signals->Asking), 1);
      return FALSE;
    }
    case WM_COMMAND:
      // Only the four answers end the question; Esc and the close box do
      // nothing.
      switch (LOWORD(wParam)) {
        case IDC_CONFLICT_KEEP:
          EndDialog(dialog, kKeepInstalled);
          break;
        case IDC_CONFLICT_KEEP_ALL:
          EndDialog(dialog, kKeepAllInstalled);
          break;
        case IDC_CONFLICT_REPLACE:
          EndDialog(dialog, kReplace);
          break;
        case IDC_CONFLICT_REPLACE_ALL:
          EndDialog(dialog, kReplaceAll);
          break;
      }
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int AskVersionConflict(HWND__* owner, const String& target, const LanguageTexts& texts,
                       TWorkerSignals* signals) {
  ConflictQuestion question{target, texts, signals};
  INT_PTR answer = ShowDialog(DLG_VERSIONCONFLICT, owner, ConflictProc, reinterpret_cast<LPARAM>(&question));
  if (signals) {
    InterlockedExchange(const_cast<long*>(&signals->Asking), 0);
    SafePoint(*signals);
  }
  switch (answer) {
    case kReplace:
    case kReplaceAll:
    case kKeepAllInstalled:
      return int(answer);
  }
  return kKeepInstalled;
}

}  // namespace osin
