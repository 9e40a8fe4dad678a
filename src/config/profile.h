// The profile layer: INI values by file name, section and key.
//
// Each INI file is opened once as a store (config/inifile.h) and cached under
// its name in upper case, so two spellings of one name that differ only in
// letter case share a store. The store is created with that upper-cased name:
// a file it creates on disk, and the folders made for it, get upper-case
// names. A store lives until it is dropped; dropping writes its changes
// back. So reads cost one load per file and writes one write-back, and
// nothing written reaches the disk before DropStore or DropAllStores.
//
// Reads never fail: a missing file, section or key gives the default. An
// existing file that cannot be opened raises the run-ending fault of the
// store ("Cannot open file <name>"); its reads then give defaults too.
//
// The cache is process-wide and has no lock: it is used by one thread at a
// time (the interface thread, or the install worker while it runs alone).
#pragma once

#include "config/inifile.h"
#include "platform/str.h"
#include "platform/strlist.h"

namespace osin {

// The parse options given to every store when it is created; all on at the
// start. The install engine turns StripQuotes off while it reads its
// scripts, so their values keep their quotes. A store keeps the options it
// was created with.
TIniParseOptions& ProfileParseOptions();

// The cached store of File, created and loaded on first use. A read-only
// request is answered by any cached store; a writable request replaces a
// cached read-only store by a writable one, which loads the file again.
TztIniFile* OpenStore(const String& file, bool readOnly);
// Frees the store of File, if one is cached, writing its changes back; the
// next access loads the file again. False when the store's changes could
// not be written (see TztIniFile::UpdateFile); they are lost then.
bool DropStore(const String& file);
// Frees every cached store, each writing its changes back.
void DropAllStores();

// The reads take the section and key as plain pointers: nearly every
// caller names them by literals, and a String made at each of those calls
// costs the setup program far more than the two made here.
String ReadIniString(const String& file, const char* section, const char* key, const String& fallback);
// The value converted by IniStrToInt (decimal or "$" hexadecimal, no "0x"
// form); Fallback when it is absent or does not convert whole.
int ReadIniInteger(const String& file, const char* section, const char* key, int fallback);
// True exactly when the value is "1"; Fallback when it is absent.
bool ReadIniBool(const String& file, const char* section, const char* key, bool fallback);
// Replaces List's content by the section names.
void ReadIniSections(const String& file, StringList& list);
// Appends the key names of Section to List.
void ReadIniSection(const String& file, const String& section, StringList& list);
// Merges Section's name=value lines into List (see
// TztIniFile::ReadSectionValues).
void ReadIniSectionValues(const String& file, const String& section, StringList& list);
// Sets Key=Value in the writable store of File; an empty key erases the
// section. Always true: write-back failures are silent.
bool WriteIni(const String& file, const String& section, const String& key, const String& value);
// Appends Key=Value to Section of the writable store of File, beside any
// line of the same key. Always true. The replacement of files at restart on
// the 95 line writes wininit.ini through it (the profile layer installs it
// with SetRebootIniWriter when it is first used): each "NUL" line there
// deletes one file, so a second one must not replace the first.
bool AddIniLine(const String& file, const String& section, const String& key, const String& value);

}  // namespace osin
