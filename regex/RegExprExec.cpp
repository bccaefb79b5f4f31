// TRegExpr: searching a subject, the match results, substitution, replace
// and split.
//
// A search tries the program at successive start positions, skipping those
// the compiler's hints rule out: an anchored pattern is tried once, a
// pattern with a known first unit only where that unit occurs, and a
// pattern with a mandatory literal not at all when the subject lacks it.
// The subject ends at its first 0 unit; it is found once when the subject
// is assigned, so that ExecNext over a long subject stays linear.
#include <ZarvMemo/regex/RegExpr.h>
#include <ZarvMemo/regex/RegExprFrame.h>
#include <ZarvMemo/regex/RegExprTables.h>

#include <ZarvMemo/platform/Strings.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zarv {

using namespace regexprog;

namespace {

const char16_t* Units(const QString& s) { return reinterpret_cast<const char16_t*>(s.utf16()); }

} // namespace

void TRegExpr::ClearMatches() {
  for (int i = 0; i < NSUBEXP; ++i)
    startp[i] = endp[i] = nullptr;
}

void TRegExpr::AssignSubject(QStringView subject) {
  static const char16_t empty[1] = {0};
  ClearMatches();
  fSubject = subject;
  fInputAssigned = true;
  fInputStart = subject.utf16() != nullptr ? subject.utf16() : empty;
  const qsizetype zero = subject.indexOf(QChar(0));
  fInputEnd = fInputStart + (zero < 0 ? subject.size() : zero);
  fReqLastKnown = false;
  fRunNode = 0;
}

QString TRegExpr::InputString() const {
  if (!fInputAssigned)
    const_cast<TRegExpr*>(this)->Raise(1008);
  return fInputIsView ? fSubject.toString() : fInputString;
}

void TRegExpr::SetInputString(const QString& AInputString) {
  fInputString = AInputString; // shares the text: no copy unless the caller changes theirs
  fInputIsView = false;
  AssignSubject(QStringView(Units(fInputString), fInputString.size()));
}

bool TRegExpr::Exec(const QString& AInputString) {
  SetInputString(AInputString);
  return ExecPrim(1);
}

bool TRegExpr::Exec() { return ExecPrim(1); }

bool TRegExpr::Exec(int32_t AOffset) { return ExecPrim(AOffset); }

bool TRegExpr::ExecPos(int32_t AOffset) { return ExecPrim(AOffset); }

bool TRegExpr::ExecView(QStringView ASubject, int32_t AOffset) {
  fInputString.clear();
  fInputIsView = true;
  AssignSubject(ASubject);
  return ExecPrim(AOffset);
}

bool TRegExpr::ExecNext() {
  if (startp[0] == nullptr || endp[0] == nullptr)
    Raise(1007);
  int32_t offset = MatchPos(0) + MatchLen(0);
  if (MatchLen(0) == 0)
    ++offset;
  return ExecPrim(offset);
}

bool TRegExpr::ExecPrim(int32_t AOffset) {
  ClearMatches();
  if (!IsProgrammOk())
    return false;
  if (!fInputAssigned)
    Raise(1005);
  if (AOffset < 1)
    Raise(1006);
  if (AOffset > fInputEnd - fInputStart + 1)
    return false;
  const char16_t* s = fInputStart + (AOffset - 1);
  if (!fFirstUnitsReady)
    PrepareFirstUnits();
  if (regmust != 0) {
    const QStringView must(programm.data() + regmust, regmlen);
    if (QStringView(s, fInputEnd - s).indexOf(must) < 0)
      return false;
  }
  fStepsLeft = fStepLimit > 0 ? fStepLimit : std::numeric_limits<int64_t>::max();
  try {
    return SearchFrom(s);
  } catch (...) {
    // A guard or a program fault stopped the search: leave no half match.
    ClearMatches();
    fBacktrack.clear();
    LoopStackIdx = 0;
    throw;
  }
}

