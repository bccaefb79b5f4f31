// The extended highlighter as a component: links with controls and with
// its sub-highlighters (several controls, detaching, destruction, loops),
// and its stored forms (binary and ini), whole or damaged.
#include "HighlighterTestSupport.h"

#include <ZarvMemo/highlighters/ExtHighlighter.h>
#include <ZarvMemo/highlighters/HighlighterErrors.h>
#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/StringList.h>
#include <ZarvMemo/platform/ValueFiler.h>

#include <QBuffer>
#include <gtest/gtest.h>
#include <memory>

using namespace zarv;
using namespace zarv::test;

namespace {

char Digit(const DynInfoRec& d) {
  const int32_t c = DynToContext(d);
  return c == 0 ? '.' : char('0' + c % 10);
}

std::string Highlighted(TZarvMemo& memo) {
  HighlightAll(memo);
  std::string out;
  for (int32_t p = 0; p < memo.Paragraphs().Count(); ++p)
    out += (p ? "|" : "") + Runs(memo, p, Digit);
  return out;
}

void Fill(TExtHighlighter& h, const char* word, int16_t context) {
  h.Keywords().AddExtKeyWord(QString::fromLatin1(word), woMatchCase | woWholeWordsOnly, fsBold, context, 0, 0, 0,
                             clNone, clNone);
}

// No paragraph holds codes or a parsed state: the control forgot every run.
bool Unparsed(TZarvMemo& memo) {
  for (int32_t p = 0; p < memo.Paragraphs().Count(); ++p) {
    const ParInfo& par = *memo.Paragraphs().Par(p);
    if (GetDynCount(par) > 0 || (par.ParState & (zvpSSDone | zvpKeywDone)))
      return false;
  }
  return true;
}

QByteArray Stored(const TCustomExtHighlighter& h) {
  QBuffer b;
  b.open(QIODevice::WriteOnly);
  TWriter w(b);
  h.WriteData(w);
  return b.data();
}

void Restore(TCustomExtHighlighter& h, const QByteArray& bytes) {
  QBuffer b;
  b.setData(bytes);
  b.open(QIODevice::ReadOnly);
  TReader r(b);
  h.ReadData(r);
}

} // namespace

TEST(ExtHighlighterLinks, OneHighlighterServesSeveralControlsAndDetachingOneLeavesTheOthers) {
  auto h = std::make_unique<TExtHighlighter>();
  Fill(*h, "if", 1);
  TZarvMemo a, b;
  for (TZarvMemo* m : {&a, &b}) {
    m->setHighlighter(h.get());
    m->SetTextBuf(QStringLiteral("if x"));
  }
  EXPECT_EQ(Highlighted(a), "11..");
  EXPECT_EQ(Highlighted(b), "11..");
  a.setHighlighter(nullptr); // its runs go with it
  EXPECT_TRUE(Unparsed(a));
  EXPECT_EQ(Highlighted(a), "....");
  EXPECT_EQ(h->MemoList.size(), 1u);
  // Destroyed while attached: the control forgets it and its runs.
  h.reset();
  EXPECT_EQ(b.Highlighter(), nullptr);
  EXPECT_TRUE(Unparsed(b));
  EXPECT_EQ(Highlighted(b), "....");
}

TEST(ExtHighlighterLinks, ASubHighlighterThatGoesLeavesTheChainAndItsControlsHighlightAgain) {
  TExtHighlighter head;
  Fill(head, "if", 1);
  auto ext = std::make_unique<TExtHighlighter>();
  Fill(*ext, "x", 2);
  // A plain highlighter has only its destroyed() signal to tell.
  auto plain = std::make_unique<TZarvHighlighter>();
  head.setSubHighlighter(ext.get());
  ext->setSubHighlighter(plain.get());
  TZarvMemo memo;
  memo.setHighlighter(&head);
  memo.SetTextBuf(QStringLiteral("if x"));
  EXPECT_EQ(Highlighted(memo), "11.2");
  plain.reset();
  EXPECT_EQ(ext->getSubHighlighter(), nullptr);
  ext.reset();
  EXPECT_EQ(head.getSubHighlighter(), nullptr);
  EXPECT_TRUE(Unparsed(memo));
  EXPECT_EQ(Highlighted(memo), "11..");
  memo.setHighlighter(nullptr);
}

TEST(ExtHighlighterLinks, ALoopIsRefusedAndTheChainStaysAsItWas) {
  TExtHighlighter a, b, c;
  a.setSubHighlighter(&b);
  b.setSubHighlighter(&c);
  EXPECT_THROW(c.setSubHighlighter(&a), ECircularHighlighting);
  EXPECT_THROW(a.setSubHighlighter(&a), ECircularHighlighting);
  try {
    b.setSubHighlighter(&a);
    ADD_FAILURE() << "no error";
  } catch (const EZarvError& e) {
    EXPECT_EQ(e.message(), QStringLiteral("Circular highlighting references"));
  }
  EXPECT_EQ(a.getSubHighlighter(), &b);
  EXPECT_EQ(b.getSubHighlighter(), &c);
  EXPECT_EQ(c.getSubHighlighter(), nullptr);
  // A highlighter with a chain under it may still be destroyed first.
  TZarvMemo memo;
  memo.setHighlighter(&c);
  b.setSubHighlighter(nullptr);
  memo.setHighlighter(nullptr);
}

