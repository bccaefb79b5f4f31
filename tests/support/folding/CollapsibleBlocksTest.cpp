// Paragraph blocks: making, collapsing, expanding and removing them, edits
// that touch folded text, and a seeded random mix of all of these with the
// integrity check and a brute-force visible-line count after every step.
#include "support/store/StoreTestUtil.h"
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <gtest/gtest.h>
#include <random>

using namespace zarv;
using namespace zarv::test;

namespace {

std::unique_ptr<TParagraphsList> Lines(int n) {
  std::u16string text;
  for (int i = 0; i < n; ++i) {
    if (i)
      text += u"\r\n";
    text += u"line " + std::u16string(1, char16_t(u'a' + i % 26));
  }
  return MakeStore(text);
}

bool hidden(const TParagraphsList& s, int p) { return s.Par(p)->ParState & zvpHidden; }

// Visible lines counted from scratch: hidden paragraphs show nothing, the
// first paragraph of a collapsed block shows one line.
int32_t bruteVisible(const TParagraphsList& s) {
  int32_t n = 0;
  for (int32_t i = 0; i < s.Count(); ++i) {
    const ParInfo& p = *s.Par(i);
    if (p.ParState & zvpHidden)
      continue;
    bool collapsedStart = false;
    for (int l = zvsGetParBlockStartLevel(p) + 1; l <= zvsGetParLevel(p); ++l)
      collapsedStart |= zvsGetParCollapsed(p, l);
    n += collapsedStart ? 1 : GetLineCount(p);
  }
  return n;
}

} // namespace

TEST(CollapsibleBlocks, ABlockOfParagraphsTwoToFiveCollapsesAndExpands) {
  auto s = Lines(10);
  ASSERT_TRUE(s->MakeCollapsibleBlock(2, 5));
  EXPECT_STORE_OK(*s);
  EXPECT_TRUE(s->Par(2)->BlockState & zvbStartBlock);
  for (int p = 2; p <= 5; ++p)
    EXPECT_EQ(zvsGetParLevel(*s->Par(p)), 1) << p;
  EXPECT_EQ(zvsGetParLevel(*s->Par(6)), 0);
  EXPECT_TRUE(s->Par(5)->BlockState & zvbEndBlock);
  EXPECT_EQ(zvsGetParBlockStartLevel(*s->Par(2)), 0);
  EXPECT_EQ(zvsGetParBlockEndLevel(*s->Par(5)), 0);

  ASSERT_TRUE(s->CollapseExpandBlock(2, 1, true));
  EXPECT_STORE_OK(*s);
  EXPECT_FALSE(hidden(*s, 2));
  for (int p = 3; p <= 5; ++p)
    EXPECT_TRUE(hidden(*s, p)) << p;
  EXPECT_EQ(s->fVisibleLineCount, 7);
  EXPECT_EQ(s->Par(6)->StartLine, 3);
  EXPECT_EQ(s->Par(4)->StartLine, 3) << "hidden paragraphs carry the next visible line";

  ASSERT_TRUE(s->CollapseExpandBlock(2, 1, false));
  EXPECT_STORE_OK(*s);
  EXPECT_EQ(s->fVisibleLineCount, 10);
  EXPECT_EQ(s->Par(6)->StartLine, 6);
  EXPECT_FALSE(s->CollapseExpandBlock(3, 1, true)) << "no block starts at paragraph 3";
  EXPECT_FALSE(s->MakeCollapsibleBlock(5, 5));
}

TEST(CollapsibleBlocks, ACollapsedFirstParagraphShowsOneOfItsLines) {
  auto s = Lines(6);
  // Paragraph 1 is wrapped into three lines.
  TLinesList ll(s->Par(1));
  LineInfo l0 = ll.GetItem(0), l1 = l0, l2 = l0;
  l0.Stop = 2;
  l1.Start = 2, l1.Stop = 4;
  l2.Start = 4;
  ll.SetCount(3);
  ll.SetItem(0, l0), ll.SetItem(1, l1), ll.SetItem(2, l2);
  s->fTrueLineCount += 2;
  s->fVisibleLineCount += 2;
  s->UpdateLines(2, 2);
  ASSERT_STORE_OK(*s);
  ASSERT_TRUE(s->MakeCollapsibleBlock(1, 3));
  ASSERT_TRUE(s->CollapseExpandBlock(1, 1, true));
  EXPECT_STORE_OK(*s);
  EXPECT_EQ(s->fVisibleLineCount, 8 - 2 - 2) << "the block's other paragraphs and two lines of its first";
  ASSERT_TRUE(s->CollapseExpandBlock(1, 1, false));
  EXPECT_STORE_OK(*s);
  EXPECT_EQ(s->fVisibleLineCount, 8);
}

