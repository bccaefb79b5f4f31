// More of the highlighting pass: the range operation SetDynStyleP on its
// own, keyword batching, case folding in every upper-case mode, masking by
// earlier keywords and by ranges, a highlighter plugged into the pass, the
// highlighter's links with its controls, code equivalence, navigator
// invalidation, and the keyword pass run by line formatting.
//
// Expected runs are written as one character per text character: '.' for
// text without a context, else the context number of the run in force.
#include "PinnedFont.h"
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/highlight/Highlighter.h>
#include <ZarvMemo/support/highlight/UpperCase.h>
#include <ZarvMemo/support/layout/LineFormat.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace zarv;

namespace {

// The contexts of paragraph p, one character per text character.
std::string Contexts(TZarvMemo& memo, int32_t p) {
  const ParInfo& par = *memo.Paragraphs().Par(p);
  TZarvNavigator n(&memo.Paragraphs());
  n.AttachMemo(&memo);
  std::string out;
  for (int32_t off = 0; off < GetParLength(par); ++off) {
    n.SetParPos(p, off);
    n.RightOfDyn();
    const int32_t c = DynToContext(*n.GetpDynInfo());
    out += c == 0 ? '.' : static_cast<char>('0' + c);
  }
  return out;
}

// The run in force for the character at `off` of paragraph `p`.
DynInfoRec RunAt(TZarvMemo& memo, int32_t p, int32_t off) {
  TZarvNavigator n(&memo.Paragraphs());
  n.AttachMemo(&memo);
  n.SetParPos(p, off);
  n.RightOfDyn();
  return *n.GetpDynInfo();
}

DynInfoRec StyleRun(int32_t context, uint8_t style = fsBold) {
  DynInfoRec d;
  d.DynStyle = style;
  d.Context = context;
  return d;
}

void AddKeyword(TZarvMemo& memo, const char* word, int32_t context, TWordOptions options = woMatchCase) {
  memo.Keywords().AddKeyWord(QString::fromUtf8(word), options, fsBold, context, 0, clNone, clNone);
}

// A highlighter with one range of its own, "<<" to ">>", numbered after the
// control's start-stop keys. It records the key counts the pass gives it.
class TAngleHighlighter : public TZarvHighlighter {
public:
  static constexpr int32_t kContext = 4;
  // Number the range like one of the control's own keys (top bit set),
  // beyond the control's list.
  bool OwnBit = false;
  std::vector<int32_t> KeywordCounts, StartCounts, StopCounts;
  std::vector<int32_t> ClosedIn; // paragraphs where a range was closed

  void ApplyKeywordsList(TZarvNavigator&, TZarvNavigator&, int32_t KeyCount) override {
    KeywordCounts.push_back(KeyCount);
  }

  bool FindStart(TZarvNavigator& A, TZarvNavigator& C, int32_t KeyCount) override {
    StartCounts.push_back(KeyCount);
    const int32_t p = A.GetParNb();
    const int32_t m = find(A, C, u"<<");
    if (m < 0)
      return false;
    TZarvNavigator at(A.List());
    at.AttachMemo(A.Memo());
    at.SetParPos(p, m);
    at.RightOfDyn();
    DynInfoRec run = *at.GetpDynInfo();
    run.Level = static_cast<int8_t>(DynToLevel(run) + 1);
    run.DynStyle = fsUnderline | dsHasLevel | dsHasAttrib;
    run.KeyIndex[run.Level] = static_cast<int16_t>(OwnBit ? (KeyCount | 0x8000) : KeyCount);
    run.Context = kContext;
    run.SS.StartKlen = run.SS.StopKLen = 2;
    at.AddDyn(run);
    return moveAfter(A, C, p, m + 2);
  }

  bool FindStop(TZarvNavigator& A, TZarvNavigator& C, int32_t KeyCount) override {
    StopCounts.push_back(KeyCount);
    const int32_t p = A.GetParNb();
    const int32_t m = find(A, C, u">>");
    if (m < 0)
      return false;
    // Ranges of this highlighter open on plain text only.
    TZarvNavigator at(A.List());
    at.AttachMemo(A.Memo());
    at.SetParPos(p, m + 2);
    at.AddDyn(*DefaultDynInfo());
    ClosedIn.push_back(p);
    return moveAfter(A, C, p, m + 2);
  }

private:
  // A key starting between A and C.
  static int32_t find(TZarvNavigator& A, TZarvNavigator& C, const char16_t* key) {
    const int32_t p = A.GetParNb();
    const QString text = A.List()->ParString(p);
    const int32_t end = C.GetParNb() == p ? C.GetOffset() : static_cast<int32_t>(text.size());
    const int32_t m = static_cast<int32_t>(text.indexOf(QString::fromUtf16(key), A.GetOffset()));
    return m >= 0 && m < end ? m : -1;
  }
  static bool moveAfter(TZarvNavigator& A, TZarvNavigator& C, int32_t p, int32_t off) {
    A.ForgetIndexes();
    C.ForgetIndexes();
    C.SetParPos(p, off);
    C.RightOfDyn();
    return true;
  }
};

// Restores the process-wide user folding when a test ends.
struct TUserUpperCaseGuard {
  TzvUpperCaseProc Saved = UserUpperCaseProc;
  ~TUserUpperCaseGuard() { UserUpperCaseProc = Saved; }
};

// Folds a..z and drops the acute accent of e and E.
void FoldWithoutAccents(char16_t* t) {
  for (; *t; ++t) {
    if (*t >= u'a' && *t <= u'z')
      *t = static_cast<char16_t>(*t - 32);
    else if (*t == u'é' || *t == u'É')
      *t = u'E';
  }
}

} // namespace

