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
  KeepCopy(file, QStringLiteral("layout-%1.pdf").arg(c.Columns));
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

namespace {

// Words w0001 w0002 ... of all pages, in reading order.
QStringList Words(const QString& file, int pages) {
  QStringList all;
  for (int p = 1; p <= pages; ++p)
    all << AllMatches(PdfPage(file, p), QStringLiteral("w(\\d{4})"));
  return all;
}

TEST(PrinterPdfText, AWrappedParagraphContinuesOnTheNextPageWithNoWordLostOrDoubled) {
  if (!HavePoppler())
    GTEST_SKIP() << "pdftotext/pdfinfo (package poppler-utils) not installed";
  // Short lines fill most of page 1, then one paragraph of 2000 words.
  QStringList words;
  for (int i = 1; i <= 2000; ++i)
    words << QStringLiteral("w%1").arg(i, 4, 10, QLatin1Char('0'));
  auto src = SourceMemo(Numbered(30) + QStringLiteral("\r\n") + words.join(QLatin1Char(' ')));
  TZarvMemoPrinter pr;
  UseA4(pr);
  pr.setMemoToPrint(src.get());
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("wrap.pdf"));
  pr.ExportPdf(file);
  ASSERT_GE(pr.PageCount(), 3);
  ASSERT_EQ(PdfPages(file), pr.PageCount());
  QStringList want;
  for (int i = 1; i <= 2000; ++i)
    want << QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'));
  EXPECT_EQ(Words(file, pr.PageCount()), want);
  // The paragraph starts on page 1 and goes on at the top of page 2.
  const QStringList first = AllMatches(PdfPage(file, 1), QStringLiteral("w(\\d{4})"));
  const QStringList second = AllMatches(PdfPage(file, 2), QStringLiteral("w(\\d{4})"));
  ASSERT_FALSE(first.isEmpty());
  ASSERT_FALSE(second.isEmpty());
  EXPECT_EQ(second.first().toInt(), first.last().toInt() + 1);
  // Without wrapping the paragraph is one cut line.
  pr.setWordWrap(false);
  pr.FormatPrint();
  EXPECT_EQ(pr.BufferLineCount(), 31);
}

TEST(PrinterPdfText, AFormFeedStartsAPageAndIsNotPrinted) {
  if (!HavePoppler())
    GTEST_SKIP() << "pdftotext/pdfinfo (package poppler-utils) not installed";
  // A form feed at the very start adds no blank page; two in a row give an
  // empty page between.
  auto src = SourceMemo(QStringLiteral("\fone\r\ntwo\r\n\fthree\r\n\f\r\n\ffour"));
  TZarvMemoPrinter pr;
  UseA4(pr);
  pr.setMemoToPrint(src.get());
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("ff.pdf"));
  pr.ExportPdf(file);
  ASSERT_EQ(PdfPages(file), 4);
  const QStringList want[] = {{"one", "two"}, {"three"}, {}, {"four"}};
  for (int p = 0; p < 4; ++p) {
    const QString text = PdfPage(file, p + 1);
    EXPECT_EQ(AllMatches(text, QStringLiteral("(\\w+)")), want[p]) << p;
    EXPECT_FALSE(text.contains(QChar(12)) && text.indexOf(QChar(12)) < text.size() - 1) << p;
  }
  // The source keeps its form feeds.
  EXPECT_EQ(src->GetTextContent().count(QChar(12)), 4);
}

TEST(PrinterPdfText, ExactlyFullPagesAddNoBlankPage) {
  auto src = SourceMemo(QString());
  TZarvMemoPrinter pr;
  UseA4(pr);
  pr.setMemoToPrint(src.get());
  pr.FormatPrint();
  EXPECT_EQ(pr.PageCount(), 1); // an empty text is one empty page
  const int lpp = pr.Geometry().LinesPerPage;
  for (int n : {lpp - 1, lpp, lpp + 1, 2 * lpp}) {
    src->SetTextBuf(Numbered(n));
    pr.FormatPrint();
    EXPECT_EQ(pr.PageCount(), (n + lpp - 1) / lpp) << n;
  }
}

// The selection is printed from a copy: the source's text is never written
// to, paragraphs are numbered from their place in the whole text.
TEST(PrinterPdfText, PrintingASelectionLeavesTheSourceAloneAndNumbersItsParagraphs) {
  if (!HavePoppler())
    GTEST_SKIP() << "pdftotext/pdfinfo (package poppler-utils) not installed";
  const QString text = Numbered(50);
  auto src = SourceMemo(text);
  const int start = text.indexOf(QStringLiteral("line0011")) + 4, stop = text.indexOf(QStringLiteral("line0014")) + 6;
  src->setSelStart(start);
  src->setSelLength(stop - start);
  TZarvMemoPrinter pr;
  UseA4(pr);
  pr.setMemoToPrint(src.get());
  pr.setParagraphNumbers(true);
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("sel.pdf"));
  pr.SetSelection(true);
  pr.ExportPdf(file);
  EXPECT_EQ(src->GetTextContent(), text);
  const QString page = PdfPage(file, 1);
  EXPECT_EQ(AllMatches(page, QStringLiteral("(\\d+: \\S+)")),
            (QStringList{"11: 0011", "12: line0012", "13: line0013", "14: line00"}));
  // An edit of the source discards the copy; the next print shows it.
  src->setSelStart(0);
  src->setSelLength(4);
  src->SetSelTextBuf(QStringLiteral("LINE"));
  src->setSelStart(start);
  src->setSelLength(stop - start);
  pr.ExportPdf(file);
  EXPECT_TRUE(PdfPage(file, 1).contains(QStringLiteral("line0012")));
  pr.SetSelection(false);
  pr.ExportPdf(file);
  EXPECT_TRUE(PdfPage(file, 1).contains(QStringLiteral("LINE0001")));
}

