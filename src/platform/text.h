// Locale-dependent text operations on ANSI byte strings.
//
// On Windows they follow the user locale through the system's own ANSI
// routines: comparisons as CompareStringA (lstrcmpiA for the case-insensitive
// form), case conversion as CharUpperBuffA/CharLowerBuffA, OEM names as
// OemToCharBuffA. The native (Linux) build is used by osin-pack and the
// tests; it approximates the Western code pages: it folds case for ASCII and
// the Latin-1 letters (0xC0-0xDE against 0xE0-0xFE, without the signs at 0xD7
// and 0xF7), orders by the folded bytes, and reads OEM names as code page 437.
// Both agree on equality of ASCII and Latin-1 letters; orderings of other
// characters may differ between the two.
#pragma once

#include "platform/str.h"

namespace osin {

// Case-insensitive comparison: negative, zero or positive.
int CompareText(const String& a, const String& b);
// CompareText(a, b) == 0, told quickly for most unequal names.
bool SameText(const String& a, const String& b);
// Case-sensitive comparison by the locale's rules.
int CompareStr(const String& a, const String& b);

String UpperCase(const String& s);
String LowerCase(const String& s);

// C is the first byte of a two-byte character in CodePage (Japanese,
// Chinese, Korean; 0 is the system's ANSI code page), whose second byte may
// be any of 0x40 to 0xFE, the codes of "\", "|" and the ASCII letters among
// them. Never in the native build, whose names are UTF-8 and whose
// continuation bytes are all past ASCII.
bool IsLeadByteIn(unsigned codePage, char c);
// The same in the system's ANSI code page, that of file names.
inline bool IsLeadByte(char c) {
  return IsLeadByteIn(0, c);
}

// OEM to ANSI code page, same length (archive entry names).
String OemToAnsiStr(const String& s);

// The upper half (bytes 0x80 to 0xFF) of another OEM code page in its ANSI
// pair, for OemToAnsiStr from now on ("?" where the pair lacks a
// character); null goes back to the default (code page 437 natively, the
// system's own table on Windows). The caller keeps the 128 bytes.
// osin-pack reads the names of an archive made in another code page with
// it; the setup never calls it.
void SetOemTable(const unsigned char* upperHalf);

}  // namespace osin
