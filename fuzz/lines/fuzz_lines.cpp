// The one-line texts a setup and its uninstaller take from files that a
// publisher writes or a user can edit: variable references, install-log
// records, registry paths, copy targets and the lines of every install
// script action. Beyond not crashing:
// - an expansion keeps its promises (a text without "%" comes back as it
//   is, a runaway one unexpanded, and nothing grows without bound);
// - a log record that reads has a key, and an INI record a full path;
// - a copy target accepted for a wildcard entry stays in the entry's folder;
// - a file's SharedDLLs value path splits back into the file's own path.
// The input is lines: up to eight "name=value" variables before the first
// empty line, then texts, each tried in every role.
#include <stdint.h>
#include <stdlib.h>

#include "config/registry.h"
#include "config/variables.h"
#include "install/copyentry.h"
#include "install/log.h"
#include "install/script.h"
#include "uninstall/guard.h"

using namespace osin;

namespace {

void Check(bool condition) {
  if (!condition) abort();
}

void TryText(const String& text, const StringList& variables, TPendingLists& lists) {
  Expanded e = ExpandVariables(text, variables);
  if (text.Pos('%') == 0) Check(!e.Runaway && e.Text == text);
  if (e.Runaway) Check(e.Text == text);
  Check(e.Text.Length() <= text.Length() + 2 * 65536);
  ExpandString(text, variables);

  for (int kind = 0; kind < kLogKindCount; ++kind) {
    TLogRecord record;
    if (ParseLogLine(kind, text, record)) Check(record.Key.Length() > 0);
  }
  String file, section, key;
  if (SplitIniRecord(text, file, section, key)) Check(IsFullPath(file));
  IsProtectedKey(text);
  IsClassKey(text);
  SplitRegPath(text);
  if (IsFullPath(text) && !text.EndsWith("\\") && text.Length() < 1000) {
    Check(IsBelow(text + "\\x", text));
    Check(!IsBelow(text, text));
    TRegPath shared = SplitRegPath(SharedDllsValuePath(text));
    Check(shared.ValueName == text);
  }

  int at = text.Pos('=');
  if (at > 0) {
    String key = text.Copy(1, at - 1), value = text.Copy(at + 1, text.Length());
    for (int action = 0; action < kScriptActionCount; ++action)
      CollectScriptLine(ScriptAction(action), key, value, action == kActAddIni ? "C:\\a.ini,Sect" : "Base",
                        variables, lists);
  }

  // The text as a file found for the wildcard entry "Data\*".
  String target;
  if (CopyTarget("Data\\*", "C:\\App\\*", text, target)) {
    Check(target.StartsWith("C:\\App\\"));
    Check(target.Pos("\\..\\") == 0 && !target.EndsWith("\\.."));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 14) return 0;
  const char* p = reinterpret_cast<const char*>(data);
  const char* end = p + size;
  StringList variables;
  TPendingLists lists;
  bool inVariables = true;
  while (p < end) {
    const char* eol = p;
    while (eol < end && *eol != '\n') ++eol;
    String line(p, int(eol - p));
    p = eol + 1;
    if (inVariables && line.Length() == 0) {
      inVariables = false;
    } else if (inVariables && variables.Count() < 8 && line.Pos('=') > 1) {
      int at = line.Pos('=');
      SetVariable(variables, line.Copy(1, at - 1).c_str(), line.Copy(at + 1, line.Length()));
    } else {
      TryText(line, variables, lists);
    }
  }
  return 0;
}
