// Writing range codes by hand, for highlighters whose ranges do not end at
// a stop key (Object Pascal character constants, the HTML states).
//
// The rules are those of the extended highlighter's own stop pass: a code
// written where one already stands replaces it; a range's end restores the
// code in force before the range; the navigators forget their code indexes
// after every write.
#pragma once

#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParRecords.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

namespace zarv::rangecodes {

// The code in force before the range whose run of level `level` is in force
// just before code index `codeIndex` of paragraph p: the nearest earlier
// code of a lower level, looking into earlier paragraphs when the range
// began there.
inline DynInfoRec CodeBeforeRange(TParagraphsList& L, int32_t p, int32_t codeIndex, int level) {
  for (int32_t q = p; q >= 0; --q) {
    const ParInfo& par = *L.Par(q);
    const TDynInfoArray& codes = GetDynArray(par);
    for (int32_t i = (q == p ? codeIndex : int32_t(codes.size())) - 1; i >= 0; --i)
      if (DynToLevel(codes[size_t(i)]) < level)
        return codes[size_t(i)];
    const DynInfoRec& start = *GetStartDynAttrib(par);
    if (DynToLevel(start) < level)
      return start;
  }
  return *DefaultDynInfo();
}

// Puts `code` at its offset: it replaces the codes already at that offset,
// or is inserted in order. Returns its index.
inline size_t PutCode(ParInfo& par, const DynInfoRec& code) {
  TDynInfoArray& w = GetDynArrayForWrite(par);
  const size_t at = FirstDynAtOrAfter(w, code.DynOffset);
  size_t end = at;
  while (end < w.size() && w[end].DynOffset == code.DynOffset)
    ++end;
  if (end > at) {
    w[at] = code;
    w.erase(w.begin() + ptrdiff_t(at + 1), w.begin() + ptrdiff_t(end));
  } else {
    w.insert(w.begin() + ptrdiff_t(at), code);
  }
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
  return at;
}

// Removes the codes at offsets [from, to).
inline void EraseCodes(ParInfo& par, int32_t from, int32_t to) {
  if (GetDynCount(par) == 0 || from >= to)
    return;
  TDynInfoArray& w = GetDynArrayForWrite(par);
  w.erase(w.begin() + ptrdiff_t(FirstDynAtOrAfter(w, from)), w.begin() + ptrdiff_t(FirstDynAtOrAfter(w, to)));
}

// After a write: the pass goes on at (p, off), right of the codes there.
inline void ContinueAt(TZarvNavigator& A, TZarvNavigator& C, int32_t p, int32_t off) {
  A.ForgetIndexes();
  C.ForgetIndexes();
  C.SetParPos(p, off);
  C.RightOfDyn();
}

} // namespace zarv::rangecodes
