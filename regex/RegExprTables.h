// Records that the search keeps beside the program (private to regex/).
//
// Set nodes, the alternatives of BRANCH chains and simple repeats each get
// a small record, made when the program is compiled and filled in before a
// search (what a class matches can change between searches). They are
// found by node index through a hash table, so that what they cost follows
// the number of such nodes, never the size of the program or of a range.
#pragma once

#include <ZarvMemo/regex/RegExpr.h>

namespace zarv {

// A slot of fNodeSlots (node 0: free): the index of a set node's record in
// fSetBits, of a BRANCH node's in fAlts, of a repeat node's in fRepeats.
struct TRegExpr::TNodeSlot {
  int32_t node;
  int32_t index;
};
// A set's members: bits for the units below 256, and the sorted, merged
// runs of the others at fWideRuns[wideBegin, wideEnd).
struct TRegExpr::TSetBits {
  uint64_t low[4];
  int32_t wideBegin;
  int32_t wideEnd;
};
// An alternative of a BRANCH chain: the units that can begin a match
// through it (bits for those below 256; `wide`: any unit from 256 up
// may), all of them until the search tables are made; `next` is the
// record of the following alternative, -1 after the last.
struct TRegExpr::TAltRecord {
  uint64_t low[4];
  bool wide;
  int32_t node;
  int32_t next;
};
// A simple repeat (STAR, PLUS, BRACES and their lazy forms): the units the
// rest of the program can begin with after it, when known (`filter`;
// bits below 256, `wide` for any from 256 up); `possessive` when that
// rest, or the literal right after the repeat, cannot begin with a unit
// the repeated node matches. Made with the search tables.
struct TRegExpr::TRepeatRecord {
  uint64_t low[4];
  bool wide;
  bool filter;
  bool possessive;
  int32_t node;
};

inline int32_t TRegExpr::NodeSlot(int32_t node) const {
  const TNodeSlot* table = fNodeSlots.data();
  for (uint32_t h = (uint32_t(node) * 0x9E3779B1u) >> fNodeShift;; h = (h + 1) & fNodeMask) {
    if (table[h].node == node)
      return table[h].index;
    if (table[h].node == 0)
      return -1;
  }
}

// The first alternative record from `alt` on (-1: none) that a match can
// begin through at the unit u (0 at the end of the subject, which no filter
// holds); each record looked at costs a step.
inline int32_t TRegExpr::ViableAlt(int32_t alt, char16_t u) {
  const TAltRecord* alts = fAlts.data();
  int64_t looked = 0;
  for (; alt >= 0; alt = alts[alt].next) {
    ++looked;
    if (u < 256 ? (alts[alt].low[u >> 6] >> (u & 63)) & 1 : alts[alt].wide)
      break;
  }
  Charge(looked);
  return alt;
}

inline const TRegExpr::TRepeatRecord& TRegExpr::RepeatRecordOf(int32_t node) {
  if (node != fLastRepeatNode) {
    fLastRepeatNode = node;
    fLastRepeat = NodeSlot(node);
  }
  return fRepeats[size_t(fLastRepeat)];
}

} // namespace zarv
