#include "platform/str.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/array.h"

namespace osin {

namespace {

int CStrLength(const char* s) {
  return s ? static_cast<int>(strlen(s)) : 0;
}

}  // namespace

char gEmptyText[1] = {0};

const String kNoText;

String::String(const char* text) : String() {
  Append(text, CStrLength(text));
}

String::String(const char* text, int length) : String() {
  Append(text, length);
}

String::String(int count, char c) : String() {
  if (count <= 0) return;
  Reserve(count);
  memset(data_, c, count);
  length_ = count;
  data_[length_] = 0;
}

String::String(const String& other) : String() {
  Append(other.data_, other.length_);
}

String::String(String&& other) noexcept
    : data_(other.data_), length_(other.length_), capacity_(other.capacity_) {
  other.data_ = gEmptyText;
  other.length_ = 0;
  other.capacity_ = 0;
}

String::~String() {
  if (capacity_) free(data_);
}

String& String::operator=(const String& other) {
  if (this != &other) {
    length_ = 0;
    if (capacity_) data_[0] = 0;
    Append(other.data_, other.length_);
  }
  return *this;
}

String& String::operator=(String&& other) noexcept {
  if (this != &other) {
    if (capacity_) free(data_);
    data_ = other.data_;
    length_ = other.length_;
    capacity_ = other.capacity_;
    other.data_ = gEmptyText;
    other.length_ = 0;
    other.capacity_ = 0;
  }
  return *this;
}

String& String::operator=(const char* text) {
  return *this = String(text);
}

void String::Reserve(int capacity) {
  if (capacity <= capacity_ - 1 && capacity_) return;
  // Grow geometrically so that appending byte by byte stays linear.
  int fresh = capacity_ ? capacity_ : 16;
  while (fresh < capacity + 1) fresh = fresh < (1 << 29) ? fresh * 2 : capacity + 1;
  char* p = static_cast<char*>(CheckedRealloc(capacity_ ? data_ : nullptr, fresh));
  if (!capacity_) {
    memcpy(p, data_, length_);
    p[length_] = 0;
  }
  data_ = p;
  capacity_ = fresh;
}

char* String::Buffer() {
  if (!capacity_) Reserve(length_);
  return data_;
}

void String::SetLength(int length) {
  if (length < 0) length = 0;
  if (length > length_) {
    Reserve(length);
    memset(data_ + length_, 0, length - length_);
  }
  length_ = length;
  if (capacity_) data_[length_] = 0;
}

void String::TrimAtZero() {
  SetLength(CStrLength(data_) < length_ ? CStrLength(data_) : length_);
}

void String::Clear() {
  *this = String();
}

String& String::Append(const char* p, int n) {
  if (n <= 0) return *this;
  if (length_ + n > capacity_ - 1) {
    // P may point into our own buffer: keep its offset across the move.
    bool inside = capacity_ && p >= data_ && p < data_ + length_;
    ptrdiff_t offset = inside ? p - data_ : 0;
    Reserve(length_ + n);
    if (inside) p = data_ + offset;
  }
  memmove(data_ + length_, p, n);
  length_ += n;
  data_[length_] = 0;
  return *this;
}

String& String::operator+=(const char* s) {
  return Append(s, CStrLength(s));
}

int String::CompareBytes(const String& other) const {
  int n = length_ < other.length_ ? length_ : other.length_;
  int c = memcmp(data_, other.data_, n);
  if (c) return c;
  return length_ < other.length_ ? -1 : (length_ > other.length_ ? 1 : 0);
}

bool String::operator==(const String& o) const {
  return length_ == o.length_ && memcmp(data_, o.data_, length_) == 0;
}

bool String::operator==(const char* o) const {
  int n = CStrLength(o);
  return length_ == n && memcmp(data_, o, n) == 0;
}

String String::Copy(int index, int count) const {
  if (index < 1) index = 1;
  if (index > length_ || count <= 0) return String();
  if (count > length_ - index + 1) count = length_ - index + 1;
  return String(data_ + index - 1, count);
}

int String::Pos(const String& sub, int from) const {
  if (from < 1) from = 1;
  if (sub.length_ == 0 || sub.length_ > length_) return 0;
  for (int i = from - 1; i + sub.length_ <= length_; ++i) {
    if (data_[i] == sub.data_[0] && memcmp(data_ + i, sub.data_, sub.length_) == 0) return i + 1;
  }
  return 0;
}

int String::Pos(char c, int from) const {
  if (from < 1) from = 1;
  if (from > length_) return 0;
  const void* hit = memchr(data_ + from - 1, static_cast<unsigned char>(c), length_ - from + 1);
  return hit ? static_cast<int>(static_cast<const char*>(hit) - data_) + 1 : 0;
}

int String::LastPos(char c) const {
  for (int i = length_; i >= 1; --i) {
    if (data_[i - 1] == c) return i;
  }
  return 0;
}

void String::Delete(int index, int count) {
  if (index < 1 || index > length_ || count <= 0) return;
  if (count > length_ - index + 1) count = length_ - index + 1;
  memmove(data_ + index - 1, data_ + index - 1 + count, length_ - (index - 1 + count));
  length_ -= count;
  data_[length_] = 0;
}

void String::Insert(const String& s, int index) {
  if (s.IsEmpty()) return;
  if (index < 1) index = 1;
  if (index > length_ + 1) index = length_ + 1;
  String result(data_, index - 1);
  result += s;
  result.Append(data_ + index - 1, length_ - index + 1);
  *this = std::move(result);
}

bool String::StartsWith(const String& prefix) const {
  return prefix.length_ <= length_ && memcmp(data_, prefix.data_, prefix.length_) == 0;
}

bool String::EndsWith(const String& suffix) const {
  return suffix.length_ <= length_ &&
         memcmp(data_ + length_ - suffix.length_, suffix.data_, suffix.length_) == 0;
}

namespace {

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

String String::Trim() const {
  return TrimLeft().TrimRight();
}

String String::TrimLeft() const {
  int i = 0;
  while (i < length_ && IsBlankOrControl(data_[i])) ++i;
  return String(data_ + i, length_ - i);
}

String String::TrimRight() const {
  int n = length_;
  while (n > 0 && IsBlankOrControl(data_[n - 1])) --n;
  return String(data_, n);
}

// On Windows the system runtime's own formatter, which says -1 when the
// text did not fit; the C99 form is a wrapper that formats twice and brings
// its own code and unwind tables into every program.
#ifdef _WIN32
#define OSIN_VSNPRINTF _vsnprintf
#else
#define OSIN_VSNPRINTF vsnprintf
#endif

String String::FormatV(const char* format, va_list args) {
  char small[256];
  va_list copy;
  va_copy(copy, args);
  int n = OSIN_VSNPRINTF(small, sizeof small, format, copy);
  va_end(copy);
  if (n >= 0 && n < static_cast<int>(sizeof small)) return String(small, n);
  // The C99 form tells the size it needs; the older Windows runtime only
  // says -1 when the text did not fit, so grow until it does.
  String result;
  for (int size = n >= 0 ? n + 1 : 1024; size <= (1 << 26); size *= 2) {
    result.SetLength(size - 1);
    va_copy(copy, args);
    int written = OSIN_VSNPRINTF(result.Buffer(), size, format, copy);
    va_end(copy);
    if (written >= 0 && written < size) {
      result.SetLength(written);
      return result;
    }
  }
  return String();
}

String String::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  String result = FormatV(format, args);
  va_end(args);
  return result;
}

String operator+(const String& a, const String& b) {
  String r;
  r.Reserve(a.Length() + b.Length());
  r += a;
  r += b;
  return r;
}

String operator+(const String& a, const char* b) {
  return a + String(b);
}
String operator+(const char* a, const String& b) {
  return String(a) + b;
}
String operator+(const String& a, char b) {
  String r(a);
  r += b;
  return r;
}

uint32_t DivideInPlace(uint64_t& v, uint32_t divisor) {
  // Long division by 32, 16 and 16 bits: each partial remainder is below
  // the divisor, so it and the next 16 bits fit 32 bits.
  uint32_t high = static_cast<uint32_t>(v >> 32);
  uint32_t low = static_cast<uint32_t>(v);
  uint32_t part = high % divisor;
  uint32_t quotientHigh = high / divisor;
  part = part << 16 | low >> 16;
  uint32_t quotientMiddle = part / divisor;
  part = (part % divisor) << 16 | (low & 0xFFFF);
  v = static_cast<uint64_t>(quotientHigh) << 32 | quotientMiddle << 16 | part / divisor;
  return part % divisor;
}

String IntToStr(int64_t value) {
  char digits[24];
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  int i = sizeof digits;
  do {
    digits[--i] = static_cast<char>('0' + DivideInPlace(magnitude, 10));
  } while (magnitude);
  if (value < 0) digits[--i] = '-';
  return String(digits + i, static_cast<int>(sizeof digits) - i);
}

bool TryStrToInt(const String& text, int& value) {
  const char* p = text.c_str();
  const char* end = p + text.Length();
  while (p < end && *p == ' ') ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  unsigned base = 10;
  if (p < end && *p == '$') {
    base = 16;
    ++p;
  } else if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  }
  if (p == end) return false;
  // Hexadecimal may use all 32 bits (colours such as $FFFFFFFF wrap to -1);
  // decimal must fit the signed range.
  uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  uint64_t n = 0;
  for (; p < end; ++p) {
    unsigned d;
    char c = *p;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      return false;
    }
    n = n * base + d;
    if (n > limit) return false;
  }
  uint32_t bits = static_cast<uint32_t>(n);
  if (negative) bits = 0u - bits;
  value = static_cast<int32_t>(bits);
  return true;
}

int StrToIntDef(const String& text, int fallback) {
  int value = fallback;
  return TryStrToInt(text, value) ? value : fallback;
}

}  // namespace osin
