// The one-pass merge of laminar runs into a paragraph's codes.
#include <ZarvMemo/support/highlight/RunMerge.h>

#include <QtGlobal>
#include <algorithm>
#include <climits>

namespace zarv {

void MergeRuns(TDynInfoArray& codes, std::vector<TRunToApply>& runs, TDynInfoArray& scratch) {
  if (runs.empty())
    return;
  std::sort(runs.begin(), runs.end(), [](const TRunToApply& a, const TRunToApply& b) {
    return a.Start != b.Start ? a.Start < b.Start : a.Depth < b.Depth;
  });
  TDynInfoArray& out = scratch;
  out.clear();
  out.reserve(codes.size() + 2 * runs.size());
  std::vector<size_t> open; // enclosing runs, innermost last: its Stop is the smallest
  size_t k = 0, r = 0;
  const size_t n = codes.size();
  while (k < n || r < runs.size() || !open.empty()) {
    int32_t x = INT32_MAX;
    if (k < n)
      x = std::min(x, codes[k].DynOffset);
    if (r < runs.size())
      x = std::min(x, runs[r].Start);
    if (!open.empty())
      x = std::min(x, runs[open.back()].Stop);
    while (!open.empty() && runs[open.back()].Stop == x) {
      const TRunToApply& run = runs[open.back()];
      if (run.RestoreAtStop) {
        out.push_back(run.Restore);
        out.back().DynOffset = x;
      }
      open.pop_back();
    }
    // The paragraph's codes at x stay unless a run covers x on both sides.
    for (; k < n && codes[k].DynOffset == x; ++k)
      if (open.empty())
        out.push_back(codes[k]);
    for (; r < runs.size() && runs[r].Start == x; ++r) {
      Q_ASSERT_X(open.empty() || runs[r].Stop <= runs[open.back()].Stop, "MergeRuns", "runs overlap");
      out.push_back(runs[r].Code);
      out.back().DynOffset = x;
      open.push_back(r);
    }
  }
  codes.swap(out);
}

namespace {
// The same run apart from position and key lengths.
bool sameRun(const DynInfoRec& a, const DynInfoRec& b) {
  return a.DynStyle == b.DynStyle && a.Level == b.Level && a.CollpsLevel == b.CollpsLevel &&
         a.CollpsState == b.CollpsState && a.Backgnd == b.Backgnd && a.Foregnd == b.Foregnd && a.Context == b.Context &&
         a.Cursor == b.Cursor && std::equal(a.KeyIndex, a.KeyIndex + 16, b.KeyIndex);
}
} // namespace

bool RemoveRuns(ParInfo& par, int32_t from, int32_t to,
                const std::function<bool(const DynInfoRec& code, int32_t& length)>& isRun) {
  if (!(par.ParState & zvpHasExtra))
    return false;
  TDynInfoArray& codes = par.ParExtra->DynCodes;
  bool removed = false;
  for (size_t i = 0; i < codes.size();) {
    int32_t len = 0;
    if (!isRun(codes[i], len) || codes[i].DynOffset + len < from || codes[i].DynOffset >= to) {
      ++i;
      continue;
    }
    const DynInfoRec before = i > 0 ? codes[i - 1] : *GetStartDynAttrib(par);
    const int32_t end = codes[i].DynOffset + len;
    codes.erase(codes.begin() + ptrdiff_t(i));
    removed = true;
    if (i < codes.size() && codes[i].DynOffset == end &&
        (sameRun(codes[i], before) || (!(codes[i].DynStyle & dsHasAttrib) && !(before.DynStyle & dsHasAttrib))))
      codes.erase(codes.begin() + ptrdiff_t(i));
  }
  if (removed)
    par.ParState &= static_cast<TParStates>(~zvpFormatted);
  return removed;
}

} // namespace zarv
