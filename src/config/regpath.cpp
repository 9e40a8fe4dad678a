#include "config/registry.h"

#include "platform/file.h"
#include "platform/strutils.h"

namespace osin {

const char kCurrentVersionKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";

namespace {

struct RootWord {
  char word[5];
  RegRoot root;
};

// The four roots a path may start with; the words are case-sensitive.
const RootWord kRootWords[] = {
    {"HKCR", RegRoot::kClassesRoot},
    {"HKCU", RegRoot::kCurrentUser},
    {"HKLM", RegRoot::kLocalMachine},
    {"HKU", RegRoot::kUsers},
};
static_assert(sizeof(kRootWords) / sizeof(kRootWords[0]) == 4, "four root words");

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

// Whether the "\\" at Position (from 1) is one, not the second byte of a
// double-byte character (no quote is ever such a byte).
bool IsBackslashAt(const String& path, int position) {
  int at = NextBackslash(path, 1);
  while (at && at < position) at = NextBackslash(path, at + 1);
  return at == position;
}

// 1-based position of the last backslash outside quotes, the quotes being
// tracked from the end of the path; 0 when there is none.
int SplitPoint(const String& path) {
  char open = 0;
  for (int i = path.Length() - 1; i >= 0; --i) {
    char c = path[i];
    if (open) {
      if (c == open) open = 0;
    } else if (IsQuote(c)) {
      open = c;
    } else if (c == '\\' && IsBackslashAt(path, i + 1)) {
      return i + 1;
    }
  }
  return 0;
}

}  // namespace

String RegKeyPart(const String& path) {
  int split = SplitPoint(path);
  return split ? path.Copy(1, split - 1) : String();
}

TRegPath SplitRegPath(const String& path) {
  TRegPath result;
  int split = SplitPoint(path);
  String key = path.Copy(1, split - 1);
  result.ValueName = UnquoteIf(path.Copy(split + 1, path.Length()), '\'');
  int slash = key.Pos('\\');
  String word = slash ? key.Copy(1, slash - 1) : key;
  for (const RootWord& row : kRootWords) {
    if (word == row.word) result.Root = row.root;
  }
  if (slash) result.KeyPath = key.Copy(slash + 1, key.Length());
  return result;
}

}  // namespace osin
