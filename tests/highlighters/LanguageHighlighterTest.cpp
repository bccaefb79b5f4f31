// The language highlighters as components: their categories and the keys
// they restyle, keyword formats of their own through the stored form, the
// SQL "#" comment switch, and the HTML tag vocabulary and chain.
#include "HighlighterTestSupport.h"

#include <ZarvMemo/highlighters/ExtHighlighter.h>
#include <ZarvMemo/highlighters/HtmlHighlighter.h>
#include <ZarvMemo/highlighters/OOPHighlighter.h>
#include <ZarvMemo/highlighters/SQLHighlighter.h>
#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/ValueFiler.h>

#include <QBuffer>
#include <gtest/gtest.h>

using namespace zarv;
using namespace zarv::test;

namespace {

QByteArray Stored(const TCustomExtHighlighter& h) {
  QBuffer b;
  b.open(QIODevice::WriteOnly);
  TWriter w(b);
  h.WriteData(w);
  return b.data();
}

void Load(TCustomExtHighlighter& h, const QByteArray& bytes) {
  QBuffer in;
  in.setData(bytes);
  in.open(QIODevice::ReadOnly);
  TReader r(in);
  h.ReadData(r);
}

// The number of integers in the "ModFormats" list.
int FormatIntegers(const TLanguageHighlighter& h) {
  QBuffer b;
  b.open(QIODevice::WriteOnly);
  {
    TWriter w(b);
    h.WriteFormats(w);
  }
  b.close();
  b.open(QIODevice::ReadOnly);
  TReader r(b);
  int n = 0;
  r.ReadListBegin();
  for (; !r.EndOfList(); ++n)
    r.ReadInteger();
  return n;
}

int32_t ContextAt(TZarvMemo& memo, int32_t p, int32_t off) { return DynToContext(RunAt(memo, p, off)); }

} // namespace

// Each category styles its keys: the look reaches every key it names and
// no other.
TEST(LanguageHighlighter, PascalCategoriesRestyleTheirKeysOnly) {
  TOOPHighlighter h;
  struct TCase {
    THighlightInfo* Category;
    std::vector<int32_t> Keys;
  };
  const TCase cases[] = {
      {h.Strings(), {TOOPHighlighter::kStringKey, TOOPHighlighter::kCharKey, TOOPHighlighter::kAsmStringKey}},
      {h.CommentSingleLine(), {TOOPHighlighter::kLineCommentKey, TOOPHighlighter::kAsmLineCommentKey}},
      {h.CommentBrace(), {TOOPHighlighter::kBraceCommentKey, TOOPHighlighter::kAsmBraceCommentKey}},
      {h.CommentParAst(), {TOOPHighlighter::kParenCommentKey, TOOPHighlighter::kAsmParenCommentKey}},
      {h.Directives(), {TOOPHighlighter::kDirectiveKey, TOOPHighlighter::kAsmDirectiveKey}},
      {h.Properties(), {TOOPHighlighter::kPropertyKey}},
      {h.ASMHighlight(), {TOOPHighlighter::kAsmKey}},
  };
  TColor colour = 0x010101;
  for (const TCase& c : cases) {
    colour += 0x010101;
    c.Category->setForeground(colour);
    for (int32_t k = 0; k < h.StartStopKeys().Count(); ++k) {
      const bool named = std::find(c.Keys.begin(), c.Keys.end(), k) != c.Keys.end();
      EXPECT_EQ(h.StartStopKeys().Entry(k).Attributes.Foregnd == colour, named) << "key " << k;
    }
  }
  h.Numbers()->setBackground(0x00AA00);
  EXPECT_EQ(h.NumberHighlighter().getBackgnd(), 0x00AA00);
  h.SymbolsLook()->setStyle(fsUnderline);
  EXPECT_EQ(h.Keywords().getKeyInfo(TOOPHighlighter::kFirstSymbol).Style, fsUnderline);
  EXPECT_EQ(h.Keywords().getKeyInfo(TOOPHighlighter::kFirstSymbol - 1).Style, fsBold);
  // A keyword group changes only what the change touched.
  TKeywordInfo own = h.Keywords().getKeyInfo(3);
  own.Style = fsItalic;
  h.Keywords().setKeyInfo(3, own);
  h.KeywordsASM()->setForeground(0x123456);
  h.KeywordsOOP()->setStyle(fsBold | fsUnderline);
  EXPECT_EQ(h.Keywords().getKeyInfo(3).Style, fsItalic | fsUnderline);
  EXPECT_EQ(h.Keywords().getKeyInfo(4).Style, fsBold | fsUnderline);
  EXPECT_EQ(h.Keywords().getKeyInfo(TOOPHighlighter::kFirstMnemonic).Foregnd, 0x123456);
  EXPECT_EQ(h.Keywords().getKeyInfo(TOOPHighlighter::kFirstMnemonic).Backgnd, 0x00FFFF);
  EXPECT_EQ(h.Keywords().getKeyInfo(3).Foregnd, clDefault);
}

