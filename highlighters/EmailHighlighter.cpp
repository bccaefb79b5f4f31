// Quote depths as ranges that open at a paragraph's start and end with it.
#include <ZarvMemo/highlighters/EmailHighlighter.h>

#include <ZarvMemo/highlighters/HandlerGuard.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <algorithm>

namespace zarv {

namespace {

constexpr uint16_t kStartStopBit = 0x8000;
constexpr uint8_t kStartCode = dsHasLevel | dsHasAttrib;

} // namespace

TEmailHighlighter::TEmailHighlighter(QObject* parent) : TCustomExtHighlighter(parent) {
  fContext = kDefaultContext;
  static constexpr TColor kForegrounds[kLevels] = {0x008000, 0x0000FF, 0xFF0000, 0x800080, 0x800000};
  for (int i = 0; i < kLevels; ++i) {
    fHighlights[i] = new THighlightInfo(this);
    fHighlights[i]->SetLook(false, 0, clNone, kForegrounds[i]);
    connect(fHighlights[i], &THighlightInfo::changed, this, [this] { designTimeReApply(); });
  }
}

void TEmailHighlighter::setContextNum(int v) {
  if (int16_t(v) == fContext)
    return;
  fContext = int16_t(v);
  designTimeReApply();
}

void TEmailHighlighter::setQuoteChars(const QString& v) {
  if (v == fQuoteChars)
    return;
  fQuoteChars = v;
  designTimeReApply();
}

void TEmailHighlighter::setUnwrapQuotedText(bool v) {
  if (v == fUnwrapQuotedText)
    return;
  fUnwrapQuotedText = v;
  designTimeReApply();
}

int32_t TEmailHighlighter::CountQuoteLevel(const char16_t* text, int32_t len, int32_t& keyLen) const {
  int32_t level = -1;
  keyLen = 0;
  for (int32_t i = 0; i < len && isQuoteChar(text[i]);) {
    ++level;
    ++i;
    if (i < len && text[i] == u' ')
      ++i;
    keyLen = i;
  }
  return level;
}

void TEmailHighlighter::setNoWrap(ParInfo& par, bool on) {
  const bool now = par.ParState & zvpNoWrap;
  if (on == now)
    return;
  if (on) {
    par.ParState |= zvpNoWrap;
    fUnwrapped.insert(&par);
  } else if (fUnwrapped.erase(&par)) {
    par.ParState &= static_cast<TParStates>(~zvpNoWrap);
  } else {
    return; // the application's own
  }
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
}

bool TEmailHighlighter::MayStartIn(const TZarvMemoHost& Memo, const char16_t* Text, int32_t From, int32_t To) {
  if (getActive() && From == 0 && To > 0 && (OnGetQuoteLevel || isQuoteChar(Text[0])))
    return true;
  if (From == 0 && !fUnwrapped.empty())
    return true; // a paragraph may have to lose its no-wrap state
  return TCustomExtHighlighter::MayStartIn(Memo, Text, From, To);
}

bool TEmailHighlighter::FindStart(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  StartNav.RightOfDyn();
  if (getActive() && StartNav.GetOffset() == 0) {
    ParInfo& par = *StartNav.GetPar();
    const int32_t context = DynToContext(*StartNav.GetpDynInfo());
    int32_t depth = -1, keyLen = 0;
    if (context == fScope || context < fPriority) {
      const int32_t len = GetParLength(par);
      const char16_t* text = par.ParText ? par.ParText : u"";
      depth = CountQuoteLevel(text, len, keyLen);
      if (OnGetQuoteLevel) {
        TParagraphsList& L = StartNav.Memo()->Paragraphs();
        const THandlerGuard guard(L, StartNav.GetParNb());
        OnGetQuoteLevel(*this, text, len, depth, keyLen);
        guard.Check();
        depth = std::clamp(depth, -1, kLevels - 1);
        keyLen = std::clamp(keyLen, 0, len);
      }
      depth = std::min(depth, kLevels - 1);
    }
    if (depth >= 0 && DynToLevel(*StartNav.GetpDynInfo()) < kMaxLevel) {
      setNoWrap(par, fUnwrapQuotedText);
      openQuote(StartNav, StopNav, depth, keyLen, Base);
      return true;
    }
    setNoWrap(par, false);
  }
  return TCustomExtHighlighter::FindStart(StartNav, StopNav, Base + kLevels);
}

void TEmailHighlighter::openQuote(TZarvNavigator& A, TZarvNavigator& C, int32_t depth, int32_t keyLen, int32_t Base) {
  const THighlightInfo& look = *fHighlights[depth];
  ParInfo& par = *A.GetPar();
  TDynInfoArray& w = GetDynArrayForWrite(par);
  const DynInfoRec before = GetDynInForce(par, 0);
  const int levelAt = DynToLevel(before);
  if (levelAt >= 0 && !w.empty() && w[0].DynOffset == 0 && (w[0].DynStyle & kStartCode) == kStartCode)
    w[0].SS.StopKLen = 0;
  DynInfoRec run = before;
  run.DynStyle = static_cast<uint8_t>((look.getStyle() & 0x0F) | kStartCode);
  run.DynOffset = 0;
  run.Level = static_cast<int8_t>(levelAt + 1);
  run.KeyIndex[run.Level] = static_cast<int16_t>(kStartStopBit | uint32_t(Base + depth));
  for (int l = run.Level + 1; l < 16; ++l)
    run.KeyIndex[l] = 0;
  run.CollpsLevel = static_cast<int8_t>(DynToCollapseLevel(before));
  run.CollpsState = 0;
  run.Cursor = look.getCursor();
  run.Backgnd = look.getBackground();
  run.Foregnd = look.getForeground();
  run.Context = fContext + depth;
  run.SS.StartKlen = KlenOf(keyLen);
  run.SS.StopKLen = 0;
  // The quote mark keeps no other code; a code at offset 0 is replaced.
  w.erase(w.begin(), w.begin() + ptrdiff_t(FirstDynAtOrAfter(w, std::max(keyLen, 1))));
  w.insert(w.begin(), run);
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
  A.ForgetIndexes();
  C.ForgetIndexes();
  C.SetParPos(A.GetParNb(), keyLen);
  C.RightOfDyn();
}

bool TEmailHighlighter::FindStop(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  const DynInfoRec d = *StartNav.GetpDynInfo();
  const int level = DynToLevel(d);
  const int32_t local = level >= 0 && level <= kMaxLevel ? int32_t(uint16_t(d.KeyIndex[level]) & 0x7FFF) - Base : -1;
  if (!getActive() || level < 0 || d.KeyIndex[level] >= 0 || local < 0 || local >= kLevels)
    return TCustomExtHighlighter::FindStop(StartNav, StopNav, Base + kLevels);
  // A quote ends with its paragraph.
  ParInfo& par = *StartNav.GetPar();
  const int32_t p = StartNav.GetParNb(), len = GetParLength(par);
  const int32_t cOff = StopNav.GetParNb() == p ? StopNav.GetOffset() : len;
  if (cOff < len)
    return false;
  TDynInfoArray& w = GetDynArrayForWrite(par);
  size_t quoteAt = w.size();
  for (size_t i = 0; i < w.size() && w[i].DynOffset == 0; ++i)
    if (DynToLevel(w[i]) == level && w[i].KeyIndex[level] == d.KeyIndex[level])
      quoteAt = i;
  DynInfoRec next = quoteAt < w.size() && quoteAt > 0 ? w[quoteAt - 1] : *GetStartDynAttrib(par);
  if (DynToLevel(next) >= level)
    next = *GetStartDynAttrib(par);
  next.SS.StartKlen = 0;
  next.DynOffset = len;
  w.insert(w.begin() + ptrdiff_t(FirstDynAtOrAfter(w, len + 1)), next);
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
  StartNav.ForgetIndexes();
  StopNav.ForgetIndexes();
  StopNav.SetParPos(p, len);
  StopNav.RightOfDyn();
  return true;
}

} // namespace zarv
