#include <string.h>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include "platform/fault.h"
#include "platform/file.h"
#include "platform/text.h"
#include "resources/ids.h"
#include "ui/browse.h"
#include "ui/msgwindow.h"
#include "ui/wintext.h"

namespace osin {

namespace {

// The control of the system dialog's text above the tree.
const int kBrowseTitle = 0x3742;

// What one browse knows while the system's dialog runs.
struct BrowseState {
  // The caller's, alive for the whole browse.
  const String* caption = nullptr;
  const String* title = nullptr;
  // The start selection, then the folder selected last.
  String current;
  bool withCreateButton = false;
  HFONT font = nullptr;
  HWND dialog = nullptr;
  HWND tree = nullptr;
  HWND ok = nullptr;
  HWND cancel = nullptr;
  HWND create = nullptr;
  // In the dialog's client coordinates.
  RECT treeRect = {};
  RECT okRect = {};
  HHOOK hook = nullptr;
  bool folderCreated = false;
};

struct BrowseModule {
  TBrowseTexts texts;
  HFONT font = nullptr;
};

BrowseModule& Module() {
  static BrowseModule module;
  return module;
}

// The message hook has no context of its own: the browse of the hook's
// thread is found in a thread slot. The first browse happens on the main
// thread, before any other could start one.
DWORD BrowseSlot() {
  static DWORD slot = TlsAlloc();
  return slot;
}

void RaiseSystemError(DWORD code) {
  RaiseFault(String::Format("System Error. Code: %lu.\r\n", static_cast<unsigned long>(code)) +
             SystemErrorText(code));
}

void FreeItemList(LPITEMIDLIST list) {
  IMalloc* allocator = nullptr;
  if (!list || FAILED(SHGetMalloc(&allocator))) return;
  allocator->Free(list);
  allocator->Release();
}

// The window's class name starts with Prefix, letter case aside.
bool ClassStarts(HWND window, const char* prefix) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  int length = static_cast<int>(strlen(prefix));
  return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, name, length, prefix, length) == CSTR_EQUAL;
}

void ClientRectOf(HWND dialog, HWND child, RECT& rect) {
  if (!child) return;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
}

BOOL CALLBACK TakeChild(HWND child, LPARAM data) {
  BrowseState& state = *reinterpret_cast<BrowseState*>(data);
  const TBrowseTexts& texts = Module().texts;
  if (state.font) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
  if (ClassStarts(child, "SYSTREE")) {
    state.tree = child;
  } else if (ClassStarts(child, "BUTTON")) {
    if (!state.ok) {
      state.ok = child;
      SetText(child, texts.OkButton);
    } else if (!state.cancel) {
      state.cancel = child;
      SetText(child, texts.CancelButton);
    }
  }
  return TRUE;
}

void AddCreateButton(BrowseState& state) {
  int width = state.okRect.right - state.okRect.left;
  int height = state.okRect.bottom - state.okRect.top;
  state.create =
      CreatePushButton(state.dialog, IDC_BROWSE_CREATE, state.treeRect.left, state.okRect.top, width, height);
  SetText(state.create, Module().texts.CreateButton);
  SendMessageA(state.create, WM_SETFONT, SendMessageA(state.ok, WM_GETFONT, 0, 0), FALSE);
}

// Runs inside the hook while the extra button's click is delivered.
void CreateFolder(BrowseState& state) {
  const TBrowseTexts& texts = Module().texts;
  SetQueryButtonTexts(texts.OkButton, texts.CancelButton);
  String name;
  if (!AskString(state.ok, texts.NameCaption, texts.NamePrompt, name)) return;
  String folder = AddBackslash(state.current) + name;
  // A name the file system refuses (too long, or with ":" or "*") reopens
  // the browser where it was: asked for a folder that is not there, it
  // would select some other one, which OK would then return.
  if (ForceFolders(folder)) {
    state.current = folder;
    // The shell learns of the folder, so the reopened browser (and any
    // Explorer window) finds it; without this a shell that keeps what it
    // saw of the parent cannot select the new folder.
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHA, folder.c_str(), nullptr);
  }
  state.folderCreated = true;
  // Closes the browser; BrowseForFolder opens it again on the new folder.
  SendMessageA(state.ok, BM_CLICK, 0, 0);
}

