// The extended highlighter's ranges in the highlighting pass: finding the
// start key that opens a range and the stop key that closes one of its
// ranges.
//
// Both work on the paragraph's codes the way the control's own start and
// stop search does (the same window around the scan position, the same
// codes removed and written), with this highlighter's rules on top: scope
// and priority decide where a start key may open, the word options and
// OnStart/OnStop may refuse a key, a range may end at the first separator
// (ssoDelStop) or be collapsible, and a stop continues into a chained key
// only of the same scope and priority.
//
// A start key between the scan position and a stop found in the same
// window opens its nested range there, just as it would if the enclosing
// range ended on a later line: whether a range nests never depends on
// where the lines break.
#include <ZarvMemo/highlighters/CustomExtHighlighter.h>

#include <ZarvMemo/highlighters/HandlerGuard.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <algorithm>
#include <bitset>

namespace zarv {

namespace {

constexpr uint16_t kStartStopBit = 0x8000;

// Whether a key must be compared with the upper-cased text. A key that
// ignores case but holds no letter A..Z compares the same with the text
// itself when the control folds only a..z (its default), which spares
// upper-casing the paragraph for keys such as quotes and comment marks.
bool comparesFolded(const TZarvMemoHost& memo, const StartStopInfo& e, const std::u16string& key) {
  if (e.Attributes.Options.testFlag(woMatchCase))
    return false;
  if (memo.getUpperCaseType() != zvuAscii)
    return true;
  return std::any_of(key.begin(), key.end(), [](char16_t c) { return c >= u'A' && c <= u'Z'; });
}

bool isLevelRun(const DynInfoRec& d) { return (d.DynStyle & (dsHasLevel | dsHasAttrib)) == (dsHasLevel | dsHasAttrib); }

// The code in force before the range whose run of level `level` is in force
// at (p, code index codeIndex - 1): the nearest earlier code of a lower
// level, looking into earlier paragraphs when the range began there.
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

// ---- Start keys -------------------------------------------------------------------

class TExtStartPass {
public:
  TExtStartPass(TCustomExtHighlighter& h, TZarvNavigator& a, TZarvNavigator& c, int32_t base)
      : H(h), List(*h.fStartStopKeys), M(*a.Memo()), L(M.Paragraphs()), A(a), C(c), fBase(base) {}

  bool Run();

private:
  bool tryAt(int32_t pos, const DynInfoRec& inForce);
  bool keyMatches(const StartStopInfo& e, int32_t pos) const;
  bool confirmed(int32_t i, int32_t pos);
  void open(int32_t i, int32_t pos);

