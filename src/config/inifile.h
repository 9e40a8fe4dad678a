// The INI store: a whole INI file held in memory, answered from memory and
// written back in one pass.
//
// Every INI access of the program goes through a store: the setup
// configuration, the install scripts, the language files and the INI files
// an installation changes. Stores are opened and cached by the profile layer
// (config/profile.h); nobody else creates one for a file.
//
// Parsing rules, applied to each line in this order:
// - A line ends at CR, at CR LF and at a bare LF.
// - A line that is exactly one Ctrl-Z (26) counts as empty; with
//   SkipComments, so does a line whose first character is ";" (only ";",
//   only in the first column: "#" starts no comment, and a ";" after a value
//   is part of the value). Empty lines are skipped.
// - A line that starts with "[" and ends with "]" starts a section named
//   exactly what stands between them ("[]" is a section with an empty name).
//   This test comes before any trimming, so " [a]" or "[a] ;x" is no header.
// - TrimEquals: blanks and tabs just before the first "=" and just after it
//   are removed, unless "=" is the first character of the line.
// - TrimRight: trailing characters with codes 0 to 32 are removed.
// - StripQuotes: when "=" is not the first character, at least two
//   characters follow it, and the value starts and ends with the same double
//   quote or apostrophe, those two quotes are removed (the blanks inside
//   stay).
// - KeysOnly: a line without "=" is dropped.
// - A line before the first section header is dropped. Leading blanks are
//   never removed; there is no continuation and no escape character.
// - Of several sections whose names differ at most in letter case, the
//   first in the file survives with its own lines; the lines of the later
//   ones are discarded, not merged (unless a duplicate-section hook decides
//   otherwise).
// Section and key names compare without regard to case (the user locale's
// comparison) and are never trimmed; values compare case-sensitively.
//
// Files: a store loads its file once when it is given a file name. A
// read-only store opens the file for reading with read and write sharing and
// closes it right after loading; it never writes. Any other store opens the
// file for reading and writing with read sharing only and keeps it open until
// it is destroyed or reloaded, so no other writer (another process, or a
// second store on the same file) can change it meanwhile. A missing file is
// no error: the store starts empty, and the file and its folders are created
// at the first write-back. An existing file that cannot be opened or read
// raises the run-ending fault "Cannot open file <name>" (platform/fault.h);
// the store then stays empty and never writes to that file.
//
// Write-back (UpdateFile, and the destructor) happens only when the store
// was changed: each section that holds lines is written as "[name]", its
// lines and an empty line, all ending in CR LF, and the file is cut after
// them. Comments, blank lines, blanks around "=", quotes and empty sections
// are thus not written back; every other line is, including lines without
// "=". A failed write leaves the changes in memory only; UpdateFile reports
// it, the destructor cannot.
//
// KeepLayout is for files that belong to someone else (the INI files an
// installation adds keys to): with the four other options off, a store
// keeps every line as it stands, so its write-back changes only what was
// written. Then, besides the rules above:
// - empty lines, and the lines before the first section header, are kept;
// - equally named sections all stay; lookups answer from the first;
// - a key is found by its name with blanks and tabs around it ignored, and
//   its value is read without blanks and tabs around it; lines starting
//   with ";" are never keys;
// - a new key goes right after the last non-empty line of its section; a
//   new section is set off from the text before it by one empty line;
// - write-back writes the kept lines and every section's header, adding
//   nothing else;
// - erasing the last section also drops one empty line that ends the text
//   before it, so a section added and erased again leaves the file as it
//   was.
#pragma once

#include <stdint.h>

#include "platform/file.h"
#include "platform/str.h"
#include "platform/strlist.h"

namespace osin {

// The five parse options of a store, each described above. A store keeps
// the options it was created with for its whole life.
struct TIniParseOptions {
  bool SkipComments = true;
  bool KeysOnly = true;
  bool TrimEquals = true;
  bool StripQuotes = true;
  bool TrimRight = true;
  bool KeepLayout = false;
};

// The bytes of an INI text, delivered in pieces: copies up to Size bytes into
// Buffer and returns how many it copied, 0 at the end of the text, or -1 when
// reading failed.
using IniReadFn = int (*)(void* context, char* buffer, int size);

// Decides which of two equally named sections survives a load: Kept and
// Dropped are the lines of the earlier and the later section; returning false
// keeps the later one instead.
using DuplicateSectionFn = bool (*)(void* context, const String& name, StringList& kept, StringList& dropped);

// The sections of a store, in file order (new sections are appended); each
// line's object is the section's own line list, owned by this list.
class TSectionList : public StringList {
 public:
  TSectionList();

  // The first section named Name without regard to case, searching from the
  // one found last to the end and then from the start; -1 when none.
  int IndexOf(const String& name) const override;
  // Index of the section that IndexOf found last; 0 at the start and after a
  // section was erased.
  int LastFound() const { return lastFound_; }
  void ResetLastFound() { lastFound_ = 0; }

