// The extended highlighter's keywords in the highlighting pass.
//
// Per paragraph the keywords are found with one scan (TKeywordMatcher),
// keyword by keyword in list order, each keyword's occurrences left to
// right without overlapping one another. The occurrences are then settled
// in that order against the paragraph's codes as the earlier accepted ones
// changed them: an occurrence must be accepted where it begins (scope,
// priority and level of the code in force), may cover only whole keywords
// (which it then replaces), never part of a keyword or of a range, and
// passes the word options and OnKeyword. The accepted runs form a laminar
// family (disjoint or nested) that is written into the codes in one merge.
//
// Settling does not write codes: the runs accepted so far are kept beside
// the paragraph's codes, with the innermost run covering each character
// (fOwner), which answers "what is in force here" and "which codes lie
// strictly inside this span" in the time of the span's length.
#include <ZarvMemo/highlighters/CustomExtHighlighter.h>

#include <ZarvMemo/highlighters/ExtPassScratch.h>
#include <ZarvMemo/highlighters/HandlerGuard.h>
#include <ZarvMemo/platform/IntegrityGuard.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/highlight/RunMerge.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace zarv {

namespace {
using TOccurrence = TExtKeywordScratch::TOccurrence;
using TAcceptedRun = TExtKeywordScratch::TAcceptedRun;
} // namespace

class TExtKeywordPass {
public:
  TExtKeywordPass(TCustomExtHighlighter& h, TZarvNavigator& startNav, TZarvNavigator& stopNav, int32_t base)
      : H(h), K(*h.fKeywords), M(*startNav.Memo()), L(M.Paragraphs()), fStart(startNav), fStop(stopNav), fBase(base),
        fSpace(h.fKeywordScratch ? std::move(h.fKeywordScratch) : std::make_unique<TExtKeywordScratch>()),
        fOccurrences(fSpace->Occurrences), fRuns(fSpace->Runs), fOwner(fSpace->Owner), fApply(fSpace->Apply),
        fMerged(fSpace->Merged) {}
  ~TExtKeywordPass() {
    fSpace->Trim();
    H.fKeywordScratch = std::move(fSpace);
  }
  TExtKeywordPass(const TExtKeywordPass&) = delete; // holds references into its working space
  TExtKeywordPass& operator=(const TExtKeywordPass&) = delete;

  void Run();

private:
  bool paragraph(int32_t p, int32_t changeStart, int32_t changeEnd);
  bool ownRun(const DynInfoRec& d, int32_t& len) const;
  void collect(const ParInfo& par, int32_t p, int32_t w0, int32_t w1, int32_t changeStart, int32_t changeEnd);
  void settle(int32_t p, const ParInfo& par);
  bool accept(int32_t p, const TOccurrence& o, const ParInfo& par);
  bool coversWholeKeywordsOnly(int32_t s, int32_t e, int newLevel, std::vector<int32_t>& swallowed);
  bool classify(const DynInfoRec& code, int newLevel, bool& pending) const;
  const DynInfoRec& baseAtRight(int32_t off) const;
  const DynInfoRec& baseBefore(int32_t off, int32_t& from) const;
  DynInfoRec restoreOf(int32_t r, int32_t& from) const;
  int32_t lca(int32_t a, int32_t b) const;
  void write(ParInfo& par);

  TCustomExtHighlighter& H;
  const TExtKeywordList& K;
  TZarvMemoHost& M;
  TParagraphsList& L;
  TZarvNavigator& fStart;
  TZarvNavigator& fStop;
  const int32_t fBase;
  int32_t fStartStopBase = 0;

  // The paragraph being settled: its codes before this pass's runs, its
  // start record, where fOwner begins, and the working space (the
  // highlighter's, or this pass's own when a nested pass holds that).
  const TDynInfoArray* fCodes = nullptr;
  const DynInfoRec* fStartRec = nullptr;
  int32_t fW0 = 0;
  std::unique_ptr<TExtKeywordScratch> fSpace;
  std::vector<TOccurrence>& fOccurrences;
  std::vector<TAcceptedRun>& fRuns;
  std::vector<int32_t>& fOwner;
  std::vector<TRunToApply>& fApply;
  TDynInfoArray& fMerged;
};

void TExtKeywordPass::Run() {
  fStartStopBase = H.startStopBaseIn(M);
  const int32_t first = fStart.GetParNb(), last = fStop.GetParNb();
  const int32_t firstOff = fStart.GetOffset(), lastOff = fStop.GetOffset();
  int32_t firstChanged = -1;
  for (int32_t p = first; p <= last; ++p) {
    const int32_t len = GetParLength(*L.Par(p));
    if (paragraph(p, p == first ? std::min(firstOff, len) : 0, p == last ? std::min(lastOff, len) : len) &&
        firstChanged < 0)
      firstChanged = p;
  }
  if (firstChanged >= 0)
    InvalidateNavs(M.Navigators(), L.Par(firstChanged)->StartOffset, last);
}

