// TRegExpr: parsing atoms — anchors, classes, escapes, sets, groups, inline
// modifiers and literal runs.
//
// Each routine starts at regparse, emits one node (or a group's nodes) and
// reports its flags: HASWIDTH when it cannot match empty, SIMPLE when it
// matches exactly one unit and so can be repeated by counting. Errors raise
// ERegExpr with regparse at the place the parser gave up.
#include <ZarvMemo/regex/RegExpr.h>

namespace zarv {

using namespace regexprog;

namespace {

// The characters that end a literal run.
bool IsMeta(char16_t c) {
  switch (c) {
  case u'^':
  case u'$':
  case u'.':
  case u'[':
  case u'(':
  case u')':
  case u'|':
  case u'?':
  case u'+':
  case u'*':
  case u'\\':
  case u'{':
    return true;
  default:
    return false;
  }
}

bool IsExtendedSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9')
    return c - u'0';
  if (c >= u'a' && c <= u'f')
    return c - u'a' + 10;
  if (c >= u'A' && c <= u'F')
    return c - u'A' + 10;
  return -1;
}

bool IsModifierChar(char16_t c) {
  switch (c) {
  case u'i':
  case u'I':
  case u'r':
  case u'R':
  case u's':
  case u'S':
  case u'g':
  case u'G':
  case u'm':
  case u'M':
  case u'x':
  case u'X':
  case u'-':
    return true;
  default:
    return false;
  }
}

// The Russian alphabets in dictionary order, "ё"/"Ё" after "е"/"Е".
constexpr char16_t RussianLower[] = u"абвгдеёжзийклмнопрстуфхцчшщъыьэюя";
constexpr char16_t RussianUpper[] = u"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";

} // namespace

int32_t TRegExpr::ParseAtom(int& flagp) {
  flagp = WORST;
  const char16_t c = *regparse;
  if ((fCompModifiers & MaskModX) && (IsExtendedSpace(c) || c == u'#')) {
    SkipExtendedSpace();
    return EmitNode(COMMENT);
  }
  const bool multiLine = (fCompModifiers & MaskModM) && (!fLineSeparators.IsEmpty() || fLinePairedSeparatorAssigned);
  ++regparse;
  switch (c) {
  case u'^':
    return EmitNode(multiLine ? BOLML : BOL);
  case u'$':
    return EmitNode(multiLine ? EOLML : EOL);
  case u'.':
    if (fCompModifiers & MaskModS) {
      flagp = HASWIDTH | SIMPLE;
      return EmitNode(ANY);
    }
    flagp = HASWIDTH;
    return EmitNode(ANYML);
  case u'[':
    return ParseSet(flagp);
  case u'(':
    return ParseGroupOrOption(flagp);
  case 0:
  case u'|':
  case u')':
    --regparse; // the callers stop before these
    Raise(114);
  case u'?':
  case u'+':
  case u'*':
    Raise(115);
  case u'\\':
    return ParseEscapeAtom(flagp);
  default:
    --regparse;
    return ParseLiteralRun(flagp);
  }
}

// A run of blanks, or a "#" comment with the line breaks after it.
void TRegExpr::SkipExtendedSpace() {
  if (*regparse == u'#') {
    while (*regparse != 0 && *regparse != u'\r' && *regparse != u'\n')
      ++regparse;
    while (*regparse == u'\r' || *regparse == u'\n')
      ++regparse;
    return;
  }
  while (IsExtendedSpace(*regparse))
    ++regparse;
}