  StringList* SectionAt(int i) const { return static_cast<StringList*>(Object(i)); }
  // Appends an empty section and returns its lines.
  StringList* AddSection(const String& name);

  // Removes all but one of each group of equally named sections (see the
  // rules above); true when any section was removed.
  bool MergeDuplicates(DuplicateSectionFn hook, void* context);

 private:
  mutable int lastFound_ = 0;
};

// The integer conversion of configuration values: optional leading blanks,
// an optional sign, then decimal digits or "$" and hexadecimal digits;
// nothing may follow. "0x" is not a hexadecimal prefix here. Anything else
// gives Fallback.
int IniStrToInt(const String& text, int fallback);

class TztIniFile {
 public:
  // Loads FileName unless it is empty (see SetFileName).
  TztIniFile(const String& fileName, bool readOnly, const TIniParseOptions& options);
  // Writes back if changed, then closes the file.
  ~TztIniFile();
  TztIniFile(const TztIniFile&) = delete;
  TztIniFile& operator=(const TztIniFile&) = delete;

  // Writes back if changed, closes the file, forgets every section, then
  // loads Name unless it is empty.
  void SetFileName(const String& name);
  // Replaces the content by the INI text that Read delivers, parsed by the
  // rules above; for texts that do not come from the store's file (the store
  // keeps its file name). False, with the store left empty, when Read fails.
  bool Load(IniReadFn read, void* context);
  // Installed before a load, the hook decides between duplicate sections.
  void SetDuplicateSectionHook(DuplicateSectionFn hook, void* context);

  // The value after "Key=" in Section, or Default when the section or key is
  // absent. Of two lines with the same key the first counts.
  String ReadString(const String& section, const String& key, const String& fallback);
  // With a key: sets Key=Value (no blanks, no quotes), replacing the first
  // line of that key (which then takes the caller's letter case) or
  // appending it to the section, which is appended when missing. Without a
  // key: erases the section; and with section and value empty too, writes
  // the store back.
  void WriteString(const String& section, const String& key, const String& value);
  // Decimal or hexadecimal after "$" or "0x" (in any case, at the very
  // start); anything that does not convert whole gives Default.
  int ReadInteger(const String& section, const String& key, int fallback);
  // Appends Key=Value to Section (appended when missing), also when the key
  // is there already: for files where a key may stand several times and
  // each line counts, such as the rename list of wininit.ini.
  void AddString(const String& section, const String& key, const String& value);
  void WriteInteger(const String& section, const String& key, int value);
  // ReadInteger with Default as 1 or 0; any non-zero number is true.
  bool ReadBool(const String& section, const String& key, bool fallback);
  void WriteBool(const String& section, const String& key, bool value);

  // Appends the key names of Section (the text before each line's first
  // "=", or empty) to Target; nothing when the section is absent.
  void ReadSection(const String& section, StringList& target);
  // Replaces Target's content by the section names in store order.
  void ReadSections(StringList& target);
  // Merges Section's lines into Target (an unsorted list) as name=value: a
  // line of Target with the same name (without regard to case) is replaced,
  // others are appended.
  void ReadSectionValues(const String& section, StringList& target);
  void EraseSection(const String& section);
  // Deletes the first line of Key. A missing section is created empty (it is
  // listed by ReadSections but never written).
  void DeleteKey(const String& section, const String& key);
  // Appends the whole store as text lines: for each section with lines its
  // header, its lines and one empty line.
  void GetStrings(StringList& target) const;
  // Writes the store back when it was changed (see above); afterwards it
  // counts as unchanged, also when nothing could be written. True when
  // nothing needed writing or the whole text was written; false when the
  // changes could not reach the file (it could not be created or written,
  // the store is read-only or its file failed to load).
  bool UpdateFile();
  // The changes made so far are never written back.
  void DiscardChanges() { modified_ = false; }

  const String& FileName() const { return fileName_; }
  bool ReadOnly() const { return readOnly_; }
  bool Modified() const { return modified_; }
  // Cursor of the section search for key access: the section found last.
  int CurrentSection() const { return currentSection_; }
  const TSectionList& Sections() const { return sections_; }

 private:
  // Finds Key in Section. Lines: the section's lines, or null when the
  // section is absent and Create is off (with Create a missing section is
  // appended). The result is the line index of the key, or -1.
  int FindKey(const String& section, const String& key, bool create, StringList*& lines);
  void LoadFile();
  void CloseFile();
  void ParseLine(String line, StringList*& current);
  bool IsKeyLine(const String& line, const String& key) const;
  StringList* AppendSection(const String& name);

  String fileName_;
  FileHandle handle_ = nullptr;  // the open file, or none
  bool modified_ = false;
  TSectionList sections_;
  // With KeepLayout, the lines before the first section header.
  StringList prelude_;
  int currentSection_ = 0;
  bool readOnly_;
  // A file that exists but could not be loaded is never written.
  bool loadFailed_ = false;
  DuplicateSectionFn duplicateHook_ = nullptr;
  void* duplicateContext_ = nullptr;
  TIniParseOptions options_;
};

}  // namespace osin