bool TExtKeywordPass::paragraph(int32_t p, int32_t changeStart, int32_t changeEnd) {
  ParInfo& par = *L.Par(p);
  const int32_t len = GetParLength(par);
  const bool own = H.searchesOwnKeywords();
  if (own) {
    changeStart = 0;
    changeEnd = len;
  }
  const int32_t longest = K.LongestKeyword();
  const int32_t w0 =
      p == fStart.GetParNb() && !own ? int32_t(std::max<int64_t>(0, int64_t(changeStart) - longest - 1)) : 0;
  const int32_t w1 =
      p == fStop.GetParNb() && !own ? int32_t(std::min<int64_t>(len, int64_t(changeEnd) + longest)) : len;
  // Runs of this list that touch the changed text are found again if they
  // still match; one that no longer does loses its style.
  RemoveRuns(par, changeStart, std::max(changeEnd, changeStart + 1),
             [this](const DynInfoRec& d, int32_t& n) { return ownRun(d, n); });
  if (w1 <= w0)
    return false;
  if (own) {
    fOccurrences.clear();
    H.findOwnKeywords(M, p, fOccurrences);
  } else {
    collect(par, p, w0, w1, changeStart, changeEnd);
  }
  if (fOccurrences.empty())
    return false;
  settle(p, par);
  if (fApply.empty())
    return false;
  write(par);
  return true;
}

bool TExtKeywordPass::ownRun(const DynInfoRec& d, int32_t& len) const {
  const int level = DynToLevel(d);
  if (level < 0 || level > 15)
    return false;
  const int32_t local = d.KeyIndex[level] - fBase;
  if (d.KeyIndex[level] < 0 || local < 0 || local >= K.GetCount())
    return false;
  const TKeyInfoLen& e = K.KeyInfoLen(local);
  // Keys that are not literal texts match runs of any length.
  const bool own = H.searchesOwnKeywords();
  len = own ? d.SS.StartKlen : e.KeyLen;
  return d.DynStyle == ((e.BasicPart.Style & 0x3F) | dsHasLevel | dsHasAttrib) &&
         d.Context == e.BasicPart.ContextNumber && d.Backgnd == e.BasicPart.Backgnd &&
         d.Foregnd == e.BasicPart.Foregnd && d.Cursor == e.BasicPart.Cursor &&
         (own ? d.SS.StartKlen == d.SS.StopKLen
              : d.SS.StartKlen == KlenOf(e.KeyLen) && d.SS.StopKLen == KlenOf(e.KeyLen));
}

// The occurrences of each keyword, in list order, as one left-to-right
// search per keyword finds them: starting from changeStart - its length up
// to changeEnd, each going on after the one before.
void TExtKeywordPass::collect(const ParInfo& par, int32_t p, int32_t w0, int32_t w1, int32_t changeStart,
                              int32_t changeEnd) {
  fOccurrences.clear();
  const char16_t* text = par.ParText;
  const int32_t len = GetParLength(par);
  const bool allMatchCase = K.GWOptions().testFlag(woMatchCase);
  // The matcher reads the text (and the control's upper-cased copy) in
  // place; both stay put until it is done.
  const std::u16string_view t(text + w0, size_t(w1 - w0));
  const std::u16string_view u = allMatchCase ? t : std::u16string_view(M.GetUpText(p) + w0, size_t(w1 - w0));
  const TCharSet& delims = H.fDelimiters;
  TKeywordMatcher& m = H.matcher();
  const int32_t from = changeStart - w0;
  const int32_t limit = std::min(w1, changeEnd + 1) - w0;
  m.Collect(t, u, from, limit, delims);
  auto delimAt = [&](int32_t i) { return delims.test(zvChar(text[i])); };
  for (const int32_t number : m.Touched()) {
    const TKeywordMatcher::TKey& key = m.Keys()[size_t(number)];
    if (int64_t(fBase) + key.Index > TCustomExtHighlighter::kMaxKeywordIndex) {
      H.warnIndexOverflow();
      continue;
    }
    int32_t next = std::max(0, from - key.Len);
    for (const int32_t pos : m.Candidates(number)) {
      if (pos < next || pos >= limit)
        continue;
      const int32_t at = w0 + pos;
      next = pos + key.Len; // the search goes on after any occurrence
      if (key.Whole && !((at == 0 || delimAt(at - 1)) && (at + key.Len >= len || delimAt(at + key.Len))))
        continue;
      fOccurrences.push_back({at, key.Len, key.Index});
    }
  }
}

