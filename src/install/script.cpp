#include "install/script.h"

#include <utility>

#include "config/profile.h"
#include "config/variables.h"
#include "install/copyentry.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/strutils.h"
#include "platform/text.h"
#include "ui/msgbox.h"

namespace osin {

namespace {

const char* const kActionNames[] = {"CopyFiles", "AddReg", "DelReg", "Shortcuts", "AddIni", "RunApp"};
static_assert(sizeof(kActionNames) / sizeof(kActionNames[0]) == kScriptActionCount, "one name per action");

String Expand(const String& s, const StringList& variables) {
  return ExpandReported(s, variables);
}

// The fields of an unexpanded value, each expanded on its own.
Array<String> ExpandedFields(const String& value, const StringList& variables) {
  Array<String> fields = SplitFields(value, kCommaSet);
  for (String& field : fields) field = Expand(field, variables);
  return fields;
}

// Base and a line's key joined by one "\"; the key "\" alone names the
// key's default value and adds nothing after it.
String JoinPath(const String& base, const String& key) {
  if (key == "\\") return AddBackslash(base);
  return AddBackslash(base) + key;
}

void CollectCopy(const String& source, Array<String> fields, const String& folder, TPendingLists& lists) {
  int flags = fields.Count() > 1 ? StrToIntDef(fields[1], 0) : 0;
  String& target = fields[0];
  // Without a target name an archive entry keeps its path below Data; a
  // file on disk, named by its full path, keeps its name (and below a
  // wildcard its subfolders), not that path inside the target folder.
  if (target.IsEmpty()) target = (flags & kExternalSource) ? PathFileName(source) : source;
  target = AddBackslash(folder) + target;
  if (flags & kExternalSource) {
    lists.ExternalCopies.Set(source, std::move(fields));
  } else {
    lists.ArchiveCopies.Set("Data\\" + source, std::move(fields));
  }
}

void CollectIni(const String& key, Array<String> fields, const String& base, const StringList& variables,
                TPendingLists& lists) {
  Array<String> baseFields = SplitFields(base, kCommaSet);
  TPendingEntry entry;
  entry.NameParts.Add(Expand(baseFields[0], variables));
  entry.NameParts.Add(baseFields.Count() > 1 ? Expand(baseFields[1], variables) : String());
  entry.NameParts.Add(key);
  entry.Name = entry.NameParts[0] + "," + entry.NameParts[1] + "," + key;
  entry.Fields = std::move(fields);
  lists.IniChanges.Set(std::move(entry));
}

void ReadActions(const String& file, const String& suffix, const StringList& variables,
                 TPendingLists& lists) {
  for (int a = 0; a < kScriptActionCount; ++a) {
    ScriptAction action = static_cast<ScriptAction>(a);
    StringList lines;
    ReadIniSectionValues(file, kActionNames[a] + suffix, lines);
    for (int i = 0; i < lines.Count(); ++i) {
      if (action == kActRunApp) {
        CollectScriptLine(action, lines.Name(i), lines.ValueFromIndex(i), kNoText, variables, lists);
        continue;
      }
      StringList entries;
      ReadIniSectionValues(file, lines.Name(i), entries);
      for (int j = 0; j < entries.Count(); ++j) {
        CollectScriptLine(action, entries.Name(j), entries.ValueFromIndex(j), lines.ValueFromIndex(i),
                          variables, lists);
      }
    }
  }
}

// Uninstall.<Name> on the plain pass, Uninstall.<Name>.<code> on the
// language pass.
void ReadUninstallSections(const String& file, const String& language, TPendingLists& lists) {
  StringList sections;
  ReadIniSections(file, sections);
  for (int i = 0; i < sections.Count(); ++i) {
    const String& name = sections[i];
    if (!SameText(GetWord(1, name, kDotSet), "Uninstall")) continue;
    String third = GetWord(3, name, kDotSet);
    if (language.IsEmpty() ? !third.IsEmpty() : !SameText(third, language)) continue;
    TPendingEntry entry;
    entry.Name = file + "," + name;
    entry.NameParts.Add(file);
    entry.NameParts.Add(name);
    lists.UninstallSections.Set(std::move(entry));
  }
}

}  // namespace

const char* ScriptActionName(ScriptAction action) {
  return kActionNames[action];
}

void ScriptFileNames(const String& presetupDir, const String& base, const TOSVersion& os, StringList& names) {
  String stem = presetupDir + base;
  names.Add(stem + ".ins");
  if (os.Kind == osWin32s) return;
  if (os.IsNTLine()) {
    names.Add(stem + ".nt");
    if (os.Major == 4) names.Add(stem + ".nt4");
    if (os.Major == 5) names.Add(stem + ".2k");
  } else {
    names.Add(stem + ".9x");
    if (os.Kind == osWin95) names.Add(stem + ".95");
    if (os.Kind == osWin98) names.Add(stem + ".98");
  }
}

void CollectScriptLine(ScriptAction action, const String& key, const String& value, const String& base,
                       const StringList& variables, TPendingLists& lists) {
  String name = Expand(key, variables);
  Array<String> fields = ExpandedFields(value, variables);
  switch (action) {
    case kActCopyFiles:
      CollectCopy(name, std::move(fields), Expand(base, variables), lists);
      break;
    case kActAddReg:
      lists.RegAdditions.Set(JoinPath(Expand(base, variables), key == "\\" ? key : name), std::move(fields));
      break;
    case kActDelReg:
      lists.RegDeletions.Set(JoinPath(Expand(base, variables), key == "\\" ? key : name), Array<String>());
      break;
    case kActShortcuts:
      lists.Shortcuts.Set(JoinPath(Expand(base, variables), name), std::move(fields));
      break;
    case kActAddIni:
      // Writing an empty key erases the whole section: in another program's
      // file every setting of that section would be lost.
      if (!name.IsEmpty()) CollectIni(name, std::move(fields), base, variables, lists);
      break;
    case kActRunApp:
      lists.Programs.Set(name, std::move(fields));
      break;
  }
}

bool ReadInstallScripts(const TScriptSources& sources, TPendingLists& lists) {
  String bases = ReadIniString(sources.ConfigFile, "Config", "InsFiles", kNoText);
  for (int b = 1; b <= CountWords(bases, kCommaSet); ++b) {
    StringList files;
    ScriptFileNames(sources.PresetupDir, GetWord(b, bases, kCommaSet), sources.OS, files);
    for (int f = 0; f < files.Count(); ++f) {
      if (!FileExists(files[f])) continue;
      ReadActions(files[f], kNoText, sources.Variables, lists);
      ReadUninstallSections(files[f], kNoText, lists);
      if (!sources.Language.IsEmpty()) {
        ReadActions(files[f], "." + sources.Language, sources.Variables, lists);
        ReadUninstallSections(files[f], sources.Language, lists);
      }
      if (FaultPending()) return false;
    }
  }
  return !FaultPending();
}

}  // namespace osin
