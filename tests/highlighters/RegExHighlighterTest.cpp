// The regular-expression highlighter: its keywords against a plain scan
// with the engine, its ranges against the extended highlighter's literal
// keys, and failing or hostile expressions.
#include "HighlighterTestSupport.h"

#include <ZarvMemo/highlighters/ExtHighlighter.h>
#include <ZarvMemo/highlighters/RegExHighlighter.h>
#include <ZarvMemo/regex/RegExpr.h>

#include <gtest/gtest.h>
#include <random>

using namespace zarv;
using namespace zarv::test;

namespace {

char Category(const DynInfoRec& d) {
  const int32_t c = DynToContext(d);
  return c == 0 ? '.' : char('A' + c % 26);
}

QString RandomText(std::mt19937& rng, const char* alphabet, int n) {
  QString t;
  const size_t k = strlen(alphabet);
  for (int i = 0; i < n; ++i)
    t += QChar(alphabet[rng() % k]);
  return t;
}

} // namespace

// Keys in list order, each key's non-empty matches left to right; a match
// is kept unless it begins inside a kept one or overlaps one partly, and
// it replaces the kept ones it covers whole (ending before its end: a
// keyword closing where the match closes is still open inside it).
TEST(RegExHighlighter, KeywordsMarkWhatAPlainScanWithTheEngineFinds) {
  struct TKey {
    const char* Expr;
    TWordOptions Options;
  };
  const TKey keys[] = {{"[0-9]+", woMatchCase}, {"ab+", {}},     {"\\bfo+\\b", woMatchCase}, {"x.?y", woMatchCase},
                       {"^#.*", woMatchCase},   {"(ba|ab)", {}}, {"o*", woMatchCase},        {"b", woWholeWordsOnly}};
  std::mt19937 rng(qEnvironmentVariableIsSet("ZARV_SEED") ? qEnvironmentVariableIntValue("ZARV_SEED") : 9);
  TRegExHighlighter h;
  for (size_t i = 0; i < std::size(keys); ++i)
    h.Keywords().AddExtKeyWord(QString::fromLatin1(keys[i].Expr), keys[i].Options, 0, int16_t(i + 1), 0, 0, 0, clNone,
                               clNone);
  TZarvMemo memo;
  memo.setHighlighter(&h);
  int marked = 0;
  for (int round = 0; round < 150; ++round) {
    const QString text = RandomText(rng, "abAB01 #xyfo.", 40);
    memo.SetTextBuf(text);
    HighlightAll(memo);
    std::string expected(size_t(text.size()), '.');
    std::vector<int> owner(size_t(text.size()), -1);
    struct TRun {
      int S, E;
      bool Alive;
    };
    std::vector<TRun> runs;
    for (size_t i = 0; i < std::size(keys); ++i) {
      TRegExpr re;
      re.SetModifierI(!keys[i].Options.testFlag(woMatchCase));
      re.SetExpression(QString::fromLatin1(keys[i].Expr));
      for (bool m = re.Exec(text); m; m = re.ExecNext()) {
        const int s = re.MatchPos(0) - 1, e = s + re.MatchLen(0);
        if (e == s)
          continue;
        if (keys[i].Options.testFlag(woWholeWordsOnly) &&
            !((s == 0 || h.Delimiters().test(zvChar(text[s - 1].unicode()))) &&
              (e == text.size() || h.Delimiters().test(zvChar(text[e].unicode())))))
          continue;
        bool ok = owner[size_t(s)] < 0;
        for (int x = s; x < e && ok; ++x) {
          const int r = owner[size_t(x)];
          ok = r < 0 || (runs[size_t(r)].S >= s && runs[size_t(r)].E < e);
        }
        if (!ok)
          continue;
        runs.push_back({s, e, true});
        for (int x = s; x < e; ++x) {
          if (owner[size_t(x)] >= 0)
            runs[size_t(owner[size_t(x)])].Alive = false;
          owner[size_t(x)] = int(runs.size() - 1);
          expected[size_t(x)] = char('A' + (i + 1) % 26);
        }
      }
    }
    marked += int(std::count_if(runs.begin(), runs.end(), [](const TRun& r) { return r.Alive; }));
    ASSERT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
    ASSERT_EQ(Runs(memo, 0, Category), expected) << text.toStdString();
  }
  EXPECT_GT(marked, 300);
  memo.setHighlighter(nullptr);
}