int32_t TRegExpr::ParseEscapeAtom(int& flagp) {
  const char16_t c = *regparse;
  if (c == 0)
    Raise(116);
  const bool ci = fCompModifiers & MaskModI;
  char16_t op = 0;
  switch (c) {
  case u'w':
    op = ANYLETTER;
    break;
  case u'W':
    op = NOTLETTER;
    break;
  case u'd':
    op = ANYDIGIT;
    break;
  case u'D':
    op = NOTDIGIT;
    break;
  case u's':
    op = ANYSPACE;
    break;
  case u'S':
    op = NOTSPACE;
    break;
  case u'b':
    ++regparse;
    return EmitNode(BOUND);
  case u'B':
    ++regparse;
    return EmitNode(NOTBOUND);
  case u'A':
    ++regparse;
    return EmitNode(BOL);
  case u'Z':
    ++regparse;
    return EmitNode(EOL);
  default:
    break;
  }
  flagp = HASWIDTH | SIMPLE;
  if (op != 0) {
    ++regparse;
    return EmitNode(op);
  }
  if (c >= u'1' && c <= u'9') {
    ++regparse;
    const int32_t ret = EmitNode(ci ? BSUBEXPCI : BSUBEXP);
    EmitC(char16_t(c - u'0'));
    return ret;
  }
  const char16_t unit = UnQuoteChar();
  // The subject ends at its first 0 unit, so "\x00" can never match: an
  // empty set says so, where a 0-terminated literal would match anything.
  const int32_t ret = EmitNode(unit == 0 ? ANYOF : (ci ? EXACTLYCI : EXACTLY));
  if (unit != 0)
    EmitC(unit);
  EmitC(0);
  return ret;
}

// "(?#...)" comments and "(?imsx-imsx)" modifiers become COMMENT nodes;
// anything else after "(" is a group.
int32_t TRegExpr::ParseGroupOrOption(int& flagp) {
  if (*regparse != u'?') {
    int flags = 0;
    const int32_t ret = ParseReg(true, flags);
    flagp |= flags & (HASWIDTH | SPSTART);
    return ret;
  }
  if (regparse[1] == u'#') {
    regparse += 2;
    while (*regparse != 0 && *regparse != u')')
      ++regparse;
    if (*regparse != u')')
      Raise(125);
    ++regparse;
    return EmitNode(COMMENT);
  }
  const char16_t* begin = ++regparse;
  while (*regparse != u')') {
    if (*regparse == 0 || !IsModifierChar(*regparse))
      Raise(127);
    ++regparse;
  }
  ParseModifiers(begin, regparse, fCompModifiers);
  ++regparse;
  return EmitNode(COMMENT);
}

// The unit an escape stands for; regparse is on the character after "\".
char16_t TRegExpr::UnQuoteChar() {
  const char16_t c = *regparse++;
  switch (c) {
  case u't':
    return u'\t';
  case u'n':
    return u'\n';
  case u'r':
    return u'\r';
  case u'f':
    return u'\f';
  case u'a':
    return 7;
  case u'e':
    return 27;
  case u'x':
    return ParseHex();
  default:
    return c;
  }
}

// "\x" followed by two hexadecimal digits or by "{" one to four digits "}".
char16_t TRegExpr::ParseHex() {
  if (*regparse == 0)
    Raise(111);
  uint32_t value = 0;
  if (*regparse != u'{') {
    for (int i = 0; i < 2; ++i) {
      const int d = HexValue(*regparse);
      if (d < 0)
        Raise(108);
      value = value * 16 + uint32_t(d);
      ++regparse;
    }
    return char16_t(value);
  }
  ++regparse;
  int digits = 0;
  for (; *regparse != u'}'; ++regparse, ++digits) {
    if (*regparse == 0)
      Raise(111);
    const int d = HexValue(*regparse);
    if (d < 0)
      Raise(108);
    if (digits == 4)
      Raise(112);
    value = value * 16 + uint32_t(d);
  }
  if (digits == 0)
    Raise(108);
  ++regparse;
  return char16_t(value);
}

// Appends the members lo..hi to a set under construction, joining them to
// the last run when they continue it. The runs stay in written order, so
// that the listing shows the members as the pattern gave them.
void TRegExpr::AddSetRun(TSetRuns& runs, char16_t lo, char16_t hi) {
  if (lo == 0)
    ++lo; // a 0 unit would end the operand; it never matches anyway
  if (lo > hi)
    return;
  if (!runs.empty() && runs.back().second != SetRangeMark && runs.back().second + 1 == lo) {
    runs.back().second = hi;
    return;
  }
  // Every run costs at least one unit of the program.
  if (int64_t(runs.size()) + int64_t(programm.size()) >= MaxProgramUnits)
    Raise(101);
  runs.emplace_back(lo, hi);
}

