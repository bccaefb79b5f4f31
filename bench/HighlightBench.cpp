// zarv_bench_highlight: speed of the highlighting pass.
//
//   zarv_bench_highlight [--quick]
//
// Prints one `name: value unit` line per figure:
// - throughput highlighting the 100 MB C++ corpus from scratch (HighlightAll)
//   with the C++ highlighter attached (TCPPHighlighter: about 130
//   whole-word keywords and types, strings, line and block comments,
//   directives, numbers), and with the same vocabulary in the control's own
//   lists instead;
// - milliseconds to re-highlight after one character typed in the middle of
//   a highlighted 10 MB text (the edit itself not timed), averaged over many
//   repetitions;
// - opening a block comment ("/*" typed at the start of a paragraph in the
//   middle of that text) and removing it again: the paragraphs re-parsed and
//   the milliseconds each of the two re-highlightings took;
// - hostile shapes, which must cost time linear in their length: the C++
//   corpus as one line of 1 and 10 MB (highlighting it, and one character
//   typed into it), and lines of 10 000 and 100 000 "/*" in a row.
// It ends with the target the pass is built to meet and whether it is.
// --quick uses 10 MB for the first figure and 1 MB for the others.
//
// MB means 2^20 bytes; the throughput counts the 8-bit corpus bytes.
#include "bench/BenchReport.h"
#include "bench/CorpusGen.h"
#include "bench/CppKeys.h"
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QApplication>
#include <QBuffer>
#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <time.h>

