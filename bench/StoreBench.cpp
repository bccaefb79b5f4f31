// zarv_bench_store: speed and memory of the paragraph store.
//
//   zarv_bench_store [--quick]
//
// Prints one `name: value unit` line per figure:
// - load and save throughput of the 100 MB C++ corpus, 8-bit and UTF-16,
//   through an in-memory QBuffer so that the disk does not count (best of 3);
// - load throughput of the same bytes as one single line (breaks turned
//   into blanks), which must match the normal load;
// - bytes per paragraph the store holds beyond its text after loading: what
//   malloc counts as in use (mallinfo2 uordblks + hblkhd, chunk headers
//   included) gained over the load, plus the text blocks the store maps
//   itself (TextBlockBytes), minus 2 bytes per character of text. This counts
//   records, text buffers with their NULs and unused ends, extended records
//   and allocator overhead, not pages merely reserved. The resident set
//   gained (after malloc_trim, so that earlier frees do not hide new pages)
//   is printed too, as a cross-check that depends on huge-page settings;
// - microseconds per edit near the start and in the middle of a text of
//   2 million paragraphs: a typed character, a paragraph split and the
//   deletion of a block of 1 000 paragraphs (the deleted block is pasted
//   back untimed, and that paste is reported on its own).
// It ends with the targets the store is built to meet and whether they are.
// --quick uses 10 MB and 200 000 paragraphs, so that CI can smoke-run it.
//
// MB means 2^20 bytes; throughput counts stream bytes, so a UTF-16 stream of
// the same corpus is twice as many bytes as the 8-bit one.
#include "bench/BenchReport.h"
#include "bench/CorpusGen.h"
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QBuffer>
#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <unistd.h>
#endif

namespace {

using namespace zarv;
using namespace zarv::bench;

struct TConfig {
  int64_t CorpusBytes = 100 * MB;
  int32_t EditParagraphs = 2'000'000;
  int32_t BlockParagraphs = 1'000;
  int Runs = 3;
  double EditSeconds = 1.0; // timed seconds to spend on each edit figure
  std::string SizeTag = "100MB";
  std::string ParTag = "2Mpar";
};

void CheckStore(const TParagraphsList& store, const char* after) {
  const QString problem = store.CheckIntegrity();
  if (!problem.isEmpty())
    Fail(std::string("store inconsistent after ") + after + ": " + problem.toStdString());
}

// Heap bytes in use, from the allocator's own books: chunks in use in every
// malloc arena (headers included) plus chunks mapped on their own.
int64_t HeapInUse() {
#if defined(__GLIBC__)
  const struct mallinfo2 mi = mallinfo2();
  return static_cast<int64_t>(mi.uordblks + mi.hblkhd);
#else
  return -1;
#endif
}

// Resident bytes of the process, or -1.
int64_t ResidentBytes() {
#if defined(__linux__)
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f)
    return -1;
  const bool ok = std::fscanf(f, "%ld %ld", &pages, &resident) == 2;
  std::fclose(f);
  return ok ? static_cast<int64_t>(resident) * sysconf(_SC_PAGESIZE) : -1;
#else
  return -1;
#endif
}

// Sum of paragraph lengths: the characters, breaks not counted.
int64_t TextChars(const TParagraphsList& store) {
  return int64_t{store.fTextLen} - 2 * int64_t{std::max(store.Count() - 1, 0)};
}

QByteArray Utf16Bytes(const std::string& ascii) {
  const std::u16string wide = WidenAscii(ascii);
  return QByteArray(reinterpret_cast<const char*>(wide.data()), static_cast<qsizetype>(wide.size() * 2));
}

std::unique_ptr<TParagraphsList> Load(const QByteArray& bytes, bool ansi, double* seconds = nullptr) {
  auto store = std::make_unique<TParagraphsList>();
  QBuffer device;
  device.setData(bytes); // shares the bytes, no copy
  device.open(QIODevice::ReadOnly);
  TzvsLineBreak lb = zsbCRLF;
  const auto t0 = Clock::now();
  store->LoadFromStream(device, ansi, 0, false, lb);
  if (seconds)
    *seconds = Seconds(Clock::now() - t0);
  return store;
}

