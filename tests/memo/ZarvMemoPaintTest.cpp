// Painting of the control, checked by pixel probes at positions computed from
// the control's metrics (not golden images), at device-pixel ratios 1, 1.5
// and 2, and differentially: what the window shows after scrolls,
// selections and edits (repainted piecemeal through the backing store)
// equals a fresh control's full paint of the same state.
#include "PaintTestSupport.h"
#include "PinnedFont.h"
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/folding/CollapseHandler.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>

using namespace zarv;
using zarv::test::MakeMemo;
using zarv::test::Render;

namespace {

QColor At(const QImage& img, int x, int y) {
  const qreal d = img.devicePixelRatio();
  return img.pixelColor(int(x * d), int(y * d));
}

QColor Base(TZarvMemo& m) { return m.palette().color(QPalette::Base); }

// The first device column in logical [x0, x1) of the line at top y that
// holds a pixel differing from the background `bg`, as a logical x (may be
// fractional); -1 when there is none.
double FirstInk(const QImage& img, int x0, int x1, int y, int h, const QColor& bg) {
  const qreal d = img.devicePixelRatio();
  for (int x = int(std::floor(x0 * d)); x < int(std::ceil(x1 * d)); ++x)
    for (int yy = int(y * d); yy < int((y + h) * d); ++yy)
      if (img.pixelColor(x, yy) != bg)
        return x / d;
  return -1;
}

// Ink begins at x (antialiasing may reach into the device pixel that
// holds x at a fractional ratio) and at most 2 pixels right of it.
void ExpectInkAt(const QImage& img, int x, int y, int h, const QColor& bg, const std::string& what) {
  const double first = FirstInk(img, x - 3, x + 8, y, h, bg);
  const double d = img.devicePixelRatio();
  EXPECT_GE(first, std::floor(x * d) / d) << what << " dpr " << d;
  EXPECT_LE(first, x + 2.0) << what << " dpr " << d;
}

TEST(ZarvMemoPaint, TheRightLineStandsWhereItsPositionSaysAtEveryPixelRatio) {
  auto m = MakeMemo(QStringLiteral("x"), 1200, 120);
  m->setRightLinePen(TZarvPen{clBlue, 1, Qt::SolidLine});
  struct {
    int pos, left, scroll;
  } cases[] = {{80, 8, 0}, {-100, 8, 0}, {10, 20, 0}, {40, 8, 16}};
  for (const auto& c : cases) {
    m->setLeftMargin(c.left);
    m->setRightLinePos(c.pos);
    m->setDisplayLeft(c.scroll);
    QApplication::processEvents();
    const int x = c.pos > 0 ? c.pos * m->fSpaceWidth + c.left - c.scroll : c.left - c.scroll - c.pos;
    for (qreal dpr : {1.0, 1.5, 2.0}) {
      const QImage img = Render(*m, dpr);
      const int y = 3 * m->fLineHeight; // below the text
      EXPECT_EQ(At(img, x, y), QColor(Qt::blue)) << c.pos << " dpr " << dpr;
      EXPECT_EQ(At(img, x - 1, y), Base(*m)) << c.pos << " dpr " << dpr;
      // A one-pixel line covers 1.5 device pixels at a ratio of 1.5.
      EXPECT_EQ(At(img, x + (dpr == 1.5 ? 2 : 1), y), Base(*m)) << c.pos << " dpr " << dpr;
    }
  }
  EXPECT_EQ(m->fSpaceWidth, m->Canvas().CharWidth(u' '));
}

TEST(ZarvMemoPaint, ADottedRightLineKeepsItsDotsOnTheTextWhenScrolledByOneLine) {
  QString text;
  for (int i = 0; i < 60; ++i)
    text += QStringLiteral("line %1\r\n").arg(i);
  auto m = MakeMemo(text, 300, 200);
  m->setRightLinePos(20);
  m->setRightLinePen(TZarvPen{clBlue, 1, Qt::DotLine});
  const int x = 20 * m->fSpaceWidth + m->getLeftMargin(), lh = m->fLineHeight;
  const QImage before = Render(*m);
  m->setTopLine(1);
  QApplication::processEvents();
  const QImage after = Render(*m);
  int dots = 0;
  for (int y = 0; y + lh < before.height(); ++y) {
    EXPECT_EQ(At(after, x, y), At(before, x, y + lh)) << y;
    dots += At(after, x, y) == QColor(Qt::blue);
  }
  EXPECT_GT(dots, 10);
  EXPECT_LT(dots, before.height() - lh - 10);
}

TEST(ZarvMemoPaint, BackgroundsPictureParagraphColourAndTheEndOfTextMark) {
  auto m = MakeMemo(QStringLiteral("one\r\ntwo\r\nthree"), 300, 150);
  QPixmap pic(16, 16);
  pic.fill(Qt::green);
  m->setBackgroundBmp(pic);
  m->setParBackgnd(1, clYellow);
  m->setEndOfTextMark(TZarvPen{clRed, 1, Qt::SolidLine});
  QApplication::processEvents();
  const int lh = m->fLineHeight, far = m->viewport()->width() - 2;
  const QImage img = Render(*m);
  EXPECT_EQ(At(img, far, 1), QColor(Qt::green)); // picture behind line 0
  EXPECT_EQ(At(img, far, lh + 1), QColor(Qt::yellow));
  EXPECT_EQ(At(img, 2, lh + lh / 2), QColor(Qt::yellow)); // in the margin too
  EXPECT_EQ(At(img, far, 3 * lh), QColor(Qt::red));       // end-of-text line
  EXPECT_EQ(At(img, far, 3 * lh + 2), QColor(Qt::green)); // picture below the text
  m->setEndOfTextMark(TZarvPen{clDefault, 1, Qt::SolidLine});
  QApplication::processEvents();
  EXPECT_EQ(At(Render(*m), far, 3 * lh), QColor(Qt::green));
}

TEST(ZarvMemoPaint, ATiledPictureScrollsWithTheTextAndAFixedOneStays) {
  QString text;
  for (int i = 0; i < 40; ++i)
    text += QStringLiteral("line\r\n");
  QPixmap pic(32, 50); // stripes of 5 rows, so a shift by a line height shows
  QPainter(&pic).fillRect(pic.rect(), Qt::red);
  {
    QPainter p(&pic);
    for (int y = 0; y < 50; y += 10)
      p.fillRect(0, y, 32, 5, Qt::blue);
  }
  for (bool fixed : {false, true}) {
    auto m = MakeMemo(text, 300, 200);
    m->setBackgroundBmp(pic);
    if (fixed)
      m->setOptions(m->getOptions() | zvoFixedBackground);
    QApplication::processEvents();
    const QImage before = Render(*m);
    m->setTopLine(1);
    QApplication::processEvents();
    const QImage after = Render(*m);
    const int lh = m->fLineHeight, shift = fixed ? 0 : lh;
    for (int y = 0; y + shift < 48; ++y) // x = 2 lies in the left margin
      EXPECT_EQ(At(after, 2, y), At(before, 2, y + shift)) << "fixed " << fixed << " y " << y;
    if (fixed) { // below the fixed picture: the control's colour
      EXPECT_EQ(At(after, 2, 60), Base(*m));
    }
  }
}

TEST(ZarvMemoPaint, ASelectedKeywordIsInvertedOrInSelectionColours) {
  ZARV_REQUIRE_FONT("DejaVu Sans Mono");
  auto m = MakeMemo(QStringLiteral("a red word"));
  m->setSelBackColor(clYellow);
  m->setSelTextColor(clBlue);
  m->setSelStart(2);
  m->setSelLength(3);
  const int left = m->getLeftMargin() + 2 * m->fSpaceWidth, right = left + 3 * m->fSpaceWidth;
  const int lh = m->fLineHeight;
  struct {
    bool windowsColours;
    QColor back, text;
  } cases[] = {{false, QColor(Qt::black), QColor(Qt::cyan)}, {true, QColor(Qt::yellow), QColor(Qt::blue)}};
  for (const auto& c : cases) {
    TZarvMemoOptions o = m->getOptions();
    o.setFlag(zvoWindowsSelColors, c.windowsColours);
    m->setOptions(o);
    QApplication::processEvents();
    const QImage img = Render(*m);
    EXPECT_EQ(At(img, left + 1, 0), c.back) << c.windowsColours;
    EXPECT_EQ(At(img, right - 1, lh - 1), c.back) << c.windowsColours;
    EXPECT_EQ(At(img, right + 1, 0), Base(*m)) << c.windowsColours;
    int textPixels = 0;
    for (int x = left; x < right; ++x)
      for (int y = 0; y < lh; ++y)
        textPixels += At(img, x, y) == c.text;
    EXPECT_GT(textPixels, 10) << c.windowsColours;
  }
}

TEST(ZarvMemoPaint, StaticHighlightCodesTakeNoWidthAndPaintTheHighlightColours) {
  ZARV_REQUIRE_FONT("DejaVu Sans Mono");
  auto m = MakeMemo(QString());
  m->setStaticFormat(true);
  m->SetTextBuf(QStringLiteral("a\x03HH\x03H"));
  m->setHighlightColor(clRed);
  m->setHighlightBackgnd(clYellow);
  QApplication::processEvents();
  const int lm = m->getLeftMargin(), sw = m->fSpaceWidth, lh = m->fLineHeight;
  const QImage img = Render(*m);
  EXPECT_EQ(At(img, lm + sw + 1, 0), QColor(Qt::yellow));
  EXPECT_EQ(At(img, lm + 3 * sw - 1, lh - 1), QColor(Qt::yellow));
  EXPECT_EQ(At(img, lm + 3 * sw + 1, 0), Base(*m));
  int red = 0;
  for (int x = lm + sw; x < lm + 3 * sw; ++x)
    for (int y = 0; y < lh; ++y)
      red += At(img, x, y) == QColor(Qt::red);
  EXPECT_GT(red, 10);
  const double h = FirstInk(img, lm + 3 * sw, lm + 4 * sw, 0, lh, Base(*m)); // the last H
  EXPECT_GE(h, lm + 3 * sw);
  EXPECT_LE(h, lm + 3 * sw + 2);
}

TEST(ZarvMemoPaint, AColumnBlockIsTheSameColumnsOnEveryLine) {
  auto m = MakeMemo(QStringLiteral("abcdef\r\nab\tcd\r\nabcdef\r\nabcdef"));
  m->setWordWrap(false);
  m->setTabStops(4);
  m->SelectBlock(1, 0, 3, 2);
  QApplication::processEvents();
  ASSERT_TRUE(m->BlockSelection());
  const int lm = m->getLeftMargin(), sw = m->fSpaceWidth, lh = m->fLineHeight;
  const QImage img = Render(*m);
  for (int line = 0; line < 4; ++line) { // probed on the bottom row, below the glyphs
    const QColor inside = line < 3 ? QColor(Qt::black) : Base(*m);
    EXPECT_EQ(At(img, lm + sw + 1, line * lh + lh - 1), inside) << line;
    EXPECT_EQ(At(img, lm + 3 * sw - 1, line * lh + lh - 1), inside) << line;
    EXPECT_EQ(At(img, lm + sw - 1, line * lh + lh - 1), Base(*m)) << line;
    EXPECT_EQ(At(img, lm + 3 * sw + 1, line * lh + lh - 1), Base(*m)) << line;
  }
}

TEST(ZarvMemoPaint, TheEndOfParagraphBoxShowsOnlyWhenTheBreakIsSelected) {
  ZARV_REQUIRE_FONT("DejaVu Sans Mono");
  auto m = MakeMemo(QStringLiteral("ab\r\ncd"));
  m->setShowEndParSelected(true);
  const int endX = m->getLeftMargin() + 2 * m->fSpaceWidth, lh = m->fLineHeight;
  struct {
    int length;
    bool box;
  } cases[] = {{2, false}, {3, true}, {4, true}};
  for (const auto& c : cases) {
    m->setSelStart(0);
    m->setSelLength(c.length);
    QApplication::processEvents();
    const QImage img = Render(*m);
    EXPECT_EQ(At(img, endX + 1, lh / 2) == QColor(Qt::black), c.box) << c.length;
    EXPECT_EQ(At(img, endX + 1, 1), Base(*m)) << c.length; // the box is short
  }
}

TEST(ZarvMemoPaint, TabsReachTheirStopsAndTheCaretAgreesWithTheGlyphs) {
  ZARV_REQUIRE_FONT("DejaVu Sans Mono");
  struct {
    int tabStops;
    QString text;
    int stop; // x of 'X' from the line start
  } cases[] = {
      {-40, QStringLiteral("\tX"), 40}, {-40, QStringLiteral("abcdefg\tX"), 80}, {4, QStringLiteral("ab\tX"), -4}};
  for (const auto& c : cases) {
    auto m = MakeMemo(c.text);
    m->setTabStops(c.tabStops);
    QApplication::processEvents();
    const int stop = c.stop > 0 ? c.stop : -c.stop * m->fSpaceWidth;
    const int x = m->getLeftMargin() + stop;
    m->setSelStart(int32_t(c.text.size()) - 1);
    EXPECT_EQ(m->CaretX(), x) << c.tabStops;
    for (qreal dpr : {1.0, 1.5, 2.0}) {
      ExpectInkAt(Render(*m, dpr), x, 0, m->fLineHeight, Base(*m), "tab stops " + std::to_string(c.tabStops));
    }
  }
}

TEST(ZarvMemoPaint, JustifiedWordsStandWhereTheNavigatorPutsThemAtEveryPixelRatio) {
  ZARV_REQUIRE_FONT("DejaVu Sans Mono");
  // Word starts after widened blanks and after a tab (justified only after
  // the last tab), with a bold keyword changing the font in between.
  const QString text = QStringLiteral("Hi Mo red Ha\tHe Mi Hu Ma Ho Me Hy Mu Hw Mx Hq My Hz Mv Hk Mj Ho Mm Hn "
                                      "Mb Hc Md He Mf Hg Mh Hi Mk Hl Mn Hp Mq Hr Ms Ht Mu Hv Mw");
  auto m = MakeMemo(text, 300, 200);
  m->Keywords().AddKeyWord(QStringLiteral("Ha"), woMatchCase | woWholeWordsOnly, fsBold, 1, 0, clNone, clBlue);
  m->setJustified(true);
  m->setTabStops(-64);
  QApplication::processEvents();
  ASSERT_GT(m->getTotalLineCount(), 2);
  TZarvNavigator nav(static_cast<QObject*>(m.get()));
  for (qreal dpr : {1.0, 1.5, 2.0}) {
    const QImage img = Render(*m, dpr);
    int checked = 0;
    for (int32_t i = 1; i < text.size(); ++i) {
      if (text[i - 1] != QLatin1Char(' ') && text[i - 1] != QLatin1Char('\t'))
        continue;
      nav.SetPos(i);
      const int x = nav.GetDisplayX(), y = nav.GetDisplayY() - m->fLineBase;
      ExpectInkAt(img, x, y, m->fLineHeight, Base(*m), "offset " + std::to_string(i));
      ++checked;
    }
    EXPECT_GT(checked, 40);
  }
}

TEST(ZarvMemoPaint, TheCaretIsAnInvertedBarWhereUpdateCaretPutItOnlyWhenFocused) {
  ZARV_REQUIRE_FONT("DejaVu Sans Mono");
  auto m = MakeMemo(QStringLiteral("abc def"));
  m->setFocusPolicy(Qt::StrongFocus);
  m->activateWindow();
  m->setFocus();
  QApplication::processEvents();
  if (!m->hasFocus())
    GTEST_SKIP() << "the platform gives no focus";
  m->setCaretWidth(2);
  m->setSelStart(4);
  QApplication::processEvents();
  const int x = m->getLeftMargin() + 4 * m->fSpaceWidth;
  EXPECT_EQ(m->CaretRect(), QRect(x, 0, 2, m->fLineHeight));
  struct {
    bool displayOnly, focused;
  } cases[] = {{false, true}, {true, true}, {false, false}};
  for (const auto& c : cases) {
    m->setDisplayOnly(c.displayOnly);
    if (!c.focused)
      m->clearFocus();
    QApplication::processEvents();
    m->setSelStart(4); // a moved caret shows at once, whatever the blink
    const QImage img = Render(*m);
    const bool shown = !c.displayOnly && c.focused;
    for (int dx : {0, 1})
      EXPECT_EQ(At(img, x + dx, 1), shown ? QColor(Qt::black) : Base(*m)) << c.displayOnly << c.focused;
    EXPECT_EQ(At(img, x + 2, 1), Base(*m));
  }
}

// Records the lines it is asked to mark and paints one pixel at each.
class TMarkingHandler : public TzvsCollapseHandler, public IzvCollapseHandler {
public:
  void LinkMemo(QObject*, bool) override {}
  void PaintLine(QObject*, QPainter* DC, int, int, const ParInfo& Par, const LineInfo& Line) override {
    Starts.push_back(Par.StartOffset + Line.Start);
    DC->fillRect(QRect(0, 0, 1, 1), Qt::blue);
  }
  std::vector<int32_t> Starts;
};

TEST(ZarvMemoPaint, FoldedParagraphsAreSkippedAndTheHandlerMarksEachShownLine) {
  auto m = MakeMemo(QStringLiteral("zero\r\none\r\ntwo\r\nthree\r\nfour"));
  auto shortened = MakeMemo(QStringLiteral("zero\r\none\r\nfour"));
  ASSERT_TRUE(m->MakeCollapsibleBlock(1, 3));
  ASSERT_TRUE(m->CollapseBlock(1, 2));
  QApplication::processEvents();
  ASSERT_EQ(m->Paragraphs().fVisibleLineCount, 3);
  EXPECT_EQ(Render(*m), Render(*shortened));
  TMarkingHandler handler;
  m->setCollpsHandler(&handler);
  const QImage img = Render(*m);
  EXPECT_EQ(handler.Starts, (std::vector<int32_t>{0, 6, 23}));
  for (int line = 0; line < 3; ++line)
    EXPECT_EQ(At(img, 0, line * m->fLineHeight), QColor(Qt::blue)) << line;
  m->setCollpsHandler(nullptr);
}

// The picture the window shows once background formatting is done, as the
// backing store holds it.
QImage OnScreen(TZarvMemo& m) {
  while (m.getUpdateMode() == umBackground && m.getFormatCompleted() < m.GetParCount())
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  QApplication::processEvents();
  const QPoint at = m.viewport()->mapTo(m.window(), QPoint(0, 0));
  return m.screen()
      ->grabWindow(m.window()->winId(), at.x(), at.y(), m.viewport()->width(), m.viewport()->height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

// Random scrolls, selections, edits (also inside an update bracket, where
// paints are held off) in each update mode; after every step the window
// must show what a fresh control with the same text, view and selection
// paints in one go.
TEST(ZarvMemoPaint, PiecemealRepaintsShowWhatAFreshControlPaintsWhole) {
  const QString words[] = {QStringLiteral("red"), QStringLiteral("/*"), QStringLiteral("*/"),
                           QStringLiteral("int"), QStringLiteral("\t"), QStringLiteral("word")};
  for (TzvUpdateMode mode : {umImmediate, umBackground}) {
    std::mt19937 rng(17);
    QString text;
    for (int p = 0; p < 80; ++p) {
      for (int k = int(rng() % 12); k > 0; --k)
        text += words[rng() % std::size(words)] + QLatin1Char(' ');
      text += QStringLiteral("\r\n");
    }
    auto m = MakeMemo(text, 260, 180);
    m->setUpdateMode(mode);
    m->setRightLinePos(24);
    m->setShowEndParSelected(true);
    for (int step = 0; step < 60; ++step) {
      const int n = m->getCharCount();
      switch (rng() % 5) {
      case 0:
        m->setTopLine(int32_t(rng() % 40));
        break;
      case 1:
        m->setSelStart(int32_t(rng() % (n + 1)));
        m->setSelLength(int32_t(rng() % 200) - 100);
        break;
      case 2:
        m->setSelText(words[rng() % std::size(words)]);
        break;
      case 3: {
        TZarvMemo::TUpdateLock lock(*m);
        m->setSelText(QStringLiteral("\r\nred /*"));
        QApplication::processEvents(); // paints are held off meanwhile
        break;
      }
      default:
        m->setDisplayLeft(int32_t(rng() % 3) * 8);
        break;
      }
      const QImage shown = OnScreen(*m);
      auto fresh = MakeMemo(m->GetTextContent(), 260, 180);
      fresh->move(m->pos());
      fresh->setRightLinePos(24);
      fresh->setShowEndParSelected(true);
      fresh->setTopOrigin(m->getTopOrigin());
      fresh->setDisplayLeft(m->getDisplayLeft());
      fresh->setSelStart(m->getSelStart());
      fresh->setSelLength(m->getSelLength());
      ASSERT_EQ(fresh->getTopOrigin(), m->getTopOrigin());
      ASSERT_EQ(shown, Render(*fresh)) << "mode " << int(mode) << " step " << step;
    }
  }
}

TEST(ZarvMemoPaint, APaintAskedWhileLockedDrawsNothingAndIsAskedAgainAfterwards) {
  auto m = MakeMemo(QStringLiteral("first\r\nsecond"));
  const int64_t painted = m->PaintedLineCount();
  m->BeginUpdate();
  m->viewport()->repaint();
  EXPECT_EQ(m->PaintedLineCount(), painted);
  EXPECT_EQ(m->SkippedPaintCount(), 1);
  m->EndUpdate();
  QApplication::processEvents();
  EXPECT_GT(m->PaintedLineCount(), painted);
}

} // namespace
