#include "platform/strlist.h"

#include <utility>

#include "platform/text.h"

namespace osin {

StringList::StringList(StringList&& other) noexcept
    : items_(std::move(other.items_)), freeObject_(other.freeObject_), sorted_(other.sorted_) {}

StringList& StringList::operator=(StringList&& other) noexcept {
  if (this != &other) {
    Clear();
    items_ = std::move(other.items_);
    freeObject_ = other.freeObject_;
    sorted_ = other.sorted_;
  }
  return *this;
}

StringList::~StringList() {
  Clear();
}

void StringList::FreeObject(void* object) const {
  if (freeObject_ && object) freeObject_(object);
}

void StringList::SetObject(int i, void* object) {
  if (items_[i].object != object) FreeObject(items_[i].object);
  items_[i].object = object;
}

void* StringList::TakeObject(int i) {
  void* object = items_[i].object;
  items_[i].object = nullptr;
  return object;
}

int StringList::Add(const String& text, void* object) {
  int index = Count();
  if (sorted_) {
    // After the last line that is not greater, so equal lines stay in order.
    int low = 0, high = Count();
    while (low < high) {
      int mid = (low + high) / 2;
      if (CompareText(items_[mid].text, text) <= 0) {
        low = mid + 1;
      } else {
        high = mid;
      }
    }
    index = low;
  }
  items_.Insert(index, Item{text, object});
  return index;
}

void StringList::Insert(int index, const String& text, void* object) {
  items_.Insert(index, Item{text, object});
}

void StringList::Delete(int index) {
  FreeObject(items_[index].object);
  items_.Delete(index);
}

void StringList::Clear() {
  for (Item& item : items_) FreeObject(item.object);
  items_.Clear();
}

void StringList::Exchange(int i, int j) {
  std::swap(items_[i], items_[j]);
}

void StringList::AddStrings(const StringList& other) {
  for (int i = 0; i < other.Count(); ++i) Add(other[i]);
}

void StringList::Assign(const StringList& other) {
  if (this == &other) return;
  Clear();
  AddStrings(other);
}

void StringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) Sort();
  sorted_ = sorted;
}

void StringList::Sort() {
  // Insertion sort: stable, and the lists sorted here are short.
  for (int i = 1; i < Count(); ++i) {
    for (int j = i; j > 0 && CompareText(items_[j - 1].text, items_[j].text) > 0; --j) {
      std::swap(items_[j - 1], items_[j]);
    }
  }
}

bool StringList::Find(const String& text, int& index) const {
  int low = 0, high = Count();
  while (low < high) {
    int mid = (low + high) / 2;
    if (CompareText(items_[mid].text, text) < 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  index = low;
  return low < Count() && CompareText(items_[low].text, text) == 0;
}

int StringList::IndexOf(const String& text) const {
  if (sorted_) {
    int index;
    return Find(text, index) ? index : -1;
  }
  for (int i = 0; i < Count(); ++i) {
    if (SameText(items_[i].text, text)) return i;
  }
  return -1;
}

int StringList::IndexOfName(const String& name) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameText(Name(i), name)) return i;
  }
  return -1;
}

String StringList::Name(int i) const {
  const String& line = items_[i].text;
  int eq = line.Pos('=');
  return eq ? line.Copy(1, eq - 1) : line;
}

String StringList::ValueFromIndex(int i) const {
  const String& line = items_[i].text;
  int eq = line.Pos('=');
  return eq ? line.Copy(eq + 1, line.Length()) : String();
}

String StringList::Value(const String& name) const {
  int i = IndexOfName(name);
  return i >= 0 ? ValueFromIndex(i) : String();
}

String StringList::Text() const {
  String result;
  for (const Item& item : items_) {
    result += item.text;
    result += "\r\n";
  }
  return result;
}

void StringList::SetText(const String& text) {
  Clear();
  const char* p = text.c_str();
  const char* end = p + text.Length();
  while (p < end) {
    const char* start = p;
    while (p < end && *p != '\r' && *p != '\n') ++p;
    Add(String(start, static_cast<int>(p - start)));
    if (p < end && *p == '\r') {
      ++p;
      if (p < end && *p == '\n') ++p;
    } else if (p < end) {
      ++p;
    }
  }
}

}  // namespace osin
