#include <windows.h>

#include "platform/text.h"

namespace osin {

namespace {

int Compare(DWORD flags, const String& a, const String& b) {
  int r = CompareStringA(LOCALE_USER_DEFAULT, flags, a.c_str(), a.Length(), b.c_str(), b.Length());
  return r - CSTR_EQUAL;
}

}  // namespace

int CompareText(const String& a, const String& b) {
  return Compare(NORM_IGNORECASE, a, b);
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
  if (!r.IsEmpty()) OemToCharBuffA(s.c_str(), r.Buffer(), r.Length());
  return r;
}

}  // namespace osin
