// Highlighter chains in the highlighting pass: after random edits,
// re-highlighting with a chain of two or three extended highlighters (with
// random keys, scopes, priorities, word and range options, behind the
// control's own lists) gives exactly what highlighting the text from
// scratch gives, and every run carries a key number in the block of the
// highlighter whose key made it.
#include "HighlighterTestSupport.h"

#include <ZarvMemo/highlighters/CPPHighlighter.h>
#include <ZarvMemo/highlighters/ExtHighlighter.h>
#include <ZarvMemo/platform/ValueFiler.h>

#include <QBuffer>

#include <gtest/gtest.h>
#include <memory>
#include <random>

using namespace zarv;
using namespace zarv::test;

namespace {

const char16_t* kKeywords[] = {u"if", u"for", u"x", u"ab", u"a b", u":=", u"<=", u"IF", u"rem", u"b"};
const char16_t* kStarts[] = {u"<", u"/*", u"\"", u"[", u"rem", u"{", u"(*", u"ab"};
const char16_t* kStops[] = {u"", u">", u"*/", u"\"", u"]", u"}", u"*)", u" ", u"b"};
const char16_t* kPieces[] = {u"<",  u">",  u"/*",   u"*/",   u"\"", u"[",    u"]",  u"rem", u"{",  u"}",   u"(*", u"*)",
                             u"if", u"IF", u"for",  u"x",    u"ab", u"a b",  u":=", u"<=",  u"b",  u" ",   u" ",  u",",
                             u"\t", u"y",  u"\r\n", u"\r\n", u"12", u"0x1F", u"//", u"#",   u"\\", u"int", u"'"};

// Contexts tell the highlighters apart: highlighter h uses 100 h + 1...
int32_t ContextOf(int h, int i) { return 100 * h + 1 + i; }

struct TChainConfig {
  std::mt19937& rng;
  int32_t pick(int32_t n) { return int32_t(rng() % uint32_t(n)); }
  bool chance(int percent) { return pick(100) < percent; }

