#include "platform/text.h"

namespace osin {

namespace {

unsigned char FoldUpper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  return c;
}

unsigned char FoldLower(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  return c;
}

int CompareFolded(const String& a, const String& b, bool fold) {
  int n = a.Length() < b.Length() ? a.Length() : b.Length();
  for (int i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (fold) {
      x = FoldUpper(x);
      y = FoldUpper(y);
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return a.Length() < b.Length() ? -1 : (a.Length() > b.Length() ? 1 : 0);
}

// Code page 437's upper half in Windows-1252; "?" where 1252 has no such
// character (box drawing, Greek).
const unsigned char kOem437ToAnsi[] = {
    0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5,
    0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xA2, 0xA3, 0xA5, 0x3F, 0x83,
    0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0x3F, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,
    0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
    0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
    0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
    0x3F, 0xDF, 0x3F, 0x3F, 0x3F, 0x3F, 0xB5, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
    0x3F, 0xB1, 0x3F, 0x3F, 0x3F, 0x3F, 0xF7, 0x3F, 0xB0, 0x3F, 0xB7, 0x3F, 0x3F, 0xB2, 0x3F, 0xA0,
};
static_assert(sizeof kOem437ToAnsi == 128, "one entry per upper-half byte");

const unsigned char* oemTable = kOem437ToAnsi;

}  // namespace

int CompareText(const String& a, const String& b) {
  return CompareFolded(a, b, true);
}

bool SameText(const String& a, const String& b) {
  return CompareText(a, b) == 0;
}

bool IsLeadByteIn(unsigned, char) {
  return false;
}

int CompareStr(const String& a, const String& b) {
  return CompareFolded(a, b, false);
}

String UpperCase(const String& s) {
  String r(s);
  for (int i = 0; i < r.Length(); ++i) r[i] = static_cast<char>(FoldUpper(static_cast<unsigned char>(r[i])));
  return r;
}

String LowerCase(const String& s) {
  String r(s);
  for (int i = 0; i < r.Length(); ++i) r[i] = static_cast<char>(FoldLower(static_cast<unsigned char>(r[i])));
  return r;
}

String OemToAnsiStr(const String& s) {
  String r(s);
  for (int i = 0; i < r.Length(); ++i) {
    unsigned char c = static_cast<unsigned char>(r[i]);
    if (c >= 0x80) r[i] = static_cast<char>(oemTable[c - 0x80]);
  }
  return r;
}

void SetOemTable(const unsigned char* upperHalf) {
  oemTable = upperHalf ? upperHalf : kOem437ToAnsi;
}

}  // namespace osin
