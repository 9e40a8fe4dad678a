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

bool SameText(const String& a, const String& b) {
  const String* texts[] = {&a, &b};
  for (const String* text : texts) {
    for (int i = 0; i < text->Length(); ++i) {
      unsigned char c = (*text)[i];
      if (c < ' ' || c > '~') return CompareText(a, b) == 0;
    }
  }
  if (a.Length() != b.Length()) return false;
  for (int i = 0; i < a.Length(); ++i) {
    unsigned char c = a[i] | 32;
    if (a[i] != b[i] && (c != (b[i] | 32) || c < 'a' || c > 'z')) return false;
  }
  return true;
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
