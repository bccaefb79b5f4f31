// Replace All over large texts: the time to replace every whole-word
// occurrence of a word by another, and proof that the result is one undo
// step (one Undo gives back the original text, byte for byte) and equals a
// plain string replacement.
//
// Usage: zarv_bench_replace [--quick]  (--quick: 10 MB instead of 100 MB)
#include "bench/BenchReport.h"
#include "bench/CorpusGen.h"

#include <ZarvMemo/actions/TextSearch.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QBuffer>
#include <QRegularExpression>

#include <cstring>

namespace {

using namespace zarv;
using namespace zarv::bench;

void ReplaceOne(int64_t bytes, const QString& word, const QString& with) {
  const std::string corpus = CppCorpus(bytes);
  TZarvMemo memo;
  memo.setUpdateMode(umImmediate);
  memo.setWordWrap(false);
  memo.setUndoMaxSpace(INT32_MAX);
  memo.resize(1000, 800);
  QBuffer device;
  device.setData(QByteArray::fromRawData(corpus.data(), static_cast<qsizetype>(corpus.size())));
  device.open(QIODevice::ReadOnly);
  memo.LoadFromStream(device, TzvsEncoding::Ansi);
  memo.ClearUndo();
  const QString before = memo.GetTextContent();
  const std::string label = std::to_string(bytes / MB) + "MB";

  const TzvSearchQuery query{word, true, true, true};
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  const int32_t n = TzvTextSearch::ReplaceAll(memo, query, with, 0, memo.getCharCount());
  const auto t1 = Clock::now();
  const double cpu1 = CpuSeconds();
  Report("replace_all_whole_word_" + label + "_matches", n, "count", 0);
  Report("replace_all_whole_word_" + label, Ms(t1 - t0), "ms");
  Report("replace_all_whole_word_" + label + "_cpu", (cpu1 - cpu0) * 1000.0, "ms");
  Report("replace_all_whole_word_" + label + "_undo_records", memo.getUndoCount(), "records", 0);

  // The same replacement by a regular expression over the plain string:
  // word boundaries of this corpus's identifiers are the separators'.
  QString expected = before;
  expected.replace(QRegularExpression(QStringLiteral("(?<![A-Za-z0-9_])%1(?![A-Za-z0-9_])").arg(word)), with);
  if (memo.GetTextContent() != expected)
    Fail("the replaced text differs from a plain replacement");
  if (n == 0)
    Fail("the word does not occur");

  const auto u0 = Clock::now();
  memo.Undo();
  const auto u1 = Clock::now();
  Report("replace_all_undo_" + label, Ms(u1 - u0), "ms");
  if (memo.CanUndo())
    Fail("Replace All left more than one undo step");
  if (memo.GetTextContent() != before)
    Fail("one Undo did not restore the text");
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  Note("Replace All of a whole word (match case) in C++ text, one update bracket");
  ReplaceOne(quick ? 10 * MB : 100 * MB, QStringLiteral("return"), QStringLiteral("yield"));
  return gFailed ? 1 : 0;
}
