// Keywords and range keys as expressions: compiling them, searching whole
// paragraphs within a step budget, and opening and closing ranges at their
// matches the way the extended highlighter does at literal keys.
#include <ZarvMemo/highlighters/RegExHighlighter.h>

#include <ZarvMemo/highlighters/HandlerGuard.h>
#include <ZarvMemo/regex/RegExpr.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QDebug>
#include <QStringView>
#include <algorithm>

namespace zarv {

namespace {

constexpr uint16_t kStartStopBit = 0x8000;
constexpr uint8_t kStartCode = dsHasLevel | dsHasAttrib;

bool isLevelRun(const DynInfoRec& d) { return (d.DynStyle & kStartCode) == kStartCode; }

// The code in force before the range of level `level` whose run is in force
// at paragraph p before code index codeIndex: the nearest earlier code of a
// lower level, in an earlier paragraph when the range began there.
DynInfoRec codeBeforeRange(TParagraphsList& L, int32_t p, int32_t codeIndex, int level) {
  for (int32_t q = p; q >= 0; --q) {
    const ParInfo& par = *L.Par(q);
    const TDynInfoArray& codes = GetDynArray(par);
    for (int32_t i = (q == p ? codeIndex : int32_t(codes.size())) - 1; i >= 0; --i)
      if (DynToLevel(codes[size_t(i)]) < level)
        return codes[size_t(i)];
    const DynInfoRec& start = *GetStartDynAttrib(par);
    if (DynToLevel(start) < level)
      return start;
  }
  return *DefaultDynInfo();
}

} // namespace

struct TRegExHighlighter::TKeyRE {
  std::unique_ptr<TRegExpr> RE;
  bool Disabled = false;
};

struct TRegExHighlighter::TSSPair {
  TKeyRE Start, Stop;
};

TRegExHighlighter::TRegExHighlighter(QObject* parent) : TExtHighlighter(parent) {}
TRegExHighlighter::~TRegExHighlighter() = default;

void TRegExHighlighter::setExtendedSyntax(bool v) {
  if (v != fExtendedSyntax) {
    fExtendedSyntax = v;
    InvalidateKeys();
  }
}

void TRegExHighlighter::setGreedyStyle(bool v) {
  if (v != fGreedyStyle) {
    fGreedyStyle = v;
    InvalidateKeys();
  }
}

void TRegExHighlighter::setRussianAlphaChars(bool v) {
  if (v != fRussianAlphaChars) {
    fRussianAlphaChars = v;
    InvalidateKeys();
  }
}

void TRegExHighlighter::setRegExStartStop(bool v) {
  if (v == fRegExStartStop)
    return;
  fRegExStartStop = v;
  fSSAcquired = false;
  designTimeReApply();
}

void TRegExHighlighter::InvalidateKeys() {
  fKeysAcquired = false;
  fSSAcquired = false;
  designTimeReApply();
}

bool TRegExHighlighter::KeywordDisabled(int32_t index) const {
  return index >= 0 && size_t(index) < fKeysRE.size() && fKeysRE[size_t(index)]->Disabled;
}

bool TRegExHighlighter::StartStopDisabled(int32_t index) const {
  return index >= 0 && size_t(index) < fSSRE.size() &&
         (fSSRE[size_t(index)]->Start.Disabled || fSSRE[size_t(index)]->Stop.Disabled);
}

// ---- Compiling and reporting ----------------------------------------------------------

void TRegExHighlighter::configure(TRegExpr& re, TWordOptions options) const {
  re.SetModifierI(!options.testFlag(woMatchCase));
  re.SetModifierX(fExtendedSyntax);
  re.SetModifierR(fRussianAlphaChars);
  re.SetModifierG(fGreedyStyle);
  re.SetModifierS(true);
  re.SetModifierM(false);
}

bool TRegExHighlighter::compile(TKeyRE& k, const QString& expression, TWordOptions options, TKeyFailure failure) {
  k.RE = std::make_unique<TRegExpr>();
  k.Disabled = false;
  try {
    configure(*k.RE, options);
    k.RE->SetExpression(expression);
    k.RE->Compile();
    return true;
  } catch (const ERegExpr& e) {
    k.Disabled = true;
    fail(failure, e);
    return false;
  }
}

void TRegExHighlighter::fail(TKeyFailure failure, const ERegExpr& e) {
  failure.ErrorCode = e.ErrorCode;
  failure.Position = e.CompilerErrorPos;
  failure.Message = e.message();
  qWarning("TRegExHighlighter: %s key %d disabled: %s", failure.StartStop ? "start-stop" : "keyword",
           int(failure.Index), qUtf8Printable(failure.Message));
  try {
    if (OnKeyFailed)
      OnKeyFailed(*this, failure);
  } catch (const std::exception& ex) {
    qWarning("TRegExHighlighter: OnKeyFailed raised %s", ex.what());
  }
  Q_EMIT keyFailed(failure.StartStop, failure.Index, failure.ErrorCode, failure.Position, failure.Message);
  // A key that failed while searching styled the paragraphs before this
  // one: the controls are highlighted again without it, once the pass is
  // over.
  if (failure.Position == 0 && !fReApplyQueued) {
    fReApplyQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          fReApplyQueued = false;
          ReApplyKeys();
        },
        Qt::QueuedConnection);
  }
}

