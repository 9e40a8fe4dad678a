#include <windows.h>

#include "archive/unrar.h"
#include "config/profile.h"
#include "config/variables.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/filefind.h"
#include "platform/strutils.h"
#include "platform/text.h"
#include "resources/ids.h"
#include "ui/bitmap.h"
#include "ui/browse.h"
#include "ui/draw.h"
#include "ui/msgbox.h"
#include "ui/msgwindow.h"
#include "ui/pages.h"
#include "ui/pagetext.h"
#include "ui/wintext.h"

namespace osin {

namespace {

// The page being shown; pages are never nested, but the state still
// travels with the dialog (DWLP_USER) rather than in globals.
struct PageState {
  TPageRun& run;
  int index;
  String page;
  HFONT font = nullptr;
  // The header image, drawn once when the page opens.
  HDC header = nullptr;
  HGDIOBJ headerOld = nullptr;
  bool workerStarted = false;
};

PageState* StateOf(HWND page) {
  return reinterpret_cast<PageState*>(GetWindowLongPtrA(page, DWLP_USER));
}

String Message(const TPageRun& run, int id) {
  return ReportRunaway(MessageString(run.Texts, id));
}

// Common part ------------------------------------------------------------

void PlacePage(const PageState& state, HWND page) {
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT client;
  if (state.run.MainWindow && GetClientRect(state.run.MainWindow, &client)) area = client;
  RECT own;
  GetWindowRect(page, &own);
  int x = PagePosition(state.run.PositionH, area.right - area.left, own.right - own.left);
  int y = PagePosition(state.run.PositionV, area.bottom - area.top, own.bottom - own.top);
  SetWindowPos(page, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The header image: the page's bitmap stretched over the control (its last
// column and row keep the button face colour), the title with its shadow on
// top.
void RenderPageHeader(PageState& state, HWND page) {
  const TPageRun& run = state.run;
  HWND control = GetDlgItem(page, IDC_PAGE_HEADER);
  RECT size;
  GetClientRect(control, &size);
  HDC screen = GetDC(control);
  state.header = CreateCompatibleDC(screen);
  HBITMAP surface = CreateCompatibleBitmap(screen, size.right, size.bottom);
  ReleaseDC(control, screen);
  state.headerOld = SelectObject(state.header, surface);
  FillRect(state.header, &size, GetSysColorBrush(COLOR_BTNFACE));

  String name = ReadIniString(run.ConfigFile, "DialogBitmap", state.page.c_str(), kNoText).Trim();
  if (name.IsEmpty()) name = "Osin.bmp";
  // A damaged file counts as missing: the system's loader would draw what
  // lies past its end.
  HBITMAP bitmap = LoadBitmapFile(run.PresetupDir + name);
  if (!bitmap) bitmap = LoadBitmapFile(run.PresetupDir + "Osin.bmp");
  if (bitmap) {
    BITMAP info;
    GetObjectA(bitmap, sizeof info, &info);
    HDC source = CreateCompatibleDC(state.header);
    HGDIOBJ old = SelectObject(source, bitmap);
    SetStretchBltMode(state.header, COLORONCOLOR);
    StretchBlt(state.header, 0, 0, size.right - 1, size.bottom - 1, source, 0, 0, info.bmWidth, info.bmHeight,
               SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
    DeleteObject(bitmap);
  }

  SetBkMode(state.header, TRANSPARENT);
  HFONT font = MakeFont(run.DialogTitleFont, page);
  HGDIOBJ oldFont = SelectObject(state.header, font);
  const String& title = run.PageTitle;
  if (run.DialogTitleShadow) {
    SetTextColor(state.header, ResolveColor(run.DialogTitleShadowColor));
    TextOutA(state.header, 12, 7, title.c_str(), title.Length());
  }
  SetTextColor(state.header, ResolveColor(run.DialogTitleFont.Color));
  TextOutA(state.header, 10, 5, title.c_str(), title.Length());
  SelectObject(state.header, oldFont);
  DeleteObject(font);
}

void DeleteHeader(PageState& state) {
  if (!state.header) return;
  DeleteObject(SelectObject(state.header, state.headerOld));
  DeleteDC(state.header);
  state.header = nullptr;
}

// Copies the header image into the part of control 100 that needs paint;
// the page's own painting has erased it by then.
void PaintHeader(const PageState& state, HWND page) {
  HWND control = GetDlgItem(page, IDC_PAGE_HEADER);
  if (!state.header || !GetUpdateRect(control, nullptr, FALSE)) return;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(control, &paint);
  const RECT& r = paint.rcPaint;
  BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, state.header, r.left, r.top, SRCCOPY);
  EndPaint(control, &paint);
}

bool IsProgressPage(const PageState& state) {
  return state.page == DLG_PROGRESS && state.run.Worker;
}

void StartWorker(PageState& state, HWND page) {
  const TProgressWorker* worker = state.run.Worker;
  state.workerStarted = true;
  worker->Start(worker->Context, page);
}

// Cancel, Esc or closing the window: asks first while ConfirmCancel is set.
// Only Yes ends the setup: Esc on the question (a box without Cancel, which
// some systems still close with Esc) or a box that could not open keeps it
// going. On the progress page the worker is held while the question is open
// and stops at its next check after a Yes; it then ends the page itself.
void RequestCancel(const PageState& state, HWND page) {
  const TPageRun& run = state.run;
  const TProgressWorker* worker = IsProgressPage(state) ? run.Worker : nullptr;
  if (worker) worker->Pause(worker->Context);
  bool go = !run.ConfirmCancel || QuestionBox(Message(run, 1)) == kBoxResultYes;
  if (go) {
    if (worker) {
      worker->Cancel(worker->Context);
    } else {
      EndDialog(page, IDC_PAGE_CANCEL);
    }
  }
  if (worker) worker->Resume(worker->Context);
}

// Page parts -------------------------------------------------------------

void ReadDocument(const TPageRun& run, const char* base, HWND page, int id) {
  String text;
  ReadTextFile(run.PresetupDir + base + "." + run.Texts.Code, text);
  if (text.IsEmpty()) ReadTextFile(run.PresetupDir + base + ".txt", text);
  SetText(GetDlgItem(page, id), text);
}

void InitLanguagePage(const TPageRun& run, HWND page) {
  HWND list = GetDlgItem(page, IDC_LANGUAGE_LIST);
  for (int i = 0; i < run.Languages.Count(); ++i) {
    String name = run.Languages.ValueFromIndex(i);
    LRESULT item = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (item < 0) continue;
    SendMessageA(list, LB_SETITEMDATA, item, i);
    // Later sorted insertions move the selection along with its item.
    if (SameText(run.Languages.Name(i), run.Texts.Code)) SendMessageA(list, LB_SETCURSEL, item, 0);
  }
  SendMessageA(list, LB_SETCURSEL, SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
  SetFocus(list);
}

void ChooseLanguage(const TPageRun& run, HWND page) {
  HWND list = GetDlgItem(page, IDC_LANGUAGE_LIST);
  LRESULT item = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (item == LB_ERR) return;
  int entry = static_cast<int>(SendMessageA(list, LB_GETITEMDATA, item, 0));
  // The language in force stays as it is: setting it again would build the
  // variables anew and lose the program group the user typed on a later
  // page before he came back here.
  if (entry >= 0 && entry < run.Languages.Count() && run.SetLanguage &&
      run.Languages.Name(entry) != run.Texts.Code)
    run.SetLanguage(run.Languages.Name(entry));
}

void AddGroups(HWND list, const String& menu) {
  if (menu.IsEmpty()) return;
  TSearchRecEx rec;
  for (uint32_t r = SearchFirst(AddBackslash(menu) + "*.*", kAttrDirectory, 0, rec); r == 0;
       r = SearchNext(rec)) {
    LPARAM name = reinterpret_cast<LPARAM>(rec.Name.c_str());
    if (SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), name) == LB_ERR) {
      SendMessageA(list, LB_ADDSTRING, 0, name);
    }
  }
}

void InitGroupPage(const TPageRun& run, HWND page) {
  SetItemText(page, IDC_GROUP_EDIT, ReportRunaway(GetVariable(run.Variables, "ProgramGroup")));
  SetFocus(GetDlgItem(page, IDC_GROUP_EDIT));
  HWND list = GetDlgItem(page, IDC_GROUP_LIST);
  // A group in both menus is listed once.
  AddGroups(list, ExpandReported("%CommonProgramsMenu%", run.Variables));
  AddGroups(list, ExpandReported("%ProgramsMenu%", run.Variables));
}

String DirString(const TPageRun& run, int id) {
  return ReportRunaway(LanguageString(run.Texts, DLG_DIR, id));
}

void InitDirPage(const TPageRun& run, HWND page) {
  TBrowseTexts& browse = BrowseTexts();
  String* texts[] = {&browse.CreateButton, &browse.OkButton, &browse.CancelButton, &browse.NameCaption,
                     &browse.NamePrompt};
  // A language file without them keeps the English texts rather than
  // giving the browser blank buttons.
  for (int i = 0; i < 5; ++i) {
    String text = DirString(run, 202 + i);
    if (!text.IsEmpty()) *texts[i] = text;
  }
  SetItemText(page, IDC_DIR_EDIT, ExpandReported(run.InstallPath, run.Variables));
  SetFocus(GetDlgItem(page, IDC_DIR_EDIT));
}

// The browser starts at the typed folder and, when confirmed, puts its
// choice back into the edit box; the page's Next takes it from there.
void BrowseDestination(PageState& state, HWND page) {
  TPageRun& run = state.run;
  run.InstallPath = GetItemText(page, IDC_DIR_EDIT);
  SetBrowseFont(state.font);
  if (!BrowseForFolder(page, DirString(run, 200), DirString(run, 201), true, run.InstallPath)) {
    if (FaultPending()) EndDialog(page, IDC_PAGE_CANCEL);
    return;
  }
  SetItemText(page, IDC_DIR_EDIT, run.InstallPath);
  SetFocus(GetDlgItem(page, IDC_DIR_EDIT));
}

// Blanks around a typed or pasted folder are no part of it: one before the
// drive made it a folder below the current one, one after it a name the
// system's path calls do not take, reported as a full disk.
void TakeTypedFolder(TPageRun& run, HWND page) {
  String typed = GetItemText(page, IDC_DIR_EDIT).Trim();
  run.InstallPath = StripBackslash(typed);
  SetPathVariable(run.Variables, "InstallPath", typed);
}

// What the page does when it opens, after the common part.
void InitPagePart(PageState& state, HWND page) {
  TPageRun& run = state.run;
  const String& name = state.page;
  if (name == DLG_LANGUAGE) {
    InitLanguagePage(run, page);
  } else if (name == DLG_LICENSE) {
    SetFocus(GetDlgItem(page, IDC_LICENSE_TEXT));
    ReadDocument(run, "License", page, IDC_LICENSE_TEXT);
  } else if (name == DLG_README) {
    ReadDocument(run, "Readme", page, IDC_README_TEXT);
  } else if (name == DLG_PASSWORD) {
    SetItemText(page, IDC_PASSWORD_EDIT, run.ArchivePassword);
    SetFocus(GetDlgItem(page, IDC_PASSWORD_EDIT));
  } else if (name == DLG_DIR) {
    InitDirPage(run, page);
  } else if (name == DLG_GROUP) {
    InitGroupPage(run, page);
  } else if (name == DLG_REBOOT) {
    CheckRadioButton(page, IDC_REBOOT_YES, IDC_REBOOT_NO, run.NeedReboot ? IDC_REBOOT_YES : IDC_REBOOT_NO);
  } else if (name == DLG_FINISH || name == DLG_NOTFINISH) {
    SetFocus(GetDlgItem(page, IDC_FINAL_OK));
  } else if (IsProgressPage(state)) {
    SetFocus(GetDlgItem(page, IDC_PAGE_HEADER));
    StartWorker(state, page);
  }
}

// A button of the page's own: true when the page has dealt with it and
// the common handling must not follow.
bool CommandPagePart(PageState& state, HWND page, int id, int notification) {
  TPageRun& run = state.run;
  const String& name = state.page;
  bool leaving = id == IDC_PAGE_BACK || id == IDC_PAGE_NEXT;
  if (name == DLG_LANGUAGE) {
    if (leaving) ChooseLanguage(run, page);
  } else if (name == DLG_LICENSE) {
    if (id == IDC_LICENSE_ACCEPT) EndDialog(page, IDC_PAGE_NEXT);
    if (id == IDC_LICENSE_DECLINE || id == IDCANCEL) {
      // Declining ends the setup without the abort question.
      EndDialog(page, IDC_PAGE_CANCEL);
      return true;
    }
  } else if (name == DLG_PASSWORD) {
    if (leaving) run.ArchivePassword = GetItemText(page, IDC_PASSWORD_EDIT);
    if (id == IDC_PAGE_NEXT && !TestArchivePassword(run.SourceFile, run.ArchivePassword, run.PresetupDir)) {
      if (FaultPending()) {
        EndDialog(page, IDC_PAGE_CANCEL);
        return true;
      }
      ErrorBox(Message(run, 12), kWrongPassword);
      run.ArchivePassword.Clear();
      SetItemText(page, IDC_PASSWORD_EDIT, kNoText);
      SetFocus(GetDlgItem(page, IDC_PASSWORD_EDIT));
      return true;
    }
  } else if (name == DLG_DIR) {
    if (leaving) TakeTypedFolder(run, page);
    // A folder the system would not take as typed is refused while it
    // can still be corrected; later it would only show as a full disk.
    if (id == IDC_PAGE_NEXT && RefuseFolder(run.InstallPath, FolderUnusable(run.InstallPath))) {
      SetFocus(GetDlgItem(page, IDC_DIR_EDIT));
      return true;
    }
    if (id == IDC_DIR_BROWSE) {
      BrowseDestination(state, page);
      return true;
    }
  } else if (name == DLG_GROUP) {
    if (leaving) SetVariable(run.Variables, "ProgramGroup", GetItemText(page, IDC_GROUP_EDIT));
    if (id == IDC_GROUP_LIST && notification == LBN_SELCHANGE) {
      SetItemText(page, IDC_GROUP_EDIT, GetListSelection(GetDlgItem(page, IDC_GROUP_LIST)));
    }
  } else if (name == DLG_REBOOT) {
    if (leaving) run.NeedReboot = IsDlgButtonChecked(page, IDC_REBOOT_YES) == BST_CHECKED;
  } else if (name == DLG_FINISH || name == DLG_NOTFINISH) {
    if (id == IDC_FINAL_OK) EndDialog(page, IDC_PAGE_NEXT);
  }
  return false;
}

void InitPage(PageState& state, HWND page) {
  TPageRun& run = state.run;
  SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
  state.font = MakeFont(run.DialogFont, run.MainWindow);
  ApplyFontToChildren(page, state.font);
  PlacePage(state, page);
  if (state.index == 0) ShowWindow(GetDlgItem(page, IDC_PAGE_BACK), SW_HIDE);
  if (run.MainWindow) SetClassLongPtrA(page, GCLP_HICON, GetClassLongPtrA(run.MainWindow, GCLP_HICON));
  if (!LoadPageTexts(page, state.page, run.Texts, run.PageTitle)) {
    // The language file could not be opened: the run ends.
    EndDialog(page, IDC_PAGE_CANCEL);
    return;
  }
  RenderPageHeader(state, page);
  SetFocus(GetDlgItem(page, IDC_PAGE_NEXT));
  InitPagePart(state, page);
}

void Command(PageState& state, HWND page, int id, int notification) {
  if (CommandPagePart(state, page, id, notification)) return;
  if (id == IDCANCEL || id == IDC_PAGE_CANCEL) {
    RequestCancel(state, page);
  } else if (id == IDC_PAGE_BACK || id == IDC_PAGE_NEXT) {
    EndDialog(page, id);
  }
}

INT_PTR CALLBACK PageDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    InitPage(*reinterpret_cast<PageState*>(lParam), page);
    return FALSE;
  }
  PageState* state = StateOf(page);
  if (!state) return FALSE;
  switch (message) {
    case WM_DESTROY:
      DeleteHeader(*state);
      DeleteObject(state->font);
      state->font = nullptr;
      break;
    case WM_PAINT:
      // The page first, which erases the header's place too.
      DefWindowProcA(page, message, wParam, lParam);
      PaintHeader(*state, page);
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0) PaintHeader(*state, page);
      break;
    case WM_MOVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      PaintHeader(*state, page);
      break;
    case WM_CLOSE:
      // Handled here alone: the dialog manager would follow it with an
      // IDCANCEL of its own, a second question after a No. Esc in a
      // multi-line edit (the licence text, which has the focus) reaches the
      // page as this message while the key is down: it is that Esc, which
      // on the licence page declines without the question.
      Command(*state, page, GetKeyState(VK_ESCAPE) < 0 ? IDCANCEL : IDC_PAGE_CANCEL, 0);
      return TRUE;
    case WM_COMMAND:
      Command(*state, page, LOWORD(wParam), HIWORD(wParam));
      break;
  }
  return FALSE;
}

