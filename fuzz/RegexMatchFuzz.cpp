// Fuzz target for matching: compile a pattern, then search a subject for
// every match, substitute and split.
//
// Input: one byte of modifiers (i, r, s, g, m, x), then the pattern and the
// subject as UTF-8, separated by the first 0 byte. Searches run with a small
// step budget and backtracking limit so that each input stays quick; those
// guards, the loop-stack limit and compile errors are the only ERegExpr
// allowed. Every match must lie inside the subject, every group inside its
// match, and successive matches must move forward; a search that starts
// where a match starts must find that match again (what a search skips or
// remembers about the subject must not change its result).
#include <ZarvMemo/platform/StringList.h>
#include <ZarvMemo/regex/RegExpr.h>

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace zarv;

namespace {

[[noreturn]] void Fail(const char* what, const QString& pattern, const QString& subject) {
  std::fprintf(stderr, "RegexMatchFuzz: %s /%s/ on \"%s\"\n", what, pattern.toStdString().c_str(),
               subject.toStdString().c_str());
  std::abort();
}

void CheckMatch(const TRegExpr& r, const QString& pattern, const QString& subject) {
  const int32_t pos = r.MatchPos(0), len = r.MatchLen(0);
  if (pos < 1 || len < 0 || pos + len > subject.size() + 1)
    Fail("match outside the subject", pattern, subject);
  if (r.Match(0) != subject.mid(pos - 1, len))
    Fail("match text differs from its bounds", pattern, subject);
  for (int i = 1; i < 15; ++i) {
    if (r.MatchPos(i) < 0)
      continue;
    if (r.MatchPos(i) < pos || r.MatchPos(i) + r.MatchLen(i) > pos + len)
      Fail("group outside its match", pattern, subject);
  }
}

// A second object, searching from where r's match starts, finds the same
// match and groups.
void CheckFoundAgain(const TRegExpr& r, const QString& pattern, const QString& subject) {
  TRegExpr again;
  again.SetExpression(pattern);
  again.SetModifierStr(r.ModifierStr());
  again.SetStepLimit(r.StepLimit());
  again.SetBacktrackLimit(r.BacktrackLimit());
  again.SetInputString(subject);
  try {
    if (!again.ExecPos(r.MatchPos(0)))
      Fail("a search from the match start finds nothing", pattern, subject);
  } catch (const ERegExpr&) {
    return; // the guards may stop either search
  }
  for (int i = 0; i < 15; ++i)
    if (again.MatchPos(i) != r.MatchPos(i) || again.MatchLen(i) != r.MatchLen(i))
      Fail("a search from the match start finds another match", pattern, subject);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const char* text = reinterpret_cast<const char*>(data + 1);
  const size_t rest = size - 1;
  const char* zero = static_cast<const char*>(std::memchr(text, 0, rest));
  const size_t patternLen = zero ? size_t(zero - text) : rest;
  const QString pattern = QString::fromUtf8(text, qsizetype(patternLen));
  const QString subject =
      zero ? QString::fromUtf8(zero + 1, qsizetype(rest - patternLen - 1)).remove(QChar(0)) : QString();

  TRegExpr r;
  for (int i = 0; i < 6; ++i)
    r.SetModifier(i + 1, (data[0] >> i) & 1);
  r.SetExpression(pattern);
  r.SetStepLimit(200'000);
  r.SetBacktrackLimit(100'000);
  try {
    r.Compile();
  } catch (const ERegExpr&) {
    return 0;
  }
  try {
    int32_t last = 0;
    int matches = 0;
    for (bool found = r.Exec(subject); found && matches < 1000; found = r.ExecNext(), ++matches) {
      CheckMatch(r, pattern, subject);
      CheckFoundAgain(r, pattern, subject);
      if (r.MatchPos(0) < last)
        Fail("ExecNext went backwards", pattern, subject);
      last = r.MatchPos(0) + (r.MatchLen(0) == 0 ? 1 : 0);
      (void)r.Substitute(QStringLiteral("$1${2}$&\\$"));
    }
    if (matches < 1000) {
      TStringList pieces;
      r.Split(subject, pieces);
      if (pieces.GetCount() != matches + 1)
        Fail("split pieces do not follow the matches", pattern, subject);
    }
  } catch (const ERegExpr& e) {
    if (e.ErrorCode != reeStepLimitExceeded && e.ErrorCode != reeBacktrackLimitExceeded && e.ErrorCode != 1014)
      Fail(e.what(), pattern, subject);
  }
  return 0;
}
