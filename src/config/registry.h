// Registry values and keys addressed by one text path, as install scripts
// and the configuration write them:
//
//   root word \ key path \ value name
//
// - The root word is one of "HKCR" (classes root), "HKCU" (current user),
//   "HKLM" (local machine) and "HKU" (users), compared case-sensitively; a
//   path with any other root reaches no key: reads give their default,
//   writes, deletions and tests give false.
// - The value name is what follows the last backslash that is not inside
//   quotes, the quotes being tracked from the end of the path towards its
//   start (a double quote or an apostrophe opens a stretch that only the
//   same character closes). So a value name that holds a backslash is
//   written in apostrophes, with an apostrophe inside it doubled:
//   HKCU\Software\X\'a\b' names the value "a\b". The apostrophes are removed
//   (anything after the closing one is dropped); double quotes stay part of
//   the name. An empty value name (a path ending in a backslash) is the
//   key's default value. A path without a backslash outside quotes is all
//   value name, with no key.
// - Operations on keys (ReadRegSubkeys, ReadRegValueNames, RegKeyExists,
//   DeleteRegKey) append a backslash to a path that lacks one, so the whole
//   path names the key.
//
// Every operation opens the key it needs and closes it before returning; no
// message is shown. The path notation is portable; the operations are
// Windows only.
#pragma once

#include <stdint.h>

#include "platform/str.h"
#include "platform/strlist.h"

namespace osin {

// "HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\": the system's keys
// below it start with this one copy of the text.
extern const char kCurrentVersionKey[];

enum class RegRoot { kNone, kClassesRoot, kCurrentUser, kLocalMachine, kUsers };

struct TRegPath {
  RegRoot Root = RegRoot::kNone;
  String KeyPath;    // below the root; empty for the root key itself
  String ValueName;  // unquoted; empty for the default value
};

TRegPath SplitRegPath(const String& path);
// The key part of Path: everything before its last backslash outside
// quotes (the split of SplitRegPath), or empty when there is none.
String RegKeyPart(const String& path);
// The value's data as text (a string value without its terminating zero),
// or Default when the key or value is missing or the data is longer than
// 1,024 bytes. A value without data reads as empty.
String ReadRegString(const String& path, const String& fallback);
// The number in the value's (at most 4) bytes, little-endian; Default when
// it is missing or longer.
int32_t ReadRegInteger(const String& path, int32_t fallback);
// Creates the key with any missing parents and writes a string value.
bool WriteRegString(const String& path, const String& text);
// Creates the key with any missing parents and writes a 32-bit number.
bool WriteRegInteger(const String& path, int32_t value);
// Replace List's content by the names of the key's subkeys or values in the
// system's enumeration order; List is left empty when the key cannot be
// opened.
void ReadRegSubkeys(const String& path, StringList& list);
void ReadRegValueNames(const String& path, StringList& list);
bool RegKeyExists(const String& path);
bool RegValueExists(const String& path);
// Creates the key the whole path names, with any missing parents; false for
// a root key alone or when the system refuses.
bool CreateRegKey(const String& path);
bool DeleteRegValue(const String& path);
// Deletes the key with all its subkeys and values. The result is whether the
// key itself could be deleted. A path that names a root key itself, or has
// an empty key name in it (HKCU\Software\\ or HKCU\\Software), is refused
// (false, nothing deleted).
bool DeleteRegKey(const String& path);
// Deletes the value the path names if it exists, else the key it names if
// that exists; false when neither exists.
bool DeleteRegEntry(const String& path);

}  // namespace osin
