// The uninstaller on the benchmark corpus: the corpus installed into a
// fresh folder below the temporary path and logged by the engine's own log
// writer (its folders created and logged parents first, each file logged as
// the file phase does), then taken back by UnOsin.exe /S, a process of its
// own as Add or Remove Programs starts it. The peer is the system's own
// removal of the same tree, cmd's rd /s /q, which reads no log and keeps no
// counts. Then a log of registry keys alone, as many as a program with
// many COM classes logs, a hundred vendor keys each holding twenty, taken
// back the same way.
//
//   bench_uninstall CORPUS     (CORPUS as a Windows path)
#include <stdio.h>
#include <windows.h>

#include "config/profile.h"
#include "config/registry.h"
#include "install/log.h"
#include "platform/file.h"

using namespace osin;

namespace {

struct Tree {
  int files = 0;
  int64_t bytes = 0;
};

// Copies Source's tree below Target; with a log, as an installation does.
bool Install(const String& source, const String& target, const TInstallLog* log, Tree& tree) {
  if (log ? !ForceFolderLogged(*log, target) : !ForceFolders(target)) return false;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((source + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    String name = found.cFileName;
    if (name == "." || name == "..") continue;
    String from = source + "\\" + name, to = target + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = Install(from, to, log, tree) && ok;
    } else if (CopyFileA(from.c_str(), to.c_str(), FALSE)) {
      if (log) WriteLogEntry(*log, kLogCopyFiles, to, String());
      ++tree.files;
      tree.bytes += (int64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    } else {
      ok = false;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return ok;
}

// Runs Command and waits; the milliseconds it took, or -1.
double Timed(const String& command, DWORD& exitCode) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  String line = command;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, line.Buffer(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &si, &pi))
    return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  QueryPerformanceCounter(&end);
  GetExitCodeProcess(pi.hProcess, &exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 1000.0 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: bench_uninstall CORPUS\n");
    return 2;
  }
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  String root = String(temp) + "OsinBenchUninstall", folder = root + "\\Corpus";
  DeleteTree(root, true);
  ForceFolders(root);
  TInstallLog log{folder + "\\Install.log", true};
  Tree tree;
  if (!Install(argv[1], folder, &log, tree)) {
    fprintf(stderr, "bench_uninstall: cannot install %s into %s\n", argv[1], folder.c_str());
    return 1;
  }
  DropAllStores();
  DWORD unosinExit = 0, rdExit = 0;
  double unosin = Timed(String(OSIN_UNOSIN) + " /S \"" + log.FileName + "\"", unosinExit);
  bool gone = !EntryExists(folder);
  Tree again;
  Install(argv[1], folder, nullptr, again);
  double rd = Timed("cmd.exe /c rd /s /q \"" + folder + "\"", rdExit);
  DeleteTree(root, true);
  printf("uninstall of the corpus (%d files, %.1f MB, %d-bit):\n", tree.files, double(tree.bytes) / 1e6,
         int(sizeof(void*) * 8));
  printf("  UnOsin.exe /S      %8.0f ms  exit %lu, %s\n", unosin, unosinExit,
         gone ? "all gone" : "LEFT FILES");
  printf("  cmd rd /s /q       %8.0f ms  (peer)\n", rd);
  printf("  ratio UnOsin / rd  %8.2f\n", rd > 0 ? unosin / rd : 0.0);

  const int kKeys = 2000;
  const String base = "HKCU\\Software\\OsinBenchUninstall";
  TInstallLog keyLog{root + "\\Keys.log", true};
  ForceFolders(root);
  for (int i = 0; i < kKeys; ++i) {
    String key = base + "\\Vendor" + IntToStr(i / 20) + "\\Class" + IntToStr(i);
    WriteRegString(key + "\\Value", "1");
    WriteLogEntry(keyLog, kLogCreateKeys, key, String());
  }
  DropAllStores();
  DWORD keysExit = 0;
  double keys = Timed(String(OSIN_UNOSIN) + " /S \"" + keyLog.FileName + "\"", keysExit);
  bool keysGone = !RegKeyExists(base + "\\Vendor0\\Class0");
  DeleteRegKey(base);
  DeleteTree(root, true);
  printf("uninstall of %d logged registry keys:\n", kKeys);
  printf("  UnOsin.exe /S      %8.0f ms  exit %lu, %s\n", keys, keysExit,
         keysGone ? "all gone" : "LEFT KEYS");
  return gone && unosinExit == 0 && keysGone && keysExit == 0 ? 0 : 1;
}