  TCustomExtHighlighter& H;
  TExtStartStopList& List;
  TZarvMemoHost& M;
  TParagraphsList& L;
  TZarvNavigator& A;
  TZarvNavigator& C;
  const int32_t fBase;
  int32_t fPar = 0, fLen = 0, fAOff = 0;
  ParInfo* fParInfo = nullptr;
  const char16_t* fText = nullptr;
  const char16_t* fUpper = nullptr;
  const std::vector<uint8_t>* fFolded = nullptr;
};

// First characters of the start keys and which keys compare with the
// upper-cased text; made again whenever the check flags are (every change
// of keys or separators clears them) or the control folds another way.
const TCustomExtHighlighter::TStartTables& TCustomExtHighlighter::startTables(const TZarvMemoHost& memo) {
  TExtStartStopList& list = *fStartStopKeys;
  TStartTables& t = fStartTables;
  if (list.fDelChecked && t.Mode == memo.getUpperCaseType() && t.Folded.size() == size_t(list.Count()))
    return t;
  list.UpdateCheckFlags(fDelimiters);
  t = TStartTables();
  t.Mode = memo.getUpperCaseType();
  for (int32_t i = 0; i < list.Count(); ++i) {
    const StartStopInfo& e = list.EntryUnchecked(i);
    const bool folded = comparesFolded(memo, e, e.StartKey);
    t.Folded.push_back(folded);
    if (e.StartLen == 0)
      continue;
    t.AnyFolded |= folded;
    const char16_t c = e.StartKey.front();
    if (c >= 256)
      t.HighFirst = true;
    else
      (folded ? t.FirstUpper : t.FirstExact).set(c);
  }
  return t;
}

bool TExtStartPass::Run() {
  A.RightOfDyn();
  if (DynToLevel(*A.GetpDynInfo()) >= TCustomExtHighlighter::kMaxLevel)
    return false;
  const TCustomExtHighlighter::TStartTables& tables = H.startTables(M);
  fFolded = &tables.Folded;
  fPar = A.GetParNb();
  fParInfo = A.GetPar();
  fLen = GetParLength(*fParInfo);
  fAOff = std::min(A.GetOffset(), fLen);
  const int32_t cOff = std::min(C.GetParNb() == fPar ? C.GetOffset() : fLen, fLen);
  const int64_t reach = int64_t(List.LongestStartKey()) + 1;
  const int32_t ws = int32_t(fAOff - std::min<int64_t>(fAOff, reach));
  const int32_t we = int32_t(std::min<int64_t>(fLen, cOff + reach));
  fText = fParInfo->ParText;
  fUpper = tables.AnyFolded ? M.GetUpText(fPar) : fText;
  const std::bitset<256>& firstExact = tables.FirstExact;
  const std::bitset<256>& firstUpper = tables.FirstUpper;
  const bool highFirst = tables.HighFirst;
  const bool anyFolded = tables.AnyFolded;
  const TDynInfoArray& codes = GetDynArray(*fParInfo);
  size_t next = size_t(
      std::upper_bound(codes.begin(), codes.end(), ws, [](int32_t o, const DynInfoRec& d) { return o < d.DynOffset; }) -
      codes.begin());
  auto mayBegin = [&](int32_t pos) {
    const char16_t c = fText[pos];
    return highFirst || (c < 256 && firstExact.test(c)) ||
           (anyFolded && fUpper[pos] < 256 && firstUpper.test(fUpper[pos]));
  };
  for (int32_t pos = ws; pos < we; ++pos) {
    if (!mayBegin(pos))
      continue;
    while (next < codes.size() && codes[next].DynOffset <= pos)
      ++next;
    if (tryAt(pos, next > 0 ? codes[next - 1] : *GetStartDynAttrib(*fParInfo)))
      return true;
  }
  return false;
}

bool TExtStartPass::keyMatches(const StartStopInfo& e, int32_t pos) const {
  const int32_t n = e.StartLen;
  if (n == 0 || n > fLen - pos || pos + n <= fAOff)
    return false;
  const char16_t* src = (*fFolded)[size_t(&e - &List.EntryUnchecked(0))] ? fUpper : fText;
  if (!std::equal(e.StartKey.begin(), e.StartKey.end(), src + pos))
    return false;
  const TCharSet& delims = H.fDelimiters;
  if (e.StartLeftCheck && pos > 0 && !delims.test(zvChar(fText[pos - 1])))
    return false;
  return !(e.StartRightCheck && pos + n < fLen && !delims.test(zvChar(fText[pos + n])));
}

bool TExtStartPass::confirmed(int32_t i, int32_t pos) {
  if (!H.OnStart)
    return true;
  TZarvNavigator at(&L);
  at.AttachMemo(&M);
  at.SetParPos(fPar, pos);
  bool ok = true;
  const THandlerGuard guard(L, fPar);
  H.OnStart(H, at, C, i, ok);
  guard.Check();
  return ok;
}

bool TExtStartPass::tryAt(int32_t pos, const DynInfoRec& inForce) {
  const int level = DynToLevel(inForce);
  if (level >= TCustomExtHighlighter::kMaxLevel)
    return false;
  const int32_t context = DynToContext(inForce);
  const int32_t priority = H.GetPriority(inForce, fBase);
  const bool inside = inForce.DynStyle & dsHasAttrib;
  for (int32_t i = 0; i < List.Count(); ++i) {
    const StartStopInfo& e = List.EntryUnchecked(i);
    if (!TCustomExtHighlighter::KeyAccepted(level, context, priority, inside, e.Scope, e.Priority, true) ||
        !keyMatches(e, pos))
      continue;
    if (int64_t(fBase) + i > TCustomExtHighlighter::kMaxStartStopIndex) {
      H.warnIndexOverflow();
      continue;
    }
    if (!H.wordOptionsAllow(e.Attributes.Options, fText, pos))
      continue;
    // A quote-like key (start equal to stop) inside its own range is that
    // range's stop, not a new start.
    if (e.StartKey == e.StopKey && level >= 0 && uint16_t(inForce.KeyIndex[level]) == (kStartStopBit | (fBase + i)))
      return false;
    if (!confirmed(i, pos))
      continue;
    open(i, pos);
    return true;
  }
  return false;
}

void TExtStartPass::open(int32_t i, int32_t pos) {
  const StartStopInfo& e = List.EntryUnchecked(i);
  ParInfo& par = *fParInfo;
  TDynInfoArray& w = GetDynArrayForWrite(par);
  const size_t at = FirstDynAtOrAfter(w, pos);
  const DynInfoRec before = GetDynInForce(par, pos);
  const int levelAt = DynToLevel(before);
  if (levelAt >= 0 && at > 0 && w[at - 1].DynOffset <= pos && isLevelRun(w[at - 1]))
    w[at - 1].SS.StopKLen = 0; // the enclosing range now holds another
  DynInfoRec run = before;
  run.DynStyle = static_cast<uint8_t>((e.Attributes.Style & 0x3F) | dsHasLevel | dsHasAttrib);
  run.DynOffset = pos;
  run.Level = static_cast<int8_t>(levelAt + 1);
  run.KeyIndex[run.Level] = static_cast<int16_t>(kStartStopBit | (fBase + i));
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
  run.SS.StartKlen = KlenOf(int64_t(e.StartCheckLen) + (e.StartRightCheck ? 1 : 0));
  run.SS.StopKLen = KlenOf(e.StopLen);
  // The key's own characters keep no other code.
  const size_t end = FirstDynAtOrAfter(w, pos + e.StartLen);
  w.erase(w.begin() + ptrdiff_t(at), w.begin() + ptrdiff_t(end));
  w.insert(w.begin() + ptrdiff_t(at), run);
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
  A.ForgetIndexes();
  C.ForgetIndexes();
  C.SetParPos(fPar, pos + e.StartLen);
  C.RightOfDyn();
}

bool TCustomExtHighlighter::MayStartIn(const TZarvMemoHost& Memo, const char16_t* Text, int32_t From, int32_t To) {
  if (fActive && fStartStopKeys->Count() > 0) {
    const TStartTables& t = startTables(Memo);
    if (t.HighFirst || t.AnyFolded)
      return true; // folding and characters above 255: not worth a finer test
    for (int32_t i = From; i < To; ++i)
      if (Text[i] < 256 && t.FirstExact.test(Text[i]))
        return true;
  }
  return fSubHighlighter && fSubHighlighter->MayStartIn(Memo, Text, From, To);
}

bool TCustomExtHighlighter::findOwnStart(TZarvNavigator& A, TZarvNavigator& C, int32_t Base) {
  return TExtStartPass(*this, A, C, Base).Run();
}

bool TCustomExtHighlighter::FindStart(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  if (fActive && fStartStopKeys->Count() > 0 && findOwnStart(StartNav, StopNav, Base))
    return true;
  if (fSubHighlighter)
    return fSubHighlighter->FindStart(StartNav, StopNav, Base + fStartStopKeys->Count());
  return false;
}

// ---- Stop keys ---------------------------------------------------------------------

class TExtStopPass {
public:
  TExtStopPass(TCustomExtHighlighter& h, TZarvNavigator& a, TZarvNavigator& c, int32_t base, int32_t local)
      : H(h), List(*h.fStartStopKeys), M(*a.Memo()), L(M.Paragraphs()), A(a), C(c), fBase(base), fLocal(local),
        E(List.Entry(local)) {}

