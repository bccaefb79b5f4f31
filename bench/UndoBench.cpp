// zarv_bench_undo: the cost of the undo list at its limits.
//
//   zarv_bench_undo [--quick] [levels|space|paste]
//
// A name runs that part alone (e.g. under a profiler). In a control without
// a window, so that only editing and undo are measured (the block paste in
// a shown one), prints:
// - levels: separate one-character edits (each a record, a step, of its
//   own) under the default level limit of 65 536, in milliseconds per edit
//   over the first 70 000 edits and over the next 70 000, which each trim
//   the oldest record (--quick: 14 000 and 14 000 under a limit of 6 554);
//   trimming costs the record trimmed, so the two figures stay alike;
// - space: reading back the undo stream of 60 000 records scattered over a
//   5-million-character text (1 M with --quick), each checked against the
//   text the others leave; then deleting the whole text, whose record is
//   too large for the space limit (the default; a fifth of it with
//   --quick), so that all 60 000 records go;
// - block paste: a column block of 70 000 lines "ab" (7 000 with --quick)
//   pasted into "start", its undo and its redo, one step each.
// Targets: the block paste and its undo within 1 s each; the second half of
// the edits no dearer per edit than the first.
#include "bench/BenchReport.h"
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QBuffer>
#include <QString>

#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace zarv;
using namespace zarv::bench;

void Check(bool ok, const std::string& what) {
  if (!ok)
    Fail(what);
}

std::unique_ptr<TZarvMemo> Control() {
  auto m = std::make_unique<TZarvMemo>();
  m->setUpdateMode(umImmediate);
  m->resize(800, 600);
  return m;
}

// Separate edits: the caret is set before each, so no typing run merges;
// each types at the end, so that the edit itself costs the same every time.
void Levels(bool quick) {
  const int32_t half = quick ? 14'000 : 70'000;
  auto m = Control();
  if (quick)
    m->setUndoMaxLevel(6'554);
  m->SetTextBuf(QStringLiteral("x"));
  m->ClearUndo();
  const auto edits = [&] {
    const auto t0 = Clock::now();
    for (int32_t i = 0; i < half; ++i) {
      m->setSelStart(m->getCharCount());
      m->setSelText(QStringLiteral("a"));
    }
    return Ms(Clock::now() - t0) / half;
  };
  const double first = edits(), second = edits();
  const std::string k = std::to_string(half / 1000) + "k";
  Report("undo_levels_first_" + k + "_edits", first, "ms/edit", 4);
  Report("undo_levels_next_" + k + "_edits_trimming", second, "ms/edit", 4);
  Check(m->getUndoCount() == m->getUndoMaxLevel() + 1, "the level limit holds");
}

void Space(bool quick) {
  const int32_t chars = quick ? 1'000'000 : 5'000'000;
  auto m = Control();
  QString text;
  for (int32_t i = 0; i < chars / 50; ++i)
    text += QStringLiteral("line %1 with words and more words, up to 50 units\r\n").arg(i % 10, 1);
  m->SetTextBuf(text.left(chars));
  m->ClearUndo();
  m->setUndoMaxSpace(0);
  for (int32_t i = 0; i < 60'000; ++i) {
    m->setSelStart(int32_t((uint64_t(i) * 2654435761u) % uint64_t(m->getCharCount())));
    m->setSelText(QStringLiteral("z"));
  }
  // The stream of these records read back: each is checked against the
  // text the records after it leave.
  QBuffer saved;
  saved.open(QIODevice::ReadWrite);
  m->SaveUndo(saved);
  saved.seek(0);
  const auto l0 = Clock::now();
  m->LoadUndo(saved);
  const auto l1 = Clock::now();
  Report("undo_load_stream_60k_scattered_records", Ms(l1 - l0), "ms", 1);
  Check(m->getUndoCount() == 60'000, "the stream is taken back");
  m->setUndoMaxSpace(quick ? 838'861 : 4'194'304); // the default, a fifth of it for --quick
  Check(m->getUndoCount() == 60'000, "60 000 records before the deletion");
  const int32_t n = m->getCharCount();
  const auto t0 = Clock::now();
  m->SelectAll();
  m->ClearSelection();
  const auto t1 = Clock::now();
  Report("undo_space_delete_" + std::to_string(n / 1000) + "k_chars_60k_records", Ms(t1 - t0), "ms", 1);
  Check(m->getUndoCount() == 0 && m->getCharCount() == 0, "the deletion is too large to record");
}

void BlockPaste(bool quick) {
  const int32_t lines = quick ? 7'000 : 70'000;
  QString block;
  for (int32_t i = 0; i < lines; ++i)
    block += QStringLiteral("ab\r\n");
  auto m = Control();
  m->setOptions(m->getOptions() | zvoBlockSelection);
  m->show(); // laid out and painted as a user would see it
  m->SetTextBuf(QStringLiteral("start"));
  m->ClearUndo();
  m->setSelStart(2);
  const auto t0 = Clock::now();
  m->InsertBlock(block);
  const auto t1 = Clock::now();
  const QString pasted = m->GetTextContent();
  m->Undo();
  const auto t2 = Clock::now();
  const bool undone = m->GetTextContent() == QStringLiteral("start");
  m->Redo();
  const auto t3 = Clock::now();
  const std::string k = std::to_string(lines / 1000) + "k";
  Report("undo_block_paste_" + k + "_lines", Ms(t1 - t0), "ms", 1);
  Report("undo_block_paste_" + k + "_lines_undo", Ms(t2 - t1), "ms", 1);
  Report("undo_block_paste_" + k + "_lines_redo", Ms(t3 - t2), "ms", 1);
  Check(m->GetParCount() == lines + 1, "one paragraph per line");
  Check(undone, "one undo gives back the text before the paste");
  Check(m->GetTextContent() == pasted, "one redo gives back the paste");
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  bool quick = false;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0)
      quick = true;
    else
      only = argv[i];
  }
  if (only.empty() || only == "levels")
    Levels(quick);
  if (only.empty() || only == "space")
    Space(quick);
  if (only.empty() || only == "paste")
    BlockPaste(quick);
  return gFailed ? 1 : 0;
}
