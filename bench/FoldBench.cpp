// zarv_bench_fold: cost of folding.
//
//   zarv_bench_fold [--quick]
//
// Prints `name: value unit` lines for collapsing and expanding one paragraph
// block of 100 000 paragraphs in the middle of a 2-million-paragraph text
// (--quick: 10 000 in 200 000), averaged over repetitions, and for making
// and removing that block.
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QBuffer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

using namespace zarv;
using Clock = std::chrono::steady_clock;

namespace {
double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
} // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const int32_t pars = quick ? 200'000 : 2'000'000;
  const int32_t blockPars = quick ? 10'000 : 100'000;
  std::string text;
  text.reserve(size_t(pars) * 12);
  for (int32_t i = 0; i < pars; ++i) {
    text += "line ";
    text += std::to_string(i % 100000);
    if (i + 1 < pars)
      text += "\r\n";
  }
  QByteArray bytes(text.data(), qsizetype(text.size()));
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadOnly);
  TParagraphsList store;
  TzvsLineBreak lb = zsbCRLF;
  store.LoadFromStream(buf, true, u' ', false, lb);
  const int32_t first = pars / 2, last = first + blockPars - 1;

  auto t0 = Clock::now();
  store.MakeCollapsibleBlock(first, last);
  std::printf("make_block_%dpar: %.3f ms\n", blockPars, Ms(Clock::now() - t0));

  const int reps = 20;
  double collapse = 0, expand = 0;
  for (int r = 0; r < reps; ++r) {
    t0 = Clock::now();
    store.CollapseExpandBlock(first, 1, true);
    collapse += Ms(Clock::now() - t0);
    t0 = Clock::now();
    store.CollapseExpandBlock(first, 1, false);
    expand += Ms(Clock::now() - t0);
  }
  std::printf("collapse_block_%dpar_in_%dpar: %.3f ms\n", blockPars, pars, collapse / reps);
  std::printf("expand_block_%dpar_in_%dpar: %.3f ms\n", blockPars, pars, expand / reps);
  t0 = Clock::now();
  store.RemoveCollapsibleBlock(first);
  std::printf("remove_block_%dpar: %.3f ms\n", blockPars, Ms(Clock::now() - t0));
  const QString e = store.CheckIntegrity();
  if (!e.isEmpty()) {
    std::printf("# FAILED: %s\n", qPrintable(e));
    return 1;
  }
  std::printf("# target: collapse and expand under 20 ms each: %s\n",
              (collapse / reps < 20 && expand / reps < 20) ? "met" : "MISSED");
  return 0;
}