  TWordOptions wordOptions() {
    TWordOptions o;
    if (chance(50))
      o |= woMatchCase;
    if (chance(33))
      o |= woWholeWordsOnly;
    if (chance(8))
      o |= woFirstNonBlank;
    if (chance(8))
      o |= woFirstParWord;
    if (chance(4))
      o |= woStartPar;
    return o;
  }
  // Scope 0 mostly, sometimes the context of a key of the same or an
  // earlier highlighter; priority 0, small or top.
  int16_t scope(int h) {
    if (chance(65))
      return 0;
    return int16_t(ContextOf(pick(h + 1), pick(4)));
  }
  int16_t priority() {
    const int r = pick(100);
    return int16_t(r < 50 ? 0 : r < 85 ? 1 + pick(5) : TCustomExtHighlighter::kTopPriority);
  }
  void fill(TExtHighlighter& x, int h) {
    const int keywords = 1 + pick(4), ranges = 1 + pick(4);
    for (int i = 0; i < keywords; ++i)
      x.Keywords().AddExtKeyWord(QString::fromUtf16(kKeywords[pick(std::size(kKeywords))]), wordOptions(), fsBold,
                                 int16_t(ContextOf(h, i)), scope(h), priority(), 0, clNone, clNone);
    for (int i = 0; i < ranges; ++i) {
      TssOptions ss;
      if (chance(50))
        ss |= ssoParStop;
      if (chance(15))
        ss |= ssoDelStop;
      if (chance(15))
        ss |= ssoCollapsible;
      // Reusing an earlier start key makes a chain of keys.
      x.StartStopKeys().AddExStartStopKey(QString::fromUtf16(kStarts[pick(std::size(kStarts))]),
                                          QString::fromUtf16(kStops[pick(std::size(kStops))]), wordOptions(), fsItalic,
                                          int16_t(ContextOf(h, 50 + i)), scope(h), priority(), 0, clNone, clNone, ss);
    }
    if (chance(30))
      x.setSeparators(QStringLiteral(" ,.;<>"));
  }
};

// A highlighter with the same lists and separators, through the stored form.
std::unique_ptr<TExtHighlighter> CopyOf(const TExtHighlighter& h) {
  QBuffer b;
  b.open(QIODevice::WriteOnly);
  {
    TWriter w(b);
    h.WriteData(w);
  }
  b.close();
  b.open(QIODevice::ReadOnly);
  auto copy = std::make_unique<TExtHighlighter>();
  TReader r(b);
  copy->ReadData(r);
  return copy;
}

QString RandomText(std::mt19937& rng, int n) {
  QString s;
  for (int i = 0; i < n; ++i)
    s += QString::fromUtf16(kPieces[rng() % std::size(kPieces)]);
  return s;
}

// Every code with a level names, at that level, a key in the block of the
// list that made it: the control's own keys first, then each highlighter's
// in chain order (keywords and start-stop keys counted apart).
std::string KeyNumbersOutsideTheirBlocks(TZarvMemo& memo, const std::vector<TCustomExtHighlighter*>& chain) {
  struct TBlock {
    int32_t KeyFrom, KeyTo, SsFrom, SsTo, ContextFrom;
  };
  std::vector<TBlock> blocks;
  int32_t k = memo.Keywords().GetCount(), s = memo.StartStopKeys().Count();
  for (size_t h = 0; h < chain.size(); ++h) {
    const int32_t nk = chain[h]->Keywords().GetCount(), ns = chain[h]->StartStopKeys().Count();
    blocks.push_back({k, k + nk, s, s + ns, ContextOf(int(h), 0)});
    k += nk;
    s += ns;
  }
  TParagraphsList& L = memo.Paragraphs();
  for (int32_t p = 0; p < L.Count(); ++p)
    for (const DynInfoRec& d : GetDynArray(*L.Par(p))) {
      const int level = DynToLevel(d);
      if (level < 0 || d.Context < 100)
        continue; // plain text, or the control's own keys
      const TBlock& b = blocks[size_t(d.Context / 100 - 1)];
      const int16_t key = d.KeyIndex[level];
      const int32_t n = int32_t(uint16_t(key) & 0x7FFF);
      const bool inBlock = key >= 0 ? (n >= b.KeyFrom && n < b.KeyTo) : (n >= b.SsFrom && n < b.SsTo);
      const bool rightKind = (d.Context % 100 > 50) == (key < 0);
      if (!inBlock || !rightKind)
        return "paragraph " + std::to_string(p) + " offset " + std::to_string(d.DynOffset) + ": context " +
               std::to_string(d.Context) + " with key number " + std::to_string(key);
    }
  return {};
}

} // namespace

