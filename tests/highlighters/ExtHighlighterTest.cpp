// The extended highlighter's rules: where keys apply (scope, priority,
// level), what a keyword may cover, quote-like ranges and paragraph stops,
// word options, separators, key numbers past the 16-bit limit, handlers
// that change the text, and the lists' text form.
#include "HighlighterTestSupport.h"

#include <ZarvMemo/highlighters/ExtHighlighter.h>
#include <ZarvMemo/highlighters/HighlighterErrors.h>
#include <ZarvMemo/highlighters/NumberHighlighter.h>
#include <ZarvMemo/platform/StringList.h>

#include <gtest/gtest.h>
#include <random>

using namespace zarv;
using namespace zarv::test;

namespace {

// '.' for plain text, else the last digit of the run's context.
char Digit(const DynInfoRec& d) {
  const int32_t c = DynToContext(d);
  return c == 0 ? '.' : char('0' + c % 10);
}

class ExtHighlighterTest : public ::testing::Test {
protected:
  void SetUp() override { memo.setHighlighter(&ext); }
  void TearDown() override { memo.setHighlighter(nullptr); }
  std::string highlight(const QString& text) {
    memo.SetTextBuf(text);
    HighlightAll(memo);
    EXPECT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
    std::string out;
    for (int32_t p = 0; p < memo.Paragraphs().Count(); ++p)
      out += (p ? "|" : "") + Runs(memo, p, Digit);
    return out;
  }
  void keyword(const char* word, int16_t context, TWordOptions options = woMatchCase, int16_t scope = 0,
               int16_t priority = 0) {
    ext.Keywords().AddExtKeyWord(QString::fromLatin1(word), options, fsBold, context, scope, priority, 0, clNone,
                                 clNone);
  }
  void range(const char* start, const char* stop, int16_t context, TssOptions ss = {}, int16_t scope = 0,
             int16_t priority = 0, TWordOptions options = woMatchCase) {
    ext.StartStopKeys().AddExStartStopKey(QString::fromLatin1(start), QString::fromLatin1(stop), options, fsItalic,
                                          context, scope, priority, 0, clNone, clNone, ss);
  }

  TExtHighlighter ext;
  TZarvMemo memo;
};

} // namespace

// Rows: level, context and priority in force, inside a range, the key's
// scope and priority, start key or keyword: applied or not.
TEST(ExtHighlighterRules, TheAcceptanceRuleWeighsLevelScopeAndPriority) {
  struct TRow {
    int Level;
    int32_t Context, Priority;
    bool Inside;
    int32_t S, P;
    bool Start, Applied;
  };
  const TRow rows[] = {
      {-1, 0, 0, false, 0, 0, false, true},       // top level, scope 0
      {-1, 0, 0, false, 0, 0, true, true},        // ... a start key too
      {0, 0, 0, true, 0, 0, false, true},         // a keyword inside a range of context 0
      {0, 0, 0, true, 0, 0, true, false},         // a start key of scope 0 opens nothing inside a range
      {0, 2, 0, true, 0, 0, false, false},        // context 2 range opened by a key of priority 0
      {0, 2, 0, true, 0, 1, false, true},         // a higher priority gets in
      {0, 2, 0, true, 0, 1, true, true},          // ... a start key too
      {0, 2, 3, true, 0, 3, false, false},        // an equal priority does not
      {0, 2, 3, true, 2, 0, false, true},         // the scope names the range's context
      {0, 2, 3, true, 2, 0, true, true},          // ... for start keys as well
      {0, 2, 3, true, 5, 0, false, false},        // another scope
      {-1, 0, 0, false, 5, 0, false, false},      // a scope keeps a key out of the top level
      {3, 2, 32767, true, 0, 32767, false, true}, // the top priority goes everywhere
      {14, 2, 0, true, 0, 32767, true, true},     // ... below 15 levels
      {15, 2, 0, true, 0, 32767, false, false},   // nothing at 15
      {15, 2, 0, true, 2, 0, true, false},
  };
  for (const TRow& r : rows)
    EXPECT_EQ(TCustomExtHighlighter::KeyAccepted(r.Level, r.Context, r.Priority, r.Inside, r.S, r.P, r.Start),
              r.Applied)
        << "level " << r.Level << " context " << r.Context << " priority " << r.Priority << " scope " << r.S
        << " key priority " << r.P << (r.Start ? " start" : " keyword");
}