// ---- SetDynStyleP ---------------------------------------------------------------

namespace {

const QString kFourDigitLines = QStringLiteral("0123456789\r\n0123456789\r\n0123456789\r\n0123456789");

void Style(TZarvMemo& memo, int32_t p1, int32_t o1, int32_t p2, int32_t o2, const DynInfoRec& d, bool apply,
           bool extendMods = false) {
  TZarvNavigator a(&memo.Paragraphs()), b(&memo.Paragraphs());
  a.SetParPos(p1, o1);
  b.SetParPos(p2, o2);
  SetDynStyleP(memo.Paragraphs(), a, b, d, apply, extendMods);
}

} // namespace

TEST(StyleRange, ARunAcrossThreeParagraphsSharesOneStartRecordAndTheTextAfterKeepsItsStyle) {
  const int64_t liveBefore = LiveStartRecords();
  for (const bool reversed : {false, true}) {
    SCOPED_TRACE(reversed ? "navigators in reverse order" : "navigators in order");
    TZarvMemo memo;
    memo.SetTextBuf(kFourDigitLines);
    // The inner run from (0, 5) to (2, 4), given by navigators in either order.
    auto inner = [&](bool apply) {
      if (reversed)
        Style(memo, 2, 4, 0, 5, StyleRun(9), apply);
      else
        Style(memo, 0, 5, 2, 4, StyleRun(9), apply);
    };
    Style(memo, 0, 2, 3, 8, StyleRun(5), true);
    inner(true);
    EXPECT_EQ(Contexts(memo, 0), "..55599999");
    EXPECT_EQ(Contexts(memo, 1), "9999999999");
    EXPECT_EQ(Contexts(memo, 2), "9999555555");
    EXPECT_EQ(Contexts(memo, 3), "55555555..");
    const ParInfo& p1 = *memo.Paragraphs().Par(1);
    const ParInfo& p2 = *memo.Paragraphs().Par(2);
    EXPECT_EQ(GetStartDynAttrib(p1), GetStartDynAttrib(p2)) << "one shared start record";
    EXPECT_EQ(GetStartDynAttrib(p1)->Context, 9);
    EXPECT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());

    // Removing styling leaves the range plain; the text after keeps its run.
    inner(false);
    EXPECT_EQ(Contexts(memo, 0), "..555.....");
    EXPECT_EQ(Contexts(memo, 1), "..........");
    EXPECT_EQ(Contexts(memo, 2), "....555555");
    EXPECT_EQ(Contexts(memo, 3), "55555555..");
    EXPECT_EQ(GetStartDynAttrib(p1), DefaultDynInfo());
    EXPECT_EQ(GetStartDynAttrib(p2), DefaultDynInfo());
    EXPECT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
  }
  EXPECT_EQ(LiveStartRecords(), liveBefore) << "start records leaked";
}

TEST(StyleRange, ApplyingAndRemovingARunOnPlainTextLeavesItPlain) {
  const int64_t liveBefore = LiveStartRecords();
  TZarvMemo memo;
  memo.SetTextBuf(kFourDigitLines);
  Style(memo, 0, 3, 3, 6, StyleRun(7), true);
  ASSERT_EQ(Contexts(memo, 3), "777777....");
  Style(memo, 3, 6, 0, 3, StyleRun(7), false);
  for (int32_t p = 0; p < 4; ++p) {
    EXPECT_EQ(Contexts(memo, p), "..........") << p;
    EXPECT_EQ(GetStartDynAttrib(*memo.Paragraphs().Par(p)), DefaultDynInfo()) << p;
  }
  EXPECT_EQ(LiveStartRecords(), liveBefore);
  EXPECT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
}

TEST(StyleRange, TheRunRestoredAfterTheRangeLosesTheKeyLengthTheRangeCovered) {
  struct Case {
    int32_t end;
    uint16_t startKlen;
  };
  // The outer run starts at 2 with a key of 6 characters.
  for (const Case c : {Case{5, 3}, Case{8, 0}, Case{9, 0}}) {
    SCOPED_TRACE(c.end);
    TZarvMemo memo;
    memo.SetTextBuf(kFourDigitLines);
    DynInfoRec outer = StyleRun(5);
    outer.SS.StartKlen = 6;
    Style(memo, 0, 2, 1, 0, outer, true);
    Style(memo, 0, 3, 0, c.end, StyleRun(9), true);
    const DynInfoRec after = RunAt(memo, 0, c.end);
    EXPECT_EQ(after.Context, 5);
    EXPECT_EQ(after.SS.StartKlen, c.startKlen);
  }
}