namespace {

using namespace zarv;
using namespace zarv::bench;

struct TConfig {
  int64_t ScratchBytes = 100 * MB;
  int64_t EditBytes = 10 * MB;
  int TypeReps = 200;
  int CommentReps = 3;
};

std::string SizeTag(int64_t bytes) { return std::to_string(bytes / MB) + "MB"; }

void Load(TZarvMemo& memo, const std::string& text) {
  QBuffer device;
  device.setData(QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
  device.open(QIODevice::ReadOnly);
  TzvsLineBreak lb = zsbCRLF;
  memo.Paragraphs().CleanUp(); // the loader fills an empty store
  memo.Paragraphs().LoadFromStream(device, true, u' ', false, lb);
  memo.DropUpText();
}

struct TCounts {
  int64_t Codes = 0;
  int64_t Keywords = 0;
  int64_t Comments = 0;
};

TCounts CountRuns(const TParagraphsList& list) {
  TCounts c;
  for (int32_t p = 0; p < list.Count(); ++p)
    for (const DynInfoRec& d : GetDynArray(*list.Par(p))) {
      ++c.Codes;
      const int32_t ctx = DynToContext(d);
      c.Keywords += ctx == kKeywordContext;
      c.Comments += ctx == kCommentContext && d.Level == 0;
    }
  return c;
}

// ---- From scratch -------------------------------------------------------------------

// With the C++ highlighter attached, or with its vocabulary in the
// control's own lists.
double BenchScratch(const TConfig& cfg, const std::string& corpus, bool highlighter) {
  TZarvMemo memo;
  const int32_t keywords = highlighter ? SetUpKeys(memo) : CopyKeysToControl(memo);
  Load(memo, corpus);
  const std::string how = highlighter ? "cpphighlighter_" : "ownlists_";
  Note(std::string(highlighter ? "C++ highlighter" : "the control's own lists") + ": " +
       std::to_string(memo.Paragraphs().Count()) + " paragraphs; " + std::to_string(keywords) + " keywords");
  // Best of three runs, each on a freshly loaded store: a single run varies
  // with how quickly the system hands out the memory the codes need.
  double secs = 0, cpu = 0, firstSecs = 0;
  for (int run = 0; run < 3; ++run) {
    if (run > 0) {
      memo.Paragraphs().CleanUp();
      Load(memo, corpus);
    }
    const auto t0 = Clock::now();
    const double cpu0 = CpuSeconds();
    HighlightAll(memo);
    const double runCpu = CpuSeconds() - cpu0;
    const double runSecs = Seconds(Clock::now() - t0);
    if (run == 0)
      firstSecs = runSecs;
    if (run == 0 || runSecs < secs)
      secs = runSecs;
    if (run == 0 || runCpu < cpu)
      cpu = runCpu;
  }
  const double mb = static_cast<double>(corpus.size()) / static_cast<double>(MB);
  const double mbps = mb / secs;
  Report("highlight_scratch_" + how + SizeTag(cfg.ScratchBytes), mbps, "MB/s", 1);
  // The first run also pays for the pages the new codes occupy.
  Report("highlight_scratch_first_run_" + how + SizeTag(cfg.ScratchBytes), mb / firstSecs, "MB/s", 1);
  // On a busy machine the wall clock also counts other programs' time.
  Report("highlight_scratch_cpu_" + how + SizeTag(cfg.ScratchBytes), mb / cpu, "MB/s", 1);
  const TCounts c = CountRuns(memo.Paragraphs());
  Report("codes_per_paragraph_" + how, static_cast<double>(c.Codes) / memo.Paragraphs().Count(), "codes", 2);
  Note(std::to_string(c.Keywords) + " keyword runs, " + std::to_string(c.Comments) + " comment runs");
  if (c.Keywords == 0 || c.Comments == 0)
    Fail("the corpus got no keyword or no comment runs");
  const QString problem = memo.Paragraphs().CheckIntegrity();
  if (!problem.isEmpty())
    Fail("store inconsistent after highlighting: " + problem.toStdString());
  return mbps;
}

// ---- After edits ----------------------------------------------------------------------

// Replaces text the way the control does, then re-highlights the touched
// paragraphs; returns the milliseconds of the re-highlighting alone and the
// last paragraph it parsed.
class TEditor {
public:
  explicit TEditor(TZarvMemo& memo) : fMemo(memo), fStart(&memo.Paragraphs()), fStop(&memo.Paragraphs()) {}

  double Replace(int32_t from, int32_t to, const char16_t* text, int32_t* lastParsed = nullptr) {
    fStart.SetPos(from);
    fStop.SetPos(to);
    int32_t od = 0, ld = 0;
    bool dc = false;
    fMemo.Paragraphs().InsertBuf(text, fStart, fStop, false, true, od, ld, dc);
    fMemo.DropUpText();
    const int32_t first = fStart.GetParNb(), last = fStop.GetParNb();
    const auto t0 = Clock::now();
    const int32_t parsed = HighlightParagraphs(fMemo, first, last);
    const double ms = Seconds(Clock::now() - t0) * 1e3;
    if (lastParsed)
      *lastParsed = parsed;
    return ms;
  }

private:
  TZarvMemo& fMemo;
  TZarvNavigator fStart;
  TZarvNavigator fStop;
};

// A paragraph near the middle that is code, not comment, and long enough to
// type into.
int32_t MiddleCodeParagraph(TZarvMemo& memo, int32_t minLength) {
  TParagraphsList& list = memo.Paragraphs();
  for (int32_t p = list.Count() / 2; p < list.Count(); ++p) {
    const ParInfo& par = *list.Par(p);
    if (GetParLength(par) >= minLength && DynToContext(*GetStartDynAttrib(par)) == 0)
      return p;
  }
  return list.Count() / 2;
}

void BenchEdits(const TConfig& cfg) {
  const std::string corpus = CppCorpus(cfg.EditBytes);
  TZarvMemo memo;
  SetUpKeys(memo);
  Load(memo, corpus);
  HighlightAll(memo);
  const std::string tag = SizeTag(cfg.EditBytes);
  TEditor editor(memo);
  TParagraphsList& list = memo.Paragraphs();

  // One character typed in the middle of the text, then taken out again
  // (both re-highlightings timed: they are the same kind of edit). The
  // characters go inside one paragraph, never next to its break.
  const int32_t typePar = MiddleCodeParagraph(memo, 48);
  const int32_t middle = list.Par(typePar)->StartOffset + 4;
  double typed = 0;
  int64_t parsed = 0;
  editor.Replace(middle, middle, u"x"); // warm-up: the paragraph leaves the shared load buffer
  editor.Replace(middle, middle + 1, nullptr);
  for (int r = 0; r < cfg.TypeReps; ++r) {
    const int32_t at = middle + (r % 40);
    int32_t last = typePar;
    typed += editor.Replace(at, at, u"x", &last);
    parsed += last - typePar + 1;
    typed += editor.Replace(at, at + 1, nullptr, &last);
    parsed += last - typePar + 1;
  }
  Report("rehighlight_type_char_" + tag, typed / (2.0 * cfg.TypeReps), "ms", 4);
  Report("rehighlight_type_char_reparsed_" + tag, static_cast<double>(parsed) / (2.0 * cfg.TypeReps), "paragraphs", 2);

  // A block comment opened at the start of a paragraph in the middle runs
  // to the next */ and is closed again by removing it.
  const int32_t p = MiddleCodeParagraph(memo, 20);
  const int32_t at = list.Par(p)->StartOffset;
  double open = 0, close = 0;
  int32_t openLast = p, closeLast = p;
  for (int r = 0; r < cfg.CommentReps; ++r) {
    open += editor.Replace(at, at, u"/*", &openLast);
    const TDynInfoArray& codes = GetDynArray(*list.Par(p));
    if (codes.empty() || codes[0].DynOffset != 0 || DynToContext(codes[0]) != kCommentContext)
      Fail("typing /* did not open a block comment");
    close += editor.Replace(at, at + 2, nullptr, &closeLast);
  }
  Report("open_block_comment_reparsed_" + tag, openLast - p + 1, "paragraphs", 0);
  Report("open_block_comment_" + tag, open / cfg.CommentReps, "ms", 3);
  Report("close_block_comment_reparsed_" + tag, closeLast - p + 1, "paragraphs", 0);
  Report("close_block_comment_" + tag, close / cfg.CommentReps, "ms", 3);

  // The text is back as it was: highlighting it from scratch must give the
  // codes the edits left.
  TZarvMemo scratch;
  SetUpKeys(scratch);
  Load(scratch, corpus);
  HighlightAll(scratch);
  const TParagraphsList& a = memo.Paragraphs();
  const TParagraphsList& b = scratch.Paragraphs();
  if (a.Count() != b.Count() || a.fTextLen != b.fTextLen) {
    Fail("the edits did not restore the text");
    return;
  }
  for (int32_t q = 0; q < a.Count(); ++q) {
    const TDynInfoArray& ca = GetDynArray(*a.Par(q));
    const TDynInfoArray& cb = GetDynArray(*b.Par(q));
    bool same = ca.size() == cb.size();
    for (size_t i = 0; same && i < ca.size(); ++i)
      same = ca[i].DynOffset == cb[i].DynOffset && ca[i].DynStyle == cb[i].DynStyle && ca[i].Context == cb[i].Context;
    if (!same) {
      Fail("after the edits paragraph " + std::to_string(q) + " differs from highlighting from scratch");
      return;
    }
  }
}

// ---- Hostile shapes ---------------------------------------------------------------------

// Highlights `text` from scratch with the C++ highlighter; milliseconds.
double HighlightOnce(const std::string& text, TZarvMemo& memo) {
  SetUpKeys(memo);
  Load(memo, text);
  const auto t0 = Clock::now();
  HighlightAll(memo);
  return Ms(Clock::now() - t0);
}

void BenchHostile(const TConfig& cfg) {
  // The corpus as one line: every break becomes two blanks.
  for (const int64_t bytes : {MB, cfg.EditBytes}) {
    std::string line = CppCorpus(bytes);
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    TZarvMemo memo;
    const double ms = HighlightOnce(line, memo);
    const std::string tag = "one_line_" + SizeTag(bytes);
    Report("highlight_" + tag, double(bytes) / double(MB) / (ms / 1000), "MB/s", 1);
    TEditor editor(memo);
    const int32_t middle = int32_t(bytes / 2);
    editor.Replace(middle, middle, u"x"); // the line leaves the shared load buffer
    double typed = 0;
    for (int r = 0; r < 3; ++r) {
      typed += editor.Replace(middle, middle, u"x");
      typed += editor.Replace(middle, middle + 1, nullptr);
    }
    Report("rehighlight_type_char_" + tag, typed / 6, "ms", 1);
    if (!memo.Paragraphs().CheckIntegrity().isEmpty())
      Fail(tag + ": store inconsistent");
  }
  // "/*" after "/*": the first opens a comment, the others are inside it.
  for (const int n : {10'000, 100'000}) {
    std::string text;
    for (int i = 0; i < n; ++i)
      text += "/* ";
    TZarvMemo memo;
    const double ms = HighlightOnce(text, memo);
    Report("highlight_" + std::to_string(n) + "_comment_starts", ms, "ms", 2);
    Report("highlight_" + std::to_string(n) + "_comment_starts_per_char", ms * 1e6 / double(text.size()), "ns", 1);
  }
}

int Run(const TConfig& cfg) {
#if !defined(NDEBUG)
  Note("assertions are on: this is not an optimised build and the figures are not representative");
#endif
  const std::string corpus = CppCorpus(cfg.ScratchBytes);
  Note("corpus: C++-like source, " + SizeTag(cfg.ScratchBytes));
  const double mbps = BenchScratch(cfg, corpus, true);
  const double own = BenchScratch(cfg, corpus, false);
  BenchEdits(cfg);
  BenchHostile(cfg);
  std::printf("# targets\n");
  std::printf("highlight_scratch_cpphighlighter >= 60 MB/s: %s (%.1f; own lists %.1f)\n", mbps >= 60 ? "met" : "MISSED",
              mbps, own);
  return gFailed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
  TConfig cfg;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--quick") {
      cfg.ScratchBytes = 10 * MB;
      cfg.EditBytes = 1 * MB;
      cfg.TypeReps = 50;
      cfg.CommentReps = 1;
    } else {
      std::fprintf(stderr, "usage: zarv_bench_highlight [--quick]\n");
      return arg == "--help" || arg == "-h" ? 0 : 2;
    }
  }
  // The control is a widget.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  try {
    return Run(cfg);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zarv_bench_highlight: %s\n", e.what());
    return 1;
  }
}
