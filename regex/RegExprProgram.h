// The compiled form of a regular expression: opcodes and node access.
//
// A program is an array of 16-bit units. Unit 0 is a magic value; nodes
// follow from unit 1. Every node is one unit of opcode and two units of a
// signed 32-bit "next" offset (low half first) counted from the node's own
// first unit, 0 meaning "no next node"; operands follow. Literal and set
// operands are 0-terminated unit strings, counts are 32-bit pairs. Nodes are
// addressed by their unit index so that the program can grow and move while
// the compiler inserts operators before nodes already emitted; index 0 (the
// magic unit) never holds a node and doubles as "no node".
//
// The compiler, the matcher and the dump share these definitions; nothing
// outside regex/ needs them.
#pragma once

#include <cstdint>
#include <vector>

namespace zarv::regexprog {

using TProgram = std::vector<char16_t>;

inline constexpr char16_t MAGIC = 216;

enum : char16_t {
  END = 0,
  BOL = 1,
  EOL = 2,
  ANY = 3,
  ANYOF = 4,
  ANYBUT = 5,
  BRANCH = 6,
  BACK = 7,
  EXACTLY = 8,
  NOTHING = 9,
  STAR = 10,
  PLUS = 11,
  ANYDIGIT = 12,
  NOTDIGIT = 13,
  ANYLETTER = 14,
  NOTLETTER = 15,
  ANYSPACE = 16,
  NOTSPACE = 17,
  BRACES = 18,
  COMMENT = 19,
  EXACTLYCI = 20,
  ANYOFCI = 21,
  ANYBUTCI = 22,
  LOOPENTRY = 23,
  LOOP = 24,
  ANYOFTINYSET = 25,
  ANYBUTTINYSET = 26,
  BSUBEXP = 28,
  BSUBEXPCI = 29,
  STARNG = 30,
  PLUSNG = 31,
  BRACESNG = 32,
  LOOPNG = 33,
  BOLML = 34,
  EOLML = 35,
  ANYML = 36,
  BOUND = 37,
  NOTBOUND = 38,
  OPEN = 39,  // OPEN + n for group n, 1 <= n <= 14
  CLOSE = 54, // CLOSE + n
  OPCODE_LIMIT = CLOSE + 15,
};

// Group slots: 0 is the whole match, 1 to 14 the parenthesised groups.
inline constexpr int NSUBEXP = 15;
// Nested counted loops active at once.
inline constexpr int LoopStackMax = 10;
// Largest brace argument, and the bound of "{n,}" and of loops standing in
// for "*" and "+".
inline constexpr int32_t MaxBracesArg = 2147483646;

// Sizes in units: the node head, and the extra operand units of counted
// nodes (min, max; for loops also the back offset).
inline constexpr int32_t NodeSize = 3;
inline constexpr int32_t BracesOperand = 4;
inline constexpr int32_t LoopOperand = 6;

// Node flags the parser passes upwards.
enum : int {
  WORST = 0,    // nothing known
  HASWIDTH = 1, // never matches the empty string
  SIMPLE = 2,   // matches exactly one unit, so the counting repeats can take it
  SPSTART = 4,  // starts with a simple "*" or "+"
};

inline int32_t Read32(const char16_t* p) { return int32_t(uint32_t(p[0]) | (uint32_t(p[1]) << 16)); }

inline void Write32(char16_t* p, int32_t v) {
  p[0] = char16_t(uint32_t(v) & 0xFFFF);
  p[1] = char16_t(uint32_t(v) >> 16);
}

inline char16_t OpOf(const char16_t* prog, int32_t node) { return prog[node]; }
inline int32_t OperandOf(int32_t node) { return node + NodeSize; }

// Index of the node after `node`, or 0 when it has none.
inline int32_t NextOf(const char16_t* prog, int32_t node) {
  const int32_t offset = Read32(prog + node + 1);
  return offset == 0 ? 0 : node + offset;
}

inline bool IsOpen(char16_t op) { return op > OPEN && op < OPEN + NSUBEXP; }
inline bool IsClose(char16_t op) { return op > CLOSE && op < CLOSE + NSUBEXP; }
inline bool IsLiteralOperand(char16_t op) {
  return op == EXACTLY || op == EXACTLYCI || op == ANYOF || op == ANYBUT || op == ANYOFCI || op == ANYBUTCI;
}

// Index just past the node at s and its operands, or 0 for an opcode that
// does not exist.
inline int32_t NodeEnd(const char16_t* prog, int32_t s) {
  const char16_t op = prog[s];
  int32_t end = s + NodeSize;
  if (op == BRACES || op == BRACESNG)
    return end + BracesOperand;
  if (op == LOOP || op == LOOPNG)
    return end + LoopOperand;
  if (IsLiteralOperand(op)) {
    while (prog[end] != 0)
      ++end;
    return end + 1;
  }
  if (op == ANYOFTINYSET || op == ANYBUTTINYSET)
    return end + 3;
  if (op == BSUBEXP || op == BSUBEXPCI)
    return end + 1;
  if (op == 27 || op >= OPCODE_LIMIT || op == OPEN || op == CLOSE)
    return 0;
  return end;
}

// Set operands. A unit other than SetRangeMark is a member; SetRangeMark
// followed by two units lo and hi stands for every unit from lo to hi, so
// that a range costs three units however wide it is. The compiler writes
// runs of SetRangeMinRun or more consecutive units that way (shorter ones,
// such as the letters or the digits, stay a list of members as written),
// and a member equal to the mark as the range mark..mark. Members are never
// 0 (the subject ends at 0), so the operand stays a 0-terminated string.
inline constexpr char16_t SetRangeMark = 0xFFFF;
inline constexpr int32_t SetRangeMinRun = 64;

// Calls f(lo, hi) for each run of members of the set operand at `opnd`, in
// the order written; a single member is the run (u, u).
template <typename F>
void ForEachSetRun(const char16_t* opnd, F f) {
  for (const char16_t* m = opnd; *m != 0; ++m) {
    if (*m == SetRangeMark) {
      f(m[1], m[2]);
      m += 2;
    } else {
      f(*m, *m);
    }
  }
}

// The largest program the compiler builds, in units (error 101 beyond):
// 8 MB, far more than any pattern a person writes, and small enough that a
// hostile one cannot exhaust memory.
inline constexpr int32_t MaxProgramUnits = 4 * 1024 * 1024;

inline bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Whether the pattern text at p is a complete "{n}", "{n,}" or "{n,m}"; a
// "{" that is not one is an ordinary character.
inline bool IsBracesAhead(const char16_t* p) {
  if (*p != u'{' || !IsDigit(p[1]))
    return false;
  p += 2;
  while (IsDigit(*p))
    ++p;
  if (*p == u',') {
    ++p;
    while (IsDigit(*p))
      ++p;
  }
  return *p == u'}';
}

inline bool IsQuantifierAhead(const char16_t* p) { return *p == u'*' || *p == u'+' || *p == u'?' || IsBracesAhead(p); }

} // namespace zarv::regexprog
