// The gutter beside a control: rows drawn in line with the control's lines
// (probed at pixel ratios 1 and 2), the bookmark keys, bookmarks that are
// neither leaked nor lost by a refused replacement, clearing under folds,
// indexes out of range, the width by digits, and either side of the link
// destroyed first.
#include <ZarvMemo/gutter/ZarvGutter.h>
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QApplication>
#include <QBuffer>
#include <QHBoxLayout>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace zarv;

namespace {

class GutterBeside : public ::testing::Test {
protected:
  void SetUp() override {
    window = std::make_unique<QWidget>();
    auto* row = new QHBoxLayout(window.get());
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    gutter = new TZarvGutter;
    memo = new TZarvMemo;
    memo->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    memo->setUpdateMode(umImmediate);
    memo->setScrollTime(0);
    memo->setWordWrap(false);
    row->addWidget(gutter);
    row->addWidget(memo, 1);
    gutter->setFont(memo->font());
    gutter->setAlignment(taRightJustify);
    gutter->setAutoWidth(true);
    gutter->setZarvMemo(memo);
    QString text;
    for (int i = 0; i < 200; ++i)
      text += QStringLiteral("line %1\r\n").arg(i);
    memo->SetTextBuf(text);
    window->resize(400, 300);
    window->show();
    QApplication::processEvents();
  }
  int32_t lh() const { return memo->fLineHeight; }
  // The gutter's y of the control's display line `row`.
  int32_t rowTop(int32_t row) const {
    return row * lh() - memo->fTopOrigin + memo->viewport()->mapTo(window.get(), QPoint()).y() -
           gutter->mapTo(window.get(), QPoint()).y();
  }
  QImage render(qreal dpr) {
    QImage img(int(std::ceil(gutter->width() * dpr)), int(std::ceil(gutter->height() * dpr)), QImage::Format_RGB32);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::magenta);
    gutter->render(&img);
    return img;
  }
  size_t navigators() const { return memo->Navigators().size(); }

  std::unique_ptr<QWidget> window;
  TZarvGutter* gutter = nullptr;
  TZarvMemo* memo = nullptr;
};

// The rightmost dark pixel of a band of rows, in logical x; -1 for none.
int RightmostInk(const QImage& img, qreal dpr, int top, int bottom, int maxX) {
  int found = -1;
  for (int y = int(top * dpr); y < int(bottom * dpr) && y < img.height(); ++y)
    for (int x = 0; x < int(maxX * dpr) && x < img.width(); ++x)
      if (qGray(img.pixel(x, y)) < 100)
        found = std::max(found, int(x / dpr));
  return found;
}

} // namespace

TEST_F(GutterBeside, NumbersAndIconsStandBesideTheirLinesAtBothPixelRatios) {
  memo->setTopOrigin(5 * lh() + lh() / 3); // a fine scroll: rows start mid-line
  gutter->BookmarkPos(memo->getParsOffset(7), 3);
  QApplication::processEvents();
  const int32_t textW = gutter->width() - 2;
  for (qreal dpr : {1.0, 2.0}) {
    SCOPED_TRACE(dpr);
    const QImage img = render(dpr);
    const int32_t top6 = rowTop(6);
    const int ink = RightmostInk(img, dpr, top6, top6 + lh(), textW);
    EXPECT_LE(ink, textW - 2) << "the number ends at the right padding";
    EXPECT_GE(ink, textW - 4);
    // Row 7 shows bookmark 3's icon instead of its number: yellow pixels
    // in the icon's box, at the right.
    const int32_t top7 = rowTop(7);
    int yellow = 0;
    for (int y = int(top7 * dpr); y < int((top7 + lh()) * dpr); ++y)
      for (int x = int((textW - TZarvGutter::kIconSize - 2) * dpr); x < int((textW - 2) * dpr); ++x) {
        const QColor c = img.pixelColor(x, y);
        yellow += c.red() > 200 && c.green() > 170 && c.blue() < 90;
      }
    EXPECT_GT(yellow, int(12 * dpr * dpr));
    // Row 6's number lies inside row 6.
    EXPECT_EQ(RightmostInk(img, dpr, top6 - 1, top6 + 1, textW), -1);
  }
}

