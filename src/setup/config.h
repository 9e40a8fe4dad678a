// The rules of the run's configuration lists (Osin.ini, section Config),
// portable so tests check them natively.
//
// Lists are split at "," only. Languages trims each item; SupportedOS and
// the page sequences keep blanks around an item as part of it, so
// "nt, 9x" offers "nt" and " 9x", and " DLG_DIR" names no page.
#pragma once

#include "platform/osversion.h"
#include "platform/str.h"
#include "platform/strlist.h"

namespace osin {

// Appends the items of Value, split at ",", to List: trimmed with Trim,
// upper-cased with Upper. An empty value or item gives no item.
void AddListItems(const String& value, bool trim, bool upper, StringList& list);

// Whether the system OS passes SupportedOS (an empty list passes
// everything). On the NT line the list must hold "nt", or "nt4" on NT 4,
// or "2k" on a system of major version 5; on the others "9x", or "95" on
// Windows 95, or "98" on Windows 98 and later of that line. Items compare
// without regard to case and are not trimmed.
bool OSSupported(const String& supportedOS, const TOSVersion& os);

// The offered languages: an entry code= per item of Configured (trimmed);
// each entry whose code is an abbreviation of Installed (lines
// abbreviation=full name, in the system's order) becomes that line, the
// system's spelling of the code included; entries no installed locale
// named are dropped. Nothing left gives "ENU=English (USA)". Languages
// receives the lines; the result is the language to start with: UserDefault
// (the user locale's abbreviation) when offered, else the first entry's
// code.
String MatchLanguages(const String& configured, const StringList& installed, const String& userDefault,
                      StringList& languages);

}  // namespace osin
