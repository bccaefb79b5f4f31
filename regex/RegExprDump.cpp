// TRegExpr::Dump: a readable listing of the compiled program.
//
// One line per node in program order: its index and opcode name, the index
// of the node it continues with (0 for none), the counts of counted nodes,
// the loop body of loops, and the text of literal and set operands (a set
// lists every member, its ranges spelt out). Lines
// about the search hints the compiler derived follow the nodes. Tests
// compare listings to check the compiler's output node by node.
#include <ZarvMemo/regex/RegExpr.h>

namespace zarv {

using namespace regexprog;

namespace {

const char* OpName(char16_t op) {
  static const char* const names[] = {
      "END",      "BOL",          "EOL",           "ANY",     "ANYOF",      "ANYBUT",     "BRANCH",    "BACK",
      "EXACTLY",  "NOTHING",      "STAR",          "PLUS",    "ANYDIGIT",   "NOTDIGIT",   "ANYLETTER", "NOTLETTER",
      "ANYSPACE", "NOTSPACE",     "BRACES",        "COMMENT", "EXACTLY/CI", "ANYOF/CI",   "ANYBUT/CI", "LOOPENTRY",
      "LOOP",     "ANYOFTINYSET", "ANYBUTTINYSET", nullptr,   "BSUBEXP",    "BSUBEXP/CI", "STARNG",    "PLUSNG",
      "BRACESNG", "LOOPNG",       "BOLML",         "EOLML",   "ANYML",      "BOUND",      "NOTBOUND"};
  return op < sizeof(names) / sizeof(names[0]) ? names[op] : nullptr;
}

} // namespace

QString TRegExpr::Dump() {
  if (!IsProgrammOk())
    return QString();
  const char16_t* prog = programm.data();
  QString out;
  char16_t op = EXACTLY;
  for (int32_t s = 1; op != END;) {
    op = prog[s];
    QString name;
    if (IsOpen(op))
      name = QStringLiteral("OPEN[%1]").arg(op - OPEN);
    else if (IsClose(op))
      name = QStringLiteral("CLOSE[%1]").arg(op - CLOSE);
    else if (const char* n = OpName(op))
      name = QString::fromLatin1(n);
    else
      Raise(1011);
    out += QString::asprintf("%2d", s) + name + QString::asprintf(" (%d) ", NextOf(prog, s));
    const int32_t opnd = OperandOf(s);
    s = opnd;
    if (op == BRACES || op == BRACESNG) {
      out += QString::asprintf("{%d,%d}", Read32(prog + opnd), Read32(prog + opnd + 2));
      s += BracesOperand;
    } else if (op == LOOP || op == LOOPNG) {
      const int32_t body = opnd - NodeSize - Read32(prog + opnd + 4);
      out += QString::asprintf(" -> (%d) {%d,%d}", body, Read32(prog + opnd), Read32(prog + opnd + 2));
      s += LoopOperand;
    } else if (op == EXACTLY || op == EXACTLYCI) {
      while (prog[s] != 0)
        out += QChar(prog[s++]);
      ++s;
    } else if (IsLiteralOperand(op)) { // a set: ranges listed member by member
      ForEachSetRun(prog + s, [&](char16_t lo, char16_t hi) {
        for (uint32_t u = lo; u <= hi; ++u)
          out += QChar(char16_t(u));
      });
      s = NodeEnd(prog, s - NodeSize);
    } else if (op == ANYOFTINYSET || op == ANYBUTTINYSET) {
      for (int i = 0; i < 3; ++i)
        out += QChar(prog[s++]);
    } else if (op == BSUBEXP || op == BSUBEXPCI) {
      s += 1;
    }
    out += QLatin1Char('\n');
  }
  if (regstart != 0)
    out += QStringLiteral("start char: ") + QChar(regstart) + QLatin1Char('\n');
  if (reganch != 0)
    out += QStringLiteral("anchored\n");
  if (regmust != 0)
    out += QStringLiteral("must have: ") + QString(reinterpret_cast<const QChar*>(prog + regmust), qsizetype(regmlen)) +
           QLatin1Char('\n');
  return out;
}

} // namespace zarv
