#include <windows.h>

#include "platform/text.h"

namespace osin {

namespace {

// Set by a tool that reads archives made for another system's code page;
// the setup itself reads names as its system does.
const unsigned char* oemTable = nullptr;

int Compare(DWORD flags, const String& a, const String& b) {
  int r = CompareStringA(LOCALE_USER_DEFAULT, flags, a.c_str(), a.Length(), b.c_str(), b.Length());
  return r - CSTR_EQUAL;
}

}  // namespace

int CompareText(const String& a, const String& b) {
  return Compare(NORM_IGNORECASE, a, b);
}

// The system's comparison is slow, and the lists of a large project ask it
// millions of times. Printable ASCII characters each weigh, and none of
// them expands or is ignored: after nothing but such characters, a pair
// that is neither equal nor one letter in two cases settles it (a pair
// that differs by the case bit alone, as @ and `, may pass: the texts
// differ then anyway).
__attribute__((noinline)) bool SameText(const String& a, const String& b) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a.c_str());
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b.c_str());
  for (;; ++p, ++q) {
    unsigned x = *p, y = *q;
    if (x - 0x20 > 0x5E || y - 0x20 > 0x5E) break;
    if (x != y && (x ^ y) != 0x20) return false;
  }
  return CompareText(a, b) == 0;
}

bool IsLeadByteIn(unsigned codePage, char c) {
  return IsDBCSLeadByteEx(codePage, static_cast<BYTE>(c)) != 0;
}

int CompareStr(const String& a, const String& b) {
  return Compare(0, a, b);
}

String UpperCase(const String& s) {
  String r(s);
  if (!r.IsEmpty()) CharUpperBuffA(r.Buffer(), r.Length());
  return r;
}

String LowerCase(const String& s) {
  String r(s);
  if (!r.IsEmpty()) CharLowerBuffA(r.Buffer(), r.Length());
  return r;
}

String OemToAnsiStr(const String& s) {
  String r(s);
  if (oemTable) {
    for (int i = 0; i < r.Length(); ++i) {
      unsigned char c = static_cast<unsigned char>(r[i]);
      if (c >= 0x80) r[i] = static_cast<char>(oemTable[c - 0x80]);
    }
  } else if (!r.IsEmpty()) {
    OemToCharBuffA(s.c_str(), r.Buffer(), r.Length());
  }
  return r;
}

void SetOemTable(const unsigned char* upperHalf) {
  oemTable = upperHalf;
}

}  // namespace osin
