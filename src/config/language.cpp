#include "config/language.h"

#include "config/profile.h"
#include "config/variables.h"
#include "platform/file.h"
#include "platform/strutils.h"
#include "platform/text.h"

namespace osin {

String EnglishFile(const String& file) {
  return PathFolder(file) + "Enu.lng";
}

Expanded LanguageString(const LanguageTexts& texts, const String& section, int id) {
  String key = IntToStr(id);
  // A message that a partial translation lacks shows in English, not as an
  // empty box.
  String text = ReadIniString(EnglishFile(texts.File), section.c_str(), key.c_str(), kNoText);
  text = ReadIniString(texts.File, section.c_str(), key.c_str(), text);
  text = ReadIniString(texts.File, (section + "." + texts.Code).c_str(), key.c_str(), text);
  return ExpandString(text, texts.Variables);
}

Expanded MessageString(const LanguageTexts& texts, int id) {
  return LanguageString(texts, "Strings", id);
}

void UninstallLanguageSections(const String& file, StringList& target) {
  StringList sections;
  ReadIniSections(file, sections);
  for (int i = 0; i < sections.Count(); ++i) {
    const String& name = sections[i];
    if (SameText(GetWord(1, name, kDotSet), "Uninstall") && CountWords(name, kDotSet) <= 2) {
      target.Add(file + "," + name);
    }
  }
}

void ReadTextFile(const String& path, String& destination) {
  FileHandle file = OpenFileHandle(path, kFileRead, kShareRead, 0, kOpenExisting);
  if (!IsOpenFile(file)) return;
  destination.Clear();
  int64_t size = FileHandleSize(file);
  if (size > 0 && size < 0x7FFFFFFF) {
    String text(static_cast<int>(size), '\0');
    int done = 0;
    for (int n = 1; done < text.Length() && n > 0; done += n > 0 ? n : 0) {
      n = FileRead(file, text.Buffer() + done, text.Length() - done);
    }
    if (done == text.Length()) destination = text;
  }
  CloseFileHandle(file);
}

}  // namespace osin
