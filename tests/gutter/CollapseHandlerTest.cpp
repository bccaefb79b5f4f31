// The fold margin: its picture (probed at pixel ratios 1 and 2), clicks on
// every sign against a model of the fold state, the hit of a wide pen, run
// blocks sharing a line, the bounded hint, and links that survive either
// side being destroyed first.
#include <ZarvMemo/folding/ZvCollapseHandler.h>
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <random>

using namespace zarv;

namespace {

class FoldMargin : public ::testing::Test {
protected:
  void SetUp() override {
    memo = std::make_unique<TZarvMemo>();
    memo->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    memo->setUpdateMode(umImmediate);
    memo->setScrollTime(0);
    memo->setWordWrap(false);
    memo->setFocusPolicy(Qt::NoFocus);
    memo->resize(300, 400);
    memo->show();
    QString text;
    for (int i = 0; i < 60; ++i)
      text += QStringLiteral("line %1\r\n").arg(i);
    memo->SetTextBuf(text);
    handler = std::make_unique<TzvCollapseHandler>();
    memo->setLeftMargin(handler->MarginWidth() + 4);
    memo->setCollpsHandler(handler.get());
    QApplication::processEvents();
  }
  int32_t lh() const { return memo->fLineHeight; }
  // The viewport point at the centre of the sign of level index j on
  // visible line `row`.
  QPoint signCentre(int32_t row, int32_t j) const {
    const TFoldGeometry g = handler->Geometry(lh());
    return QPoint(g.SignLeft(j) + g.SignSize() / 2 - memo->fDisplayLeft,
                  row * lh() - memo->fTopOrigin + g.SignTop() + g.SignSize() / 2);
  }
  QImage render(qreal dpr) {
    const QSize s = memo->viewport()->size();
    QImage img(int(std::ceil(s.width() * dpr)), int(std::ceil(s.height() * dpr)), QImage::Format_RGB32);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::magenta);
    memo->viewport()->render(&img);
    return img;
  }
  void click(QPoint pt) { QTest::mouseClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pt); }
  bool hidden(int32_t p) const { return memo->Paragraphs().Par(p)->ParState & zvpHidden; }

  std::unique_ptr<TZarvMemo> memo;
  std::unique_ptr<TzvCollapseHandler> handler;
};

QColor At(const QImage& img, qreal dpr, int x, int y) {
  return img.pixelColor(int(x * dpr + dpr / 2), int(y * dpr + dpr / 2));
}

} // namespace

TEST_F(FoldMargin, BarsSignsAndACollapsedBlockShowAtBothPixelRatios) {
  ASSERT_TRUE(memo->MakeCollapsibleBlock(2, 8)); // level 1
  ASSERT_TRUE(memo->MakeCollapsibleBlock(4, 6)); // level 2
  const TFoldGeometry g = handler->Geometry(lh());
  const QColor bar(0xA6, 0xCA, 0xF0), paper = memo->PaintColor(clWindow);
  const int s = g.SignSize(), top = g.SignTop();
  for (qreal dpr : {1.0, 2.0}) {
    SCOPED_TRACE(dpr);
    QImage img = render(dpr);
    auto px = [&](int row, int x, int y) { return At(img, dpr, x, row * lh() + y); };
    // Line 0 has no block: the margin is plain.
    EXPECT_EQ(px(0, g.ColumnLeft(0) + 1, 1), paper);
    // Line 2 opens level 1: a square with a minus, its inside the paper.
    const int l0 = g.SignLeft(0);
    EXPECT_EQ(px(2, l0, top), Qt::black);
    EXPECT_EQ(px(2, l0 + s - 1, top + s - 1), Qt::black);
    EXPECT_EQ(px(2, l0 + 1, top + s / 2), Qt::black) << "the minus stroke";
    EXPECT_EQ(px(2, l0 + s / 2, top + 1), paper) << "no cross on an open block";
    EXPECT_EQ(px(2, g.ColumnLeft(0) + 1, 0), bar) << "the bar above the sign";
    // Line 4 opens level 2 in the second column, under the level-1 bar.
    EXPECT_EQ(px(4, g.ColumnLeft(0) + 1, 1), bar);
    EXPECT_EQ(px(4, g.SignLeft(1), top), Qt::black);
    // Line 8 ends level 1: its bar stops W pixels short of the bottom.
    EXPECT_EQ(px(8, g.ColumnLeft(0) + 1, lh() - g.W - 1), bar);
    EXPECT_EQ(px(8, g.ColumnLeft(0) + 1, lh() - 1), paper);
  }
  ASSERT_TRUE(memo->CollapseBlock(2, 1));
  QApplication::processEvents();
  for (qreal dpr : {1.0, 2.0}) {
    SCOPED_TRACE(dpr);
    QImage img = render(dpr);
    const int l0 = g.SignLeft(0);
    EXPECT_EQ(At(img, dpr, l0 + s / 2, 2 * lh() + top + 1), Qt::black) << "a cross on the collapsed block";
    // The next line shows paragraph 9: no bar, no sign.
    EXPECT_EQ(At(img, dpr, g.ColumnLeft(0) + 1, 3 * lh() + 1), paper);
  }
}

