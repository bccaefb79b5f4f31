// Folding style-run blocks through a navigator: refused under word wrap,
// collapse hides the paragraphs after the opening one up to the block end,
// expand shows them again (except inside an inner block that stays folded),
// and an edit inside a folded run opens it first.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <gtest/gtest.h>

using namespace zarv;

namespace {

class RunBlocks : public ::testing::Test {
protected:
  void SetUp() override {
    memo.setWordWrap(false);
    QString text;
    for (int i = 0; i < 12; ++i)
      text += QStringLiteral("para %1\r\n").arg(i);
    memo.SetTextBuf(text);
    for (int p = 0; p < memo.Paragraphs().Count(); ++p)
      memo.Paragraphs().Par(p)->ParState |= zvpSSDone | zvpKeywDone;
    memo.Paragraphs().fLastStartStopParsed = memo.Paragraphs().Count() - 1;
  }
  // A collapsible run from (p1, o1) to (p2, o2).
  void block(int32_t p1, int32_t o1, int32_t p2, int32_t o2) {
    TZarvNavigator a(&memo.Paragraphs()), b(&memo.Paragraphs());
    a.AttachMemo(&memo);
    b.AttachMemo(&memo);
    a.SetParPos(p1, o1);
    b.SetParPos(p2, o2);
    DynInfoRec d;
    d.DynStyle = fsItalic;
    d.CollpsState = zvdCollapsible;
    SetDynStyleP(memo.Paragraphs(), a, b, d, true, false);
  }
  TZarvNavigator& navAt(int32_t p, int32_t o) {
    nav.AttachMemo(&memo);
    nav.SetParPos(p, o);
    nav.RightOfDyn();
    return nav;
  }
  bool hidden(int32_t p) { return memo.Paragraphs().Par(p)->ParState & zvpHidden; }
  void expectOk() { EXPECT_EQ(memo.Paragraphs().CheckIntegrity().toStdString(), std::string()); }

  TZarvMemo memo;
  TZarvNavigator nav{&memo.Paragraphs()};
};

} // namespace

TEST_F(RunBlocks, CollapsingHidesTheParagraphsOfTheBlockAndExpandingShowsThem) {
  block(2, 4, 6, 2);
  expectOk();
  ASSERT_TRUE(navAt(3, 1).Collapse(false));
  expectOk();
  EXPECT_FALSE(hidden(2));
  for (int p = 3; p <= 6; ++p)
    EXPECT_TRUE(hidden(p)) << p;
  EXPECT_FALSE(hidden(7));
  EXPECT_EQ(memo.Paragraphs().fVisibleLineCount, 13 - 4);
  int32_t s, e, levels;
  EXPECT_TRUE(navAt(2, 0).GetCollapseLevels(s, e, levels));
  EXPECT_EQ(levels, 1);

  ASSERT_TRUE(navAt(2, 5).Expand(false));
  expectOk();
  for (int p = 0; p < 13; ++p)
    EXPECT_FALSE(hidden(p)) << p;
  EXPECT_EQ(memo.Paragraphs().fVisibleLineCount, 13);
  EXPECT_FALSE(navAt(2, 5).Expand(false)) << "nothing folded any more";
}

TEST_F(RunBlocks, FoldingIsRefusedUnderWordWrapOrOutsideARun) {
  block(2, 4, 6, 2);
  memo.setWordWrap(true);
  EXPECT_FALSE(navAt(3, 1).Collapse(false));
  EXPECT_EQ(memo.Paragraphs().fVisibleLineCount, 13);
  memo.setWordWrap(false);
  memo.setAlignment(taCenter);
  EXPECT_FALSE(navAt(3, 1).Collapse(false));
  memo.setAlignment(taLeftJustify);
  EXPECT_FALSE(navAt(9, 1).Collapse(false)) << "no run in force";
}

TEST_F(RunBlocks, ExpandingAnOuterBlockKeepsAFoldedInnerBlockHidden) {
  block(1, 0, 10, 2); // outer, level 1
  block(4, 0, 7, 1);  // inner, level 2
  expectOk();
  ASSERT_TRUE(navAt(5, 1).Collapse(false));
  ASSERT_TRUE(navAt(2, 1).Collapse(false));
  expectOk();
  for (int p = 2; p <= 10; ++p)
    EXPECT_TRUE(hidden(p)) << p;
  ASSERT_TRUE(navAt(1, 1).Expand(false));
  expectOk();
  EXPECT_FALSE(hidden(4)) << "the inner block's first paragraph shows";
  for (int p = 5; p <= 7; ++p)
    EXPECT_TRUE(hidden(p)) << p;
  EXPECT_FALSE(hidden(8));
}

TEST_F(RunBlocks, AnEditInsideAFoldedRunOpensItFirst) {
  block(2, 4, 6, 2);
  ASSERT_TRUE(navAt(3, 1).Collapse(false));
  TZarvNavigator a(&memo), b(&memo); // registered on the control
  a.SetParPos(2, 5);
  a.RightOfDyn();
  b.SetParPos(2, 5);
  b.RightOfDyn();
  int32_t od, ld;
  bool dc;
  memo.Paragraphs().InsertBuf(u"x", a, b, false, false, od, ld, dc);
  expectOk();
  for (int p = 0; p < 13; ++p)
    EXPECT_FALSE(hidden(p)) << p;
}
