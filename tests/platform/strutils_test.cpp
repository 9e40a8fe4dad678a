// Words, fields, masks and the other shared text routines.
#include "testing.h"

#include "platform/arithm.h"
#include "platform/strutils.h"
#include "platform/text.h"

using namespace osin;

namespace {

const CharSet kComma(",");
const CharSet kBlank(" ");

TEST(Words, RunsOfDelimitersSeparateOnce) {
  EXPECT_EQ(CountWords(",,a,,b,", kComma), 2);
  EXPECT_EQ(CountWords("", kComma), 0);
  EXPECT_EQ(CountWords(",,,", kComma), 0);
  EXPECT_EQ(GetWord(2, ",,a,,bc,", kComma), "bc");
  EXPECT_EQ(WordStart(2, ",,a,,bc,", kComma), 6);
  EXPECT_EQ(GetWord(3, "a b", kBlank), "");
  EXPECT_EQ(WordStart(3, "a b", kBlank), 0);
  EXPECT_EQ(GetWord(0, "a b", kBlank), "");
}

TEST(Words, SeveralDelimitersAtOnce) {
  CharSet delims(" ,;");
  EXPECT_EQ(CountWords("nt, 9x;98", delims), 3);
  EXPECT_EQ(GetWord(3, "nt, 9x;98", delims), "98");
}

TEST(Words, HasWordHonoursTheCaseFlag) {
  EXPECT_TRUE(HasWord("NT", "9x,nt,98", kComma, false));
  EXPECT_FALSE(HasWord("NT", "9x,nt,98", kComma, true));
  EXPECT_TRUE(HasWord("nt", "9x,nt,98", kComma, true));
  EXPECT_FALSE(HasWord("n", "9x,nt,98", kComma, false));
}

TEST(Fields, EmptyFieldsCount) {
  EXPECT_EQ(GetField(3, "a,,b", kComma), "b");
  EXPECT_EQ(GetField(2, "a,,b", kComma), "");
  EXPECT_EQ(GetField(4, "a,,b", kComma), "");
  EXPECT_EQ(GetField(1, "", kComma), "");
  EXPECT_EQ(GetField(0, "a", kComma), "");
}

TEST(Fields, DoubleQuotesProtectCommasAndStay) {
  String spec = "app.exe,\"/a, /b\",C:\\dir,1";
  EXPECT_EQ(GetField(2, spec, kComma), "\"/a, /b\"");
  EXPECT_EQ(GetField(3, spec, kComma), "C:\\dir");
  EXPECT_EQ(GetField(4, spec, kComma), "1");
}

TEST(Fields, SplitFieldsGivesWhatGetFieldGives) {
  for (const char* s :
       {"", "a,,b", "app.exe,\"/a, /b\",C:\\dir,1,", "'a,b',x", "'say \"hi, there',z", "\"open,"}) {
    Array<String> fields = SplitFields(s, kComma);
    ASSERT_GE(fields.Count(), 1) << s;
    for (int n = 1; n <= fields.Count() + 1; ++n) {
      EXPECT_EQ(n <= fields.Count() ? fields[n - 1] : String(), GetField(n, s, kComma))
          << s << " field " << n;
    }
  }
  EXPECT_EQ(SplitFields("a,,b,", kComma).Count(), 4);
}

TEST(Fields, ApostrophesProtectAndAreRemoved) {
  String spec = "'a,b',x";
  EXPECT_EQ(GetField(1, spec, kComma), "a,b");
  EXPECT_EQ(GetField(2, spec, kComma), "x");
  // The other quote character inside a stretch is ordinary.
  EXPECT_EQ(GetField(1, "'say \"hi, there',z", kComma), "say \"hi, there");
  EXPECT_EQ(GetField(2, "'say \"hi, there',z", kComma), "z");
  EXPECT_EQ(GetField(2, "\"it's, fine\",y", kComma), "y");
}

TEST(Fields, AnUnclosedQuoteRunsToTheEnd) {
  EXPECT_EQ(GetField(1, "\"a,b,c", kComma), "\"a,b,c");
  EXPECT_EQ(GetField(2, "\"a,b,c", kComma), "");
}

TEST(Unquote, DoubledQuotesAndTextAfterTheClosingQuote) {
  EXPECT_EQ(UnquoteIf("'it''s'", '\''), "it's");
  EXPECT_EQ(UnquoteIf("'abc'def", '\''), "abc");
  EXPECT_EQ(UnquoteIf("'abc", '\''), "abc");
  EXPECT_EQ(UnquoteIf("abc'", '\''), "abc'");
  EXPECT_EQ(UnquoteIf("\"C:\\Program Files\\x.exe\" /s", '"'), "C:\\Program Files\\x.exe");
  EXPECT_EQ(UnquoteIf("", '"'), "");
}

TEST(NameValue, SplitAtTheFirstSeparator) {
  EXPECT_EQ(NamePart("a=b=c"), "a");
  EXPECT_EQ(ValuePart("a=b=c"), "b=c");
  EXPECT_EQ(NamePart("plain"), "plain");
  EXPECT_EQ(ValuePart("plain"), "");
  EXPECT_EQ(TextBefore("x,y", ','), "x");
  EXPECT_EQ(TextAfter("x,", ','), "");
}

TEST(NameValue, SetListValueReplacesTheFirstMatchOrAppends) {
  StringList list;
  list.Add("Path=old");
  list.Add("PATH=second");
  SetListValue(list, "path", "new");
  SetListValue(list, "Other", "1");
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0], "path=new");
  EXPECT_EQ(list[1], "PATH=second");
  EXPECT_EQ(list[2], "Other=1");
}

