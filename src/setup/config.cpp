#include "setup/config.h"

#include "platform/strutils.h"
#include "platform/text.h"

namespace osin {

void AddListItems(const String& value, bool trim, bool upper, StringList& list) {
  if (value.IsEmpty()) return;
  int start = 1;
  for (;;) {
    int comma = value.Pos(',', start);
    int end = comma ? comma : value.Length() + 1;
    String item = value.Copy(start, end - start);
    if (trim) item = item.Trim();
    // A stray comma ("DLG_WELCOME,") names nothing: an empty page name
    // would end the run, after a successful installation too.
    if (!item.IsEmpty()) list.Add(upper ? UpperCase(item) : item);
    if (!comma) return;
    start = comma + 1;
  }
}

bool OSSupported(const String& supportedOS, const TOSVersion& os) {
  if (supportedOS.IsEmpty()) return true;
  StringList words;
  AddListItems(supportedOS, false, false, words);
  auto has = [&words](const char* word) { return words.IndexOf(word) >= 0; };
  if (os.IsNTLine()) return has("nt") || (has("nt4") && os.Major == 4) || (has("2k") && os.Major == 5);
  return has("9x") || (has("95") && os.Kind == osWin95) || (has("98") && os.Kind == osWin98);
}

String MatchLanguages(const String& configured, const StringList& installed, const String& userDefault,
                      StringList& languages) {
  StringList codes;
  AddListItems(configured, true, false, codes);
  for (int i = 0; i < codes.Count(); ++i) languages.Add(codes[i] + "=");
  for (int i = 0; i < installed.Count(); ++i) {
    int entry = languages.IndexOfName(installed.Name(i));
    if (entry >= 0) languages.Set(entry, installed[i]);
  }
  for (int i = languages.Count() - 1; i >= 0; --i) {
    if (languages.ValueFromIndex(i).IsEmpty()) languages.Delete(i);
  }
  if (languages.IsEmpty()) languages.Add("ENU=English (USA)");
  int entry = languages.IndexOfName(userDefault);
  return languages.Name(entry >= 0 ? entry : 0);
}

}  // namespace osin