LRESULT CALLBACK BrowseHook(int code, WPARAM wParam, LPARAM lParam) {
  auto* state = static_cast<BrowseState*>(TlsGetValue(BrowseSlot()));
  if (code == HC_ACTION && state) {
    const CWPSTRUCT& sent = *reinterpret_cast<CWPSTRUCT*>(lParam);
    if (sent.message == WM_COMMAND && sent.hwnd == state->dialog && sent.wParam == IDC_BROWSE_CREATE) {
      CreateFolder(*state);
    }
  }
  return CallNextHookEx(state ? state->hook : nullptr, code, wParam, lParam);
}

bool IsFolder(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void InitBrowser(HWND dialog, BrowseState& state) {
  state.dialog = dialog;
  SetText(dialog, *state.caption);
  // The system put the title in through the ANSI code page; it goes in
  // again as the language's text.
  SetText(GetDlgItem(dialog, kBrowseTitle), *state.title);
  if (state.font) SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
  EnumChildWindows(dialog, TakeChild, reinterpret_cast<LPARAM>(&state));
  ClientRectOf(dialog, state.tree, state.treeRect);
  ClientRectOf(dialog, state.ok, state.okRect);
  if (state.tree)
    SetWindowLongA(state.tree, GWL_STYLE, GetWindowLongA(state.tree, GWL_STYLE) | TVS_SHOWSELALWAYS);
  if (state.withCreateButton && state.ok) AddCreateButton(state);
  // The destination is commonly a folder not made yet: the browser opens on
  // the nearest one that exists rather than on no folder at all, where some
  // systems' OK returns the desktop. Each step cuts the last name; a drive
  // root keeps its backslash and ends the walk. The Create button then adds
  // below the folder shown.
  char* start = state.current.Buffer();
  for (char* cut; !IsFolder(start) && (cut = strrchr(start, '\\')) && cut[1];) cut[cut - start == 2] = 0;
  state.current.TrimAtZero();
  SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(start));
  state.hook = SetWindowsHookExA(WH_CALLWNDPROC, BrowseHook, nullptr, GetCurrentThreadId());
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM lParam, LPARAM data) {
  BrowseState& state = *reinterpret_cast<BrowseState*>(data);
  if (message == BFFM_INITIALIZED) {
    InitBrowser(dialog, state);
  } else if (message == BFFM_SELCHANGED) {
    char path[MAX_PATH];
    state.current =
        SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lParam), path) ? String(path) : String();
    if (state.create) EnableWindow(state.create, IsWindowEnabled(state.ok));
  }
  return 0;
}

}  // namespace

TBrowseTexts& BrowseTexts() {
  return Module().texts;
}

void SetBrowseFont(HFONT font) {
  Module().font = font;
}

bool BrowseForFolder(HWND owner, const String& caption, const String& title, bool withCreateButton,
                     String& path) {
  LPITEMIDLIST root = nullptr;
  HRESULT rootResult = SHGetSpecialFolderLocation(owner, CSIDL_DRIVES, &root);
  if (FAILED(rootResult)) {
    RaiseSystemError(static_cast<DWORD>(rootResult));
    return false;
  }
  BrowseState state;
  state.caption = &caption;
  state.title = &title;
  state.current = path;
  state.withCreateButton = withCreateButton;
  state.font = Module().font;
  if (!state.font && owner) state.font = reinterpret_cast<HFONT>(SendMessageA(owner, WM_GETFONT, 0, 0));
  TlsSetValue(BrowseSlot(), &state);

  char display[MAX_PATH];
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.pidlRoot = root;
  info.pszDisplayName = display;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&state);
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  if (state.hook) UnhookWindowsHookEx(state.hook);
  if (state.create && IsWindow(state.create)) DestroyWindow(state.create);
  FreeItemList(root);
  TlsSetValue(BrowseSlot(), nullptr);

  bool result = false;
  if (chosen) {
    char chosenPath[MAX_PATH];
    if (SHGetPathFromIDListA(chosen, chosenPath)) {
      path = StripBackslash(chosenPath);
      result = true;
    } else {
      RaiseSystemError(GetLastError());
    }
    FreeItemList(chosen);
  }
  if (state.folderCreated && !FaultPending()) {
    path = state.current;
    return BrowseForFolder(owner, caption, title, withCreateButton, path);
  }
  return result;
}

}  // namespace osin
