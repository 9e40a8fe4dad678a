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

// 1-based position of the last backslash outside quotes, the quotes being
// tracked from the end of the path; 0 when there is none. The second byte
// of a Japanese letter may have the code of a backslash ("表" in a value
// name) and is none.
int SplitPoint(const String& path) {
  char open = 0;
  for (int i = path.Length() - 1; i >= 0; --i) {
    char c = path[i];
    if (open) {
      if (c == open) open = 0;
    } else if (IsQuote(c)) {
      open = c;
    } else if (c == '\\' && IsCharStart(path, i)) {
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
