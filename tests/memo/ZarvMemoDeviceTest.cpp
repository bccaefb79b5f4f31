// Laying out and drawing for another device, checked differentially: lines
// drawn with DrawLines are the window's lines without selection, text laid
// out for a device of twice the resolution wraps at the given width with
// twice the metrics, and returning to the screen restores the window's
// layout and picture. Also the capitals of keyword runs.
#include "PaintTestSupport.h"
#include "PinnedFont.h"
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <memory>

using namespace zarv;
using zarv::test::MakeMemo;
using zarv::test::Render;

namespace {

QString Sample() {
  QString t;
  for (int i = 0; i < 30; ++i)
    t += QStringLiteral("%1\tred words /* a comment */ and more words to wrap the line red\r\n").arg(i);
  return t;
}

// Rows [y0, y0 + h) of a and rows [y1, y1 + h) of b are equal.
bool SameRows(const QImage& a, int y0, const QImage& b, int y1, int h) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y0 + y) != b.pixel(x, y1 + y))
        return false;
  return true;
}

// Rows of an image holding some ink (a pixel unlike the top-left one).
int InkRows(const QImage& img, int x0, int x1) {
  const QRgb bg = img.pixel(0, 0);
  int rows = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = x0; x < x1; ++x)
      if (img.pixel(x, y) != bg) {
        ++rows;
        break;
      }
  return rows;
}

TEST(ZarvMemoDevice, DrawnLinesAreTheWindowsLinesWithoutSelectionAtAnySpacing) {
  auto m = MakeMemo(Sample(), 400, 240);
  const int lh = m->fLineHeight, first = 3, n = 6;
  m->setTopLine(first);
  QApplication::processEvents();
  const QImage window = Render(*m);
  // A selection and a scroll offset must not show in drawn lines.
  m->setSelStart(5);
  m->setSelLength(300);
  for (float spacing : {float(lh), 1.5f * float(lh)}) {
    QImage out(window.width(), int(spacing * n) + lh, QImage::Format_RGB32);
    out.fill(Qt::magenta);
    {
      QPainter p(&out);
      m->DrawLines(first, first + n - 1, p, QPoint(0, 0), spacing);
    }
    for (int k = 0; k < n; ++k)
      EXPECT_TRUE(SameRows(window, k * lh, out, int(std::lround(k * spacing)), lh)) << "line " << k << " " << spacing;
  }
  // The origin moves the lines.
  QImage shifted(window.width() + 30, 3 * lh + 20, QImage::Format_RGB32);
  shifted.fill(Qt::magenta);
  {
    QPainter p(&shifted);
    m->DrawLines(first, first + 1, p, QPoint(30, 20), float(lh));
  }
  EXPECT_EQ(shifted.pixelColor(10, 10), QColor(Qt::magenta));
  EXPECT_EQ(shifted.copy(30, 20, window.width(), 2 * lh), window.copy(0, 0, window.width(), 2 * lh));
}

TEST(ZarvMemoDevice, TextLaidOutForADenserDeviceWrapsThereAndReturnsToTheScreen) {
  auto m = MakeMemo(Sample(), 400, 240);
  m->setTopLine(4);
  QApplication::processEvents();
  const QImage before = Render(*m);
  const int lh = m->fLineHeight, space = m->fSpaceWidth, lines = m->Paragraphs().fVisibleLineCount;
  const int top = m->getTopLine();

  QImage page(1600, 600, QImage::Format_RGB32);
  page.setDotsPerMeterX(2 * before.dotsPerMeterX());
  page.setDotsPerMeterY(2 * before.dotsPerMeterY());
  page.fill(Qt::white);
  const int width = 1300;
  m->FormatText(&page, width);
  m->CheckIntegrity();
  EXPECT_NEAR(m->fLineHeight, 2 * lh, 2);
  EXPECT_NEAR(m->fSpaceWidth, 2 * space, 1);
  EXPECT_EQ(m->ClientWidth(), width);
  // Every line fits the page width, and the layout differs from the screen's.
  TParagraphsList& L = m->Paragraphs();
  for (int32_t p = 0; p < L.Count(); ++p)
    for (int32_t i = 0; i < GetLineCount(*L.Par(p)); ++i)
      EXPECT_LE(GetParLine(*L.Par(p), i).LineWidth, width - m->getLeftMargin() - m->getRightMargin()) << p << ":" << i;
  EXPECT_NE(L.fVisibleLineCount, lines);
  // The window is not painted with the page's layout, and keeps its view.
  const int64_t painted = m->PaintedLineCount();
  m->viewport()->repaint();
  EXPECT_EQ(m->PaintedLineCount(), painted);

  // Drawn on the page, glyphs are twice as tall as in the window.
  {
    QPainter p(&page);
    m->DrawLines(0, 0, p, QPoint(0, 0), float(m->fLineHeight));
  }
  const QImage screenLine = before.copy(0, 0, 200, lh);
  const int onScreen = InkRows(screenLine, 20, 200);
  const int onPage = InkRows(page.copy(0, 0, 400, m->fLineHeight), 40, 400);
  EXPECT_GE(onPage, 2 * onScreen - 3);
  EXPECT_LE(onPage, 2 * onScreen + 3);

  m->FormatText(nullptr, 0);
  m->CheckIntegrity();
  QApplication::processEvents();
  EXPECT_EQ(m->fLineHeight, lh);
  EXPECT_EQ(m->fSpaceWidth, space);
  EXPECT_EQ(L.fVisibleLineCount, lines);
  EXPECT_EQ(m->getTopLine(), top);
  EXPECT_EQ(Render(*m), before);
}

TEST(ZarvMemoDevice, KeywordRunsAreDrawnInCapitalsOnlyWhenAsked) {
  ZARV_REQUIRE_FONT("DejaVu Sans Mono");
  const QString lower = QStringLiteral("red fox /* red dog */ redder red\r\n");
  const QString upper = QStringLiteral("RED fox /* red dog */ redder RED\r\n");
  auto a = MakeMemo(lower);
  auto b = MakeMemo(upper);
  b->Keywords().AddKeyWord(QStringLiteral("RED"), woMatchCase | woWholeWordsOnly, 0, 1, 0, clNone, clRed);
  QApplication::processEvents();
  EXPECT_NE(Render(*a), Render(*b));
  a->setKeywordsUpperCase(true);
  QApplication::processEvents();
  // Keywords in capitals; the comment and the longer word stay as typed.
  EXPECT_EQ(Render(*a), Render(*b));
  EXPECT_EQ(a->GetTextPart(0, a->GetTextLen()), lower);
}

} // namespace
