#include "install/pending.h"

#include <utility>

#include "platform/text.h"

namespace osin {

String TPendingEntry::Field(int n) const {
  return n >= 1 && n <= Fields.Count() ? Fields[n - 1] : String();
}

int TPendingEntry::NumberField(int n, int fallback) const {
  return StrToIntDef(Field(n), fallback);
}

String TPendingEntry::NamePart(int n) const {
  return n >= 1 && n <= NameParts.Count() ? NameParts[n - 1] : String();
}

int TPendingList::IndexOfName(const String& name) const {
  for (int i = 0; i < entries_.Count(); ++i) {
    if (SameText(entries_[i].Name, name)) return i;
  }
  return -1;
}

void TPendingList::Set(TPendingEntry entry) {
  WildcardEnd = 0;
  int i = IndexOfName(entry.Name);
  if (i < 0) {
    entries_.Add(std::move(entry));
  } else {
    entries_[i] = std::move(entry);
  }
}

void TPendingList::Set(const String& name, Array<String> fields) {
  TPendingEntry entry;
  entry.Name = name;
  entry.Fields = std::move(fields);
  Set(std::move(entry));
}

void TPendingLists::Clear() {
  TPendingList* lists[] = {&ArchiveCopies, &ExternalCopies, &RegAdditions, &RegDeletions, &IniChanges,
                           &Shortcuts,     &Programs,       &OleServers,   &Fonts,        &UninstallSections};
  for (TPendingList* list : lists) list->Clear();
}

}  // namespace osin
