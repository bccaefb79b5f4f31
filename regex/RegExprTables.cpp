// TRegExpr: tables derived from the program that only make matching faster.
//
// Set operands are unit strings with ranges (RegExprProgram.h); testing a
// unit against one by scanning it would dominate a search, so each set node
// also gets a record: a bitmap of its members below 256 and the sorted runs
// of the others, searched by halving. Records are found by node index
// through a small hash table, so that their size follows the number of sets,
// not the size of the program or of the ranges.
//
// A search without a known first unit tries every position. When every
// match must consume a unit and the program tells which units can come
// first, positions holding any other unit are skipped without trying: the
// first-unit set is the union over the program's leading nodes, following
// zero-width nodes, alternatives and optional repeats, and giving up
// (no filter) wherever it cannot tell. The same analysis, from each
// alternative of a BRANCH chain onwards, lets the matcher pass over
// alternatives that cannot start at the current unit without saving a
// state for them. Either way the matches found are the same.
#include <ZarvMemo/regex/RegExpr.h>
#include <ZarvMemo/regex/RegExprTables.h>

#include <algorithm>
#include <bit>

namespace zarv {

using namespace regexprog;

namespace {

bool IsSetOp(char16_t op) { return op == ANYOF || op == ANYBUT || op == ANYOFCI || op == ANYBUTCI; }

bool IsRepeatOp(char16_t op) {
  return op == STAR || op == PLUS || op == BRACES || op == STARNG || op == PLUSNG || op == BRACESNG;
}

uint32_t SlotHash(int32_t node, int shift) { return (uint32_t(node) * 0x9E3779B1u) >> shift; }

} // namespace

// Where FirstUnits puts the units it finds: a 65536-bit set, or the 256 bits
// of a filter that only notes whether some unit from 256 up may come.
struct TRegExpr::TUnitSink {
  uint64_t* bits;
  bool lowOnly;
  bool wide = false;
  void Add(char16_t u) {
    if (lowOnly && u >= 256)
      wide = true;
    else
      bits[u >> 6] |= uint64_t(1) << (u & 63);
  }
  void AddRun(char16_t lo, char16_t hi) {
    for (uint32_t u = lo; u <= hi; ++u) {
      if (lowOnly && u >= 256) {
        wide = true;
        return;
      }
      bits[u >> 6] |= uint64_t(1) << (u & 63);
    }
  }
};

void TRegExpr::ClearDerivedTables() {
  fNodeSlots.clear();
  fNodeMask = 0;
  fNodeShift = 32;
  fSetBits.clear();
  fWideRuns.clear();
  fAlts.clear();
  fRepeats.clear();
  fLastRepeatNode = 0;
  fFirstUnits.clear();
  fFirstUnitsReady = false;
  fReqLastKnown = false;
  fRunNode = 0;
}

void TRegExpr::BuildSetTables() {
  ClearDerivedTables();
  const char16_t* prog = programm.data();
  std::vector<TNodeSlot> records;
  // A chain is recorded from its first BRANCH, which comes first in the
  // program; the others are marked then and passed over as they come.
  std::vector<bool> inChain(programm.size(), false);
  for (int32_t s = 1; s != 0 && prog[s] != END; s = NodeEnd(prog, s)) {
    const char16_t op = prog[s];
    if (op == BRANCH && OpOf(prog, NextOf(prog, s)) == BRANCH && !inChain[size_t(s)])
      AddAltChain(records, s, inChain);
    else if (IsSetOp(op))
      AddSetRecord(records, s);
    else if (IsRepeatOp(op)) {
      records.push_back({s, int32_t(fRepeats.size())});
      fRepeats.push_back({{0, 0, 0, 0}, false, false, false, s});
    }
  }
  size_t size = 8;
  fNodeShift = 29;
  while (size < records.size() * 2) {
    size *= 2;
    --fNodeShift;
  }
  fNodeSlots.assign(size, TNodeSlot{0, -1});
  fNodeMask = uint32_t(size - 1);
  for (const TNodeSlot& r : records) {
    uint32_t h = SlotHash(r.node, fNodeShift);
    while (fNodeSlots[h].node != 0)
      h = (h + 1) & fNodeMask;
    fNodeSlots[h] = r;
  }
}

// The records of a chain of alternatives, from its first BRANCH, each
// letting every unit through until the search tables are made.
void TRegExpr::AddAltChain(std::vector<TNodeSlot>& records, int32_t first, std::vector<bool>& inChain) {
  const char16_t* prog = programm.data();
  for (int32_t alt = first; prog[alt] == BRANCH; alt = NextOf(prog, alt)) {
    inChain[size_t(alt)] = true;
    const int32_t index = int32_t(fAlts.size());
    fAlts.push_back({{~uint64_t(0), ~uint64_t(0), ~uint64_t(0), ~uint64_t(0)}, true, alt, -1});
    if (alt != first)
      fAlts[size_t(index) - 1].next = index;
    records.push_back({alt, index});
  }
}

void TRegExpr::AddSetRecord(std::vector<TNodeSlot>& records, int32_t s) {
  TSetBits bits{{0, 0, 0, 0}, 0, 0};
  std::vector<std::pair<char16_t, char16_t>> wide;
  ForEachSetRun(programm.data() + OperandOf(s), [&](char16_t lo, char16_t hi) {
    for (uint32_t u = lo; u <= hi && u < 256; ++u)
      bits.low[u >> 6] |= uint64_t(1) << (u & 63);
    if (hi >= 256)
      wide.emplace_back(std::max<char16_t>(lo, 256), hi);
  });
  std::sort(wide.begin(), wide.end());
  bits.wideBegin = int32_t(fWideRuns.size());
  for (const auto& run : wide) {
    if (int32_t(fWideRuns.size()) > bits.wideBegin && uint32_t(fWideRuns.back().second) + 1 >= run.first)
      fWideRuns.back().second = std::max(fWideRuns.back().second, run.second);
    else
      fWideRuns.push_back(run);
  }
  bits.wideEnd = int32_t(fWideRuns.size());
  records.push_back({s, int32_t(fSetBits.size())});
  fSetBits.push_back(bits);
}

bool TRegExpr::InSetNode(int32_t scan, char16_t u) const {
  const TSetBits& bits = fSetBits[size_t(NodeSlot(scan))];
  if (u < 256)
    return (bits.low[u >> 6] >> (u & 63)) & 1;
  const auto begin = fWideRuns.begin() + bits.wideBegin, end = fWideRuns.begin() + bits.wideEnd;
  auto after = std::upper_bound(begin, end, u, [](char16_t v, const auto& run) { return v < run.first; });
  return after != begin && u <= (after - 1)->second;
}

void TRegExpr::PrepareFirstUnits() {
  fFirstUnitsReady = true;
  fFirstUnits.assign(65536 / 64, 0);
  int budget = 1000;
  TUnitSink all{fFirstUnits.data(), false};
  if (!FirstUnits(1, 0, budget, all))
    fFirstUnits.clear();
  FindFirstRanges();
  for (TAltRecord& alt : fAlts) {
    uint64_t low[4] = {0, 0, 0, 0};
    TUnitSink sink{low, true};
    int altBudget = 64;
    if (FirstUnits(OperandOf(alt.node), 1, altBudget, sink)) {
      std::copy(low, low + 4, alt.low);
      alt.low[0] &= ~uint64_t(1); // a 0 unit is the end of the subject
      alt.wide = sink.wide;
    } else {
      std::fill(alt.low, alt.low + 4, ~uint64_t(0));
      alt.wide = true;
    }
  }
  for (TRepeatRecord& repeat : fRepeats)
    PrepareRepeat(repeat);
  fReqLastKnown = false;
  fRunNode = 0;
  fReqUnits[0] = fReqUnits[1] = fReqUnit;
  if (fReqCI)
    fReqUnits[1] = Invert(fReqUnit);
}

// What may follow a simple repeat: the literal right after it, or else the
// units the rest of the program can begin with; and whether the repeated
// node can match any of them.
void TRegExpr::PrepareRepeat(TRepeatRecord& record) {
  const char16_t* prog = programm.data();
  int32_t node = OperandOf(record.node);
  if (prog[record.node] == BRACES || prog[record.node] == BRACESNG)
    node += BracesOperand;
  const char16_t op = prog[node];
  record.filter = record.possessive = false;
  if (op == BSUBEXP || op == BSUBEXPCI)
    return; // repetitions of several units: nothing to compare
  const int32_t next = NextOf(prog, record.node);
  if (next != 0 && prog[next] == EXACTLY) {
    record.possessive = !MatchSimple(op, node, prog[OperandOf(next)]);
    return;
  }
  std::fill(record.low, record.low + 4, 0);
  TUnitSink sink{record.low, true};
  int budget = 64;
  if (!FirstUnits(next, 1, budget, sink))
    return;
  record.filter = true;
  record.low[0] &= ~uint64_t(1); // a 0 unit is the end of the subject
  record.wide = sink.wide;
  // Units from 256 up are only known to be refused by a node that matches
  // none of them.
  const bool lowNode =
      op == ANYDIGIT || (op == EXACTLY && prog[OperandOf(node)] < 256) ||
      (op == ANYOF && fSetBits[size_t(NodeSlot(node))].wideBegin == fSetBits[size_t(NodeSlot(node))].wideEnd);
  bool overlap = record.wide && !lowNode;
  for (uint32_t u = 1; u < 256 && !overlap; ++u)
    overlap = ((record.low[u >> 6] >> (u & 63)) & 1) && MatchSimple(op, node, char16_t(u));
  record.possessive = !overlap;
}

// The first units as ranges, when they form at most MaxFirstRanges.
void TRegExpr::FindFirstRanges() {
  fFirstRanges = 0;
  int ranges = 0;
  for (uint32_t u = 0; u < 65536 && !fFirstUnits.empty();) {
    const uint64_t word = fFirstUnits[u >> 6] >> (u & 63);
    if (word == 0) { // nothing more in this word
      u = (u | 63) + 1;
      continue;
    }
    u += uint32_t(std::countr_zero(word));
    uint32_t end = u;
    while (end < 65536 && ((fFirstUnits[end >> 6] >> (end & 63)) & 1))
      ++end;
    if (ranges == MaxFirstRanges)
      return;
    fFirstLo[ranges] = char16_t(u);
    fFirstSpan[ranges] = char16_t(end - 1 - u);
    ++ranges;
    u = end;
  }
  fFirstRanges = ranges;
}

// Adds the units a match from `scan` can start with; false when that is
// unknown or the match may be empty from there. A loop's end met without
// its entry (a walk that starts inside an alternative of its body) may lead
// to another iteration or out of the loop: both are taken.
bool TRegExpr::FirstUnits(int32_t scan, int depth, int& budget, TUnitSink& sink) {
  const char16_t* prog = programm.data();
  for (;;) {
    if (scan == 0 || --budget < 0 || depth > 32)
      return false;
    const char16_t op = prog[scan];
    const int32_t next = NextOf(prog, scan);
    const char16_t* opnd = prog + OperandOf(scan);
    switch (op) {
    case BOL:
    case EOL:
    case BOLML:
    case EOLML:
    case BOUND:
    case NOTBOUND:
    case NOTHING:
    case COMMENT:
      scan = next;
      continue;
    case LOOPENTRY: {
      // The loop (LOOPENTRY's next) before its first iteration: the body,
      // and what follows when the loop may end at once.
      const char16_t* loop = prog + OperandOf(next);
      if (!FirstUnits(next - Read32(loop + 4), depth + 1, budget, sink))
        return false;
      if (Read32(loop) > 0)
        return true;
      scan = NextOf(prog, next);
      continue;
    }
    case BRANCH:
      if (OpOf(prog, next) != BRANCH) {
        scan = OperandOf(scan);
        continue;
      }
      for (int32_t alt = scan; alt != 0 && prog[alt] == BRANCH; alt = NextOf(prog, alt))
        if (!FirstUnits(OperandOf(alt), depth + 1, budget, sink))
          return false;
      return true;
    case EXACTLY:
      sink.Add(opnd[0]);
      return true;
    case EXACTLYCI:
      sink.Add(opnd[0]);
      sink.Add(Invert(opnd[0]));
      return true;
    case ANYOF:
      ForEachSetRun(opnd, [&](char16_t lo, char16_t hi) { sink.AddRun(lo, hi); });
      return true;
    case ANYOFCI: {
      // Every unit whose inverted case may be a member: all of them tried.
      budget -= sink.lowOnly ? 1 : 64;
      const uint32_t top = sink.lowOnly ? 256 : 65536;
      for (uint32_t u = 1; u < top; ++u)
        if (InSetCI(scan, char16_t(u)))
          sink.Add(char16_t(u));
      if (sink.lowOnly)
        sink.wide = true;
      return true;
    }
    case ANYDIGIT:
      sink.AddRun(u'0', u'9');
      return true;
    case ANYLETTER:
    case ANYSPACE:
      for (QChar c : (op == ANYLETTER ? fWordChars : fSpaceChars).Units())
        sink.Add(c.unicode());
      return true;
    case STAR:
    case STARNG:
    case PLUS:
    case PLUSNG:
    case BRACES:
    case BRACESNG: {
      const bool braces = op == BRACES || op == BRACESNG;
      if (!FirstUnits(OperandOf(scan) + (braces ? BracesOperand : 0), depth + 1, budget, sink))
        return false;
      const bool optional = op == STAR || op == STARNG || (braces && Read32(opnd) == 0);
      if (!optional)
        return true;
      scan = next;
      continue;
    }
    case LOOP:
    case LOOPNG:
      if (!FirstUnits(scan - Read32(opnd + 4), depth + 1, budget, sink))
        return false;
      scan = next;
      continue;
    default:
      if (IsOpen(op) || IsClose(op)) {
        scan = next;
        continue;
      }
      return false; // ANY, negated sets and classes, back-references, BACK
    }
  }
}

} // namespace zarv
