// Printed pages as pixels: the paper palette and black text, the preview at
// two zooms (the same page, scaled), margins dragged with the mouse, columns
// and page buttons, and the lazily laid out first page of a long text,
// which must equal the same page of the whole layout.
// With ZARV_PRINT_SHOTS set to a folder, the preview is saved there.
#include "PrintTestSupport.h"
#include <ZarvMemo/print/PrintPreview.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

using namespace zarv;
using namespace zarv::test;

namespace {

QString LongLines(int n) {
  QStringList l;
  for (int i = 1; i <= n; ++i)
    l << QStringLiteral("%1 the quick brown fox jumps over the lazy dog and keeps running far away")
             .arg(i, 4, 10, QLatin1Char('0'));
  return l.join(QStringLiteral("\r\n"));
}

QImage RenderPage(TZarvMemoPrinter& pr, int page, double zoom) {
  const auto& g = pr.Geometry();
  QImage img(int(std::lround(g.PaperWidth * zoom)), int(std::lround(g.PaperHeight * zoom)), QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.scale(zoom, zoom);
  pr.DrawPage(p, page);
  return img;
}

struct TInk {
  int Dark = 0, Red = 0, Yellow = 0, White = 0;
  QRect Box;
};

TInk Count(const QImage& img) {
  TInk k;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QColor c = img.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 90 && c.blue() < 90)
        ++k.Red;
      else if (c.red() > 200 && c.green() > 200 && c.blue() < 90)
        ++k.Yellow;
      else if (qGray(c.rgb()) < 110)
        ++k.Dark, k.Box |= QRect(x, y, 1, 1);
      else if (qGray(c.rgb()) > 250)
        ++k.White;
    }
  return k;
}

void MaybeSave(const QImage& img, const char* name) {
  const QByteArray dir = qgetenv("ZARV_PRINT_SHOTS");
  if (!dir.isEmpty())
    img.save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QLatin1String(name));
}

TEST(PrinterPixels, PagesAreDarkOnWhitePaperAndBlackTextDropsOnlyTextColours) {
  auto src = SourceMemo(LongLines(20));
  // A dark desktop theme on the source control.
  QPalette dark;
  dark.setColor(QPalette::Base, Qt::black);
  dark.setColor(QPalette::Text, Qt::white);
  dark.setColor(QPalette::Window, Qt::black);
  dark.setColor(QPalette::WindowText, Qt::white);
  src->setPalette(dark);
  TZarvMemoPrinter pr;
  UseA4(pr);
  pr.setMemoToPrint(src.get());
  pr.FormatPrint();
  const TInk plain = Count(RenderPage(pr, 0, 0.1));
  EXPECT_GT(plain.Dark, 500);
  EXPECT_GT(plain.White, 9 * (plain.Dark + plain.Red + plain.Yellow));
  // A red paragraph on yellow: red text, yellow band; black text keeps the band.
  src->setParForegnd(2, clRed);
  src->setParBackgnd(2, clYellow);
  pr.DiscardBuffer(); // paragraph colours are no text change
  pr.FormatPrint();
  const TInk coloured = Count(RenderPage(pr, 0, 0.1));
  EXPECT_GT(coloured.Red, 20);
  EXPECT_GT(coloured.Yellow, 200);
  pr.setForceBlackText(true);
  pr.FormatPrint();
  const TInk black = Count(RenderPage(pr, 0, 0.1));
  EXPECT_EQ(black.Red, 0);
  EXPECT_GT(black.Yellow, 200);
  EXPECT_GT(black.Dark, plain.Dark);
}

// Runs made by the source's keyword list print in their colour, unless
// the printer prints plain text.
TEST(PrinterPixels, KeywordRunsPrintInTheirColoursUnlessPlain) {
  auto src = SourceMemo(QString());
  src->Keywords().AddKeyWord(QStringLiteral("fox"), woMatchCase | woWholeWordsOnly, 0, 1, 0, clNone, clRed);
  src->SetTextBuf(LongLines(20));
  TZarvMemoPrinter pr;
  UseA4(pr);
  pr.setMemoToPrint(src.get());
  pr.FormatPrint();
  EXPECT_GT(Count(RenderPage(pr, 0, 0.1)).Red, 40);
  pr.setPlainText(true);
  pr.FormatPrint();
  EXPECT_EQ(Count(RenderPage(pr, 0, 0.1)).Red, 0);
  EXPECT_GT(Count(RenderPage(pr, 0, 0.1)).Dark, 500);
}