// Formats of single keywords, symbols included, survive the stored form;
// keywords that only follow their category are not stored; no keyword
// keeps the loading mark; a damaged form changes nothing.
TEST(LanguageHighlighter, StoredFormsKeepOwnFormatsOnlyAndLoadAllOrNothing) {
  auto check = [](TLanguageHighlighter& h, TLanguageHighlighter& copy, TLanguageHighlighter& target,
                  const std::vector<int32_t>& own) {
    EXPECT_EQ(FormatIntegers(h), 0);
    for (int32_t i : own) {
      TKeywordInfo k = h.Keywords().getKeyInfo(i);
      k.Foregnd = 0x100000 + i;
      k.Style = fsStrikeOut;
      h.Keywords().setKeyInfo(i, k);
    }
    const QByteArray good = Stored(h);
    // Seven integers per keyword with a format of its own, nothing more.
    EXPECT_EQ(FormatIntegers(h), 7 * int(own.size()));
    Load(copy, good);
    EXPECT_EQ(Stored(copy), good);
    for (int32_t i = 0; i < copy.Keywords().GetCount(); ++i) {
      EXPECT_EQ(copy.Keywords().getKeyInfo(i).Style & TLanguageHighlighter::kOwnFormatMark, 0) << i;
      EXPECT_EQ(copy.Keywords().getKeyInfo(i), h.Keywords().getKeyInfo(i)) << i;
    }
    const QByteArray before = Stored(target);
    for (qsizetype cut = 0; cut < good.size(); cut += 3) {
      EXPECT_THROW(Load(target, good.left(cut)), EZarvError) << "cut " << cut;
      ASSERT_EQ(Stored(target), before) << "cut " << cut;
    }
  };
  TOOPHighlighter p, pCopy, pTarget;
  p.CommentBrace()->setForeground(0x0000AA);
  check(p, pCopy, pTarget, {2, TOOPHighlighter::kFirstMnemonic + 3, TOOPHighlighter::kFirstSymbol + 4});
  EXPECT_EQ(pCopy.StartStopKeys().Entry(TOOPHighlighter::kAsmBraceCommentKey).Attributes.Foregnd, 0x0000AA);
  TSQLHighlighter s, sCopy, sTarget;
  s.SetUseSharpAsComment(true);
  s.Operators()->setAltFont(true);
  check(s, sCopy, sTarget, {7, TSQLHighlighter::kFirstOperator + 1});
  EXPECT_TRUE(sCopy.getUseSharpAsComment());
  EXPECT_EQ(sCopy.Keywords().getKeyInfo(TSQLHighlighter::kFirstOperator).Style, fsBold | fsAltFont);
}

// The legacy list of six-integer records formats keywords 0, 1, 2, ... in
// order; it is read with the stored form (where "ModFormats" wins) and
// never written.
TEST(LanguageHighlighter, PascalLegacyFormatsAreReadInOrderAndNeverWritten) {
  QBuffer b;
  b.open(QIODevice::WriteOnly);
  {
    TWriter w(b);
    w.WritePropName(QStringLiteral("KeywordsOvr.Formats"));
    w.WriteListBegin();
    for (int32_t k = 0; k < 2; ++k)
      for (int32_t v : {int32_t(woWholeWordsOnly), int32_t(fsItalic), 1, 0, 0x111111 * (k + 1), 0x222222})
        w.WriteInteger(v);
    w.WriteListEnd();
    w.WritePropName(QStringLiteral("ModFormats"));
    w.WriteListBegin();
    for (int32_t v : {1, int32_t(woWholeWordsOnly), int32_t(fsUnderline), 1, 0, 0x333333, 0x444444})
      w.WriteInteger(v);
    w.WriteListEnd();
    w.WriteListEnd();
  }
  TOOPHighlighter h;
  Load(h, b.data());
  EXPECT_EQ(h.Keywords().getKeyInfo(0).Backgnd, 0x111111);
  EXPECT_EQ(h.Keywords().getKeyInfo(0).Style, fsItalic);
  EXPECT_EQ(h.Keywords().getKeyInfo(1).Backgnd, 0x333333);
  EXPECT_EQ(h.Keywords().getKeyInfo(2).Backgnd, clDefault);
  EXPECT_FALSE(Stored(h).contains("Formats\x00") && !Stored(h).contains("ModFormats"));
  EXPECT_EQ(Stored(h).count("Formats"), 1); // "ModFormats" only
}

