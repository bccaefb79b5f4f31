// TRegExpr: the backtracking interpreter of the node program.
//
// MatchPrim walks the node chain from a node, testing the subject at
// reginput. Where the program offers a choice (alternatives, repeat counts,
// another loop iteration) it takes the first way and pushes a frame that
// remembers the others; every change of match state that a later failure
// must undo (group bounds, loop counters, the loop index) pushes a frame
// with the old value. A failing test pops frames, undoing their changes,
// until a frame offers another way forward; an empty stack means no match
// from this start. The order in which ways are tried is the one a recursive
// backtracker would follow, so the first success is the same match.
//
// The stack lives in the object (BacktrackLimit frames at most) and all the
// work of a search is paid from its budget of steps (StepLimit): every node
// visited, every alternative passed over, and the subject units examined by
// repeats, their back-off and back-references. So a long subject cannot
// overflow the machine stack, and a pattern that backtracks exponentially or
// scans quadratically ends with an error instead of hanging.
//
// A loop whose body can match empty ends after an iteration that matched
// nothing (its mandatory iterations apart), as Perl and PCRE do: another
// iteration would start where that one did and go round for ever.
#include <ZarvMemo/regex/RegExpr.h>
#include <ZarvMemo/regex/RegExprFrame.h>
#include <ZarvMemo/regex/RegExprTables.h>

#include <algorithm>
#include <limits>

