// The number scanner: words judged by the code in force at their first
// character, numbers laid over the codes in one merge.
#include <ZarvMemo/highlighters/NumberHighlighter.h>

#include <ZarvMemo/highlighters/HandlerGuard.h>
#include <ZarvMemo/platform/IntegrityGuard.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/highlight/RunMerge.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <algorithm>

namespace zarv {

namespace {

bool isHex(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

} // namespace

TNumberHighlighter::TNumberHighlighter(QObject* parent) : TCustomExtHighlighter(parent) {
  fContext = kDefaultContext;
  fForegnd = kDefaultForeground;
}

void TNumberHighlighter::setCTypeHex(bool v) {
  if (v == fCTypeHex)
    return;
  fCTypeHex = v;
  designTimeReApply();
}

void TNumberHighlighter::setContextNum(int v) {
  if (int16_t(v) == fContext)
    return;
  fContext = int16_t(v);
  designTimeReApply();
}

bool TNumberHighlighter::OkContext(const DynInfoRec& Dyn) {
  const int32_t value = !(Dyn.DynStyle & dsHasAttrib) ? 0 : !(Dyn.DynStyle & dsHasLevel) ? 32768 : Dyn.Context;
  bool ok = value == fScope || fPriority > 0;
  if (OnQueryHilit)
    OnQueryHilit(*this, static_cast<int16_t>(value), ok);
  return ok;
}

bool TNumberHighlighter::IsNumber(const char16_t* w, int32_t n) const {
  if (n <= 0)
    return false;
  if (w[0] == u'$')
    return std::all_of(w + 1, w + n, isHex);
  if (fCTypeHex && n >= 2 && w[0] == u'0' && w[1] == u'x')
    return std::all_of(w + 2, w + n, isHex);
  return std::all_of(w, w + n, isDigit);
}

// The run of a number at [start, stop) over the code in force there.
TRunToApply TNumberHighlighter::numberRun(const DynInfoRec& inForce, int32_t inForceFrom, int32_t start, int32_t stop,
                                          int32_t base, bool restoreAtStop) const {
  TRunToApply r;
  r.Start = start;
  r.Stop = stop;
  DynInfoRec& d = r.Code;
  d = inForce;
  d.DynStyle = runStyle();
  d.Backgnd = fBackgnd;
  d.Foregnd = fForegnd;
  d.Context = fContext;
  d.Cursor = 0;
  d.CollpsLevel = static_cast<int8_t>(DynToCollapseLevel(inForce));
  d.CollpsState = 0;
  d.SS.StartKlen = d.SS.StopKLen = KlenOf(stop - start);
  d.Level = static_cast<int8_t>(DynToLevel(inForce) + 1);
  d.KeyIndex[d.Level] = static_cast<int16_t>(base);
  for (int l = d.Level + 1; l < 16; ++l)
    d.KeyIndex[l] = 0;
  r.Restore = inForce;
  r.Restore.SS.StartKlen = KlenOf(int64_t(inForce.SS.StartKlen) - (stop - inForceFrom));
  r.RestoreAtStop = restoreAtStop;
  return r;
}

const uint8_t* TNumberHighlighter::separatorTable() {
  if (!fTableMade || fTableFor != Delimiters()) {
    fTableFor = Delimiters();
    for (size_t c = 0; c < 256; ++c)
      fIsSeparator[c] = fTableFor.test(c);
    fTableMade = true;
  }
  return fIsSeparator.data();
}

// The numbers among the words starting in [s, e) of paragraph p.
void TNumberHighlighter::findNumbers(TParagraphsList& L, int32_t p, int32_t s, int32_t e, int32_t base,
                                     std::vector<TRunToApply>& runs) {
  const ParInfo& par = *L.Par(p);
  const int32_t len = GetParLength(par);
  const char16_t* text = par.ParText;
  const uint8_t* separator = separatorTable();
  auto delim = [&](int32_t i) { return separator[zvChar(text[i])] != 0; };
  const TDynInfoArray& codes = GetDynArray(par);
  size_t next = FirstDynAtOrAfter(codes, s);
  size_t verdictFor = SIZE_MAX; // OkContext is asked once per code
  bool ok = false;
  for (int32_t i = s; i < e;) {
    if (delim(i)) {
      ++i;
      continue;
    }
    const int32_t ws = i;
    while (i < len && !delim(i))
      ++i;
    // Every number form begins with a digit or "$".
    if (!isDigit(text[ws]) && text[ws] != u'$')
      continue;
    while (next < codes.size() && codes[next].DynOffset <= ws)
      ++next;
    if (next < codes.size() && codes[next].DynOffset < i)
      continue; // the word crosses a code boundary
    const DynInfoRec& inForce = next > 0 ? codes[next - 1] : *GetStartDynAttrib(par);
    if (verdictFor != next) {
      const THandlerGuard guard(L, p);
      ok = OkContext(inForce);
      guard.Check();
      verdictFor = next;
    }
    if (ok && DynToLevel(inForce) < kMaxLevel && IsNumber(text + ws, i - ws))
      runs.push_back(
          numberRun(inForce, next > 0 ? inForce.DynOffset : 0, ws, i, base, par.StartOffset + i < L.fTextLen));
  }
}

bool TNumberHighlighter::paragraph(TZarvMemoHost& memo, int32_t p, int32_t from, int32_t to, int32_t base) {
  TParagraphsList& L = memo.Paragraphs();
  ParInfo& par = *L.Par(p);
  const int32_t len = GetParLength(par);
  const char16_t* text = par.ParText;
  if (!text || len == 0)
    return false;
  const TCharSet& delims = Delimiters();
  // From the start of the word before `from` to the character after `to`.
  int32_t s = std::min(from, len);
  if (s > 0)
    --s;
  while (s > 0 && !delims.test(zvChar(text[s - 1])))
    --s;
  const int32_t e = std::min(len, to + 1);
  // Numbers of an earlier pass in this range are found again if they still are.
  const uint8_t style = runStyle();
  RemoveRuns(par, s, std::max(e, s + 1), [&](const DynInfoRec& d, int32_t& n) {
    const int level = DynToLevel(d);
    n = d.SS.StartKlen;
    return level >= 0 && level < 16 && d.KeyIndex[level] == base && d.Context == fContext && d.DynStyle == style;
  });
  // The working space is lent to one pass at a time (a handler may start
  // another).
  std::vector<TRunToApply> ownRuns;
  TDynInfoArray ownMerged;
  const bool lent = !fBusy;
  std::vector<TRunToApply>& runs = lent ? fRuns : ownRuns;
  fBusy = true;
  struct TGiveBack {
    bool& Busy;
    bool Lent;
    ~TGiveBack() { Busy = Busy && !Lent; }
  } giveBack{fBusy, lent};
  runs.clear();
  findNumbers(L, p, s, e, base, runs);
  if (runs.empty())
    return false;
  MergeRuns(GetDynArrayForWrite(par), runs, lent ? fMerged : ownMerged);
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
  if (lent && fRuns.capacity() > (size_t(1) << 16))
    std::vector<TRunToApply>().swap(fRuns);
  return true;
}

void TNumberHighlighter::ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  if (!getActive())
    return;
  if (Base > kMaxKeywordIndex) {
    warnIndexOverflow();
    return;
  }
  TZarvMemoHost& memo = *StartNav.Memo();
  ZARV_CHECKED_SCOPE("TNumberHighlighter::ApplyKeywordsList", TParagraphsList, memo.Paragraphs(), s.CheckIntegrity());
  const int32_t first = StartNav.GetParNb(), last = StopNav.GetParNb();
  const int32_t firstOff = StartNav.GetOffset(), lastOff = StopNav.GetOffset();
  int32_t firstChanged = -1;
  for (int32_t p = first; p <= last; ++p) {
    const int32_t len = GetParLength(*memo.Paragraphs().Par(p));
    if (paragraph(memo, p, p == first ? firstOff : 0, p == last ? lastOff : len, Base) && firstChanged < 0)
      firstChanged = p;
  }
  if (firstChanged >= 0)
    InvalidateNavs(memo.Navigators(), memo.Paragraphs().Par(firstChanged)->StartOffset, last);
}

} // namespace zarv