TEST(StyleRange, CollapsibleRunsNestOneCollapseLevelDeeperAndNeverStartCollapsed) {
  TZarvMemo memo;
  memo.SetTextBuf(kFourDigitLines);
  DynInfoRec block = StyleRun(5);
  block.CollpsState = zvdCollapsible | zvdCollapsed;
  Style(memo, 0, 1, 2, 5, block, true);
  Style(memo, 1, 2, 1, 6, block, true);
  Style(memo, 1, 7, 1, 8, StyleRun(6), true); // not collapsible: stays at its level
  const DynInfoRec outer = RunAt(memo, 0, 1), inner = RunAt(memo, 1, 2), plain = RunAt(memo, 1, 7);
  EXPECT_EQ(outer.CollpsLevel, 1);
  EXPECT_EQ(inner.CollpsLevel, 2);
  EXPECT_EQ(plain.CollpsLevel, 1);
  EXPECT_FALSE(outer.CollpsState & zvdCollapsed);
  EXPECT_FALSE(inner.CollpsState & zvdCollapsed);
}

TEST(StyleRange, OnlyTheParagraphsOfTheRangeLoseTheirFormattingAndTheModifiedRangeGrowsOnRequest) {
  for (const bool extend : {false, true}) {
    SCOPED_TRACE(extend ? "extending" : "not extending");
    TZarvMemo memo;
    memo.SetTextBuf(kFourDigitLines);
    TParagraphsList& list = memo.Paragraphs();
    for (int32_t p = 0; p < 4; ++p)
      list.Par(p)->ParState |= zvpFormatted;
    list.fModStartPar = 0;
    list.fModStopPar = -1; // nothing modified
    list.fLastStartStopParsed = 3;
    Style(memo, 1, 2, 2, 3, StyleRun(5), true, extend);
    EXPECT_TRUE(list.Par(0)->ParState & zvpFormatted);
    EXPECT_FALSE(list.Par(1)->ParState & zvpFormatted);
    EXPECT_FALSE(list.Par(2)->ParState & zvpFormatted);
    EXPECT_TRUE(list.Par(3)->ParState & zvpFormatted);
    if (extend) {
      EXPECT_EQ(list.fModStartPar, 1);
      EXPECT_EQ(list.fModStopPar, 2);
      EXPECT_LT(list.fLastStartStopParsed, 1) << "start-stop parsing is no longer valid from the range on";
    } else {
      EXPECT_LT(list.fModStopPar, list.fModStartPar);
      EXPECT_EQ(list.fLastStartStopParsed, 3);
    }
  }
}

// ---- Keyword pass ------------------------------------------------------------------

TEST(KeywordPass, MoreThanSixteenOccurrencesInOneParagraphAreAllMarked) {
  TZarvMemo memo;
  AddKeyword(memo, "if", 1, woMatchCase | woWholeWordsOnly);
  AddKeyword(memo, "for", 3, woMatchCase | woWholeWordsOnly);
  QString text;
  std::string expected;
  for (int i = 0; i < 21; ++i) {
    text += QStringLiteral("if for x ");
    expected += "11.333...";
  }
  memo.SetTextBuf(text);
  HighlightAll(memo);
  EXPECT_EQ(Contexts(memo, 0), expected);
  EXPECT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
}

TEST(KeywordPass, AParagraphStartingInsideAContextRangeIsSearchedAfterTheRangeEnds) {
  TZarvMemo memo;
  AddKeyword(memo, "if", 1, woMatchCase | woWholeWordsOnly);
  memo.StartStopKeys().AddStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), woMatchCase, fsItalic, 2, 0, clNone,
                                       clNone, false);
  memo.SetTextBuf(QStringLiteral("/* a\r\nif */ if\r\nif\r\nif /*\r\nif"));
  HighlightAll(memo);
  EXPECT_EQ(Contexts(memo, 1), "22222.11");
  EXPECT_EQ(Contexts(memo, 2), "11");
  EXPECT_EQ(Contexts(memo, 3), "11.22");
  EXPECT_EQ(Contexts(memo, 4), "22");
}