TEST(PrinterPdfText, PrintingOnePageDrawsThatPageAlone) {
  if (!HavePoppler())
    GTEST_SKIP() << "pdftotext/pdfinfo (package poppler-utils) not installed";
  auto src = SourceMemo(Numbered(400));
  TZarvMemoPrinter pr;
  UseA4(pr);
  pr.setMemoToPrint(src.get());
  pr.Header = QStringLiteral("P{p}");
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("one.pdf"));
  pr.Printer()->setOutputFileName(file);
  pr.FormatPrint();
  const int lpp = pr.Geometry().LinesPerPage;
  const int64_t drawn = pr.DrawnPages();
  pr.PrintRange(4, 4);
  EXPECT_EQ(pr.DrawnPages() - drawn, 1);
  ASSERT_EQ(PdfPages(file), 1);
  const QString page = PdfPage(file, 1);
  EXPECT_EQ(AllMatches(page, QStringLiteral("P(\\d+)")), QStringList{"5"});
  const QStringList lines = AllMatches(page, QStringLiteral("line(\\d{4})"));
  ASSERT_EQ(lines.size(), lpp);
  EXPECT_EQ(lines.first().toInt(), 4 * lpp + 1);
}

// An edit of the source while a job runs (from its progress handler) does
// not pull the copy from under the job: the job prints the text it began
// with, and the next job the edited one. A destroyed source prints empty.
TEST(PrinterPdfText, AnEditDuringAJobTakesEffectAfterIt) {
  if (!HavePoppler())
    GTEST_SKIP() << "pdftotext/pdfinfo (package poppler-utils) not installed";
  auto src = std::make_unique<TZarvMemo>();
  src->SetTextBuf(Numbered(300));
  TZarvMemoPrinter pr;
  UseA4(pr);
  pr.setMemoToPrint(src.get());
  std::vector<int> progress;
  pr.OnProgress = [&](QObject*) {
    progress.push_back(pr.CurrentPage());
    if (pr.CurrentPage() == 1) {
      src->setSelStart(0);
      src->setSelLength(0);
      src->SetSelTextBuf(QStringLiteral("EDITED\r\n"));
    }
  };
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("edit.pdf"));
  pr.ExportPdf(file);
  const int pages = PdfPages(file);
  ASSERT_GE(pages, 3);
  std::vector<int> want;
  for (int p = 0; p < pages; ++p)
    want.push_back(p);
  want.push_back(-1);
  EXPECT_EQ(progress, want);
  QStringList lines;
  for (int p = 1; p <= pages; ++p)
    lines << AllMatches(PdfPage(file, p), QStringLiteral("(line\\d{4}|EDITED)"));
  EXPECT_EQ(lines.size(), 300);
  EXPECT_EQ(lines.first(), QStringLiteral("line0001"));
  pr.OnProgress = nullptr;
  pr.ExportPdf(file);
  EXPECT_TRUE(PdfPage(file, 1).contains(QStringLiteral("EDITED")));
  src.reset();
  pr.ExportPdf(file);
  EXPECT_EQ(pr.PageCount(), 1);
  EXPECT_EQ(PdfPages(file), 1);
}

// Failures are reported before anything is written, or the partial output
// is removed: no file is left that looks like a finished print.
TEST(PrinterPdfText, BadSetupsFailClearlyAndLeaveNoOutput) {
  auto src = SourceMemo(Numbered(200));
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("bad.pdf"));
  struct TCase {
    const char* Name;
    std::function<void(TZarvMemoPrinter&)> Setup;
    std::function<void(TZarvMemoPrinter&)> Run;
    const char* Message;
  };
  const auto all = [&](TZarvMemoPrinter& p) { p.ExportPdf(file); };
  const TCase cases[] = {
      {"unwritable file", [](TZarvMemoPrinter&) {},
       [&](TZarvMemoPrinter& p) { p.ExportPdf(dir.filePath(QStringLiteral("no/such/dir/x.pdf"))); }, "Cannot open"},
      {"margins wider than the page", [](TZarvMemoPrinter& p) { p.setMarginLeft(5), p.setMarginRight(4); }, all,
       "no room"},
      {"page too small for one line", [](TZarvMemoPrinter& p) { p.setMarginTop(6), p.setMarginBottom(5.6f); }, all,
       "holds no line"},
      {"page range past the end", [&](TZarvMemoPrinter& p) { p.Printer()->setOutputFileName(file); },
       [](TZarvMemoPrinter& p) { p.PrintRange(50, 60); }, "does not exist"},
      {"aborted on page 2",
       [](TZarvMemoPrinter& p) {
         p.OnProgress = [&p](QObject*) {
           if (p.CurrentPage() == 1)
             p.AbortPrint();
         };
       },
       all, "aborted"},
  };
  for (const TCase& c : cases) {
    TZarvMemoPrinter pr;
    UseA4(pr);
    pr.setMemoToPrint(src.get());
    c.Setup(pr);
    QFile::remove(file);
    try {
      c.Run(pr);
      ADD_FAILURE() << c.Name << ": no error";
    } catch (const EZarvError& e) {
      EXPECT_TRUE(e.message().contains(QLatin1String(c.Message))) << c.Name << ": " << e.message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(file)) << c.Name;
    EXPECT_EQ(pr.CurrentPage(), -1) << c.Name;
  }
}

} // namespace
