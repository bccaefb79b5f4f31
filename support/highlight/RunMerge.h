// Laying runs over a paragraph's codes in one pass.
//
// Highlighters find their runs (keywords, numbers) first and then write
// them all at once: inserting each run into the middle of a paragraph's
// code array would move the rest of the array every time, which costs
// O(runs x codes) on a long line. A run is the code that starts at Start
// and the code that restores what was in force before it at Stop.
//
// The runs form a laminar family: any two are disjoint or one lies within
// the other (Depth counts the runs enclosing one). Codes of the paragraph
// strictly inside a run go; at a position the order is: restores of runs
// ending there (innermost first), the paragraph's codes there, then the
// codes of runs starting there (outermost first).
#pragma once

#include <ZarvMemo/support/store/ParRecords.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace zarv {

struct TRunToApply {
  int32_t Start = 0;
  int32_t Stop = 0; // > Start
  int Depth = 0;    // enclosing runs
  DynInfoRec Code;
  DynInfoRec Restore;
  bool RestoreAtStop = true; // false at the end of the text
};

// Merges `runs` (any order; they are sorted here) into `codes`. `scratch`
// is working space kept by the caller between calls.
void MergeRuns(TDynInfoArray& codes, std::vector<TRunToApply>& runs, TDynInfoArray& scratch);

// Removes from a paragraph the runs `isRun` recognises (it gives their
// length) that start in or touch [from, to), each with the code after it
// that restored what was in force before it, so that a run found no more
// loses its style. Returns whether any code went.
bool RemoveRuns(ParInfo& par, int32_t from, int32_t to,
                const std::function<bool(const DynInfoRec& code, int32_t& length)>& isRun);

} // namespace zarv