  bool Run();

private:
  bool findStop(int32_t ws, int32_t searchEnd, int32_t& stopStart, int32_t& stopEnd);
  bool confirmed(int32_t stopEnd);
  DynInfoRec closingCode(const DynInfoRec& d, int level, int32_t codeIndex);
  void close(ParInfo& par, const DynInfoRec& d, int32_t dynAt, int32_t stopStart, int32_t stopEnd);

  TCustomExtHighlighter& H;
  TExtStartStopList& List;
  TZarvMemoHost& M;
  TParagraphsList& L;
  TZarvNavigator& A;
  TZarvNavigator& C;
  const int32_t fBase, fLocal;
  const StartStopInfo& E;
  int32_t fPar = 0, fLen = 0, fAOff = 0;
  const char16_t* fText = nullptr;
};

bool TExtStopPass::confirmed(int32_t stopEnd) {
  if (!H.OnStop)
    return true;
  TZarvNavigator stop(&L);
  stop.AttachMemo(&M);
  stop.SetParPos(fPar, stopEnd);
  bool ok = true;
  const THandlerGuard guard(L, fPar);
  H.OnStop(H, A, stop, fLocal, ok);
  guard.Check();
  return ok;
}

// The first accepted stop in [ws, searchEnd) ending at or after A.
bool TExtStopPass::findStop(int32_t ws, int32_t searchEnd, int32_t& stopStart, int32_t& stopEnd) {
  const TCharSet& delims = H.fDelimiters;
  auto delim = [&](int32_t i) { return delims.test(zvChar(fText[i])); };
  if (E.ssOptions.testFlag(ssoDelStop)) {
    for (int32_t q = std::max(ws, fAOff); q < searchEnd; ++q)
      if (delim(q) && confirmed(q)) {
        stopStart = stopEnd = q;
        return true;
      }
    return false;
  }
  const int32_t n = E.StopLen;
  if (n == 0)
    return false;
  const char16_t* src = comparesFolded(M, E, E.StopKey) ? M.GetUpText(fPar) : fText;
  const std::u16string_view hay(src, size_t(searchEnd));
  const std::u16string_view key(E.StopKey);
  for (size_t q = hay.find(key, size_t(ws)); q != std::u16string_view::npos; q = hay.find(key, q + 1)) {
    const int32_t at = int32_t(q);
    // A key ending before A was already seen by the parse that led here.
    if (at + n < fAOff)
      continue;
    if (E.StopLeftCheck && at > 0 && !delim(at - 1))
      continue;
    if (E.StopRightCheck && at + n < fLen && !delim(at + n))
      continue;
    if (!confirmed(at + n))
      continue;
    stopStart = at;
    stopEnd = at + n;
    return true;
  }
  return false;
}

// The code written where the range ends: the chained key's run when a
// later entry of the same scope and priority continues this one, else what
// was in force before the range.
DynInfoRec TExtStopPass::closingCode(const DynInfoRec& d, int level, int32_t codeIndex) {
  for (int32_t j = fLocal + 1; j < List.Count(); ++j) {
    const StartStopInfo& c = List.Entry(j);
    if (c.Previous != fLocal || c.Scope != E.Scope || c.Priority != E.Priority)
      continue;
    if (int64_t(fBase) + j > TCustomExtHighlighter::kMaxStartStopIndex) {
      H.warnIndexOverflow();
      break;
    }
    DynInfoRec next = d;
    next.DynStyle = static_cast<uint8_t>((c.Attributes.Style & 0x3F) | dsHasLevel | dsHasAttrib);
    next.KeyIndex[level] = static_cast<int16_t>(kStartStopBit | (fBase + j));
    next.Cursor = c.Attributes.Cursor;
    next.Backgnd = c.Attributes.Backgnd;
    next.Foregnd = c.Attributes.Foregnd;
    next.SS.StartKlen = 0;
    next.SS.StopKLen = KlenOf(c.StopLen);
    return next;
  }
  DynInfoRec next = codeBeforeRange(L, fPar, codeIndex, level);
  next.SS.StartKlen = 0;
  return next;
}

bool TExtStopPass::Run() {
  H.startTables(M); // the check flags, with the tables made alongside them
  const int32_t dynAt = A.GetDynNb();
  const DynInfoRec d = *A.GetpDynInfo();
  fPar = A.GetParNb();
  ParInfo& par = *A.GetPar();
  fLen = GetParLength(par);
  fAOff = std::min(A.GetOffset(), fLen);
  fText = par.ParText;
  const int32_t cOff = std::min(C.GetParNb() == fPar ? C.GetOffset() : fLen, fLen);
  const int32_t n = E.StopLen;
  const bool ownCode = dynAt > 0; // the code in force is one of this paragraph's codes

  int32_t ws = int32_t(std::max<int64_t>(0, int64_t(fAOff) - n - (E.StopLeftCheck ? 1 : 0)));
  // Never into the start key: a stop equal to the start (quotes) must not
  // close the range on its own opening characters.
  if (ownCode) {
    const int32_t keyLeft = d.SS.StartKlen >= kMaxKlen ? E.StartLen : std::min<int32_t>(d.SS.StartKlen, E.StartLen);
    ws = std::max(ws, d.DynOffset + keyLeft);
  }
  const int32_t searchEnd = int32_t(std::min<int64_t>(fLen, int64_t(cOff) + n));
  int32_t stopStart = -1, stopEnd = -1;
  if (!fText || !findStop(ws, searchEnd, stopStart, stopEnd)) {
    if (!(E.ssOptions.testFlag(ssoParStop) && cOff >= fLen))
      return false;
    stopStart = stopEnd = fLen; // the range ends with its paragraph
  }
  close(par, d, dynAt, stopStart, stopEnd);
  return true;
}

// Writes the end of the range in force at A (its code `d`, found before
// code index dynAt) over [stopStart, stopEnd) and moves C after it.
void TExtStopPass::close(ParInfo& par, const DynInfoRec& d, int32_t dynAt, int32_t stopStart, int32_t stopEnd) {
  const int level = DynToLevel(d);
  const bool ownCode = dynAt > 0;
  TDynInfoArray& w = GetDynArrayForWrite(par);
  {
    // The key's own characters keep no other code.
    const size_t from = FirstDynAtOrAfter(w, stopStart);
    const size_t to = FirstDynAtOrAfter(w, stopEnd);
    if (from < to && !(ownCode && from <= size_t(dynAt - 1) && size_t(dynAt - 1) < to))
      w.erase(w.begin() + ptrdiff_t(from), w.begin() + ptrdiff_t(to));
  }
  if (ownCode) {
    DynInfoRec& opening = w[size_t(std::min<int32_t>(dynAt, int32_t(w.size())) - 1)];
    if (DynToLevel(opening) == level)
      opening.SS.StopKLen = KlenOf(int64_t(E.StopLen) + (E.StopLeftCheck ? 1 : 0));
  }
  DynInfoRec next = closingCode(d, level, std::min<int32_t>(A.GetDynNb(), int32_t(w.size())));
  next.DynOffset = stopEnd;
  // The new code follows the code in force at A when the range ends where
  // A stands (see the control's FindStop).
  size_t insertAt = FirstDynAtOrAfter(w, stopEnd);
  if (stopEnd == fAOff && ownCode)
    insertAt = std::max(insertAt, std::min(size_t(dynAt), w.size()));
  w.insert(w.begin() + ptrdiff_t(insertAt), next);
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
  A.ForgetIndexes();
  C.ForgetIndexes();
  C.SetParPos(fPar, stopEnd);
  C.RightOfDyn();
}

bool TCustomExtHighlighter::FindStop(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  const DynInfoRec& d = *StartNav.GetpDynInfo();
  const int level = DynToLevel(d);
  if (level < 0 || level > kMaxLevel)
    return false;
  const int16_t k = d.KeyIndex[level];
  const int32_t local = int32_t(uint16_t(k) & 0x7FFF) - Base;
  if (local < 0)
    return false;
  if (!fActive || k >= 0 || local >= fStartStopKeys->Count()) {
    if (fSubHighlighter)
      return fSubHighlighter->FindStop(StartNav, StopNav, Base + fStartStopKeys->Count());
    return false;
  }
  return TExtStopPass(*this, StartNav, StopNav, Base, local).Run();
}

} // namespace zarv
