#include "platform/text.h"
#include "uninstall/uninstall.h"

namespace osin {

bool ParseUninstallCommandLine(const String& commandLine, TUninstallOptions& options) {
  options = TUninstallOptions();
  int i = 0, n = commandLine.Length();
  while (i < n) {
    while (i < n && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    if (i >= n) break;
    String word;
    bool quoted = commandLine[i] == '"';
    if (quoted) {
      int close = commandLine.Pos('"', i + 2);
      if (close == 0) return false;
      word = commandLine.Copy(i + 2, close - i - 2);
      i = close;
    } else {
      int start = i;
      while (i < n && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
      word = commandLine.Copy(start + 1, i - start);
    }
    if (!quoted && SameText(word, "/S")) {
      options.Silent = true;
    } else if (!quoted && word.StartsWith("/")) {
      return false;
    } else if (options.LogFile.IsEmpty() && !word.IsEmpty()) {
      options.LogFile = word;
    } else {
      return false;
    }
  }
  return !options.LogFile.IsEmpty();
}

}  // namespace osin
