// The byte string of osin.exe and of the code it shares with osin-pack.
//
// A String holds bytes in the system's ANSI code page (or, for archive entry
// names before conversion, in the OEM code page). It is a plain owning value:
// copies allocate, moves do not, so pass it as `const String&` and return it
// by value. The text is always followed by a zero byte, so c_str() can be
// handed to Win32 at once; embedded zero bytes are kept but end what C
// functions see.
//
// Positions: operator[] is 0-based like any C++ container. The helpers that
// mirror the classic string routines (Copy, Pos, Delete, Insert) take and
// return 1-based positions, because the rules this program implements count
// characters from 1; 0 from Pos means "not found".
//
// Lengths are int: no text this program handles comes near 2 GB.
#pragma once

#include <stdarg.h>
#include <stdint.h>

namespace osin {

// The text of every empty String that owns no buffer; written to only as
// its terminating zero.
extern char gEmptyText[1];

class String {
 public:
  // Constant, so Strings in static objects need no code to start empty.
  constexpr String() noexcept : data_(gEmptyText), length_(0), capacity_(0) {}
  String(const char* text);  // NOLINT: implicit, as literals are everywhere
  String(const char* text, int length);
  String(int count, char c);
  String(const String& other);
  String(String&& other) noexcept;
  ~String();
  String& operator=(const String& other);
  String& operator=(String&& other) noexcept;
  // One call where a temporary String would cost the call site three.
  String& operator=(const char* text);

  int Length() const { return length_; }
  bool IsEmpty() const { return length_ == 0; }
  const char* c_str() const { return data_; }
  const char* Data() const { return data_; }
  char operator[](int i) const { return data_[i]; }
  char& operator[](int i) { return Buffer()[i]; }
  // The last byte; the text must not be empty.
  char Last() const { return data_[length_ - 1]; }

  // Writable bytes: Length() of them plus the terminating zero.
  char* Buffer();
  // Changes the length; new bytes are zero. Use after a Win32 call filled
  // Buffer() to cut the text at its real end.
  void SetLength(int length);
  // Cuts the text at its first zero byte.
  void TrimAtZero();
  // Empty again, its buffer given back.
  void Clear();
  void Reserve(int capacity);

  String& Append(const char* p, int n);
  String& operator+=(const String& s) { return Append(s.data_, s.length_); }
  String& operator+=(const char* s);
  String& operator+=(char c) { return Append(&c, 1); }

  // Byte-wise comparison (ordering by unsigned bytes).
  int CompareBytes(const String& other) const;
  bool operator==(const String& o) const;
  bool operator!=(const String& o) const { return !(*this == o); }
  bool operator==(const char* o) const;
  bool operator!=(const char* o) const { return !(*this == o); }
  bool operator<(const String& o) const { return CompareBytes(o) < 0; }

  // Count characters from the 1-based Index; out-of-range parts are clipped.
  String Copy(int index, int count) const;
  // 1-based position of the first occurrence at or after From, or 0.
  int Pos(const String& sub, int from = 1) const;
  int Pos(char c, int from = 1) const;
  // 1-based position of the last occurrence of C, or 0.
  int LastPos(char c) const;
  // Removes Count characters from the 1-based Index (clipped).
  void Delete(int index, int count);
  // Inserts S before the 1-based Index (clipped to the ends).
  void Insert(const String& s, int index);

  bool StartsWith(const String& prefix) const;
  bool EndsWith(const String& suffix) const;

  // Without leading and/or trailing characters at or below the blank.
  String Trim() const;
  String TrimLeft() const;
  String TrimRight() const;

  // printf-style formatting through the C runtime.
  static String Format(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 1, 2)))
#endif
      ;
  static String FormatV(const char* format, va_list args);

 private:
  char* data_;
  int length_;
  int capacity_;  // 0: data_ points at the shared empty text
};

String operator+(const String& a, const String& b);
String operator+(const String& a, const char* b);
String operator+(const char* a, const String& b);
String operator+(const String& a, char b);

// The empty String, for arguments: a temporary String() would cost every
// call site its construction and destruction.
extern const String kNoText;

String IntToStr(int64_t value);

// V divided by Divisor (2 to 65535) in place; returns the remainder. Worked
// in 32-bit steps: on i686 a 64-bit division calls runtime helpers that
// would cost osin.exe more than a kilobyte.
uint32_t DivideInPlace(uint64_t& v, uint32_t divisor);

// Integer conversion as configuration files expect it: optional leading
// blanks, an optional sign, then decimal digits, or hexadecimal digits after
// "$" or "0x"; nothing may follow. Returns false (and leaves Value alone) on
// anything else, including overflow of 32 bits.
bool TryStrToInt(const String& text, int& value);
int StrToIntDef(const String& text, int fallback);

}  // namespace osin