TEST_F(GutterBeside, BookmarkKeysSetClearAndJump) {
  memo->setFocus();
  memo->setSelStart(memo->getParsOffset(12) + 3);
  const QString text = memo->GetTextContent();
  QTest::keyClick(memo, Qt::Key_5, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_NE(gutter->getBookmarkList(5), nullptr);
  EXPECT_EQ(gutter->GetBookmarkFromLine(12), 5);
  // The shifted character of the key, as X11 reports it, works as well.
  memo->setSelStart(memo->getParsOffset(40));
  QTest::keyClick(memo, Qt::Key_Percent, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(gutter->GetBookmarkFromLine(40), 5) << "moved";
  EXPECT_EQ(gutter->GetBookmarkFromLine(12), -1);
  memo->setSelStart(0);
  QTest::keyClick(memo, Qt::Key_5, Qt::ControlModifier);
  EXPECT_EQ(memo->getSelPar(), 40);
  QTest::keyClick(memo, Qt::Key_5, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(gutter->getBookmarkList(5), nullptr) << "toggled off on its own line";
  EXPECT_EQ(memo->GetTextContent(), text) << "the keys typed nothing";
  gutter->setBookmarks(false);
  QTest::keyClick(memo, Qt::Key_5, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(gutter->getBookmarkList(5), nullptr);
}

TEST_F(GutterBeside, ReplacingABookmarkNeitherLeaksNorLosesIt) {
  const size_t base = navigators();
  ASSERT_TRUE(gutter->BookmarkLine(3, 2));
  EXPECT_EQ(navigators(), base + 1);
  bool accept = false;
  gutter->OnSetBookmark = [&](TZarvGutter&, int, TZarvNavigator*, bool& a) { a = accept; };
  EXPECT_FALSE(gutter->BookmarkLine(9, 2)) << "refused";
  EXPECT_EQ(gutter->GetBookmarkFromLine(3), 2) << "the old bookmark stays";
  EXPECT_EQ(navigators(), base + 1);
  accept = true;
  EXPECT_TRUE(gutter->BookmarkLine(9, 2));
  EXPECT_EQ(gutter->GetBookmarkFromLine(9), 2);
  EXPECT_EQ(gutter->GetBookmarkFromLine(3), -1);
  EXPECT_EQ(navigators(), base + 1) << "the replaced navigator is freed";
  // A line holding another bookmark is left alone.
  ASSERT_TRUE(gutter->BookmarkLine(11, 4));
  EXPECT_FALSE(gutter->BookmarkLine(11, 6));
  // A refused clear keeps it.
  gutter->OnClearBookmark = [](TZarvGutter&, int, TZarvNavigator*, bool& a) { a = false; };
  EXPECT_FALSE(gutter->BookmarkLine(9, 2));
  EXPECT_NE(gutter->getBookmarkList(2), nullptr);
}

TEST_F(GutterBeside, ClearingRemovesBookmarksUnderFoldsAndMakesNone) {
  const size_t base = navigators();
  gutter->BookmarkPos(memo->getParsOffset(22), 1);
  gutter->BookmarkPos(memo->getParsOffset(30), 7);
  ASSERT_TRUE(memo->MakeCollapsibleBlock(20, 25));
  ASSERT_TRUE(memo->CollapseBlock(20, 1));
  EXPECT_EQ(gutter->BookmarkRow(1), -1) << "folded away";
  int asked = 0;
  gutter->OnClearBookmark = [&](TZarvGutter&, int, TZarvNavigator*, bool&) { ++asked; };
  gutter->OnSetBookmark = [](TZarvGutter&, int, TZarvNavigator*, bool&) { ADD_FAILURE() << "a bookmark was set"; };
  gutter->ClearBookmarks();
  EXPECT_EQ(asked, 2);
  for (int i = 0; i < TZarvGutter::kBookmarkCount; ++i)
    EXPECT_EQ(gutter->getBookmarkList(i), nullptr) << i;
  EXPECT_EQ(navigators(), base);
}

TEST_F(GutterBeside, IndexesOutsideZeroToNineAreIgnored) {
  const size_t base = navigators();
  for (int bad : {-1, 10, 1000, INT32_MIN}) {
    EXPECT_FALSE(gutter->BookmarkLine(1, bad));
    gutter->BookmarkPos(0, bad);
    gutter->JumpToBookmark(bad);
    EXPECT_EQ(gutter->getBookmarks(bad), -1);
    EXPECT_EQ(gutter->getBookmarkList(bad), nullptr);
  }
  EXPECT_EQ(navigators(), base);
}

TEST_F(GutterBeside, TheWidthFollowsTheDigitsOfTheCount) {
  const int w0 = gutter->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  struct {
    int32_t count, digits;
  } const cases[] = {{1, 2}, {99, 2}, {100, 3}, {9999, 4}, {12345678, 8}, {2000000000, 10}};
  for (const auto& c : cases)
    EXPECT_EQ(gutter->WidthForCount(c.count), std::max((c.digits + 1) * w0 + 3, TZarvGutter::kIconSize + 6)) << c.count;
  EXPECT_EQ(gutter->width(), gutter->WidthForCount(gutter->RowCount()));
  memo->SetTextBuf(QStringLiteral("one line"));
  QApplication::processEvents();
  EXPECT_EQ(gutter->width(), gutter->WidthForCount(1));
}

TEST_F(GutterBeside, NewContentClearsTheBookmarks) {
  gutter->BookmarkPos(memo->getParsOffset(5), 0);
  QBuffer file;
  file.setData("fresh\r\ntext");
  file.open(QIODevice::ReadOnly);
  memo->LoadFromStream(file);
  EXPECT_EQ(gutter->getBookmarkList(0), nullptr);
}

TEST_F(GutterBeside, OneControlTakesOneGutter) {
  TZarvGutter second;
  EXPECT_THROW(second.setZarvMemo(memo), EZarvError);
  EXPECT_EQ(second.getZarvMemo(), nullptr);
  EXPECT_EQ(gutter->getZarvMemo(), memo);
}

TEST_F(GutterBeside, EitherSideMayGoFirst) {
  const size_t base = navigators();
  for (int i = 0; i < 10; ++i)
    gutter->BookmarkPos(memo->getParsOffset(i * 3), i);
  delete gutter; // the gutter goes: its bookmarks go with it
  gutter = nullptr;
  EXPECT_EQ(navigators(), base);
  memo->SetTextBuf(QStringLiteral("edit after the gutter went"));
  memo->viewport()->repaint();

  auto g = std::make_unique<TZarvGutter>();
  g->setZarvMemo(memo);
  g->setKeepBookmarks(false);
  g->BookmarkPos(0, 4);
  delete memo; // the control goes: the gutter forgets it and its bookmarks
  memo = nullptr;
  EXPECT_EQ(g->getZarvMemo(), nullptr);
  EXPECT_EQ(g->getBookmarkList(4), nullptr);
  g->repaint();
  g->BookmarkPos(0, 1);
  EXPECT_EQ(g->getBookmarkList(1), nullptr);
}

// The handler sees the rows being painted in order, and a row it leaves
// alone keeps the previous row's text and picture.
TEST_F(GutterBeside, DrawItemRowsCarryWhatTheHandlerLeftAlone) {
  memo->setTopLine(10);
  std::vector<std::pair<int32_t, QString>> seen;
  gutter->OnDrawItem = [&](TZarvGutter&, int32_t row, QString& text, QPixmap& graphic) {
    seen.emplace_back(row, text);
    if (row % 2 == 0)
      text = QStringLiteral("r%1").arg(row);
    if (seen.size() == 1)
      graphic = QPixmap(4, 4);
    else
      EXPECT_FALSE(graphic.isNull()) << "the first row's picture is carried";
  };
  gutter->repaint();
  ASSERT_GT(seen.size(), 5u);
  EXPECT_NEAR(seen.front().first, 10, 1); // a line partly above the window may show
  for (size_t i = 1; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].first, seen[i - 1].first + 1);
    const int32_t prev = seen[i - 1].first;
    EXPECT_EQ(seen[i].second, prev % 2 == 0 ? QStringLiteral("r%1").arg(prev) : seen[i - 1].second);
  }
}