// ---- Load, memory, save ----------------------------------------------------------

struct TTarget {
  std::string Text;
  bool Met;
};
std::vector<TTarget> gTargets;

// `kind` names the figure: "" for the corpus as it is, "single_line_" for
// the corpus as one line.
double BenchLoad(const TConfig& cfg, const QByteArray& bytes, bool ansi, const std::string& kind = "") {
  double best = std::numeric_limits<double>::infinity();
  for (int run = 0; run < cfg.Runs; ++run) {
    double s = 0;
    auto store = Load(bytes, ansi, &s);
    best = std::min(best, s);
    if (run == 0) {
      CheckStore(*store, "loading");
      if (!kind.empty() && store->Count() != 1)
        Fail("the single-line corpus loaded as " + std::to_string(store->Count()) + " paragraphs");
    }
    store.reset(); // not timed
  }
  const double mbps = static_cast<double>(bytes.size()) / static_cast<double>(MB) / best;
  Report(std::string("load_") + (ansi ? "8bit_" : "utf16_") + kind + cfg.SizeTag, mbps, "MB/s");
  return mbps;
}

// The corpus with every break turned into a blank: the same characters in
// one paragraph.
std::string SingleLine(std::string text) {
  std::replace(text.begin(), text.end(), '\r', ' ');
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

double BenchMemory(const TConfig& cfg, const QByteArray& bytes) {
  QBuffer device;
  device.setData(bytes);
  device.open(QIODevice::ReadOnly);
  TzvsLineBreak lb = zsbCRLF;
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
  const int64_t before = HeapInUse();
  const int64_t residentBefore = ResidentBytes();
  auto store = std::make_unique<TParagraphsList>();
  store->LoadFromStream(device, true, 0, false, lb);
  const int64_t after = HeapInUse();
  const int64_t residentAfter = ResidentBytes();
  if (before < 0) {
    Note("heap figures need glibc's mallinfo2; skipped");
    return -1;
  }
  const auto blocks = static_cast<int64_t>(store->TextBlockBytes());
  const int64_t held = after - before + blocks;
  const auto count = static_cast<double>(store->Count());
  const int64_t textBytes = TextChars(*store) * 2;
  const double perPar = static_cast<double>(held - textBytes) / count;
  Report("paragraphs_" + cfg.SizeTag, count, "paragraphs", 0);
  Report("heap_after_load_" + cfg.SizeTag, static_cast<double>(held) / static_cast<double>(MB), "MB");
  Report("text_blocks_" + cfg.SizeTag, static_cast<double>(blocks) / static_cast<double>(MB), "MB");
  Report("heap_per_par_beyond_text_" + cfg.SizeTag, perPar, "bytes");
  if (residentBefore >= 0 && residentAfter >= 0)
    Report("resident_per_par_beyond_text_" + cfg.SizeTag,
           static_cast<double>(residentAfter - residentBefore - textBytes) / count, "bytes");
  return perPar;
}

void BenchSave(const TConfig& cfg, TParagraphsList& store, const QByteArray& expected, bool ansi) {
  const std::string name = std::string("save_") + (ansi ? "8bit_" : "utf16_") + cfg.SizeTag;
  double best = std::numeric_limits<double>::infinity();
  for (int run = 0; run < cfg.Runs; ++run) {
    QByteArray out;
    out.reserve(expected.size()); // growing the array is not the store's cost
    QBuffer device(&out);
    device.open(QIODevice::WriteOnly);
    const auto t0 = Clock::now();
    store.SaveToStream(device, ansi, false, false, zsbCRLF);
    best = std::min(best, Seconds(Clock::now() - t0));
    device.close();
    if (run == 0 && out != expected)
      Fail(name + ": the saved bytes differ from the loaded ones");
  }
  Report(name, static_cast<double>(expected.size()) / static_cast<double>(MB) / best, "MB/s");
}

// ---- Edits -----------------------------------------------------------------------

// The first `paragraphs` lines of a C++ corpus, CR LF breaks.
std::string EditCorpus(int32_t paragraphs) {
  TCorpusOptions options;
  options.Bytes = int64_t{paragraphs} * 48;
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

// Replaces text the way the control does: two navigators that it keeps,
// placed on absolute positions.
class TEditor {
public:
  explicit TEditor(TParagraphsList& store) : fStore(store), fStart(&store), fStop(&store) {}

  void Replace(int32_t from, int32_t to, const char16_t* text) {
    fStart.SetPos(from);
    fStop.SetPos(to);
    int32_t offsetDelta = 0;
    int32_t lineDelta = 0;
    bool dynsChanged = false;
    fStore.InsertBuf(text, fStart, fStop, false, true, offsetDelta, lineDelta, dynsChanged);
  }

  // Times fn(rep) until the timed total reaches the budget (at least a few
  // repetitions, at most a wall-clock cap); returns microseconds per call.
  // fn returns the time of its own timed part, so that restoring the text
  // after an edit does not count.
  template <class Fn>
  static double MicrosPerOp(double budget, Fn fn) {
    constexpr int kMinReps = 5;
    constexpr int kMaxReps = 20'000;
    fn(-1); // warm-up: the first edit at a place copies its paragraph out of the shared buffer
    Clock::duration timed{};
    const auto wallStart = Clock::now();
    int reps = 0;
    while (reps < kMinReps ||
           (reps < kMaxReps && Seconds(timed) < budget && Seconds(Clock::now() - wallStart) < 4 * budget)) {
      timed += fn(reps);
      ++reps;
    }
    return Seconds(timed) * 1e6 / reps;
  }

private:
  TParagraphsList& fStore;
  TZarvNavigator fStart;
  TZarvNavigator fStop;
};

std::u16string ParagraphBlock(const TParagraphsList& store, int32_t first, int32_t count) {
  std::u16string block;
  for (int32_t i = first; i < first + count; ++i) {
    block += store.ParString(i).toStdU16String();
    block += u"\r\n";
  }
  return block;
}

struct TEditFigures {
  double TypeStart = 0;
  double TypeMiddle = 0;
};

void BenchEditsAt(const TConfig& cfg, TParagraphsList& store, const char* where, int32_t par, TEditFigures& figures) {
  TEditor editor(store);
  const std::string tag = std::string(where) + "_" + cfg.ParTag;
  const int32_t textLen = store.fTextLen;
  const int32_t count = store.Count();

  // Typing: one character after the other, as a user types, inside the
  // paragraph. The text grows by one character per repetition.
  const int32_t typeAt = store.Par(par)->StartOffset + std::min(GetParLength(*store.Par(par)), 4);
  const double type = TEditor::MicrosPerOp(cfg.EditSeconds, [&](int rep) {
    const int32_t pos = typeAt + rep + 1;
    const auto t0 = Clock::now();
    editor.Replace(pos, pos, u"x");
    return Clock::now() - t0;
  });
  Report("type_char_" + tag, type, "us");
  (std::string_view(where) == "start" ? figures.TypeStart : figures.TypeMiddle) = type;
  CheckStore(store, "typing");
  const int32_t typed = store.fTextLen - textLen;

  // Splitting a paragraph, joined again untimed.
  const int32_t splitAt = store.Par(par + 1)->StartOffset + GetParLength(*store.Par(par + 1)) / 2;
  const double split = TEditor::MicrosPerOp(cfg.EditSeconds, [&](int) {
    const auto t0 = Clock::now();
    editor.Replace(splitAt, splitAt, u"\r\n");
    const auto spent = Clock::now() - t0;
    editor.Replace(splitAt, splitAt + 2, nullptr);
    return spent;
  });
  Report("split_par_" + tag, split, "us");
  CheckStore(store, "splitting");

  // Deleting a block of paragraphs, pasted back untimed.
  const int32_t first = par + 2;
  const std::u16string block = ParagraphBlock(store, first, cfg.BlockParagraphs);
  const int32_t from = store.Par(first)->StartOffset;
  const int32_t to = from + static_cast<int32_t>(block.size());
  Clock::duration pasteTime{};
  int pastes = 0;
  const double del = TEditor::MicrosPerOp(cfg.EditSeconds, [&](int) {
    const auto t0 = Clock::now();
    editor.Replace(from, to, nullptr);
    const auto t1 = Clock::now();
    editor.Replace(from, from, block.c_str());
    pasteTime += Clock::now() - t1;
    ++pastes;
    return t1 - t0;
  });
  const std::string blockTag = std::to_string(cfg.BlockParagraphs) + "par_";
  Report("delete_" + blockTag + tag, del, "us");
  Report("paste_" + blockTag + tag, Seconds(pasteTime) * 1e6 / pastes, "us");
  CheckStore(store, "deleting and pasting blocks");

  if (store.Count() != count || store.fTextLen != textLen + typed)
    Fail(std::string("the text changed size under the split and block edits at the ") + where);
}

TEditFigures BenchEdits(const TConfig& cfg) {
  const std::string text = EditCorpus(cfg.EditParagraphs);
  auto store = Load(QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())), true);
  if (store->Count() != cfg.EditParagraphs)
    Fail("the edit corpus has " + std::to_string(store->Count()) + " paragraphs");
  Note("edits on " + std::to_string(store->Count()) + " paragraphs, " +
       std::to_string(text.size() / static_cast<size_t>(MB)) + " MB");
  TEditFigures figures;
  BenchEditsAt(cfg, *store, "start", 0, figures);
  BenchEditsAt(cfg, *store, "middle", store->Count() / 2, figures);
  return figures;
}