TEST(KeywordPass, CaseInsensitiveKeywordsFoldTheWayTheControlsUpperCaseModeSays) {
  const TUserUpperCaseGuard guard;
  UserUpperCaseProc = FoldWithoutAccents;
  // The same text and keyword in every mode; which words match depends on
  // how both are folded.
  const QString text = QStringLiteral("cafe café CAFÉ Café");
  struct Case {
    const char* name;
    TzvUpperCase mode;
    TWordOptions options;
    std::string expected;
  };
  const Case cases[] = {
      {"ASCII folds only a..z", zvuAscii, woWholeWordsOnly, ".... 1111 .... 1111"},
      {"ANSI folds accented letters", zvuAnsi, woWholeWordsOnly, ".... 1111 1111 1111"},
      {"the user procedure decides", zvuUserDefined, woWholeWordsOnly, "1111 1111 1111 1111"},
      {"match-case keywords ignore the mode", zvuAnsi, woWholeWordsOnly | woMatchCase, ".... 1111 .... ...."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TZarvMemo memo;
    memo.Keywords().AddKeyWord(QStringLiteral("café"), c.options, fsBold, 1, 0, clNone, clNone);
    memo.setUpperCaseType(c.mode); // the keyword is folded again
    memo.SetTextBuf(text);
    HighlightAll(memo);
    std::string got = Contexts(memo, 0);
    for (size_t i = 4; i < got.size(); i += 5)
      got[i] = ' ';
    EXPECT_EQ(got, c.expected);
  }
}

TEST(KeywordPass, AKeywordEarlierInTheListClaimsItsCharactersBeforeLaterOnes) {
  struct Case {
    std::vector<const char*> keywords; // contexts 1, 2, ... in list order
    const char* text;
    std::string expected;
  };
  const Case cases[] = {
      {{"abc", "bcd"}, "abcd", "111."},
      {{"bcd", "abc"}, "abcd", ".111"},
      {{"abc", "bcd"}, "abcbcd", "111222"},
      {{"ab", "b"}, "abb", "112"},
      {{"b", "ab"}, "abb", ".11"},
      // The search goes on after each occurrence, so overlapping
      // occurrences of one keyword do not count.
      {{"aa"}, "aaaaa", "1111."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TZarvMemo memo;
    for (size_t i = 0; i < c.keywords.size(); ++i)
      AddKeyword(memo, c.keywords[i], static_cast<int32_t>(i + 1));
    memo.SetTextBuf(QString::fromLatin1(c.text));
    HighlightAll(memo);
    EXPECT_EQ(Contexts(memo, 0), c.expected);
  }
}

TEST(KeywordPass, KeywordsInsideARangeWithoutContextAreMarkedAndTheRangeGoesOnAfterThem) {
  TZarvMemo memo;
  AddKeyword(memo, "if", 1, woMatchCase | woWholeWordsOnly);
  // Brackets rather than quotes: the stop key differs from the start key.
  memo.StartStopKeys().AddStartStopKey(QStringLiteral("["), QStringLiteral("]"), woMatchCase, fsItalic, 0, 0, clNone,
                                       clNone, false);
  memo.SetTextBuf(QStringLiteral("x [a if b] if"));
  HighlightAll(memo);
  EXPECT_EQ(Contexts(memo, 0), ".....11....11");
  const int16_t rangeKey = static_cast<int16_t>(0x8000);
  const DynInfoRec keyword = RunAt(memo, 0, 5);
  EXPECT_EQ(keyword.Level, 1);
  EXPECT_EQ(keyword.KeyIndex[0], rangeKey);
  EXPECT_EQ(keyword.KeyIndex[1], 0);
  const DynInfoRec afterKeyword = RunAt(memo, 0, 7);
  EXPECT_EQ(DynToLevel(afterKeyword), 0) << "the range goes on after the keyword";
  EXPECT_EQ(afterKeyword.KeyIndex[0], rangeKey);
  EXPECT_TRUE(afterKeyword.DynStyle & fsItalic);
  EXPECT_EQ(RunAt(memo, 0, 2).SS.StopKLen, 0) << "the range's opening code holds another run";
  EXPECT_FALSE(RunAt(memo, 0, 10).DynStyle & dsHasAttrib) << "the range ends with its stop key";
}

TEST(KeywordPass, KeywordsInsideAContextRangeAreMarkedOnlyWhenResetInsideAHighlightersRange) {
  struct Case {
    const char* name;
    const char* text; // "if" at offset 2, and again at the end
    bool reset;
    bool ownBit;
    std::string expected;
  };
  const Case cases[] = {
      {"the control's range", "/*if*/ if", false, false, "222222 11"},
      {"the control's range, reset", "/*if*/ if", true, false, "222222 11"},
      {"a highlighter's range", "<<if>> if", false, false, "444444 11"},
      {"a highlighter's range, reset", "<<if>> if", true, false, "441144 11"},
      {"a highlighter's range numbered as the control's, reset", "<<if>> if", true, true, "444444 11"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TZarvMemo memo;
    TAngleHighlighter h;
    h.OwnBit = c.ownBit;
    memo.setHighlighter(&h);
    AddKeyword(memo, "if", 1);
    memo.Keywords().fResetKeywords = c.reset;
    memo.StartStopKeys().AddStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), woMatchCase, fsItalic, 2, 0,
                                         clNone, clNone, false);
    memo.SetTextBuf(QString::fromLatin1(c.text));
    HighlightAll(memo);
    std::string got = Contexts(memo, 0);
    got[6] = ' ';
    EXPECT_EQ(got, c.expected);
  }
}

// ---- Start-stop ranges ---------------------------------------------------------------

// Fails: FindStop searches for the stop key from StopLen characters before
// the position, and keeps out of the start key only while the position lies
// strictly inside it. Right after the start key the window still holds the
// start key's own characters, so a stop key equal to the start key closes
// the range on the start key itself: "abc" becomes a one-character range,
// plain text, and a new range opened by the closing quote.
TEST(StartStopRanges, ARangeWhoseStopKeyEqualsItsStartKeyRunsToTheNextOccurrence) {
  struct Case {
    const char* key;
    const char* text;
    std::string expected;
  };
  const Case cases[] = {
      {"\"", "x \"abc\" y", "..55555.."},
      {"'", "'a'", "555"},
      {"\"", "\"\" x", "55.."},
      {"%%", "%%ab%% c", "555555.."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TZarvMemo memo;
    const QString key = QString::fromLatin1(c.key);
    memo.StartStopKeys().AddStartStopKey(key, key, woMatchCase, 0, 5, 0, clNone, clNone, false);
    memo.SetTextBuf(QString::fromLatin1(c.text));
    HighlightAll(memo);
    EXPECT_EQ(Contexts(memo, 0), c.expected);
  }
}

// ---- Highlighters --------------------------------------------------------------------

namespace {

class HighlighterPlugIn : public ::testing::Test {
protected:
  // One keyword and two start-stop keys: the highlighter's ranges are
  // numbered 2, after the start-stop keys.
  void SetUp() override {
    AddKeyword(memo, "if", 1);
    memo.StartStopKeys().AddStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), woMatchCase, fsItalic, 2, 0,
                                         clNone, clNone, false);
    memo.StartStopKeys().AddStartStopKey(QStringLiteral("//"), QString(), woMatchCase, fsItalic, 3, 0, clNone, clNone,
                                         true);
    memo.setHighlighter(&h);
  }
  void edit(int32_t from, int32_t to, const QString& text) {
    TZarvNavigator a(&memo.Paragraphs()), b(&memo.Paragraphs());
    a.SetPos(from);
    b.SetPos(to);
    const std::u16string buf = text.toStdU16String();
    int32_t od, ld;
    bool dc;
    memo.Paragraphs().InsertBuf(buf.empty() ? nullptr : buf.c_str(), a, b, false, false, od, ld, dc);
    memo.DropUpText();
    HighlightParagraphs(memo, a.GetParNb(), b.GetParNb());
  }

  TZarvMemo memo;
  TAngleHighlighter h;
};

} // namespace

