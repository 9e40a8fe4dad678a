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

// A folder that starts with a variable (%ProgramFiles%\App) is expanded
// when the variables are known, as the destination page does.
bool IsFullPath(const String& path) {
  if (path[0] == '%') return true;
  if (path.Length() >= 3 && IsLetter(path[0]) && path[1] == ':' && path[2] == '\\') return true;
  return path.Length() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}

}  // namespace

const char kSwitchesHelp[] =
    "/SILENT, /VERYSILENT, /SUPPRESSMSGBOXES, /NORESTART, /DIR=folder, /GROUP=name, /LANG=code, "
    "/PASSWORD=pw, /LOG=file, /?";

const char* SkipProgramName(const char* commandLine) {
  const char* p = commandLine;
  while (IsBlank(*p)) ++p;
  NextWord(p);
  return p;
}

bool ParseCommandLine(const char* arguments, TCommandLine& line) {
  static const char* const kNames[] = {"SILENT", "VERYSILENT", "SUPPRESSMSGBOXES", "NORESTART", "?", "DIR",
                                       "GROUP",  "LANG",       "PASSWORD",         "LOG"};
  // Tables rather than pointers gathered on each call: the setup program
  // counts its bytes.
  static bool TCommandLine::*const kFlags[] = {&TCommandLine::Silent, &TCommandLine::VerySilent,
                                               &TCommandLine::SuppressBoxes, &TCommandLine::NoRestart,
                                               &TCommandLine::Help};
  static String TCommandLine::*const kValues[] = {&TCommandLine::Dir, &TCommandLine::Group,
                                                  &TCommandLine::Lang, &TCommandLine::Password,
                                                  &TCommandLine::LogFile};
  const char* p = arguments;
  for (;;) {
    while (IsBlank(*p)) ++p;
    if (!*p) break;
    String word = NextWord(p);
    int equals = word.Pos('=');
    String name = word.Copy(2, (equals ? equals : word.Length() + 1) - 2);
    String value = equals ? word.Copy(equals + 1, word.Length()) : String();
    int i = 0;
    if (word[0] == '/' || word[0] == '-') {
      while (i < 10 && !SameText(name, kNames[i])) ++i;
    } else {
      i = 10;
    }
    // A folder written with forward slashes, as scripts from other systems
    // write it, is the same folder to Windows.
    if (i == 5) {
      for (char* c = value.Buffer(); *c; ++c) {
        if (*c == '/') *c = '\\';
      }
    }
    const char* error = nullptr;
    if (i >= 10 || (i < 5 && equals)) {
      error = "Unknown switch: ";
    } else if (i < 5) {
      line.*kFlags[i] = true;
    } else if (value.IsEmpty()) {
      error = "No value given: ";
    } else if (i == 5 && !IsFullPath(value)) {
      error = "Not a full path: ";
    } else {
      line.*kValues[i - 5] = value;
    }
    // The first fault is reported; the rest is still read, so a
    // /VERYSILENT or /LOG after it is known.
    if (error && line.Error.IsEmpty()) line.Error = error + word;
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
