// The measuring canvas: run widths from its width table equal what Qt lays
// out when it draws the same run, widths add up across any split, and
// drawing advances the pen by the measured width.
#include <ZarvMemo/platform/Canvas.h>

#include "PinnedFont.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <random>

using namespace zarv;

namespace {

std::u16string randomRun(std::mt19937& rng, int n) {
  static const std::u16string alphabet =
      u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:'\"!?()[]{}<>-_=+*/\\|&%$#@~`"
      u"\u00e9\u00e8\u00fc\u00f6\u00df\u00c9\u00e7\u00f1\u00bb\u00b7fiflffi";
  std::u16string s;
  for (int i = 0; i < n; ++i)
    s += alphabet[rng() % alphabet.size()];
  return s;
}

} // namespace

TEST(Canvas, RunWidthsEqualWhatQtLaysOutForTheSameRun) {
  std::mt19937 rng(11);
  for (const char* family : {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono"}) {
    for (int size : {8, 11, 15}) {
      for (bool bold : {false, true}) {
        QFont f(QString::fromLatin1(family), size);
        f.setBold(bold);
        TZarvCanvas canvas(f);
        const QFontMetrics qt(canvas.Font());
        for (int k = 0; k < 40; ++k) {
          const std::u16string run = randomRun(rng, 1 + int(rng() % 120));
          const int32_t measured = canvas.GetTextWidth(run.data(), int32_t(run.size()), 4096);
          EXPECT_EQ(measured, qt.horizontalAdvance(QString::fromStdU16String(run)))
              << family << " " << size << (bold ? " bold" : "");
        }
      }
    }
  }
}

TEST(Canvas, WidthsAddUpAcrossAnySplitAndChunkSize) {
  std::mt19937 rng(12);
  TZarvCanvas canvas(QFont(QStringLiteral("DejaVu Sans"), 10));
  for (int k = 0; k < 200; ++k) {
    const std::u16string run = randomRun(rng, 2 + int(rng() % 200));
    const int32_t n = int32_t(run.size());
    const int32_t cut = 1 + int32_t(rng() % (n - 1));
    const int32_t whole = canvas.GetTextWidth(run.data(), n, 4096);
    EXPECT_EQ(whole, canvas.GetTextWidth(run.data(), cut, 4096) + canvas.GetTextWidth(run.data() + cut, n - cut, 4096));
    EXPECT_EQ(whole, canvas.GetTextWidth(run.data(), n, 1 + int32_t(rng() % 7)));
  }
  EXPECT_EQ(canvas.GetTextWidth(nullptr, 5, 10), 0);
  EXPECT_EQ(canvas.GetTextWidth(u"abc", 0, 10), 0);
}

TEST(Canvas, DrawingAdvancesByTheMeasuredWidthAndInksWithinIt) {
  QImage img(2000, 40, QImage::Format_ARGB32);
  img.fill(Qt::white);
  QPainter painter(&img);
  painter.setPen(Qt::black);
  TZarvCanvas canvas(QFont(QStringLiteral("DejaVu Sans"), 12), &painter);
  const std::u16string text = u"The quick brown fox jumps over the lazy dog";
  QPoint pt(10, 28);
  canvas.PutText(pt, text.data(), int32_t(text.size()), 4096, 2000, false, 5, false);
  painter.end();
  const int32_t width = canvas.GetTextWidth(text.data(), int32_t(text.size()), 4096);
  EXPECT_EQ(pt.x(), 10 + width);
  int inkLeft = img.width(), inkRight = -1;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (qGray(img.pixel(x, y)) < 128) {
        inkLeft = std::min(inkLeft, x);
        inkRight = std::max(inkRight, x);
      }
  ASSERT_GE(inkRight, 0) << "something was drawn";
  EXPECT_GE(inkLeft, 10);
  EXPECT_LE(inkRight, 10 + width + 2) << "the glyphs end where the measured run ends";
  EXPECT_GE(inkRight, 10 + width - 12);
}

TEST(Canvas, ShownSpacesBecomeMiddleDotsOfTheSpaceWidth) {
  TZarvCanvas canvas(QFont(QStringLiteral("DejaVu Sans"), 12));
  QPoint pt(0, 20);
  const std::u16string text = u"a b  c";
  canvas.PutText(pt, text.data(), int32_t(text.size()), 4096, 1000, true, 7, false);
  EXPECT_EQ(pt.x(), canvas.GetTextWidth(u"abc", 3, 10) + 3 * 7);
}

TEST(Canvas, AWavyLineZigzagsBetweenItsEndsWithinItsAmplitude) {
  QImage img(200, 40, QImage::Format_ARGB32);
  img.fill(Qt::white);
  QPainter painter(&img);
  painter.setPen(Qt::black);
  TZarvCanvas canvas(QFont(QStringLiteral("DejaVu Sans"), 10), &painter);
  canvas.WavyLine(20, 117, 10, 3);
  painter.end();
  int left = img.width(), right = -1, top = img.height(), bottom = -1;
  int rowsHit[40] = {};
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (qGray(img.pixel(x, y)) < 128) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
        ++rowsHit[y];
      }
  EXPECT_EQ(left, 20);
  EXPECT_EQ(right, 117) << "the last segment ends exactly at the right end";
  EXPECT_GE(top, 10);
  EXPECT_LE(bottom, 13);
  EXPECT_GT(rowsHit[10], 5) << "it reaches its upper vertices";
  EXPECT_GT(rowsHit[13], 5) << "and its lower ones";
}