TEST_F(HighlighterPlugIn, ItIsAskedWithTheControlsKeyCounts) {
  memo.SetTextBuf(QStringLiteral("a <<b>> c\r\nif /* x */ d"));
  HighlightAll(memo);
  ASSERT_FALSE(h.KeywordCounts.empty());
  ASSERT_FALSE(h.StartCounts.empty());
  ASSERT_FALSE(h.StopCounts.empty());
  for (const int32_t n : h.KeywordCounts)
    EXPECT_EQ(n, 1);
  for (const int32_t n : h.StartCounts)
    EXPECT_EQ(n, 2);
  for (const int32_t n : h.StopCounts)
    EXPECT_EQ(n, 2);

  // Without keyword highlighting the highlighter still runs its own pass,
  // with no keywords of the control to number after.
  h.KeywordCounts.clear();
  memo.setApplyKeyWords(false);
  HighlightAll(memo);
  ASSERT_FALSE(h.KeywordCounts.empty());
  for (const int32_t n : h.KeywordCounts)
    EXPECT_EQ(n, 0);
}

TEST_F(HighlighterPlugIn, ARangeItOpensIsHandedBackToItToCloseInALaterParagraph) {
  memo.SetTextBuf(QStringLiteral("a <<b\r\nc>> if\r\nif"));
  HighlightAll(memo);
  EXPECT_EQ(Contexts(memo, 0), "..444");
  EXPECT_EQ(Contexts(memo, 1), "444.11");
  EXPECT_EQ(Contexts(memo, 2), "11");
  EXPECT_EQ(GetStartDynAttrib(*memo.Paragraphs().Par(1))->KeyIndex[0], 2) << "numbered after the control's keys";
  EXPECT_EQ(h.ClosedIn, std::vector<int32_t>{1});
  EXPECT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
}

// Highlighter ranges and the control's keyword runs both carry positive key
// numbers; the first are numbered after the start-stop keys, so they can
// share numbers with keywords.
// Fails: the keyword pass takes every level run whose key is below the
// keyword count for a run of its own keywords and removes it (with the code
// after it) before searching, so the highlighter's range opened at "<<"
// (numbered 2, below the 3 keywords) disappears.
TEST_F(HighlighterPlugIn, TheKeywordPassLeavesItsRangesAloneWhateverTheirNumbers) {
  AddKeyword(memo, "for", 1);
  AddKeyword(memo, "do", 1);
  memo.SetTextBuf(QStringLiteral("a <<b>> if"));
  HighlightAll(memo);
  EXPECT_EQ(Contexts(memo, 0), "..44444.11");
}

