// zarv_corpus: writes one benchmark corpus to a file (or to standard output).
//
//   zarv_corpus [--kind cpp|prose|longlines] [--size 1M|10M|100M|BYTES]
//               [--break crlf|lf | --lf | --crlf] [--seed N] [-o FILE]
//
// The defaults are a 1 MB C++ corpus with CR LF breaks. Sizes are exact byte
// counts; M means 2^20 bytes.
#include "bench/CorpusGen.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using namespace zarv::bench;

int Usage(const char* message) {
  if (message)
    std::fprintf(stderr, "zarv_corpus: %s\n", message);
  std::fprintf(stderr, "usage: zarv_corpus [--kind cpp|prose|longlines] [--size 1M|10M|100M|BYTES]\n"
                       "                   [--break crlf|lf | --lf | --crlf] [--seed N] [-o FILE]\n");
  return 2;
}

bool WriteAll(const std::string& text, const char* path) {
  std::FILE* f = path ? std::fopen(path, "wb") : stdout;
  if (!f) {
    std::perror(path);
    return false;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = (path ? std::fclose(f) : std::fflush(f)) == 0 && ok;
  if (!ok)
    std::perror(path ? path : "stdout");
  return ok;
}

} // namespace

int main(int argc, char** argv) {
  TCorpusOptions options;
  const char* output = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool takesValue =
        arg == "--kind" || arg == "--size" || arg == "--break" || arg == "--seed" || arg == "-o" || arg == "--output";
    if (arg == "--help" || arg == "-h") {
      Usage(nullptr);
      return 0;
    } else if (arg == "--lf") {
      options.LineBreak = TCorpusBreak::LF;
    } else if (arg == "--crlf") {
      options.LineBreak = TCorpusBreak::CRLF;
    } else if (takesValue && i + 1 >= argc) {
      return Usage(("missing value after " + std::string(arg)).c_str());
    } else if (arg == "--kind") {
      const auto kind = ParseCorpusKind(argv[++i]);
      if (!kind)
        return Usage("unknown kind");
      options.Kind = *kind;
    } else if (arg == "--size") {
      const auto bytes = ParseByteSize(argv[++i]);
      if (!bytes)
        return Usage("bad size");
      options.Bytes = *bytes;
    } else if (arg == "--break") {
      const std::string_view v = argv[++i];
      if (v == "crlf")
        options.LineBreak = TCorpusBreak::CRLF;
      else if (v == "lf")
        options.LineBreak = TCorpusBreak::LF;
      else
        return Usage("unknown break style");
    } else if (arg == "--seed") {
      const std::string_view v = argv[++i];
      const auto res = std::from_chars(v.data(), v.data() + v.size(), options.Seed);
      if (res.ec != std::errc() || res.ptr != v.data() + v.size())
        return Usage("bad seed");
    } else if (arg == "-o" || arg == "--output") {
      output = argv[++i];
    } else {
      return Usage(("unknown argument " + std::string(arg)).c_str());
    }
  }
  return WriteAll(GenerateCorpus(options), output) ? 0 : 1;
}