TEST(ExtHighlighterStore, TheBinaryFormKeepsListsSeparatorsSwitchAndSubHighlighter) {
  QObject form;
  auto* sub = new TExtHighlighter(&form);
  sub->setObjectName(QStringLiteral("Numbers"));
  auto* h = new TExtHighlighter(&form);
  Fill(*h, ":=", 1);
  h->Keywords().setScope(0, 3);
  h->Keywords().setPriority(0, 7);
  h->StartStopKeys().AddExStartStopKey(QStringLiteral("<="), QStringLiteral("=>"), woMatchCase, fsItalic, 2, 4, 5, 0,
                                       clNone, 0xFF, ssoParStop | ssoCollapsible);
  TCharSet set = h->Delimiters();
  set.reset('\t');
  set.set('+');
  h->setDelimiters(set);
  h->setActive(false);
  h->setSubHighlighter(sub);
  const QByteArray bytes = Stored(*h);

  auto* copy = new TExtHighlighter(&form);
  Restore(*copy, bytes);
  EXPECT_EQ(Stored(*copy), bytes);
  EXPECT_EQ(copy->getSubHighlighter(), sub);
  EXPECT_FALSE(copy->getActive());
  EXPECT_EQ(copy->Delimiters(), set);
  EXPECT_EQ(copy->Keywords().getScope(0), 3);
  EXPECT_EQ(copy->StartStopKeys().Entry(0).ssOptions, ssoParStop | ssoCollapsible);
  EXPECT_EQ(copy->StartStopKeys().getPriority(0), 5);
}

// Every damaged form of a stored highlighter either loads completely or
// raises a stream or conversion error; a highlighter that raised still
// holds exactly what it had.
TEST(ExtHighlighterStore, ADamagedStreamRaisesAndKeepsWhatTheHighlighterHad) {
  TExtHighlighter source;
  Fill(source, "while", 1);
  source.StartStopKeys().AddExStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), woMatchCase, 0, 2, 0, 0, 0,
                                           clNone, clNone, {});
  const QByteArray good = Stored(source);
  TExtHighlighter target;
  Fill(target, "for", 3);
  const QByteArray before = Stored(target);
  int raised = 0;
  for (qsizetype cut = 0; cut < good.size(); ++cut) {
    for (int flip = 0; flip < 2; ++flip) {
      QByteArray bad = good.left(cut);
      if (flip) {
        bad = good;
        bad[cut] = char(bad[cut] ^ 0x5A);
      }
      try {
        Restore(target, bad);
        Restore(target, before); // loaded: put the old state back for the next case
      } catch (const EZarvError&) {
        ++raised;
        ASSERT_EQ(Stored(target), before) << "cut " << cut << " flip " << flip;
      }
    }
  }
  EXPECT_GE(raised, good.size()); // every cut stream raises
}

TEST(ExtHighlighterStore, TheIniFormRoundTripsKeysWithEqualsSignsAndADamagedLineChangesNothing) {
  TExtHighlighter h;
  for (const char* k : {":=", "<=", "==", "=", "a=b"})
    Fill(h, k, 1);
  h.Keywords().setPriority(2, 9);
  h.StartStopKeys().AddExStartStopKey(QStringLiteral("<="), QStringLiteral("=>"), woMatchCase, 0, 2, 6, 0, 0, clNone,
                                      clNone, ssoDelStop);
  h.setSeparators(QStringLiteral(" +"));
  TStringList lines;
  h.SaveToIniStrings(lines);
  TExtHighlighter back;
  back.LoadFromIniStrings(lines);
  TStringList again;
  back.SaveToIniStrings(again);
  EXPECT_EQ(again.ToStringList(), lines.ToStringList());
  EXPECT_EQ(back.Keywords().getKeywords(3), QStringLiteral("="));
  EXPECT_EQ(back.Keywords().getPriority(2), 9);
  EXPECT_EQ(back.StartStopKeys().Entry(0).StopKeyStr, QStringLiteral("=>"));
  EXPECT_EQ(back.StartStopKeys().getScope(0), 6);

  TStringList damaged;
  damaged.Assign(lines);
  damaged.Add(QStringLiteral("x=1,2,z"));
  EXPECT_THROW(back.LoadFromIniStrings(damaged), EConvertError);
  TStringList unchanged;
  back.SaveToIniStrings(unchanged);
  EXPECT_EQ(unchanged.ToStringList(), lines.ToStringList());
}

TEST(ExtHighlighterStore, ShortStartStopLinesCarryAParagraphStopFlagAndALoneKeyIsAStartKey) {
  TExtStartStopList list;
  TStringList lines;
  lines.Add(QStringLiteral("ab|cd=1,2,3,4,5,6,0"));
  lines.Add(QStringLiteral("ab|cd=1,2,3,4,5,6,7"));
  lines.Add(QStringLiteral("abc=1,2,3,4,5,6,0"));
  lines.Add(QStringLiteral("no separator"));
  list.LoadFromIniStrings(lines);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Entry(0).ssOptions, TssOptions());
  EXPECT_EQ(list.Entry(1).ssOptions, TssOptions(ssoParStop));
  EXPECT_EQ(list.getScope(1), 0);
  EXPECT_EQ(list.getPriority(1), 0);
  EXPECT_EQ(list.Entry(2).StartKeyStr, QStringLiteral("abc"));
  EXPECT_EQ(list.Entry(2).StopKeyStr, QString());
}
