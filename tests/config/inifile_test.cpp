// The INI store's parsing rules and operations, on texts held in memory.
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>

#include "config/inifile.h"
#include "testing.h"

using namespace osin;

namespace {

// Delivers a text in pieces of at most Piece bytes; a negative FailAt makes
// the read at that offset fail.
struct TextSource {
  std::string text;
  size_t piece = 4096;
  size_t at = 0;
  long failAt = -1;

  static int Read(void* context, char* buffer, int size) {
    TextSource& s = *static_cast<TextSource*>(context);
    if (s.failAt >= 0 && s.at >= static_cast<size_t>(s.failAt)) return -1;
    size_t n = std::min({s.piece, static_cast<size_t>(size), s.text.size() - s.at});
    memcpy(buffer, s.text.data() + s.at, n);
    s.at += n;
    return static_cast<int>(n);
  }
};

class Ini : public ::testing::Test {
 protected:
  // Loads Text into the store with the given options (all on by default).
  void Load(const std::string& text, size_t piece = 4096) {
    TextSource source{text, piece};
    ASSERT_TRUE(store_->Load(TextSource::Read, &source));
  }
  // The store as text lines joined by "|" (sections with lines only).
  std::string Dump() const {
    StringList lines;
    store_->GetStrings(lines);
    std::string out;
    for (int i = 0; i < lines.Count(); ++i) out += ToStd(lines[i]) + "|";
    return out;
  }
  String Read(const char* section, const char* key) { return store_->ReadString(section, key, "<none>"); }
  void UseOptions(const TIniParseOptions& options) {
    store_ = std::make_unique<TztIniFile>(String(), false, options);
  }

