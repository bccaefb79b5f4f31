// Tests of text replacement in the paragraph store: how breaks split the new
// text, what happens to the paragraphs, style runs, start records and static
// format codes around the replaced range, and the bookkeeping (offsets, line
// numbers, modified and formatting ranges, buffer slack) an edit leaves.
#include "support/store/StoreTestUtil.h"
#include <ZarvMemo/platform/Exceptions.h>

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace zarv::test {
namespace {

std::string Utf8(const std::u16string& s) { return QString::fromStdU16String(s).toStdString(); }

std::vector<std::u16string> Paragraphs(const TParagraphsList& store) {
  std::vector<std::u16string> out;
  for (int32_t i = 0; i < store.Count(); ++i)
    out.push_back(store.ParString(i).toStdU16String());
  return out;
}

// "p0\r\np1\r\n..." with n paragraphs.
std::u16string NumberedText(int32_t n) {
  std::u16string t;
  for (int32_t i = 0; i < n; ++i) {
    if (i > 0)
      t += u"\r\n";
    t += u"p" + QString::number(i).toStdU16String();
  }
  return t;
}

DynInfoRec Code(int32_t offset, int32_t context, bool attrib = true) {
  DynInfoRec d;
  d.DynOffset = offset;
  d.DynStyle = static_cast<uint8_t>((attrib ? dsHasAttrib : 0) | fsBold);
  d.Context = context;
  return d;
}

void SetCodes(TParagraphsList& store, int32_t par, const std::vector<DynInfoRec>& codes) {
  SetParDyns(*store.getParPointers(par), codes);
}

// (offset, context) of every code of a paragraph.
std::vector<std::pair<int32_t, int32_t>> CodesOf(const TParagraphsList& store, int32_t par) {
  std::vector<std::pair<int32_t, int32_t>> out;
  for (const DynInfoRec& d : GetDynArray(*store.getParPointers(par)))
    out.emplace_back(d.DynOffset, d.Context);
  return out;
}

using Codes = std::vector<std::pair<int32_t, int32_t>>;

// ---- Breaks and paragraphs ----------------------------------------------------------

TEST(InsertBuf, EveryKindOfBreakEndsExactlyOneParagraph) {
  struct Case {
    std::u16string buf;
    std::vector<std::u16string> pars;
  };
  const Case cases[] = {
      {u"a\r\nb", {u"a", u"b"}},
      {u"a\n\rb", {u"a", u"b"}},
      {u"a\rb", {u"a", u"b"}},
      {u"a\nb", {u"a", u"b"}},
      {u"a\r\rb", {u"a", u"", u"b"}},
      {u"a\n\nb", {u"a", u"", u"b"}},
      {u"a\r\n\r\nb", {u"a", u"", u"b"}},
      {u"a\n\r\nb", {u"a", u"", u"b"}}, // LF CR pairs first, the LF stands alone
      {u"a\r\n\rb", {u"a", u"", u"b"}},
      {u"\r\n", {u"", u""}},
      {u"a\r", {u"a", u""}},
      {u"\nb", {u"", u"b"}},
      {u"\r\r\r", {u"", u"", u"", u""}},
  };
  for (const Case& c : cases) {
    auto store = MakeStore(u"");
    const ReplaceResult r = Replace(*store, 0, 0, c.buf);
    EXPECT_EQ(Paragraphs(*store), c.pars) << Utf8(c.buf);
    const int32_t breaks = static_cast<int32_t>(c.pars.size()) - 1;
    int32_t chars = 2 * breaks;
    for (const auto& p : c.pars)
      chars += static_cast<int32_t>(p.size());
    EXPECT_EQ(r.OffsetDelta, chars) << Utf8(c.buf);
    EXPECT_EQ(r.LineDelta, breaks) << Utf8(c.buf);
    EXPECT_EQ(r.StartPos, 0);
    EXPECT_EQ(r.StopPos, chars) << Utf8(c.buf);
    EXPECT_EQ(store->fTextLen, chars);
    EXPECT_STORE_OK(*store);
  }
}

TEST(InsertBuf, FourCharactersWithABreakIntoEmptyTextMakeTwoParagraphs) {
  auto store = MakeStore(u"");
  ASSERT_EQ(store->Count(), 1);
  TZarvNavigator a(store.get()), b(store.get());
  int32_t offsetDelta = 0, lineDelta = 0;
  bool dyns = true;
  store->InsertBuf(u"a\r\nb", a, b, false, true, offsetDelta, lineDelta, dyns);
  EXPECT_EQ(store->Count(), 2);
  EXPECT_EQ(store->fTextLen, 4);
  EXPECT_EQ(b.GetPos(), 4);
  EXPECT_EQ(b.GetParNb(), 1);
  EXPECT_EQ(b.GetOffset(), 1);
  EXPECT_EQ(a.GetPos(), 0);
  EXPECT_EQ(offsetDelta, 4);
  EXPECT_EQ(lineDelta, 1);
  EXPECT_FALSE(dyns);
  EXPECT_EQ(StoreText(*store), u"a\r\nb");
  EXPECT_TRUE(store->fModified);
  EXPECT_STORE_OK(*store);
}

TEST(InsertBuf, DeletingEverythingLeavesOneEmptyParagraph) {
  for (const std::u16string& text :
       std::vector<std::u16string>{u"x", u"abc\r\ndef", u"abc\r\n\r\n", u"\r\n\r\n\r\n", NumberedText(3000)}) {
    auto store = MakeStore(text);
    const int32_t len = store->fTextLen;
    const int32_t count = store->Count();
    const ReplaceResult r = Replace(*store, 0, len, u"");
    EXPECT_EQ(store->Count(), 1);
    EXPECT_EQ(store->fTextLen, 0);
    EXPECT_EQ(StoreText(*store), u"");
    EXPECT_EQ(GetParLength(*store->getParPointers(0)), 0);
    EXPECT_EQ(r.OffsetDelta, -len);
    EXPECT_EQ(r.LineDelta, 1 - count);
    EXPECT_EQ(r.StopPos, 0);
    EXPECT_EQ(store->fTrueLineCount, 1);
    EXPECT_EQ(store->fVisibleLineCount, 1);
    EXPECT_LE(store->Capacity(), store->ElementsPerBuffer()) << "the record chunks must be trimmed";
    EXPECT_STORE_OK(*store);
  }
}

TEST(InsertBuf, ReplacingInsideOneParagraphKeepsTheParagraphCount) {
  struct Case {
    int32_t from, to;
    std::u16string buf, text;
  };
  const std::u16string start = u"first\r\nsecond line\r\nthird";
  const Case cases[] = {
      {7, 7, u"X", u"first\r\nXsecond line\r\nthird"},     {13, 13, u"", u"first\r\nsecond line\r\nthird"},
      {18, 18, u"!!", u"first\r\nsecond line!!\r\nthird"}, {7, 18, u"2nd", u"first\r\n2nd\r\nthird"},
      {10, 14, u"", u"first\r\nsecline\r\nthird"},         {0, 5, u"1st", u"1st\r\nsecond line\r\nthird"},
      {20, 25, u"", u"first\r\nsecond line\r\n"},
  };
  for (const Case& c : cases) {
    auto store = MakeStore(start);
    const ReplaceResult r = Replace(*store, c.from, c.to, c.buf);
    EXPECT_EQ(StoreText(*store), c.text) << c.from << ".." << c.to;
    EXPECT_EQ(store->Count(), 3);
    EXPECT_EQ(r.LineDelta, 0);
    EXPECT_FALSE(r.DynsChanged);
    EXPECT_EQ(r.OffsetDelta, static_cast<int32_t>(c.text.size() - start.size()));
    EXPECT_EQ(r.StartPos, c.from);
    EXPECT_EQ(r.StopPos, c.from + static_cast<int32_t>(c.buf.size()));
    EXPECT_STORE_OK(*store);
  }
}

TEST(InsertBuf, JoiningAndSplittingParagraphsMovesTheTextAround) {
  struct Case {
    int32_t from, to;
    std::u16string buf, text;
    int32_t count;
  };
  const std::u16string start = u"ab\r\ncd\r\nef";
  const Case cases[] = {
      {2, 4, u"", u"abcd\r\nef", 2},
      {1, 9, u"", u"af", 1},
      {1, 9, u"\r\n", u"a\r\nf", 2},
      {0, 0, u"\n\n", u"\r\n\r\nab\r\ncd\r\nef", 5},
      {10, 10, u"\r", u"ab\r\ncd\r\nef\r\n", 4},
      {4, 6, u"1\r2\n3", u"ab\r\n1\r\n2\r\n3\r\nef", 5},
  };
  for (const Case& c : cases) {
    auto store = MakeStore(start);
    const ReplaceResult r = Replace(*store, c.from, c.to, c.buf);
    EXPECT_EQ(StoreText(*store), c.text) << c.from << ".." << c.to;
    EXPECT_EQ(store->Count(), c.count);
    EXPECT_EQ(r.LineDelta, c.count - 3);
    EXPECT_EQ(r.OffsetDelta, static_cast<int32_t>(c.text.size() - start.size()));
    EXPECT_EQ(store->fTrueLineCount, c.count);
    EXPECT_STORE_OK(*store);
  }
}

// ---- Long paragraphs --------------------------------------------------------------

TEST(InsertBuf, ParagraphGrownTo65535CharactersBecomesExtended) {
  auto store = MakeStore(u"ab\r\nnext");
  Replace(*store, 1, 1, std::u16string(65532, u'x'));
  EXPECT_FALSE(store->getParPointers(0)->ParState & zvpHasExtra) << "65 534 characters still fit";
  EXPECT_EQ(GetParLength(*store->getParPointers(0)), 65534);

  Replace(*store, 1, 1, u"y");
  const ParInfo& p = *store->getParPointers(0);
  EXPECT_TRUE(p.ParState & zvpHasExtra);
  EXPECT_EQ(GetParLength(p), 65535);
  EXPECT_EQ(store->ParString(0).toStdU16String(), u"ay" + std::u16string(65532, u'x') + u"b");
  EXPECT_EQ(store->getParPointers(1)->StartOffset, 65537);
  EXPECT_EQ(store->ParString(1), QStringLiteral("next"));
  EXPECT_STORE_OK(*store);
}

TEST(InsertBuf, JoiningTwoLongParagraphsMakesOneExtendedParagraph) {
  const std::u16string a(40000, u'a'), b(40000, u'b');
  auto store = MakeStore(a + u"\r\n" + b + u"\r\nz");
  EXPECT_FALSE(store->getParPointers(0)->ParState & zvpHasExtra);
  Replace(*store, 40000, 40002, u"-");
  ASSERT_EQ(store->Count(), 2);
  EXPECT_TRUE(store->getParPointers(0)->ParState & zvpHasExtra);
  EXPECT_EQ(GetParLength(*store->getParPointers(0)), 80001);
  EXPECT_EQ(StoreText(*store), a + u"-" + b + u"\r\nz");
  EXPECT_STORE_OK(*store);

  // Splitting it again yields compact paragraphs.
  Replace(*store, 40000, 40001, u"\r\n");
  EXPECT_EQ(StoreText(*store), a + u"\r\n" + b + u"\r\nz");
  EXPECT_FALSE(store->getParPointers(1)->ParState & zvpHasExtra);
  EXPECT_STORE_OK(*store);
}

// ---- Trailing blanks ---------------------------------------------------------------

TEST(InsertBuf, DiscardTrailingSpacesDropsBlanksOnlyWhereAParagraphEnds) {
  struct Case {
    const char* what;
    std::u16string text;
    int32_t from, to;
    std::u16string buf, result;
    int32_t startPos, stopPos;
  };
  const Case cases[] = {
      {"break after two spaces", u"ab  ", 4, 4, u"\r\n", u"ab\r\n", 2, 4},
      {"break between blanks and text", u"ab  cd", 4, 4, u"\r\n", u"ab\r\ncd", 2, 4},
      {"break after blanks and a tab", u"x\t \r\nyz", 3, 3, u"\r\n", u"x\r\n\r\nyz", 1, 3},
      {"paste followed by text", u"ABCD", 2, 2, u"x  \r\ny  ", u"ABx\r\ny  CD", 2, 8},
      {"paste at the paragraph end", u"AB", 2, 2, u"x  \r\ny  ", u"ABx\r\ny", 2, 6},
      {"blank typed at the end", u"AB", 2, 2, u" ", u"AB", 2, 2},
      {"blanks typed inside", u"AB", 1, 1, u"  ", u"A  B", 1, 3},
      {"text after blanks at the end", u"A  ", 3, 3, u" x\t", u"A   x", 3, 5},
      {"replacement up to the end", u"ab \r\ncd", 2, 7, u"Q \t", u"abQ", 2, 3},
      {"blank piece in the middle", u"ab", 2, 2, u"\r\n  \r\nc", u"ab\r\n\r\nc", 2, 7},
      {"deleting the last word after blanks", u"ab  x", 4, 5, u"", u"ab", 2, 2},
      {"deleting inside keeps blanks", u"ab  xy", 4, 5, u"", u"ab  y", 4, 4},
  };
  for (const Case& c : cases) {
    auto store = MakeStore(c.text);
    const ReplaceResult r = Replace(*store, c.from, c.to, c.buf, true);
    EXPECT_EQ(StoreText(*store), c.result) << c.what;
    EXPECT_EQ(r.StartPos, c.startPos) << c.what;
    EXPECT_EQ(r.StopPos, c.stopPos) << c.what;
    EXPECT_EQ(r.OffsetDelta, static_cast<int32_t>(c.result.size() - c.text.size())) << c.what;
    EXPECT_STORE_OK(*store);
  }
}

// ---- Static format ------------------------------------------------------------------

TEST(InsertBuf, CheckFormatClosesTheStylesTheEditSwitched) {
  struct Case {
    const char* what;
    std::u16string text;
    int32_t from, to;
    std::u16string buf;
    bool checkFormat;
    std::u16string result;
    int32_t stopPos;
  };
  const Case cases[] = {
      {"pasting one bold code", u"abc", 1, 1, u"\x02", true,
       u"a\x02\x02"
       u"bc",
       3},
      {"deleting one italic code",
       u"a\x01"
       u"bc",
       1, 3, u"", true,
       u"a\x01"
       u"c",
       2},
      {"no check", u"abc", 1, 1, u"\x02", false,
       u"a\x02"
       u"bc",
       2},
      {"closing order", u"abc", 0, 0, u"\x01\x02\x15\x03\x04x", true,
       u"\x01\x02\x15\x03\x04x\x15\x01\x02\x03\x04"
       u"abc",
       11},
      {"balanced paste", u"abc", 1, 1, u"\x02x\x02", true,
       u"a\x02x\x02"
       u"bc",
       4},
      {"balanced deletion",
       u"a\x02"
       u"b\x02"
       u"c",
       1, 4, u"", true, u"ac", 1},
      {"code replaced by the same code",
       u"a\x02"
       u"bc",
       1, 2, u"\x02", true,
       u"a\x02"
       u"bc",
       2},
      {"deleted and pasted codes differ",
       u"a\x15"
       u"bc",
       1, 3, u"\x03", true,
       u"a\x03\x15\x03"
       u"c",
       4},
      {"deletion across a break",
       u"ab\r\n\x01"
       u"cd",
       1, 5, u"", true,
       u"a\x01"
       u"cd",
       2},
      {"paste with a break", u"XY", 1, 1,
       u"\x02"
       u"a\r\nb",
       true,
       u"X\x02"
       u"a\r\nb\x02Y",
       7},
      {"other control characters", u"abc", 1, 1, u"\x05\x14\x16", true,
       u"a\x05\x14\x16"
       u"bc",
       4},
  };
  for (const Case& c : cases) {
    auto store = MakeStore(c.text, true);
    const ReplaceResult r = Replace(*store, c.from, c.to, c.buf, false, c.checkFormat);
    EXPECT_EQ(StoreText(*store), c.result) << c.what;
    EXPECT_EQ(r.StopPos, c.stopPos) << c.what;
    EXPECT_EQ(r.OffsetDelta, static_cast<int32_t>(c.result.size() - c.text.size())) << c.what;
    EXPECT_STORE_OK(*store);
  }
}

TEST(InsertBuf, WithoutStaticFormatCodesAreOrdinaryText) {
  auto store = MakeStore(u"a\x01"
                         u"bc",
                         false);
  Replace(*store, 1, 1, u"\x02");
  Replace(*store, 2, 4, u"");
  EXPECT_EQ(StoreText(*store), u"a\x02"
                               u"c");
  EXPECT_STORE_OK(*store);
}

TEST(InsertBuf, NewParagraphsStartWithTheStylesInForceBeforeThem) {
  auto store = MakeStore(u"ab\x15"
                         u"cd\x02"
                         u"ef\r\nlast",
                         true);
  // Break after the underline code, then after the bold code.
  Replace(*store, 3, 3, u"\r\n");
  Replace(*store, 8, 8, u"\r\n");
  ASSERT_EQ(Paragraphs(*store), (std::vector<std::u16string>{u"ab\x15", u"cd\x02", u"ef", u"last"}));
  EXPECT_EQ(GetStartAttrib(*store->getParPointers(0)), 0);
  EXPECT_EQ(GetStartAttrib(*store->getParPointers(1)), fsUnderline);
  EXPECT_EQ(GetStartAttrib(*store->getParPointers(2)), fsUnderline | fsBold);
  EXPECT_EQ(GetStartAttrib(*store->getParPointers(3)), fsUnderline | fsBold)
      << "the paragraph after the edit keeps its start";
  // A break before the first code: the new paragraph starts plain.
  Replace(*store, 1, 1, u"\r\n");
  EXPECT_EQ(GetStartAttrib(*store->getParPointers(1)), 0);
  EXPECT_EQ(GetStartAttrib(*store->getParPointers(2)), fsUnderline);
  EXPECT_STORE_OK(*store);
}

// ---- Dynamic codes -------------------------------------------------------------------

TEST(InsertBuf, CodesInsideOneParagraphAreShiftedOrRemoved) {
  struct Case {
    const char* what;
    int32_t from, to;
    std::u16string buf;
    Codes codes;
    bool dynsChanged;
  };
  // Codes at 2 (context 1), 5 (2) and 8 (3) of "abcdefghij".
  const Case cases[] = {
      {"insert between codes", 4, 4, u"XY", {{2, 1}, {7, 2}, {10, 3}}, false},
      {"insert at a code", 5, 5, u"XY", {{2, 1}, {7, 2}, {10, 3}}, false},
      {"insert at the end", 10, 10, u"XY", {{2, 1}, {5, 2}, {8, 3}}, false},
      {"replace over a code", 3, 6, u"Q", {{2, 1}, {6, 3}}, true},
      {"delete up to a code", 6, 8, u"", {{2, 1}, {5, 2}, {6, 3}}, false},
      {"delete starting at a code", 8, 9, u"", {{2, 1}, {5, 2}}, true},
      {"delete everything", 0, 10, u"", {}, true},
  };
  for (const Case& c : cases) {
    auto store = MakeStore(u"abcdefghij\r\nnext");
    SetCodes(*store, 0, {Code(2, 1), Code(5, 2), Code(8, 3)});
    const ReplaceResult r = Replace(*store, c.from, c.to, c.buf);
    EXPECT_EQ(CodesOf(*store, 0), c.codes) << c.what;
    EXPECT_EQ(r.DynsChanged, c.dynsChanged) << c.what;
    EXPECT_EQ(r.LineDelta, 0) << c.what;
    EXPECT_STORE_OK(*store);
  }
}

TEST(InsertBuf, CodesAcrossParagraphsStayWithTheirText) {
  struct Case {
    const char* what;
    int32_t from, to;
    std::u16string buf;
    std::vector<Codes> codes; // per paragraph after the edit
    bool dynsChanged;
  };
  // "abcdef" codes at 1 (1) and 4 (2); "ghijkl" at 3 (3); "mnopqr" at 2 (4) and 5 (5).
  const Case cases[] = {
      {"replace from the first into the last", 3, 19, u"X\r\nY", {{{1, 1}}, {{3, 5}}}, true},
      {"join the first two", 6, 8, u"", {{{1, 1}, {4, 2}, {9, 3}}, {{2, 4}, {5, 5}}}, false},
      {"join with text between", 6, 8, u"++", {{{1, 1}, {4, 2}, {11, 3}}, {{2, 4}, {5, 5}}}, false},
      {"split before a code", 10, 10, u"\r\n", {{{1, 1}, {4, 2}}, {}, {{1, 3}}, {{2, 4}, {5, 5}}}, false},
      {"delete a middle paragraph", 6, 14, u"", {{{1, 1}, {4, 2}}, {{2, 4}, {5, 5}}}, true},
      {"delete from before the last code", 20, 22, u"\r\n", {{{1, 1}, {4, 2}}, {{3, 3}}, {{2, 4}}, {}}, true},
  };
  for (const Case& c : cases) {
    auto store = MakeStore(u"abcdef\r\nghijkl\r\nmnopqr");
    SetCodes(*store, 0, {Code(1, 1), Code(4, 2)});
    SetCodes(*store, 1, {Code(3, 3)});
    SetCodes(*store, 2, {Code(2, 4), Code(5, 5)});
    const ReplaceResult r = Replace(*store, c.from, c.to, c.buf);
    ASSERT_EQ(store->Count(), static_cast<int32_t>(c.codes.size())) << c.what;
    for (int32_t i = 0; i < store->Count(); ++i)
      EXPECT_EQ(CodesOf(*store, i), c.codes[static_cast<size_t>(i)]) << c.what << ", paragraph " << i;
    EXPECT_EQ(r.DynsChanged, c.dynsChanged) << c.what;
    EXPECT_STORE_OK(*store);
  }
}

TEST(InsertBuf, NewParagraphsAfterASplitShareOneStartRecord) {
  struct Case {
    const char* what;
    int32_t at;
    int32_t context;    // of the start record of the new paragraphs
    int32_t references; // of that record; 0 for the default record
    int64_t extraLive;  // heap start records besides the first paragraph's
  };
  // "abcdefgh" starts in run 50 and has codes at 3 (run 60, with attributes)
  // and 5 (a plain code that ends the run).
  const Case cases[] = {
      {"before the first code", 1, 50, 3, 0},
      {"at the first code", 3, 50, 3, 0},
      {"after a code with attributes", 4, 60, 2, 1},
      {"after a plain code", 6, 0, 0, 0},
  };
  const int64_t live = LiveStartRecords();
  for (const Case& c : cases) {
    {
      auto store = MakeStore(u"abcdefgh\r\nrest");
      DynInfoRec run = Code(0, 50);
      SetStartDynAttrib(*store->getParPointers(0), &run, true);
      SetCodes(*store, 0, {Code(3, 60), Code(5, 61, false)});
      DynInfoRec* first = GetStartDynAttrib(*store->getParPointers(0));

      Replace(*store, c.at, c.at, u"1\r\n2\r\n3");
      ASSERT_EQ(store->Count(), 4);
      EXPECT_EQ(GetStartDynAttrib(*store->getParPointers(0)), first) << c.what;
      DynInfoRec* shared = GetStartDynAttrib(*store->getParPointers(1));
      EXPECT_EQ(GetStartDynAttrib(*store->getParPointers(2)), shared) << c.what;
      EXPECT_EQ(shared->Context, c.context) << c.what;
      if (c.references == 0) {
        EXPECT_EQ(shared, DefaultDynInfo()) << c.what;
      } else {
        EXPECT_EQ(shared->DynOffset, c.references) << c.what;
      }
      EXPECT_EQ(GetStartDynAttrib(*store->getParPointers(3)), DefaultDynInfo()) << c.what;
      EXPECT_EQ(LiveStartRecords(), live + 1 + c.extraLive) << c.what;
      EXPECT_STORE_OK(*store);
    }
    EXPECT_EQ(LiveStartRecords(), live) << c.what << ": the store must release its start records";
  }
}

TEST(InsertBuf, DeletingParagraphsReleasesTheirStartRecords) {
  const int64_t live = LiveStartRecords();
  auto store = MakeStore(NumberedText(6));
  DynInfoRec run = Code(0, 9);
  SetStartDynAttrib(*store->getParPointers(1), &run, true);
  DynInfoRec* shared = GetStartDynAttrib(*store->getParPointers(1));
  for (int32_t i = 2; i < 5; ++i)
    SetStartDynAttrib(*store->getParPointers(i), shared, false);
  EXPECT_EQ(shared->DynOffset, 4);

  // Remove paragraphs 2 and 3 completely.
  Replace(*store, store->getParPointers(1)->StartOffset + 2, store->getParPointers(3)->StartOffset + 2, u"");
  EXPECT_EQ(StoreText(*store), u"p0\r\np1\r\np4\r\np5");
  EXPECT_EQ(shared->DynOffset, 2);
  EXPECT_EQ(GetStartDynAttrib(*store->getParPointers(2)), shared);
  EXPECT_STORE_OK(*store);

  Replace(*store, 0, store->fTextLen, u"");
  EXPECT_EQ(LiveStartRecords(), live);
}

// ---- Display lines of an extended paragraph -------------------------------------------

// Gives paragraph `par` the display lines `spans` (start, stop) and keeps the
// store's line numbers consistent. Line `justified` gets JustifyStart 2 past its start.
void SetLines(TParagraphsList& store, int32_t par, const std::vector<std::pair<int32_t, int32_t>>& spans,
              int justified) {
  ParInfo& p = *store.getParPointers(par);
  const int32_t len = GetParLength(p);
  const int32_t before = GetLineCount(p);
  SetParExtras(p);
  std::vector<LineInfo> lines;
  for (size_t i = 0; i < spans.size(); ++i) {
    LineInfo l;
    l.Start = spans[i].first;
    l.Stop = spans[i].second;
    l.LineWidth = l.TotalWidth = 10 * (l.Stop - l.Start);
    l.JustifyStart = static_cast<int>(i) == justified ? l.Start + 2 : len;
    lines.push_back(l);
  }
  p.ParExtra->FirstLine = lines[0];
  p.ParExtra->Lines.assign(lines.begin() + 1, lines.end());
  const int32_t delta = static_cast<int32_t>(spans.size()) - before;
  store.UpdateLines(par + 1, delta);
  store.fTrueLineCount += delta;
  store.fVisibleLineCount += delta;
}

std::vector<std::pair<int32_t, int32_t>> LinesOf(const TParagraphsList& store, int32_t par) {
  const ParInfo& p = *store.getParPointers(par);
  std::vector<std::pair<int32_t, int32_t>> out{{GetFirstLine(p).Start, GetFirstLine(p).Stop}};
  if (p.ParState & zvpHasExtra)
    for (const LineInfo& l : p.ParExtra->Lines)
      out.emplace_back(l.Start, l.Stop);
  return out;
}

TEST(InsertBuf, EditInsideAWrappedParagraphMovesItsDisplayLines) {
  struct Case {
    const char* what;
    int32_t from, to;
    std::u16string buf;
    std::vector<std::pair<int32_t, int32_t>> lines;
    int32_t justifyLast; // JustifyStart of the last line afterwards
  };
  // "aaaa bbbb cccc dddd" wrapped as [0,5) [5,10) [10,15) [15,19); the last
  // line is justified from 17.
  const Case cases[] = {
      {"insert inside a line", 7, 7, u"XY", {{0, 5}, {5, 12}, {12, 17}, {17, 21}}, 19},
      {"insert at a wrap point", 5, 5, u"Q", {{0, 5}, {5, 11}, {11, 16}, {16, 20}}, 18},
      // Across lines, the start line takes all the changed text up to the
      // stop line's end and the lines between become empty, so that an
      // incremental re-wrap from the start line never keeps a changed line.
      {"delete across lines", 3, 12, u"", {{0, 6}, {6, 6}, {6, 6}, {6, 10}}, 8},
      {"replace across lines", 3, 12, u"1234", {{0, 10}, {10, 10}, {10, 10}, {10, 14}}, 12},
  };
  for (const Case& c : cases) {
    auto store = MakeStore(u"aaaa bbbb cccc dddd\r\nnext");
    SetLines(*store, 0, {{0, 5}, {5, 10}, {10, 15}, {15, 19}}, 3);
    ASSERT_STORE_OK(*store);
    store->fNoCompleteFormat = false;
    const ReplaceResult r = Replace(*store, c.from, c.to, c.buf);
    EXPECT_EQ(LinesOf(*store, 0), c.lines) << c.what;
    EXPECT_EQ(store->getParPointers(0)->ParExtra->Lines.back().JustifyStart, c.justifyLast) << c.what;
    EXPECT_EQ(r.LineDelta, 0) << c.what;
    EXPECT_TRUE(store->fNoCompleteFormat) << c.what << ": only this paragraph needs re-wrapping";
    EXPECT_EQ(store->getParPointers(1)->StartLine, 4);
    EXPECT_STORE_OK(*store);
  }
}

TEST(InsertBuf, RemovingACodeFromAWrappedParagraphDropsItsLaterLines) {
  auto store = MakeStore(u"aaaa bbbb cccc dddd\r\nnext");
  SetLines(*store, 0, {{0, 5}, {5, 10}, {10, 15}, {15, 19}}, -1);
  SetCodes(*store, 0, {Code(12, 1)});
  store->getParPointers(0)->ParExtra->Lines[2].StartDynNb = 1; // the last line starts after the code
  ASSERT_STORE_OK(*store);

  const ReplaceResult r = Replace(*store, 6, 13, u"");
  EXPECT_TRUE(r.DynsChanged);
  EXPECT_EQ(LinesOf(*store, 0), (std::vector<std::pair<int32_t, int32_t>>{{0, 5}, {5, 12}}));
  EXPECT_EQ(r.LineDelta, -2);
  EXPECT_EQ(store->fTrueLineCount, 3);
  EXPECT_EQ(store->fVisibleLineCount, 3);
  EXPECT_EQ(store->getParPointers(1)->StartLine, 2);
  EXPECT_FALSE(store->fNoCompleteFormat);
  EXPECT_STORE_OK(*store);
}

// ---- Paragraph state and folding --------------------------------------------------------

TEST(InsertBuf, NewParagraphsInheritOnlyTheFlagsThatBelongToTheirPosition) {
  auto store = MakeStore(u"abc\r\nz");
  store->getParPointers(0)->ParState |= zvpNoWrap | zvpSSDone | zvpKeywDone | zvpFormatted;
  Replace(*store, 1, 1, u"x\r\ny");
  const TParStates first = store->getParPointers(0)->ParState;
  const TParStates second = store->getParPointers(1)->ParState;
  EXPECT_EQ(first & (zvpNoWrap | zvpSSDone | zvpKeywDone | zvpFormatted | zvpOwnTextBuffer),
            zvpNoWrap | zvpSSDone | zvpKeywDone | zvpOwnTextBuffer);
  EXPECT_EQ(second & (zvpNoWrap | zvpSSDone | zvpKeywDone | zvpFormatted | zvpOwnTextBuffer), zvpOwnTextBuffer);
  EXPECT_STORE_OK(*store);
}

TEST(InsertBuf, DeletingTheStartOfABlockHandsTheBlockStartToTheNextParagraph) {
  // Paragraphs 1..3 form one block.
  auto store = MakeStore(u"p0\r\np1\r\np2\r\np3\r\np4");
  store->getParPointers(1)->BlockState = zvbLevel1 | zvbStartBlock;
  store->getParPointers(2)->BlockState = zvbLevel1;
  store->getParPointers(3)->BlockState = zvbLevel1 | zvbEndBlock;
  ASSERT_STORE_OK(*store);
  store->fModStartPar = 0;
  store->fModStopPar = -1;

  Replace(*store, 1, 9, u""); // "p0" .. "p2": keeps "p" and "2"
  EXPECT_EQ(Paragraphs(*store), (std::vector<std::u16string>{u"p2", u"p3", u"p4"}));
  EXPECT_EQ(zvsGetParLevel(*store->getParPointers(0)), 0);
  EXPECT_EQ(zvsGetParBlockEndLevel(*store->getParPointers(0)), 0);
  const ParInfo& next = *store->getParPointers(1);
  EXPECT_EQ(zvsGetParLevel(next), 1);
  EXPECT_EQ(zvsGetParBlockStartLevel(next), 0) << "the rest of the block must start here";
  EXPECT_EQ(zvsGetParBlockEndLevel(next), 0);
  EXPECT_EQ(store->fModStartPar, 0);
  EXPECT_EQ(store->fModStopPar, 1) << "the paragraph that became a block start is modified too";
  EXPECT_STORE_OK(*store);
}

TEST(InsertBuf, JoiningParagraphsOfABlockKeepsItsStartAndEnd) {
  auto store = MakeStore(u"p0\r\np1\r\np2\r\np3\r\np4");
  store->getParPointers(1)->BlockState = zvbLevel1 | zvbStartBlock;
  store->getParPointers(2)->BlockState = zvbLevel1;
  store->getParPointers(3)->BlockState = zvbLevel1 | zvbEndBlock;

  Replace(*store, 5, 13, u"+"); // "p" of p1 .. "3" of p3
  EXPECT_EQ(Paragraphs(*store), (std::vector<std::u16string>{u"p0", u"p+3", u"p4"}));
  const ParInfo& joined = *store->getParPointers(1);
  EXPECT_EQ(zvsGetParLevel(joined), 1);
  EXPECT_EQ(zvsGetParBlockStartLevel(joined), 0);
  EXPECT_EQ(zvsGetParBlockEndLevel(joined), 0);
  EXPECT_STORE_OK(*store);

  // A break inside the block: the first half starts it, the second ends it.
  Replace(*store, 6, 6, u"\r\n");
  EXPECT_EQ(zvsGetParBlockStartLevel(*store->getParPointers(1)), 0);
  EXPECT_EQ(zvsGetParBlockEndLevel(*store->getParPointers(1)), 1);
  EXPECT_EQ(zvsGetParBlockStartLevel(*store->getParPointers(2)), 1);
  EXPECT_EQ(zvsGetParBlockEndLevel(*store->getParPointers(2)), 0);
  EXPECT_STORE_OK(*store);
}

// ---- Offsets and lines across chunks ---------------------------------------------------

TEST(InsertBuf, UpdateOffsetsAndLinesShiftEveryLaterParagraphExactlyOnce) {
  const int32_t per = TParagraphsList().ElementsPerBuffer();
  const int32_t count = 2 * per + per / 2;
  auto store = MakeStore(NumberedText(count));
  ASSERT_EQ(store->Count(), count);
  std::vector<int32_t> offsets, lines;
  for (int32_t i = 0; i < count; ++i) {
    offsets.push_back(store->getParPointers(i)->StartOffset);
    lines.push_back(store->getParPointers(i)->StartLine);
  }
  enum Op { Offsets, Lines, Both };
  for (Op op : {Offsets, Lines, Both})
    for (int32_t from : {0, 1, per - 1, per, per + 1, 2 * per, count - 1, count, count + 5}) {
      switch (op) {
      case Offsets:
        store->UpdateOffsets(from, 7);
        break;
      case Lines:
        store->UpdateLines(from, -3);
        break;
      case Both:
        store->UpdateOffsetsLines(from, 7, -3);
        break;
      }
      for (int32_t i = 0; i < count; ++i) {
        const bool moved = i >= from;
        const ParInfo& p = *store->getParPointers(i);
        ASSERT_EQ(p.StartOffset, offsets[static_cast<size_t>(i)] + (moved && op != Lines ? 7 : 0))
            << "op " << op << " from " << from << " paragraph " << i;
        ASSERT_EQ(p.StartLine, lines[static_cast<size_t>(i)] + (moved && op != Offsets ? -3 : 0))
            << "op " << op << " from " << from << " paragraph " << i;
      }
      // Undo the shift for the next round.
      switch (op) {
      case Offsets:
        store->UpdateOffsets(from, -7);
        break;
      case Lines:
        store->UpdateLines(from, 3);
        break;
      case Both:
        store->UpdateOffsetsLines(from, -7, 3);
        break;
      }
    }
  EXPECT_STORE_OK(*store);
}

TEST(InsertBuf, EditsNearAChunkBoundaryKeepEveryLaterOffsetAndLine) {
  const int32_t per = TParagraphsList().ElementsPerBuffer();
  auto store = MakeStore(NumberedText(3 * per));
  std::u16string model = NumberedText(3 * per);
  struct Step {
    int32_t par, offset, toPar, toOffset;
    std::u16string buf;
  };
  const Step steps[] = {
      {per - 1, 1, per - 1, 1, u"growing"},      // last record of the first chunk
      {per - 2, 0, per - 2, 0, u"\r\n\r\n\r\n"}, // pushes records into the next chunk
      {per - 3, 1, per + 5, 1, u""},             // pulls them back
      {2 * per, 0, 2 * per, 0, u"x\r\ny"},       // start of the third chunk
      {0, 1, 2 * per, 0, u"-"},                  // removes more than a chunk of paragraphs
  };
  for (const Step& s : steps) {
    const int32_t from = store->getParPointers(s.par)->StartOffset + s.offset;
    const int32_t to = store->getParPointers(s.toPar)->StartOffset + s.toOffset;
    Replace(*store, from, to, s.buf);
    model.replace(static_cast<size_t>(from), static_cast<size_t>(to - from), s.buf);
    ASSERT_STORE_OK(*store);
    ASSERT_TRUE(StoreText(*store) == model) << "after replacing " << from << ".." << to;
  }
}

// ---- Modified and formatting ranges ----------------------------------------------------

TEST(InsertBuf, ExtendModsWidensTheModifiedRange) {
  struct State {
    int32_t startPar, stopPar, startLine, lastParsed;
  };
  struct Case {
    const char* what;
    State before;
    int32_t startPar, lineInPar, stopPar;
    State after;
  };
  const Case cases[] = {
      {"empty range", {0, -1, 0, -1}, 3, 0, 5, {3, 5, 3, -1}},
      {"empty range, line inside the paragraph", {5, 2, 7, 9}, 4, 1, 6, {4, 6, 5, 3}},
      {"inside the range", {2, 4, 2, 1}, 3, 0, 6, {2, 6, 2, 1}},
      {"before the range", {4, 6, 4, 8}, 2, 0, 3, {2, 6, 2, 1}},
      {"an earlier line stays", {2, 4, 1, -1}, 2, 0, 2, {2, 4, 1, -1}},
      {"parsing resumes before the change", {3, 3, 3, 3}, 3, 0, 3, {3, 3, 3, 2}},
  };
  for (const Case& c : cases) {
    auto store = MakeStore(NumberedText(10));
    store->fModStartPar = c.before.startPar;
    store->fModStopPar = c.before.stopPar;
    store->fModStartLine = c.before.startLine;
    store->fLastStartStopParsed = c.before.lastParsed;
    store->fNoCompleteFormat = true;
    store->ExtendMods(c.startPar, c.lineInPar, c.stopPar);
    EXPECT_EQ(store->fModStartPar, c.after.startPar) << c.what;
    EXPECT_EQ(store->fModStopPar, c.after.stopPar) << c.what;
    EXPECT_EQ(store->fModStartLine, c.after.startLine) << c.what;
    EXPECT_EQ(store->fLastStartStopParsed, c.after.lastParsed) << c.what;
    EXPECT_FALSE(store->fNoCompleteFormat) << c.what;
  }
}

TEST(InsertBuf, AnEditReportsTheParagraphsItTouched) {
  struct Case {
    const char* what;
    int32_t par, offset, deleteChars;
    std::u16string buf;
    int32_t modStart, modStop, linesOffset;
  };
  // Paragraphs "p0".."p9", each one line.
  const Case cases[] = {
      {"typing", 4, 1, 0, u"x", 4, 4, 0},
      {"break", 4, 1, 0, u"\r\n", 4, 5, 1},
      {"three breaks", 0, 0, 0, u"\r\r\r", 0, 3, 3},
      {"join", 4, 2, 2, u"", 4, 4, -1},
      {"delete paragraphs", 2, 1, 16, u"", 2, 2, -4},
      {"delete up to the end", 7, 0, 10, u"a\r\nb", 7, 8, -1},
  };
  for (const Case& c : cases) {
    auto store = MakeStore(NumberedText(10));
    store->fModStartPar = 0;
    store->fModStopPar = -1;
    store->fModLinesOffset = 0;
    store->fModified = false;
    store->fLastStartStopParsed = 9;
    const int32_t pos = store->getParPointers(c.par)->StartOffset + c.offset;
    Replace(*store, pos, pos + c.deleteChars, c.buf);
    EXPECT_TRUE(store->fModified) << c.what;
    EXPECT_EQ(store->fModStartPar, c.modStart) << c.what;
    EXPECT_EQ(store->fModStopPar, c.modStop) << c.what;
    EXPECT_EQ(store->fModStartLine, c.modStart) << c.what;
    EXPECT_EQ(store->fModLinesOffset, c.linesOffset) << c.what;
    EXPECT_EQ(store->fLastStartStopParsed, c.par - 1) << c.what;
    EXPECT_STORE_OK(*store);
  }
}

TEST(InsertBuf, TheFormattingRangeFollowsTheParagraphs) {
  struct Case {
    const char* what;
    int32_t updateStart, updateStop;
    bool split; // insert three breaks into paragraph 3; else delete from 3 into 5
    int32_t start, stop;
  };
  const Case cases[] = {
      {"nothing pending, deletion", 0, -1, false, 0, 3},
      {"starting inside the deleted range", 4, 9, false, 3, 7},
      {"after the deleted range", 7, 8, false, 5, 6},
      {"ending inside the deleted range", 3, 5, false, 3, 3},
      {"before the deleted range", 1, 2, false, 1, 3},
      {"nothing pending, split", 2, -1, true, 2, 6},
      {"after the split", 5, 6, true, 8, 9},
      {"up to the split", 0, 3, true, 0, 6},
  };
  for (const Case& c : cases) {
    auto store = MakeStore(NumberedText(10));
    store->fUpdateStartPar = c.updateStart;
    store->fUpdateStopPar = c.updateStop;
    const int32_t p3 = store->getParPointers(3)->StartOffset;
    if (c.split)
      Replace(*store, p3 + 1, p3 + 1, u"a\r\nb\r\nc\r\nd");
    else
      Replace(*store, p3 + 1, store->getParPointers(5)->StartOffset + 1, u"X");
    EXPECT_EQ(store->fUpdateStartPar, c.start) << c.what;
    EXPECT_EQ(store->fUpdateStopPar, c.stop) << c.what;
  }
}

// ---- Buffers -----------------------------------------------------------------------------

TEST(InsertBuf, OwnBuffersKeepSlackAndShrinkWhenAnEighthIsUnused) {
  struct Step {
    int32_t at, deleteChars, insertChars;
    int32_t capacity;
  };
  // A 640-character paragraph loaded into a shared buffer.
  const Step steps[] = {
      {0, 0, 1, 652},   // copied out (641), then grown to 641 + 10 + 1
      {0, 0, 1, 652},   // fits
      {0, 200, 0, 449}, // 442 characters: more than an eighth unused, shrink to 442 + 6 + 1
      {0, 10, 0, 449},  // 432 + 54 > 449: kept
      {0, 0, 20, 460},  // 452 does not fit: 452 + 7 + 1
  };
  auto store = MakeStore(std::u16string(640, u'a') + u"\r\nz");
  EXPECT_FALSE(store->getParPointers(0)->ParState & zvpOwnTextBuffer);
  std::u16string expected(640, u'a');
  for (const Step& s : steps) {
    Replace(*store, s.at, s.at + s.deleteChars, std::u16string(static_cast<size_t>(s.insertChars), u'b'));
    expected.replace(static_cast<size_t>(s.at), static_cast<size_t>(s.deleteChars),
                     std::u16string(static_cast<size_t>(s.insertChars), u'b'));
    const ParInfo& p = *store->getParPointers(0);
    EXPECT_TRUE(p.ParState & zvpOwnTextBuffer);
    EXPECT_EQ(zvStrBufSize(p.ParText), s.capacity) << "length " << expected.size();
    EXPECT_EQ(store->ParString(0).toStdU16String(), expected);
  }
  EXPECT_STORE_OK(*store);
}

TEST(InsertBuf, ParagraphsBuiltFromPiecesGetBuffersWithSlack) {
  auto store = MakeStore(std::u16string(640, u'a'));
  Replace(*store, 320, 320, u"\r\n" + std::u16string(128, u'b') + u"\r\n");
  ASSERT_EQ(store->Count(), 3);
  EXPECT_EQ(zvStrBufSize(store->getParPointers(0)->ParText), 320 + 5 + 1);
  EXPECT_EQ(zvStrBufSize(store->getParPointers(1)->ParText), 128 + 2 + 1);
  EXPECT_EQ(zvStrBufSize(store->getParPointers(2)->ParText), 320 + 5 + 1);
  for (int32_t i = 0; i < 3; ++i)
    EXPECT_TRUE(store->getParPointers(i)->ParState & zvpOwnTextBuffer);
  EXPECT_STORE_OK(*store);
}

// ---- Store lifecycle and access ------------------------------------------------------------

TEST(InsertBuf, RecordAccessOutsideTheParagraphsRaisesListIndexOutOfBounds) {
  auto store = MakeStore(u"a\r\nb");
  for (int32_t i : {-1, 2, 1000}) {
    try {
      store->getParPointers(i);
      ADD_FAILURE() << i;
    } catch (const ERangeError& e) {
      EXPECT_EQ(e.message(), QStringLiteral("List index out of bounds"));
    }
  }
  EXPECT_STORE_OK(*store);
}

TEST(InsertBuf, CleanUpReleasesEverythingAndKeepsOneChunk) {
  const int64_t live = LiveStartRecords();
  auto store = MakeStore(NumberedText(5000));
  DynInfoRec run = Code(0, 4);
  SetStartDynAttrib(*store->getParPointers(10), &run, true);
  SetStartDynAttrib(*store->getParPointers(11), GetStartDynAttrib(*store->getParPointers(10)), false);
  SetCodes(*store, 12, {Code(1, 5)});
  Replace(*store, 3, 3, u"typed");
  store->CleanUp();
  EXPECT_EQ(store->Count(), 0);
  EXPECT_EQ(store->Capacity(), store->ElementsPerBuffer());
  EXPECT_EQ(store->fTextLen, 0);
  EXPECT_EQ(store->fTrueLineCount, 0);
  EXPECT_EQ(store->fVisibleLineCount, 0);
  EXPECT_EQ(store->fUpdateStopPar, -1);
  EXPECT_TRUE(store->fBufferList.empty());
  EXPECT_EQ(LiveStartRecords(), live);
}

TEST(InsertBuf, MarkUnformattedClearsTheFlagEverywhereAndSchedulesEverything) {
  auto store = MakeStore(NumberedText(3000));
  for (int32_t i = 0; i < store->Count(); i += 7)
    store->getParPointers(i)->ParState |= zvpFormatted | zvpSSDone;
  store->MarkUnformatted();
  for (int32_t i = 0; i < store->Count(); ++i) {
    ASSERT_FALSE(store->getParPointers(i)->ParState & zvpFormatted) << i;
    if (i % 7 == 0) {
      ASSERT_TRUE(store->getParPointers(i)->ParState & zvpSSDone) << i;
    }
  }
  EXPECT_EQ(store->fUpdateStartPar, 0);
  EXPECT_EQ(store->fUpdateStopPar, 2999);
}

} // namespace
} // namespace zarv::test