void TRegExHighlighter::AcquireKeys() {
  const TExtKeywordList& K = Keywords();
  fKeysRE.clear();
  for (int32_t i = 0; i < K.GetCount(); ++i) {
    fKeysRE.push_back(std::make_unique<TKeyRE>());
    TKeyFailure f;
    f.Index = i;
    compile(*fKeysRE.back(), K.KeyInfoLen(i).KeywordOrg, K.KeyInfoLen(i).BasicPart.Options, f);
  }
  fKeysGeneration = K.Generation();
  fKeysAcquired = true;
}

void TRegExHighlighter::AcquireSS() {
  TExtStartStopList& S = StartStopKeys();
  fSSRE.clear();
  for (int32_t i = 0; i < S.Count(); ++i) {
    const StartStopInfo& e = S.Entry(i);
    auto pair = std::make_unique<TSSPair>();
    TKeyFailure f;
    f.StartStop = true;
    f.Index = i;
    compile(pair->Start, e.StartKeyStr, e.Attributes.Options, f);
    f.Stop = true;
    if (!e.StopKeyStr.isEmpty())
      compile(pair->Stop, e.StopKeyStr, e.Attributes.Options, f);
    fSSRE.push_back(std::move(pair));
  }
  S.UpdateCheckFlags(Delimiters());
  fSSAcquired = true;
  fCache = TStartCache();
}

bool TRegExHighlighter::ensureSS() {
  const TExtStartStopList& S = StartStopKeys();
  if (!fSSAcquired || !S.fDelChecked || fSSRE.size() != size_t(S.Count()))
    AcquireSS();
  return !fSSRE.empty();
}

bool TRegExHighlighter::nextMatch(TRegExpr& re, const char16_t* text, int32_t len, int32_t from, int32_t& pos,
                                  int32_t& n, const TKeyFailure& failure) {
  try {
    re.SetStepLimit(kStepsPerUnit * len + kStepFloor);
    bool m = re.ExecView(QStringView(text, len), from + 1);
    while (m && re.MatchLen(0) == 0) { // an empty match marks nothing: on one character
      re.SetStepLimit(std::max<int64_t>(1, re.StepsLeft()));
      m = re.ExecNext();
    }
    if (!m)
      return false;
    pos = re.MatchPos(0) - 1;
    n = re.MatchLen(0);
    return true;
  } catch (const ERegExpr& e) {
    TSSPair& pair = *fSSRE[size_t(failure.Index)];
    (failure.Stop ? pair.Stop : pair.Start).Disabled = true;
    fail(failure, e);
    return false;
  }
}

// ---- Keywords ------------------------------------------------------------------------------

void TRegExHighlighter::ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  if (!fKeysAcquired || fKeysGeneration != Keywords().Generation())
    AcquireKeys();
  TExtHighlighter::ApplyKeywordsList(StartNav, StopNav, Base);
}

