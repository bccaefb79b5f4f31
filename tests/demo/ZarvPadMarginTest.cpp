// ZarvPad's margin: the brace scanner's blocks, the gutter beside the
// editor with its View menu switch, fold marks of a C++ file folded by a
// click (the numbers then jump), and a bookmark set by its key.
#ifdef ZARVPAD_LINKED

#include "ZarvPadMargin.h"
#include "ZarvPadFixture.h"

#include <ZarvMemo/folding/ZvCollapseHandler.h>
#include <ZarvMemo/gutter/ZarvGutter.h>

#include <gtest/gtest.h>

using namespace zarv;
using namespace zarv::pad;
using namespace zarv::pad::test;

namespace {

TEST(CppFoldBlocksTest, BracesAndCommentsOverSeveralLinesFold) {
  struct {
    const char* text;
    TFoldBlocks blocks;
  } const cases[] = {
      {"int f() {\n  a;\n  b;\n}\n", {{0, 2}}},
      {"{\n}\n", {}}, // nothing between the braces
      {"if (x) {\n  a;\n} else {\n  b;\n}\n", {{0, 1}, {2, 3}}},
      {"{\n  {\n    x;\n  }\n  y;\n}\n", {{0, 4}, {1, 2}}},
      {"/*\n text\n more\n*/\nint x;\n", {{0, 2}}},
      {"s = \"{\";\n// {\nc = '{';\n{\n  a;\n}\n", {{3, 4}}}, // braces in strings and comments
      {"/* { */\n{\n a;\n}\n}\n}\n", {{1, 2}}},               // unmatched closers are ignored
      {"{ {\n  a;\n  b;\n} }\n", {{0, 2}, {0, 2}}},
  };
  for (const auto& c : cases) {
    TZarvMemo memo;
    memo.SetTextBuf(QString::fromLatin1(c.text));
    EXPECT_EQ(CppFoldBlocks(memo.Paragraphs()), c.blocks) << c.text;
  }
}

class ZarvPadMarginTest : public ZarvPadTest {
protected:
  TPadMargin& Margin() { return *W().findChild<TPadMargin*>(); }
  TZarvGutter& G() { return Margin().Gutter(); }
};

TEST_F(ZarvPadMarginTest, TheGutterShowsNumbersAndTheViewMenuSwitchesIt) {
  EXPECT_TRUE(G().isVisible());
  EXPECT_EQ(G().getZarvMemo(), &M());
  EXPECT_EQ(G().mapToGlobal(QPoint()).y(), M().viewport()->mapToGlobal(QPoint()).y() - M().viewport()->y());
  EXPECT_LT(G().mapToGlobal(QPoint()).x(), M().mapToGlobal(QPoint()).x()) << "left of the editor";
  Action(QStringLiteral("Line &Numbers"))->trigger();
  EXPECT_FALSE(G().isVisible());
  Action(QStringLiteral("Line &Numbers"))->trigger();
  EXPECT_TRUE(G().isVisible());
}

TEST_F(ZarvPadMarginTest, ACppFileFoldsByAClickOnItsSign) {
  Open(QStringLiteral("f.cpp"), "int f() {\n  a;\n  b;\n}\n/*\n note\n x\n*/\nint g;\n");
  Margin().Rescan();
  EXPECT_EQ(Margin().Blocks(), (TFoldBlocks{{0, 2}, {4, 6}}));
  const TFoldGeometry g = Margin().Folds().Geometry(M().fLineHeight);
  QTest::mouseClick(M().viewport(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(g.SignLeft(0) + g.SignSize() / 2 - M().fDisplayLeft, g.SignTop() + g.SignSize() / 2));
  EXPECT_TRUE(M().Paragraphs().IsCollapsedBlockStart(0));
  EXPECT_EQ(G().NumberText(0), QStringLiteral("1"));
  EXPECT_EQ(G().NumberText(1), QStringLiteral("4")) << "numbers jump over the folded lines";
  // Typing on a line keeps the fold.
  M().setSelStart(M().getParsOffset(8));
  M().SetSelTextBuf(QStringLiteral("x"));
  Margin().Rescan();
  EXPECT_TRUE(M().Paragraphs().IsCollapsedBlockStart(0));
}

TEST_F(ZarvPadMarginTest, CtrlShiftDigitSetsABookmark) {
  Open(QStringLiteral("b.txt"), "one\ntwo\nthree\n");
  Focus();
  M().setSelStart(M().getParsOffset(2));
  QTest::keyClick(&M(), Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(G().GetBookmarkFromLine(2), 3);
  M().setSelStart(0);
  QTest::keyClick(&M(), Qt::Key_3, Qt::ControlModifier);
  EXPECT_EQ(M().getSelPar(), 2);
}

} // namespace

#endif