// Random nested blocks; every click on a sign must toggle exactly that
// block, and the control must not see the press (the caret stays).
TEST_F(FoldMargin, ClickingEverySignTogglesExactlyItsBlock) {
  std::mt19937 rng(7);
  std::map<std::pair<int32_t, int>, bool> model; // (first paragraph, level) -> collapsed
  const std::vector<std::pair<int32_t, int32_t>> blocks = {{1, 20}, {3, 9}, {5, 7}, {12, 18}, {25, 40}, {27, 30}};
  for (auto [a, b] : blocks) {
    ASSERT_TRUE(memo->MakeCollapsibleBlock(a, b));
    model[{a, zvsGetParLevel(*memo->Paragraphs().Par(a))}] = false;
  }
  memo->setSelStart(memo->getParsOffset(50));
  const int32_t caret = memo->getSelStart();
  for (int step = 0; step < 60; ++step) {
    // The signs shown: first paragraphs of blocks on visible lines.
    std::vector<std::tuple<int32_t, int32_t, int>> signs; // row, par, level
    for (const auto& [key, collapsed] : model) {
      TZarvNavigator n(&memo->Paragraphs());
      n.AttachMemo(memo.get());
      n.setParNb(key.first);
      if (!n.getIsVisible())
        continue;
      const ParInfo& par = *memo->Paragraphs().Par(key.first);
      int32_t S, E, N;
      bool C;
      zvsGetParLevels(par, GetParLine(par, 0), S, E, N, C);
      if (key.second - 1 >= S && key.second - 1 < E)
        signs.emplace_back(n.getVisibleLineNumber(), key.first, key.second);
    }
    ASSERT_FALSE(signs.empty());
    const auto [row, par, level] = signs[rng() % signs.size()];
    click(signCentre(row, level - 1));
    model[{par, level}] = !model[{par, level}];
    for (const auto& [key, collapsed] : model)
      ASSERT_EQ(zvsGetParCollapsed(*memo->Paragraphs().Par(key.first), key.second), collapsed)
          << "step " << step << ": block at " << key.first << " level " << key.second;
    ASSERT_EQ(memo->getSelStart(), caret);
    ASSERT_EQ(memo->Paragraphs().CheckIntegrity().toStdString(), "");
  }
}

TEST_F(FoldMargin, APenWiderThanTheLineHitsTheColumnItDraws) {
  handler->setBarPen(TZarvPen{0xF0CAA6, lh() + 6, Qt::SolidLine});
  memo->setLeftMargin(handler->MarginWidth() + 4);
  ASSERT_TRUE(memo->MakeCollapsibleBlock(2, 9));
  ASSERT_TRUE(memo->MakeCollapsibleBlock(2, 5)); // levels 1 and 2 both start on line 2
  for (int j : {0, 1}) {
    const auto hit = handler->HitTest(*memo, signCentre(2, j));
    EXPECT_EQ(hit.Level, j + 1);
    EXPECT_EQ(hit.Par, 2);
  }
  // Between two signs (the gap column) nothing is hit.
  const TFoldGeometry g = handler->Geometry(lh());
  EXPECT_FALSE(handler->HitTest(*memo, QPoint(g.W + 1 + g.W + 1 + g.W + 1, signCentre(2, 0).y())).Valid());
}

TEST_F(FoldMargin, OneColumnStandsForTheFirstLevelStartingOnTheLine) {
  handler->setMaxLevels(1);
  ASSERT_TRUE(memo->MakeCollapsibleBlock(2, 9));
  ASSERT_TRUE(memo->MakeCollapsibleBlock(4, 8));
  ASSERT_TRUE(memo->MakeCollapsibleBlock(4, 6));
  EXPECT_EQ(handler->HitTest(*memo, signCentre(4, 0)).Level, 2);
  EXPECT_EQ(handler->HitTest(*memo, signCentre(2, 0)).Level, 1);
  click(signCentre(4, 0));
  EXPECT_TRUE(zvsGetParCollapsed(*memo->Paragraphs().Par(4), 2));
  EXPECT_FALSE(zvsGetParCollapsed(*memo->Paragraphs().Par(4), 3));
}

