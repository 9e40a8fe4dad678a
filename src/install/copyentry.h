// Copy entries: finding the entry that installs a file, the file's target
// name, and the SharedDLLs value of a shared file.
#pragma once

#include "install/pending.h"
#include "platform/file.h"
#include "platform/str.h"

namespace osin {

// Whether the file-name part of Path (after its last "\") holds "*" or "?".
bool NameHasWildcards(const String& path);

// Index of the first entry of List whose name matches Name, or -1. A name
// whose file-name part holds "*" or "?" matches when Name's file-name part
// matches that mask (without regard to case; a name without "." is matched
// with one appended, so "*.*" takes it) and Name's folder part starts with
// the entry's folder part, so subfolders match too. Any other entry name
// matches when it equals Name without regard to case.
int FindCopyEntry(const TPendingList& list, const String& name);

// Where the file Name, found for the copy entry named Key whose first field
// is TargetPath, goes. For a key with wildcards, the folder of TargetPath
// followed by the part of Name beyond the key's folder (keeping the
// subfolders below it); otherwise TargetPath. False when that part of Name
// could leave the target folder (a ".." component, a leading "\" or a ":"),
// for which nothing may be written.
bool CopyTarget(const String& key, const String& targetPath, const String& name, String& target);

// The SharedDLLs value path of File: the key
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs\ and the file's
// full path as the value name, in apostrophes with apostrophes inside
// doubled, so the whole path, backslashes and apostrophes included, is the
// name.
String SharedDllsValuePath(const String& file);

}  // namespace osin