TEST_F(ExtHighlighterTest, KeywordsApplyWhereTheirScopeAndPriorityAllow) {
  keyword("zero", 1);                       // scope 0, priority 0
  keyword("top", 2, woMatchCase, 0, 32767); // everywhere
  keyword("in3", 4, woMatchCase, 3);        // only in ranges of context 3
  keyword("never", 0);                      // context 0: never applied
  range("<", ">", 3);                       // priority 0
  range("[", "]", 0);                       // context 0
  EXPECT_EQ(highlight(QStringLiteral("zero top in3 never")), "1111.222..........");
  EXPECT_EQ(highlight(QStringLiteral("<zero top in3>")), "33333322234443");
  EXPECT_EQ(highlight(QStringLiteral("[zero top in3]")), ".1111.222.....");
}

TEST_F(ExtHighlighterTest, StartKeysOpenInsideRangesOnlyByScopeOrAHigherPriority) {
  range("<", ">", 3);           // priority 0
  range("{", "}", 5, {}, 0, 0); // scope 0, priority 0
  range("(", ")", 6, {}, 0, 2); // priority 2
  range("[", "]", 7, {}, 3);    // only inside context 3
  EXPECT_EQ(highlight(QStringLiteral("<{x} (y) [z]>")), "3333366637773");
  EXPECT_EQ(highlight(QStringLiteral("{<x>} [z]")), "55555....");
  // A range nests the same whether its enclosing range ends on its line or
  // on a later one.
  EXPECT_EQ(highlight(QStringLiteral("<\r\n(y)\r\n>")), "3|666|3");
}

TEST_F(ExtHighlighterTest, AnOccurrenceReplacesWholeKeywordsButNeverPartOfOneOrOfARange) {
  keyword("aaa", 1);
  EXPECT_EQ(highlight(QStringLiteral("aaaa")), "111."); // the search goes on after an occurrence
  ext.Keywords().Clear();
  keyword("b", 2);
  keyword("abc", 3); // covers the whole "b": replaces it
  keyword("ab", 4);  // would cover part of "b"
  EXPECT_EQ(highlight(QStringLiteral("abc ab")), "333..2");
  ext.Keywords().Clear();
  keyword("x<y", 5);
  range("<", ">", 6);
  EXPECT_EQ(highlight(QStringLiteral("x<y>")), ".666");
}

TEST_F(ExtHighlighterTest, QuoteLikeRangesCloseAtTheNextQuoteAndParagraphStopsAtTheParagraphEnd) {
  range("'", "'", 7);
  range("--", "", 8, ssoParStop);
  EXPECT_EQ(highlight(QStringLiteral("x 'b' c\r\n-- d\r\ne")), "..777..|8888|.");
  EXPECT_EQ(highlight(QStringLiteral("'a\r\nb' c")), "77|77..");
}

TEST_F(ExtHighlighterTest, WordOptionsTieKeysToTheStartOfTheirParagraph) {
  keyword("go", 1, woMatchCase | woFirstNonBlank);
  keyword("st", 2, woMatchCase | woStartPar);
  keyword("fw", 3, woMatchCase | woFirstParWord);
  EXPECT_EQ(highlight(QStringLiteral("  go go")), "..11...");
  EXPECT_EQ(highlight(QStringLiteral("st st")), "22...");
  EXPECT_EQ(highlight(QStringLiteral(", fw fw")), "..33...");
}

TEST_F(ExtHighlighterTest, TheSeparatorsTextNeverShowsTabAndWritingItBackKeepsTab) {
  EXPECT_EQ(ext.getSeparators(), QStringLiteral(" ,.;"));
  EXPECT_TRUE(ext.Delimiters().test('\t'));
  ext.setSeparators(ext.getSeparators());
  EXPECT_TRUE(ext.Delimiters().test('\t'));
  keyword("if", 1, woMatchCase | woWholeWordsOnly);
  EXPECT_EQ(highlight(QStringLiteral("\tif\tif")), ".11.11");
  ext.setSeparators(QStringLiteral(" +\u4e00")); // above 255 counts as 255
  EXPECT_TRUE(ext.Delimiters().test('+') && ext.Delimiters().test(255) && !ext.Delimiters().test(','));
  EXPECT_TRUE(ext.Delimiters().test('\t'));
}