// Adds lo+1 .. hi to the set (lo is in already). With modifier r the Russian
// ranges take the whole 33-letter alphabets, which code order would not.
void TRegExpr::AddRange(TSetRuns& runs, char16_t lo, char16_t hi) {
  if (fCompModifiers & MaskModR) {
    const bool fromLower = lo == RussianLower[0], fromUpper = lo == RussianUpper[0];
    const bool toLower = hi == RussianLower[32], toUpper = hi == RussianUpper[32];
    if ((fromLower && (toLower || toUpper)) || (fromUpper && toUpper)) {
      for (const char16_t* u = fromLower ? RussianLower + 1 : RussianUpper + 1; *u != 0; ++u)
        AddSetRun(runs, *u, *u);
      if (fromLower && toUpper)
        for (const char16_t* u = RussianUpper; *u != 0; ++u)
          AddSetRun(runs, *u, *u);
      return;
    }
  }
  if (lo > hi)
    Raise(109);
  if (lo < hi)
    AddSetRun(runs, char16_t(lo + 1), hi);
}

void TRegExpr::AddSetUnits(TSetRuns& runs, const QString& units) {
  for (QChar c : units)
    AddSetRun(runs, c.unicode(), c.unicode());
}

int32_t TRegExpr::ParseSet(int& flagp) {
  bool negate = false;
  if (*regparse == u'^') {
    negate = true;
    ++regparse;
  }
  TSetRuns runs;
  char16_t prev = 0;     // the last single member, a possible range start
  bool canRange = false; // prev may start a range
  auto addUnit = [&](char16_t u) {
    AddSetRun(runs, u, u);
    prev = u;
    canRange = true;
  };
  if (*regparse == u']' || *regparse == u'-')
    addUnit(*regparse++);
  while (*regparse != 0 && *regparse != u']') {
    const char16_t c = *regparse;
    if (c == u'-' && canRange) {
      const char16_t n = regparse[1];
      const bool classAhead = n == u'\\' && QStringView(u"dswDSW").contains(QChar(regparse[2]));
      if (n == u']' || n == 0 || classAhead) {
        AddSetRun(runs, u'-', u'-');
        ++regparse;
        canRange = false;
        continue;
      }
      regparse += 2;
      char16_t hi = n;
      if (n == u'\\') {
        if (*regparse == 0)
          Raise(110);
        hi = UnQuoteChar();
      }
      AddRange(runs, prev, hi);
      canRange = false;
      continue;
    }
    ++regparse;
    if (c != u'\\') {
      addUnit(c);
      continue;
    }
    const char16_t e = *regparse;
    if (e == 0)
      Raise(110);
    if (e == u'd' || e == u's' || e == u'w') {
      if (e == u'd')
        AddSetRun(runs, u'0', u'9');
      else
        AddSetUnits(runs, e == u's' ? fSpaceChars.Units() : fWordChars.Units());
      ++regparse;
      canRange = false;
      continue;
    }
    addUnit(UnQuoteChar());
  }
  if (*regparse != u']')
    Raise(113);
  ++regparse;
  flagp = HASWIDTH | SIMPLE;
  const bool ci = fCompModifiers & MaskModI;
  const int32_t ret = EmitNode(negate ? (ci ? ANYBUTCI : ANYBUT) : (ci ? ANYOFCI : ANYOF));
  EmitSetOperand(runs);
  return ret;
}

// The longest run of ordinary characters (a leading "{" included). When a
// quantifier follows a run of several, the last character is left to be the
// quantifier's atom. With modifier x, blanks inside the run are dropped and
// "#" ends it.
int32_t TRegExpr::ParseLiteralRun(int& flagp) {
  const bool extended = fCompModifiers & MaskModX;
  QString lit;
  const char16_t* p = regparse;
  const char16_t* last = p; // where the last character taken stands
  for (bool first = true;; first = false) {
    const char16_t c = *p;
    if (c == 0 || (!first && IsMeta(c)) || (extended && c == u'#'))
      break;
    if (extended && IsExtendedSpace(c)) {
      ++p;
      continue;
    }
    last = p++;
    lit += QChar(c);
  }
  if (lit.isEmpty())
    Raise(119);
  if (lit.size() > 1 && IsQuantifierAhead(p)) {
    lit.chop(1);
    p = last;
  }
  regparse = p;
  flagp = HASWIDTH | (lit.size() == 1 ? SIMPLE : 0);
  const int32_t ret = EmitNode((fCompModifiers & MaskModI) ? EXACTLYCI : EXACTLY);
  EmitString(lit);
  return ret;
}

} // namespace zarv
