// zarv_bench_navigator: speed of text positions.
//
//   zarv_bench_navigator [--quick]
//
// Prints one `name: value unit` line per figure:
// - nanoseconds per paragraph location: a fresh navigator placed on a random
//   offset of a text of 2 million paragraphs (the first lines of the C++
//   corpus) and asked for its paragraph number, averaged over many offsets;
//   the same for 100 MB of prose, whose paragraph lengths are very uneven
//   (empty lines between paragraphs of up to a few thousand characters);
// - milliseconds for the x of the end of a 1 MB line (the first line of the
//   long-lines corpus) on a control with a real font, and for the column hit
//   by an x in the middle of that line.
// It ends with the targets the navigator is built to meet and whether they
// are. --quick uses 200 000 paragraphs, 10 MB of prose and fewer
// repetitions, so that CI can smoke-run it.
//
// Qt needs an application object to measure fonts; without a display the
// program runs on the offscreen platform.
#include "bench/BenchReport.h"
#include "bench/CorpusGen.h"
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QFont>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace zarv;
using namespace zarv::bench;

struct TConfig {
  int32_t Paragraphs = 2'000'000;
  int64_t ProseBytes = 100 * MB;
  int32_t Lookups = 2'000'000;
  int DisplayRuns = 5;
  std::string ParTag = "2Mpar";
  std::string ProseTag = "100MB";
};

struct TTarget {
  std::string Text;
  bool Met;
};
std::vector<TTarget> gTargets;

void Target(const std::string& what, bool met, double value) {
  char measured[32];
  std::snprintf(measured, sizeof measured, " (%.1f)", value);
  gTargets.push_back({what + ": " + (met ? "met" : "MISSED") + measured, met});
}

// The first `paragraphs` lines of a corpus, CR LF breaks.
std::string FirstLines(TCorpusKind kind, int32_t paragraphs, int64_t bytesPerLine) {
  TCorpusOptions options;
  options.Kind = kind;
  options.Bytes = int64_t{paragraphs} * bytesPerLine;
  for (;;) {
    const std::string text = GenerateCorpus(options);
    int32_t breaks = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' && ++breaks == paragraphs)
        return text.substr(0, i);
    }
    options.Bytes *= 2;
  }
}