TEST(CollapsibleBlocks, ExpandingAnOuterBlockLeavesACollapsedInnerBlockFolded) {
  auto s = Lines(12);
  ASSERT_TRUE(s->MakeCollapsibleBlock(1, 10)); // outer, level 1
  ASSERT_TRUE(s->MakeCollapsibleBlock(3, 6));  // inner, level 2
  ASSERT_STORE_OK(*s);
  EXPECT_EQ(zvsGetParLevel(*s->Par(4)), 2);
  EXPECT_EQ(zvsGetParBlockStartLevel(*s->Par(3)), 1);
  EXPECT_EQ(zvsGetParBlockEndLevel(*s->Par(6)), 1);
  ASSERT_TRUE(s->CollapseExpandBlock(3, 2, true));
  ASSERT_TRUE(s->CollapseExpandBlock(1, 1, true));
  EXPECT_STORE_OK(*s);
  EXPECT_EQ(s->fVisibleLineCount, 12 - 9);
  ASSERT_TRUE(s->CollapseExpandBlock(1, 1, false));
  EXPECT_STORE_OK(*s);
  EXPECT_FALSE(hidden(*s, 3));
  for (int p = 4; p <= 6; ++p)
    EXPECT_TRUE(hidden(*s, p)) << p;
  EXPECT_FALSE(hidden(*s, 7));
  EXPECT_EQ(s->fVisibleLineCount, 12 - 3);
}

TEST(CollapsibleBlocks, CollapsingFromTheMiddleOfABlockFoldsItFromItsFirstParagraph) {
  auto s = Lines(10);
  ASSERT_TRUE(s->MakeCollapsibleBlock(2, 6));
  ASSERT_TRUE(s->CollapseExpandPar(4, 1, 1, true));
  EXPECT_STORE_OK(*s);
  EXPECT_FALSE(hidden(*s, 2));
  EXPECT_TRUE(hidden(*s, 3));
  EXPECT_TRUE(hidden(*s, 6));
  EXPECT_EQ(s->fVisibleLineCount, 6);
}

TEST(CollapsibleBlocks, RemovingACollapsedBlockShowsItsParagraphs) {
  auto s = Lines(10);
  ASSERT_TRUE(s->MakeCollapsibleBlock(2, 6));
  ASSERT_TRUE(s->CollapseExpandBlock(2, 1, true));
  s->RemoveCollapsibleBlock(4);
  EXPECT_STORE_OK(*s);
  for (int p = 0; p < 10; ++p) {
    EXPECT_FALSE(hidden(*s, p)) << p;
    EXPECT_EQ(zvsGetParLevel(*s->Par(p)), 0) << p;
  }
  EXPECT_EQ(s->fVisibleLineCount, 10);
}

TEST(CollapsibleBlocks, AnEditAcrossTheEndOfACollapsedBlockExpandsItFirst) {
  auto s = Lines(10);
  ASSERT_TRUE(s->MakeCollapsibleBlock(2, 5));
  ASSERT_TRUE(s->CollapseExpandBlock(2, 1, true));
  // Delete from the middle of paragraph 5 (hidden) into paragraph 7.
  const int32_t from = s->Par(5)->StartOffset + 2;
  const int32_t to = s->Par(7)->StartOffset + 3;
  Replace(*s, from, to, u"");
  EXPECT_STORE_OK(*s);
  for (int p = 0; p < s->Count(); ++p)
    EXPECT_FALSE(hidden(*s, p)) << p;
  EXPECT_EQ(s->fVisibleLineCount, s->Count());
}

TEST(CollapsibleBlocks, TypingIntoTheVisibleLineOfAFoldedBlockOpensIt) {
  auto s = Lines(8);
  ASSERT_TRUE(s->MakeCollapsibleBlock(2, 5));
  ASSERT_TRUE(s->CollapseExpandBlock(2, 1, true));
  const int32_t at = s->Par(2)->StartOffset + 1;
  Replace(*s, at, at, u"x\r\ny");
  EXPECT_STORE_OK(*s);
  EXPECT_EQ(s->fVisibleLineCount, s->Count());
}

// Removing an outer block flattens an inner collapsed block that shares its
// first paragraph; its text must be shown again.
TEST(CollapsibleBlocks, RemovingABlockOpensACollapsedInnerBlockOnItsFirstParagraph) {
  auto s = Lines(10);
  ASSERT_TRUE(s->MakeCollapsibleBlock(2, 8));
  ASSERT_TRUE(s->MakeCollapsibleBlock(2, 5));
  ASSERT_TRUE(s->CollapseExpandBlock(2, 2, true));
  s->RemoveCollapsibleBlock(7);
  EXPECT_STORE_OK(*s);
  for (int32_t p = 0; p < s->Count(); ++p)
    EXPECT_FALSE(s->Par(p)->ParState & zvpHidden) << p;
  EXPECT_EQ(s->fVisibleLineCount, s->Count());
}