const DynInfoRec& TExtKeywordPass::baseAtRight(int32_t off) const {
  const TDynInfoArray& c = *fCodes;
  const auto it =
      std::upper_bound(c.begin(), c.end(), off, [](int32_t o, const DynInfoRec& d) { return o < d.DynOffset; });
  return it == c.begin() ? *fStartRec : *(it - 1);
}

const DynInfoRec& TExtKeywordPass::baseBefore(int32_t off, int32_t& from) const {
  const TDynInfoArray& c = *fCodes;
  const auto it =
      std::lower_bound(c.begin(), c.end(), off, [](const DynInfoRec& d, int32_t o) { return d.DynOffset < o; });
  from = it == c.begin() ? 0 : (it - 1)->DynOffset;
  return it == c.begin() ? *fStartRec : *(it - 1);
}

// What was in force just before run r's end before r was laid: its parent,
// or the paragraph's own code there.
DynInfoRec TExtKeywordPass::restoreOf(int32_t r, int32_t& from) const {
  const TAcceptedRun& run = fRuns[size_t(r)];
  if (run.Parent >= 0) {
    from = fRuns[size_t(run.Parent)].S;
    return fRuns[size_t(run.Parent)].Code;
  }
  return baseBefore(run.E, from);
}

int32_t TExtKeywordPass::lca(int32_t a, int32_t b) const {
  auto depth = [&](int32_t r) { return r < 0 ? -1 : fRuns[size_t(r)].Depth; };
  while (depth(a) > depth(b))
    a = fRuns[size_t(a)].Parent;
  while (depth(b) > depth(a))
    b = fRuns[size_t(b)].Parent;
  while (a != b) {
    a = fRuns[size_t(a)].Parent;
    b = fRuns[size_t(b)].Parent;
  }
  return a;
}

// A start code of a keyword at the new run's level or deeper opens a
// pending keyword, a code without a start closes it; anything else (a
// range's code, a shallower level, a close with nothing pending) refuses.
bool TExtKeywordPass::classify(const DynInfoRec& code, int newLevel, bool& pending) const {
  if ((code.DynStyle & (dsHasLevel | dsHasAttrib)) == (dsHasLevel | dsHasAttrib)) {
    const int level = code.Level;
    if (level >= newLevel && level < 16 && code.KeyIndex[level] >= 0) {
      pending = true;
      return true;
    }
    return false;
  }
  if (!pending)
    return false;
  pending = false;
  return true;
}

// Walks the codes strictly between s and e as they stand with the runs
// accepted so far; collects the runs that start there (which the new run
// would replace).
bool TExtKeywordPass::coversWholeKeywordsOnly(int32_t s, int32_t e, int newLevel, std::vector<int32_t>& swallowed) {
  const TDynInfoArray& c = *fCodes;
  size_t bi =
      size_t(std::upper_bound(c.begin(), c.end(), s, [](int32_t o, const DynInfoRec& d) { return o < d.DynOffset; }) -
             c.begin());
  bool pending = false;
  std::vector<int32_t> starts;
  for (int32_t x = s + 1; x < e; ++x) {
    const int32_t a = fOwner[size_t(x - 1 - fW0)], b = fOwner[size_t(x - fW0)];
    const bool baseHere = bi < c.size() && c[bi].DynOffset == x;
    if (a == b && !baseHere)
      continue;
    const int32_t common = a == b ? a : lca(a, b);
    for (int32_t r = a; r != common; r = fRuns[size_t(r)].Parent) {
      int32_t from;
      if (!classify(restoreOf(r, from), newLevel, pending))
        return false;
    }
    for (; bi < c.size() && c[bi].DynOffset == x; ++bi)
      if (common < 0 && !classify(c[bi], newLevel, pending))
        return false;
    starts.clear();
    for (int32_t r = b; r != common; r = fRuns[size_t(r)].Parent)
      starts.push_back(r);
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
      if (!classify(fRuns[size_t(*it)].Code, newLevel, pending))
        return false;
      swallowed.push_back(*it);
    }
  }
  return !pending;
}

