#include <windows.h>

#include <commctrl.h>

#include "archive/unrar.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/strutils.h"
#include "resources/ids.h"
#include "setup/presetup.h"
#include "setup/session.h"
#include "ui/msgbox.h"

namespace osin {

namespace {

const char* const kPresetupMask = "Presetup\\*";

// Moves the progress bar by the bytes written; Required can be 0 when every
// control file is empty, and then the bar stays where it is.
class PresetupProgress : public TArcProgress {
 public:
  PresetupProgress(HWND bar, int64_t required) : bar_(bar), required_(required) {}

  bool OnProgress(const String&, uint32_t count, bool skipping) override {
    if (skipping) return true;
    done_ += count;
    if (required_ > 0) {
      double share = static_cast<double>(done_) / static_cast<double>(required_) * 100.0;
      SendMessageA(bar_, PBM_SETPOS, RoundHalfEven(share), 0);
    }
    PumpMessages();
    return true;
  }

  // Lets the window paint between pieces of a long extraction.
  static void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

 private:
  static int RoundHalfEven(double value) {
    double whole = static_cast<double>(static_cast<int64_t>(value));
    double rest = value - whole;
    int64_t n = static_cast<int64_t>(whole);
    if (rest > 0.5 || (rest == 0.5 && (n & 1))) ++n;
    return static_cast<int>(n);
  }

  HWND bar_;
  int64_t required_;
  int64_t done_ = 0;
};

// The window has no procedure of its own: every message goes to the
// system's dialog handling.
INT_PTR CALLBACK NoDialogProc(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

bool ExtractEntries(HWND window, int64_t required) {
  TArchive archive(Session().SourceFile, kOpenExtract);
  if (FaultPending()) return false;
  archive.SetPassword(kNoText);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  PresetupProgress progress(GetDlgItem(window, IDC_PRESETUP_PROGRESS), required);
  const String& folder = Session().PresetupDir;
  while (!archive.Eof && MatchMask(archive.Header.EntryName, kPresetupMask, true)) {
    const String name = archive.Header.EntryName;
    String target = PresetupTarget(folder, name);
    // A name that climbs out of the temporary folder is refused before
    // anything is created for it.
    if (!target.IsEmpty()) ForceFolders(StripBackslash(PathFolder(target)));
    if (target.IsEmpty() || !archive.Process(aoExtract, target, &progress)) {
      ErrorBox(String::Format("Can't extract file \"%s\".", name.c_str()));
      return false;
    }
  }
  // Long enough for the window to be seen; without one there is nothing to
  // see.
  if (window) Sleep(100);
  return true;
}

}  // namespace

bool ExtractPresetup() {
  // /VERYSILENT shows no window, this one neither.
  bool shown = !Session().Options.VerySilent;
  HWND window =
      shown ? CreateDialogParamA(GetModuleHandleA(nullptr), DLG_PRESETUP, nullptr, NoDialogProc, 0) : nullptr;
  if (shown && !window) {
    ErrorBox("Cannot create init window!");
    return false;
  }
  HWND bar = GetDlgItem(window, IDC_PRESETUP_PROGRESS);
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageA(bar, PBM_SETSTEP, 1, 0);

  bool ok = false;
  int64_t required = SumEntrySizes(kPresetupMask, nullptr, nullptr, true);
  if (FaultPending()) {
    ok = false;
  } else if (FreeDiskKB(Session().PresetupDir) < RequiredKB(required)) {
    ErrorBox(kNoSpaceText);
  } else {
    ok = ExtractEntries(window, required);
  }
  DestroyWindow(window);
  return ok;
}

}  // namespace osin
