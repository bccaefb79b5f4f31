// TRegExpr: search hints derived from the compiled program.
//
// The classic hints (a first unit, an anchor, a mandatory literal) come
// from a pattern of one top-level branch. The required unit comes from any
// pattern: a unit that every match must consume, found by walking the
// program's mandatory path (literals, groups, repeats of at least one,
// alternations whose branches all require the same unit). A search checks
// that it still occurs in the rest of the subject before trying a start,
// against its last occurrence, found once per subject, so that a pattern
// that cannot match fails at once instead of being tried at every position.
#include <ZarvMemo/regex/RegExpr.h>

namespace zarv {

using namespace regexprog;

// A unit that a part of the program requires (0: none), and whether it
// is compared ignoring case.
struct TRegExpr::TRequired {
  char16_t unit = 0;
  bool ci = false;
};

// The hints come from a pattern of one top-level branch: a leading literal
// gives the first unit of every match, a leading "^" anchors it, and when
// the branch starts with a simple repeat (where a search would waste most
// effort) its longest mandatory literal lets a search fail before trying.
void TRegExpr::SetSearchHints(int flags) {
  regstart = 0;
  reganch = 0;
  regmust = 0;
  regmlen = 0;
  fLiteral = fLiteralLength = 0;
  const char16_t* prog = programm.data();
  int32_t scan = 1;
  if (OpOf(prog, NextOf(prog, scan)) != END)
    return;
  scan = OperandOf(scan);
  if (OpOf(prog, scan) == EXACTLY && OpOf(prog, NextOf(prog, scan)) == END) {
    fLiteral = OperandOf(scan);
    while (prog[fLiteral + fLiteralLength] != 0)
      ++fLiteralLength;
  }
  if (OpOf(prog, scan) == EXACTLY)
    regstart = prog[OperandOf(scan)];
  else if (OpOf(prog, scan) == BOL)
    ++reganch;
  if (!(flags & SPSTART))
    return;
  for (; scan != 0; scan = NextOf(prog, scan)) {
    if (OpOf(prog, scan) != EXACTLY)
      continue;
    const int32_t lit = OperandOf(scan);
    int32_t len = 0;
    while (prog[lit + len] != 0)
      ++len;
    if (len >= regmlen) {
      regmust = lit;
      regmlen = len;
    }
  }
}

// The simple repeat that every attempt reaches first, before consuming
// anything and without a choice on the way: only anchors, group starts,
// comments and single alternatives may come before it.
void TRegExpr::FindLeadRepeat() {
  fLeadRepeat = 0;
  const char16_t* prog = programm.data();
  for (int32_t scan = 1; scan != 0;) {
    const char16_t op = prog[scan];
    const int32_t next = NextOf(prog, scan);
    if (op == STAR || op == PLUS || op == BRACES || op == STARNG || op == PLUSNG || op == BRACESNG) {
      fLeadRepeat = scan;
      return;
    }
    if (op == BRANCH && OpOf(prog, next) != BRANCH)
      scan = OperandOf(scan);
    else if (IsOpen(op) || op == COMMENT || op == NOTHING || op == BOL || op == BOLML || op == BOUND || op == NOTBOUND)
      scan = next;
    else
      return;
  }
}

// The last unit of the program's mandatory path that every match consumes.
void TRegExpr::FindRequiredUnit() {
  TRequired req;
  int budget = 10000;
  RequiredUnit(1, 0, 0, budget, req);
  fReqUnit = req.unit;
  fReqCI = req.ci;
}

// Walks the chain from `scan` up to `stop` (or the end, or a jump back)
// and leaves in `req` the last unit it must consume, if any. A walk that
// runs out of budget keeps what it found: every unit on the way was
// mandatory. False when it gave up.
bool TRegExpr::RequiredUnit(int32_t scan, int32_t stop, int depth, int& budget, TRequired& req) const {
  const char16_t* prog = programm.data();
  if (depth > 32)
    return false;
  for (;;) {
    if (scan == 0 || scan == stop)
      return true;
    if (--budget < 0)
      return false;
    const char16_t op = prog[scan];
    const int32_t next = NextOf(prog, scan);
    if (op == END || op == BACK || op == LOOP || op == LOOPNG)
      return true;
    if (op == LOOPENTRY) {
      // LOOPENTRY's next is its LOOP; a loop of at least one iteration
      // requires what its body requires.
      TRequired body;
      if (Read32(prog + OperandOf(next)) > 0 &&
          RequiredUnit(next - Read32(prog + OperandOf(next) + 4), next, depth + 1, budget, body) && body.unit != 0)
        req = body;
      scan = NextOf(prog, next);
    } else if (op == BRANCH && OpOf(prog, next) == BRANCH) {
      scan = RequiredOfAlternatives(scan, depth, budget, req);
    } else if (op == BRANCH) {
      scan = OperandOf(scan);
    } else {
      RequiredOfNode(scan, req);
      scan = next;
    }
  }
}

// A literal requires its last unit, and a simple repeat of at least one its
// literal's unit; other nodes require none.
void TRegExpr::RequiredOfNode(int32_t scan, TRequired& req) const {
  const char16_t* prog = programm.data();
  const char16_t op = prog[scan];
  const char16_t* opnd = prog + OperandOf(scan);
  if (op == EXACTLY || op == EXACTLYCI) {
    while (opnd[1] != 0)
      ++opnd;
    req = {*opnd, op == EXACTLYCI};
    return;
  }
  const bool braces = op == BRACES || op == BRACESNG;
  if (!(op == PLUS || op == PLUSNG || (braces && Read32(opnd) > 0)))
    return;
  const int32_t node = OperandOf(scan) + (braces ? BracesOperand : 0);
  if (prog[node] == EXACTLY || prog[node] == EXACTLYCI)
    req = {prog[OperandOf(node)], prog[node] == EXACTLYCI};
}

// A chain of alternatives from `first`: a unit that each of them requires
// goes to `req`. Returns where they all end, the node after the chain.
int32_t TRegExpr::RequiredOfAlternatives(int32_t first, int depth, int& budget, TRequired& req) const {
  const char16_t* prog = programm.data();
  int32_t join = first;
  while (OpOf(prog, NextOf(prog, join)) == BRANCH)
    join = NextOf(prog, join);
  join = NextOf(prog, join);
  TRequired common;
  for (int32_t alt = first; alt != join; alt = NextOf(prog, alt)) {
    TRequired one;
    if (!RequiredUnit(OperandOf(alt), join, depth + 1, budget, one) || one.unit == 0 ||
        (alt != first && (one.unit != common.unit || one.ci != common.ci)))
      return join;
    common = one;
  }
  req = common;
  return join;
}

// Finds the last occurrence of the required unit (in either case form) in
// the subject, once per subject: the unit occurs at or after a start
// exactly when the start is not past it. A scan from the end stops at once
// for a common unit, and passes over the subject once for a rare one.
bool TRegExpr::RequiredUnitAheadSlow(const char16_t* s) {
  if (!fReqLastKnown) {
    fReqLastKnown = true;
    fReqLast = nullptr;
    for (const char16_t* p = fInputEnd; p > fInputStart;) {
      --p;
      if (*p == fReqUnits[0] || *p == fReqUnits[1]) {
        fReqLast = p;
        break;
      }
    }
  }
  return fReqLast != nullptr && s <= fReqLast;
}

} // namespace zarv
