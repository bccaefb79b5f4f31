// zarv_bench_store: speed and memory of the paragraph store.
//
//   zarv_bench_store [--quick]
//
// Prints one `name: value unit` line per figure:
// - load and save throughput of the 100 MB C++ corpus, 8-bit and UTF-16,
//   through an in-memory QBuffer so that the disk does not count (best of 3);
// - load throughput of the same bytes as one single line (breaks turned
//   into blanks), which must match the normal load;
// - load and save throughput of a UTF-8 form of the corpus (words now and
//   then in accented Latin, Cyrillic or Greek, CJK, and emoji: two-, three-
//   and four-byte sequences), asked for as UTF-8 and found by detection, and
//   of the same bytes made invalid at their very end, which detection reads
//   twice (as UTF-8 until the last byte, then again as 8-bit);
// - the peak resident memory of an 8-bit and a UTF-8 load beyond what the
//   process held before (VmHWM after resetting it), beside the resident
//   memory the loaded store keeps: decoding must not hold a second copy of
//   the text;
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

// Sum of paragraph lengths: the characters, breaks not counted.
int64_t TextChars(const TParagraphsList& store) {
  return int64_t{store.fTextLen} - 2 * int64_t{std::max(store.Count() - 1, 0)};
}

QByteArray Utf16Bytes(const std::string& ascii) {
  const std::u16string wide = WidenAscii(ascii);
  return QByteArray(reinterpret_cast<const char*>(wide.data()), static_cast<qsizetype>(wide.size() * 2));
}

// How a benchmark load reads its bytes.
enum class TLoadAs { Ansi, Utf16, Utf8, Detect };

const char* LoadName(TLoadAs as) {
  switch (as) {
  case TLoadAs::Ansi:
    return "8bit_";
  case TLoadAs::Utf16:
    return "utf16_";
  case TLoadAs::Utf8:
    return "utf8_";
  case TLoadAs::Detect:
    return "auto_";
  }
  return "";
}

std::unique_ptr<TParagraphsList> Load(const QByteArray& bytes, TLoadAs as, double* seconds = nullptr,
                                      TzvsLoadResult* found = nullptr) {
  auto store = std::make_unique<TParagraphsList>();
  QBuffer device;
  device.setData(bytes); // shares the bytes, no copy
  device.open(QIODevice::ReadOnly);
  TzvsLineBreak lb = zsbCRLF;
  const auto t0 = Clock::now();
  TzvsLoadResult result;
  switch (as) {
  case TLoadAs::Ansi:
  case TLoadAs::Utf16:
    store->LoadFromStream(device, as == TLoadAs::Ansi, 0, false, lb);
    break;
  case TLoadAs::Utf8:
    result = store->LoadFromStream(device, TzvsEncoding::Utf8, 0, false, lb);
    break;
  case TLoadAs::Detect:
    result = store->LoadFromStream(device, std::nullopt, 0, false, lb);
    break;
  }
  if (seconds)
    *seconds = Seconds(Clock::now() - t0);
  if (found)
    *found = result;
  return store;
}

std::unique_ptr<TParagraphsList> Load(const QByteArray& bytes, bool ansi) {
  return Load(bytes, ansi ? TLoadAs::Ansi : TLoadAs::Utf16);
}

// The corpus with words now and then written in other scripts, as UTF-8 of
// at most `bytes` bytes: per word, 10 % get accented vowels (two bytes
// each), 6 % become Cyrillic or Greek (two bytes a letter), 4 % CJK (three
// bytes a letter), and 1 % are followed by an emoji (four bytes): about one
// character in eleven is not ASCII, most of them in runs, as in text that
// mixes languages. Comments and identifiers alike: the decoder does not care
// which.
std::string Utf8Corpus(const std::string& ascii, int64_t bytes) {
  static constexpr char kVowels[] = "aeiou";
  static constexpr const char* kAccented[] = {"\u00E1", "\u00E9", "\u00ED", "\u00F3", "\u00FC"}; // a e i o u
  static constexpr const char* kCyrillicGreek[] = {"\u0434", "\u0436", "\u0438", "\u043A", "\u043B", "\u043C",
                                                   "\u03B1", "\u03B2", "\u03B3", "\u03BB", "\u03C3", "\u03C9"};
  static constexpr const char* kCjk[] = {"\u4E2D", "\u6587", "\u5B57", "\u65E5", "\u672C", "\u8A9E", "\u6F22"};
  static constexpr const char* kEmoji[] = {"\U0001F600", "\U0001F680", "\U0001F44D", "\U0001D538"};
  TCorpusRandom random(DefaultCorpusSeed ^ 0x55);
  std::string out;
  out.reserve(static_cast<size_t>(bytes));
  enum { kPlain, kAccents, kOtherAlphabet, kIdeographs } script = kPlain;
  bool emoji = false;
  auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  auto put = [&](std::string_view piece) {
    if (static_cast<int64_t>(out.size() + piece.size()) > bytes)
      return false;
    out += piece;
    return true;
  };
  for (size_t i = 0; i < ascii.size(); ++i) {
    const char c = ascii[i];
    if (isLetter(c) && (i == 0 || !isLetter(ascii[i - 1]))) {
      const uint32_t r = random.Below(1000);
      script = r < 100 ? kAccents : r < 160 ? kOtherAlphabet : r < 200 ? kIdeographs : kPlain;
      emoji = random.Below(1000) < 10;
    }
    std::string_view piece(&ascii[i], 1);
    if (isLetter(c)) {
      const auto letter = static_cast<uint32_t>(c | 0x20) - 'a';
      const char* vowel = std::strchr(kVowels, c | 0x20);
      if (script == kAccents && vowel)
        piece = kAccented[vowel - kVowels];
      else if (script == kOtherAlphabet)
        piece = kCyrillicGreek[letter % std::size(kCyrillicGreek)];
      else if (script == kIdeographs)
        piece = kCjk[letter % std::size(kCjk)];
    } else if (emoji && i > 0 && isLetter(ascii[i - 1])) {
      emoji = false;
      if (!put(kEmoji[random.Below(std::size(kEmoji))]))
        break;
    }
    if (!put(piece))
      break;
  }
  return out;
}

