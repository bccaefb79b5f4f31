// TRegExpr: compiling a pattern into the node program.
//
// A recursive-descent parser emits nodes as it reads: ParseReg (a group or
// the whole pattern: branches separated by "|"), ParseBranch (a sequence of
// pieces), ParsePiece (an atom and its quantifier) and ParseAtom (in
// RegExprAtoms.cpp). Quantifiers are applied after the atom has been
// emitted, by inserting an operator in front of it or by wrapping it in
// branches or a counted loop, which is why nodes are addressed by index and
// linked by relative offsets: an inserted operator shifts the atom without
// breaking its links.
//
// The recursion is bounded by the pattern's group limit: only "(" recurses,
// and the 15th group is an error before its contents are read, so the
// parser never nests deeper than 15 groups whatever the pattern.
#include <ZarvMemo/regex/RegExpr.h>

namespace zarv {

using namespace regexprog;

// ---- Emission ------------------------------------------------------------------

// Every emission goes through here first: a program past MaxProgramUnits
// is refused (101) before it is built.
void TRegExpr::ReserveUnits(int64_t count) {
  if (int64_t(programm.size()) + count > MaxProgramUnits)
    Raise(101);
}

int32_t TRegExpr::EmitNode(char16_t op) {
  ReserveUnits(NodeSize);
  const int32_t at = int32_t(programm.size());
  programm.push_back(op);
  programm.push_back(0);
  programm.push_back(0);
  return at;
}

void TRegExpr::EmitC(char16_t unit) {
  ReserveUnits(1);
  programm.push_back(unit);
}

void TRegExpr::EmitInt(int32_t value) {
  ReserveUnits(2);
  programm.push_back(0);
  programm.push_back(0);
  Write32(programm.data() + programm.size() - 2, value);
}

void TRegExpr::EmitString(QStringView units) {
  ReserveUnits(units.size() + 1);
  for (QChar c : units)
    programm.push_back(c.unicode());
  programm.push_back(0);
}

// Long runs become a range (mark, lo, hi); shorter ones are listed, a
// member equal to the mark written as the range mark..mark.
void TRegExpr::EmitSetOperand(const TSetRuns& runs) {
  for (const auto& [lo, hi] : runs) {
    if (hi - lo + 1 >= SetRangeMinRun) {
      ReserveUnits(3);
      programm.insert(programm.end(), {SetRangeMark, lo, hi});
      continue;
    }
    for (uint32_t u = lo; u <= hi; ++u) {
      ReserveUnits(3);
      if (u == SetRangeMark)
        programm.insert(programm.end(), {SetRangeMark, SetRangeMark, SetRangeMark});
      else
        programm.push_back(char16_t(u));
    }
  }
  EmitC(0);
}

// Puts a node of `size` units (opcode, empty next, zeroed operands) in front
// of the node at `opnd`, moving it and everything after it up.
void TRegExpr::InsertOperator(char16_t op, int32_t opnd, int32_t size) {
  ReserveUnits(size);
  programm.insert(programm.begin() + opnd, size_t(size), char16_t(0));
  programm[size_t(opnd)] = op;
}

// Links the last node of the chain starting at p to val.
void TRegExpr::Tail(int32_t p, int32_t val) {
  const char16_t* prog = programm.data();
  int32_t scan = p;
  for (int32_t n = NextOf(prog, scan); n != 0; n = NextOf(prog, scan))
    scan = n;
  Write32(programm.data() + scan + 1, val - scan);
}

// Tail on the operand of a BRANCH; other nodes have no operand chain.
void TRegExpr::OpTail(int32_t p, int32_t val) {
  if (p == 0 || programm[size_t(p)] != BRANCH)
    return;
  Tail(OperandOf(p), val);
}

// ---- Compilation -----------------------------------------------------------------

void TRegExpr::CompileRegExpr(const char16_t* exp) {
  InvalidateProgramm();
  if (exp == nullptr)
    Raise(100);
  fProgModifiers = fCompModifiers = fModifiers;
  regexpbeg = exp;
  regparse = exp;
  regnpar = 1;
  try {
    programm.push_back(MAGIC);
    int flags = 0;
    ParseReg(false, flags);
    regsize = int32_t(programm.size());
    SetSearchHints(flags);
    FindRequiredUnit();
    FindLeadRepeat();
    BuildSetTables();
  } catch (...) {
    InvalidateProgramm();
    regexpbeg = regparse = nullptr;
    throw;
  }
  regexpbeg = regparse = nullptr;
  fExprIsCompiled = true;
}

// ---- Structure: groups, branches, pieces -----------------------------------------

int32_t TRegExpr::ParseReg(bool paren, int& flagp) {
  const int savedModifiers = fCompModifiers;
  flagp = HASWIDTH;
  int32_t ret = 0;
  int32_t parno = 0;
  if (paren) {
    if (regnpar >= NSUBEXP)
      Raise(102);
    parno = regnpar++;
    ret = EmitNode(char16_t(OPEN + parno));
  }

  int flags = 0;
  int32_t br = ParseBranch(flags);
  if (ret != 0)
    Tail(ret, br);
  else
    ret = br;
  int32_t lastBranch = br;
  for (;;) {
    if (!(flags & HASWIDTH))
      flagp &= ~HASWIDTH;
    flagp |= flags & SPSTART;
    if (*regparse != u'|')
      break;
    ++regparse;
    br = ParseBranch(flags);
    Tail(lastBranch, br);
    lastBranch = br;
  }

  // Every branch ends at the closing node.
  const int32_t ender = EmitNode(paren ? char16_t(CLOSE + parno) : char16_t(END));
  Tail(lastBranch, ender);
  for (int32_t b = ret; b != 0; b = NextOf(programm.data(), b))
    OpTail(b, ender);

  if (paren) {
    if (*regparse != u')')
      Raise(103);
    ++regparse;
  } else if (*regparse != 0) {
    Raise(*regparse == u')' ? 104 : 105);
  }
  fCompModifiers = savedModifiers;
  return ret;
}

int32_t TRegExpr::ParseBranch(int& flagp) {
  flagp = WORST;
  const int32_t ret = EmitNode(BRANCH);
  int32_t chain = 0;
  while (*regparse != 0 && *regparse != u'|' && *regparse != u')') {
    int flags = 0;
    const int32_t latest = ParsePiece(flags);
    flagp |= flags & HASWIDTH;
    if (chain == 0)
      flagp |= flags & SPSTART;
    else
      Tail(chain, latest);
    chain = latest;
  }
  if (chain == 0)
    EmitNode(NOTHING);
  return ret;
}

int32_t TRegExpr::ParseBraceNumber(const char16_t* begin, const char16_t* end) {
  if (end - begin > 8) {
    regparse = end;
    Raise(122);
  }
  int32_t value = 0;
  for (const char16_t* p = begin; p < end; ++p)
    value = value * 10 + (*p - u'0');
  return value;
}

// Reads a complete brace quantifier at regparse (IsBracesAhead holds).
bool TRegExpr::ParseBraces(int32_t& min, int32_t& max) {
  const char16_t* p = regparse + 1;
  const char16_t* begin = p;
  while (IsDigit(*p))
    ++p;
  min = ParseBraceNumber(begin, p);
  max = min;
  if (*p == u',') {
    begin = ++p;
    while (IsDigit(*p))
      ++p;
    max = p == begin ? MaxBracesArg : ParseBraceNumber(begin, p);
  }
  regparse = p + 1; // past "}"
  if (min > max)
    Raise(124);
  return true;
}

int32_t TRegExpr::ParsePiece(int& flagp) {
  int flags = 0;
  const int32_t ret = ParseAtom(flags);
  const char16_t op = *regparse;
  if (!IsQuantifierAhead(regparse)) {
    flagp = flags;
    return ret;
  }
  if (!(flags & HASWIDTH) && op != u'?')
    Raise(106);

  int32_t min = 0, max = 0;
  if (op == u'{')
    ParseBraces(min, max);
  else
    ++regparse;
  bool nonGreedy = !(fCompModifiers & MaskModG);
  if (*regparse == u'?') {
    nonGreedy = true;
    ++regparse;
  }
  flagp = EmitQuantifier(op, ret, flags, nonGreedy, min, max);
  if (IsQuantifierAhead(regparse))
    Raise(107);
  return ret;
}

// Applies quantifier `op` to the atom at `atom` (the last thing emitted);
// returns the piece's flags. The atom's index stays the piece's index.
int32_t TRegExpr::EmitQuantifier(char16_t op, int32_t atom, int atomFlags, bool nonGreedy, int32_t min, int32_t max) {
  const bool simple = atomFlags & SIMPLE;
  switch (op) {
  case u'*':
    if (simple) {
      InsertOperator(nonGreedy ? STARNG : STAR, atom, NodeSize);
    } else if (!nonGreedy) {
      // BRANCH(atom, BACK to the BRANCH) | BRANCH(NOTHING)
      InsertOperator(BRANCH, atom, NodeSize);
      OpTail(atom, EmitNode(BACK));
      OpTail(atom, atom);
      Tail(atom, EmitNode(BRANCH));
      Tail(atom, EmitNode(NOTHING));
    } else {
      EmitLoop(atom, true, 0, MaxBracesArg);
    }
    return WORST | SPSTART;
  case u'+':
    if (simple) {
      InsertOperator(nonGreedy ? PLUSNG : PLUS, atom, NodeSize);
    } else if (!nonGreedy) {
      // atom, then BRANCH(BACK to the atom) | BRANCH(NOTHING)
      const int32_t next = EmitNode(BRANCH);
      Tail(atom, next);
      Tail(EmitNode(BACK), atom);
      Tail(next, EmitNode(BRANCH));
      Tail(atom, EmitNode(NOTHING));
    } else {
      EmitLoop(atom, true, 1, MaxBracesArg);
    }
    return WORST | SPSTART | HASWIDTH;
  case u'?':
    if (!nonGreedy) {
      // BRANCH(atom) | BRANCH(NOTHING)
      InsertOperator(BRANCH, atom, NodeSize);
      Tail(atom, EmitNode(BRANCH));
      const int32_t next = EmitNode(NOTHING);
      Tail(atom, next);
      OpTail(atom, next);
    } else if (simple) {
      InsertOperator(BRACESNG, atom, NodeSize + BracesOperand);
      Write32(programm.data() + atom + NodeSize, 0);
      Write32(programm.data() + atom + NodeSize + 2, 1);
    } else {
      EmitLoop(atom, true, 0, 1);
    }
    return WORST;
  default: // braces
    if (simple) {
      InsertOperator(nonGreedy ? BRACESNG : BRACES, atom, NodeSize + BracesOperand);
      Write32(programm.data() + atom + NodeSize, min);
      Write32(programm.data() + atom + NodeSize + 2, max);
    } else {
      EmitLoop(atom, nonGreedy, min, max);
    }
    return max > 0 ? WORST | HASWIDTH | SPSTART : WORST;
  }
}

// LOOPENTRY before the atom, LOOP after it; the atom's end and the
// LOOPENTRY both lead to the LOOP, which points back at the atom.
int32_t TRegExpr::EmitLoop(int32_t atom, bool nonGreedy, int32_t min, int32_t max) {
  InsertOperator(LOOPENTRY, atom, NodeSize);
  const int32_t body = atom + NodeSize;
  const int32_t loop = EmitNode(nonGreedy ? LOOPNG : LOOP);
  EmitInt(min);
  EmitInt(max);
  EmitInt(loop - body);
  Tail(atom, loop);
  Tail(body, loop);
  return loop;
}

} // namespace zarv
