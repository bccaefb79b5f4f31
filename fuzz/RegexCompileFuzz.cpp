// Fuzz target for compiling a regular expression.
//
// The first byte picks the modifiers (one bit each for i, r, s, g, m, x);
// the rest, read as UTF-8, is the pattern. A pattern either compiles, and
// then its program lists without error, or raises ERegExpr with a compile
// code, a position inside the pattern and the message of that code. Either
// way the object must compile the next pattern as if new.
#include <ZarvMemo/regex/RegExpr.h>

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace zarv;

namespace {

[[noreturn]] void Fail(const char* what, const QString& detail = {}) {
  std::fprintf(stderr, "RegexCompileFuzz: %s %s\n", what, detail.toStdString().c_str());
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const QString pattern = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
  // The compiler sees the pattern up to its first 0 unit.
  const qsizetype zero = pattern.indexOf(QChar(0));
  const qsizetype length = zero < 0 ? pattern.size() : zero;
  TRegExpr r;
  for (int i = 0; i < 6; ++i)
    r.SetModifier(i + 1, (data[0] >> i) & 1);
  r.SetExpression(pattern);
  try {
    r.Compile();
    if (!r.Dump().contains(QLatin1String("END (0) \n")))
      Fail("listing without END:", pattern);
  } catch (const ERegExpr& e) {
    if (pattern.isEmpty() && e.ErrorCode == 1003)
      return 0; // no expression at all
    if (e.ErrorCode < 100 || e.ErrorCode > 128)
      Fail("not a compile error:", e.message());
    if (e.CompilerErrorPos < 0 || e.CompilerErrorPos > length)
      Fail("error position outside the pattern:", e.message());
    if (e.message() != r.ErrorMsg(e.ErrorCode) + QStringLiteral(" (pos %1)").arg(e.CompilerErrorPos))
      Fail("message does not follow the rule:", e.message());
    if (r.LastError() != e.ErrorCode || r.CompilerErrorPos() != 0)
      Fail("error state not kept or not cleared:", e.message());
  }
  r.SetModifierStr(QStringLiteral("gsr-imx"));
  r.SetExpression(QStringLiteral("(a|b)c"));
  if (!r.Exec(QStringLiteral("xbc")) || r.MatchPos(0) != 2 || r.MatchPos(1) != 2)
    Fail("object unusable after:", pattern);
  return 0;
}