  std::unique_ptr<TztIniFile> store_ = std::make_unique<TztIniFile>(String(), false, TIniParseOptions());
};

TEST_F(Ini, BlanksAroundEqualsGoButLeadingBlanksStay) {
  Load("[s]\r\nkey = value\r\ntab\t=\t x \t\r\n  lead=1\r\n");
  EXPECT_EQ(Read("s", "key"), "value");
  EXPECT_EQ(Read("s", "tab"), "x");
  EXPECT_EQ(Read("s", "lead"), "<none>");
  EXPECT_EQ(Read("s", "  lead"), "1");
}

TEST_F(Ini, MatchingQuotesAroundAValueAreStripped) {
  Load("[s]\na=\" x \"\nb=''\nc=\"mixed'\nd='y'\ne=\"\nf=\"x\" tail\n");
  EXPECT_EQ(Read("s", "a"), " x ");
  EXPECT_EQ(Read("s", "b"), "");
  EXPECT_EQ(Read("s", "c"), "\"mixed'");
  EXPECT_EQ(Read("s", "d"), "y");
  EXPECT_EQ(Read("s", "e"), "\"");  // one quote alone is a value
  EXPECT_EQ(Read("s", "f"), "\"x\" tail");
}

TEST_F(Ini, AnEqualsSignInTheFirstColumnKeepsBlanksAndQuotes) {
  Load("[s]\n=  \"x\" \n");
  EXPECT_EQ(Dump(), "[s]|=  \"x\"||");
  EXPECT_EQ(Read("s", ""), "  \"x\"");
}

TEST_F(Ini, HeadersWithBlanksAreNoHeaders) {
  Load("[a]\nk=1\n [b]\n[b] ;remark\nm=2\n[]\nn=3\n");
  EXPECT_EQ(Dump(), "[a]|k=1|m=2||[]|n=3||");
}

TEST_F(Ini, CommentsAndCtrlZ) {
  Load("[s]\n;k=1\n\x1A\n#h=2\nv=1 ;not a remark\n");
  EXPECT_EQ(Dump(), "[s]|#h=2|v=1 ;not a remark||");
}

TEST_F(Ini, LinesBeforeTheFirstSectionAreDropped) {
  Load("// English\nk=0\n[s]\nk=1\n");
  EXPECT_EQ(Dump(), "[s]|k=1||");
}

TEST_F(Ini, TrailingControlCharactersAreTrimmed) {
  const char text[] = "[s]\nk=v \t\x01\x00 \n";
  Load(std::string(text, sizeof(text) - 1));
  EXPECT_EQ(Read("s", "k"), "v");
}

TEST_F(Ini, OptionsOffKeepWhatTheyWouldRemove) {
  TIniParseOptions none;
  none.SkipComments = none.KeysOnly = none.TrimEquals = none.StripQuotes = none.TrimRight = false;
  UseOptions(none);
  Load("[s]\n;c=1\nbare line\nk = 'q' \n");
  EXPECT_EQ(Dump(), "[s]|;c=1|bare line|k = 'q' ||");
  EXPECT_EQ(Read("s", ";c"), "1");
  EXPECT_EQ(Read("s", "k "), " 'q' ");
}

// Another program's file: everything it holds stays as it is, and keys are
// found as that program's own profile functions find them.
TEST_F(Ini, KeepLayoutChangesOnlyWhatIsWritten) {
  TIniParseOptions keep;
  keep.SkipComments = keep.KeysOnly = keep.TrimEquals = keep.StripQuotes = keep.TrimRight = false;
  keep.KeepLayout = true;
  UseOptions(keep);
  Load(
      "; before any section\n\n[Main]\n;a=comment\n a = b \nbare line\nq=\"x, y\"\n\n"
      "[Other]\nk=1\n[main]\na=later\n");
  EXPECT_EQ(Read("Main", "a"), "b");
  EXPECT_EQ(Read("main", ";a"), "<none>") << "a comment is no key";
  store_->WriteString("Main", "new", "1");
  store_->WriteString("Added", "k", "v");
  EXPECT_EQ(Dump(),
            "; before any section||[Main]|;a=comment| a = b |bare line|q=\"x, y\"|new=1||"
            "[Other]|k=1|[main]|a=later||[Added]|k=v|");
  store_->WriteString("MAIN", "A", "c");
  EXPECT_EQ(Read("Main", "a"), "c");
  EXPECT_EQ(Read("Other", "k"), "1");
}

TEST_F(Ini, StripQuotesOffKeepsQuotesOnly) {
  TIniParseOptions options;
  options.StripQuotes = false;
  UseOptions(options);
  Load("[s]\nk = \"a b\" \n");
  EXPECT_EQ(Read("s", "k"), "\"a b\"");
}

TEST_F(Ini, EveryLineEndEndsALineAlsoAcrossPieces) {
  const std::string text = "[s]\r\na=1\rb=2\nc=3\r\n\r\n\nd=4";
  for (size_t piece : {1, 2, 3, 4096}) {
    Load(text, piece);
    EXPECT_EQ(Dump(), "[s]|a=1|b=2|c=3|d=4||") << "piece " << piece;
  }
}

TEST_F(Ini, AFailedReadLeavesTheStoreEmpty) {
  TextSource source{"[s]\nk=1\n[t]\nm=2\n", 4, 0, 8};
  EXPECT_FALSE(store_->Load(TextSource::Read, &source));
  EXPECT_EQ(store_->Sections().Count(), 0);
}

TEST_F(Ini, DuplicateSectionsKeepTheFirstWithItsOwnLines) {
  Load("[Main]\na=1\n[other]\nx=0\n[MAIN]\na=2\nb=3\n[main]\nc=4\n");
  EXPECT_EQ(Dump(), "[Main]|a=1||[other]|x=0||");
  EXPECT_EQ(Read("main", "a"), "1");
  EXPECT_EQ(Read("Main", "b"), "<none>");
  EXPECT_EQ(store_->CurrentSection(), 0);
  EXPECT_FALSE(store_->Modified());
}

TEST_F(Ini, ADuplicateSectionHookMayKeepTheLaterSection) {
  struct Seen {
    int calls = 0;
    std::string name;
  } seen;
  store_->SetDuplicateSectionHook(
      [](void* context, const String& name, StringList& kept, StringList& dropped) {
        Seen& s = *static_cast<Seen*>(context);
        ++s.calls;
        s.name = ToStd(name);
        return !(kept.Count() == 1 && dropped.Count() == 2);
      },
      &seen);
  Load("[a]\nk=1\n[A]\nk=2\nm=3\n");
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.name, "a");
  EXPECT_EQ(Dump(), "[A]|k=2|m=3||");
}

TEST_F(Ini, DuplicateKeysReadAndWriteTheFirst) {
  Load("[s]\nk=1\nK=2\n");
  EXPECT_EQ(Read("s", "k"), "1");
  store_->WriteString("s", "K", "9");
  EXPECT_EQ(Dump(), "[s]|K=9|K=2||");
  EXPECT_TRUE(store_->Modified());
}

