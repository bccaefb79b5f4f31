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

bool TNumberHighlighter::paragraph(TZarvMemoHost& memo, int32_t p, int32_t from, int32_t to, int32_t base) {
  TParagraphsList& L = memo.Paragraphs();
  ParInfo& par = *L.Par(p);
  const int32_t len = GetParLength(par);
  const char16_t* text = par.ParText;
  if (!text || len == 0)
    return false;
  const TCharSet& delims = Delimiters();
  auto delim = [&](int32_t i) { return delims.test(zvChar(text[i])); };
  int32_t s = std::min(from, len);
  if (s > 0)
    --s;
  while (s > 0 && !delim(s - 1))
    --s;
  const int32_t e = std::min(len, to + 1);
  const uint8_t style = static_cast<uint8_t>((fStyle & 0x0F) | (fAltFont ? fsAltFont : 0) | dsHasLevel | dsHasAttrib);
  // Numbers of an earlier pass in this range are found again if they still are.
  RemoveRuns(par, s, std::max(e, s + 1), [&](const DynInfoRec& d, int32_t& n) {
    const int level = DynToLevel(d);
    n = d.SS.StartKlen;
    return level >= 0 && level < 16 && d.KeyIndex[level] == base && d.Context == fContext && d.DynStyle == style;
  });
  const TDynInfoArray& codes = GetDynArray(par);
  const DynInfoRec& startRec = *GetStartDynAttrib(par);
  std::vector<TRunToApply> runs;
  size_t next = FirstDynAtOrAfter(codes, s);
  size_t verdictFor = SIZE_MAX;
  bool ok = false;
  for (int32_t i = s; i < e;) {
    if (delim(i)) {
      ++i;
      continue;
    }
    const int32_t ws = i;
    while (i < len && !delim(i))
      ++i;
    while (next < codes.size() && codes[next].DynOffset <= ws)
      ++next;
    if (next < codes.size() && codes[next].DynOffset < i)
      continue; // the word crosses a code boundary
    const DynInfoRec inForce = next > 0 ? codes[next - 1] : startRec;
    if (verdictFor != next) {
      const THandlerGuard guard(L, p);
      ok = OkContext(inForce);
      guard.Check();
      verdictFor = next;
    }
    const int level = DynToLevel(inForce);
    if (!ok || level >= kMaxLevel || !IsNumber(text + ws, i - ws))
      continue;
    TRunToApply r;
    r.Start = ws;
    r.Stop = i;
    r.Code = inForce;
    r.Code.DynStyle = style;
    r.Code.Backgnd = fBackgnd;
    r.Code.Foregnd = fForegnd;
    r.Code.Context = fContext;
    r.Code.Cursor = 0;
    r.Code.CollpsLevel = static_cast<int8_t>(DynToCollapseLevel(inForce));
    r.Code.CollpsState = 0;
    r.Code.SS.StartKlen = r.Code.SS.StopKLen = KlenOf(i - ws);
    r.Code.Level = static_cast<int8_t>(level + 1);
    r.Code.KeyIndex[r.Code.Level] = static_cast<int16_t>(base);
    for (int l = r.Code.Level + 1; l < 16; ++l)
      r.Code.KeyIndex[l] = 0;
    r.Restore = inForce;
    r.Restore.SS.StartKlen = KlenOf(int64_t(inForce.SS.StartKlen) - (i - (next > 0 ? inForce.DynOffset : 0)));
    r.RestoreAtStop = par.StartOffset + i < L.fTextLen;
    runs.push_back(r);
  }
  if (runs.empty())
    return false;
  TDynInfoArray scratch;
  MergeRuns(GetDynArrayForWrite(par), runs, scratch);
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
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
