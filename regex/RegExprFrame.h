// A saved backtracking state of the interpreter (private to regex/).
//
// The interpreter never recurses: every choice it makes and every piece of
// match state it overwrites pushes one frame, and a failure pops frames,
// undoing their changes, until one of them offers another way forward.
// Frames are small and plain so that a long subject costs memory, not stack.
#pragma once

#include <ZarvMemo/regex/RegExpr.h>

namespace zarv {

struct TRegExpr::TBacktrackFrame {
  enum Kind : uint8_t {
    RestoreStart, // startp[group] = pos
    RestoreEnd,   // endp[group] = pos
    Branch,       // a: the record of the next alternative to try, from pos
    Repeat,       // node: a simple repeat at pos with count a, bound b, unit step
    LoopEntry,    // LoopStackIdx = a, LoopStack[a + 1] = b
    LoopCount,    // LoopStack[a] = b
    LoopLeave,    // LoopStack[a] = b, then leave the loop at node from pos
    LoopIndex,    // LoopStackIdx = a
    LoopMore,     // LoopStackIdx = a; a lazy loop at node with count b iterates from pos
  };
  // Repeat: which counts are worth a try, by the unit after them.
  enum Follow : uint8_t {
    FollowAny,    // every count
    FollowUnit,   // the unit is `lookahead`, the first of the literal after
    FollowFilter, // the unit is in the follow filter of node's record
  };
  Kind kind;
  bool greedy = false; // Repeat
  Follow follow = FollowAny;
  char16_t lookahead = 0;
  int32_t node = 0;
  int32_t a = 0;
  int32_t b = 0;
  int32_t step = 0; // Repeat: units per repetition
  const char16_t* pos = nullptr;
};

// Below the backtracking limit (fPushRoom frames can be pushed without a
// check) a push is a plain append; PushPastLimit checks the limit.
inline void TRegExpr::Push(const TBacktrackFrame& f) {
  if (fBacktrack.size() < fPushRoom)
    fBacktrack.push_back(f);
  else
    PushPastLimit(f);
}

} // namespace zarv
