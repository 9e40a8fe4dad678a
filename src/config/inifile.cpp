#include "config/inifile.h"

#include <utility>

#include "config/objects.h"
#include "platform/fault.h"
#include "platform/text.h"

namespace osin {

namespace {

void FreeLines(void* lines) {
  Destroy(static_cast<StringList*>(lines));
}

bool IsBlankOrTab(char c) {
  return c == ' ' || c == '\t';
}

// Splits the text that an IniReadFn delivers into lines. A line ends at CR,
// CR LF or a bare LF. A file with LF line ends is as common as one with
// CR LF; reading it as one long line would make a writable store drop the
// whole file at its next write-back.
class LineReader {
 public:
  LineReader(IniReadFn read, void* context) : read_(read), context_(context) {}

  // The next line; false at the end of the text or when reading failed.
  bool Next(String& line) {
    line.Clear();
    bool any = false;
    for (;;) {
      if (pos_ == length_ && !Refill()) return any;
      char c = buffer_[pos_++];
      if (afterCr_ && c == '\n') {
        afterCr_ = false;
        continue;
      }
      afterCr_ = c == '\r';
      if (c == '\r' || c == '\n') return true;
      // Bytes up to the next line end go in at once.
      int start = pos_ - 1;
      while (pos_ < length_ && buffer_[pos_] != '\r' && buffer_[pos_] != '\n') ++pos_;
      line.Append(buffer_ + start, pos_ - start);
      any = true;
    }
  }

  bool Failed() const { return failed_; }

 private:
  bool Refill() {
    if (failed_) return false;
    int n = read_(context_, buffer_, sizeof(buffer_));
    if (n < 0) failed_ = true;
    if (n <= 0) return false;
    pos_ = 0;
    length_ = n;
    return true;
  }

