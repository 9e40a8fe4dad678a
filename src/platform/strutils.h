// Text routines shared by the whole program: words and fields, name=value
// lines, editing, number formatting and wildcard masks.
//
// All work on ANSI byte strings; positions are 1-based and 0 means "none".
// A word is a maximal run of characters outside the delimiter set (runs of
// delimiters separate once, so there are no empty words); a field is what
// lies between single delimiters (empty fields count) where delimiters inside
// a quoted stretch do not separate.
#pragma once

#include <stdint.h>

#include "platform/array.h"
#include "platform/str.h"
#include "platform/strlist.h"

namespace osin {

// A set of byte values, for delimiters.
class CharSet {
 public:
  CharSet() = default;
  // Every byte of Members is in the set. Constant, so a set of literal
  // members is built by the compiler, not at run time.
  constexpr explicit CharSet(const char* members) {
    for (; *members; ++members) Include(*members);
  }
  bool Has(char c) const {
    unsigned char u = static_cast<unsigned char>(c);
    return (bits_[u >> 5] >> (u & 31)) & 1;
  }
  constexpr void Include(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    bits_[u >> 5] |= 1u << (u & 31);
  }

 private:
  uint32_t bits_[8] = {};
};

// The delimiters of most lists, one copy each for every user.
inline constexpr CharSet kCommaSet(",");
inline constexpr CharSet kDotSet(".");

// Words and fields.
int CountWords(const String& s, const CharSet& delims);
int WordStart(int n, const String& s, const CharSet& delims);
String GetWord(int n, const String& s, const CharSet& delims);
// Some word of S equals W, by the locale's comparison with or without case.
bool HasWord(const String& w, const String& s, const CharSet& delims, bool caseSensitive);
// The N-th field (from 1). A double quote or an apostrophe opens a quoted
// stretch that only the same character closes; quotes stay in the field,
// except that a field enclosed in apostrophes loses them (UnquoteIf).
// Empty when S has fewer fields.
String GetField(int n, const String& s, const CharSet& delims);
// Every field of S in order, each as GetField gives it (element N - 1 is
// field N); an empty S has one empty field.
Array<String> SplitFields(const String& s, const CharSet& delims);
// When S starts with Q: the text up to the matching closing Q, with doubled
// Q reduced to one (the rest after the closing quote is dropped; without a
// closing quote, the rest of S). Otherwise S unchanged.
String UnquoteIf(const String& s, char q);
// S in apostrophes with every apostrophe in it doubled, which UnquoteIf
// with an apostrophe takes back.
String QuoteApostrophes(const String& s);

// name=value lines.
String TextBefore(const String& s, char c);
String TextAfter(const String& s, char c);
inline String NamePart(const String& s) {
  return TextBefore(s, '=');
}
inline String ValuePart(const String& s) {
  return TextAfter(s, '=');
}
// Replaces the first line named Name (case-insensitive) by Name=Value, or
// appends that line.
void SetListValue(StringList& list, const String& name, const String& value);

// Whether the byte at the 0-based Index of S begins a character rather than
// being the second byte of one (IsLeadByte); a scan that runs from the end
// of a text asks before it takes a byte for a sign.
bool IsCharStart(const String& s, int index);

// Editing.
// Every occurrence of Find replaced, left to right, case-sensitively; text
// that was inserted is not searched again. An empty Find changes nothing.
// Only an occurrence that starts a character counts: in a double-byte code
// page the second byte of a letter never begins one (IsLeadByte).
String ReplaceAll(const String& s, const String& find, const String& replace);
String DeleteChar(const String& s, char c);
// Pattern with its first "%s" replaced by Value; every other character,
// "%" and a second "%s" included, is copied as it stands. For texts from
// language files ("Extracting %s..."), which must never reach a printf
// format: a translator's "100%" or "%n" would read or write garbage there.
String SubstituteFirstS(const String& pattern, const String& value);
String PadLeft(char c, const String& s, int width);
String LeftStr(const String& s, int count);
String RightStr(const String& s, int count);

// Digits of N in Base (2 to 36; 10 and up as "A", "B", ...), zero-padded to
// Width. A negative N (or a base outside 2..36) gives an empty text.
String IntToBase(int64_t n, int width, int base);

// Masks.
// "*" matches any run (also none), "?" any one character. With IgnoreCase
// both texts are upper-cased by the locale first. The rules, quirks
// included, are those setups have always had: the last segment after a "*"
// is compared with the end of Name without regard to what the part before it
// consumed, and a segment between two stars is searched after the end of the
// previous one.
bool MatchMask(const String& name, const String& mask, bool ignoreCase);
// Position of the first occurrence of Sub in S, "?" in Sub matching any
// character; 0 when there is none, Sub is empty or longer than S.
int FindWild(const String& sub, const String& s);
// Position of the first "*" in S (0 if none); S is cut before it.
int CutAtStar(String& s);

// Line breaking at blanks: words are joined with one blank while the line
// fits Width by Measure; lines are separated by CR LF. A word wider than
// Width stays unbroken on its own line. A CR in S ends a line, and the next
// one is filled from its start; each further CR in a row leaves an empty
// line (none before the first line). Double-byte
// letters of CodePage, the one S is drawn in (IsLeadByteIn), count as words
// of their own that join their neighbours without a blank, so Japanese or
// Chinese text breaks between any two letters, and before or after a
// single-byte word beside them, never inside a letter.
using MeasureFn = int (*)(void* context, const String& text);
String WrapTextWith(const String& s, int width, MeasureFn measure, void* context, unsigned codePage);

}  // namespace osin
