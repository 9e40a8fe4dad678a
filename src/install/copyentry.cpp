#include "install/copyentry.h"

#include "platform/file.h"
#include "platform/strutils.h"
#include "platform/text.h"

namespace osin {

bool NameHasWildcards(const String& path) {
  // No copy of the name: a list of thousands of entries is searched once
  // for every file. The search for a backslash goes forward, from the last
  // wildcard (which begins a character): going back, the second byte of a
  // double-byte character may look like one.
  for (int i = path.Length(); i > 0; --i)
    if (path[i - 1] == '*' || path[i - 1] == '?') return NextBackslash(path, i + 1) == 0;
  return false;
}

int FindCopyEntry(const TPendingList& list, const String& name) {
  // A script made from a file listing names the files in archive order, so
  // the entry after the one found last is likely the one; and it is the
  // first that matches when no wildcard entry stands before it, as names
  // without wildcards are unique in the list.
  if (!list.WildcardEnd) {
    int i = 0;
    while (i < list.Count() && !NameHasWildcards(list[i].Name)) ++i;
    list.WildcardEnd = i + 1;
  }
  int next = list.NextToTry;
  if (next + 1 < list.WildcardEnd && SameText(list[next].Name, name)) {
    list.NextToTry = next + 1;
    return next;
  }
  String fileName = PathFileName(name);
  String folder = PathFolder(name);
  String dotted = fileName.Pos('.') ? fileName : fileName + ".";
  for (int i = 0; i < list.Count(); ++i) {
    const String& key = list[i].Name;
    if (!NameHasWildcards(key)) {
      if (SameText(key, name)) {
        list.NextToTry = i + 1;
        return i;
      }
      continue;
    }
    String mask = PathFileName(key);
    String keyFolder = PathFolder(key);
    if (MatchMask(dotted, mask, true) && SameText(folder.Copy(1, keyFolder.Length()), keyFolder)) return i;
  }
  return -1;
}

bool CopyTarget(const String& key, const String& targetPath, const String& name, String& target) {
  if (!NameHasWildcards(key)) {
    target = targetPath;
    return true;
  }
  String rest = name.Copy(PathFolder(key).Length() + 1, name.Length());
  target = PathFolder(targetPath) + rest;
  if (rest.IsEmpty() || rest[0] == '\\' || rest.Pos(':')) return false;
  // Windows drops trailing dots and blanks from a path's components, so
  // "...", ". ." or ".. " climb like "..": a component made of nothing but
  // those is refused.
  int start = 1;
  for (int i = 1; i <= rest.Length() + 1; ++i) {
    if (i <= rest.Length() && rest[i - 1] != '\\') continue;
    String part = rest.Copy(start, i - start);
    while (!part.IsEmpty() && (part.Last() == '.' || part.Last() == ' ')) part.SetLength(part.Length() - 1);
    if (part.IsEmpty() && i > start) return false;
    start = i + 1;
  }
  return true;
}

String SharedDllsValuePath(const String& file) {
  return "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\\" + QuoteApostrophes(file);
}

}  // namespace osin