TEST_F(Ini, NamesIgnoreCaseValuesDoNot) {
  Load("[Sect]\nKey=Value\n");
  EXPECT_EQ(Read("SECT", "key"), "Value");
  store_->WriteString("sect", "Key", "Value");
  EXPECT_FALSE(store_->Modified()) << "the same line is no change";
  store_->WriteString("sect", "Key", "value");
  EXPECT_TRUE(store_->Modified());
  store_->WriteString("sect", "Key", "Value");
  store_->WriteString("sect", "KEY", "Value");
  EXPECT_TRUE(store_->Modified()) << "the key's letter case changed";
  EXPECT_EQ(Dump(), "[Sect]|KEY=Value||");
}

TEST_F(Ini, WritesAppendKeysAndSections) {
  Load("[a]\nx=1\n");
  store_->WriteString("b", "y", " two ");
  store_->WriteString("a", "z", "3");
  EXPECT_EQ(Dump(), "[a]|x=1|z=3||[b]|y= two ||");
}

TEST_F(Ini, AddStringKeepsEveryLineOfAKey) {
  Load("[Rename]\nNUL=C:\\OLD1\n");
  store_->AddString("rename", "NUL", "C:\\OLD2");
  store_->AddString("New", "k", "v");
  EXPECT_TRUE(store_->Modified());
  EXPECT_EQ(Dump(), "[Rename]|NUL=C:\\OLD1|NUL=C:\\OLD2||[New]|k=v||");
}

TEST_F(Ini, AnEmptyKeyErasesTheSection) {
  Load("[a]\nx=1\n[b]\ny=2\n");
  store_->WriteString("a", "", "");
  EXPECT_EQ(Dump(), "[b]|y=2||");
  store_->WriteString("", "", "v");  // a section named "" does not exist
  EXPECT_EQ(Dump(), "[b]|y=2||");
}

TEST_F(Ini, IntegersTakeDollarAndZeroXHexadecimal) {
  Load("[n]\nd=42\nneg=-7\nhex=$1F\nzx=0x1f\nupper=0X10\nbad=12abc\nempty=\nbig=99999999999\n");
  EXPECT_EQ(store_->ReadInteger("n", "d", -1), 42);
  EXPECT_EQ(store_->ReadInteger("n", "neg", -1), -7);
  EXPECT_EQ(store_->ReadInteger("n", "hex", -1), 31);
  EXPECT_EQ(store_->ReadInteger("n", "zx", -1), 31);
  EXPECT_EQ(store_->ReadInteger("n", "upper", -1), 16);
  EXPECT_EQ(store_->ReadInteger("n", "bad", -1), -1);
  EXPECT_EQ(store_->ReadInteger("n", "empty", -1), -1);
  EXPECT_EQ(store_->ReadInteger("n", "big", -1), -1);
  EXPECT_EQ(store_->ReadInteger("n", "missing", 5), 5);
}

TEST_F(Ini, BooleansAreNonZeroNumbers) {
  Load("[b]\none=1\nzero=0\ntwo=2\nyes=yes\n");
  EXPECT_TRUE(store_->ReadBool("b", "one", false));
  EXPECT_FALSE(store_->ReadBool("b", "zero", true));
  EXPECT_TRUE(store_->ReadBool("b", "two", false));
  EXPECT_TRUE(store_->ReadBool("b", "yes", true));
  EXPECT_FALSE(store_->ReadBool("b", "yes", false));
  store_->WriteBool("b", "one", false);
  store_->WriteInteger("b", "n", -12);
  EXPECT_EQ(Read("b", "one"), "0");
  EXPECT_EQ(Read("b", "n"), "-12");
}

TEST(IniStrToInt, HasNoZeroXForm) {
  EXPECT_EQ(IniStrToInt("  12", -1), 12);
  EXPECT_EQ(IniStrToInt("-$10", -1), -16);
  EXPECT_EQ(IniStrToInt("0x10", -1), -1);
  EXPECT_EQ(IniStrToInt(" -0X10", -1), -1);
  EXPECT_EQ(IniStrToInt("0", -1), 0);
  EXPECT_EQ(IniStrToInt("12 ", -1), -1);
}