void TRegExHighlighter::findOwnKeywords(TZarvMemoHost& memo, int32_t parNb, std::vector<TKeywordOccurrence>& out) {
  if (!fKeysAcquired || fKeysGeneration != Keywords().Generation())
    AcquireKeys();
  const ParInfo& par = *memo.Paragraphs().Par(parNb);
  const int32_t len = GetParLength(par);
  const char16_t* text = par.ParText;
  if (!text || len == 0)
    return;
  const TExtKeywordList& K = Keywords();
  const TCharSet& delims = Delimiters();
  auto delimAt = [&](int32_t i) { return delims.test(zvChar(text[i])); };
  const QStringView subject(text, len);
  for (size_t i = 0; i < fKeysRE.size(); ++i) {
    TKeyRE& k = *fKeysRE[i];
    if (k.Disabled)
      continue;
    const bool whole = K.KeyInfoLen(int32_t(i)).BasicPart.Options.testFlag(woWholeWordsOnly);
    const size_t mark = out.size();
    try {
      TRegExpr& re = *k.RE;
      // One budget for all the searches of this key in this paragraph.
      re.SetStepLimit(kStepsPerUnit * len + kStepFloor);
      for (bool m = re.ExecView(subject, 1); m; m = re.ExecNext()) {
        const int32_t pos = re.MatchPos(0) - 1, n = re.MatchLen(0);
        if (n > 0 && (!whole || ((pos == 0 || delimAt(pos - 1)) && (pos + n >= len || delimAt(pos + n)))))
          out.push_back({pos, n, int32_t(i)});
        re.SetStepLimit(std::max<int64_t>(1, re.StepsLeft()));
      }
    } catch (const ERegExpr& e) {
      out.resize(mark);
      k.Disabled = true;
      TKeyFailure f;
      f.Index = int32_t(i);
      fail(f, e);
    }
  }
}

// ---- Ranges -----------------------------------------------------------------------------------

bool TRegExHighlighter::MayStartIn(const TZarvMemoHost& Memo, const char16_t* Text, int32_t From, int32_t To) {
  if (fRegExStartStop && getActive() && StartStopKeys().Count() > 0)
    return true; // an expression may begin anywhere
  if (fRegExStartStop) {
    TZarvHighlighter* sub = getSubHighlighter();
    return sub && sub->MayStartIn(Memo, Text, From, To);
  }
  return TExtHighlighter::MayStartIn(Memo, Text, From, To);
}

int32_t TRegExHighlighter::FixRange(TZarvNavigator& Nav1, TZarvNavigator& Nav2, int32_t, int32_t) {
  const int32_t len = GetParLength(*Nav2.GetPar());
  const bool moved = Nav1.GetOffset() != 0 || Nav2.GetOffset() != len;
  Nav1.SetParPos(Nav1.GetParNb(), 0);
  Nav2.SetParPos(Nav2.GetParNb(), len);
  return moved ? 1 : 0;
}

bool TRegExHighlighter::FindStart(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  if (!fRegExStartStop)
    return TExtHighlighter::FindStart(StartNav, StopNav, Base);
  if (getActive() && StartStopKeys().Count() > 0 && regexStart(StartNav, StopNav, Base))
    return true;
  if (TZarvHighlighter* sub = getSubHighlighter())
    return sub->FindStart(StartNav, StopNav, Base + StartStopKeys().Count());
  return false;
}