void TExtKeywordPass::settle(int32_t p, const ParInfo& par) {
  fCodes = &GetDynArray(par);
  fStartRec = GetStartDynAttrib(par);
  fRuns.clear();
  fApply.clear();
  // Occurrences come key by key, not in position order.
  int32_t lo = INT32_MAX, hi = 0;
  for (const TOccurrence& o : fOccurrences) {
    lo = std::min(lo, o.Pos);
    hi = std::max(hi, o.Pos + o.Len);
  }
  fW0 = lo;
  fOwner.assign(size_t(hi - lo), -1);
  for (size_t i = 0; i < fOccurrences.size(); ++i)
    accept(p, fOccurrences[i], par);
  for (size_t r = 0; r < fRuns.size(); ++r) {
    const TAcceptedRun& run = fRuns[r];
    if (!run.Alive)
      continue;
    TRunToApply a;
    a.Start = run.S;
    a.Stop = run.E;
    a.Depth = run.Depth;
    a.Code = run.Code;
    int32_t from = 0;
    a.Restore = restoreOf(int32_t(r), from);
    a.Restore.SS.StartKlen = KlenOf(int64_t(a.Restore.SS.StartKlen) - (run.E - from));
    a.RestoreAtStop = par.StartOffset + run.E < L.fTextLen;
    fApply.push_back(a);
  }
}

bool TExtKeywordPass::accept(int32_t p, const TOccurrence& o, const ParInfo& par) {
  const int32_t s = o.Pos, e = o.Pos + o.Len;
  const int32_t parent = fOwner[size_t(s - fW0)];
  const DynInfoRec inForce = parent >= 0 ? fRuns[size_t(parent)].Code : baseAtRight(s);
  const int level = DynToLevel(inForce);
  const TKeyInfoLen& key = K.KeyInfoLen(o.Index);
  if (!TCustomExtHighlighter::KeyAccepted(level, DynToContext(inForce), H.GetPriority(inForce, fStartStopBase),
                                          inForce.DynStyle & dsHasAttrib, key.Scope, key.Priority, false))
    return false;
  if (parent >= 0 && e > fRuns[size_t(parent)].E)
    return false; // would end outside the keyword it begins in
  std::vector<int32_t> swallowed;
  if (!coversWholeKeywordsOnly(s, e, level + 1, swallowed))
    return false;
  if (!H.wordOptionsAllow(key.BasicPart.Options, par.ParText, s))
    return false;
  if (H.OnKeyword) {
    TZarvNavigator a(&L), b(&L);
    a.AttachMemo(&M);
    b.AttachMemo(&M);
    a.SetParPos(p, s);
    a.RightOfDyn();
    b.SetParPos(p, e);
    bool ok = true;
    const THandlerGuard guard(L, p);
    H.OnKeyword(H, a, b, o.Index, ok);
    guard.Check();
    if (!ok)
      return false;
  }
  TAcceptedRun run;
  run.S = s;
  run.E = e;
  run.Parent = parent;
  run.Depth = parent >= 0 ? fRuns[size_t(parent)].Depth + 1 : 0;
  run.Alive = true;
  DynInfoRec& d = run.Code;
  d = inForce;
  d.DynStyle = static_cast<uint8_t>((key.BasicPart.Style & 0x3F) | dsHasLevel | dsHasAttrib);
  d.Level = static_cast<int8_t>(level + 1);
  d.KeyIndex[d.Level] = static_cast<int16_t>(fBase + o.Index);
  for (int l = d.Level + 1; l < 16; ++l)
    d.KeyIndex[l] = 0;
  d.Backgnd = key.BasicPart.Backgnd;
  d.Foregnd = key.BasicPart.Foregnd;
  d.Cursor = key.BasicPart.Cursor;
  d.Context = key.BasicPart.ContextNumber;
  d.CollpsLevel = static_cast<int8_t>(DynToCollapseLevel(inForce));
  d.CollpsState = 0;
  d.SS.StartKlen = d.SS.StopKLen = KlenOf(o.Len);
  const int32_t index = int32_t(fRuns.size());
  for (const int32_t r : swallowed)
    fRuns[size_t(r)].Alive = false;
  fRuns.push_back(run);
  std::fill(fOwner.begin() + (s - fW0), fOwner.begin() + (e - fW0), index);
  return true;
}

void TExtKeywordPass::write(ParInfo& par) {
  MergeRuns(GetDynArrayForWrite(par), fApply, fMerged);
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
}

void TCustomExtHighlighter::findOwnKeywords(TZarvMemoHost&, int32_t, std::vector<TKeywordOccurrence>&) {}

void TCustomExtHighlighter::ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  if (fActive && fKeywords->GetCount() > 0) {
    ZARV_CHECKED_SCOPE("TCustomExtHighlighter::ApplyKeywordsList", TParagraphsList, *StartNav.List(),
                       s.CheckIntegrity());
    TExtKeywordPass(*this, StartNav, StopNav, Base).Run();
  }
  if (fSubHighlighter)
    fSubHighlighter->ApplyKeywordsList(StartNav, StopNav, Base + fKeywords->GetCount());
}

} // namespace zarv