// Shares of the characters of UTF-8 text by sequence length, in percent.
std::string SequenceShares(const std::string& utf8) {
  int64_t count[5] = {};
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80)
      ++count[c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4];
  const auto all = static_cast<double>(count[1] + count[2] + count[3] + count[4]);
  char text[160];
  std::snprintf(text, sizeof text,
                "characters by length: 1 byte %.2f %%, 2 bytes %.2f %%, 3 bytes %.2f %%, 4 bytes %.3f %%",
                100.0 * static_cast<double>(count[1]) / all, 100.0 * static_cast<double>(count[2]) / all,
                100.0 * static_cast<double>(count[3]) / all, 100.0 * static_cast<double>(count[4]) / all);
  return text;
}

// ---- Load, memory, save ----------------------------------------------------------

struct TTarget {
  std::string Text;
  bool Met;
};
std::vector<TTarget> gTargets;

// `kind` names the figure: "" for the corpus as it is, "single_line_" for
// the corpus as one line. `expect` is the encoding the load must report.
double BenchLoad(const TConfig& cfg, const QByteArray& bytes, TLoadAs as, const std::string& kind = "",
                 TzvsEncoding expect = TzvsEncoding::Utf8) {
  double best = std::numeric_limits<double>::infinity();
  for (int run = 0; run < cfg.Runs; ++run) {
    double s = 0;
    TzvsLoadResult found;
    auto store = Load(bytes, as, &s, &found);
    best = std::min(best, s);
    if (run == 0) {
      CheckStore(*store, "loading");
      if (kind == "single_line_" && store->Count() != 1)
        Fail("the single-line corpus loaded as " + std::to_string(store->Count()) + " paragraphs");
      if ((as == TLoadAs::Utf8 || as == TLoadAs::Detect) && found.Format.Encoding != expect)
        Fail(std::string("load_") + LoadName(as) + kind + " found another encoding");
    }
    store.reset(); // not timed
  }
  const double mbps = static_cast<double>(bytes.size()) / static_cast<double>(MB) / best;
  Report(std::string("load_") + LoadName(as) + kind + cfg.SizeTag, mbps, "MB/s");
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

// Peak resident memory of the process, or -1.
int64_t PeakResidentBytes() {
#if defined(__linux__)
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f)
    return -1;
  char line[256];
  int64_t kb = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1)
      break;
  std::fclose(f);
  return kb < 0 ? -1 : kb * 1024;
#else
  return -1;
#endif
}

// Makes the peak resident figure start again from the present one.
bool ResetPeakResident() {
#if defined(__linux__)
  FILE* f = std::fopen("/proc/self/clear_refs", "w");
  if (!f)
    return false;
  const bool ok = std::fputs("5", f) >= 0;
  return std::fclose(f) == 0 && ok;
#else
  return false;
#endif
}

struct TPeak {
  double PeakMB = -1;  // resident growth at the peak of the load
  double StoreMB = -1; // resident growth the loaded store keeps
};

// Resident memory an in-memory load needs at its peak beside what the store
// keeps afterwards; the difference is what decoding held on the side.
TPeak BenchPeak(const TConfig& cfg, const QByteArray& bytes, TLoadAs as) {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
  TPeak peak;
  const int64_t before = ResidentBytes();
  if (before < 0 || !ResetPeakResident()) {
    Note("peak resident figures need /proc/self/clear_refs; skipped");
    return peak;
  }
  auto store = Load(bytes, as);
  const int64_t top = PeakResidentBytes();
  const int64_t after = ResidentBytes();
  peak.PeakMB = static_cast<double>(top - before) / static_cast<double>(MB);
  peak.StoreMB = static_cast<double>(after - before) / static_cast<double>(MB);
  const std::string tag = std::string(LoadName(as)) + cfg.SizeTag;
  Report("load_peak_resident_" + tag, peak.PeakMB, "MB");
  Report("store_resident_" + tag, peak.StoreMB, "MB");
  return peak;
}

