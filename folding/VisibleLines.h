// The paragraph and line within it that show visible display line N.
//
// Found by a binary search over the paragraphs' start lines (which never
// decrease; a hidden paragraph carries the next visible paragraph's number),
// so it costs O(log paragraphs) wherever the line lies and however many
// paragraphs a fold hides: painting the gutter or hit-testing the margin
// never walks the text.
#pragma once

#include <ZarvMemo/support/store/ParagraphsList.h>

#include <algorithm>
#include <cstdint>

namespace zarv {

struct TVisibleLine {
  int32_t Par = -1;    // -1 when N lies outside the visible lines
  int32_t ParLine = 0; // display line inside the paragraph
};

inline TVisibleLine VisibleLineAt(const TParagraphsList& L, int32_t N) {
  const int32_t count = L.Count();
  if (N < 0 || N >= L.fVisibleLineCount || count == 0)
    return {};
  // The last paragraph whose start line is <= N.
  int32_t lo = 0, hi = count - 1;
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo + 1) / 2;
    if (L.StartLineOf(mid) <= N)
      lo = mid;
    else
      hi = mid - 1;
  }
  // Only hidden paragraphs at the very end can be found here; the visible
  // one before them shows the line.
  while (lo > 0 && (L.RawPar(lo)->ParState & zvpHidden))
    --lo;
  const int32_t shown = std::max(1, L.VisibleLinesOf(lo));
  return {lo, std::clamp(N - L.StartLineOf(lo), 0, shown - 1)};
}

} // namespace zarv
