// zarv_bench_format: speed of line formatting.
//
//   zarv_bench_format [--quick]
//
// Prints `name: value unit` lines:
// - paragraphs per second wrapping the 100 MB C++ corpus at 800 pixels and
//   without wrapping (every paragraph formatted once, as background
//   formatting does);
// - milliseconds to wrap one 1 MB line at 800 pixels, and to re-wrap it
//   incrementally after one character typed in its middle;
// - the canvas's measuring calls per formatted paragraph, which shows that
//   widths come from the width table rather than from the font engine.
// --quick uses 10 MB.
#include "bench/CorpusGen.h"
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/layout/LineFormat.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QApplication>
#include <QBuffer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

using namespace zarv;
using namespace zarv::bench;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void Load(TZarvMemo& memo, const std::string& text) {
  QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadOnly);
  memo.Paragraphs().CleanUp();
  TzvsLineBreak lb = zsbCRLF;
  memo.Paragraphs().LoadFromStream(buf, true, u' ', false, lb);
}

// Formats every paragraph once; returns paragraphs per second.
double FormatAll(TZarvMemo& memo) {
  TParagraphsList& list = memo.Paragraphs();
  const auto t0 = Clock::now();
  uint64_t state = 0;
  int32_t s = 0, o = 0;
  int64_t lines = 0;
  for (int32_t i = 0; i < list.Count(); ++i) {
    int32_t start = 0, stop = 0, delta = 0, count = 0;
    ReformatParP(memo, &memo.Canvas(), i == 0, memo.ClientWidth(), nullptr, i, start, stop, true, state, s, o, delta,
                 count);
    lines += count;
  }
  const double secs = Seconds(Clock::now() - t0);
  std::printf("# %d paragraphs, %lld lines\n", list.Count(), static_cast<long long>(lines));
  return list.Count() / secs;
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const int64_t bytes = quick ? 10 * MB : 100 * MB;
  const std::string tag = quick ? "10MB" : "100MB";

  TZarvMemo memo;
  memo.setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
  memo.resize(800 + memo.fLeftMargin + memo.fRightMargin + 2 * memo.frameWidth(), 600);
  // The viewport width is what the memo wraps at; make it exactly 800 + margins.
  const int32_t width = memo.ClientWidth();

  TCorpusOptions opt;
  opt.Kind = TCorpusKind::Cpp;
  opt.Bytes = bytes;
  const std::string corpus = GenerateCorpus(opt);

  Load(memo, corpus);
  const int64_t calls0 = memo.Canvas().MeasureCalls();
  const double wrapped = FormatAll(memo);
  std::printf("format_wrap_%dpx_%s: %.0f paragraphs/s\n", width - 16, tag.c_str(), wrapped);
  std::printf("measure_calls_per_paragraph: %.4f calls\n",
              double(memo.Canvas().MeasureCalls() - calls0) / memo.Paragraphs().Count());

  memo.setWordWrap(false);
  Load(memo, corpus);
  std::printf("format_nowrap_%s: %.0f paragraphs/s\n", tag.c_str(), FormatAll(memo));

  // One 1 MB line.
  memo.setWordWrap(true);
  TCorpusOptions lo;
  lo.Kind = TCorpusKind::LongLines;
  lo.Bytes = LongLineBytes;
  std::string line = GenerateCorpus(lo);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
    line.pop_back();
  Load(memo, line);
  uint64_t state = 0;
  int32_t s = 0, o = 0, start = 0, stop = 0, delta = 0, count = 0;
  auto t0 = Clock::now();
  ReformatParP(memo, &memo.Canvas(), true, width, nullptr, 0, start, stop, true, state, s, o, delta, count);
  std::printf("wrap_1MB_line: %.2f ms (%d lines)\n", Seconds(Clock::now() - t0) * 1000, count);

  // Type one character in the middle and re-wrap from its line.
  const int reps = quick ? 20 : 100;
  double total = 0;
  for (int r = 0; r < reps; ++r) {
    TZarvNavigator a(&memo.Paragraphs()), b(&memo.Paragraphs());
    a.SetPos(memo.Paragraphs().fTextLen / 2 + r);
    b.SetPos(a.GetPos());
    const int32_t lineNb = a.GetParLine();
    int32_t od = 0, ld = 0;
    bool dc = false;
    memo.Paragraphs().InsertBuf(u"x", a, b, false, false, od, ld, dc);
    t0 = Clock::now();
    start = lineNb;
    ReformatParP(memo, &memo.Canvas(), true, width, nullptr, 0, start, stop, false, state, s, o, delta, count);
    total += Seconds(Clock::now() - t0);
  }
  std::printf("rewrap_1MB_line_after_typing: %.3f ms\n", total / reps * 1000);
  return 0;
}