TEST(RegExHighlighter, ModifiersFollowTheOptionsAndProperties) {
  TRegExHighlighter h;
  h.Keywords().AddExtKeyWord(QStringLiteral("[0-9]+"), woMatchCase, 0, 1, 0, 0, 0, clNone, clNone);
  h.Keywords().AddExtKeyWord(QStringLiteral("abc"), {}, 0, 2, 0, 0, 0, clNone, clNone);
  h.Keywords().AddExtKeyWord(QStringLiteral("d e f  # spaced"), woMatchCase, 0, 3, 0, 0, 0, clNone, clNone);
  TZarvMemo memo;
  memo.setHighlighter(&h);
  memo.SetTextBuf(QStringLiteral("123 ABC def"));
  HighlightAll(memo);
  EXPECT_EQ(Runs(memo, 0, Category), "BBB.CCC....");
  EXPECT_EQ(RunAt(memo, 0, 0).SS.StartKlen, 3);
  h.setGreedyStyle(false);
  h.setExtendedSyntax(true);
  HighlightAll(memo);
  EXPECT_EQ(Runs(memo, 0, Category), "BBB.CCC.DDD");
  EXPECT_EQ(RunAt(memo, 0, 0).SS.StartKlen, 1) << "each digit on its own";
  memo.setHighlighter(nullptr);
}

// With escaped literal keys, the expression ranges agree with the extended
// highlighter's literal ones on random multi-line text.
TEST(RegExHighlighter, ExpressionRangesMatchLiteralRangesOfTheSameKeys) {
  std::mt19937 rng(qEnvironmentVariableIsSet("ZARV_SEED") ? qEnvironmentVariableIntValue("ZARV_SEED") : 4);
  TRegExHighlighter rx;
  rx.setRegExStartStop(true);
  TExtHighlighter lit;
  rx.StartStopKeys().AddExStartStopKey(QStringLiteral("/\\*"), QStringLiteral("\\*/"), woMatchCase, 0, 3, 0, 0, 0,
                                       clNone, clNone, {});
  lit.StartStopKeys().AddExStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), woMatchCase, 0, 3, 0, 0, 0, clNone,
                                        clNone, {});
  rx.StartStopKeys().AddExStartStopKey(QStringLiteral("\""), QStringLiteral("\""), woMatchCase, 0, 2, 0, 0, 0, clNone,
                                       clNone, TssOptions(ssoParStop));
  lit.StartStopKeys().AddExStartStopKey(QStringLiteral("\""), QStringLiteral("\""), woMatchCase, 0, 2, 0, 0, 0, clNone,
                                        clNone, TssOptions(ssoParStop));
  TZarvMemo a, b;
  a.setHighlighter(&rx);
  b.setHighlighter(&lit);
  int ranged = 0;
  for (int round = 0; round < 150; ++round) {
    QString text = RandomText(rng, "/*\"ab \n", 60);
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    a.SetTextBuf(text);
    b.SetTextBuf(text);
    HighlightAll(a);
    HighlightAll(b);
    ASSERT_TRUE(a.Paragraphs().CheckIntegrity().isEmpty());
    for (int32_t p = 0; p < a.Paragraphs().Count(); ++p) {
      const std::string ra = Runs(a, p, Category);
      ASSERT_EQ(ra, Runs(b, p, Category)) << text.toStdString();
      ranged += int(std::count_if(ra.begin(), ra.end(), [](char c) { return c != '.'; }));
    }
  }
  EXPECT_GT(ranged, 1000);
  a.setHighlighter(nullptr);
  b.setHighlighter(nullptr);
}