TEST_F(Ini, SectionListingsAppendOrReplace) {
  Load("[s]\na=1\nb=2\n[t]\nc=3\n");
  StringList names;
  names.Add("old");
  store_->ReadSection("S", names);
  store_->ReadSection("missing", names);
  EXPECT_EQ(ToStd(names.Text()), "old\r\na\r\nb\r\n");
  StringList values;
  values.Add("B=old");
  values.Add("z=9");
  store_->ReadSectionValues("s", values);
  EXPECT_EQ(ToStd(values.Text()), "b=2\r\nz=9\r\na=1\r\n");
  store_->ReadSections(values);
  EXPECT_EQ(ToStd(values.Text()), "s\r\nt\r\n");
  // Of equal names the first line is replaced, also for names the section
  // itself repeats.
  Load("[s]\nx=1\ny=2\nX=3\n");
  StringList merged;
  merged.Add("y=old");
  merged.Add("Y=twice");
  store_->ReadSectionValues("s", merged);
  EXPECT_EQ(ToStd(merged.Text()), "y=2\r\nY=twice\r\nX=3\r\n");
}

TEST_F(Ini, LinesWithoutEqualsListAsNamesWithEmptyValues) {
  TIniParseOptions options;
  options.KeysOnly = false;
  UseOptions(options);
  Load("[s]\nbare\nk=v\n");
  StringList names, values;
  store_->ReadSection("s", names);
  store_->ReadSectionValues("s", values);
  EXPECT_EQ(ToStd(names.Text()), "\r\nk\r\n");
  EXPECT_EQ(ToStd(values.Text()), "bare=\r\nk=v\r\n");
  EXPECT_EQ(Read("s", "bare"), "<none>");
}

TEST_F(Ini, DeleteKeyCreatesAMissingSectionThatIsNeverWritten) {
  Load("[s]\na=1\nb=2\n");
  store_->DeleteKey("s", "A");
  EXPECT_EQ(Dump(), "[s]|b=2||");
  EXPECT_TRUE(store_->Modified());
  store_->DeleteKey("new", "x");
  StringList sections;
  store_->ReadSections(sections);
  EXPECT_EQ(ToStd(sections.Text()), "s\r\nnew\r\n");
  EXPECT_EQ(Dump(), "[s]|b=2||");
}

TEST_F(Ini, TheKeyCursorWalksCircularly) {
  Load("[a]\nk=a\n[b]\nk=b\n[c]\nk=c\n");
  EXPECT_EQ(Read("c", "k"), "c");
  EXPECT_EQ(store_->CurrentSection(), 2);
  EXPECT_EQ(Read("b", "k"), "b");  // found after wrapping past the end
  EXPECT_EQ(store_->CurrentSection(), 1);
  EXPECT_EQ(Read("zz", "k"), "<none>");
  EXPECT_EQ(store_->CurrentSection(), 0) << "a failed walk stops just before where it began";
  store_->WriteString("d", "k", "d");
  EXPECT_EQ(store_->CurrentSection(), 3);
}

TEST_F(Ini, TheSectionCursorStartsAtTheOneFoundLast) {
  Load("[x]\nk=1\n[y]\nk=2\n[X]\nk=3\n");  // the duplicate goes at load
  StringList names;
  store_->ReadSection("y", names);
  EXPECT_EQ(store_->Sections().LastFound(), 1);
  store_->ReadSection("x", names);
  EXPECT_EQ(store_->Sections().LastFound(), 0);
  EXPECT_EQ(store_->Sections().IndexOf("nothing"), -1);
  EXPECT_EQ(store_->Sections().LastFound(), 0);
}

TEST_F(Ini, ErasingTheSectionFoundLastRestartsBothCursors) {
  Load("[a]\nk=a\n[b]\nk=b\n[c]\nk=c\n");
  EXPECT_EQ(Read("c", "k"), "c");
  StringList names;
  store_->ReadSection("c", names);
  store_->EraseSection("C");
  EXPECT_EQ(store_->CurrentSection(), 0);
  EXPECT_EQ(store_->Sections().LastFound(), 0);
  EXPECT_EQ(Read("b", "k"), "b");
  EXPECT_EQ(Read("c", "k"), "<none>");
  EXPECT_EQ(Dump(), "[a]|k=a||[b]|k=b||");
}

}  // namespace
