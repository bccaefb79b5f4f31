// The start-stop part of the highlighting pass: finding start keys that
// open ranges, the stop keys that close them, and the paragraph walk that
// rebuilds the codes of a range and decides whether the following text must
// be parsed again.
#include <ZarvMemo/platform/IntegrityGuard.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/highlight/Highlighter.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <algorithm>
#include <bitset>
#include <vector>

namespace zarv {

namespace {

constexpr int16_t kOwnKeyBit = static_cast<int16_t>(0x8000);

// Key indexes of the control's own start-stop entries carry the top bit.
bool isOwnKey(int16_t k) { return k < -1; }
int32_t ownIndex(int16_t k) { return static_cast<uint16_t>(k) & 0x7FFF; }

bool isLevelRun(const DynInfoRec& d) { return (d.DynStyle & (dsHasLevel | dsHasAttrib)) == (dsHasLevel | dsHasAttrib); }

// Text that highlighters mark to be left alone by this pass.
bool isLeaveAlone(const DynInfoRec& d) { return (d.DynStyle & dsHasAttrib) && d.Level == -1; }

// A start key may open a range unless one of the control's own ranges is
// open there (own ranges do not nest).
bool startAllowed(const DynInfoRec& d) {
  return !isLevelRun(d) || d.Level < 0 || d.Level >= 16 || !isOwnKey(d.KeyIndex[d.Level]);
}

TDynInfoArray& codesOf(ParInfo& par) { return GetDynArrayForWrite(par); }

// Copies an entry's look into a run code.
void setLook(DynInfoRec& d, const StartStopInfo& e) {
  d.DynStyle = static_cast<uint8_t>(e.Attributes.Style | dsHasLevel | dsHasAttrib);
  d.Backgnd = e.Attributes.Backgnd;
  d.Foregnd = e.Attributes.Foregnd;
  d.Cursor = e.Attributes.Cursor;
  d.Context = e.Attributes.ContextNumber;
  d.CollpsLevel = 0;
  d.CollpsState = 0;
}

bool isDelim(const TCharSet& set, char16_t c) { return set.test(zvChar(c)); }

// The code in force before the range whose run of level `level` is in force
// at (p, the code index `codeIndex` - 1): the nearest earlier code of a lower
// level, looking into earlier paragraphs when the range began there.
DynInfoRec codeBeforeRange(TParagraphsList& L, int32_t p, int32_t codeIndex, int level) {
  for (int32_t q = p; q >= 0; --q) {
    const ParInfo& par = *L.Par(q);
    const TDynInfoArray& codes = GetDynArray(par);
    for (int32_t i = (q == p ? codeIndex : static_cast<int32_t>(codes.size())) - 1; i >= 0; --i)
      if (DynToLevel(codes[size_t(i)]) < level)
        return codes[size_t(i)];
    const DynInfoRec& start = *GetStartDynAttrib(par);
    if (DynToLevel(start) < level)
      return start;
  }
  return *DefaultDynInfo();
}

} // namespace

bool FindStart(TZarvNavigator& A, TZarvNavigator& C) {
  TZarvMemoHost& M = *A.Memo();
  TStartStopKeyList& list = M.StartStopKeys();
  TParagraphsList& L = M.Paragraphs();
  A.RightOfDyn();
  const int32_t p = A.GetParNb();
  ParInfo& par = *A.GetPar();
  const int32_t len = GetParLength(par);
  const int32_t aOff = std::min(A.GetOffset(), len);
  const int level = DynToLevel(*A.GetpDynInfo());

  if (level < 15 && M.fApplyStartStopKeys && list.Count() > 0) {
    const int32_t cOff = std::min(C.GetParNb() == p ? C.GetOffset() : len, len);
    const int32_t longest = list.LongestStartKey();
    const int32_t ws = int32_t(aOff - std::min<int64_t>(aOff, int64_t(longest) + 1));
    const char16_t* text = par.ParText;
    const TCharSet& delims = M.fDelimiters;
    // First characters of the start keys, to pass over positions where no
    // key can start without trying every entry there.
    std::bitset<256> firstExact, firstUpper;
    bool highFirst = false, anyFolded = false;
    const int32_t entryCount = list.Count();
    for (int32_t i = 0; i < entryCount; ++i) {
      const StartStopInfo& e = list.EntryUnchecked(i);
      if (e.StartLen == 0)
        continue;
      const bool matchCase = e.Attributes.Options.testFlag(woMatchCase);
      anyFolded |= !matchCase;
      const char16_t c = e.StartKey.front();
      if (c >= 256)
        highFirst = true;
      else if (matchCase)
        firstExact.set(c);
      else
        firstUpper.set(c);
    }
    // The upper-cased text is made only when an entry ignores case.
    const char16_t* upper = anyFolded ? M.GetUpText(p) : text;
    const TDynInfoArray& codes = GetDynArray(par);
    size_t next = static_cast<size_t>(std::upper_bound(codes.begin(), codes.end(), ws,
                                                       [](int32_t o, const DynInfoRec& d) { return o < d.DynOffset; }) -
                                      codes.begin());
    const DynInfoRec* inForce = next > 0 ? &codes[next - 1] : GetStartDynAttrib(par);
    for (int32_t pos = ws; pos < cOff; ++pos) {
      while (next < codes.size() && codes[next].DynOffset <= pos)
        inForce = &codes[next++];
      if (!startAllowed(*inForce)) {
        // Nothing starts inside this run: go to the next code.
        if (next >= codes.size())
          break;
        pos = codes[next].DynOffset - 1;
        continue;
      }
      if (!highFirst && !(text[pos] < 256 && firstExact.test(text[pos])) &&
          !(upper[pos] < 256 && firstUpper.test(upper[pos])))
        continue;
      for (int32_t i = 0; i < entryCount; ++i) {
        const StartStopInfo& e = list.EntryUnchecked(i);
        const int32_t n = e.StartLen;
        if (n == 0 || n > len - pos || pos + n <= aOff)
          continue;
        const char16_t* src = e.Attributes.Options.testFlag(woMatchCase) ? text : upper;
        if (src[pos] != e.StartKey.front())
          continue;
        if (!std::equal(e.StartKey.begin(), e.StartKey.end(), src + pos))
          continue;
        if (e.StartLeftCheck && pos > 0 && !isDelim(delims, text[pos - 1]))
          continue;
        if (e.StartRightCheck && pos + n < len && !isDelim(delims, text[pos + n]))
          continue;
        // Open the range at pos.
        TDynInfoArray& w = codesOf(par);
        const size_t at = FirstDynAtOrAfter(w, pos);
        DynInfoRec before = GetDynInForce(par, pos);
        const int levelAt = DynToLevel(before);
        if (levelAt >= 15)
          break;
        if (levelAt >= 0 && at > 0 && w[at - 1].DynOffset <= pos && isLevelRun(w[at - 1]))
          w[at - 1].SS.StopKLen = 0; // the enclosing range now holds another
        DynInfoRec run = before;
        setLook(run, e);
        run.DynOffset = pos;
        run.Level = static_cast<int8_t>(levelAt + 1);
        run.KeyIndex[run.Level] = static_cast<int16_t>(i | kOwnKeyBit);
        for (int l = run.Level + 1; l < 16; ++l)
          run.KeyIndex[l] = 0;
        run.SS.StartKlen = KlenOf(int64_t(e.StartCheckLen) + (e.StartRightCheck ? 1 : 0));
        run.SS.StopKLen = KlenOf(e.StopLen);
        // The key's own characters keep no other code.
        const size_t end = FirstDynAtOrAfter(w, pos + n);
        w.erase(w.begin() + static_cast<ptrdiff_t>(at), w.begin() + static_cast<ptrdiff_t>(end));
        w.insert(w.begin() + static_cast<ptrdiff_t>(at), run);
        A.ForgetIndexes();
        C.ForgetIndexes();
        C.SetParPos(p, pos + n);
        C.RightOfDyn();
        return true;
      }
    }
  }
  if (TZarvHighlighter* h = M.Highlighter())
    return h->FindStart(A, C, list.Count());
  (void)L;
  return false;
}

bool FindStop(TZarvNavigator& A, TZarvNavigator& C) {
  TZarvMemoHost& M = *A.Memo();
  TStartStopKeyList& list = M.StartStopKeys();
  TParagraphsList& L = M.Paragraphs();
  const int32_t dynAt = A.GetDynNb();
  DynInfoRec* d = A.GetpDynInfo();
  const int level = DynToLevel(*d);
  if (level < 0 || level >= 16)
    return false;
  const int16_t k = d->KeyIndex[level];
  if (!isOwnKey(k) || list.Count() == 0 || ownIndex(k) >= list.Count()) {
    if (TZarvHighlighter* h = M.Highlighter())
      return h->FindStop(A, C, list.Count());
    return false;
  }
  const int32_t ei = ownIndex(k);
  const StartStopInfo& e = list.Entry(ei);
  const int32_t p = A.GetParNb();
  ParInfo& par = *A.GetPar();
  const int32_t len = GetParLength(par);
  const int32_t aOff = std::min(A.GetOffset(), len);
  const int32_t cOff = std::min(C.GetParNb() == p ? C.GetOffset() : len, len);
  const int32_t n = e.StopLen;
  const bool ownCode = dynAt > 0; // the code in force is one of this paragraph's codes

  int32_t ws = int32_t(std::max<int64_t>(0, int64_t(aOff) - n - (e.StopLeftCheck ? 1 : 0)));
  // Never before the run began, and never into the start key: a stop key
  // equal to the start key (quotes) must not close the range on its own
  // opening characters, nor a continuation run on the key that ended the
  // run before it. StartKlen tells how much of the key the code still
  // covers (0 for continuation runs, less after a keyword split the run;
  // the saturated value stands for the whole key).
  if (ownCode) {
    const int32_t keyLeft = d->SS.StartKlen >= kMaxKlen ? e.StartLen : std::min<int32_t>(d->SS.StartKlen, e.StartLen);
    ws = std::max(ws, d->DynOffset + keyLeft);
  }
  const int32_t searchEnd = int32_t(std::min<int64_t>(len, int64_t(cOff) + n));
  const char16_t* text = par.ParText;
  const char16_t* src = e.Attributes.Options.testFlag(woMatchCase) ? text : M.GetUpText(p);
  const TCharSet& delims = M.fDelimiters;

  int32_t stopStart = -1, stopEnd = -1;
  if (n > 0 && src) {
    const std::u16string_view hay(src, size_t(searchEnd));
    size_t q = hay.find(std::u16string_view(e.StopKey), size_t(ws));
    while (q != std::u16string_view::npos) {
      const int32_t at = int32_t(q);
      // A key that ends before A was already seen by the parse that led
      // here; taking it would move C behind A.
      if (at + n < aOff) {
        q = hay.find(std::u16string_view(e.StopKey), q + 1);
        continue;
      }
      const bool leftOk = !e.StopLeftCheck || at == 0 || isDelim(delims, text[at - 1]);
      const bool rightOk = !e.StopRightCheck || at + n >= len || isDelim(delims, text[at + n]);
      if (leftOk && rightOk) {
        stopStart = at;
        stopEnd = at + n;
        break;
      }
      q = hay.find(std::u16string_view(e.StopKey), q + 1);
    }
  }
  if (stopStart < 0) {
    if (!(e.ssOptions.testFlag(ssoParStop) && cOff >= len))
      return false;
    stopStart = stopEnd = len; // the range ends with its paragraph
  }

  TDynInfoArray& w = codesOf(par);
  // The key's own characters keep no other code.
  {
    const size_t from = FirstDynAtOrAfter(w, std::max(stopStart, aOff > stopStart ? stopStart : stopStart));
    const size_t to = FirstDynAtOrAfter(w, stopEnd);
    if (from < to && !(ownCode && from <= size_t(dynAt - 1) && size_t(dynAt - 1) < to))
      w.erase(w.begin() + static_cast<ptrdiff_t>(from), w.begin() + static_cast<ptrdiff_t>(to));
  }
  if (ownCode) {
    // Set on the range's own code; start records are shared copies.
    DynInfoRec& opening = w[size_t(std::min<int32_t>(dynAt, int32_t(w.size())) - 1)];
    if (DynToLevel(opening) == level)
      opening.SS.StopKLen = KlenOf(int64_t(n) + (e.StopLeftCheck ? 1 : 0));
  }
  // A later entry that continues this one starts its run here; otherwise the
  // run in force before the range comes back.
  DynInfoRec next;
  int32_t cont = -1;
  for (int32_t j = ei + 1; j < list.Count(); ++j)
    if (list.Entry(j).Previous == ei) {
      cont = j;
      break;
    }
  if (cont >= 0) {
    const StartStopInfo& c = list.Entry(cont);
    next = *d;
    setLook(next, c);
    next.KeyIndex[level] = static_cast<int16_t>(cont | kOwnKeyBit);
    next.SS.StartKlen = 0;
    next.SS.StopKLen = KlenOf(c.StopLen);
  } else {
    next = codeBeforeRange(L, p, std::min<int32_t>(A.GetDynNb(), int32_t(w.size())), level);
    next.SS.StartKlen = 0;
  }
  next.DynOffset = stopEnd;
  // The new code follows the code in force at A: when the range ends where
  // A stands (a paragraph stop reached again at the paragraph end), writing
  // it before that code would leave the same range open and the walk would
  // close it for ever.
  size_t insertAt = FirstDynAtOrAfter(w, stopEnd);
  if (stopEnd == aOff && ownCode)
    insertAt = std::max(insertAt, std::min(size_t(dynAt), w.size()));
  w.insert(w.begin() + static_cast<ptrdiff_t>(insertAt), next);
  A.ForgetIndexes();
  C.ForgetIndexes();
  C.SetParPos(p, stopEnd);
  C.RightOfDyn();
  return true;
}

namespace {

class TStartStopPass {
public:
  TStartStopPass(TZarvNavigator& startNav, TZarvNavigator& stopNav, DynInfoRec& endDyn)
      : M(*startNav.Memo()), L(M.Paragraphs()), fStart(startNav), fStop(stopNav), fEndDyn(endDyn), A(&L), B(&L), C(&L) {
    A.AttachMemo(&M);
    B.AttachMemo(&M);
    C.AttachMemo(&M);
  }

