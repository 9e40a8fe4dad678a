#include "platform/strutils.h"

#include "platform/text.h"

namespace osin {

// Words -----------------------------------------------------------------

int CountWords(const String& s, const CharSet& delims) {
  int count = 0;
  bool inWord = false;
  for (int i = 0; i < s.Length(); ++i) {
    bool delim = delims.Has(s[i]);
    if (!delim && !inWord) ++count;
    inWord = !delim;
  }
  return count;
}

int WordStart(int n, const String& s, const CharSet& delims) {
  int count = 0;
  bool inWord = false;
  for (int i = 0; i < s.Length(); ++i) {
    bool delim = delims.Has(s[i]);
    if (!delim && !inWord && ++count == n) return i + 1;
    inWord = !delim;
  }
  return 0;
}

String GetWord(int n, const String& s, const CharSet& delims) {
  int start = WordStart(n, s, delims);
  if (!start) return String();
  int end = start;
  while (end <= s.Length() && !delims.Has(s[end - 1])) ++end;
  return s.Copy(start, end - start);
}

bool HasWord(const String& w, const String& s, const CharSet& delims, bool caseSensitive) {
  int count = CountWords(s, delims);
  for (int i = 1; i <= count; ++i) {
    String word = GetWord(i, s, delims);
    if ((caseSensitive ? CompareStr(word, w) : CompareText(word, w)) == 0) return true;
  }
  return false;
}

// Fields ----------------------------------------------------------------

namespace {

// Tracks the quoted stretch a field scan is in; 0 when outside.
class QuoteState {
 public:
  // Feeds one character; true when it is a delimiter outside quotes.
  bool Separates(char c, const CharSet& delims) {
    if (open_) {
      if (c == open_) open_ = 0;
      return false;
    }
    if (c == '"' || c == '\'') {
      open_ = c;
      return false;
    }
    return delims.Has(c);
  }

 private:
  char open_ = 0;
};

}  // namespace

String GetField(int n, const String& s, const CharSet& delims) {
  if (n < 1) return String();
  int i = 0;
  QuoteState skip;
  for (int passed = 0; passed < n - 1; ++i) {
    if (i >= s.Length()) return String();
    if (skip.Separates(s[i], delims)) ++passed;
  }
  QuoteState collect;
  int start = i;
  while (i < s.Length() && !collect.Separates(s[i], delims)) ++i;
  return UnquoteIf(s.Copy(start + 1, i - start), '\'');
}

Array<String> SplitFields(const String& s, const CharSet& delims) {
  Array<String> fields;
  QuoteState state;
  int start = 0;
  for (int i = 0; i <= s.Length(); ++i) {
    if (i < s.Length() && !state.Separates(s[i], delims)) continue;
    fields.Add(UnquoteIf(s.Copy(start + 1, i - start), '\''));
    start = i + 1;
  }
  return fields;
}

String QuoteApostrophes(const String& s) {
  return "'" + ReplaceAll(s, "'", "''") + "'";
}

String UnquoteIf(const String& s, char q) {
  if (s.IsEmpty() || s[0] != q) return s;
  String result;
  for (int i = 1; i < s.Length(); ++i) {
    if (s[i] == q) {
      if (i + 1 < s.Length() && s[i + 1] == q) {
        result += q;
        ++i;
        continue;
      }
      break;
    }
    result += s[i];
  }
  return result;
}

// name=value ------------------------------------------------------------

String TextBefore(const String& s, char c) {
  int p = s.Pos(c);
  return p ? s.Copy(1, p - 1) : s;
}

String TextAfter(const String& s, char c) {
  int p = s.Pos(c);
  return p ? s.Copy(p + 1, s.Length()) : String();
}

void SetListValue(StringList& list, const String& name, const String& value) {
  String line = name + "=" + value;
  int i = list.IndexOfName(name);
  if (i >= 0) {
    list.Set(i, line);
  } else {
    list.Add(line);
  }
}

// Editing ---------------------------------------------------------------

bool IsCharStart(const String& s, int index) {
  int i = 0;
  while (i < index) i += IsLeadByte(s[i]) ? 2 : 1;
  return i == index;
}

String ReplaceAll(const String& s, const String& find, const String& replace) {
  if (find.IsEmpty()) return s;
  String result;
  int from = 1;
  // The walk goes character by character up to each hit, so a hit that
  // begins with the second byte of a letter is passed over: "ポ|" is
  // 0x83 0x7C 0x7C in Japanese, "||" from its second byte on.
  for (int hit = s.Pos(find), at = 1; hit; hit = s.Pos(find, at)) {
    while (at < hit) at += IsLeadByte(s[at - 1]) ? 2 : 1;
    if (at > hit) continue;
    result.Append(s.c_str() + from - 1, hit - from);
    result += replace;
    at = from = hit + find.Length();
  }
  result.Append(s.c_str() + from - 1, s.Length() - from + 1);
  return result;
}

String SubstituteFirstS(const String& pattern, const String& value) {
  int at = pattern.Pos("%s");
  if (!at) return pattern;
  return pattern.Copy(1, at - 1) + value + pattern.Copy(at + 2, pattern.Length());
}

String DeleteChar(const String& s, char c) {
  String result;
  for (int i = 0; i < s.Length(); ++i) {
    if (s[i] != c) result += s[i];
  }
  return result;
}

String PadLeft(char c, const String& s, int width) {
  if (s.Length() >= width) return s;
  return String(width - s.Length(), c) + s;
}

String LeftStr(const String& s, int count) {
  return s.Copy(1, count);
}

String RightStr(const String& s, int count) {
  if (count <= 0) return String();
  if (count >= s.Length()) return s;
  return s.Copy(s.Length() - count + 1, count);
}

String IntToBase(int64_t n, int width, int base) {
  if (n < 0 || base < 2 || base > 36) return String();
  char digits[64];
  int i = sizeof digits;
  uint64_t v = static_cast<uint64_t>(n);
  do {
    int d = static_cast<int>(DivideInPlace(v, static_cast<uint32_t>(base)));
    digits[--i] = static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10);
  } while (v);
  return PadLeft('0', String(digits + i, static_cast<int>(sizeof digits) - i), width);
}