std::unique_ptr<TParagraphsList> Load(const std::string& text) {
  auto store = std::make_unique<TParagraphsList>();
  QBuffer device;
  device.setData(QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
  device.open(QIODevice::ReadOnly);
  TzvsLineBreak lb = zsbCRLF;
  store->LoadFromStream(device, true, 0, false, lb);
  return store;
}

// ---- Locating paragraphs ---------------------------------------------------------------

double BenchLocate(const TConfig& cfg, TCorpusKind kind, const std::string& text, const std::string& tag) {
  const auto store = Load(text);
  const std::string name = "locate_random_offset_" + std::string(CorpusKindName(kind)) + "_" + tag;

  TCorpusRandom random(DefaultCorpusSeed ^ static_cast<uint64_t>(kind));
  std::vector<int32_t> positions(static_cast<size_t>(cfg.Lookups));
  for (int32_t& p : positions)
    p = static_cast<int32_t>(random.Below(static_cast<uint32_t>(store->fTextLen) + 1));

  // Untimed check of every answer against a binary search of the starts.
  std::vector<int32_t> found(positions.size());
  int64_t checksum = 0;
  const auto t0 = Clock::now();
  for (size_t i = 0; i < positions.size(); ++i) {
    TZarvNavigator nav(store.get());
    nav.SetPos(positions[i]);
    found[i] = nav.GetParNb();
  }
  const double ns = Seconds(Clock::now() - t0) * 1e9 / static_cast<double>(positions.size());
  for (size_t i = 0; i < positions.size(); ++i) {
    int32_t lo = 0, hi = store->Count() - 1;
    while (lo < hi) {
      const int32_t mid = lo + (hi - lo + 1) / 2;
      if (store->Par(mid)->StartOffset <= positions[i])
        lo = mid;
      else
        hi = mid - 1;
    }
    if (found[i] != lo) {
      Fail(name + ": position " + std::to_string(positions[i]) + " located in paragraph " + std::to_string(found[i]) +
           ", not " + std::to_string(lo));
      break;
    }
    checksum += found[i];
  }
  Note(name + ": " + std::to_string(store->Count()) + " paragraphs, " + std::to_string(store->fTextLen) +
       " characters, checksum " + std::to_string(checksum));
  Report(name, ns, "ns");
  return ns;
}

// ---- Measuring a long line ---------------------------------------------------------------

struct TDisplayFigures {
  double EndX = 0;
  double HitMiddle = 0;
};

TDisplayFigures BenchLongLine(const TConfig& cfg) {
  TCorpusOptions options;
  options.Kind = TCorpusKind::LongLines;
  options.Bytes = LongLineBytes;
  const std::string corpus = GenerateCorpus(options);
  const std::string line = corpus.substr(0, corpus.find('\r'));

  TZarvMemo memo;
  memo.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
  memo.resize(800, 600);
  memo.SetTextBuf(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
  const int32_t len = GetParLength(*memo.Paragraphs().Par(0));
  if (memo.Paragraphs().Count() != 1 || len < 1'000'000)
    Fail("the long line is " + std::to_string(len) + " characters in " + std::to_string(memo.Paragraphs().Count()) +
         " paragraphs");
  Note("long line: " + std::to_string(len) + " characters in one paragraph, font " +
       memo.font().family().toStdString() + " 11 pt, up to " + std::to_string(memo.fMaxOneShotChars) +
       " characters per measuring call");

  auto nav = std::make_unique<TZarvNavigator>(&memo);
  TDisplayFigures figures;
  double best = std::numeric_limits<double>::infinity();
  int32_t endX = 0;
  for (int run = 0; run < cfg.DisplayRuns; ++run) {
    nav->SetPos(len);
    const auto t0 = Clock::now();
    endX = nav->GetDisplayX();
    best = std::min(best, Seconds(Clock::now() - t0));
  }
  figures.EndX = best * 1e3;
  Report("display_x_end_of_1MB_line", figures.EndX, "ms", 2);

  // Hit-testing half-way along the line, and checking that the hit column
  // maps back to an x at most one character away.
  const int32_t target = endX / 2;
  best = std::numeric_limits<double>::infinity();
  for (int run = 0; run < cfg.DisplayRuns; ++run) {
    nav->SetPos(0);
    const auto t0 = Clock::now();
    nav->SetDisplayX(target);
    best = std::min(best, Seconds(Clock::now() - t0));
  }
  figures.HitMiddle = best * 1e3;
  const int32_t hitX = nav->GetDisplayX();
  if (nav->GetColNb() <= 0 || nav->GetColNb() >= len || hitX < target - 40 || hitX > target + 40)
    Fail("the column hit half-way along the long line is " + std::to_string(nav->GetColNb()) + " at x " +
         std::to_string(hitX) + ", aimed at " + std::to_string(target));
  Report("set_display_x_middle_of_1MB_line", figures.HitMiddle, "ms", 2);
  return figures;
}

int Run(const TConfig& cfg, bool quick) {
#if !defined(NDEBUG)
  Note("assertions are on: this is not an optimised build and the figures are not representative");
#endif
  double cpp = 0, prose = 0;
  {
    const std::string text = FirstLines(TCorpusKind::Cpp, cfg.Paragraphs, 48);
    cpp = BenchLocate(cfg, TCorpusKind::Cpp, text, cfg.ParTag);
  }
  {
    TCorpusOptions options;
    options.Kind = TCorpusKind::Prose;
    options.Bytes = cfg.ProseBytes;
    prose = BenchLocate(cfg, TCorpusKind::Prose, GenerateCorpus(options), cfg.ProseTag);
  }
  const TDisplayFigures display = BenchLongLine(cfg);

  Target(std::string("locate_random_offset <= 1000 ns at 2M paragraphs") + (quick ? " (measured at 200K)" : ""),
         cpp <= 1000, cpp);
  Target("locate_random_offset in uneven prose <= 1000 ns", prose <= 1000, prose);
  Target("display_x_end_of_1MB_line <= 100 ms", display.EndX <= 100, display.EndX);
  std::printf("# targets\n");
  for (const TTarget& t : gTargets)
    std::printf("%s\n", t.Text.c_str());
  return gFailed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
  TConfig cfg;
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--quick") {
      quick = true;
      cfg.Paragraphs = 200'000;
      cfg.ProseBytes = 10 * MB;
      cfg.Lookups = 200'000;
      cfg.DisplayRuns = 2;
      cfg.ParTag = "200Kpar";
      cfg.ProseTag = "10MB";
    } else {
      std::fprintf(stderr, "usage: zarv_bench_navigator [--quick]\n");
      return arg == "--help" || arg == "-h" ? 0 : 2;
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  try {
    return Run(cfg, quick);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zarv_bench_navigator: %s\n", e.what());
    return 1;
  }
}
