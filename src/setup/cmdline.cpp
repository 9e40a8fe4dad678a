#include "setup/cmdline.h"

#include "platform/text.h"

namespace osin {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The next word of P, quotes removed; P moves past it. Backslashes right
// before a quote are halved, rounding up: callers that quote by the C
// runtime's rules double a folder's closing backslash, people typing do
// not, and a quote never belongs to a path.
String NextWord(const char*& p) {
  String word;
  bool quoted = false;
  while (*p && (quoted || !IsBlank(*p))) {
    int slashes = 0;
    while (p[slashes] == '\\') ++slashes;
    if (slashes) {
      word += String(p[slashes] == '"' ? (slashes + 1) / 2 : slashes, '\\');
      p += slashes;
    } else {
      if (*p == '"') {
        quoted = !quoted;
      } else {
        word += *p;
      }
      ++p;
    }
  }
  return word;
}

bool IsLetter(char c) {
  c = char(c | 0x20);
  return c >= 'a' && c <= 'z';
}

bool IsFullPath(const String& path) {
  if (path.Length() >= 3 && IsLetter(path[0]) && path[1] == ':' && path[2] == '\\') return true;
  return path.Length() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}

bool IsLanguageCode(const String& code) {
  if (code.IsEmpty() || code.Length() > 8) return false;
  for (int i = 0; i < code.Length(); ++i) {
    if (!IsLetter(code[i])) return false;
  }
  return true;
}

}  // namespace

const char kSwitchesHelp[] =
    "Switches:\r\n"
    "/SILENT\tno pages, only the progress\r\n"
    "/VERYSILENT\tno window at all\r\n"
    "/SUPPRESSMSGBOXES\tdefault answers, no boxes\r\n"
    "/DIR=\"x:\\folder\"\tdestination folder\r\n"
    "/GROUP=\"name\"\tprogram group\r\n"
    "/LANG=code\tlanguage, e.g. ENU\r\n"
    "/PASSWORD=password\tarchive password\r\n"
    "/NORESTART\tnever restart\r\n"
    "/LOG=\"file\"\tlog of the run\r\n"
    "/?\tthis list\r\n\r\n"
    "Exit codes: 0 done, 1 not started, 2 cancelled before, 4 failed, 5 cancelled during the "
    "installation, 8 restart needed.";

const char* SkipProgramName(const char* commandLine) {
  const char* p = commandLine;
  while (IsBlank(*p)) ++p;
  NextWord(p);
  return p;
}

bool ParseCommandLine(const char* arguments, TCommandLine& line) {
  static const char* const kFlags[] = {"SILENT", "VERYSILENT", "SUPPRESSMSGBOXES", "NORESTART", "?"};
  bool* const flags[] = {&line.Silent, &line.VerySilent, &line.SuppressBoxes, &line.NoRestart, &line.Help};
  static const char* const kValues[] = {"DIR", "GROUP", "LANG", "PASSWORD", "LOG"};
  String* const values[] = {&line.Dir, &line.Group, &line.Lang, &line.Password, &line.LogFile};
  const char* p = arguments;
  for (;;) {
    while (IsBlank(*p)) ++p;
    if (!*p) break;
    String word = NextWord(p);
    int equals = word.Pos('=');
    String name = equals ? word.Copy(2, equals - 2) : word.Copy(2, word.Length());
    String value = equals ? word.Copy(equals + 1, word.Length()) : String();
    String error;
    bool known = false;
    if (!word.IsEmpty() && (word[0] == '/' || word[0] == '-')) {
      for (int i = 0; i < 5 && !known; ++i) {
        if (SameText(name, kFlags[i]) && !equals) *flags[i] = known = true;
      }
      for (int i = 0; i < 5 && !known; ++i) {
        if (!SameText(name, kValues[i])) continue;
        known = true;
        if (value.IsEmpty()) {
          error = "The switch /" + name + " needs a value: /" + name + "=...";
        } else if (i == 0 && !IsFullPath(value)) {
          error = "The folder of /DIR must be a full path, such as /DIR=\"C:\\Program Files\\App\": " + value;
        } else if (i == 2 && !IsLanguageCode(value)) {
          error = "The language of /LANG must be a code such as ENU: " + value;
        }
        *values[i] = value;
      }
    }
    if (!known) error = "Unknown switch: " + word;
    // The first fault is reported; the rest is still read, so a
    // /VERYSILENT or /LOG after it is known.
    if (line.Error.IsEmpty()) line.Error = error;
  }
  if (line.VerySilent) line.SuppressBoxes = true;
  return line.Error.IsEmpty();
}

int UnattendedExitCode(int stage, bool succeeded, bool cancelled, bool restartPending) {
  if (succeeded) return restartPending ? 8 : 0;
  if (stage == kStageInstalling) return cancelled ? 5 : 4;
  return stage == kStagePages && cancelled ? 2 : 1;
}

}  // namespace osin
