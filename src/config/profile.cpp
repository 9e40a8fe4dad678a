#include "config/profile.h"

#include "config/objects.h"
#include "config/profile_internal.h"
#include "platform/text.h"

namespace osin {

namespace {

void FreeStore(void* store) {
  Destroy(static_cast<TztIniFile*>(store));
}

struct Profile {
  // File names in case-insensitive order, each with its store. A store
  // keeps the name as its first caller wrote it, which is the name a file
  // it creates gets.
  StringList stores{FreeStore};
  TIniParseOptions options;

  Profile() {
    stores.SetSorted(true);
    // Anything that may replace a file at restart runs after the
    // configuration was first read, so the writer is in place by then.
    InstallRebootIniWriter();
  }
};

// Lives until the process ends; its stores are written back then at the
// latest.
Profile& TheProfile() {
  static Profile profile;
  return profile;
}

}  // namespace

TIniParseOptions& ProfileParseOptions() {
  return TheProfile().options;
}

TztIniFile* OpenStore(const String& file, bool readOnly) {
  Profile& profile = TheProfile();
  int i;
  if (profile.stores.Find(file, i)) {
    TztIniFile* store = static_cast<TztIniFile*>(profile.stores.Object(i));
    if (readOnly || !store->ReadOnly()) return store;
    profile.stores.Delete(i);
  }
  TztIniFile* store = Create<TztIniFile>(file, readOnly, profile.options);
  profile.stores.Add(file, store);
  return store;
}

bool DropStore(const String& file) {
  Profile& profile = TheProfile();
  int i;
  if (!profile.stores.Find(file, i)) return true;
  bool written = static_cast<TztIniFile*>(profile.stores.Object(i))->UpdateFile();
  profile.stores.Delete(i);
  return written;
}

void DropAllStores() {
  TheProfile().stores.Clear();
}

String ReadIniString(const String& file, const char* section, const char* key, const String& fallback) {
  return OpenStore(file, true)->ReadString(section, key, fallback);
}

int ReadIniInteger(const String& file, const char* section, const char* key, int fallback) {
  return IniStrToInt(ReadIniString(file, section, key, IntToStr(fallback)), fallback);
}

bool ReadIniBool(const String& file, const char* section, const char* key, bool fallback) {
  return ReadIniString(file, section, key, fallback ? "1" : "0") == "1";
}

void ReadIniSections(const String& file, StringList& list) {
  OpenStore(file, true)->ReadSections(list);
}

void ReadIniSection(const String& file, const String& section, StringList& list) {
  OpenStore(file, true)->ReadSection(section, list);
}

void ReadIniSectionValues(const String& file, const String& section, StringList& list) {
  OpenStore(file, true)->ReadSectionValues(section, list);
}

bool WriteIni(const String& file, const String& section, const String& key, const String& value) {
  OpenStore(file, false)->WriteString(section, key, value);
  return true;
}

bool AddIniLine(const String& file, const String& section, const String& key, const String& value) {
  OpenStore(file, false)->AddString(section, key, value);
  return true;
}

}  // namespace osin