// Shows one page; its result, or -1 when it could not open.
INT_PTR ShowPage(PageState& state) {
  HWND owner = state.run.MainWindow && IsWindowVisible(state.run.MainWindow) ? state.run.MainWindow : nullptr;
  return ShowDialog(state.page.c_str(), owner, PageDialogProc, reinterpret_cast<LPARAM>(&state));
}

// A name that names no page (a typo, a blank before it) would open nothing
// and be tried again without end; the user is told which name it was.
void ReportMissingPage(const String& name) {
  bool known = FindResourceA(GetModuleHandleA(nullptr), name.c_str(), RT_DIALOG);
  ErrorBox("Cannot show the page \"" + name +
           (known ? "\"." : "\": the setup program has no page of that name."));
}

}  // namespace

bool RunDialogSequence(TPageRun& run) {
  const StringList& sequence = run.Sequence;
  int index = 0;
  while (index < sequence.Count()) {
    PageState state{run, index, sequence[index]};
    INT_PTR result = ShowPage(state);
    if (IsProgressPage(state) && !state.workerStarted) {
      // Let the worker go with the cancel flag set, so it ends at once.
      run.Worker->Cancel(run.Worker->Context);
      run.Worker->Start(run.Worker->Context, nullptr);
    }
    if (run.MainWindow) {
      InvalidateRect(run.MainWindow, nullptr, TRUE);
      UpdateWindow(run.MainWindow);
    }
    if (result == -1) {
      ReportMissingPage(state.page);
      return false;
    }
    if (FaultPending() || result == IDC_PAGE_CANCEL) return false;
    if (result == IDC_PAGE_BACK && index > 0) --index;
    if (result == IDC_PAGE_NEXT) ++index;
  }
  return true;
}

__attribute__((noinline)) bool RefuseFolder(const String& folder, uint32_t code) {
  if (code) ErrorBox(folder + "\r\n\r\n" + SystemErrorText(code));
  return code != 0;
}

bool TestArchivePassword(const String& sourceFile, const String& password, const String& folder) {
  TArchive archive(sourceFile, kOpenExtract);
  if (FaultPending()) return false;
  archive.SetPassword(password);
  while (!archive.Eof) {
    const String name = archive.Header.EntryName;
    if (SameText(name, "test.psw")) {
      String target = folder + "test.psw";
      bool ok = archive.Process(aoExtract, target, nullptr);
      RemoveFileForced(target);
      return ok;
    }
    if (!MatchMask(name, "Presetup\\*", true) || !archive.Process(aoSkip, kNoText, nullptr)) return true;
  }
  return true;
}

}  // namespace osin