TEST_F(HighlighterPlugIn, EditsPropagateThroughItsRangesLikeThroughTheControlsOwn) {
  memo.SetTextBuf(QStringLiteral("a <<b\r\nc>> if\r\nif\r\nif"));
  HighlightAll(memo);
  const int32_t close = memo.Paragraphs().Par(1)->StartOffset + 1;
  edit(close, close + 2, QString()); // the range no longer closes
  EXPECT_EQ(Contexts(memo, 1), "4444");
  EXPECT_EQ(Contexts(memo, 2), "44");
  EXPECT_EQ(Contexts(memo, 3), "44");
  edit(close, close, QStringLiteral(">>"));
  EXPECT_EQ(Contexts(memo, 1), "444.11");
  EXPECT_EQ(Contexts(memo, 2), "11");
  EXPECT_EQ(Contexts(memo, 3), "11");
  EXPECT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
}

TEST(HighlighterLinks, DestroyingAHighlighterDetachesItFromEveryControl) {
  TZarvMemo first, second;
  auto h = std::make_unique<TZarvHighlighter>();
  first.setHighlighter(h.get());
  second.setHighlighter(h.get());
  EXPECT_EQ(h->MemoList.size(), 2u);
  h.reset();
  EXPECT_EQ(first.Highlighter(), nullptr);
  EXPECT_EQ(second.Highlighter(), nullptr);
}

TEST(HighlighterLinks, AControlLeavesTheListOfItsHighlighterWhenItChangesOrGoes) {
  TZarvHighlighter h1, h2;
  auto memo = std::make_unique<TZarvMemo>();
  TZarvMemo other;
  memo->setHighlighter(&h1);
  other.setHighlighter(&h1);
  memo->setHighlighter(&h2);
  EXPECT_EQ(h1.MemoList, std::vector<TZarvMemoHost*>{&other});
  EXPECT_EQ(h2.MemoList.size(), 1u);
  memo.reset();
  EXPECT_TRUE(h2.MemoList.empty());
  EXPECT_EQ(h1.MemoList.size(), 1u);
}

TEST(HighlighterLinks, AHighlighterOwnedByItsControlGoesWithIt) {
  auto memo = std::make_unique<TZarvMemo>();
  auto* h = new TZarvHighlighter(memo.get()); // owned by the control as its QObject child
  memo->setHighlighter(h);
  bool destroyed = false;
  QObject::connect(h, &QObject::destroyed, [&] { destroyed = true; });
  memo.reset();
  EXPECT_TRUE(destroyed);
}

// ---- Code equivalence ------------------------------------------------------------------