// The first unit at or after s that can begin a match, or fInputEnd. When
// those units form a few ranges (digits, a letter in both cases), eight
// units at a time are tested against them; otherwise four units are looked
// up between two checks of the end. Most units of a text begin no match.
const char16_t* TRegExpr::NextFirstUnit(const char16_t* s) const {
  const uint64_t* first = fFirstUnits.data();
  auto can = [first](char16_t u) { return (first[u >> 6] >> (u & 63)) & 1; };
  for (const char16_t* near = s + std::min<ptrdiff_t>(4, fInputEnd - s); s < near; ++s)
    if (can(*s)) // gaps between candidates are often short
      return s;
#if defined(__SSE2__)
  if (fFirstRanges > 0) {
    __m128i lo[MaxFirstRanges], span[MaxFirstRanges];
    for (int k = 0; k < fFirstRanges; ++k) {
      lo[k] = _mm_set1_epi16(short(fFirstLo[k]));
      span[k] = _mm_set1_epi16(short(fFirstSpan[k]));
    }
    const __m128i zero = _mm_setzero_si128();
    for (; fInputEnd - s >= 8; s += 8) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
      __m128i hit = zero;
      for (int k = 0; k < fFirstRanges; ++k) // v - lo <= span, unsigned: in the range
        hit = _mm_or_si128(hit, _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, lo[k]), span[k]), zero));
      if (const int mask = _mm_movemask_epi8(hit))
        return s + std::countr_zero(unsigned(mask)) / 2;
    }
  }
#endif
  for (; fInputEnd - s >= 4; s += 4)
    if (can(s[0]) | can(s[1]) | can(s[2]) | can(s[3]))
      break;
  while (s < fInputEnd && !can(*s))
    ++s;
  return s;
}

// Tries the starts from s on, as the hints allow; every start is first
// checked for the required unit ahead of it, whose absence ends the search.
bool TRegExpr::SearchFrom(const char16_t* s) {
  if (reganch != 0)
    return RequiredUnitAhead(s) && RegMatchAt(s);
  if (fLiteral != 0)
    return SearchLiteral(s);
  if (regstart != 0) {
    for (;;) {
      const qsizetype at = QStringView(s, fInputEnd - s).indexOf(QChar(regstart));
      if (at < 0)
        return false;
      s += at;
      if (!RequiredUnitAhead(s))
        return false;
      if (RegMatchAt(s))
        return true;
      ++s; // no leading repeat here: the program starts with a literal
    }
  }
  if (!fFirstUnits.empty()) {
    const uint64_t* first = fFirstUnits.data();
    for (;; ++s) {
      if (s < fInputEnd && !((first[*s >> 6] >> (*s & 63)) & 1))
        s = NextFirstUnit(s + 1);
      if (s == fInputEnd) // no match is empty
        return false;
      if (!RequiredUnitAhead(s))
        return false;
      if (RegMatchAt(s))
        return true;
      if (fSkipThrough != nullptr && !PassFailedStarts(s))
        return false;
    }
  }
  for (;; ++s) { // up to and including the end: an empty match may stand there
    if (!RequiredUnitAhead(s))
      return false;
    if (RegMatchAt(s))
      return true;
    if (s == fInputEnd || (fSkipThrough != nullptr && !PassFailedStarts(s)))
      return false;
  }
}

// The whole pattern is one literal: its first unit is looked for with the
// vectorised unit search and the rest compared, no program run.
bool TRegExpr::SearchLiteral(const char16_t* s) {
  const char16_t* literal = programm.data() + fLiteral;
  const size_t rest = size_t(fLiteralLength - 1) * sizeof(char16_t);
  for (;;) {
    const qsizetype at = QStringView(s, fInputEnd - s).indexOf(QChar(literal[0]));
    ChargeUnits(at < 0 ? fInputEnd - s : at + fLiteralLength);
    if (at < 0 || fInputEnd - (s + at) < fLiteralLength)
      return false;
    s += at;
    if (std::memcmp(s + 1, literal + 1, rest) == 0) {
      startp[0] = s;
      endp[0] = s + fLiteralLength;
      return true;
    }
    ++s;
  }
}

// After a failed attempt at s: moves s to the last start that the attempt
// showed must fail as well (see StartRepeat); false when that is the end.
bool TRegExpr::PassFailedStarts(const char16_t*& s) const {
  if (fSkipThrough == nullptr || fSkipThrough <= s)
    return true;
  if (fSkipThrough >= fInputEnd)
    return false;
  s = fSkipThrough;
  return true;
}

bool TRegExpr::RegMatchAt(const char16_t* s) {
  reginput = s;
  fAttemptStart = s;
  fSkipThrough = nullptr;
  fBacktrack.clear();
  LoopStackIdx = 0;
  if (!MatchPrim(1))
    return false;
  startp[0] = s;
  endp[0] = reginput;
  return true;
}

// ---- Results -------------------------------------------------------------------