// Sums of widths and pen positions saturate instead of overflowing (the
// sanitizer build aborts on an overflow).
TEST(Canvas, WidthsAndPenPositionsSaturateInsteadOfOverflowing) {
  ZARV_REQUIRE_FONT("DejaVu Sans");
  QFont huge(QStringLiteral("DejaVu Sans"));
  huge.setPixelSize(40000);
  TZarvCanvas canvas(huge);
  // Each passes 2^31 pixels, the second whether a fallback font draws it or
  // the selected font's missing-glyph box.
  const std::u16string ws(70000, u'W'), cjk(100000, u'\u4E00');
  ASSERT_GE(canvas.CharWidth(u'W'), 32767);
  EXPECT_EQ(canvas.GetTextWidth(ws.data(), int32_t(ws.size()), 4096), kMaxPixelWidth);
  EXPECT_EQ(canvas.GetTextWidth(cjk.data(), int32_t(cjk.size()), 1000), kMaxPixelWidth);

  const std::pair<int32_t, const char16_t*> pens[] = {{INT32_MAX - 10, u"WW"}, {0, u"W  W"}};
  for (const auto& [x, text] : pens) {
    QPoint pt(x, 0);
    canvas.PutText(pt, text, int32_t(std::char_traits<char16_t>::length(text)), 10, INT32_MAX, true, INT32_MAX, false);
    EXPECT_EQ(pt.x(), INT32_MAX) << x;
  }

  QImage img(64, 64, QImage::Format_ARGB32);
  QPainter painter(&img);
  canvas.SetPainter(&painter);
  canvas.WavyLine(32760, INT32_MAX, 0, INT32_MAX);
  canvas.WavyLine(0, 40, INT32_MAX, 1000);
}

// Qt lays a run out in 26.6 fixed point, which wraps at 2^25 pixels: a run
// of huge glyphs measures as the sum of its characters all the same, for
// characters of the selected font, of a fallback font or of none, and with
// surrogate pairs kept whole.
TEST(Canvas, RunsPastTheLayoutRangeMeasureAsTheSumOfTheirCharacters) {
  QFont huge(QStringLiteral("DejaVu Sans"));
  huge.setPixelSize(40000);
  TZarvCanvas canvas(huge);
  const auto width = [&canvas](const std::u16string& s) {
    return canvas.GetTextWidth(s.data(), int32_t(s.size()), int32_t(s.size()));
  };
  for (const std::u16string unit : {u"\u05D0", u"\u4E00", u"\uAC00", u"\U0001F600", u"\u4E00\U0001F600"}) {
    const int64_t w = width(unit);
    ASSERT_GT(w, 0);
    const int64_t n = (int64_t(1) << 25) / w + 3;
    std::u16string run = u"\u4E00"; // puts the pairs at odd offsets
    for (int64_t i = 0; i < n; ++i)
      run += unit;
    ASSERT_LT(n * w, kMaxPixelWidth);
    EXPECT_EQ(width(run), width(u"\u4E00") + n * w) << int(unit[0]);
    EXPECT_EQ(canvas.GetTextWidth(run.data(), int32_t(run.size()), 1000), width(u"\u4E00") + n * w) << int(unit[0]);
    QPoint pt(0, 0);
    canvas.PutText(pt, run.data(), int32_t(run.size()), 1000, INT32_MAX, false, 0, false);
    EXPECT_EQ(pt.x(), width(u"\u4E00") + n * w) << int(unit[0]);
  }
}