class PreviewTest : public ::testing::Test {
protected:
  void Open(const QString& text) {
    src = SourceMemo(text);
    UseA4(pr);
    pr.setMemoToPrint(src.get());
    form = std::make_unique<TFrmZVPrintPreview>(pr);
    form->resize(700, 800);
    form->show();
    QApplication::processEvents();
    form->CompletePagination();
  }
  QImage Shown() {
    QApplication::processEvents();
    return form->PageImage();
  }
  std::unique_ptr<TZarvMemo> src;
  TZarvMemoPrinter pr;
  std::unique_ptr<TFrmZVPrintPreview> form;
};

TEST_F(PreviewTest, ShowsThePrintersPageScaledByTheZoom) {
  Open(LongLines(200));
  QImage at[2];
  double zf[2];
  const TFrmZVPrintPreview::TZoom zooms[2] = {TFrmZVPrintPreview::z100, TFrmZVPrintPreview::z50};
  for (int i = 0; i < 2; ++i) {
    form->setZoom(zooms[i]);
    at[i] = Shown();
    zf[i] = form->ZoomFact();
    // The preview shows exactly what the printer draws at that zoom.
    EXPECT_EQ(at[i], RenderPage(pr, 0, form->ZoomFact())) << i;
  }
  MaybeSave(at[0], "preview-100.png");
  EXPECT_NEAR(at[1].width() * 2, at[0].width(), 2);
  EXPECT_NEAR(at[1].height() * 2, at[0].height(), 2);
  const QRect b0 = Count(at[0]).Box, b1 = Count(at[1]).Box;
  ASSERT_FALSE(b0.isEmpty());
  EXPECT_NEAR(b1.left() * 2, b0.left(), 3);
  EXPECT_NEAR(b1.top() * 2, b0.top(), 3);
  EXPECT_NEAR(b1.right() * 2, b0.right(), 4);
  EXPECT_NEAR(b1.bottom() * 2, b0.bottom(), 4);
  // The ink starts at the margins.
  const double z = zf[0];
  EXPECT_NEAR(zf[0], 2 * zf[1], 1e-9);
  EXPECT_NEAR(b0.left(), pr.Geometry().Left * z, 3);
  EXPECT_NEAR(b0.top(), pr.Geometry().Top * z, pr.Geometry().LinePitch * z);
}

TEST_F(PreviewTest, DraggingTheLeftMarginMovesTheTextAndReWraps) {
  Open(LongLines(200));
  form->setZoom(TFrmZVPrintPreview::zWholePage);
  form->btnMargins->setChecked(true);
  form->btnMargins->setChecked(false); // margins off for the ink measurement
  const QRect before = Count(Shown()).Box;
  const int lines = pr.BufferLineCount(), pages = pr.PageCount();
  const double z = form->ZoomFact();
  const int x0 = int(std::lround(pr.Geometry().Left * z));
  form->btnMargins->setChecked(true);
  QWidget* page = form->PageView();
  QTest::mousePress(page, Qt::LeftButton, {}, QPoint(x0, 200));
  QTest::mouseMove(page, QPoint(x0 + 60, 200));
  QTest::mouseRelease(page, Qt::LeftButton, {}, QPoint(x0 + 60, 200));
  EXPECT_NEAR(pr.getMarginLeft(), (x0 + 60) / (z * pr.Geometry().XPPI), 1e-3);
  EXPECT_GT(pr.BufferLineCount(), lines);
  EXPECT_GE(pr.PageCount(), pages);
  form->btnMargins->setChecked(false);
  const QImage afterImg = Shown();
  const QRect after = Count(afterImg).Box;
  EXPECT_NEAR(after.left() - before.left(), 60, 3);
  // Dragged past the right margin, the left one stops 10 pixels before it.
  form->btnMargins->setChecked(true);
  const int x1 = int(std::lround(pr.Geometry().Left * z));
  const int right = int(std::lround((pr.Geometry().PaperWidth - pr.Geometry().Right) * z));
  QTest::mousePress(page, Qt::LeftButton, {}, QPoint(x1, 200));
  QTest::mouseRelease(page, Qt::LeftButton, {}, QPoint(page->width() - 1, 200));
  EXPECT_NEAR(pr.getMarginLeft(), (right - 10) / (z * pr.Geometry().XPPI), 1e-3);
  // The top margin dragged down: fewer lines per page, more pages.
  const int lpp = pr.Geometry().LinesPerPage, pages2 = pr.PageCount();
  const int y0 = int(std::lround(pr.Geometry().Top * z));
  QTest::mousePress(page, Qt::LeftButton, {}, QPoint(200, y0));
  QTest::mouseRelease(page, Qt::LeftButton, {}, QPoint(200, y0 + 150));
  EXPECT_NEAR(pr.getMarginTop(), (y0 + 150) / (z * pr.Geometry().YPPI), 1e-3);
  EXPECT_LT(pr.Geometry().LinesPerPage, lpp);
  EXPECT_GT(pr.PageCount(), pages2);
}