// Keys whose global number would pass the 16-bit numbers of a run are left
// out (with one warning); the others work, and nothing wraps into a
// negative keyword number or another list's block.
TEST_F(ExtHighlighterTest, KeysNumberedPastTheSixteenBitLimitAreLeftOut) {
  TKeywordList& own = memo.Keywords();
  {
    const TStrings::UpdateLock batch(own);
    for (int i = 0; i < 32760; ++i)
      own.AddKeyWord(QStringLiteral("own%1").arg(i), woMatchCase, 0, 0, 0, clNone, clNone);
  }
  TStartStopKeyList& ownRanges = memo.StartStopKeys();
  for (int i = 0; i < 32760; ++i)
    ownRanges.AddStartStopKey(QStringLiteral("\u00a7"), QString(), woMatchCase, 0, 9, 0, clNone, clNone, true);
  for (int i = 0; i < 20; ++i) {
    keyword(QStringLiteral("k%1").arg(i).toLatin1().constData(), 1, woMatchCase | woWholeWordsOnly);
    range(QStringLiteral("r%1").arg(i).toLatin1().constData(), "", 2, ssoParStop);
  }
  TExtHighlighter sub;
  sub.Keywords().AddExtKeyWord(QStringLiteral("s"), woMatchCase, 0, 3, 0, 0, 0, clNone, clNone);
  ext.setSubHighlighter(&sub);
  int warnings = 0;
  static int* counter = nullptr;
  counter = &warnings;
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) { ++*counter; });
  const std::string runs = highlight(QStringLiteral("k0 k7 k8 k19 s\r\nr6 x\r\nr7 x"));
  qInstallMessageHandler(previous);
  EXPECT_EQ(runs, "11.11.........|2222|....");
  EXPECT_EQ(warnings, 2); // once from each highlighter
  for (int32_t p = 0; p < memo.Paragraphs().Count(); ++p)
    for (const DynInfoRec& d : GetDynArray(*memo.Paragraphs().Par(p)))
      if (DynToLevel(d) >= 0 && d.Context == 1) {
        EXPECT_GE(d.KeyIndex[d.Level], 32760);
      }
  ext.setSubHighlighter(nullptr);
}

namespace {

// Handlers that change the text once, the way an application might.
struct TEditingHandler {
  TZarvMemo& Memo;
  bool Done = false;
  void operator()() {
    if (Done)
      return;
    Done = true;
    Edit(Memo, 0, 0, QStringLiteral("zz\r\n"));
  }
};

} // namespace

// The pass holds positions and codes of the paragraph while a handler runs:
// a handler that edits makes the pass stop with EHandlerEditedText, and the
// store stays consistent; without the handler the text highlights as a
// fresh control would.
TEST_F(ExtHighlighterTest, AHandlerThatChangesTheTextStopsThePassAndLeavesTheStoreConsistent) {
  keyword("if", 1, woMatchCase | woWholeWordsOnly);
  range("<", ">", 2);
  TNumberHighlighter numbers;
  ext.setSubHighlighter(&numbers);
  const QString text = QStringLiteral("if <a> 12\r\nif 3");
  for (int which = 0; which < 4; ++which) {
    memo.SetTextBuf(text);
    TEditingHandler edit{memo};
    const auto veto = [&edit](TCustomExtHighlighter&, TZarvNavigator&, TZarvNavigator&, int32_t, bool&) { edit(); };
    if (which == 0)
      ext.OnKeyword = veto;
    else if (which == 1)
      ext.OnStart = veto;
    else if (which == 2)
      ext.OnStop = veto;
    else
      numbers.OnQueryHilit = [&edit](TCustomExtHighlighter&, int16_t, bool&) { edit(); };
    EXPECT_THROW(HighlightAll(memo), EHandlerEditedText) << "handler " << which;
    EXPECT_TRUE(edit.Done);
    EXPECT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty()) << "handler " << which;
    ext.OnKeyword = ext.OnStart = ext.OnStop = nullptr;
    numbers.OnQueryHilit = nullptr;
    HighlightAll(memo);
    TZarvMemo fresh;
    fresh.setHighlighter(&ext);
    fresh.SetTextBuf(memo.GetTextContent());
    HighlightAll(fresh);
    EXPECT_EQ(CodesDiffer(memo, fresh), "") << "handler " << which;
    fresh.setHighlighter(nullptr);
  }
  ext.setSubHighlighter(nullptr);
}

TEST_F(ExtHighlighterTest, HandlersSeeTheKeyAndMayVetoIt) {
  keyword("if", 1, woMatchCase | woWholeWordsOnly);
  range("<", ">", 2);
  std::vector<std::string> seen;
  ext.OnKeyword = [&](TCustomExtHighlighter&, TZarvNavigator& a, TZarvNavigator& b, int32_t k, bool& ok) {
    seen.push_back("kw " + std::to_string(k) + " " + std::to_string(a.GetOffset()) + ".." +
                   std::to_string(b.GetOffset()));
    ok = a.GetOffset() != 0;
  };
  ext.OnStop = [&](TCustomExtHighlighter&, TZarvNavigator&, TZarvNavigator& b, int32_t k, bool& ok) {
    seen.push_back("stop " + std::to_string(k) + " " + std::to_string(b.GetOffset()));
    ok = b.GetOffset() != 9; // the first ">" does not close
  };
  EXPECT_EQ(highlight(QStringLiteral("if if <a>> x")), "...11.2222..");
  EXPECT_EQ(seen, (std::vector<std::string>{"stop 0 9", "stop 0 10", "kw 0 0..2", "kw 0 3..5"}));
}
