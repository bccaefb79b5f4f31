// Printed pages read back from PDF: pdftotext gives each page's text as
// laid out and pdfinfo the page count and size. The expected pages come
// from a model of pagination (lines run down the columns, a form feed
// starts a page), so a line lost or doubled at a page break, a wrong page
// number or a misplaced column shows as a difference.
#include "PrintTestSupport.h"
#include <ZarvMemo/platform/Exceptions.h>

#include <QFile>
#include <gtest/gtest.h>

using namespace zarv;
using namespace zarv::test;

namespace {

QString Numbered(int n, const QString& tail = QStringLiteral(" alpha")) {
  QStringList l;
  for (int i = 1; i <= n; ++i)
    l << QStringLiteral("line%1%2").arg(i, 4, 10, QLatin1Char('0')).arg(tail);
  return l.join(QStringLiteral("\r\n"));
}

struct TLayoutCase {
  int Columns;
  float LineSpacing;
  int StartingPage;
};

class PrinterPdf : public ::testing::TestWithParam<TLayoutCase> {};

TEST_P(PrinterPdf, PagesHoldTheModelsLinesWithHeaderFooterAndNumbers) {
  if (!HavePoppler())
    GTEST_SKIP() << "pdftotext/pdfinfo (package poppler-utils) not installed";
  const TLayoutCase c = GetParam();
  const int total = 333;
  auto src = SourceMemo(Numbered(total));
  TZarvMemoPrinter pr;
  UseA4(pr);
  pr.setMemoToPrint(src.get());
  pr.setColumns(c.Columns);
  pr.setLineSpacing(c.LineSpacing);
  pr.StartingPageNumber = c.StartingPage;
  pr.Header = QStringLiteral("HEAD {p} of {pp}");
  pr.Footer = QStringLiteral("FOOT {p}");
  pr.FooterAlign = taRightJustify;
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("out.pdf"));
  pr.ExportPdf(file);
  const int lpp = pr.Geometry().LinesPerPage, perPage = lpp * c.Columns;
  const int pages = (total + perPage - 1) / perPage;
  ASSERT_EQ(pr.PageCount(), pages);
  ASSERT_EQ(PdfPages(file), pages);
  EXPECT_TRUE(PdfPageSize(file).contains(QRegularExpression(QStringLiteral("^595(\\.\\d+)? x 84[12]"))))
      << PdfPageSize(file).toStdString();
  const int last = pages + c.StartingPage - 1;
  for (int p = 0; p < pages; ++p) {
    const QString text = PdfPage(file, p + 1);
    const QStringList rows = text.split(QLatin1Char('\n'));
    // Header first, footer last, with this page's numbers.
    const QStringList heads = AllMatches(text, QStringLiteral("HEAD (\\d+ of \\d+)"));
    ASSERT_EQ(heads, QStringList{QStringLiteral("%1 of %2").arg(p + c.StartingPage).arg(last)}) << p;
    ASSERT_EQ(AllMatches(text, QStringLiteral("FOOT (\\d+)")), QStringList{QString::number(p + c.StartingPage)});
    EXPECT_LT(text.indexOf(QStringLiteral("HEAD")), text.indexOf(QStringLiteral("line")));
    EXPECT_GT(text.indexOf(QStringLiteral("FOOT")), text.lastIndexOf(QStringLiteral("line")));
    // Row r of the page holds line base + r in column 0, base + lpp + r in column 1...
    QList<QStringList> lineRows;
    for (const QString& row : rows) {
      const QStringList nums = AllMatches(row, QStringLiteral("line(\\d{4}) alpha"));
      if (!nums.isEmpty())
        lineRows << nums;
    }
    const int base = p * perPage + 1;
    const int onPage = std::min(perPage, total - p * perPage);
    ASSERT_EQ(lineRows.size(), std::min(lpp, onPage)) << "page " << p;
    for (int r = 0; r < lineRows.size(); ++r) {
      QStringList want;
      for (int col = 0; col < c.Columns; ++col)
        if (col * lpp + r < onPage)
          want << QStringLiteral("%1").arg(base + col * lpp + r, 4, 10, QLatin1Char('0'));
      ASSERT_EQ(lineRows[r], want) << "page " << p << " row " << r;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PrinterPdf,
                         ::testing::Values(TLayoutCase{1, -1.5f, 1}, TLayoutCase{2, -1.0f, 10},
                                           TLayoutCase{3, 0.25f, 1}));

} // namespace