TEST(CodeEquivalence, CodesAreEquivalentWhenTheyDescribeTheSameParsingState) {
  DynInfoRec range;
  range.DynStyle = fsItalic | dsHasLevel | dsHasAttrib;
  range.Level = 1;
  range.Context = 2;
  range.KeyIndex[0] = -32768;
  range.KeyIndex[1] = 3;
  struct Case {
    const char* name;
    void (*change)(DynInfoRec&);
    bool equivalent;
  };
  const Case cases[] = {
      {"the same code", [](DynInfoRec&) {}, true},
      {"another font style", [](DynInfoRec& d) { d.DynStyle ^= fsBold; }, true},
      {"other colours and cursor", [](DynInfoRec& d) { d.Backgnd = 1, d.Foregnd = 2, d.Cursor = 3; }, true},
      {"another position and key lengths", [](DynInfoRec& d) { d.DynOffset = 9, d.Klen = 77; }, true},
      {"a key above the level", [](DynInfoRec& d) { d.KeyIndex[2] = 5; }, true},
      {"a key at the level", [](DynInfoRec& d) { d.KeyIndex[1] = 4; }, false},
      {"a key below the level", [](DynInfoRec& d) { d.KeyIndex[0] = 0; }, false},
      {"another level", [](DynInfoRec& d) { d.Level = 2; }, false},
      {"another context", [](DynInfoRec& d) { d.Context = 5; }, false},
      {"no level bit", [](DynInfoRec& d) { d.DynStyle &= ~dsHasLevel; }, false},
      {"no attributes", [](DynInfoRec& d) { d.DynStyle &= ~dsHasAttrib; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DynInfoRec other = range;
    c.change(other);
    EXPECT_EQ(DynEquivalent(range, other), c.equivalent);
    EXPECT_EQ(DynEquivalent(other, range), c.equivalent);
  }
}

TEST(CodeEquivalence, WithoutAttributesOrAnOpenLevelOnlyTheFlagBitsCount) {
  DynInfoRec a = StyleRun(1, fsBold), b = StyleRun(2, fsItalic);
  a.Level = 3, b.Level = 7;
  a.KeyIndex[0] = 1;
  EXPECT_TRUE(DynEquivalent(a, b)) << "plain style codes";
  a.DynStyle |= dsHasAttrib, b.DynStyle |= dsHasAttrib;
  a.Level = b.Level = -1; // text left alone: no level, no keys
  a.Context = b.Context = 4;
  EXPECT_TRUE(DynEquivalent(a, b));
  b.Context = 5;
  EXPECT_FALSE(DynEquivalent(a, b));
}

// ---- Navigators ------------------------------------------------------------------------------

TEST(NavigatorInvalidation, NavigatorsFromThePositionUpToTheParagraphForgetTheirCodeIndexes) {
  TZarvMemo memo;
  memo.SetTextBuf(kFourDigitLines);
  TParagraphsList& list = memo.Paragraphs();
  TZarvNavigator before(&list), atFrom(&list), inLast(&list), after(&list);
  before.SetParPos(1, 2);
  atFrom.SetParPos(1, 3);
  inLast.SetParPos(2, 10);
  after.SetParPos(3, 5);
  for (TZarvNavigator* n : {&before, &atFrom, &inLast, &after})
    ASSERT_EQ(n->GetDynNb(), 0);
  // A code at offset 1 of every paragraph, written behind the navigators' backs.
  DynInfoRec code = StyleRun(3, fsBold | dsHasAttrib);
  code.DynOffset = 1;
  for (int32_t p = 0; p < 4; ++p)
    GetDynArrayForWrite(*list.Par(p)).push_back(code);
  InvalidateNavs({&before, &atFrom, &inLast, &after}, atFrom.GetPos(), 2);
  EXPECT_EQ(atFrom.GetDynNb(), 1);
  EXPECT_EQ(inLast.GetDynNb(), 1);
  EXPECT_EQ(before.GetDynNb(), 0) << "before the position: left as it was";
  EXPECT_EQ(after.GetDynNb(), 0) << "beyond the paragraph: left as it was";
}

// A navigator the control keeps (its caret) stands where the text was
// edited, with the code index the edit gave it. Re-highlighting changes the
// codes before it, so it must not keep reading the old index.
// Fails: HighlightParagraphs forgets navigator indexes only through the
// start-stop pass, which changed nothing here; the keyword runs added by
// the keyword pass leave the caret's cached code index stale.
TEST(NavigatorInvalidation, RegisteredNavigatorsSeeTheKeywordRunsFoundAfterAnEdit) {
  TZarvMemo memo;
  AddKeyword(memo, "if", 1, woMatchCase | woWholeWordsOnly);
  memo.SetTextBuf(QStringLiteral("iff x"));
  HighlightAll(memo);
  TZarvNavigator caret(static_cast<QObject*>(&memo)), stop(static_cast<QObject*>(&memo));
  caret.SetPos(2);
  stop.SetPos(3);
  int32_t od, ld;
  bool dc;
  memo.Paragraphs().InsertBuf(nullptr, caret, stop, false, false, od, ld, dc); // "if x"
  memo.DropUpText();
  HighlightParagraphs(memo, 0, 0);
  ASSERT_EQ(Contexts(memo, 0), "11..");
  TZarvNavigator fresh(&memo.Paragraphs());
  fresh.SetPos(caret.GetPos());
  EXPECT_EQ(caret.GetDynNb(), fresh.GetDynNb());
  EXPECT_EQ(caret.GetContext(), 1) << "the caret stands right after the keyword";
}

// ---- Line formatting ----------------------------------------------------------------------

TEST(KeywordFormatting, FormattingAParagraphLackingItsKeywordPassRunsItAndMeasuresKeywordsInTheirStyle) {
  ZARV_REQUIRE_FONT("DejaVu Sans"); // its bold is wider than its regular face
  for (const bool keywordsDone : {false, true}) {
    SCOPED_TRACE(keywordsDone ? "keyword pass done" : "keyword pass not done");
    TZarvMemo memo;
    memo.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
    memo.setWordWrap(false); // one line whatever the viewport's width
    AddKeyword(memo, "mmmm", 1, woMatchCase | woWholeWordsOnly);
    const std::u16string word = u"mmmm", gap = u" x ";
    memo.SetTextBuf(QString::fromStdU16String(word + gap + word));
    ParInfo& par = *memo.Paragraphs().Par(0);
    if (keywordsDone)
      par.ParState |= zvpKeywDone;
    else
      ASSERT_FALSE(par.ParState & zvpKeywDone);

    int32_t start = 0, stop = 0, delta = 0, count = 0, space = 0, overhang = 0;
    uint64_t state = 0;
    ReformatParP(memo, &memo.Canvas(), true, memo.ClientWidth(), nullptr, 0, start, stop, true, state, space, overhang,
                 delta, count);
    EXPECT_TRUE(par.ParState & zvpKeywDone);

    TZarvCanvas& canvas = memo.Canvas();
    memo.SelectFont(fsBold);
    const int32_t bold = canvas.GetTextWidth(word.data(), 4, 4096);
    memo.SelectFont(0);
    const int32_t plain = canvas.GetTextWidth(word.data(), 4, 4096);
    const int32_t gapWidth = canvas.GetTextWidth(gap.data(), 3, 4096);
    ASSERT_NE(bold, plain) << "the test needs a font whose bold is wider";
    if (keywordsDone) {
      EXPECT_EQ(Contexts(memo, 0), "...........");
      EXPECT_EQ(GetFirstLine(par).LineWidth, 2 * plain + gapWidth);
    } else {
      EXPECT_EQ(Contexts(memo, 0), "1111...1111");
      EXPECT_EQ(GetFirstLine(par).LineWidth, 2 * bold + gapWidth);
    }
  }
}

// Entries sharing a start key chain: a stop key (or the paragraph end, for
// entries with ssoParStop) of one starts the run of the next. Chains that
// meet a paragraph end used to spin for ever.
TEST(HighlightPassChains, ChainsMeetingAParagraphEndCloseAsExpected) {
  struct Entry {
    const char16_t* start;
    const char16_t* stop;
    bool parStop;
  };
  struct Case {
    std::vector<Entry> entries;
    const char16_t* text;
    std::vector<std::string> runs; // per paragraph: 'A' first entry, 'B' second, '.' plain
  };
  const Case cases[] = {
      {{{u"rem", u"", true}, {u"rem", u"", true}}, u"x rem y\r\nz", {"..AAAAA", "."}},
      {{{u"<", u" ", true}, {u"<", u">", true}}, u"x<ab\r\nz <a b> q", {".AAA", "..AAABB.."}},
      {{{u"\"", u"\"", false}, {u"\"", u"\"", true}}, u"a\"b\"c\r\nd", {".AAAB", "."}},
      {{{u"<", u" ", false}, {u"<", u" ", false}}, u"<a b\r\nc d", {"AAAB", "BB."}},
      // Every later entry names the first as Previous, so only the first
      // continues; a chain also ends at the end of the text.
      {{{u"<", u" ", true}, {u"<", u" ", true}, {u"<", u">", true}}, u"<a b c> d\r\n<x", {"AAABB....", "AA"}},
      {{{u"[", u"", true}, {u"[", u"]", false}}, u"[a\r\nb]c\r\n[", {"AA", "BB.", "A"}},
  };
  for (const Case& c : cases) {
    TZarvMemo memo;
    int ctx = 1;
    for (const Entry& e : c.entries)
      memo.StartStopKeys().AddStartStopKey(QString::fromUtf16(e.start), QString::fromUtf16(e.stop), {}, 0, ctx++, 0,
                                           clNone, clNone, e.parStop);
    memo.SetTextBuf(QString::fromUtf16(c.text));
    HighlightAll(memo);
    ASSERT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
    ASSERT_EQ(memo.Paragraphs().Count(), int32_t(c.runs.size()));
    for (int32_t p = 0; p < memo.Paragraphs().Count(); ++p) {
      std::string runs = Contexts(memo, p);
      for (char& ch : runs)
        if (ch != '.')
          ch = char('A' + (ch - '1'));
      EXPECT_EQ(runs, c.runs[size_t(p)]) << QString::fromUtf16(c.text).toStdString() << " paragraph " << p;
    }
  }
}

// The last entries a list can number still give runs that open and close
// where they should; one more entry is refused.
TEST(HighlightPassLimits, TheLastEntriesTheListsCanNumberHighlightCorrectly) {
  TZarvMemo memo;
  TStartStopKeyList& ss = memo.StartStopKeys();
  for (int32_t i = 0; i < TStartStopKeyList::kMaxEntries; ++i)
    ss.AddStartStopKey(QStringLiteral("k%1:").arg(i), QStringLiteral("!"), woMatchCase, 0,
                       i + 1 == TStartStopKeyList::kMaxEntries ? 7 : 1, 0, clNone, clNone, false);
  EXPECT_THROW(ss.AddStartStopKey(QStringLiteral("x"), QString(), {}, 0, 1, 0, clNone, clNone, false), EListError);
  TKeywordList& kw = memo.Keywords();
  for (int32_t i = 0; i < TKeywordList::kMaxEntries; ++i)
    kw.AddKeyWord(QStringLiteral("w%1").arg(i), woMatchCase | woWholeWordsOnly, fsBold,
                  i + 1 == TKeywordList::kMaxEntries ? 9 : 2, 0, clNone, clNone);
  EXPECT_THROW(kw.AddKeyWord(QStringLiteral("x"), {}, 0, 1, 0, clNone, clNone), EListError);
  EXPECT_THROW(kw.Add(QStringLiteral("x")), EListError);

  memo.SetTextBuf(QStringLiteral("a k32766:b! c w32767 d\r\nk0:e"));
  HighlightAll(memo);
  ASSERT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
  EXPECT_EQ(Contexts(memo, 0), "..777777777...999999..");
  EXPECT_EQ(Contexts(memo, 1), "1111") << "a range of entry 0 stays open to the end";
}

// A start key longer than the 16 bits a code keeps for its length still
// keeps the stop search out of the key itself.
TEST(HighlightPassLimits, AStartKeyOf65536CharactersIsNotClosedFromInside) {
  TZarvMemo memo;
  const QString key(65536, QLatin1Char('q'));
  memo.StartStopKeys().AddStartStopKey(key, QStringLiteral("q"), woMatchCase, 0, 3, 0, clNone, clNone, false);
  memo.SetTextBuf(key + QStringLiteral("abqz"));
  HighlightAll(memo);
  ASSERT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
  const std::string runs = Contexts(memo, 0);
  EXPECT_EQ(runs.substr(65530), "333333333.") << "the range ends after the q following the key";
}