bool TRegExHighlighter::regexStart(TZarvNavigator& A, TZarvNavigator& C, int32_t Base) {
  A.RightOfDyn();
  if (DynToLevel(*A.GetpDynInfo()) >= kMaxLevel || !ensureSS())
    return false;
  TExtStartStopList& S = StartStopKeys();
  ParInfo& par = *A.GetPar();
  const int32_t p = A.GetParNb(), len = GetParLength(par);
  const char16_t* text = par.ParText;
  if (!text || len == 0)
    return false;
  const int32_t aOff = std::min(A.GetOffset(), len);
  // A start beyond C waits for the next round of the pass, which begins
  // where this round's stop or start left C.
  const int32_t cOff = std::min(C.GetParNb() == p ? C.GetOffset() : len, len);
  // The memory holds while one parse walks the paragraph forwards.
  if (fCache.Par != &par || fCache.Text != text || fCache.Len != len || aOff <= fCache.LastQuery ||
      fCache.Next.size() != fSSRE.size()) {
    fCache = TStartCache();
    fCache.Par = &par;
    fCache.Text = text;
    fCache.Len = len;
    fCache.Next.assign(fSSRE.size(), {});
  }
  fCache.LastQuery = aOff;
  std::vector<int32_t> positions;
  for (size_t i = 0; i < fSSRE.size(); ++i) {
    TStartCache::TNext& nx = fCache.Next[i];
    if (fSSRE[i]->Start.Disabled)
      continue;
    if (!(nx.From >= 0 && nx.From <= aOff && (nx.Pos < 0 || nx.Pos >= aOff))) {
      TKeyFailure f;
      f.StartStop = true;
      f.Index = int32_t(i);
      int32_t pos = -1, n = 0;
      if (!nextMatch(*fSSRE[i]->Start.RE, text, len, aOff, pos, n, f))
        pos = -1;
      nx = {aOff, pos, n};
    }
    if (nx.Pos >= 0 && nx.Pos <= cOff)
      positions.push_back(nx.Pos);
  }
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  const TCharSet& delims = Delimiters();
  auto delimAt = [&](int32_t i) { return delims.test(zvChar(text[i])); };
  for (const int32_t q : positions) {
    const DynInfoRec inForce = GetDynInForce(par, q);
    const int level = DynToLevel(inForce);
    if (level >= kMaxLevel)
      continue;
    const int32_t context = DynToContext(inForce), priority = GetPriority(inForce, Base);
    const bool inside = inForce.DynStyle & dsHasAttrib;
    for (size_t i = 0; i < fSSRE.size(); ++i) {
      const TStartCache::TNext nx = fCache.Next[i];
      if (nx.Pos != q || fSSRE[i]->Start.Disabled)
        continue;
      const StartStopInfo& e = S.Entry(int32_t(i));
      if (int64_t(Base) + int64_t(i) > kMaxStartStopIndex) {
        warnIndexOverflow();
        continue;
      }
      if (!KeyAccepted(level, context, priority, inside, e.Scope, e.Priority, true) ||
          !wordOptionsAllow(e.Attributes.Options, text, q))
        continue;
      if (e.Attributes.Options.testFlag(woWholeWordsOnly) &&
          !((q == 0 || delimAt(q - 1)) && (q + nx.Len >= len || delimAt(q + nx.Len))))
        continue;
      // A quote-like key inside its own range is that range's stop.
      if (e.StartKeyStr == e.StopKeyStr && level >= 0 &&
          uint16_t(inForce.KeyIndex[level]) == (kStartStopBit | uint32_t(Base + int32_t(i))))
        continue;
      if (OnStart) {
        TZarvNavigator at(&A.Memo()->Paragraphs());
        at.AttachMemo(A.Memo());
        at.SetParPos(p, q);
        bool ok = true;
        const THandlerGuard guard(A.Memo()->Paragraphs(), p);
        OnStart(*this, at, C, int32_t(i), ok);
        guard.Check();
        if (!ok)
          continue;
      }
      openRange(A, C, int32_t(i), q, nx.Len, Base);
      return true;
    }
  }
  return false;
}