TEST_F(PreviewTest, PageButtonsColumnsAndNumbers) {
  Open(QStringLiteral("one line"));
  EXPECT_FALSE(form->btnNextPage->isEnabled());
  EXPECT_FALSE(form->btnPrevious->isEnabled());
  form.reset();
  Open(LongLines(300));
  ASSERT_GE(pr.PageCount(), 3);
  EXPECT_TRUE(form->btnNextPage->isEnabled());
  form->btnNextPage->click();
  EXPECT_EQ(form->CurrentPage(), 1);
  EXPECT_EQ(form->PageLabel()->text(), QStringLiteral("Page 2/%1").arg(pr.PageCount()));
  const QImage shown = Shown(), drawn = RenderPage(pr, 1, form->ZoomFact());
  EXPECT_EQ(shown, drawn);
  const int lines = pr.BufferLineCount();
  form->edColumns->setValue(3);
  EXPECT_EQ(pr.getColumns(), 3);
  EXPECT_GT(pr.BufferLineCount(), lines); // narrower columns wrap more
  const QImage shown3 = Shown(), drawn3 = RenderPage(pr, 1, form->ZoomFact());
  EXPECT_EQ(shown3, drawn3);
  form->btnNumbers->click();
  EXPECT_TRUE(pr.getLineNumbers());
  // Numbers stand left of the text, in the margin.
  pr.Header = QStringLiteral("Preview of page {p} of {pp}");
  pr.HeaderLineWidth = 1;
  src->setParForegnd(3, clRed);
  pr.DiscardBuffer();
  form->Refresh();
  const QImage numbered = Shown();
  MaybeSave(form->grab().toImage(), "preview-form.png");
  const QRect box = Count(numbered).Box;
  EXPECT_LT(box.left(), pr.Geometry().Left * form->ZoomFact() - 2);
}

TEST_F(PreviewTest, TheFirstPageOfALongTextComesFromItsHeadAndEqualsTheWholeLayout) {
  src = SourceMemo(LongLines(30000));
  UseA4(pr);
  pr.setMemoToPrint(src.get());
  form = std::make_unique<TFrmZVPrintPreview>(pr);
  EXPECT_FALSE(pr.PageCountKnown());
  EXPECT_LT(pr.BufferLineCount(), 30000);
  EXPECT_TRUE(form->PageLabel()->text().endsWith(QStringLiteral("/…")));
  const double z = 0.08;
  const QImage head = RenderPage(pr, 0, z);
  form->CompletePagination();
  EXPECT_TRUE(pr.PageCountKnown());
  EXPECT_EQ(pr.BufferLineCount(), 30000);
  EXPECT_EQ(form->PageLabel()->text(), QStringLiteral("Page 1/%1").arg(pr.PageCount()));
  EXPECT_EQ(RenderPage(pr, 0, z), head);
}

} // namespace