TEST(Editing, ReplaceAllDoesNotRescanInsertedText) {
  EXPECT_EQ(ReplaceAll("a||b||", "||", "\r"), "a\rb\r");
  EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("ABC", "b", "x"), "ABC");
  EXPECT_EQ(ReplaceAll("xxx", "xx", "y"), "yx");
}

TEST(Editing, SubstituteFirstSTakesTranslatorsTextLiterally) {
  EXPECT_EQ(SubstituteFirstS("Extracting %s...", "a.dll"), "Extracting a.dll...");
  // Only the first "%s"; a second one, "%d", "%n" and a lone "%" stay.
  EXPECT_EQ(SubstituteFirstS("%s und %s: 100% %d%n", "x"), "x und %s: 100% %d%n");
  EXPECT_EQ(SubstituteFirstS("100%", "x"), "100%");
  EXPECT_EQ(SubstituteFirstS("%%s", "x"), "%x");
  // A value holding "%s" is not substituted again.
  EXPECT_EQ(SubstituteFirstS("<%s> %s", "%s"), "<%s> %s");
}

TEST(Editing, PaddingAndCutting) {
  EXPECT_EQ(PadLeft('0', "12345", 3), "12345");
  EXPECT_EQ(PadLeft('0', "7", 3), "007");
  EXPECT_EQ(LeftStr("abcdef", 2), "ab");
  EXPECT_EQ(LeftStr("ab", 5), "ab");
  EXPECT_EQ(RightStr("abcdef", 2), "ef");
  EXPECT_EQ(RightStr("ab", 5), "ab");
  EXPECT_EQ(RightStr("ab", 0), "");
  EXPECT_EQ(DeleteChar("a-b-c-", '-'), "abc");
}

TEST(Numbers, IntToBase) {
  EXPECT_EQ(IntToBase(0, 3, 32), "000");
  EXPECT_EQ(IntToBase(33, 1, 32), "11");
  EXPECT_EQ(IntToBase(31, 1, 32), "V");
  EXPECT_EQ(IntToBase(255, 0, 16), "FF");
  EXPECT_EQ(IntToBase(-1, 3, 10), "");
  EXPECT_EQ(IntToBase(0x7FFFFFFFFFFFFFFFLL, 0, 2).Length(), 63);
}

TEST(Numbers, ArithmeticHelpers) {
  EXPECT_EQ(MaxOf({3, -5, 9, 9, 0}), 9);
  EXPECT_EQ(MinOf({3, -5, 9}), -5);
  EXPECT_EQ(MaxOf({-7}), -7);
  EXPECT_EQ(Choose(true, 1, 2), 1);
  EXPECT_EQ(Choose<String>(false, "a", "b"), "b");
}

TEST(Masks, ListedExamples) {
  EXPECT_TRUE(MatchMask("Presetup\\x.ini", "Presetup\\*", true));
  EXPECT_FALSE(MatchMask("Data\\x", "Presetup\\*", true));
  EXPECT_FALSE(MatchMask("a.txt", "*.TXT", false));
  EXPECT_TRUE(MatchMask("a.txt", "*.TXT", true));
  EXPECT_TRUE(MatchMask("abc", "a?c", false));
  EXPECT_TRUE(MatchMask("ab", "a*", false));
  EXPECT_FALSE(MatchMask("ab", "*abc", false));
  EXPECT_FALSE(MatchMask("qaba", "q*ab*ba*", false));
}

TEST(Masks, StarsAndEnds) {
  EXPECT_TRUE(MatchMask("anything", "*", false));
  EXPECT_TRUE(MatchMask("anything", "***", false));
  EXPECT_TRUE(MatchMask("", "*", false));
  EXPECT_TRUE(MatchMask("", "", false));
  EXPECT_FALSE(MatchMask("", "a", false));
  EXPECT_FALSE(MatchMask("a", "", false));
  EXPECT_TRUE(MatchMask("ab", "ab*", false));
  EXPECT_FALSE(MatchMask("ab", "abc", false));
  EXPECT_FALSE(MatchMask("abc", "ab", false));
  EXPECT_TRUE(MatchMask("x.dll", "*.dll", false));
  EXPECT_TRUE(MatchMask("lib.x.dll", "*.?ll", false));
  EXPECT_TRUE(MatchMask("setup.exe", "s*p*.exe", false));
  EXPECT_FALSE(MatchMask("setup.exe", "s*q*.exe", false));
  EXPECT_TRUE(MatchMask("PRESETUP\\App.ins", "presetup\\*", true));
}