void BenchSave(const TConfig& cfg, TParagraphsList& store, const QByteArray& expected, TzvsEncoding encoding) {
  const char* name8 = encoding == TzvsEncoding::Ansi ? "8bit_" : encoding == TzvsEncoding::Utf8 ? "utf8_" : "utf16_";
  const std::string name = std::string("save_") + name8 + cfg.SizeTag;
  double best = std::numeric_limits<double>::infinity();
  for (int run = 0; run < cfg.Runs; ++run) {
    QByteArray out;
    out.reserve(expected.size()); // growing the array is not the store's cost
    QBuffer device(&out);
    device.open(QIODevice::WriteOnly);
    const auto t0 = Clock::now();
    store.SaveToStream(device, TzvsTextFormat{encoding, false}, false, false, zsbCRLF);
    best = std::min(best, Seconds(Clock::now() - t0));
    device.close();
    if (run == 0 && out != expected)
      Fail(name + ": the saved bytes differ from the loaded ones");
  }
  Report(name, static_cast<double>(expected.size()) / static_cast<double>(MB) / best, "MB/s");
}

// ---- Edits -----------------------------------------------------------------------

// The first `paragraphs` lines of a C++ corpus, CR LF breaks.
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
  const std::string text = CorpusOfParagraphs(cfg.EditParagraphs);
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

  const double load8 = BenchLoad(cfg, ansiBytes, TLoadAs::Ansi);
  BenchLoad(cfg, wideBytes, TLoadAs::Utf16);
  double load8Single = 0;
  {
    const std::string single = SingleLine(corpus);
    load8Single = BenchLoad(cfg, QByteArray::fromRawData(single.data(), static_cast<qsizetype>(single.size())),
                            TLoadAs::Ansi, "single_line_");
  }
  const double perPar = BenchMemory(cfg, ansiBytes);
  {
    auto store = Load(ansiBytes, true);
    BenchSave(cfg, *store, ansiBytes, TzvsEncoding::Ansi);
    BenchSave(cfg, *store, wideBytes, TzvsEncoding::Utf16LE);
  }

  const std::string utf8 = Utf8Corpus(corpus, cfg.CorpusBytes);
  const QByteArray utf8Bytes = QByteArray::fromRawData(utf8.data(), static_cast<qsizetype>(utf8.size()));
  Note("UTF-8 corpus: " + std::to_string(utf8.size()) + " bytes; " + SequenceShares(utf8));
  const double loadUtf8 = BenchLoad(cfg, utf8Bytes, TLoadAs::Utf8);
  const double loadAuto = BenchLoad(cfg, utf8Bytes, TLoadAs::Detect, "utf8_");
  {
    std::string invalid = utf8;
    invalid.back() = '\xFF';
    BenchLoad(cfg, QByteArray::fromRawData(invalid.data(), static_cast<qsizetype>(invalid.size())), TLoadAs::Detect,
              "utf8_invalid_at_end_", TzvsEncoding::Ansi);
  }
  {
    auto store = Load(utf8Bytes, TLoadAs::Utf8);
    BenchSave(cfg, *store, utf8Bytes, TzvsEncoding::Utf8);
  }
  const TPeak peak8 = BenchPeak(cfg, ansiBytes, TLoadAs::Ansi);
  const TPeak peakUtf8 = BenchPeak(cfg, utf8Bytes, TLoadAs::Utf8);
  const TEditFigures edits = BenchEdits(cfg);

  Target("load_8bit >= 500 MB/s", load8 >= 500, load8);
  // One long line is no slower than the same bytes in lines (within noise).
  Target("load_8bit_single_line >= 0.9 x load_8bit", load8Single >= 0.9 * load8, load8Single);
  Target("load_utf8 >= 0.5 x load_8bit", loadUtf8 >= 0.5 * load8, loadUtf8);
  Target("load_auto_utf8 >= 0.9 x load_utf8", loadAuto >= 0.9 * loadUtf8, loadAuto);
  if (peak8.PeakMB >= 0) {
    // A few MB of pages beside the store: the reader's stage, the record
    // chunks' growth and the arena's block being filled.
    Target("load_peak_resident_8bit <= store_resident_8bit + 8 MB", peak8.PeakMB <= peak8.StoreMB + 8, peak8.PeakMB);
    Target("load_peak_resident_utf8 <= store_resident_utf8 + 8 MB", peakUtf8.PeakMB <= peakUtf8.StoreMB + 8,
           peakUtf8.PeakMB);
  }
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
