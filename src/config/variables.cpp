#include "config/variables.h"

#include "platform/file.h"
#include "platform/strutils.h"
#include "setup/session.h"
#include "ui/msgbox.h"

namespace osin {

namespace {

// Passes after which a text that still changes counts as runaway.
const int kMaxPasses = 100;
// How much a text may grow by expansion. A variable that doubles itself
// (X=%X%%X%) would otherwise exhaust memory long before the pass limit.
const int kMaxGrowth = 64 * 1024;

// Replaces every Pattern in Text by Value unless the result would be longer
// than Limit; false (Text unchanged) then.
bool ReplaceWithin(String& text, const String& pattern, const String& value, int limit) {
  int hits = 0;
  for (int at = text.Pos(pattern); at; at = text.Pos(pattern, at + pattern.Length())) ++hits;
  if (!hits) return true;
  int64_t length = text.Length() + static_cast<int64_t>(hits) * (value.Length() - pattern.Length());
  if (length > limit) return false;
  text = ReplaceAll(text, pattern, value);
  return true;
}

}  // namespace

String ExpandVariables(const String& s) {
  const StringList& variables = Session().Variables;
  int limit = s.Length() + kMaxGrowth;
  String current = s;
  for (int pass = 1;; ++pass) {
    String previous = current;
    bool fits = true;
    if (current.Pos('%')) {
      for (int i = 0; i < variables.Count() && fits; ++i) {
        fits = ReplaceWithin(current, "%" + variables.Name(i) + "%", variables.ValueFromIndex(i), limit);
      }
    }
    if (!fits || pass > kMaxPasses) {
      ErrorBox("Infinite reference in the string \"" + s + "\"!");
      return s;
    }
    if (current == previous) return current;
  }
}

String ExpandString(const String& s) {
  return ExpandVariables(ReplaceAll(s, "||", "\r"));
}

String GetVariable(const String& name) {
  const StringList& variables = Session().Variables;
  int i = variables.IndexOfName(name);
  return i >= 0 ? ExpandString(variables.ValueFromIndex(i)) : String();
}

void SetVariable(const String& name, const String& value) {
  SetListValue(Session().Variables, name, value);
}

void SetPathVariable(const String& name, const String& path) {
  SetVariable(name, StripBackslash(path));
}

}  // namespace osin
