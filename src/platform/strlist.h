// The string list every subsystem uses: an ordered list of byte strings, each
// with an associated object pointer.
//
// Objects: a list made with a FreeObject function owns its objects and calls
// that function on each one it deletes, replaces or clears; a list made
// without one only carries the pointers.
//
// Order: unsorted lists keep insertion order. A sorted list keeps its lines in
// case-insensitive order (CompareText, the user locale's rules); Add puts a
// line after every line that compares equal to it, so equal lines keep the
// order they were added in. Insert and Set are for unsorted lists only.
//
// Lookup: IndexOf finds a whole line without regard to case (binary search
// when sorted). Lines of the form name=value are found by IndexOfName: the
// first line whose text before its first "=" equals the name without regard
// to case (a line without "=" has the whole line as its name).
#pragma once

#include "platform/array.h"
#include "platform/str.h"

namespace osin {

class StringList {
 public:
  using FreeObjectFn = void (*)(void* object);

  explicit StringList(FreeObjectFn freeObject = nullptr) : freeObject_(freeObject) {}
  StringList(const StringList&) = delete;
  StringList& operator=(const StringList&) = delete;
  StringList(StringList&& other) noexcept;
  StringList& operator=(StringList&& other) noexcept;
  virtual ~StringList();

  int Count() const { return items_.Count(); }
  bool IsEmpty() const { return items_.IsEmpty(); }
  const String& operator[](int i) const { return items_[i].text; }
  void Set(int i, const String& text) { items_[i].text = text; }
  void* Object(int i) const { return items_[i].object; }
  // Replaces the object; an owned old object is freed.
  void SetObject(int i, void* object);
  // Hands the object over to the caller: the list no longer frees it.
  void* TakeObject(int i);

  // Appends (or, when sorted, inserts in order); returns the line's index.
  int Add(const String& text, void* object = nullptr);
  void Insert(int index, const String& text, void* object = nullptr);
  void Delete(int index);
  void Clear();
  void Exchange(int i, int j);
  // Appends copies of all lines of Other (objects are not copied).
  void AddStrings(const StringList& other);
  // Copies Other's lines (objects are not copied).
  void Assign(const StringList& other);

  bool Sorted() const { return sorted_; }
  // Turning sorting on sorts the list at once (stable).
  void SetSorted(bool sorted);
  void Sort();
  // Sorted lists only: whether Text is present; Index is where it is (its
  // first occurrence) or where it would be inserted.
  bool Find(const String& text, int& index) const;

  // Index of the first line equal to Text without regard to case, or -1.
  virtual int IndexOf(const String& text) const;
  int IndexOfName(const String& name) const;
  // Name and value of line I: the text before and after its first "=".
  String Name(int i) const;
  String ValueFromIndex(int i) const;
  // The value of the first line named Name, or empty.
  String Value(const String& name) const;

  // All lines, each followed by CR LF.
  String Text() const;
  // Replaces the lines by those of Text, split at CR LF, CR or LF; a final
  // line break does not start another line.
  void SetText(const String& text);

 private:
  struct Item {
    String text;
    void* object;
  };
  void FreeObject(void* object) const;

  Array<Item> items_;
  FreeObjectFn freeObject_ = nullptr;
  bool sorted_ = false;
};

}  // namespace osin