int32_t TRegExpr::MatchPos(int32_t Idx) const {
  if (Idx < 0 || Idx >= NSUBEXP || !fInputAssigned || startp[Idx] == nullptr || endp[Idx] == nullptr)
    return -1;
  return int32_t(startp[Idx] - fInputStart) + 1;
}

int32_t TRegExpr::MatchLen(int32_t Idx) const {
  if (Idx < 0 || Idx >= NSUBEXP || !fInputAssigned || startp[Idx] == nullptr || endp[Idx] == nullptr)
    return -1;
  return int32_t(endp[Idx] - startp[Idx]);
}

QStringView TRegExpr::MatchView(int32_t Idx) const {
  const int32_t len = MatchLen(Idx);
  if (len < 0)
    return QStringView();
  return QStringView(startp[Idx], len);
}

QString TRegExpr::Match(int32_t Idx) const { return MatchView(Idx).toString(); }

int32_t TRegExpr::SubExprMatchCount() const {
  if (!fInputAssigned)
    return -1;
  int32_t n = NSUBEXP - 1;
  while (n > 0 && (startp[n] == nullptr || endp[n] == nullptr))
    --n;
  return n;
}

// ---- Substitution ----------------------------------------------------------------

// "$n", "${n}", "$&", "${&}" give a group's text; "\c" gives c; a "$" that
// starts no reference stays.
QString TRegExpr::Substitute(const QString& ATemplate) {
  if (!IsProgrammOk())
    return QString();
  if (!fInputAssigned)
    Raise(1005);
  QString out;
  const char16_t* p = Units(ATemplate);
  const char16_t* const end = p + ATemplate.size();
  auto digitsAt = [&](const char16_t* q, int32_t& n) {
    n = 0;
    const char16_t* d = q;
    for (; d < end && IsDigit(*d); ++d)
      n = n < NSUBEXP ? n * 10 + (*d - u'0') : NSUBEXP; // large numbers name no group
    return d;
  };
  while (p < end) {
    const char16_t c = *p++;
    if (c == u'\\') {
      out += QChar(p < end ? *p++ : c);
      continue;
    }
    if (c != u'$' || p == end) {
      out += QChar(c);
      continue;
    }
    int32_t n = -1;
    if (IsDigit(*p)) {
      p = digitsAt(p, n);
    } else if (*p == u'&') {
      n = 0;
      ++p;
    } else if (*p == u'{') {
      const char16_t* d = p + 1;
      int32_t m = 0;
      if (d < end && *d == u'&')
        ++d;
      else
        d = digitsAt(d, m);
      if (d > p + 1 && d < end && *d == u'}') {
        n = m;
        p = d + 1;
      }
    }
    if (n < 0)
      out += QChar(c);
    else
      out += MatchView(n);
  }
  return out;
}

// ---- Replace and split -------------------------------------------------------------

// Calls `piece` with the text between matches (and `match` after each) in
// order, for replace and split alike.
template <typename Piece, typename OnMatch>
static void ForEachMatch(TRegExpr& re, const QString& input, Piece piece, OnMatch onMatch) {
  int32_t prev = 1;
  bool found = re.Exec(input);
  while (found) {
    piece(QStringView(input).mid(prev - 1, re.MatchPos(0) - prev));
    onMatch();
    prev = re.MatchPos(0) + re.MatchLen(0);
    found = re.ExecNext();
  }
  piece(QStringView(input).mid(prev - 1));
}

QString TRegExpr::Replace(const QString& AInputStr, const QString& AReplaceStr, bool AUseSubstitution) {
  QString out;
  ForEachMatch(
      *this, AInputStr, [&](QStringView s) { out += s; },
      [&] { out += AUseSubstitution ? Substitute(AReplaceStr) : AReplaceStr; });
  return out;
}

QString TRegExpr::Replace(const QString& AInputStr, const TRegExprReplaceFunction& AReplaceFunc) {
  return ReplaceEx(AInputStr, AReplaceFunc);
}

QString TRegExpr::ReplaceEx(const QString& AInputStr, const TRegExprReplaceFunction& AReplaceFunc) {
  QString out;
  ForEachMatch(
      *this, AInputStr, [&](QStringView s) { out += s; }, [&] { out += AReplaceFunc(*this); });
  return out;
}

void TRegExpr::Split(const QString& AInputStr, TStrings& APieces) {
  ForEachMatch(
      *this, AInputStr, [&](QStringView s) { APieces.Add(s.toString()); }, [] {});
}

} // namespace zarv
