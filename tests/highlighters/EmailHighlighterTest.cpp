// The e-mail highlighter: quote depths over whole paragraphs, the no-wrap
// state it owns, a handler's answers kept in range, edits.
#include "HighlighterTestSupport.h"

#include <ZarvMemo/highlighters/EmailHighlighter.h>

#include <gtest/gtest.h>
#include <random>

using namespace zarv;
using namespace zarv::test;

namespace {

// '0'..'4' for a quote depth, '.' outside quotes, 'c' for the own range.
char Depth(const DynInfoRec& d) {
  const int32_t c = DynToContext(d) - TEmailHighlighter::kDefaultContext;
  if (c >= 0 && c < TEmailHighlighter::kLevels)
    return char('0' + c);
  return DynToContext(d) == 7 ? 'c' : '.';
}

} // namespace

TEST(EmailHighlighter, EachQuotedParagraphIsOneRangeOfItsDepth) {
  struct TCase {
    const char* Line;
    char Expected; // the depth over the whole line, '.' for none
  };
  const TCase cases[] = {{"> text", '0'},     {">> text", '1'}, {"> > text", '1'}, {"|text", '0'},
                         {">>>>>> six", '4'}, {"a > b", '.'},   {" > x", '.'},     {"|>| mixed", '2'}};
  TEmailHighlighter h;
  h.StartStopKeys().AddExStartStopKey(QStringLiteral("{"), QStringLiteral("}"), woMatchCase, 0, 7, 0, 0, 0, clNone,
                                      clNone, {});
  TZarvMemo memo;
  memo.setHighlighter(&h);
  for (const TCase& c : cases) {
    const QString line = QString::fromLatin1(c.Line);
    memo.SetTextBuf(line + QStringLiteral("\r\nplain {x}"));
    HighlightAll(memo);
    ASSERT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty()) << c.Line;
    EXPECT_EQ(Runs(memo, 0, Depth), std::string(size_t(line.size()), c.Expected)) << c.Line;
    EXPECT_EQ(Runs(memo, 1, Depth), "......ccc") << "after " << c.Line;
    if (c.Expected != '.') {
      const DynInfoRec q = RunAt(memo, 0, 0);
      EXPECT_EQ(q.Foregnd, h.QuoteLevel(c.Expected - '0')->getForeground());
    }
  }
  memo.setHighlighter(nullptr);
}

// The highlighter's own keys are numbered after the quote depths: a
// keyword inside its own range is judged by that range's priority.
TEST(EmailHighlighter, OwnKeysAreJudgedByTheirOwnRangesPriority) {
  for (const int16_t keywordPriority : {1, 6}) {
    TEmailHighlighter h;
    h.StartStopKeys().AddExStartStopKey(QStringLiteral("{"), QStringLiteral("}"), woMatchCase, 0, 7, 0, 5, 0, clNone,
                                        clNone, {});
    h.Keywords().AddExtKeyWord(QStringLiteral("x"), woMatchCase, 0, 8, 0, keywordPriority, 0, clNone, clNone);
    TZarvMemo memo;
    memo.setHighlighter(&h);
    memo.SetTextBuf(QStringLiteral("x {x}"));
    HighlightAll(memo);
    EXPECT_EQ(DynToContext(RunAt(memo, 0, 0)), 8);
    EXPECT_EQ(DynToContext(RunAt(memo, 0, 3)), keywordPriority > 5 ? 8 : 7) << keywordPriority;
    memo.setHighlighter(nullptr);
  }
}

TEST(EmailHighlighter, HandlerAnswersAreKeptInRange) {
  struct TCase {
    int32_t Level, KeyLen;
    char Expected;
  };
  const TCase cases[] = {{99, 1000, '4'}, {-7, 3, '.'}, {2, -5, '2'}, {0, 2, '0'}};
  for (const TCase& c : cases) {
    TEmailHighlighter h;
    h.OnGetQuoteLevel = [&c](TEmailHighlighter&, const char16_t*, int32_t, int32_t& level, int32_t& keyLen) {
      level = c.Level;
      keyLen = c.KeyLen;
    };
    TZarvMemo memo;
    memo.setHighlighter(&h);
    memo.SetTextBuf(QStringLiteral("any text\r\nnext"));
    HighlightAll(memo);
    ASSERT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
    EXPECT_EQ(Runs(memo, 0, Depth), std::string(8, c.Expected)) << c.Level << " " << c.KeyLen;
    memo.setHighlighter(nullptr);
  }
}

TEST(EmailHighlighter, UnwrapsQuotedParagraphsAndClearsOnlyWhatItSet) {
  TEmailHighlighter h;
  h.setUnwrapQuotedText(true);
  TZarvMemo memo;
  memo.setHighlighter(&h);
  memo.SetTextBuf(QStringLiteral("> quoted\r\nown\r\n> also"));
  TParagraphsList& L = memo.Paragraphs();
  L.Par(1)->ParState |= zvpNoWrap; // the application's
  HighlightAll(memo);
  auto noWrap = [&](int32_t p) { return bool(L.Par(p)->ParState & zvpNoWrap); };
  EXPECT_TRUE(noWrap(0));
  EXPECT_TRUE(noWrap(1));
  EXPECT_TRUE(noWrap(2));
  Edit(memo, 0, 2, QString()); // the quote mark goes
  EXPECT_FALSE(noWrap(0));
  EXPECT_TRUE(noWrap(1)) << "the application's no-wrap stays";
  memo.setHighlighter(nullptr);
}

TEST(EmailHighlighter, EditsMatchHighlightingFromScratch) {
  std::mt19937 rng(qEnvironmentVariableIsSet("ZARV_SEED") ? qEnvironmentVariableIntValue("ZARV_SEED") : 5);
  const char* pieces[] = {">", "|", " ", "a", "\r\n", "> ", "{", "}"};
  TEmailHighlighter h;
  h.StartStopKeys().AddExStartStopKey(QStringLiteral("{"), QStringLiteral("}"), woMatchCase, 0, 7, 0, 0, 0, clNone,
                                      clNone, {});
  TZarvMemo memo, fresh;
  memo.setHighlighter(&h);
  fresh.setHighlighter(&h);
  QString text;
  for (int i = 0; i < 30; ++i)
    text += QString::fromLatin1(pieces[rng() % std::size(pieces)]);
  memo.SetTextBuf(text);
  HighlightAll(memo);
  for (int step = 0; step < 300; ++step) {
    const QString now = memo.GetTextContent();
    const int32_t a = int32_t(rng() % uint32_t(now.size() + 1));
    const int32_t b = std::min<int32_t>(int32_t(now.size()), a + int32_t(rng() % 3));
    if ((a > 0 && now[a - 1] == u'\r') || (b > 0 && b < now.size() && now[b - 1] == u'\r'))
      continue;
    Edit(memo, a, b, QString::fromLatin1(pieces[rng() % std::size(pieces)]));
    fresh.SetTextBuf(memo.GetTextContent());
    HighlightAll(fresh);
    ASSERT_EQ(CodesDiffer(memo, fresh), "") << "step " << step;
  }
  memo.setHighlighter(nullptr);
  fresh.setHighlighter(nullptr);
}