// Paragraph blocks only: a hidden paragraph lies in a collapsed block.
static std::string hiddenOutsideCollapsedBlock(TParagraphsList& s) {
  for (int32_t p = 0; p < s.Count(); ++p)
    if ((s.Par(p)->ParState & zvpHidden) && !IsParCollapsedDownTo(*s.Par(p), zvsGetParLevel(*s.Par(p))))
      return "paragraph " + std::to_string(p) + " hidden outside any collapsed block";
  return {};
}

// A seeded mix of block operations and text edits.
TEST(CollapsibleBlocks, RandomBlockOperationsAndEditsKeepTheStoreConsistent) {
  std::mt19937 rng(qEnvironmentVariableIsSet("ZARV_SEED") ? qEnvironmentVariableIntValue("ZARV_SEED") : 77);
  int steps = 0, made = 0, folded = 0, deep = 0;
  for (int round = 0; round < 20; ++round) {
    auto s = Lines(60);
    for (int step = 0; step < 400; ++step) {
      const int32_t count = s->Count();
      int32_t p = int32_t(rng() % count);
      const int op = int(rng() % 10);
      // Often start on the first paragraph of an existing block, so that
      // blocks share their first paragraph.
      if (op < 3 && rng() % 2)
        while (p > 0 && zvsGetParLevel(*s->Par(p)) > 0 && zvsGetParBlockStartLevel(*s->Par(p)) >= 1)
          --p;
      std::string what;
      if (op < 3) {
        // A block inside the innermost block holding p, outermost first.
        const int lambda = zvsGetParLevel(*s->Par(p));
        int32_t q = p;
        const int32_t want = p + 1 + int32_t(rng() % 8);
        while (q + 1 < count && q < want && zvsGetParBlockEndLevel(*s->Par(q)) >= lambda &&
               zvsGetParLevel(*s->Par(q + 1)) == lambda && !(s->Par(q + 1)->ParState & zvpHidden))
          ++q;
        if (q > p && !(s->Par(p)->ParState & zvpHidden) && !s->IsCollapsedBlockStart(p)) {
          made += s->MakeCollapsibleBlock(p, q);
          deep += zvsGetParLevel(*s->Par(p)) >= 2;
          what = "make " + std::to_string(p) + ".." + std::to_string(q);
        }
      } else if (op < 5) {
        const int lambda = zvsGetParLevel(*s->Par(p));
        if (lambda > 0) {
          folded += s->CollapseExpandPar(p, 1 + int(rng() % lambda), lambda, true);
          what = "collapse at " + std::to_string(p);
        }
      } else if (op < 7) {
        const int lambda = zvsGetParLevel(*s->Par(p));
        if (lambda > 0) {
          s->CollapseExpandPar(p, 1, 1 + int(rng() % lambda), false);
          what = "expand at " + std::to_string(p);
        }
      } else if (op < 8) {
        s->RemoveCollapsibleBlock(p);
        what = "remove at " + std::to_string(p);
      } else {
        const int32_t len = s->fTextLen;
        int32_t from = int32_t(rng() % (len + 1));
        int32_t to = std::min(len, from + int32_t(rng() % 30));
        TZarvNavigator n(s.get());
        n.SetPos(from);
        if (n.GetOffset() > GetParLength(*n.GetPar()))
          --from;
        n.SetPos(to);
        if (n.GetOffset() > GetParLength(*n.GetPar()))
          ++to;
        const std::u16string ins = (rng() % 2) ? u"ab\r\ncd" : u"z";
        Replace(*s, from, to, rng() % 3 ? ins : u"");
        what = "edit " + std::to_string(from) + ".." + std::to_string(to);
      }
      const QString e = s->CheckIntegrity();
      ASSERT_TRUE(e.isEmpty()) << "round " << round << " step " << step << " after " << what << ": " << e.toStdString();
      ASSERT_EQ(s->fVisibleLineCount, bruteVisible(*s)) << "round " << round << " step " << step << " " << what;
      ASSERT_EQ(hiddenOutsideCollapsedBlock(*s), "") << "round " << round << " step " << step << " " << what;
      ++steps;
    }
  }
  EXPECT_EQ(steps, 20 * 400);
  // The mix reached what it is meant to test.
  EXPECT_GT(made, 200);
  EXPECT_GT(deep, 50);
  EXPECT_GT(folded, 100);
}
