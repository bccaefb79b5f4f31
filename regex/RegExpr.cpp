// TRegExpr: construction, properties, modifiers and error reporting.
//
// Setters that change what the compiled program depends on (the pattern,
// the line separators) drop the program; the modifiers are compared with
// those of the program at the next execution instead, so that toggling a
// modifier back and forth costs nothing.
#include <ZarvMemo/regex/RegExpr.h>
#include <ZarvMemo/regex/RegExprFrame.h>
#include <ZarvMemo/regex/RegExprTables.h>

#include <QChar>

namespace zarv {

using namespace regexprog;

namespace {

// Modifier letters in modifier-number order (1 = i ... 6 = x); bit n-1.
constexpr char16_t ModifierLetters[] = u"irsgmx";

const char* ErrorText(int32_t code) {
  switch (code) {
  case 0:
    return "No errors";
  case 100:
    return "TRegExpr(comp): Null Argument";
  case 101:
    return "TRegExpr(comp): Regexp Too Big";
  case 102:
    return "TRegExpr(comp): ParseReg Too Many ()";
  case 103:
    return "TRegExpr(comp): ParseReg Unmatched ()";
  case 104:
    return "TRegExpr(comp): ParseReg Unmatched ()";
  case 105:
    return "TRegExpr(comp): ParseReg Junk On End";
  case 106:
    return "TRegExpr(comp): *+ Operand Could Be Empty";
  case 107:
    return "TRegExpr(comp): Nested *?+";
  case 108:
    return "TRegExpr(comp): Bad Hex Digit";
  case 109:
    return "TRegExpr(comp): Invalid [] Range";
  case 110:
    return "TRegExpr(comp): Parse Atom Trailing \\";
  case 111:
    return "TRegExpr(comp): No Hex Code After \\x";
  case 112:
    return "TRegExpr(comp): Hex Code After \\x Is Too Big";
  case 113:
    return "TRegExpr(comp): Unmatched []";
  case 114:
    return "TRegExpr(comp): Internal Urp";
  case 115:
    return "TRegExpr(comp): ?+*{ Follows Nothing";
  case 116:
    return "TRegExpr(comp): Trailing \\";
  case 119:
    return "TRegExpr(comp): RarseAtom Internal Disaster";
  case 122:
    return "TRegExpr(comp): BRACES Argument Too Big";
  case 124:
    return "TRegExpr(comp): BRACE Min Param Greater then Max";
  case 125:
    return "TRegExpr(comp): Unclosed (?#Comment)";
  case 126:
    return "TRegExpr(comp): If you want take part in beta-testing BRACES '{min,max}' and non-greedy ops '*?', '+?', "
           "'?"
           "?' for complex cases - remove '.' from {.$DEFINE ComplexBraces}";
  case 127:
    return "TRegExpr(comp): Urecognized Modifier";
  case 128:
    return "TRegExpr(comp): LinePairedSeparator must countain two different chars or no chars at all";
  case 1000:
    return "TRegExpr(exec): RegRepeat Called Inappropriately";
  case 1001:
    return "TRegExpr(exec): MatchPrim Memory Corruption";
  case 1002:
    return "TRegExpr(exec): MatchPrim Corrupted Pointers";
  case 1003:
    return "TRegExpr(exec): Not Assigned Expression Property";
  case 1004:
    return "TRegExpr(exec): Corrupted Program";
  case 1005:
    return "TRegExpr(exec): No Input String Specified";
  case 1006:
    return "TRegExpr(exec): Offset Must Be Greater Then 0";
  case 1007:
    return "TRegExpr(exec): ExecNext Without Exec[Pos]";
  case 1008:
    return "TRegExpr(exec): GetInputString Without InputString";
  case 1011:
    return "TRegExpr(dump): Corrupted Opcode";
  case 1014:
    return "TRegExpr(exec): Loop Stack Exceeded";
  case 1015:
    return "TRegExpr(exec): Loop Without LoopEntry !";
  case reeStepLimitExceeded:
    return "TRegExpr(exec): Step Limit Exceeded";
  case reeBacktrackLimitExceeded:
    return "TRegExpr(exec): Backtrack Limit Exceeded";
  case 2000:
    return "TRegExpr(misc): Bad p-code imported";
  default:
    return "Unknown error";
  }
}

} // namespace

TRegExpr::TRegExpr()
    : fSpaceChars(QString::fromUtf16(RegExprSpaceChars)), fWordChars(QString::fromUtf16(RegExprWordChars)),
      fLineSeparators(QString::fromUtf16(RegExprLineSeparators)), fInvertCase(&TRegExpr::InvertCaseFunction) {
  fModifiers = (RegExprModifierI ? MaskModI : 0) | (RegExprModifierR ? MaskModR : 0) |
               (RegExprModifierS ? MaskModS : 0) | (RegExprModifierG ? MaskModG : 0) |
               (RegExprModifierM ? MaskModM : 0);
  fCompModifiers = fProgModifiers = fModifiers;
  ClearMatches();
  for (int32_t& k : LoopStack)
    k = 0;
}

TRegExpr::~TRegExpr() = default;

void TRegExpr::SetExpression(const QString& AStr) {
  if (AStr.isEmpty())
    fExpression.reset();
  else
    fExpression = AStr;
  InvalidateProgramm();
}

// ---- Modifiers ---------------------------------------------------------------

bool TRegExpr::ParseModifiers(const char16_t* begin, const char16_t* end, int& mods) {
  bool on = true;
  for (const char16_t* p = begin; p < end; ++p) {
    const char16_t c = (*p >= u'A' && *p <= u'Z') ? char16_t(*p + 32) : *p;
    if (c == u'-') {
      on = false;
      continue;
    }
    int bit = 0;
    for (int i = 0; i < 6; ++i)
      if (ModifierLetters[i] == c)
        bit = 1 << i;
    if (bit == 0)
      return false;
    mods = on ? (mods | bit) : (mods & ~bit);
  }
  return true;
}

// The letters that are on come first, the last-numbered first, except that
// "i" leads when it is on ("igsr-mx"); the letters that are off follow the
// "-" in number order ("gsr-imx").
QString TRegExpr::ModifierStr() const {
  QString on, off;
  for (int i = 1; i < 6; ++i) {
    if (fModifiers & (1 << i))
      on.prepend(QChar(ModifierLetters[i]));
    else
      off.append(QChar(ModifierLetters[i]));
  }
  if (fModifiers & MaskModI)
    on.prepend(QLatin1Char('i'));
  else
    off.prepend(QLatin1Char('i'));
  return off.isEmpty() ? on : on + QLatin1Char('-') + off;
}

void TRegExpr::SetModifierStr(const QString& AStr) {
  int mods = fModifiers;
  const char16_t* p = reinterpret_cast<const char16_t*>(AStr.utf16());
  if (!ParseModifiers(p, p + AStr.size(), mods))
    Raise(1013);
  fModifiers = mods;
}

bool TRegExpr::GetModifier(int32_t AIndex) const {
  if (AIndex < 1 || AIndex > 6)
    const_cast<TRegExpr*>(this)->Raise(1013);
  return fModifiers & (1 << (AIndex - 1));
}

void TRegExpr::SetModifier(int32_t AIndex, bool ASet) {
  if (AIndex < 1 || AIndex > 6)
    Raise(1013);
  const int bit = 1 << (AIndex - 1);
  fModifiers = ASet ? (fModifiers | bit) : (fModifiers & ~bit);
}

// ---- Separators and case -------------------------------------------------------

void TRegExpr::SetLineSeparators(const QString& AStr) {
  if (AStr == fLineSeparators.Units())
    return;
  fLineSeparators.Assign(AStr);
  InvalidateProgramm();
  fFirstUnitsReady = false;
}

QString TRegExpr::LinePairedSeparator() const {
  if (!fLinePairedSeparatorAssigned)
    return QString();
  return QString(QChar(fLinePairedSeparatorHead)) + QChar(fLinePairedSeparatorTail);
}

void TRegExpr::SetLinePairedSeparator(const QString& AStr) {
  if (AStr.size() == 2 && AStr[0] != AStr[1]) {
    const char16_t head = AStr[0].unicode(), tail = AStr[1].unicode();
    if (fLinePairedSeparatorAssigned && head == fLinePairedSeparatorHead && tail == fLinePairedSeparatorTail)
      return;
    fLinePairedSeparatorAssigned = true;
    fLinePairedSeparatorHead = head;
    fLinePairedSeparatorTail = tail;
  } else if (AStr.isEmpty()) {
    if (!fLinePairedSeparatorAssigned)
      return;
    fLinePairedSeparatorAssigned = false;
  } else {
    Raise(128);
  }
  InvalidateProgramm();
}

void TRegExpr::SetInvertCase(const TRegExprInvertCaseFunction& AFunc) {
  fInvertCase = AFunc ? AFunc : TRegExprInvertCaseFunction(&TRegExpr::InvertCaseFunction);
  fInvertCaseIsDefault = !AFunc;
  fFirstUnitsReady = false;
}

// Units from U+20AC upwards are left alone: the simple case mapping of the
// higher blocks is not one unit to one unit everywhere.
char16_t TRegExpr::InvertCaseFunction(char16_t Ch) {
  if (Ch >= 0x20AC)
    return Ch;
  const char16_t up = QChar(Ch).toUpper().unicode();
  if (up != Ch)
    return up;
  return QChar(Ch).toLower().unicode();
}

// ---- Program -------------------------------------------------------------------

void TRegExpr::Compile() {
  if (!fExpression)
    Raise(1003);
  CompileRegExpr(reinterpret_cast<const char16_t*>(fExpression->utf16()));
}

void TRegExpr::InvalidateProgramm() {
  programm.clear();
  programm.shrink_to_fit();
  ClearDerivedTables();
  fReqUnit = 0;
  fLeadRepeat = fLiteral = 0;
  fExprIsCompiled = false;
}

bool TRegExpr::IsProgrammOk() {
  if (programm.empty() || fModifiers != fProgModifiers)
    Compile();
  if (programm.empty())
    return false;
  if (programm[0] != MAGIC)
    Raise(1004);
  return true;
}

// ---- Errors --------------------------------------------------------------------

int32_t TRegExpr::LastError() {
  const int32_t e = fLastError;
  fLastError = 0;
  return e;
}

QString TRegExpr::ErrorMsg(int32_t AErrorID) const { return QString::fromLatin1(ErrorText(AErrorID)); }

int32_t TRegExpr::CompilerErrorPos() const {
  if (regexpbeg == nullptr || regparse == nullptr)
    return 0;
  return int32_t(regparse - regexpbeg);
}

void TRegExpr::Error(int32_t AErrorID) {
  fLastError = AErrorID;
  const int32_t pos = CompilerErrorPos();
  QString message = ErrorMsg(AErrorID);
  if (AErrorID < 1000)
    message += QStringLiteral(" (pos %1)").arg(pos);
  throw ERegExpr(message, AErrorID, pos);
}

void TRegExpr::Raise(int32_t AErrorID) {
  Error(AErrorID);
  // An override of Error that returns must not let the engine go on.
  throw ERegExpr(ErrorMsg(AErrorID), AErrorID, CompilerErrorPos());
}

} // namespace zarv
