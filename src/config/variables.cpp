#include "config/variables.h"

#include "platform/file.h"
#include "platform/strutils.h"

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

String RunawayMessage(const String& text) {
  return "Infinite reference in the string \"" + text + "\"!";
}

Expanded ExpandVariables(const String& s, const StringList& variables) {
  int limit = s.Length() + kMaxGrowth;
  Expanded result;
  result.Text = s;
  for (int pass = 1;; ++pass) {
    String previous = result.Text;
    bool fits = true;
    if (result.Text.Pos('%')) {
      for (int i = 0; i < variables.Count() && fits; ++i) {
        fits = ReplaceWithin(result.Text, "%" + variables.Name(i) + "%", variables.ValueFromIndex(i), limit);
      }
    }
    if (!fits || pass > kMaxPasses) {
      result.Text = s;
      result.Runaway = true;
      return result;
    }
    if (result.Text == previous) return result;
  }
}

Expanded ExpandString(const String& s, const StringList& variables) {
  return ExpandVariables(ReplaceAll(s, "||", "\r"), variables);
}

Expanded GetVariable(const StringList& variables, const String& name) {
  int i = variables.IndexOfName(name);
  return i >= 0 ? ExpandString(variables.ValueFromIndex(i), variables) : Expanded();
}

void SetVariable(StringList& variables, const char* name, const String& value) {
  SetListValue(variables, name, value);
}

void SetPathVariable(StringList& variables, const char* name, const String& path) {
  SetVariable(variables, name, StripBackslash(path));
}

}  // namespace osin
