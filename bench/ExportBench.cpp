// zarv_bench_export: exporting highlighted C++ text to RTF and HTML files.
//
//   zarv_bench_export [--quick]
//
// Generates 100 MB of C++-like text (--quick: 10 MB), loads it into a
// control with the C++ key set and highlights it whole (timed on its own,
// it is the control's work, not the exporter's). Then, for RTF and for
// HTML (UTF-8), exports the whole text to a file and prints:
// - export: MB/s of text (input characters as bytes) written to the file,
//   by the wall clock and per second of the process's CPU time;
// - output: MB of the file;
// - resident growth: MB the process's resident size grew by during the
//   export (bounded: the writer holds one 64 KB output buffer, not the
//   document);
// - export to /dev/null: MB/s without the file system's cost.
//
// MB means 2^20 bytes.
#include "bench/BenchReport.h"
#include "bench/CorpusGen.h"
#include "bench/CppKeys.h"
#include <ZarvMemo/export/ZarvToHTML.h>
#include <ZarvMemo/export/ZarvToRTF.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>
#include <string>

namespace {

using namespace zarv;
using namespace zarv::bench;

void ExportOne(TZarvToFormattedText& x, const char* name, const QString& file, int64_t bytes) {
  const int64_t rss0 = ResidentBytes();
  const double c0 = CpuSeconds();
  const Clock::time_point t0 = Clock::now();
  x.SaveToFile(file);
  const Clock::time_point t1 = Clock::now();
  const double c1 = CpuSeconds();
  const int64_t rss1 = ResidentBytes();
  const std::string tag = std::string(name) + " " + std::to_string(bytes / MB) + "MB";
  Report("export " + tag, double(bytes) / MB / Seconds(t1 - t0), "MB/s");
  // On a shared machine the wall clock counts other processes' turns; the
  // process's own CPU time does not.
  Report("export per CPU second " + tag, double(bytes) / MB / (c1 - c0), "MB/s");
  Report("output " + tag, double(QFileInfo(file).size()) / MB, "MB");
  Report("resident growth " + tag, double(rss1 - rss0) / MB, "MB");
  QFile::remove(file);
  // The same without the file system: what the writer itself costs.
  QFile null(QStringLiteral("/dev/null"));
  null.open(QIODevice::WriteOnly);
  const Clock::time_point t2 = Clock::now();
  x.SaveToStream(null);
  Report("export to /dev/null " + tag, double(bytes) / MB / Seconds(Clock::now() - t2), "MB/s");
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const int64_t bytes = (quick ? 10 : 100) * MB;
  Note("exporting highlighted C++ text to files");
  TZarvMemo memo;
  SetUpKeys(memo);
  {
    const std::string text = CppCorpus(bytes);
    QBuffer device;
    device.setData(QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
    device.open(QIODevice::ReadOnly);
    memo.LoadFromStream(device, TzvsEncoding::Ansi);
  }
  const Clock::time_point h0 = Clock::now();
  memo.DoDynParse(0, memo.GetParCount() - 1, false);
  Report("highlight whole text " + std::to_string(bytes / MB) + "MB", Ms(Clock::now() - h0), "ms");
  QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/zarv-export-XXXXXX"));
  TZarvToRTF rtf;
  rtf.setZarvMemo(&memo);
  ExportOne(rtf, "RTF", dir.filePath(QStringLiteral("out.rtf")), bytes);
  TZarvToHTML html;
  html.setZarvMemo(&memo);
  ExportOne(html, "HTML", dir.filePath(QStringLiteral("out.html")), bytes);
  return gFailed ? 1 : 0;
}
