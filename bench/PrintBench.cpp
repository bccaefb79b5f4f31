// zarv_bench_print: speed of printing.
//
//   zarv_bench_print [--quick]
//
// Prints `name: value unit` lines for the 100 MB C++ corpus (10 MB with
// --quick) on A4 at the PDF printer's 1200 dpi:
// - seconds to paginate the whole text (copy into the printer's buffer, lay
//   out at the column width, count pages);
// - milliseconds until the preview window has its first page drawn (only
//   the text's head is laid out for it);
// - milliseconds to print page N (the middle page) alone to PDF, and the
//   number of pages drawn for it, which must be 1;
// - seconds to print the first 100 pages to PDF.
#include "bench/BenchReport.h"
#include "bench/CorpusGen.h"
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/print/PrintPreview.h>
#include <ZarvMemo/print/ZarvMemoPrinter.h>

#include <QApplication>
#include <QDir>
#include <QPageSize>
#include <QPrinter>
#include <cstring>

using namespace zarv;
using namespace zarv::bench;

namespace {

std::unique_ptr<TZarvMemo> Source(int64_t bytes) {
  auto m = std::make_unique<TZarvMemo>();
  m->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
  m->setUpdateMode(umOnNeed);
  const std::string text = CppCorpus(bytes);
  m->SetTextBuf(QString::fromLatin1(text.data(), qsizetype(text.size())));
  return m;
}

void Setup(TZarvMemoPrinter& pr, TZarvMemo* src, const QString& file) {
  pr.Printer()->setPageSize(QPageSize(QPageSize::A4));
  pr.Printer()->setOutputFileName(file);
  pr.setMemoToPrint(src);
  pr.Header = QStringLiteral("page {p} of {pp}");
}

} // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const int64_t bytes = quick ? 10 * MB : 100 * MB;
  const std::string tag = quick ? "10MB" : "100MB";
  auto src = Source(bytes);
  const QString file = QDir::temp().filePath(QStringLiteral("zarv_bench_print.pdf"));

  TZarvMemoPrinter pr;
  Setup(pr, src.get(), file);
  auto t0 = Clock::now();
  double c0 = CpuSeconds();
  pr.FormatPrint();
  Report("paginate_" + tag + "_cpp", Seconds(Clock::now() - t0), "s", 2);
  Report("paginate_" + tag + "_cpp_cpu", CpuSeconds() - c0, "s", 2);
  {
    // The share of the copy: the same text without its style runs.
    TZarvMemoPrinter plain;
    Setup(plain, src.get(), file);
    plain.setPlainText(true);
    t0 = Clock::now();
    c0 = CpuSeconds();
    plain.FormatPrint();
    Report("paginate_" + tag + "_cpp_plain", Seconds(Clock::now() - t0), "s", 2);
    Report("paginate_" + tag + "_cpp_plain_cpu", CpuSeconds() - c0, "s", 2);
  }
  Note(std::to_string(pr.PageCount()) + " pages, " + std::to_string(pr.BufferLineCount()) + " lines");

  {
    TZarvMemoPrinter lazy;
    Setup(lazy, src.get(), file);
    t0 = Clock::now();
    TFrmZVPrintPreview form(lazy);
    form.resize(800, 1000);
    const QImage page = form.PageImage();
    Report("preview_first_page_" + tag, Ms(Clock::now() - t0), "ms", 1);
    if (page.isNull() || lazy.DrawnPages() != 1)
      Fail("the preview drew no first page");
  }

  const int32_t mid = pr.PageCount() / 2;
  const int64_t drawn = pr.DrawnPages();
  t0 = Clock::now();
  pr.PrintRange(mid, mid);
  Report("print_page_" + std::to_string(mid + 1) + "_alone_pdf", Ms(Clock::now() - t0), "ms", 1);
  Report("pages_drawn_for_one_page", double(pr.DrawnPages() - drawn), "pages", 0);
  if (pr.DrawnPages() - drawn != 1)
    Fail("printing one page drew other pages");

  t0 = Clock::now();
  pr.PrintRange(0, 99);
  Report("print_100_pages_pdf", Seconds(Clock::now() - t0), "s", 2);
  QFile::remove(file);
  return gFailed ? 1 : 0;
}
