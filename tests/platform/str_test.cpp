// The byte string and the string list: the behaviour every subsystem leans on.
#include "testing.h"

#include "platform/str.h"
#include "platform/strlist.h"
#include "platform/text.h"

using osin::String;
using osin::StringList;

namespace {

TEST(String, CopyClipsLikeTheClassicRoutine) {
  String s("abcdef");
  EXPECT_EQ(s.Copy(2, 3), "bcd");
  EXPECT_EQ(s.Copy(0, 2), "ab");  // index below 1 counts from 1
  EXPECT_EQ(s.Copy(5, 99), "ef");
  EXPECT_EQ(s.Copy(7, 1), "");
  EXPECT_EQ(s.Copy(3, -1), "");
}

TEST(String, PositionsAreOneBased) {
  String s("a=b=c");
  EXPECT_EQ(s.Pos('='), 2);
  EXPECT_EQ(s.Pos('=', 3), 4);
  EXPECT_EQ(s.Pos('x'), 0);
  EXPECT_EQ(s.Pos(String("b=c")), 3);
  EXPECT_EQ(s.Pos(String("")), 0);
  EXPECT_EQ(s.Pos(String("a=b=c=")), 0);
  EXPECT_EQ(s.LastPos('='), 4);
}

TEST(String, DeleteAndInsertClip) {
  String s("abcdef");
  s.Delete(2, 2);
  EXPECT_EQ(s, "adef");
  s.Delete(3, 100);
  EXPECT_EQ(s, "ad");
  s.Delete(5, 1);
  EXPECT_EQ(s, "ad");
  s.Insert("XY", 2);
  EXPECT_EQ(s, "aXYd");
  s.Insert("<", 0);
  s.Insert(">", 100);
  EXPECT_EQ(s, "<aXYd>");
}

TEST(String, AppendingItsOwnTextSurvivesGrowth) {
  String s("0123456789");
  for (int i = 0; i < 6; ++i) s.Append(s.Data() + 1, s.Length() - 1);
  EXPECT_EQ(s.Length(), 1 + 9 * 64);
  EXPECT_EQ(s.Copy(2, 9), "123456789");
  EXPECT_EQ(s.Copy(s.Length() - 8, 9), "123456789");
}

TEST(String, EmbeddedZerosAreKeptUntilTrimmed) {
  String s("ab\0cd", 5);
  EXPECT_EQ(s.Length(), 5);
  EXPECT_NE(s, "ab");
  s.TrimAtZero();
  EXPECT_EQ(s, "ab");
}

TEST(String, SetLengthZeroFillsAndCuts) {
  String s("abc");
  s.SetLength(5);
  EXPECT_EQ(s.Length(), 5);
  EXPECT_EQ(s[3], 0);
  s.SetLength(1);
  EXPECT_EQ(s, "a");
  EXPECT_EQ(s.c_str()[1], 0);
}

TEST(String, CopiesAreIndependent) {
  String a("shared");
  String b = a;
  b[0] = 'S';
  EXPECT_EQ(a, "shared");
  EXPECT_EQ(b, "Shared");
  String c = std::move(b);
  EXPECT_EQ(c, "Shared");
  EXPECT_TRUE(b.IsEmpty());  // NOLINT: moved-from state is defined as empty
}

TEST(String, TrimStopsAtPrintableCharacters) {
  EXPECT_EQ(String(" \t a b \r\n").Trim(), "a b");
  EXPECT_EQ(String("  x ").TrimLeft(), "x ");
  EXPECT_EQ(String("  x ").TrimRight(), "  x");
  EXPECT_EQ(String("   ").Trim(), "");
}

TEST(String, FormatHandlesTextsLongerThanItsFirstBuffer) {
  String big(5000, 'x');
  String f = String::Format("[%s|%d]", big.c_str(), 42);
  EXPECT_EQ(f.Length(), 5000 + 5);
  EXPECT_TRUE(f.EndsWith("x|42]"));
  EXPECT_EQ(String::Format("%08X", 0xBEEFu), "0000BEEF");
}

TEST(String, DivisionInThirtyTwoBitSteps) {
  // Values at the edges of each 16-bit step, against the compiler's division.
  const uint64_t values[] = {
      0, 1, 65535, 65536, 0xFFFFFFFFu, 0x100000000u, 0xFFFF0000FFFF0000u, 0x123456789ABCDEF0u, UINT64_MAX};
  for (uint32_t divisor : {2u, 10u, 36u, 255u, 65535u}) {
    for (uint64_t value : values) {
      uint64_t v = value;
      uint32_t remainder = osin::DivideInPlace(v, divisor);
      EXPECT_EQ(v, value / divisor) << value << " / " << divisor;
      EXPECT_EQ(remainder, value % divisor) << value << " % " << divisor;
    }
  }
}

TEST(String, IntegerConversions) {
  EXPECT_EQ(osin::IntToStr(0), "0");
  EXPECT_EQ(osin::IntToStr(-2147483648LL), "-2147483648");
  EXPECT_EQ(osin::IntToStr(5000000000LL), "5000000000");
  EXPECT_EQ(osin::IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(osin::IntToStr(INT64_MAX), "9223372036854775807");
  EXPECT_EQ(osin::StrToIntDef("  42", 0), 42);
  EXPECT_EQ(osin::StrToIntDef("-17", 0), -17);
  EXPECT_EQ(osin::StrToIntDef("$FF8000", 0), 0xFF8000);
  EXPECT_EQ(osin::StrToIntDef("0x10", 0), 16);
  EXPECT_EQ(osin::StrToIntDef("$FFFFFFFF", 0), -1);
  EXPECT_EQ(osin::StrToIntDef("-2147483648", 0), INT32_MIN);
  EXPECT_EQ(osin::StrToIntDef("2147483648", 7), 7);  // overflow
  EXPECT_EQ(osin::StrToIntDef("12 ", 7), 7);         // trailing text
  EXPECT_EQ(osin::StrToIntDef("", 7), 7);
  EXPECT_EQ(osin::StrToIntDef("$", 7), 7);
  EXPECT_EQ(osin::StrToIntDef("1a", 7), 7);
}

TEST(TextLocale, CaseFoldingCoversAsciiAndLatin1) {
  EXPECT_TRUE(osin::SameText("Presetup\\OSIN.INI", "presetup\\osin.ini"));
  EXPECT_TRUE(osin::SameText("\xC4\xD6\xDC", "\xE4\xF6\xFC"));  // umlauts
  EXPECT_FALSE(osin::SameText("a", "b"));
  // Signs that differ from each other only in the bit that folds letters
  // are no letters; blanks and hyphens count where they stand.
  EXPECT_FALSE(osin::SameText("[@]", "{`}"));
  EXPECT_FALSE(osin::SameText("a-b", "ab-"));
  EXPECT_FALSE(osin::SameText("ab", "ab "));
  EXPECT_TRUE(
      osin::SameText("Stra\xDF"
                     "e.TXT",
                     "STRA\xDF"
                     "E.txt"));
  EXPECT_FALSE(
      osin::SameText("Stra\xDF"
                     "e",
                     "Strabe"));
  // Most pairs are told apart before the locale is asked; it still decides
  // past the first character beyond printable ASCII.
  EXPECT_FALSE(osin::SameText("Dir\\file00001.txt", "dir\\FILE00002.txt"));
  EXPECT_FALSE(osin::SameText("@", "`"));
  EXPECT_FALSE(osin::SameText("ab", "abc"));
  EXPECT_FALSE(osin::SameText("abc", "ab"));
  EXPECT_TRUE(osin::SameText("", ""));
  EXPECT_TRUE(osin::SameText("Dir\\\xC4x.TXT", "dir\\\xE4X.txt"));
  EXPECT_FALSE(osin::SameText("a\xC4z", "A\xE4y"));
  EXPECT_LT(osin::CompareText("apple", "Banana"), 0);
  EXPECT_NE(osin::CompareStr("abc", "ABC"), 0);
  EXPECT_EQ(osin::UpperCase("ab\xE9z"), "AB\xC9Z");
  EXPECT_EQ(osin::LowerCase("AB\xC9Z"), "ab\xE9z");
}

TEST(TextLocale, OemNamesKeepTheirLength) {
  // 0x81 is u-umlaut and 0x8E A-umlaut in code page 437.
  String ansi = osin::OemToAnsiStr("M\x81ller\x8E.txt");
  EXPECT_EQ(ansi, "M\xFCller\xC4.txt");
}

// String list ------------------------------------------------------------

int freed = 0;
void CountFree(void* p) {
  ++freed;
  delete static_cast<int*>(p);
}

TEST(StringList, OwnedObjectsAreFreedOnDeleteReplaceAndClear) {
  freed = 0;
  {
    StringList list(CountFree);
    list.Add("a", new int(1));
    list.Add("b", new int(2));
    list.Add("c", new int(3));
    list.Delete(0);
    EXPECT_EQ(freed, 1);
    list.SetObject(0, new int(4));
    EXPECT_EQ(freed, 2);
    delete static_cast<int*>(list.TakeObject(1));
    list.Clear();
    EXPECT_EQ(freed, 3);
    list.Add("d", new int(5));
  }
  EXPECT_EQ(freed, 4);
}

TEST(StringList, UnownedObjectsAreOnlyCarried) {
  int value = 7;
  StringList list;
  list.Add("x", &value);
  list.Delete(0);
  EXPECT_EQ(value, 7);
}

TEST(StringList, SortedAddKeepsCaseInsensitiveOrderAndStability) {
  StringList list;
  list.SetSorted(true);
  list.Add("delta");
  list.Add("Alpha");
  list.Add("charlie");
  list.Add("ALPHA");
  list.Add("bravo");
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(list[0], "Alpha");
  EXPECT_EQ(list[1], "ALPHA");  // equal lines keep the order they came in
  EXPECT_EQ(list[2], "bravo");
  EXPECT_EQ(list[4], "delta");
  int index = -1;
  EXPECT_TRUE(list.Find("CHARLIE", index));
  EXPECT_EQ(index, 3);
  EXPECT_FALSE(list.Find("cat", index));
  EXPECT_EQ(index, 3);  // where it would go
  EXPECT_EQ(list.IndexOf("alpha"), 0);
  EXPECT_EQ(list.IndexOf("echo"), -1);
}

TEST(StringList, TurningSortingOnSortsStably) {
  StringList list;
  for (const char* s : {"b=2", "A=1", "a=0", "C=3"}) list.Add(s);
  list.SetSorted(true);
  EXPECT_EQ(list.Text(), "a=0\r\nA=1\r\nb=2\r\nC=3\r\n");
}

TEST(StringList, NameLookupUsesTheTextBeforeTheFirstEquals) {
  StringList list;
  list.Add("Path=C:\\a=b");
  list.Add("path=second");
  list.Add("NoValue");
  list.Add("=empty name");
  EXPECT_EQ(list.IndexOfName("PATH"), 0);
  EXPECT_EQ(list.Value("path"), "C:\\a=b");
  EXPECT_EQ(list.IndexOfName("NoValue"), 2);
  EXPECT_EQ(list.Value("NoValue"), "");
  EXPECT_EQ(list.IndexOfName(""), 3);
  EXPECT_EQ(list.ValueFromIndex(3), "empty name");
  EXPECT_EQ(list.IndexOfName("Pat"), -1);
  EXPECT_EQ(list.Name(0), "Path");
}

TEST(StringList, TextSplitsAtEveryKindOfLineEnd) {
  StringList list;
  list.SetText("a\r\nb\rc\nd\n\ne\r\n\r\n");
  ASSERT_EQ(list.Count(), 7);
  EXPECT_EQ(list[0], "a");
  EXPECT_EQ(list[1], "b");
  EXPECT_EQ(list[2], "c");
  EXPECT_EQ(list[3], "d");
  EXPECT_EQ(list[4], "");
  EXPECT_EQ(list[5], "e");
  EXPECT_EQ(list[6], "");
  list.SetText("\n");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0], "");
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
}

// A derived list may change how whole lines are found.
class ExactList : public StringList {
 public:
  int IndexOf(const String& text) const override {
    for (int i = 0; i < Count(); ++i) {
      if ((*this)[i] == text) return i;
    }
    return -1;
  }
};

TEST(StringList, IndexOfCanBeOverridden) {
  ExactList list;
  list.Add("Key");
  const StringList& base = list;
  EXPECT_EQ(base.IndexOf("KEY"), -1);
  EXPECT_EQ(base.IndexOf("Key"), 0);
}

}  // namespace