namespace zarv {

using namespace regexprog;

char16_t TRegExpr::Invert(char16_t u) const {
  if (fInvertCaseIsDefault)
    return InvertCaseFunction(u);
  return fInvertCase(u);
}

bool TRegExpr::SameUnitCI(char16_t pattern, char16_t subject) const {
  return pattern == subject || Invert(pattern) == subject;
}

namespace {

bool InTinySet(const char16_t* set, char16_t u) { return set[0] == u || set[1] == u || set[2] == u; }

} // namespace

bool TRegExpr::InSetCI(int32_t scan, char16_t u) const {
  if (InSetNode(scan, u))
    return true;
  const char16_t inv = Invert(u);
  return inv != u && InSetNode(scan, inv);
}

// A group inside its own repetition has its new start before the end of
// its previous iteration; until it closes again it names no text.
bool TRegExpr::GroupIsSet(int n) const { return startp[n] != nullptr && endp[n] != nullptr && startp[n] <= endp[n]; }

void TRegExpr::PushPastLimit(const TBacktrackFrame& f) {
  if (fBacktrackLimit > 0 && fBacktrack.size() >= size_t(fBacktrackLimit))
    Raise(reeBacktrackLimitExceeded);
  fBacktrack.push_back(f);
}

// "^" with modifier m: at the subject start or after a line separator, but
// never between the two units of the paired separator.
bool TRegExpr::AtLineStart() const {
  if (reginput == fInputStart)
    return true;
  const char16_t p = reginput[-1];
  if (fLinePairedSeparatorAssigned) {
    if (p == fLinePairedSeparatorTail && reginput - 1 > fInputStart && reginput[-2] == fLinePairedSeparatorHead)
      return true;
    if (p == fLinePairedSeparatorHead && reginput < fInputEnd && *reginput == fLinePairedSeparatorTail)
      return false;
  }
  return IsLineSeparator(p);
}

// "$" with modifier m: at the subject end or before a line separator, but
// never between the two units of the paired separator.
bool TRegExpr::AtLineEnd() const {
  if (reginput == fInputEnd)
    return true;
  const char16_t c = *reginput;
  if (fLinePairedSeparatorAssigned) {
    if (c == fLinePairedSeparatorHead && reginput + 1 < fInputEnd && reginput[1] == fLinePairedSeparatorTail)
      return true;
    if (c == fLinePairedSeparatorTail && reginput > fInputStart && reginput[-1] == fLinePairedSeparatorHead)
      return false;
  }
  return IsLineSeparator(c);
}

// The one-unit tests shared by the interpreter and the repeat counter:
// whether the node `op` at `scan` matches the subject unit u.
bool TRegExpr::MatchSimple(char16_t op, int32_t scan, char16_t u) {
  const char16_t* opnd = programm.data() + OperandOf(scan);
  switch (op) {
  case ANY:
    return true;
  case EXACTLY:
    return u == opnd[0];
  case EXACTLYCI:
    return SameUnitCI(opnd[0], u);
  case ANYOF:
    return InSetNode(scan, u);
  case ANYBUT:
    return !InSetNode(scan, u);
  case ANYOFCI:
    return InSetCI(scan, u);
  case ANYBUTCI:
    return !InSetCI(scan, u);
  case ANYOFTINYSET:
    return InTinySet(opnd, u);
  case ANYBUTTINYSET:
    return !InTinySet(opnd, u);
  case ANYDIGIT:
    return u >= u'0' && u <= u'9';
  case NOTDIGIT:
    return !(u >= u'0' && u <= u'9');
  case ANYLETTER:
    return fWordChars.Contains(u);
  case NOTLETTER:
    return !fWordChars.Contains(u);
  case ANYSPACE:
    return fSpaceChars.Contains(u);
  case NOTSPACE:
    return !fSpaceChars.Contains(u);
  default:
    Raise(1000);
  }
}

// Whole repetitions of a back-reference's text, as RegRepeat.
int32_t TRegExpr::RepeatBackReference(int32_t p, int32_t AMax) {
  const char16_t op = programm[size_t(p)];
  const int n = programm[size_t(p) + NodeSize];
  if (!GroupIsSet(n))
    return 0;
  const int64_t len = endp[n] - startp[n];
  int32_t count = 0;
  while (count < AMax && fInputEnd - reginput >= len) {
    ChargeUnits(len + 1);
    for (int64_t i = 0; i < len; ++i)
      if (op == BSUBEXP ? reginput[i] != startp[n][i] : !SameUnitCI(startp[n][i], reginput[i]))
        return count;
    reginput += len;
    ++count;
  }
  return count;
}

// How many times the simple node at p matches in a row at reginput, at most
// AMax; reginput moves past them. A run that ended at a unit the node
// refuses (or at the end) is remembered, so that a count from inside it
// costs nothing.
int32_t TRegExpr::RegRepeat(int32_t p, int32_t AMax) {
  const char16_t op = programm[size_t(p)];
  if (op == BSUBEXP || op == BSUBEXPCI)
    return RepeatBackReference(p, AMax);
  const int64_t left = fInputEnd - reginput;
  const int32_t limit = int32_t(left < AMax ? left : AMax);
  if (op == ANY) {
    reginput += limit;
    return limit;
  }
  if (p == fRunNode && reginput >= fRunFrom && reginput <= fRunTo) {
    // Inside the run this node last counted: it ends where that one did.
    const int32_t count = int32_t(std::min<int64_t>(fRunTo - reginput, limit));
    reginput += count;
    Charge(1);
    return count;
  }
  // Tight loops for the common nodes; the rest go through MatchSimple.
  const char16_t* const start = reginput;
  const char16_t* const stop = reginput + limit;
  const char16_t* q = start;
  switch (op) {
  case EXACTLY: { // the common "x*"
    const char16_t c = programm[size_t(p) + NodeSize];
    while (q < stop && *q == c)
      ++q;
    break;
  }
  case ANYOF: {
    const TSetBits& bits = fSetBits[size_t(NodeSlot(p))];
    while (q < stop && (*q < 256 ? (bits.low[*q >> 6] >> (*q & 63)) & 1 : InSetNode(p, *q)))
      ++q;
    break;
  }
  case ANYLETTER:
    while (q < stop && fWordChars.Contains(*q))
      ++q;
    break;
  case ANYDIGIT:
    while (q < stop && *q >= u'0' && *q <= u'9')
      ++q;
    break;
  case ANYSPACE:
    while (q < stop && fSpaceChars.Contains(*q))
      ++q;
    break;
  default:
    while (q < stop && MatchSimple(op, p, *q))
      ++q;
    break;
  }
  reginput = q;
  ChargeUnits(q - start);
  if (q < stop || stop == fInputEnd) { // ended by a unit the node refuses, or by the end
    fRunNode = p;
    fRunFrom = start;
    fRunTo = q;
  }
  return int32_t(q - start);
}

// Whether the unit at `at` may follow a repeat: the literal's first unit,
// or a unit of the follow filter of the repeat's record.
bool TRegExpr::FollowOk(const TBacktrackFrame& f, const TRepeatRecord* r, const char16_t* at) const {
  if (at >= fInputEnd)
    return false;
  const char16_t u = *at;
  if (f.follow == TBacktrackFrame::FollowUnit)
    return u == f.lookahead;
  return u < 256 ? (r->low[u >> 6] >> (u & 63)) & 1 : r->wide;
}

// The next repeat count to try, moving away from the preferred end: down
// for greedy, up for lazy; counts after which the rest of the program
// cannot begin (the following literal's first unit, or a unit of the
// follow filter) are skipped, eight to a step.
bool TRegExpr::NextRepeatCount(TBacktrackFrame& f) {
  if (f.follow == TBacktrackFrame::FollowAny)
    return f.greedy ? --f.a >= f.b : ++f.a <= f.b;
  const TRepeatRecord* r = f.follow == TBacktrackFrame::FollowFilter ? &RepeatRecordOf(f.node) : nullptr;
  if (f.step != 1) {
    for (;;) {
      if (f.greedy ? --f.a < f.b : ++f.a > f.b)
        return false;
      if (FollowOk(f, r, f.pos + int64_t(f.a) * f.step))
        return true;
      Charge(1);
    }
  }
  // One unit per repetition: a scan of the subject.
  const char16_t* base = f.pos;
  const int64_t readable = fInputEnd - base; // counts below this have a unit after them
  int64_t i;
  if (f.greedy) {
    const int64_t from = std::min<int64_t>(int64_t(f.a) - 1, readable - 1);
    if (r == nullptr) {
      for (i = from; i >= f.b && base[i] != f.lookahead; --i) {
      }
    } else {
      for (i = from; i >= f.b && !FollowOk(f, r, base + i); --i) {
      }
    }
    ChargeUnits(from - i + 1);
    f.a = int32_t(std::max<int64_t>(i, int64_t(f.b) - 1));
    return i >= f.b;
  }
  const int64_t to = std::min<int64_t>(f.b, readable - 1);
  if (r == nullptr) {
    for (i = int64_t(f.a) + 1; i <= to && base[i] != f.lookahead; ++i) {
    }
  } else {
    for (i = int64_t(f.a) + 1; i <= to && !FollowOk(f, r, base + i); ++i) {
    }
  }
  ChargeUnits(i - f.a);
  f.a = int32_t(std::min<int64_t>(i, int64_t(f.b) + 1));
  return i <= to;
}

// STAR, PLUS, BRACES and their lazy forms over the simple node after them:
// count once, then try the rest of the program after each count.
bool TRegExpr::StartRepeat(int32_t& scan) {
  const char16_t* prog = programm.data();
  const char16_t op = prog[scan];
  int32_t min = 0, max = std::numeric_limits<int32_t>::max();
  int32_t opnd = OperandOf(scan);
  if (op == PLUS || op == PLUSNG) {
    min = 1;
  } else if (op == BRACES || op == BRACESNG) {
    min = Read32(prog + opnd);
    max = Read32(prog + opnd + 2);
    opnd += BracesOperand;
  }
  TBacktrackFrame f{};
  f.kind = TBacktrackFrame::Repeat;
  f.greedy = op == STAR || op == PLUS || op == BRACES;
  f.node = scan;
  f.pos = reginput;
  f.step = 1;
  const int32_t next = NextOf(prog, scan);
  const TRepeatRecord& record = RepeatRecordOf(scan);
  if (next != 0 && prog[next] == EXACTLY) {
    f.follow = TBacktrackFrame::FollowUnit;
    f.lookahead = prog[OperandOf(next)];
  } else if (record.filter) {
    f.follow = TBacktrackFrame::FollowFilter;
  }
  int32_t count = 0;
  const char16_t rop = prog[opnd];
  const int group = prog[OperandOf(opnd)];
  const bool backref = rop == BSUBEXP || rop == BSUBEXPCI;
  if (backref && GroupIsSet(group) && startp[group] == endp[group]) {
    // An empty group repeats without moving: every count ends at the same
    // place, so only the smallest one is worth a try.
    f.step = 0;
    count = min;
  } else {
    if (backref)
      f.step = GroupIsSet(group) ? int32_t(endp[group] - startp[group]) : 1;
    count = RegRepeat(opnd, max);
  }
  if (count < min)
    return LeadRepeatFailed(scan, opnd, count, backref);
  if (record.possessive && count > min) {
    // What follows cannot begin with a repetition of the node, so it cannot
    // begin at any of the units the count passed over: only the whole count
    // is worth a try.
    min = count;
  }
  if (f.greedy) {
    f.a = f.step == 0 ? min + 1 : count + 1;
    f.b = min;
  } else {
    f.a = min - 1;
    f.b = f.step == 0 ? min : count;
  }
  if (!NextRepeatCount(f))
    return LeadRepeatFailed(scan, opnd, count, backref);
  reginput = f.pos + int64_t(f.a) * f.step;
  scan = next;
  if (f.a != f.b)
    Push(f);
  return true;
}

// A simple repeat found no count worth a try. When it is the attempt's
// first node (fLeadRepeat: only zero-width, choiceless nodes before it),
// met at the attempt's start, and its count ran to the end of a run of
// matching units, a start further
// inside the run fails the same way: the repeat would end where this one
// did, with fewer counts to try, each followed by the same unit. The
// search may pass over those starts (fSkipThrough: the last of them).
bool TRegExpr::LeadRepeatFailed(int32_t scan, int32_t opnd, int32_t count, bool backref) {
  const char16_t* from = reginput - count; // RegRepeat moved past the count
  if (scan == fLeadRepeat && from == fAttemptStart && !backref && fRunNode == opnd && fRunFrom <= from &&
      fRunTo == from + count)
    fSkipThrough = fRunTo;
  return false;
}

// LOOP and LOOPNG: iterate the body while below min, then prefer another
// iteration (greedy) or leaving (lazy) and remember the other way.
bool TRegExpr::StartLoop(int32_t& scan, bool nonGreedy) {
  if (LoopStackIdx <= 0)
    Raise(1015);
  const char16_t* prog = programm.data();
  const int32_t idx = LoopStackIdx;
  const int32_t k = LoopStack[idx];
  const int32_t min = Read32(prog + scan + NodeSize);
  const int32_t max = Read32(prog + scan + NodeSize + 2);
  const int32_t body = scan - Read32(prog + scan + NodeSize + 4);
  TBacktrackFrame f{};
  f.node = scan;
  f.a = idx;
  f.b = k;
  f.pos = reginput;
  if (k >= min && k > 0 && EmptyIteration(body)) {
    // The iteration just made matched nothing: the loop ends here.
    f.kind = TBacktrackFrame::LoopIndex;
    Push(f);
    LoopStackIdx = idx - 1;
    scan = NextOf(prog, scan);
  } else if (k < min) {
    f.kind = TBacktrackFrame::LoopCount;
    Push(f);
    LoopStack[idx] = k + 1;
    scan = body;
  } else if (!nonGreedy && k < max) {
    f.kind = TBacktrackFrame::LoopLeave;
    Push(f);
    LoopStack[idx] = k + 1;
    scan = body;
  } else {
    f.kind = nonGreedy ? TBacktrackFrame::LoopMore : TBacktrackFrame::LoopIndex;
    Push(f);
    LoopStackIdx = idx - 1;
    scan = NextOf(prog, scan);
  }
  return true;
}

// A BRANCH with alternatives after it: the first alternative that can
// begin at reginput is taken, and a frame remembers the next one that can.
bool TRegExpr::StartBranch(int32_t& scan) {
  const char16_t u = reginput < fInputEnd ? *reginput : 0;
  const int32_t alt = ViableAlt(NodeSlot(scan), u);
  if (alt < 0)
    return false;
  const int32_t more = ViableAlt(fAlts[size_t(alt)].next, u);
  if (more >= 0) {
    TBacktrackFrame f{};
    f.kind = TBacktrackFrame::Branch;
    f.a = more;
    f.pos = reginput;
    Push(f);
  }
  scan = OperandOf(fAlts[size_t(alt)].node);
  return true;
}

// Whether a group that an iteration of its loop left empty: such an
// iteration ends the loop, since another one would start where it did.
bool TRegExpr::EmptyIteration(int32_t atom) const {
  const char16_t op = programm[size_t(atom)];
  if (!IsOpen(op))
    return false;
  const int n = op - OPEN;
  return startp[n] != nullptr && startp[n] == endp[n];
}

// BACK, the end of an iteration of a greedy "*" or "+" over a group: `target`
// is the BRANCH of the "*" loop or the group of the "+" loop. After an
// empty iteration "*" goes on after the loop; "+" fails here, which leaves
// through the BRANCH that brought it (its other alternative is the exit).
bool TRegExpr::LoopBack(int32_t& target) {
  const char16_t* prog = programm.data();
  if (prog[target] == BRANCH) {
    if (EmptyIteration(OperandOf(target)))
      target = OperandOf(NextOf(prog, target));
    return true;
  }
  return !EmptyIteration(target);
}

// Pops frames until one offers another way; sets scan and reginput to it.
bool TRegExpr::Backtrack(int32_t& scan) {
  const char16_t* prog = programm.data();
  while (!fBacktrack.empty()) {
    TBacktrackFrame& f = fBacktrack.back();
    switch (f.kind) {
    case TBacktrackFrame::RestoreStart:
      startp[f.a] = f.pos;
      break;
    case TBacktrackFrame::RestoreEnd:
      endp[f.a] = f.pos;
      break;
    case TBacktrackFrame::LoopEntry:
      LoopStackIdx = f.a;
      LoopStack[f.a + 1] = f.b;
      break;
    case TBacktrackFrame::LoopCount:
      LoopStack[f.a] = f.b;
      break;
    case TBacktrackFrame::LoopIndex:
      LoopStackIdx = f.a;
      break;
    case TBacktrackFrame::Branch: {
      const TAltRecord& alt = fAlts[size_t(f.a)];
      reginput = f.pos;
      scan = OperandOf(alt.node);
      const int32_t more = ViableAlt(alt.next, reginput < fInputEnd ? *reginput : 0);
      if (more >= 0)
        f.a = more;
      else
        fBacktrack.pop_back(); // nothing left to retry
      return true;
    }
    case TBacktrackFrame::Repeat:
      if (NextRepeatCount(f)) {
        reginput = f.pos + int64_t(f.a) * f.step;
        scan = NextOf(prog, f.node);
        if (f.a == f.b)
          fBacktrack.pop_back();
        return true;
      }
      break;
    case TBacktrackFrame::LoopLeave: {
      const TBacktrackFrame g = f;
      fBacktrack.pop_back();
      LoopStack[g.a] = g.b;
      reginput = g.pos;
      TBacktrackFrame leave{};
      leave.kind = TBacktrackFrame::LoopIndex;
      leave.a = g.a;
      Push(leave);
      LoopStackIdx = g.a - 1;
      scan = NextOf(prog, g.node);
      return true;
    }
    case TBacktrackFrame::LoopMore: {
      const TBacktrackFrame g = f;
      fBacktrack.pop_back();
      LoopStackIdx = g.a;
      reginput = g.pos;
      if (g.b >= Read32(prog + g.node + NodeSize + 2))
        continue;
      TBacktrackFrame count{};
      count.kind = TBacktrackFrame::LoopCount;
      count.a = g.a;
      count.b = g.b;
      Push(count);
      LoopStack[g.a] = g.b + 1;
      scan = g.node - Read32(prog + g.node + NodeSize + 4);
      return true;
    }
    }
    fBacktrack.pop_back();
  }
  return false;
}

bool TRegExpr::MatchPrim(int32_t scan) {
  const char16_t* prog = programm.data();
  const int32_t progSize = int32_t(programm.size());
  for (;;) {
    if (scan <= 0 || scan >= progSize)
      Raise(1002);
    if (--fStepsLeft < 0)
      Raise(reeStepLimitExceeded);
    const char16_t op = prog[scan];
    int32_t next = NextOf(prog, scan);
    bool ok = true;
    switch (op) {
    case END:
      return true;
    case BOL:
      ok = reginput == fInputStart;
      break;
    case EOL:
      ok = reginput == fInputEnd;
      break;
    case BOLML:
      ok = AtLineStart();
      break;
    case EOLML:
      ok = AtLineEnd();
      break;
    case ANYML:
      ok = reginput < fInputEnd && !IsLineSeparator(*reginput) &&
           !(fLinePairedSeparatorAssigned && *reginput == fLinePairedSeparatorHead && reginput + 1 < fInputEnd &&
             reginput[1] == fLinePairedSeparatorTail);
      reginput += ok;
      break;
    case ANY:
    case ANYOF:
    case ANYBUT:
    case ANYOFCI:
    case ANYBUTCI:
    case ANYOFTINYSET:
    case ANYBUTTINYSET:
    case ANYDIGIT:
    case NOTDIGIT:
    case ANYLETTER:
    case NOTLETTER:
    case ANYSPACE:
    case NOTSPACE:
      ok = reginput < fInputEnd && MatchSimple(op, scan, *reginput);
      reginput += ok;
      break;
    case EXACTLY:
    case EXACTLYCI: {
      const char16_t* lit = prog + OperandOf(scan);
      const char16_t* s = reginput;
      for (; *lit != 0 && ok; ++lit, ++s)
        ok = s < fInputEnd && (op == EXACTLY ? *s == *lit : SameUnitCI(*lit, *s));
      if (ok)
        reginput = s;
      break;
    }
    case BOUND:
    case NOTBOUND: {
      const bool before = reginput > fInputStart && fWordChars.Contains(reginput[-1]);
      const bool after = reginput < fInputEnd && fWordChars.Contains(*reginput);
      ok = (before != after) == (op == BOUND);
      break;
    }
    case NOTHING:
    case COMMENT:
      break;
    case BACK:
      ok = LoopBack(next);
      break;
    case BSUBEXP:
    case BSUBEXPCI: {
      const int n = prog[OperandOf(scan)];
      ok = GroupIsSet(n) && fInputEnd - reginput >= endp[n] - startp[n];
      if (ok)
        ChargeUnits(endp[n] - startp[n]);
      for (const char16_t* g = ok ? startp[n] : endp[n]; ok && g < endp[n]; ++g, ++reginput)
        ok = op == BSUBEXP ? *reginput == *g : SameUnitCI(*g, *reginput);
      break;
    }
    case BRANCH:
      if (OpOf(prog, next) == BRANCH) {
        ok = StartBranch(scan);
        if (ok)
          continue;
        break;
      }
      next = OperandOf(scan);
      break;
    case STAR:
    case PLUS:
    case BRACES:
    case STARNG:
    case PLUSNG:
    case BRACESNG:
      ok = StartRepeat(scan);
      if (ok)
        continue;
      break;
    case LOOPENTRY: {
      if (LoopStackIdx >= LoopStackMax)
        Raise(1014);
      TBacktrackFrame f{};
      f.kind = TBacktrackFrame::LoopEntry;
      f.a = LoopStackIdx;
      f.b = LoopStack[LoopStackIdx + 1];
      Push(f);
      LoopStack[++LoopStackIdx] = 0;
      break;
    }
    case LOOP:
    case LOOPNG:
      StartLoop(scan, op == LOOPNG);
      continue;
    default:
      if (IsOpen(op) || IsClose(op)) {
        const int n = IsOpen(op) ? op - OPEN : op - CLOSE;
        const char16_t*& bound = IsOpen(op) ? startp[n] : endp[n];
        TBacktrackFrame f{};
        f.kind = IsOpen(op) ? TBacktrackFrame::RestoreStart : TBacktrackFrame::RestoreEnd;
        f.a = n;
        f.pos = bound;
        Push(f);
        bound = reginput;
        break;
      }
      Raise(1001);
    }
    if (ok)
      scan = next;
    else if (!Backtrack(scan))
      return false;
  }
}

} // namespace zarv
