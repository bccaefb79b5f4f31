// zarv_bench_paint: painting the control.
//
//   zarv_bench_paint [--quick]
//
// For generated C++ texts of 10 and 100 MB (--quick: 10), each in a fresh
// shown control of 1000 x 800 pixels with DejaVu Sans Mono 10, word wrap
// and the C++ key set, prints:
// - load to first paint: milliseconds from the start of the load until the
//   first full paint of the window has been made, and the paint alone;
// - full paint (after background formatting has finished): milliseconds per full-window paint of highlighted text
//   (the viewport painted through the backing store);
// - scroll: milliseconds per one-line scroll with its repaint (the window
//   blitted and the exposed line painted);
// - lines per second painted during the full paints;
// - a 1 MB line: milliseconds per full paint of a window showing a single
//   highlighted line of 1 MB (no word wrap), at its start and scrolled to
//   its middle.
//
// MB means 2^20 bytes.
#include "bench/BenchReport.h"
#include "bench/CorpusGen.h"
#include "bench/CppKeys.h"
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QBuffer>
#include <QByteArray>

#include <cstring>
#include <string>

namespace {

using namespace zarv;
using namespace zarv::bench;

void PaintOne(int64_t bytes) {
  const std::string tag = std::to_string(bytes / MB) + "MB";
  const std::string text = CppCorpus(bytes);
  TZarvMemo memo;
  memo.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
  SetUpKeys(memo);
  memo.setScrollTime(0); // the animation's pacing is not paint time
  memo.resize(1000, 800);
  memo.show();
  QApplication::processEvents();
  QBuffer device;
  device.setData(QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
  device.open(QIODevice::ReadOnly);

  const Clock::time_point t0 = Clock::now();
  memo.LoadFromStream(device, TzvsEncoding::Ansi);
  const Clock::time_point loaded = Clock::now();
  memo.viewport()->repaint();
  const Clock::time_point painted = Clock::now();
  Report("load to first paint " + tag, Ms(painted - t0), "ms");
  Report("first paint alone " + tag, Ms(painted - loaded), "ms", 2);

  // The background formatting slices would otherwise run inside the
  // measured event loops below.
  while (memo.getFormatCompleted() < memo.GetParCount())
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  // Full paints somewhere in the middle of the text.
  memo.setTopLine(memo.getTotalLineCount() / 2);
  QApplication::processEvents();
  const int full = 50;
  const int64_t lines0 = memo.PaintedLineCount();
  const Clock::time_point f0 = Clock::now();
  for (int i = 0; i < full; ++i)
    memo.viewport()->repaint();
  const Clock::duration fd = Clock::now() - f0;
  Report("full paint " + tag, Ms(fd) / full, "ms/paint", 2);
  Report("lines painted " + tag, double(memo.PaintedLineCount() - lines0) / Seconds(fd), "lines/s", 0);

  // One-line scrolls: the view moves, the window is blitted and the exposed
  // line painted.
  const int scrolls = 200;
  const int32_t top = memo.getTopLine();
  const Clock::time_point s0 = Clock::now();
  for (int i = 1; i <= scrolls; ++i) {
    memo.setTopLine(top + i);
    QApplication::processEvents();
  }
  Report("one-line scroll " + tag, Ms(Clock::now() - s0) / scrolls, "ms/scroll", 3);
  if (memo.getTopLine() != top + scrolls)
    Fail(tag + ": the view did not move as asked");
}

void PaintLongLine() {
  std::string text = CppCorpus(MB + MB / 8);
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
  text.resize(size_t(MB));
  TZarvMemo memo;
  memo.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
  SetUpKeys(memo);
  memo.setWordWrap(false);
  memo.setScrollTime(0);
  memo.resize(1000, 800);
  memo.show();
  QApplication::processEvents();
  QBuffer device;
  device.setData(QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
  device.open(QIODevice::ReadOnly);
  memo.LoadFromStream(device, TzvsEncoding::Ansi);
  while (memo.getFormatCompleted() < memo.GetParCount())
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  memo.viewport()->repaint();
  for (const bool middle : {false, true}) {
    if (middle)
      memo.setDisplayLeft(memo.fMaxLineWidth / 2);
    QApplication::processEvents();
    const int full = 50;
    const Clock::time_point f0 = Clock::now();
    for (int i = 0; i < full; ++i)
      memo.viewport()->repaint();
    Report(std::string("full paint of a 1 MB line, ") + (middle ? "its middle" : "its start"),
           Ms(Clock::now() - f0) / full, "ms/paint", 2);
  }
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  Note("painting C++ texts in a 1000 x 800 control, DejaVu Sans Mono 10, word wrap, background update mode");
  for (int64_t mb : {10, 100})
    if (!quick || mb < 100)
      PaintOne(mb * MB);
  PaintLongLine();
  return gFailed ? 1 : 0;
}