  bool Run();

private:
  void endState(int32_t p, int32_t bOff);
  int32_t parseParagraph(int32_t p, int32_t aOff, int32_t bOff);
  bool nothingToParse(const ParInfo& par, int32_t aOff, int32_t bOff) const;
  void handOnStart(int32_t p, int32_t to);

  TZarvMemoHost& M;
  TParagraphsList& L;
  TZarvNavigator& fStart;
  TZarvNavigator& fStop;
  DynInfoRec& fEndDyn;
  TZarvNavigator A, B, C;
  bool fChanged = false;
};

// What the text after (p, bOff) was parsed with.
void TStartStopPass::endState(int32_t p, int32_t bOff) {
  const ParInfo& par = *L.Par(p);
  if (bOff >= GetParLength(par))
    fEndDyn = p + 1 < L.Count() ? *GetStartDynAttrib(*L.Par(p + 1)) : *DefaultDynInfo();
  else
    fEndDyn = GetDynInForce(par, bOff);
}

// Parses (p, aOff)..(p, bOff); returns the end of the region parsed, which
// may pass bOff when a key reached beyond it.
// A paragraph without codes in which no key can begin (no start key of the
// control's list or of its highlighter chain outside a range; no stop key
// and no paragraph stop inside one) parses to nothing; most lines of
// program text are such.
bool TStartStopPass::nothingToParse(const ParInfo& par, int32_t aOff, int32_t bOff) const {
  if (GetDynCount(par) > 0)
    return false;
  TStartStopKeyList& list = M.StartStopKeys();
  const int32_t len = GetParLength(par);
  const DynInfoRec& start = *GetStartDynAttrib(par);
  const int level = DynToLevel(start);
  const char16_t* text = par.ParText;
  const int32_t from = int32_t(std::max<int64_t>(0, int64_t(aOff) - list.LongestStartKey() - 1));
  const int32_t to =
      int32_t(std::min<int64_t>(len, int64_t(bOff) + std::max(list.LongestStartKey(), list.LongestStopKey()) + 1));
  auto anyOf = [&](auto&& isFirst) {
    for (int32_t i = from; i < to; ++i)
      if (isFirst(text[i]))
        return true;
    return false;
  };
  // The highlighter chain is asked last: its answer costs a scan.
  TZarvHighlighter* h = M.Highlighter();
  auto highlighterMayStart = [&] { return h && h->MayStartIn(M, text, 0, len); };
  if (level >= 0 && level < 16 && isOwnKey(start.KeyIndex[level])) {
    // Inside one of the control's ranges: only its stop key matters, and
    // the highlighter's start keys.
    if (ownIndex(start.KeyIndex[level]) >= list.Count())
      return false;
    const StartStopInfo& e = list.EntryUnchecked(ownIndex(start.KeyIndex[level]));
    if (e.ssOptions.testFlag(ssoParStop) && bOff >= len)
      return false;
    if (e.StopLen == 0)
      return !highlighterMayStart();
    if (!e.Attributes.Options.testFlag(woMatchCase))
      return false; // folding makes a first-character test unsafe
    const char16_t first = e.StopKey.front();
    return !anyOf([first](char16_t c) { return c == first; }) && !highlighterMayStart();
  }
  if (level >= 0 && h)
    return false; // inside a highlighter's range: its stop key is asked for
  if (level >= 15)
    return true;
  if (M.fApplyStartStopKeys)
    for (int32_t i = 0; i < list.Count(); ++i) {
      const StartStopInfo& e = list.EntryUnchecked(i);
      if (e.StartLen == 0)
        continue;
      if (!e.Attributes.Options.testFlag(woMatchCase))
        return false;
      const char16_t first = e.StartKey.front();
      if (anyOf([first](char16_t c) { return c == first; }))
        return false;
    }
  return !highlighterMayStart();
}

int32_t TStartStopPass::parseParagraph(int32_t p, int32_t aOff, int32_t bOff) {
  ParInfo& par = *L.Par(p);
  const int32_t len = GetParLength(par);
  endState(p, bOff);
  if (aOff == 0 && nothingToParse(par, aOff, bOff)) {
    par.ParState |= zvpSSDone;
    return bOff;
  }
  bool found;
  // The first round starts left of the codes at aOff: they came from the
  // previous parse of the text being parsed again. Later rounds start right
  // of the codes just written.
  bool firstRound = true;
  do {
    const bool rightOfCodes = !firstRound;
    firstRound = false;
    A.SetParPos(p, aOff);
    if (rightOfCodes)
      A.RightOfDyn();
    // Skip text left alone.
    while (isLeaveAlone(*A.GetpDynInfo())) {
      const TDynInfoArray& codes = GetDynArray(par);
      const size_t next = static_cast<size_t>(A.GetDynNb());
      if (next < codes.size() && codes[next].DynOffset < bOff) {
        A.SetParPos(p, codes[next].DynOffset);
        A.RightOfDyn();
      } else {
        A.SetParPos(p, bOff);
        A.RightOfDyn();
        break;
      }
    }
    aOff = A.GetOffset();
    // The codes of the region are rebuilt: remove them up to B or up to
    // text left alone.
    int32_t cOff = bOff;
    if (par.ParState & zvpHasExtra) {
      TDynInfoArray& codes = par.ParExtra->DynCodes;
      // Codes at the paragraph end belong to this paragraph's parse too.
      const int32_t limit = bOff >= len ? len + 1 : bOff;
      size_t i = static_cast<size_t>(A.GetDynNb());
      size_t j = i;
      while (j < codes.size() && codes[j].DynOffset < limit && !isLeaveAlone(codes[j]))
        ++j;
      if (j < codes.size() && codes[j].DynOffset < limit)
        cOff = std::min(codes[j].DynOffset, bOff);
      if (j > i) {
        codes.erase(codes.begin() + static_cast<ptrdiff_t>(i), codes.begin() + static_cast<ptrdiff_t>(j));
        fChanged = true;
      }
    }
    A.ForgetIndexes();
    A.SetParPos(p, aOff);
    if (rightOfCodes)
      A.RightOfDyn();
    C.SetParPos(p, cOff);
    const bool stopped = FindStop(A, C);
    const bool started = FindStart(A, C);
    found = stopped || started;
    fChanged |= found;
    aOff = found ? C.GetOffset() : cOff;
    if (aOff > bOff) {
      bOff = len;
      endState(p, bOff);
    }
  } while (aOff < bOff || found);
  par.ParState |= zvpSSDone;
  return bOff;
}

// Paragraph `to` starts in the state at the end of paragraph p. The key
// lengths of a code describe where its key lies in p; in the next
// paragraph they mean nothing, and keeping them would make its start
// record depend on more than the parsing state, which is all the pass
// compares (DynEquivalent) when it decides whether to hand a state on.
void TStartStopPass::handOnStart(int32_t p, int32_t to) {
  ParInfo& par = *L.Par(p);
  A.SetParPos(p, GetParLength(par));
  A.RightOfDyn();
  DynInfoRec* d = A.GetpDynInfo();
  if (d == GetStartDynAttrib(par) && d != DefaultDynInfo()) {
    SetStartDynAttrib(*L.Par(to), d, false); // p's own start record, shared
    return;
  }
  DynInfoRec state = *d;
  state.SS.StartKlen = state.SS.StopKLen = 0;
  SetStartDynAttrib(*L.Par(to), &state, true);
}

bool TStartStopPass::Run() {
  TStartStopKeyList& list = M.StartStopKeys();
  if (!list.fDelChecked)
    list.UpdateCheckFlags(M.fDelimiters);
  const int32_t first = fStart.GetParNb();
  const int32_t last = fStop.GetParNb();
  int32_t aOff = std::min(fStart.GetOffset(), GetParLength(*L.Par(first)));
  int32_t bOff = 0;
  for (int32_t p = first; p <= last; ++p) {
    const int32_t len = GetParLength(*L.Par(p));
    bOff = p == last ? std::min(fStop.GetOffset(), len) : len;
    bOff = parseParagraph(p, aOff, bOff);
    if (p < last)
      handOnStart(p, p + 1);
    aOff = 0;
  }
  bool complete;
  for (;;) {
    L.fLastStartStopParsed = std::max(L.fLastStartStopParsed, last);
    B.SetParPos(last, bOff);
    B.RightOfDyn();
    const DynInfoRec& atB = *B.GetpDynInfo();
    if (DynEquivalent(atB, fEndDyn)) {
      complete = true;
      break;
    }
    const int32_t len = GetParLength(*L.Par(last));
    if (bOff < len) {
      // The rest of this paragraph was parsed in another state.
      bOff = parseParagraph(last, bOff, len);
      continue;
    }
    if (last + 1 >= L.Count()) {
      complete = true;
      break;
    }
    const int32_t n = last + 1;
    ParInfo& next = *L.Par(n);
    next.ParState &= static_cast<TParStates>(~(zvpFormatted | zvpSSDone | zvpKeywDone));
    handOnStart(last, n);
    L.fUpdateStopPar = std::max(L.fUpdateStopPar, n);
    if (L.fModStopPar >= L.fModStartPar)
      L.fModStopPar = std::max(L.fModStopPar, n);
    complete = false;
    break;
  }
  fStop.SetParPos(last, bOff);
  if (fChanged) {
    L.fNoCompleteFormat = false;
    InvalidateNavs(M.Navigators(), fStart.GetPos(), last);
  }
  return complete;
}

} // namespace

bool ApplyStartStopKeyListP(TZarvNavigator& StartNav, TZarvNavigator& StopNav, DynInfoRec& EndDyn) {
  ZARV_CHECKED_SCOPE("ApplyStartStopKeyListP", TParagraphsList, *StartNav.List(), s.CheckIntegrity());
  Q_ASSERT_X(StartNav.Memo() && StartNav.Memo() == StopNav.Memo(), "ApplyStartStopKeyListP",
             "navigators must be attached to one control");
  return TStartStopPass(StartNav, StopNav, EndDyn).Run();
}

} // namespace zarv