void TRegExHighlighter::openRange(TZarvNavigator& A, TZarvNavigator& C, int32_t i, int32_t pos, int32_t n,
                                  int32_t Base) {
  const StartStopInfo& e = StartStopKeys().Entry(i);
  ParInfo& par = *A.GetPar();
  const int32_t p = A.GetParNb();
  TDynInfoArray& w = GetDynArrayForWrite(par);
  const size_t at = FirstDynAtOrAfter(w, pos);
  const DynInfoRec before = GetDynInForce(par, pos);
  const int levelAt = DynToLevel(before);
  if (levelAt >= 0 && at > 0 && w[at - 1].DynOffset <= pos && isLevelRun(w[at - 1]))
    w[at - 1].SS.StopKLen = 0; // the enclosing range now holds another
  DynInfoRec run = before;
  run.DynStyle = static_cast<uint8_t>((e.Attributes.Style & 0x3F) | kStartCode);
  run.DynOffset = pos;
  run.Level = static_cast<int8_t>(levelAt + 1);
  run.KeyIndex[run.Level] = static_cast<int16_t>(kStartStopBit | uint32_t(Base + i));
  for (int l = run.Level + 1; l < 16; ++l)
    run.KeyIndex[l] = 0;
  run.CollpsLevel = static_cast<int8_t>(DynToCollapseLevel(before));
  run.CollpsState = 0;
  if (e.ssOptions.testFlag(ssoCollapsible)) {
    ++run.CollpsLevel;
    run.CollpsState = zvdCollapsible;
  }
  run.Cursor = e.Attributes.Cursor;
  run.Backgnd = e.Attributes.Backgnd;
  run.Foregnd = e.Attributes.Foregnd;
  run.Context = e.Attributes.ContextNumber;
  run.SS.StartKlen = KlenOf(n);
  run.SS.StopKLen = 0;
  // The match's own characters keep no other code.
  const size_t end = FirstDynAtOrAfter(w, pos + n);
  w.erase(w.begin() + ptrdiff_t(at), w.begin() + ptrdiff_t(end));
  w.insert(w.begin() + ptrdiff_t(at), run);
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
  A.ForgetIndexes();
  C.ForgetIndexes();
  C.SetParPos(p, pos + n);
  C.RightOfDyn();
}

bool TRegExHighlighter::FindStop(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  if (!fRegExStartStop)
    return TExtHighlighter::FindStop(StartNav, StopNav, Base);
  const DynInfoRec& d = *StartNav.GetpDynInfo();
  const int level = DynToLevel(d);
  if (level < 0 || level > kMaxLevel)
    return false;
  const int16_t k = d.KeyIndex[level];
  const int32_t local = int32_t(uint16_t(k) & 0x7FFF) - Base;
  if (local < 0)
    return false;
  if (!getActive() || k >= 0 || local >= StartStopKeys().Count()) {
    if (TZarvHighlighter* sub = getSubHighlighter())
      return sub->FindStop(StartNav, StopNav, Base + StartStopKeys().Count());
    return false;
  }
  return regexStop(StartNav, StopNav, Base, local);
}

bool TRegExHighlighter::regexStop(TZarvNavigator& A, TZarvNavigator& C, int32_t Base, int32_t local) {
  ensureSS();
  const StartStopInfo& e = StartStopKeys().Entry(local);
  TSSPair& pair = *fSSRE[size_t(local)];
  const int32_t dynAt = A.GetDynNb();
  const DynInfoRec d = *A.GetpDynInfo();
  ParInfo& par = *A.GetPar();
  const int32_t p = A.GetParNb(), len = GetParLength(par);
  const int32_t aOff = std::min(A.GetOffset(), len);
  const char16_t* text = par.ParText;
  const int32_t cOff = std::min(C.GetParNb() == p ? C.GetOffset() : len, len);
  int32_t from = aOff;
  if (dynAt > 0) // never inside the start match
    from = int32_t(std::clamp<int64_t>(int64_t(d.DynOffset) + d.SS.StartKlen, from, len));
  TParagraphsList& L = A.Memo()->Paragraphs();
  auto confirmed = [&](int32_t stopEnd) {
    if (!OnStop)
      return true;
    TZarvNavigator stop(&L);
    stop.AttachMemo(A.Memo());
    stop.SetParPos(p, stopEnd);
    bool ok = true;
    const THandlerGuard guard(L, p);
    OnStop(*this, A, stop, local, ok);
    guard.Check();
    return ok;
  };
  int32_t stopStart = -1, stopEnd = -1;
  if (text && e.ssOptions.testFlag(ssoDelStop)) {
    const TCharSet& delims = Delimiters();
    for (int32_t q = from; q < len && q <= cOff && stopStart < 0; ++q)
      if (delims.test(zvChar(text[q])) && confirmed(q))
        stopStart = stopEnd = q;
  } else if (text && pair.Stop.RE && !pair.Stop.Disabled) {
    TKeyFailure f;
    f.StartStop = true;
    f.Index = local;
    f.Stop = true;
    int32_t pos = 0, n = 0;
    while (from <= len && nextMatch(*pair.Stop.RE, text, len, from, pos, n, f) && pos <= cOff) {
      if (confirmed(pos + n)) {
        stopStart = pos;
        stopEnd = pos + n;
        break;
      }
      from = pos + 1; // on one character after the refused match's start
    }
  }
  if (stopStart < 0) {
    // A range whose stop expression failed ends with its paragraph.
    const bool parStop = e.ssOptions.testFlag(ssoParStop) || pair.Stop.Disabled;
    if (!(parStop && cOff >= len))
      return false;
    stopStart = stopEnd = len;
  }
  closeRange(A, C, local, stopStart, stopEnd, Base);
  return true;
}