TEST(Masks, TheTailIsComparedWithTheEndOnly) {
  // The last segment is matched against the end of the name even when the
  // text before the star already used those characters: kept as setups have
  // always behaved.
  EXPECT_TRUE(MatchMask("abc", "ab*bc", false));
  EXPECT_TRUE(MatchMask("abc", "a*abc", false));
  // Mask left over when the name is used up: only a final star saves it.
  EXPECT_FALSE(MatchMask("abc", "abc*c", false));
}

TEST(Masks, FindWildAndCutAtStar) {
  EXPECT_EQ(FindWild("b?d", "abcde"), 2);
  EXPECT_EQ(FindWild("cd", "abcde"), 3);
  EXPECT_EQ(FindWild("x", "abcde"), 0);
  EXPECT_EQ(FindWild("abcdef", "abc"), 0);
  EXPECT_EQ(FindWild("", "abc"), 0);
  EXPECT_EQ(FindWild("???", "abc"), 1);
  String s = "Data\\*.dll";
  EXPECT_EQ(CutAtStar(s), 6);
  EXPECT_EQ(s, "Data\\");
  String t = "none";
  EXPECT_EQ(CutAtStar(t), 0);
  EXPECT_EQ(t, "none");
}

int TenPerCharacter(void*, const String& text) {
  return text.Length() * 10;
}

TEST(Wrapping, WordsFillLinesUpToTheWidth) {
  EXPECT_EQ(WrapTextWith("aa bb cc dd", 50, TenPerCharacter, nullptr, 0), "aa bb\r\ncc dd");
  EXPECT_EQ(WrapTextWith("aa bb cc", 80, TenPerCharacter, nullptr, 0), "aa bb cc");
  EXPECT_EQ(WrapTextWith("", 80, TenPerCharacter, nullptr, 0), "");
  EXPECT_EQ(WrapTextWith("   ", 80, TenPerCharacter, nullptr, 0), "");
  // A single word wider than the width stays whole on a line of its own.
  EXPECT_EQ(WrapTextWith("a verylongword b", 30, TenPerCharacter, nullptr, 0), "a\r\nverylongword\r\nb");
  // Runs of blanks collapse to one.
  EXPECT_EQ(WrapTextWith("  a   b  ", 80, TenPerCharacter, nullptr, 0), "a b");
  // A line break of the text ("||") ends a line; the words after it fill
  // the next one from its start.
  EXPECT_EQ(WrapTextWith("aa bb\rcc dd ee ff", 80, TenPerCharacter, nullptr, 0), "aa bb\r\ncc dd ee\r\nff");
  EXPECT_EQ(WrapTextWith("\raa \r bb cc\r", 50, TenPerCharacter, nullptr, 0), "aa\r\nbb cc");
  // Two in a row leave an empty line between paragraphs.
  EXPECT_EQ(WrapTextWith("aa\r\r bb", 50, TenPerCharacter, nullptr, 0), "aa\r\n\r\nbb");
}

// Katakana A, I, U, E, O in code page 932, two bytes each, whose second
// bytes are those of "A" to "I"; in a Western code page the same bytes are
// ten letters of one word, which stays whole, whatever the system's code
// page.
TEST(Wrapping, ASecondByteNeverStartsALine) {
  const String kana = "\x83\x41\x83\x43\x83\x45\x83\x47\x83\x49";
  const String aiu = kana.Copy(1, 6), eo = kana.Copy(7, 4);
  auto wrap = [](const String& s, int width, unsigned codePage) {
    return WrapTextWith(s, width, TenPerCharacter, nullptr, codePage);
  };
  EXPECT_EQ(wrap("ab " + kana + " cd", 40, 1252), "ab\r\n" + kana + "\r\ncd");
  if (!IsLeadByteIn(932, kana[0])) return;  // the native build knows no double-byte code page
  EXPECT_EQ(wrap(kana, 60, 932), aiu + "\r\n" + eo);
  // A blank before a letter is kept where the line goes on; a Western word
  // beside letters moves to the next line whole.
  EXPECT_EQ(wrap("Setup " + kana, 80, 932), "Setup " + kana.Copy(1, 2) + "\r\n" + kana.Copy(3, 8));
  EXPECT_EQ(wrap(eo + "C:\\Path" + aiu, 60, 932), eo + "\r\nC:\\Path\r\n" + aiu);
  // A lead byte cut off at the end is a letter of its own.
  EXPECT_EQ(wrap(eo + "\x83", 40, 932), eo + "\r\n\x83");
}

}  // namespace