// The "#" comment key must never fire while switched off: not on "#", nor
// on the italic toggle character that static formats put in the text.
TEST(LanguageHighlighter, SqlSharpCommentsOnlyWhenSwitchedOn) {
  TSQLHighlighter h;
  TZarvMemo memo;
  memo.setHighlighter(&h);
  const QString italic = QString(QChar(chItalicCode)) + QStringLiteral("select") + QChar(chItalicCode) + " # x";
  memo.SetTextBuf(italic);
  HighlightAll(memo);
  for (int32_t off = 0; off < italic.size(); ++off)
    EXPECT_EQ(ContextAt(memo, 0, off), 0) << off;
  h.SetUseSharpAsComment(true);
  h.ReApplyKeys();
  HighlightAll(memo);
  EXPECT_EQ(ContextAt(memo, 0, 1), 0);
  EXPECT_EQ(ContextAt(memo, 0, 9), TSQLHighlighter::kCommentContext);
  EXPECT_EQ(ContextAt(memo, 0, 11), TSQLHighlighter::kCommentContext);
  memo.setHighlighter(nullptr);
}

// Words of the Keywords list are tags too, with their own look; a chained
// highlighter finds its keys in the text between tags, before a tag that
// follows, and numbers its ranges after the HTML states.
TEST(LanguageHighlighter, HtmlKeywordTagsAndAChainedHighlighter) {
  THtmlHighlighter h;
  h.Keywords().AddKeyWord(QStringLiteral("widget"), {}, fsUnderline, 40, 0, clDefault, 0x00AA00);
  TExtHighlighter sub;
  sub.Keywords().AddKeyWord(QStringLiteral("TODO"), woMatchCase | woWholeWordsOnly, fsBold, 41, 0, clDefault, 1);
  sub.StartStopKeys().AddStartStopKey(QStringLiteral("{{"), QStringLiteral("}}"), woMatchCase, 0, 42, 0, clDefault,
                                      clDefault, false);
  h.setSubHighlighter(&sub);
  TZarvMemo memo;
  memo.setHighlighter(&h);
  memo.SetTextBuf(QStringLiteral("<Widget a=1> TODO {{ <b> }}<b>"));
  HighlightAll(memo);
  EXPECT_EQ(ContextAt(memo, 0, 1), 40);
  EXPECT_EQ(RunAt(memo, 0, 1).Foregnd, 0x00AA00);
  EXPECT_EQ(ContextAt(memo, 0, 8), THtmlHighlighter::kAttributeName);
  EXPECT_EQ(ContextAt(memo, 0, 13), 41);
  for (int32_t off : {18, 22, 25})
    EXPECT_EQ(ContextAt(memo, 0, off), 42) << off;
  const DynInfoRec range = RunAt(memo, 0, 18);
  EXPECT_EQ(uint16_t(range.KeyIndex[range.Level]), 0x8000u | uint32_t(THtmlHighlighter::kOwnKeysOffset));
  EXPECT_EQ(ContextAt(memo, 0, 28), THtmlHighlighter::kTagName);
  EXPECT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
  memo.setHighlighter(nullptr);
}

// The state codes take the categories' looks when the text is highlighted
// again (ReApplyKeys at run time).
TEST(LanguageHighlighter, HtmlCategoriesGiveTheStatesTheirLook) {
  THtmlHighlighter h;
  TZarvMemo memo;
  memo.setHighlighter(&h);
  memo.SetTextBuf(QStringLiteral("<p x=\"1\">&amp;<!-- c -->"));
  HighlightAll(memo);
  struct TCase {
    int32_t Offset;
    THighlightInfo* Category;
  };
  const TCase cases[] = {{0, h.Bracket()}, {1, h.HtmlKeyword()},  {3, h.HtmlAttribute()}, {5, h.HtmlAttributeValue()},
                         {8, h.Bracket()}, {9, h.SpecialChars()}, {15, h.HtmlComment()}};
  for (const TCase& c : cases) {
    const DynInfoRec d = RunAt(memo, 0, c.Offset);
    EXPECT_EQ(d.Foregnd, c.Category->getForeground()) << c.Offset;
    EXPECT_EQ(d.DynStyle & 0x3F, c.Category->KeyStyle()) << c.Offset;
  }
  h.HtmlAttributeValue()->setForeground(0x0A0B0C);
  h.ReApplyKeys();
  HighlightAll(memo);
  EXPECT_EQ(RunAt(memo, 0, 5).Foregnd, 0x0A0B0C);
  memo.setHighlighter(nullptr);
}
