#include <windows.h>

#include <objidl.h>
#include <shlobj.h>
#include <stdlib.h>

#include "platform/array.h"
#include "platform/shelllink.h"
#include "platform/strutils.h"
#include "platform/winproc.h"

namespace osin {

namespace {

// The shell-link class and the two interfaces used, spelled out here so no
// GUID library is linked.
const GUID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

using CoInitializeFn = HRESULT(WINAPI*)(LPVOID reserved);
using CoUninitializeFn = void(WINAPI*)();
using CoCreateInstanceFn = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);

// Plain data, so it needs no constructor at start.
struct Com {
  HMODULE library;
  CoUninitializeFn uninitialize;
  CoCreateInstanceFn createInstance;
};
Com com;

// Text in the ANSI code page as a UTF-16 text the caller frees.
wchar_t* WideText(const String& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (n <= 0) return nullptr;
  wchar_t* wide = static_cast<wchar_t*>(CheckedRealloc(nullptr, n * sizeof(wchar_t)));
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, n);
  return wide;
}

bool Save(IShellLinkA* link, const TztShellLink& fields) {
  if (FAILED(link->SetPath(UnquoteIf(fields.Target, '"').c_str())) ||
      FAILED(link->SetArguments(fields.Arguments.c_str())) ||
      FAILED(link->SetWorkingDirectory(UnquoteIf(fields.WorkingDirectory, '"').c_str())) ||
      FAILED(link->SetShowCmd(ShellLinkShowCommand(fields.ShowCommand))) ||
      FAILED(link->SetHotkey(fields.HotKey)) || FAILED(link->SetDescription(fields.Description.c_str())) ||
      FAILED(link->SetIconLocation(UnquoteIf(fields.IconLocation, '"').c_str(), fields.IconIndex))) {
    return false;
  }
  IPersistFile* file = nullptr;
  if (FAILED(link->QueryInterface(kPersistFile, reinterpret_cast<void**>(&file)))) return false;
  wchar_t* name = WideText(fields.FileName);
  bool saved = name && SUCCEEDED(file->Save(name, FALSE));
  free(name);
  file->Release();
  return saved;
}

}  // namespace

bool StartCom() {
  if (com.library) return com.createInstance != nullptr;
  com.library = LoadLibraryA("ole32.dll");
  auto initialize = ProcAddress<CoInitializeFn>(com.library, "CoInitialize");
  com.uninitialize = ProcAddress<CoUninitializeFn>(com.library, "CoUninitialize");
  if (initialize && com.uninitialize && SUCCEEDED(initialize(nullptr))) {
    com.createInstance = ProcAddress<CoCreateInstanceFn>(com.library, "CoCreateInstance");
  }
  return com.createInstance != nullptr;
}

void EndCom() {
  if (com.createInstance) com.uninitialize();
  if (com.library) FreeLibrary(com.library);
  com = Com();
}

int ShellLinkShowCommand(uint8_t showCommand) {
  switch (showCommand) {
    case 1:
      return SW_SHOWMINNOACTIVE;
    case 2:
      return SW_SHOWMAXIMIZED;
    default:
      return SW_SHOWNORMAL;
  }
}

bool TztShellLink::SaveToFile(const String& fileName) {
  FileName = fileName;
  if (!com.createInstance) return false;
  IShellLinkA* link = nullptr;
  if (FAILED(com.createInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
    return false;
  }
  bool saved = Save(link, *this);
  link->Release();
  return saved;
}

}  // namespace osin
