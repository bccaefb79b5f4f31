// Working space of the extended highlighter's keyword pass.
//
// The pass runs once per paragraph; keeping its buffers between calls
// saves their allocations on every line of a large text. A highlighter
// lends its buffers to one pass at a time: a pass started from inside a
// handler (a nested pass) finds them taken and uses buffers of its own.
#pragma once

#include <ZarvMemo/highlighters/CustomExtHighlighter.h>
#include <ZarvMemo/support/highlight/RunMerge.h>
#include <ZarvMemo/support/store/ParRecords.h>

#include <cstdint>
#include <vector>

namespace zarv {

struct TExtKeywordScratch {
  using TOccurrence = TKeywordOccurrence;
  // A run accepted while settling a paragraph.
  struct TAcceptedRun {
    int32_t S, E;
    int32_t Parent; // the innermost accepted run around it, or -1
    int Depth;
    DynInfoRec Code;
    bool Alive;
  };
  std::vector<TOccurrence> Occurrences;
  std::vector<TAcceptedRun> Runs;
  std::vector<int32_t> Owner; // per character of the occurrences' span: innermost run, -1
  std::vector<TRunToApply> Apply;
  TDynInfoArray Merged;

  // After a giant paragraph the buffers are not kept at its size.
  void Trim() {
    constexpr size_t kKeep = size_t(1) << 16;
    if (Owner.capacity() > kKeep)
      std::vector<int32_t>().swap(Owner);
    if (Occurrences.capacity() > kKeep)
      std::vector<TOccurrence>().swap(Occurrences);
    if (Runs.capacity() > kKeep)
      std::vector<TAcceptedRun>().swap(Runs);
    if (Apply.capacity() > kKeep)
      std::vector<TRunToApply>().swap(Apply);
    if (Merged.capacity() > kKeep)
      TDynInfoArray().swap(Merged);
  }
};

} // namespace zarv
