// TRegExpr: tables derived from the program that only make matching faster.
//
// Set operands are unit strings; testing a unit against a set of dozens (or,
// with a wide range, thousands) of members by scanning it would dominate a
// search, so each set node also gets a bitmap of its members: 256 bits, and
// all 65536 when it has members from 256 up.
//
// A search without a known first unit tries every position. When every
// match must consume a unit and the program tells which units can come
// first, positions holding any other unit are skipped without trying: the
// first-unit set is the union over the program's leading nodes, following
// zero-width nodes, alternatives and optional repeats, and giving up
// (no filter) wherever it cannot tell. Either way the matches found are the
// same.
#include <ZarvMemo/regex/RegExpr.h>

namespace zarv {

using namespace regexprog;

namespace {

bool IsSetOp(char16_t op) { return op == ANYOF || op == ANYBUT || op == ANYOFCI || op == ANYBUTCI; }

} // namespace

void TRegExpr::BuildSetTables() {
  fSetOf.assign(programm.size(), 0);
  fSetBits.clear();
  fWideBits.clear();
  fFirstUnits.clear();
  fFirstUnitsReady = false;
  const char16_t* prog = programm.data();
  for (int32_t s = 1; s != 0 && prog[s] != END; s = NodeEnd(prog, s)) {
    if (!IsSetOp(prog[s]))
      continue;
    TSetBits bits{{0, 0, 0, 0}, -1};
    for (const char16_t* m = prog + OperandOf(s); *m != 0; ++m) {
      if (*m < 256) {
        bits.low[*m >> 6] |= uint64_t(1) << (*m & 63);
        continue;
      }
      if (bits.wide < 0) {
        bits.wide = int32_t(fWideBits.size() / 1024);
        fWideBits.resize(fWideBits.size() + 1024, 0);
      }
      fWideBits[size_t(bits.wide) * 1024 + (*m >> 6)] |= uint64_t(1) << (*m & 63);
    }
    fSetBits.push_back(bits);
    fSetOf[size_t(s)] = int32_t(fSetBits.size());
  }
}

bool TRegExpr::InSetNode(int32_t scan, char16_t u) const {
  const TSetBits& bits = fSetBits[size_t(fSetOf[size_t(scan)] - 1)];
  if (u < 256)
    return (bits.low[u >> 6] >> (u & 63)) & 1;
  return bits.wide >= 0 && (fWideBits[size_t(bits.wide) * 1024 + (u >> 6)] >> (u & 63)) & 1;
}

void TRegExpr::PrepareFirstUnits() {
  fFirstUnitsReady = true;
  fFirstUnits.assign(65536 / 64, 0);
  int budget = 1000;
  if (!FirstUnits(1, 0, budget))
    fFirstUnits.clear();
}

// Adds the units a match from `scan` can start with; false when that is
// unknown or the match may be empty from there.
bool TRegExpr::FirstUnits(int32_t scan, int depth, int& budget) {
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
    case LOOPENTRY:
      scan = next;
      continue;
    case BRANCH:
      if (OpOf(prog, next) != BRANCH) {
        scan = OperandOf(scan);
        continue;
      }
      for (int32_t alt = scan; alt != 0 && prog[alt] == BRANCH; alt = NextOf(prog, alt))
        if (!FirstUnits(OperandOf(alt), depth + 1, budget))
          return false;
      return true;
    case EXACTLY:
      AddFirstUnit(opnd[0]);
      return true;
    case EXACTLYCI:
      AddFirstUnit(opnd[0]);
      AddFirstUnit(Invert(opnd[0]));
      return true;
    case ANYOF:
      for (; *opnd != 0; ++opnd)
        AddFirstUnit(*opnd);
      return true;
    case ANYOFCI:
      for (uint32_t u = 1; u < 65536; ++u)
        if (InSetCI(scan, char16_t(u)))
          AddFirstUnit(char16_t(u));
      return true;
    case ANYDIGIT:
      for (char16_t u = u'0'; u <= u'9'; ++u)
        AddFirstUnit(u);
      return true;
    case ANYLETTER:
    case ANYSPACE:
      for (QChar c : (op == ANYLETTER ? fWordChars : fSpaceChars).Units())
        AddFirstUnit(c.unicode());
      return true;
    case STAR:
    case STARNG:
    case PLUS:
    case PLUSNG:
    case BRACES:
    case BRACESNG: {
      const bool braces = op == BRACES || op == BRACESNG;
      if (!FirstUnits(OperandOf(scan) + (braces ? BracesOperand : 0), depth + 1, budget))
        return false;
      const bool optional = op == STAR || op == STARNG || (braces && Read32(opnd) == 0);
      if (!optional)
        return true;
      scan = next;
      continue;
    }
    case LOOP:
    case LOOPNG: {
      // Reached from LOOPENTRY, before the first iteration.
      const int32_t body = scan - Read32(opnd + 4);
      if (!FirstUnits(body, depth + 1, budget))
        return false;
      if (Read32(opnd) > 0)
        return true;
      scan = next;
      continue;
    }
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