  IniReadFn read_;
  void* context_;
  char buffer_[4096];
  int pos_ = 0;
  int length_ = 0;
  bool afterCr_ = false;
  bool failed_ = false;
};

int ReadFromFile(void* context, char* buffer, int size) {
  return FileRead(*static_cast<FileHandle*>(context), buffer, size);
}

// The folder part of a file name, without its last backslash.
String FolderOf(const String& fileName) {
  int slash = LastBackslash(fileName);
  int other = fileName.LastPos('/');
  if (other > slash) slash = other;
  return slash > 1 ? fileName.Copy(1, slash - 1) : String();
}

}  // namespace

int IniStrToInt(const String& text, int fallback) {
  int i = 0;
  while (i < text.Length() && text[i] == ' ') ++i;
  if (i < text.Length() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i + 1 < text.Length() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    return fallback;
  }
  return StrToIntDef(text, fallback);
}

// TSectionList -----------------------------------------------------------

TSectionList::TSectionList() : StringList(FreeLines) {}

int TSectionList::IndexOf(const String& name) const {
  int count = Count();
  for (int step = 0; step < count; ++step) {
    int i = (lastFound_ + step) % count;
    if (SameText((*this)[i], name)) {
      lastFound_ = i;
      return i;
    }
  }
  return -1;
}

StringList* TSectionList::AddSection(const String& name) {
  StringList* lines = Create<StringList>();
  Add(name, lines);
  return lines;
}

bool TSectionList::MergeDuplicates(DuplicateSectionFn hook, void* context) {
  if (Count() < 2) return false;
  // Sorting brings equal names together; each keeps its position in the
  // section list as its object.
  StringList byName;
  byName.SetSorted(true);
  for (int i = 0; i < Count(); ++i) byName.Add((*this)[i], reinterpret_cast<void*>(static_cast<intptr_t>(i)));
  auto position = [&byName](int j) { return static_cast<int>(reinterpret_cast<intptr_t>(byName.Object(j))); };

  bool dropped = false;
  int leader = 0;  // the survivor so far of the current group of equal names
  for (int j = 1; j < byName.Count(); ++j) {
    if (!SameText(byName[j], byName[leader])) {
      leader = j;
      continue;
    }
    int kept = leader, gone = j;
    if (position(gone) < position(kept)) std::swap(kept, gone);
    if (hook &&
        !hook(context, (*this)[position(kept)], *SectionAt(position(kept)), *SectionAt(position(gone)))) {
      std::swap(kept, gone);
    }
    SetObject(position(gone), nullptr);
    leader = kept;
    dropped = true;
  }
  for (int i = Count() - 1; i >= 0; --i) {
    if (!Object(i)) Delete(i);
  }
  return dropped;
}

// TztIniFile ---------------------------------------------------------------

TztIniFile::TztIniFile(const String& fileName, bool readOnly, const TIniParseOptions& options)
    : readOnly_(readOnly), options_(options) {
  SetFileName(fileName);
}

TztIniFile::~TztIniFile() {
  UpdateFile();
  CloseFileHandle(handle_);
}

void TztIniFile::SetFileName(const String& name) {
  UpdateFile();
  CloseFileHandle(handle_);
  sections_.Clear();
  sections_.ResetLastFound();
  prelude_.Clear();
  currentSection_ = 0;
  loadFailed_ = false;
  fileName_ = name;
  if (!name.IsEmpty()) LoadFile();
  modified_ = false;
}

void TztIniFile::SetDuplicateSectionHook(DuplicateSectionFn hook, void* context) {
  duplicateHook_ = hook;
  duplicateContext_ = context;
}

void TztIniFile::LoadFile() {
  if (!FileExists(fileName_)) return;
  uint32_t access = readOnly_ ? kFileRead : kFileRead | kFileWrite;
  uint32_t share = readOnly_ ? kShareRead | kShareWrite : kShareRead;
  handle_ = OpenFileHandle(fileName_, access, share, 0, readOnly_ ? kOpenExisting : kOpenAlways);
  if (!IsOpenFile(handle_)) {
    handle_ = nullptr;
    loadFailed_ = true;
    RaiseFault("Cannot open file " + fileName_);
    return;
  }
  if (!Load(ReadFromFile, &handle_)) {
    CloseFileHandle(handle_);
    loadFailed_ = true;
    RaiseFault("Cannot read file " + fileName_);
    return;
  }
  if (readOnly_) CloseFileHandle(handle_);
}

bool TztIniFile::Load(IniReadFn read, void* context) {
  sections_.Clear();
  sections_.ResetLastFound();
  prelude_.Clear();
  LineReader reader(read, context);
  StringList* current = nullptr;
  String line;
  while (reader.Next(line)) ParseLine(std::move(line), current);
  bool ok = !reader.Failed();
  if (!ok) {
    sections_.Clear();
    prelude_.Clear();
  } else if (!options_.KeepLayout) {
    sections_.MergeDuplicates(duplicateHook_, duplicateContext_);
  }
  currentSection_ = 0;
  modified_ = false;
  return ok;
}

void TztIniFile::ParseLine(String line, StringList*& current) {
  if (line == "\x1A") return;
  if (options_.SkipComments && !line.IsEmpty() && line[0] == ';') return;
  if (line.IsEmpty() && !options_.KeepLayout) return;
  if (!line.IsEmpty() && line[0] == '[' && line.Last() == ']') {
    current = sections_.AddSection(line.Copy(2, line.Length() - 2));
    return;
  }
  if (options_.TrimEquals) {
    int eq = line.Pos('=');
    while (eq > 1 && IsBlankOrTab(line[eq - 2])) {
      line.Delete(eq - 1, 1);
      --eq;
    }
    if (eq > 1) {
      int n = 0;
      while (eq + n < line.Length() && IsBlankOrTab(line[eq + n])) ++n;
      line.Delete(eq + 1, n);
    }
  }
  if (options_.TrimRight) {
    int n = line.Length();
    while (n > 0 && static_cast<unsigned char>(line[n - 1]) <= 32) --n;
    line.SetLength(n);
  }
  if (options_.StripQuotes) {
    int eq = line.Pos('=');
    int n = line.Length();
    if (eq > 1 && n - eq >= 2 && line[n - 1] == line[eq] && (line[eq] == '"' || line[eq] == '\'')) {
      line.Delete(n, 1);
      line.Delete(eq + 1, 1);
    }
  }
  if (options_.KeysOnly && !line.Pos('=')) return;
  if (current) {
    current->Add(line);
  } else if (options_.KeepLayout) {
    prelude_.Add(line);
  }
}

bool TztIniFile::IsKeyLine(const String& line, const String& key) const {
  if (!options_.KeepLayout) {
    // The name must be exactly as long as Key, so the value starts right
    // after Key and its "=".
    return line.Length() > key.Length() && line[key.Length()] == '=' && line.Pos('=') == key.Length() + 1 &&
           SameText(line.Copy(1, key.Length()), key);
  }
  int eq = line.Pos('=');
  if (eq == 0 || line[0] == ';') return false;
  int first = 0, last = eq - 2;
  while (first <= last && IsBlankOrTab(line[first])) ++first;
  while (last >= first && IsBlankOrTab(line[last])) --last;
  return SameText(line.Copy(first + 1, last - first + 1), key);
}

StringList* TztIniFile::AppendSection(const String& name) {
  if (options_.KeepLayout) {
    // One empty line between the text before and the new header, as the
    // system's own profile functions leave it.
    StringList* before = sections_.IsEmpty() ? &prelude_ : sections_.SectionAt(sections_.Count() - 1);
    bool headerOnly = before != &prelude_ && before->IsEmpty();
    if (headerOnly || (!before->IsEmpty() && !(*before)[before->Count() - 1].IsEmpty())) before->Add(kNoText);
  }
  return sections_.AddSection(name);
}

int TztIniFile::FindKey(const String& section, const String& key, bool create, StringList*& lines) {
  lines = nullptr;
  int count = sections_.Count();
  // Of equally named sections the first answers, as it does for the
  // system's own profile functions.
  if (options_.KeepLayout) currentSection_ = 0;
  if (count > 0) {
    // A circular walk from the section found last: reading keys of one
    // section in a row costs one name comparison each.
    int stop = currentSection_ > 0 ? currentSection_ - 1 : count - 1;
    for (;;) {
      if (SameText(sections_[currentSection_], section)) {
        lines = sections_.SectionAt(currentSection_);
        break;
      }
      if (currentSection_ == stop) break;
      currentSection_ = (currentSection_ + 1) % count;
    }
  }
  if (!lines) {
    if (create) {
      lines = AppendSection(section);
      currentSection_ = sections_.Count() - 1;
    }
    return -1;
  }
  for (int i = 0; i < lines->Count(); ++i) {
    if (IsKeyLine((*lines)[i], key)) return i;
  }
  return -1;
}

String TztIniFile::ReadString(const String& section, const String& key, const String& fallback) {
  StringList* lines;
  int i = FindKey(section, key, false, lines);
  if (i < 0) return fallback;
  const String& line = (*lines)[i];
  if (!options_.KeepLayout) return line.Copy(key.Length() + 2, line.Length());
  int start = line.Pos('='), end = line.Length();
  while (start < end && IsBlankOrTab(line[start])) ++start;
  while (end > start && IsBlankOrTab(line[end - 1])) --end;
  return line.Copy(start + 1, end - start);
}

void TztIniFile::WriteString(const String& section, const String& key, const String& value) {
  if (!key.IsEmpty()) {
    String line = key + "=" + value;
    StringList* lines;
    int i = FindKey(section, key, true, lines);
    if (i < 0) {
      int at = lines->Count();
      if (options_.KeepLayout) {
        while (at > 0 && (*lines)[at - 1].IsEmpty()) --at;
      }
      lines->Insert(at, line);
      modified_ = true;
    } else if ((*lines)[i] != line) {
      lines->Set(i, line);
      modified_ = true;
    }
  } else if (!section.IsEmpty() || !value.IsEmpty()) {
    EraseSection(section);
  } else {
    UpdateFile();
  }
}

void TztIniFile::AddString(const String& section, const String& key, const String& value) {
  StringList* lines;
  FindKey(section, key, true, lines);
  lines->Add(key + "=" + value);
  modified_ = true;
}

int TztIniFile::ReadInteger(const String& section, const String& key, int fallback) {
  String text = ReadString(section, key, kNoText);
  if (text.Length() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text = "$" + text.Copy(3, text.Length());
  }
  return IniStrToInt(text, fallback);
}

void TztIniFile::WriteInteger(const String& section, const String& key, int value) {
  WriteString(section, key, IntToStr(value));
}

bool TztIniFile::ReadBool(const String& section, const String& key, bool fallback) {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void TztIniFile::WriteBool(const String& section, const String& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TztIniFile::ReadSection(const String& section, StringList& target) {
  int i = sections_.IndexOf(section);
  if (i < 0) return;
  const StringList& lines = *sections_.SectionAt(i);
  for (int j = 0; j < lines.Count(); ++j) {
    int eq = lines[j].Pos('=');
    target.Add(eq ? lines[j].Copy(1, eq - 1) : String());
  }
}

void TztIniFile::ReadSections(StringList& target) {
  target.Clear();
  for (int i = 0; i < sections_.Count(); ++i) target.Add(sections_[i]);
}

void TztIniFile::ReadSectionValues(const String& section, StringList& target) {
  int i = sections_.IndexOf(section);
  if (i < 0) return;
  const StringList& lines = *sections_.SectionAt(i);
  // Target's names, sorted, each with its line's index: a section of many
  // thousand lines (a project's file list) merges in n log n comparisons
  // rather than n squared. Of equal names the first line counts.
  StringList names;
  names.SetSorted(true);
  for (int k = 0; k < target.Count(); ++k) names.Add(target.Name(k), reinterpret_cast<void*>(intptr_t{k}));
  for (int j = 0; j < lines.Count(); ++j) {
    // A line without "=" is a name with an empty value.
    String name = lines.Name(j);
    String line = lines[j].Pos('=') ? lines[j] : lines[j] + "=";
    int at;
    if (names.Find(name, at)) {
      target.Set(static_cast<int>(reinterpret_cast<intptr_t>(names.Object(at))), line);
    } else {
      names.Add(name, reinterpret_cast<void*>(intptr_t{target.Add(line)}));
    }
  }
}

void TztIniFile::EraseSection(const String& section) {
  int i = sections_.IndexOf(section);
  if (i < 0) return;
  if (options_.KeepLayout && i == sections_.Count() - 1) {
    // The empty line AppendSection set the last section off with goes too,
    // so adding a section and erasing it again gives the file back.
    StringList* before = i == 0 ? &prelude_ : sections_.SectionAt(i - 1);
    if (!before->IsEmpty() && (*before)[before->Count() - 1].IsEmpty()) before->Delete(before->Count() - 1);
  }
  sections_.Delete(i);
  sections_.ResetLastFound();
  currentSection_ = 0;
  modified_ = true;
}

void TztIniFile::DeleteKey(const String& section, const String& key) {
  StringList* lines;
  int i = FindKey(section, key, true, lines);
  if (i < 0) return;
  lines->Delete(i);
  modified_ = true;
}

void TztIniFile::GetStrings(StringList& target) const {
  bool keep = options_.KeepLayout;
  if (keep) target.AddStrings(prelude_);
  for (int i = 0; i < sections_.Count(); ++i) {
    const StringList& lines = *sections_.SectionAt(i);
    if (lines.IsEmpty() && !keep) continue;
    target.Add("[" + sections_[i] + "]");
    target.AddStrings(lines);
    if (!keep) target.Add(kNoText);
  }
}

bool TztIniFile::UpdateFile() {
  if (!modified_) return true;
  modified_ = false;
  if (fileName_.IsEmpty() || readOnly_ || loadFailed_) return false;
  if (!handle_) {
    // The file did not exist when the store was loaded.
    String folder = FolderOf(fileName_);
    if (!folder.IsEmpty()) ForceFolders(folder);
    handle_ = OpenFileHandle(fileName_, kFileWrite, kShareRead, 0, kOpenAlways);
    if (!IsOpenFile(handle_)) {
      handle_ = nullptr;
      return false;
    }
  }
  StringList lines;
  GetStrings(lines);
  String text = lines.Text();
  return FileSeek(handle_, 0, kSeekFromStart) == 0 && FileWrite(handle_, text.c_str(), text.Length()) &&
         FileTruncate(handle_);
}

}  // namespace osin