// Two run blocks of one level open on paragraph 2; the sign stands for the
// one going on past the line, and a click folds that one.
TEST_F(FoldMargin, ASignOfRunBlocksFoldsTheBlockItStandsFor) {
  TParagraphsList& L = memo->Paragraphs();
  for (int p = 0; p < L.Count(); ++p)
    L.Par(p)->ParState |= zvpSSDone | zvpKeywDone;
  L.fLastStartStopParsed = L.Count() - 1;
  auto run = [&](int32_t p1, int32_t o1, int32_t p2, int32_t o2) {
    TZarvNavigator a(&L), b(&L);
    a.AttachMemo(memo.get());
    b.AttachMemo(memo.get());
    a.SetParPos(p1, o1);
    b.SetParPos(p2, o2);
    DynInfoRec d;
    d.DynStyle = fsItalic;
    d.CollpsState = zvdCollapsible;
    SetDynStyleP(L, a, b, d, true, false);
  };
  run(2, 0, 2, 2);
  run(2, 4, 6, 2);
  const auto hit = handler->HitTest(*memo, signCentre(2, 0));
  ASSERT_TRUE(hit.Valid());
  EXPECT_GT(hit.Code, 0) << "not the paragraph's first block";
  click(signCentre(2, 0));
  for (int p = 3; p <= 6; ++p)
    EXPECT_TRUE(hidden(p)) << p;
  EXPECT_FALSE(hidden(7));
  const auto again = handler->HitTest(*memo, signCentre(2, 0));
  EXPECT_TRUE(again.Collapsed);
  click(signCentre(2, 0));
  for (int p = 3; p <= 6; ++p)
    EXPECT_FALSE(hidden(p)) << p;
  EXPECT_EQ(L.CheckIntegrity().toStdString(), "");
}

TEST_F(FoldMargin, TheHintIsBoundedEscapedAndBuiltOncePerParagraph) {
  QString text;
  for (int i = 0; i < 5000; ++i)
    text += QStringLiteral("<b>hidden & %1</b> %2\r\n").arg(i).arg(QString(50, QLatin1Char('x')));
  memo->SetTextBuf(text);
  ASSERT_TRUE(memo->MakeCollapsibleBlock(0, 4999));
  ASSERT_TRUE(memo->CollapseBlock(0, 1));
  handler->setHintCollapsedText(true);
  const int before = handler->HintBuilds();
  for (int i = 0; i < 10; ++i)
    QTest::mouseMove(memo->viewport(), QPoint(100 + i, lh() / 2));
  EXPECT_EQ(handler->HintBuilds(), before + 1);
  const QString tip = memo->toolTip();
  EXPECT_TRUE(tip.contains(QStringLiteral("&lt;b&gt;hidden &amp; 1&lt;/b&gt;")));
  EXPECT_FALSE(tip.contains(QStringLiteral("<b>")));
  EXPECT_LT(tip.size(), 2 * TzvCollapseHandler::kHintChars);
  // Over the line after the block nothing is hidden: the hint goes.
  QTest::mouseMove(memo->viewport(), QPoint(100, lh() + lh() / 2));
  EXPECT_TRUE(memo->toolTip().isEmpty());
}

TEST_F(FoldMargin, LinksSurviveEitherSideGoingFirst) {
  auto second = std::make_unique<TZarvMemo>();
  second->setCollpsHandler(handler.get());
  EXPECT_EQ(handler->Memos().size(), 2u);
  second.reset(); // the control goes first
  EXPECT_EQ(handler->Memos().size(), 1u);
  const QPoint sign = signCentre(2, 0);
  handler.reset(); // the handler goes: the control forgets it
  EXPECT_EQ(memo->getCollpsHandler(), nullptr);
  ASSERT_TRUE(memo->MakeCollapsibleBlock(2, 5));
  memo->viewport()->repaint();
  click(sign);
  EXPECT_FALSE(zvsGetParCollapsed(*memo->Paragraphs().Par(2), 1)) << "no handler, no fold";

  TzvCollapseHandler other;
  QObject notAMemo;
  EXPECT_THROW(other.LinkMemo(&notAMemo, true), EZarvError);
}

TEST_F(FoldMargin, AtDesignTimeClicksReachTheControl) {
  ASSERT_TRUE(memo->MakeCollapsibleBlock(2, 5));
  handler->SetComponentState(csDesigning);
  click(signCentre(2, 0));
  EXPECT_FALSE(zvsGetParCollapsed(*memo->Paragraphs().Par(2), 1));
  handler->SetComponentState({});
  click(signCentre(2, 0));
  EXPECT_TRUE(zvsGetParCollapsed(*memo->Paragraphs().Par(2), 1));
}
