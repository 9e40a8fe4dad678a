#include "platform/text.h"
#include "uninstall/uninstall.h"

namespace osin {

namespace {

// The switches of the setup program that mean "ask nothing", which
// deployment tools pass to every program they uninstall with.
bool IsQuietSwitch(const String& word) {
  static const char* const kQuiet[] = {"/S", "/SILENT", "/VERYSILENT", "/SUPPRESSMSGBOXES"};
  for (const char* quiet : kQuiet) {
    if (SameText(word, quiet)) return true;
  }
  return false;
}

}  // namespace

bool ParseUninstallCommandLine(const String& commandLine, TUninstallOptions& options) {
  options = TUninstallOptions();
  bool good = true;
  int i = 0, n = commandLine.Length();
  while (i < n) {
    while (i < n && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    if (i >= n) break;
    // A word runs to a blank outside double quotes, which are taken out:
    // "C:\My App\Install.log", /LOG="C:\My Logs\x.log" and "/LOG=C:\x y".
    bool quoted = commandLine[i] == '"', inQuotes = false;
    String word;
    for (; i < n && (inQuotes || (commandLine[i] != ' ' && commandLine[i] != '\t')); ++i) {
      if (commandLine[i] == '"') {
        inQuotes = !inQuotes;
      } else {
        word += commandLine[i];
      }
    }
    if (inQuotes) return false;
    // The setup takes its switches with "-" as well, and scripts write its
    // uninstaller's alike.
    if (!quoted && word.StartsWith("-")) word[0] = '/';
    if (!quoted && IsQuietSwitch(word)) {
      options.Silent = true;
    } else if (!quoted && SameText(word, "/NORESTART")) {
      // Without questions the uninstaller never restarts Windows anyway.
    } else if (SameText(word.Copy(1, 5), "/LOG=") && word.Length() > 5 && options.RunLog.IsEmpty()) {
      options.RunLog = word.Copy(6, word.Length());
    } else if (!quoted && word.StartsWith("/")) {
      good = false;
    } else if (options.LogFile.IsEmpty() && !word.IsEmpty()) {
      options.LogFile = word;
    } else {
      good = false;
    }
  }
  return good && !options.LogFile.IsEmpty();
}

}  // namespace osin