void Target(const std::string& what, bool met, double value) {
  char measured[32];
  std::snprintf(measured, sizeof measured, " (%.1f)", value);
  gTargets.push_back({what + ": " + (met ? "met" : "MISSED") + measured, met});
}

int Run(const TConfig& cfg, bool quick) {
#if !defined(NDEBUG)
  Note("assertions are on: this is not an optimised build and the figures are not representative");
#endif
  TCorpusOptions options;
  options.Bytes = cfg.CorpusBytes;
  const std::string corpus = GenerateCorpus(options);
  const QByteArray ansiBytes = QByteArray::fromRawData(corpus.data(), static_cast<qsizetype>(corpus.size()));
  const QByteArray wideBytes = Utf16Bytes(corpus);
  Note("corpus: C++-like source, " + cfg.SizeTag + ", CR LF breaks; MB = 2^20 bytes of stream");

  const double load8 = BenchLoad(cfg, ansiBytes, true);
  BenchLoad(cfg, wideBytes, false);
  double load8Single = 0;
  {
    const std::string single = SingleLine(corpus);
    load8Single = BenchLoad(cfg, QByteArray::fromRawData(single.data(), static_cast<qsizetype>(single.size())), true,
                            "single_line_");
  }
  const double perPar = BenchMemory(cfg, ansiBytes);
  {
    auto store = Load(ansiBytes, true);
    BenchSave(cfg, *store, ansiBytes, true);
    BenchSave(cfg, *store, wideBytes, false);
  }
  const TEditFigures edits = BenchEdits(cfg);

  Target("load_8bit >= 500 MB/s", load8 >= 500, load8);
  // One long line is no slower than the same bytes in lines (within noise).
  Target("load_8bit_single_line >= 0.9 x load_8bit", load8Single >= 0.9 * load8, load8Single);
  if (perPar >= 0)
    Target("heap_per_par_beyond_text <= 40 bytes", perPar <= 40, perPar);
  const double worstType = std::max(edits.TypeStart, edits.TypeMiddle);
  Target(std::string("type_char <= 5000 us at 2M paragraphs") + (quick ? " (measured at 200K)" : ""), worstType <= 5000,
         worstType);
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
      cfg.CorpusBytes = 10 * MB;
      cfg.EditParagraphs = 200'000;
      cfg.EditSeconds = 0.1;
      cfg.SizeTag = "10MB";
      cfg.ParTag = "200Kpar";
    } else {
      std::fprintf(stderr, "usage: zarv_bench_store [--quick]\n");
      return arg == "--help" || arg == "-h" ? 0 : 2;
    }
  }
  try {
    return Run(cfg, quick);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zarv_bench_store: %s\n", e.what());
    return 1;
  }
}