void TRegExHighlighter::closeRange(TZarvNavigator& A, TZarvNavigator& C, int32_t local, int32_t stopStart,
                                   int32_t stopEnd, int32_t Base) {
  const TExtStartStopList& S = StartStopKeys();
  const StartStopInfo& E = S.Entry(local);
  const int32_t dynAt = A.GetDynNb();
  const DynInfoRec d = *A.GetpDynInfo();
  const int level = DynToLevel(d);
  const bool ownCode = dynAt > 0;
  ParInfo& par = *A.GetPar();
  const int32_t p = A.GetParNb();
  const int32_t aOff = std::min(A.GetOffset(), GetParLength(par));
  TDynInfoArray& w = GetDynArrayForWrite(par);
  {
    const size_t from = FirstDynAtOrAfter(w, stopStart);
    const size_t to = FirstDynAtOrAfter(w, stopEnd);
    if (from < to && !(ownCode && from <= size_t(dynAt - 1) && size_t(dynAt - 1) < to))
      w.erase(w.begin() + ptrdiff_t(from), w.begin() + ptrdiff_t(to));
  }
  if (ownCode) {
    DynInfoRec& opening = w[size_t(std::min<int32_t>(dynAt, int32_t(w.size())) - 1)];
    if (DynToLevel(opening) == level)
      opening.SS.StopKLen = KlenOf(stopEnd - stopStart);
  }
  // A later key of the same scope and priority chained to this one opens
  // where this range ends; else what was in force before the range returns.
  DynInfoRec next;
  bool chained = false;
  for (int32_t j = local + 1; j < S.Count() && !chained; ++j) {
    const StartStopInfo& c = S.Entry(j);
    if (c.Previous != local || c.Scope != E.Scope || c.Priority != E.Priority)
      continue;
    if (int64_t(Base) + j > kMaxStartStopIndex) {
      warnIndexOverflow();
      break;
    }
    next = d;
    next.DynStyle = static_cast<uint8_t>((c.Attributes.Style & 0x3F) | kStartCode);
    next.KeyIndex[level] = static_cast<int16_t>(kStartStopBit | uint32_t(Base + j));
    next.Cursor = c.Attributes.Cursor;
    next.Backgnd = c.Attributes.Backgnd;
    next.Foregnd = c.Attributes.Foregnd;
    next.SS.StopKLen = 0;
    chained = true;
  }
  if (!chained)
    next = codeBeforeRange(A.Memo()->Paragraphs(), p, std::min<int32_t>(dynAt, int32_t(w.size())), level);
  next.SS.StartKlen = 0;
  next.DynOffset = stopEnd;
  size_t insertAt = FirstDynAtOrAfter(w, stopEnd);
  if (stopEnd == aOff && ownCode)
    insertAt = std::max(insertAt, std::min(size_t(dynAt), w.size()));
  w.insert(w.begin() + ptrdiff_t(insertAt), next);
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
  A.ForgetIndexes();
  C.ForgetIndexes();
  C.SetParPos(p, stopEnd);
  C.RightOfDyn();
}

} // namespace zarv
