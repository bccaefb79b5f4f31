// Text accessors of the control: paragraph replacement against a list-of-
// strings model (with the caret's place), display lines reached by
// formatting on demand, columns, folding through the control, and Loaded.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>

#include <QApplication>
#include <QStringList>
#include <gtest/gtest.h>
#include <random>

using namespace zarv;

// Random paragraph replacements and appends against a QStringList; the
// caret keeps its paragraph and column when it is elsewhere, and goes to
// the start of the replaced paragraph when it was in it.
TEST(ZarvMemoText, SetParStringMatchesAListModelAndKeepsTheCaretsPlace) {
  std::mt19937 rng(13);
  TZarvMemo m;
  QStringList model{QString()};
  const QString words[] = {QString(), QStringLiteral("a"), QStringLiteral("hello world"),
                           QStringLiteral("\u00e9t\u00e9")};
  for (int step = 0; step < 400; ++step) {
    const int32_t p = int32_t(rng() % (model.size() + 1));
    const QString s = words[rng() % std::size(words)] + words[rng() % std::size(words)];
    const int32_t caretPar = int32_t(rng() % model.size());
    const int32_t caretCol = int32_t(rng() % (model[caretPar].size() + 1));
    m.setSelStart(m.getParsOffset(caretPar) + caretCol);
    m.setParString(p, s);
    if (p == model.size())
      model.append(s);
    else
      model[p] = s;
    ASSERT_EQ(m.GetTextContent(), model.join(QStringLiteral("\r\n"))) << "step " << step;
    ASSERT_NO_THROW(m.CheckIntegrity());
    const int32_t expected = caretPar == p ? m.getParsOffset(p) : m.getParsOffset(caretPar) + caretCol;
    ASSERT_EQ(m.getSelStart(), expected) << "step " << step << " p " << p << " caret in " << caretPar;
  }
  EXPECT_THROW(m.setParString(-1, QString()), ERangeError);
  EXPECT_THROW(m.setParString(m.GetParCount() + 1, QString()), ERangeError);
}

TEST(ZarvMemoText, DisplayLinesAreFormattedOnDemandAndReadBack) {
  TZarvMemo m;
  m.setUpdateMode(umOnNeed);
  m.resize(200, 100);
  m.show();
  QString text;
  for (int i = 0; i < 200; ++i)
    text += QStringLiteral("%1 several words that wrap in a narrow control\r\n").arg(i);
  m.SetTextBuf(text);
  const QString line = m.getLineString(300);
  EXPECT_FALSE(line.isEmpty()) << "line 300 exists once the paragraphs before it are wrapped";
  m.setSelLine(300);
  EXPECT_EQ(m.getSelLine(), 300);
  EXPECT_TRUE(m.GetTextContent().mid(m.getSelStart()).startsWith(line));
  EXPECT_EQ(m.getLineString(-1), QString());
  EXPECT_EQ(m.getLineString(1 << 30), QString());
  m.CheckIntegrity();
}

TEST(ZarvMemoText, ColumnsBeyondALineBecomeVirtualOnlyWithKeepColumnPos) {
  TZarvMemo m;
  m.setWordWrap(false);
  m.SetTextBuf(QStringLiteral("ab\r\nabcdef"));
  m.setSelStart(0);
  m.setSelCol(5);
  EXPECT_EQ(m.getSelStart(), 2);
  EXPECT_EQ(m.getSelCol(), 2);
  m.setOptions(m.getOptions() | zvoKeepColumnPos);
  m.setSelCol(5);
  EXPECT_EQ(m.getSelStart(), 2);
  EXPECT_EQ(m.getSelCol(), 5) << "three virtual columns";
}

TEST(ZarvMemoText, FoldingThroughTheControlCollapsesAndExpandsEveryBlock) {
  TZarvMemo m;
  QString text;
  for (int i = 0; i < 12; ++i)
    text += QStringLiteral("line %1\r\n").arg(i);
  m.SetTextBuf(text);
  ASSERT_TRUE(m.MakeCollapsibleBlock(1, 8));
  ASSERT_TRUE(m.MakeCollapsibleBlock(2, 4));
  m.CollapseAll(true, true, false);
  EXPECT_EQ(m.GetBlocksStates(2), (std::vector<bool>{true, true}));
  EXPECT_EQ(m.Paragraphs().fVisibleLineCount, 13 - 7);
  m.ExpandAll(true, true, false);
  EXPECT_EQ(m.GetBlocksStates(2), (std::vector<bool>{false, false}));
  EXPECT_EQ(m.Paragraphs().fVisibleLineCount, 13);
  m.setSelStart(m.getParsOffset(5));
  EXPECT_TRUE(m.CollapseSel());
  EXPECT_TRUE(m.ExpandSel());
  m.CheckIntegrity();
}

TEST(ZarvMemoText, LoadedReappliesHighlightingOnceWhenAListTakesPart) {
  TZarvMemo m;
  m.SetComponentState(csLoading | csReading);
  m.StartStopKeys().AddStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), woMatchCase, 0, 2, 0, clNone, clNone,
                                    false);
  m.SetTextBuf(QStringLiteral("a /* b */ c"));
  const int32_t reformats = m.ReformatCount();
  m.Loaded();
  EXPECT_EQ(m.ComponentState(), TComponentState());
  EXPECT_EQ(m.ReformatCount(), reformats + 1);
  EXPECT_EQ(m.Paragraphs().fLastStartStopParsed, -1) << "ranges are parsed again";
  m.setSelStart(5);
  EXPECT_EQ(m.GetSelContext(), 0) << "not parsed until asked";
  m.getCurrentStyle(); // parses up to the caret
  m.setSelStart(5);
  EXPECT_EQ(m.GetSelContext(), 2);
}

// Moving the view is told to the notify list and the handlers; enlarging
// the window at the end of the text shows more text instead of space.
TEST(ZarvMemoText, TheViewMovesWithNoticeAndAnEnlargedWindowShowsMoreTextAtTheEnd) {
  TZarvMemo m;
  m.setWordWrap(false);
  m.setUpdateMode(umImmediate);
  m.resize(300, 200);
  m.show();
  QString text;
  for (int i = 0; i < 100; ++i)
    text += QStringLiteral("line %1\r\n").arg(i);
  m.SetTextBuf(text);
  int vScrolls = 0, hScrolls = 0;
  m.OnVScroll = [&](TZarvMemo&) { ++vScrolls; };
  m.OnHScroll = [&](TZarvMemo&) { ++hScrolls; };
  m.setTopLine(90);
  EXPECT_EQ(m.getTopLine(), 90);
  EXPECT_EQ(vScrolls, 1);
  m.setTopLine(90);
  EXPECT_EQ(vScrolls, 1) << "no move, no notice";
  m.setDisplayLeft(-5);
  EXPECT_EQ(hScrolls, 0) << "clamped to 0, which it was";
  m.setDisplayLeft(12);
  EXPECT_EQ(hScrolls, 1);
  const int32_t lh = m.getLineHeight();
  const int32_t endTop = m.Paragraphs().fVisibleLineCount * lh - m.viewport()->height();
  m.setTopOrigin(endTop);
  m.resize(300, 200 + 10 * lh);
  QApplication::processEvents();
  EXPECT_LT(m.getTopOrigin(), endTop) << "the view moved up to fill the taller window";
  EXPECT_LE(m.getTopOrigin() + m.viewport()->height(), m.Paragraphs().fVisibleLineCount * lh + 3);
}