// A bad expression, or one that runs out of steps, is disabled and
// reported once with the engine's code; the other keys go on working and
// no exception leaves the pass.
TEST(RegExHighlighter, FailingKeysAreDisabledAndReportedOnce) {
  struct TCase {
    const char* Expr;
    QString Text;
    std::vector<int32_t> Codes; // acceptable error codes
    bool HasPosition;
  };
  const TCase cases[] = {
      {"a(", QStringLiteral("a b"), {102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113}, true},
      {"[b-a]", QStringLiteral("a b"), {}, true},
      {"(a+)+$", QString(10000, u'a') + u'!', {reeStepLimitExceeded, reeBacktrackLimitExceeded}, false},
  };
  for (const TCase& c : cases) {
    TRegExHighlighter h;
    h.Keywords().AddExtKeyWord(QString::fromLatin1(c.Expr), woMatchCase, 0, 1, 0, 0, 0, clNone, clNone);
    h.Keywords().AddExtKeyWord(QStringLiteral("a"), woMatchCase, 0, 2, 0, 0, 0, clNone, clNone);
    std::vector<TRegExHighlighter::TKeyFailure> failures;
    h.OnKeyFailed = [&failures](TRegExHighlighter&, const TRegExHighlighter::TKeyFailure& f) { failures.push_back(f); };
    TZarvMemo memo;
    memo.setHighlighter(&h);
    memo.SetTextBuf(c.Text);
    HighlightAll(memo);
    HighlightAll(memo);
    ASSERT_EQ(failures.size(), 1u) << c.Expr;
    EXPECT_EQ(failures[0].Index, 0);
    if (!c.Codes.empty()) {
      EXPECT_NE(std::find(c.Codes.begin(), c.Codes.end(), failures[0].ErrorCode), c.Codes.end())
          << c.Expr << " code " << failures[0].ErrorCode;
    }
    EXPECT_EQ(failures[0].Position > 0, c.HasPosition) << c.Expr;
    EXPECT_FALSE(failures[0].Message.isEmpty());
    EXPECT_TRUE(h.KeywordDisabled(0));
    EXPECT_EQ(DynToContext(RunAt(memo, 0, 0)), 2) << c.Expr << ": the other key still marks";
    // A change of the list compiles again (and reports again).
    h.Keywords().AddExtKeyWord(QStringLiteral("zz"), woMatchCase, 0, 3, 0, 0, 0, clNone, clNone);
    HighlightAll(memo);
    EXPECT_EQ(failures.size(), 2u);
    memo.setHighlighter(nullptr);
  }
}

// Empty matches never open, close or mark anything, and the pass ends;
// a start key whose search runs out of steps leaves the text unranged.
TEST(RegExHighlighter, EmptyAndHostileRangeKeysNeitherStallNorThrow) {
  TRegExHighlighter h;
  h.setRegExStartStop(true);
  h.StartStopKeys().AddExStartStopKey(QStringLiteral("a*"), QStringLiteral("b*"), woMatchCase, 0, 3, 0, 0, 0, clNone,
                                      clNone, {});
  h.StartStopKeys().AddExStartStopKey(QStringLiteral("(x+)+$"), QStringLiteral("z"), woMatchCase, 0, 4, 0, 0, 0, clNone,
                                      clNone, {});
  int failures = 0;
  h.OnKeyFailed = [&failures](TRegExHighlighter&, const TRegExHighlighter::TKeyFailure&) { ++failures; };
  // Backtracking that the engine cuts short by itself (no "b" in the text)
  // costs nothing and is no failure.
  h.Keywords().AddExtKeyWord(QStringLiteral("(a+)+b"), woMatchCase, 0, 5, 0, 0, 0, clNone, clNone);
  TZarvMemo memo;
  memo.setHighlighter(&h);
  memo.SetTextBuf(QStringLiteral("ccaacbbc\r\n") + QString(10000, u'x') + u'!' + QString(10000, u'a'));
  HighlightAll(memo);
  EXPECT_EQ(Runs(memo, 0, Category), "..DDDDD.") << "opens at the first non-empty start, closes at bb";
  EXPECT_EQ(failures, 1);
  EXPECT_TRUE(h.StartStopDisabled(1));
  EXPECT_FALSE(h.KeywordDisabled(0));
  EXPECT_EQ(DynToContext(RunAt(memo, 1, 5)), 0);
  memo.setHighlighter(nullptr);
}

TEST(RegExHighlighter, EditsHighlightTheWholeParagraphAgain) {
  std::mt19937 rng(7);
  TRegExHighlighter h;
  h.Keywords().AddExtKeyWord(QStringLiteral("^#.*"), woMatchCase, 0, 1, 0, 0, 0, clNone, clNone);
  h.Keywords().AddExtKeyWord(QStringLiteral("a[0-9]*b"), woMatchCase, 0, 2, 0, 0, 0, clNone, clNone);
  TZarvMemo memo, fresh;
  memo.setHighlighter(&h);
  fresh.setHighlighter(&h);
  memo.SetTextBuf(RandomText(rng, "#ab01 ", 40));
  HighlightAll(memo);
  for (int step = 0; step < 200; ++step) {
    const int32_t len = memo.Paragraphs().fTextLen;
    const int32_t a = int32_t(rng() % uint32_t(len + 1));
    const int32_t b = std::min(len, a + int32_t(rng() % 3));
    Edit(memo, a, b, RandomText(rng, "#ab01 ", int(rng() % 3)));
    fresh.SetTextBuf(memo.GetTextContent());
    HighlightAll(fresh);
    ASSERT_EQ(CodesDiffer(memo, fresh), "") << "step " << step;
  }
  memo.setHighlighter(nullptr);
  fresh.setHighlighter(nullptr);
}