// Masks -----------------------------------------------------------------

int FindWild(const String& sub, const String& s) {
  if (sub.IsEmpty() || sub.Length() > s.Length()) return 0;
  if (!sub.Pos('?')) return s.Pos(sub);
  for (int start = 0; start + sub.Length() <= s.Length(); ++start) {
    int k = 0;
    while (k < sub.Length() && (sub[k] == '?' || sub[k] == s[start + k])) ++k;
    if (k == sub.Length()) return start + 1;
  }
  return 0;
}

namespace {

// The last segment against the end of Name, "?" matching anything.
bool MatchesTail(const String& name, const String& segment) {
  if (segment.Length() > name.Length()) return false;
  int offset = name.Length() - segment.Length();
  for (int k = segment.Length() - 1; k >= 0; --k) {
    if (segment[k] != '?' && segment[k] != name[offset + k]) return false;
  }
  return true;
}

}  // namespace

bool MatchMask(const String& nameIn, const String& maskIn, bool ignoreCase) {
  String name = ignoreCase ? UpperCase(nameIn) : nameIn;
  String mask = ignoreCase ? UpperCase(maskIn) : maskIn;
  if (name == mask) return true;
  while (mask.Pos("**")) mask = ReplaceAll(mask, "**", "*");
  if (mask == "*") return true;
  if (name.IsEmpty() || mask.IsEmpty()) return false;

  int n = 1, m = 1;
  for (;;) {
    char mc = mask[m - 1];
    if (mc == name[n - 1] || mc == '?') {
      ++n;
      ++m;
    } else if (mc != '*') {
      return false;
    } else {
      int nextStar = mask.Pos('*', m + 1);
      if (!nextStar) return MatchesTail(name, mask.Copy(m + 1, mask.Length()));
      String segment = mask.Copy(m + 1, nextStar - m - 1);
      m = nextStar;
      int k = FindWild(segment, name.Copy(n, name.Length()));
      if (!k) return false;
      n = n + k - 1 + segment.Length();
    }
    if (n > name.Length() || m > mask.Length()) {
      if (n <= name.Length()) return false;
      if (m <= mask.Length() && mask.Last() != '*') return false;
      return true;
    }
  }
}

int CutAtStar(String& s) {
  int p = s.Pos('*');
  if (p) s.SetLength(p - 1);
  return p;
}

// Wrapping --------------------------------------------------------------

String WrapTextWith(const String& s, int width, MeasureFn measure, void* context, unsigned codePage) {
  String result, line;
  auto flush = [&result](const String& finished) {
    if (!result.IsEmpty()) result += "\r\n";
    result += finished;
  };
  // The text is taken in pieces, in one walk over S (asking for the i-th
  // word each time would cost a long text time squared in its length, at
  // every paint). A piece is a run of single-byte characters up to a blank,
  // or one double-byte letter: Japanese and Chinese put no blanks between
  // words, and their lines break between any two letters, as Windows lays
  // them out. Pieces that no blank parts join without one, so a Western word
  // (a path too) stays whole and a line may end where letters of the two
  // kinds meet.
  for (int at = 0;;) {
    int blanks = at;
    // A line break of the text's own (a "||") ends the line there: the
    // next piece starts the next line, not measured with this one, and a
    // second one in a row leaves an empty line, as a publisher writes
    // paragraphs.
    int breaks = 0;
    for (; at < s.Length() && (s[at] == ' ' || s[at] == '\r'); ++at) breaks += s[at] == '\r';
    bool afterBlank = at > blanks;
    int start = at;
    for (; at < s.Length() && s[at] != ' ' && s[at] != '\r'; ++at) {
      if (!IsLeadByteIn(codePage, s[at])) continue;
      // A double-byte letter alone (Copy clips a lead byte at the end).
      if (at == start) at += 2;
      break;
    }
    if (at == start) break;
    String piece = s.Copy(start + 1, at - start);
    if (line.IsEmpty() || breaks) {
      // Breaks before the first word leave nothing: flush adds no line
      // ahead of the first.
      if (breaks) flush(line);
      while (breaks-- > 1) flush(String());
      line = piece;
      continue;
    }
    String candidate = line + (afterBlank ? " " : "") + piece;
    if (measure(context, candidate) > width) {
      flush(line);
      line = piece;
    } else {
      line = candidate;
    }
  }
  if (!line.IsEmpty()) flush(line);
  return result;
}

}  // namespace osin