TEST(ExtHighlighterChains, IncrementalHighlightingWithAChainEqualsHighlightingFromScratch) {
  // ZARV_SEED runs the same test with another seed.
  std::mt19937 rng(qEnvironmentVariableIsSet("ZARV_SEED") ? qEnvironmentVariableIntValue("ZARV_SEED") : 41);
  TChainConfig config{rng};
  int compared = 0;
  int64_t keywordRuns = 0, ranges = 0, nested = 0;
  for (int round = 0; round < 40; ++round) {
    // Highlighter h has contexts 100 (h + 1) + i; context numbers double as
    // the test's labels, so the chain's highlighters are numbered from 1.
    const int length = 2 + round % 2;
    std::vector<std::unique_ptr<TExtHighlighter>> chain;
    std::vector<TCustomExtHighlighter*> order;
    for (int h = 0; h < length; ++h) {
      chain.push_back(std::make_unique<TExtHighlighter>());
      config.fill(*chain.back(), h + 1);
      order.push_back(chain.back().get());
    }
    for (int h = 0; h + 1 < length; ++h)
      chain[size_t(h)]->setSubHighlighter(chain[size_t(h) + 1].get());
    // Every fourth chain ends in the C++ highlighter (contexts below 100).
    TCPPHighlighter cpp;
    if (round % 4 == 3)
      chain.back()->setSubHighlighter(&cpp);
    // A copy of the chain ending in a plain highlighter, which cannot tell
    // where its keys begin: the pass then walks every paragraph instead of
    // skipping those where no start key can begin.
    std::vector<std::unique_ptr<TExtHighlighter>> copies;
    for (const auto& h : chain)
      copies.push_back(CopyOf(*h));
    for (size_t h = 0; h + 1 < copies.size(); ++h)
      copies[h]->setSubHighlighter(copies[h + 1].get());
    TCPPHighlighter cppCopy;
    TZarvHighlighter plain;
    if (round % 4 == 3) {
      copies.back()->setSubHighlighter(&cppCopy);
      cppCopy.setSubHighlighter(&plain);
    } else {
      copies.back()->setSubHighlighter(&plain);
    }
    // The same chain serves two controls; the control's own keys come first.
    TZarvMemo memo, scratch, walked;
    for (TZarvMemo* m : {&memo, &scratch, &walked}) {
      m->Keywords().AddKeyWord(QStringLiteral("y"), woMatchCase | woWholeWordsOnly, fsBold, 7, 0, clNone, clNone);
      m->StartStopKeys().AddStartStopKey(QStringLiteral("<<"), QStringLiteral(">>"), woMatchCase, 0, 8, 0, clNone,
                                         clNone, false);
      m->setHighlighter(m == &walked ? copies.front().get() : chain.front().get());
    }
    memo.SetTextBuf(RandomText(rng, 150));
    HighlightAll(memo);
    ASSERT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty()) << "round " << round;
    for (int step = 0; step < 25; ++step) {
      const int32_t len = memo.Paragraphs().fTextLen;
      int32_t from = int32_t(rng() % uint32_t(len + 1));
      int32_t to = std::min(len, from + int32_t(rng() % 6));
      TZarvNavigator n(&memo.Paragraphs());
      n.SetPos(from);
      if (n.GetOffset() > GetParLength(*n.GetPar()))
        --from; // never split a CR LF pair
      n.SetPos(to);
      if (n.GetOffset() > GetParLength(*n.GetPar()))
        ++to;
      Edit(memo, from, to, RandomText(rng, int(rng() % 3)));
      ASSERT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty()) << "round " << round << " step " << step;
      scratch.SetTextBuf(memo.GetTextContent());
      HighlightAll(scratch);
      const std::string diff = CodesDiffer(memo, scratch);
      ASSERT_TRUE(diff.empty()) << "round " << round << " step " << step << diff;
      walked.SetTextBuf(memo.GetTextContent());
      HighlightAll(walked);
      const std::string skipped = CodesDiffer(scratch, walked);
      ASSERT_TRUE(skipped.empty()) << "round " << round << " step " << step << " (paragraphs skipped)" << skipped;
      const std::string outside = KeyNumbersOutsideTheirBlocks(memo, order);
      ASSERT_TRUE(outside.empty()) << "round " << round << " step " << step << ": " << outside;
      ++compared;
      for (int32_t p = 0; p < memo.Paragraphs().Count(); ++p)
        for (const DynInfoRec& d : GetDynArray(*memo.Paragraphs().Par(p)))
          if (DynToLevel(d) >= 0 && d.Context >= 100) {
            ++(d.KeyIndex[d.Level] >= 0 ? keywordRuns : ranges);
            nested += d.Level > 0;
          }
    }
    for (TZarvMemo* m : {&memo, &scratch, &walked})
      m->setHighlighter(nullptr);
  }
  EXPECT_EQ(compared, 40 * 25);
  // The chains did highlight, and nested their runs.
  EXPECT_GT(keywordRuns, 1000);
  EXPECT_GT(ranges, 1000);
  EXPECT_GT(nested, 100);
}
