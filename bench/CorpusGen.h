// Deterministic benchmark corpora.
//
// Benchmarks need large texts that look like what users edit, and the same
// bytes on every machine and with every standard library, so that figures
// from different runs compare. The generator therefore uses its own PRNG
// (splitmix64) and its own bounded draws instead of <random>'s distributions,
// whose results are implementation-defined, and never formats floating point.
//
// Three kinds of text are made, all 7-bit ASCII so that a byte is a character
// in 8-bit mode:
// - C++-like source: block comments spanning lines, line comments, string and
//   character literals with escapes, keywords, preprocessor lines, nested
//   blocks indented with tabs, spaces or both;
// - English-like prose: one paragraph per line, from a few words to a few
//   thousand characters, separated by empty lines, with occasional headings;
// - very long lines: 1 MB lines of prose mixed with code fragments.
//
// The size is exact: the text is precisely the number of bytes asked for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zarv::bench {

// Sizes in this folder use binary megabytes, both for corpus sizes and for
// throughput figures.
inline constexpr int64_t KB = int64_t{1} << 10;
inline constexpr int64_t MB = int64_t{1} << 20;

// splitmix64: tiny, fast, and defined entirely by the few lines of Next().
class TCorpusRandom {
public:
  explicit TCorpusRandom(uint64_t seed) : fState(seed) {}
  uint64_t Next();
  // Uniform draw in 0 .. n - 1 (n > 0).
  uint32_t Below(uint32_t n);
  // Uniform draw in lo .. hi, both included.
  int32_t Range(int32_t lo, int32_t hi);
  // True with the given probability in percent.
  bool Chance(uint32_t percent) { return Below(100) < percent; }
  // An index in 0 .. n - 1 skewed towards small values, the way a few words
  // of a vocabulary dominate real text.
  uint32_t Skewed(uint32_t n);

private:
  uint64_t fState;
};

enum class TCorpusKind { Cpp, Prose, LongLines };
enum class TCorpusBreak { CRLF, LF };

inline constexpr uint64_t DefaultCorpusSeed = 0x2F6A9C41D7E35B08ull;

struct TCorpusOptions {
  TCorpusKind Kind = TCorpusKind::Cpp;
  int64_t Bytes = MB;
  TCorpusBreak LineBreak = TCorpusBreak::CRLF;
  uint64_t Seed = DefaultCorpusSeed;
};

// Length of the lines of the LongLines corpus (the break included).
inline constexpr int64_t LongLineBytes = MB;

// The corpus, exactly options.Bytes long. The same options always give the
// same text. A smaller corpus equals the start of a larger one of the same
// kind and seed except for its last few lines, which are made to fit.
std::string GenerateCorpus(const TCorpusOptions& options);

// The C++-like corpus (CR LF breaks) of exactly `bytes` bytes.
std::string CppCorpus(int64_t bytes);

// The start of the default (C++, CR LF) corpus holding exactly `paragraphs`
// paragraphs, for figures that depend on the paragraph count.
std::string CorpusOfParagraphs(int32_t paragraphs);

// The text widened one byte to one UTF-16 unit.
std::u16string WidenAscii(std::string_view text);

// Command-line helpers: "cpp", "prose", "longlines"; sizes such as "100M",
// "10MB", "512K" or a plain byte count.
std::optional<TCorpusKind> ParseCorpusKind(std::string_view name);
std::string_view CorpusKindName(TCorpusKind kind);
std::optional<int64_t> ParseByteSize(std::string_view text);

} // namespace zarv::bench
