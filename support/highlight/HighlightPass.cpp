// Style runs from keywords, the range operation SetDynStyleP, plain-text
// search, and the whole-text and after-edit drivers of the pass. The
// start-stop part of the pass is in StartStopPass.cpp.
#include <ZarvMemo/platform/IntegrityGuard.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>

#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/highlight/Highlighter.h>
#include <ZarvMemo/support/highlight/KeywordMatcher.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace zarv {

bool DynEquivalent(const DynInfoRec& a, const DynInfoRec& b) {
  if ((a.DynStyle & (dsHasLevel | dsHasAttrib)) != (b.DynStyle & (dsHasLevel | dsHasAttrib)))
    return false;
  if (!(a.DynStyle & dsHasAttrib))
    return true;
  if (a.Level != b.Level || a.Context != b.Context)
    return false;
  for (int i = 0; i <= a.Level && i < 16; ++i)
    if (a.KeyIndex[i] != b.KeyIndex[i])
      return false;
  return true;
}

void InvalidateNavs(const std::vector<TZarvNavigator*>& navs, int32_t fromPos, int32_t upToPar) {
  for (TZarvNavigator* n : navs)
    if (n->GetPos() >= fromPos && n->IsLocated() && n->GetParNb() <= upToPar)
      n->ForgetIndexes();
}

// ---- SetDynStyleP ---------------------------------------------------------------

void SetDynStyleP(TParagraphsList& Pars, TZarvNavigator& Nav1, TZarvNavigator& Nav2, const DynInfoRec& Dyn, bool Apply,
                  bool ExtendMods) {
  ZARV_CHECKED_SCOPE("SetDynStyleP", TParagraphsList, Pars, s.CheckIntegrity());
  Q_ASSERT_X(Nav1.List() == &Pars && Nav2.List() == &Pars, "SetDynStyleP", "navigators of another text");
  TZarvNavigator* s = &Nav1;
  TZarvNavigator* e = &Nav2;
  if (s->GetPos() > e->GetPos())
    std::swap(s, e);
  const int32_t startPar = s->GetParNb(), endPar = e->GetParNb();
  const int32_t startOff = s->GetOffset(), endOff = e->GetOffset();
  if (ExtendMods)
    Pars.ExtendMods(startPar, s->GetParLine(), endPar);

  // The code in force at the range end (and where it began), to restore it
  // after the range.
  const DynInfoRec remembered = *e->GetpDynInfo();
  const int32_t endDyn = e->GetDynNb();
  const int32_t rememberedPos =
      e->GetPar()->StartOffset + (endDyn > 0 ? GetDynArray(*e->GetPar())[size_t(endDyn - 1)].DynOffset : 0);
  const DynInfoRec inForce = *s->GetpDynInfo();

  DynInfoRec nd = Dyn;
  nd.CollpsLevel = static_cast<int8_t>(DynToCollapseLevel(inForce));
  if (Apply)
    nd.DynStyle |= dsHasAttrib;
  else
    nd.DynStyle = 0;
  if ((nd.DynStyle & dsHasAttrib) && (nd.CollpsState & zvdCollapsible))
    ++nd.CollpsLevel;
  nd.CollpsState &= static_cast<dInfoCollpsStates>(~zvdCollapsed);

  // The new code goes before the codes at the start, which it replaces.
  s->ForgetIndexes();
  int32_t firstRemoved = s->GetDynNb();
  if (Apply || (inForce.DynStyle & dsHasAttrib)) {
    s->AddDyn(nd);
    firstRemoved = s->GetDynNb();
  }

  DynInfoRec* shared = (Apply && endPar > startPar) ? NewStartRecord(nd) : nullptr;
  for (int32_t p = startPar; p <= endPar; ++p) {
    ParInfo& par = *Pars.Par(p);
    par.ParState &= static_cast<TParStates>(~zvpFormatted);
    if (par.ParState & zvpHasExtra) {
      TDynInfoArray& codes = par.ParExtra->DynCodes;
      const auto from = codes.begin() + (p == startPar ? firstRemoved : 0);
      const auto to = p == endPar ? std::lower_bound(from, codes.end(), endOff,
                                                     [](const DynInfoRec& d, int32_t o) { return d.DynOffset < o; })
                                  : codes.end();
      codes.erase(from, to);
    }
    if (p > startPar)
      SetStartDynAttrib(par, shared, false);
  }
  s->ForgetIndexes();
  s->SetParPos(startPar, startOff);
  s->RightOfDyn();
  e->ForgetIndexes();

  if (e->GetPos() < Pars.fTextLen && (Apply || (remembered.DynStyle & dsHasAttrib))) {
    DynInfoRec r = remembered;
    const int32_t dist = e->GetPos() - rememberedPos;
    r.SS.StartKlen = KlenOf(int64_t(r.SS.StartKlen) - dist);
    e->SetParPos(endPar, endOff);
    e->AddDyn(r);
  }
}

// ---- Keyword pass ------------------------------------------------------------------

namespace {

constexpr char16_t kMask = 5;

// Keywords may be found where the run in force has no attributes or no
// context; inside a context run only when keywords are reset and the run is
// a keyword or highlighter range (not one of the control's own ranges).
bool keywordsAllowed(const DynInfoRec& d, bool resetKeywords) {
  if (!(d.DynStyle & dsHasAttrib) || d.Context == 0)
    return true;
  return resetKeywords && (d.DynStyle & dsHasLevel) && d.Level >= 0 && d.Level < 16 && d.KeyIndex[d.Level] >= 0;
}

// Runs of the control's own keywords carry a level whose key is a keyword
// index of its list, and that keyword's look and length. Highlighters number
// their own ranges from other counts, so the number alone does not tell.
bool isOwnKeywordRun(const DynInfoRec& d, const TKeywordList& keywords) {
  if ((d.DynStyle & (dsHasLevel | dsHasAttrib)) != (dsHasLevel | dsHasAttrib) || d.Level < 0 || d.Level >= 16)
    return false;
  const int32_t k = d.KeyIndex[d.Level];
  if (k < 0 || k >= keywords.GetCount())
    return false;
  const TKeyInfoLen& e = keywords.KeyInfoLen(k);
  return d.DynStyle == (e.BasicPart.Style | dsHasLevel | dsHasAttrib) && d.Context == e.BasicPart.ContextNumber &&
         d.Backgnd == e.BasicPart.Backgnd && d.Foregnd == e.BasicPart.Foregnd && d.Cursor == e.BasicPart.Cursor &&
         d.SS.StartKlen == KlenOf(e.KeyLen) && d.SS.StopKLen == KlenOf(e.KeyLen);
}

// The same run apart from position and key lengths.
bool sameRun(const DynInfoRec& a, const DynInfoRec& b) {
  return a.DynStyle == b.DynStyle && a.Level == b.Level && a.CollpsLevel == b.CollpsLevel &&
         a.CollpsState == b.CollpsState && a.Backgnd == b.Backgnd && a.Foregnd == b.Foregnd && a.Context == b.Context &&
         a.Cursor == b.Cursor && std::equal(a.KeyIndex, a.KeyIndex + 16, b.KeyIndex);
}

// Removes runs of the control's own keywords that start in [from, to) of a
// paragraph together with the code restoring the run before them, so that
// a keyword that no longer matches loses its style. Returns whether any
// code went.
bool removeOwnKeywordRuns(ParInfo& par, int32_t from, int32_t to, const TKeywordList& keywords) {
  if (!(par.ParState & zvpHasExtra))
    return false;
  TDynInfoArray& codes = par.ParExtra->DynCodes;
  bool removed = false;
  for (size_t i = 0; i < codes.size();) {
    const DynInfoRec& k = codes[i];
    const int32_t len = isOwnKeywordRun(k, keywords) ? keywords.KeyInfoLen(k.KeyIndex[k.Level]).KeyLen : -1;
    if (len < 0 || k.DynOffset + len < from || k.DynOffset >= to) {
      ++i;
      continue;
    }
    const DynInfoRec before = i > 0 ? codes[i - 1] : *GetStartDynAttrib(par);
    const int32_t end = k.DynOffset + len;
    codes.erase(codes.begin() + static_cast<ptrdiff_t>(i));
    removed = true;
    if (i < codes.size() && codes[i].DynOffset == end && sameRun(codes[i], before))
      codes.erase(codes.begin() + static_cast<ptrdiff_t>(i));
    else if (i < codes.size() && codes[i].DynOffset == end && !(codes[i].DynStyle & dsHasAttrib) &&
             !(before.DynStyle & dsHasAttrib))
      codes.erase(codes.begin() + static_cast<ptrdiff_t>(i));
  }
  return removed;
}

struct TOccurrence {
  int32_t Pos;   // offset in the paragraph
  int32_t Index; // keyword index
  int32_t Len;
};

class TKeywordPass {
public:
  TKeywordPass(TZarvMemoHost& memo, TZarvNavigator& startNav, TZarvNavigator& stopNav)
      : M(memo), L(memo.Paragraphs()), K(memo.Keywords()), fStart(startNav), fStop(stopNav) {}

  void Run();

private:
  void paragraph(int32_t p, int32_t changeStart, int32_t changeEnd);
  void flush(int32_t p);
  void maskForbidden(const ParInfo& par, int32_t w0, int32_t w1, bool allMatchCase);

  TZarvMemoHost& M;
  TParagraphsList& L;
  const TKeywordList& K;
  TZarvNavigator& fStart;
  TZarvNavigator& fStop;
  // The occurrences found in the current paragraph, in order.
  std::vector<TOccurrence> fBatch;
  TDynInfoArray fMerged;
  std::u16string T, U;
};

void TKeywordPass::Run() {
  const int32_t first = fStart.GetParNb(), last = fStop.GetParNb();
  const int32_t firstOff = fStart.GetOffset(), lastOff = fStop.GetOffset();
  for (int32_t p = first; p <= last; ++p)
    paragraph(p, p == first ? firstOff : 0, p == last ? lastOff : GetParLength(*L.Par(p)));
}

void TKeywordPass::paragraph(int32_t p, int32_t changeStart, int32_t changeEnd) {
  ParInfo& par = *L.Par(p);
  const int32_t len = GetParLength(par);
  const bool reset = K.fResetKeywords;
  const int32_t longest = K.LongestKeyword();
  // A paragraph that cannot hold keywords at its start and has no codes
  // cannot hold any.
  if (!keywordsAllowed(*GetStartDynAttrib(par), reset) && GetDynCount(par) == 0)
    return;
  removeOwnKeywordRuns(par, reset ? 0 : changeStart, reset ? len + 1 : std::max(changeEnd, changeStart + 1), K);
  // 64-bit: a giant keyword must not wrap the window's ends.
  const int32_t w0 = p == fStart.GetParNb() ? int32_t(std::max<int64_t>(0, int64_t(changeStart) - longest - 1)) : 0;
  const int32_t w1 = p == fStop.GetParNb() ? int32_t(std::min<int64_t>(len, int64_t(changeEnd) + longest)) : len;
  if (w1 <= w0)
    return;
  const char16_t* text = par.ParText;
  T.assign(text + w0, static_cast<size_t>(w1 - w0));
  const bool allMatchCase = K.GWOptions().testFlag(woMatchCase);
  if (!allMatchCase) {
    U = T;
    zvUpperCaseBuf(M.getUpperCaseType(), U.data(), static_cast<int32_t>(U.size()));
  }
  // Mask what the runs in force forbid (nothing when no run does).
  const TDynInfoArray& codes = GetDynArray(par);
  if (!codes.empty() || !keywordsAllowed(*GetStartDynAttrib(par), reset))
    maskForbidden(par, w0, w1, allMatchCase);

  const TCharSet& delims = M.fDelimiters;
  auto isDelimAt = [&](int32_t i) { // i in paragraph offsets
    const char16_t c = (i >= w0 && i < w1) ? T[size_t(i - w0)] : text[i];
    return delims.test(zvChar(c));
  };
  const int32_t from = reset ? 0 : changeStart - w0;
  const int32_t startLimit = reset ? w1 - w0 : changeEnd - w0;
  fBatch.clear();
  M.KeywordMatcher().Find(
      T, U, !allMatchCase, from, startLimit, delims, kMask,
      [&](int32_t pos, const TKeywordMatcher::TKey& key) {
        const int32_t at = w0 + pos;
        return !key.Whole || ((at == 0 || isDelimAt(at - 1)) && (at + key.Len == len || isDelimAt(at + key.Len)));
      },
      [&](int32_t pos, const TKeywordMatcher::TKey& key) {
        fBatch.push_back({w0 + pos, key.Index, key.Len});
      });
  flush(p);
  par.ParState |= zvpKeywDone;
}

void TKeywordPass::maskForbidden(const ParInfo& par, int32_t w0, int32_t w1, bool allMatchCase) {
  const bool reset = K.fResetKeywords;
  const TDynInfoArray& codes = GetDynArray(par);
  size_t next = static_cast<size_t>(
      std::upper_bound(codes.begin(), codes.end(), w0, [](int32_t o, const DynInfoRec& d) { return o < d.DynOffset; }) -
      codes.begin());
  const DynInfoRec* inForce = next > 0 ? &codes[next - 1] : GetStartDynAttrib(par);
  bool allowed = keywordsAllowed(*inForce, reset);
  for (int32_t i = w0; i < w1; ++i) {
    while (next < codes.size() && codes[next].DynOffset <= i) {
      inForce = &codes[next++];
      allowed = keywordsAllowed(*inForce, reset);
    }
    if (!allowed) {
      T[size_t(i - w0)] = kMask;
      if (!allMatchCase)
        U[size_t(i - w0)] = kMask;
    }
  }
}

// Applies the paragraph's occurrences as keyword runs. A run lies inside
// one paragraph, so this does what SetDynStyleP does for such a range
// directly on the paragraph's codes: the run replaces the codes inside it
// and the run in force at its end comes back after it. Occurrences come in
// order, so the codes are rebuilt in one pass: a paragraph of a megabyte
// holds tens of thousands of keywords, and inserting each run into the
// middle of the array would move the rest of it every time.
void TKeywordPass::flush(int32_t p) {
  if (fBatch.empty())
    return;
  // The matcher reports key by key; the claimed characters never overlap.
  std::stable_sort(fBatch.begin(), fBatch.end(),
                   [](const TOccurrence& a, const TOccurrence& b) { return a.Pos < b.Pos; });
  ParInfo& par = *L.Par(p);
  TDynInfoArray& codes = GetDynArrayForWrite(par);
  DynInfoRec* startRec = GetStartDynAttrib(par);
  const size_t n = codes.size();
  TDynInfoArray& out = fMerged;
  out.clear();
  out.reserve(n + 2 * fBatch.size());
  size_t k = 0; // codes[k..] are not in `out` yet
  int32_t lastEnd = INT32_MIN;
  for (const TOccurrence& o : fBatch) {
    const TKeyInfoLen& e = K.KeyInfoLen(o.Index);
    const int32_t end = o.Pos + o.Len;
    if (o.Pos < lastEnd)
      continue; // overlaps the run before: that run took the characters
    while (k < n && codes[k].DynOffset < o.Pos)
      out.push_back(codes[k++]);
    // In force for the first character: the last code at it, else the
    // last one before it.
    size_t atPos = k;
    while (atPos < n && codes[atPos].DynOffset == o.Pos)
      ++atPos;
    DynInfoRec* inForce = atPos > k ? &codes[atPos - 1] : (!out.empty() ? &out.back() : startRec);
    const int level = DynToLevel(*inForce);
    if (level >= 15)
      continue; // no level left for the run
    if (level >= 0)
      inForce->SS.StopKLen = 0; // the enclosing range has a run inside it
    size_t beforeEnd = atPos;
    while (beforeEnd < n && codes[beforeEnd].DynOffset < end)
      ++beforeEnd;
    const bool anyBefore = beforeEnd > k || !out.empty();
    DynInfoRec restore = beforeEnd > k ? codes[beforeEnd - 1] : (!out.empty() ? out.back() : *startRec);
    const int32_t restoreFrom = anyBefore ? restore.DynOffset : 0;
    DynInfoRec run = *inForce;
    run.DynStyle = static_cast<uint8_t>(e.BasicPart.Style | dsHasLevel | dsHasAttrib);
    run.Level = static_cast<int8_t>(level + 1);
    run.KeyIndex[run.Level] = static_cast<int16_t>(o.Index);
    for (int l = run.Level + 1; l < 16; ++l)
      run.KeyIndex[l] = 0;
    run.Backgnd = e.BasicPart.Backgnd;
    run.Foregnd = e.BasicPart.Foregnd;
    run.Cursor = e.BasicPart.Cursor;
    run.Context = e.BasicPart.ContextNumber;
    run.CollpsLevel = static_cast<int8_t>(DynToCollapseLevel(*inForce));
    run.CollpsState = 0;
    run.SS.StartKlen = run.SS.StopKLen = KlenOf(o.Len);
    run.DynOffset = o.Pos;
    // The run replaces the codes inside it: those at its start already in
    // `out` (a restore of the run just before) and codes[k..beforeEnd).
    while (!out.empty() && out.back().DynOffset >= o.Pos)
      out.pop_back();
    k = beforeEnd;
    out.push_back(run);
    if (par.StartOffset + end < L.fTextLen) {
      restore.SS.StartKlen = KlenOf(int64_t(restore.SS.StartKlen) - (end - restoreFrom));
      restore.DynOffset = end;
      out.push_back(restore);
    }
    lastEnd = end;
    par.ParState &= static_cast<TParStates>(~zvpFormatted);
    if (par.StartOffset + o.Pos < fStart.GetPos())
      fStart.SetPos(par.StartOffset + o.Pos);
    if (par.StartOffset + end > fStop.GetPos())
      fStop.SetPos(par.StartOffset + end);
  }
  while (k < n)
    out.push_back(codes[k++]);
  codes.swap(out);
  fBatch.clear();
}

} // namespace

void ApplyKeywordsListP(TZarvNavigator& StartNav, TZarvNavigator& StopNav) {
  ZARV_CHECKED_SCOPE("ApplyKeywordsListP", TParagraphsList, *StartNav.List(), s.CheckIntegrity());
  Q_ASSERT_X(StartNav.Memo() && StartNav.Memo() == StopNav.Memo(), "ApplyKeywordsListP",
             "navigators must be attached to one control");
  TZarvMemoHost& M = *StartNav.Memo();
  TKeywordList& K = M.Keywords();
  if (TZarvHighlighter* h = M.Highlighter())
    h->ApplyKeywordsList(StartNav, StopNav, M.fApplyKeyWords ? K.GetCount() : 0);
  if (!M.fApplyKeyWords || K.GetCount() == 0)
    return;
  const int32_t from = StartNav.GetPar()->StartOffset;
  TKeywordPass(M, StartNav, StopNav).Run();
  // Codes of these paragraphs changed under the control's navigators.
  InvalidateNavs(M.Navigators(), from, StopNav.GetParNb());
}

// ---- Plain-text search --------------------------------------------------------------

bool FindTextP(TZarvMemoHost& Memo, const QString& Text, bool Down, bool MatchCase, bool WholeWord, bool FromTextEdge,
               int32_t& SelStart, int32_t& SelLength) {
  if (Text.isEmpty())
    return false;
  TParagraphsList& L = Memo.Paragraphs();
  std::u16string key = Text.toStdU16String();
  if (!MatchCase)
    zvUpperCaseBuf(Memo.getUpperCaseType(), key.data(), static_cast<int32_t>(key.size()));
  const int32_t klen = static_cast<int32_t>(key.size());
  const TCharSet& delims = Memo.fDelimiters;
  // A paragraph's length from the start offsets (breaks count two): the
  // records hold them, while the length itself may sit in the paragraph's
  // extended part, a cache miss per paragraph on long searches.
  auto textOf = [&](int32_t p) -> std::u16string_view {
    const ParInfo& par = *L.Par(p);
    const int32_t len =
        p + 1 < L.Count() ? L.Par(p + 1)->StartOffset - par.StartOffset - 2 : L.fTextLen - par.StartOffset;
    const char16_t* t = MatchCase ? par.ParText : Memo.GetUpText(p);
    return t && len > 0 ? std::u16string_view(t, size_t(len)) : std::u16string_view();
  };
  auto wholeAt = [&](std::u16string_view t, size_t pos) {
    return (pos == 0 || delims.test(zvChar(t[pos - 1]))) &&
           (pos + size_t(klen) == t.size() || delims.test(zvChar(t[pos + size_t(klen)])));
  };
  int32_t par, off;
  if (FromTextEdge) {
    par = Down ? 0 : L.Count() - 1;
    off = Down ? 0 : GetParLength(*L.Par(par));
  } else {
    TZarvNavigator nav(&L);
    nav.SetPos(SelStart); // the caret
    par = nav.GetParNb();
    off = std::min(nav.GetOffset(), GetParLength(*nav.GetPar()));
  }
  int32_t found = -1, foundPar = -1;
  if (Down) {
    for (int32_t p = par; p < L.Count() && found < 0; ++p) {
      const std::u16string_view t = textOf(p);
      size_t pos = t.find(key, size_t(p == par ? off : 0));
      while (pos != std::u16string_view::npos && WholeWord && !wholeAt(t, pos))
        pos = t.find(key, pos + 1);
      if (pos != std::u16string_view::npos)
        found = int32_t(pos), foundPar = p;
    }
  } else {
    for (int32_t p = par; p >= 0 && found < 0; --p) {
      const std::u16string_view t = textOf(p);
      const int32_t limit = p == par ? off : int32_t(t.size()) + 1; // occurrences starting before it
      if (limit <= 0)
        continue;
      size_t pos = t.rfind(key, size_t(limit - 1));
      while (pos != std::u16string_view::npos && WholeWord && !wholeAt(t, pos))
        pos = pos == 0 ? std::u16string_view::npos : t.rfind(key, pos - 1);
      if (pos != std::u16string_view::npos)
        found = int32_t(pos), foundPar = p;
    }
  }
  if (found < 0)
    return false;
  const int32_t start = L.Par(foundPar)->StartOffset + found;
  if (Down) {
    SelStart = start + klen; // the caret at the end of the match
    SelLength = -klen;
  } else {
    SelStart = start;
    SelLength = klen;
  }
  return true;
}

// ---- Drivers -------------------------------------------------------------------------

namespace {
// Runs both passes over paragraphs first..last, parsed from their start.
bool parseParagraphs(TZarvMemoHost& M, int32_t first, int32_t last) {
  TParagraphsList& L = M.Paragraphs();
  TZarvNavigator a(&L), b(&L);
  a.AttachMemo(&M);
  b.AttachMemo(&M);
  a.SetParPos(first, 0);
  b.SetParPos(last, GetParLength(*L.Par(last)));
  DynInfoRec endDyn;
  const bool complete = ApplyStartStopKeyListP(a, b, endDyn);
  for (int32_t p = first; p <= last; ++p) {
    TZarvNavigator ka(&L), kb(&L);
    ka.AttachMemo(&M);
    kb.AttachMemo(&M);
    ka.SetParPos(p, 0);
    kb.SetParPos(p, GetParLength(*L.Par(p)));
    ApplyKeywordsListP(ka, kb);
    // The whole paragraph had its keyword pass (the highlighter's too, when
    // the control's own list is empty and marks nothing).
    L.Par(p)->ParState |= zvpKeywDone;
  }
  return complete;
}
} // namespace

void HighlightAll(TZarvMemoHost& Memo) {
  ZARV_CHECKED_SCOPE("HighlightAll", TParagraphsList, Memo.Paragraphs(), s.CheckIntegrity());
  TParagraphsList& L = Memo.Paragraphs();
  for (int32_t p = 0; p < L.Count(); ++p) {
    ParInfo& par = *L.Par(p);
    if (par.ParState & zvpHasExtra)
      par.ParExtra->DynCodes.clear();
    SetStartDynAttrib(par, nullptr, false);
    par.ParState &= static_cast<TParStates>(~(zvpSSDone | zvpKeywDone | zvpFormatted));
  }
  L.fLastStartStopParsed = -1;
  parseParagraphs(Memo, 0, L.Count() - 1);
  for (TZarvNavigator* n : Memo.Navigators())
    n->ForgetIndexes();
}

bool HighlightParagraph(TZarvMemoHost& Memo, int32_t par) {
  ZARV_CHECKED_SCOPE("HighlightParagraph", TParagraphsList, Memo.Paragraphs(), s.CheckIntegrity());
  return parseParagraphs(Memo, par, par);
}

int32_t HighlightParagraphs(TZarvMemoHost& Memo, int32_t firstPar, int32_t lastPar) {
  ZARV_CHECKED_SCOPE("HighlightParagraphs", TParagraphsList, Memo.Paragraphs(), s.CheckIntegrity());
  TParagraphsList& L = Memo.Paragraphs();
  lastPar = std::min(lastPar, L.Count() - 1);
  bool complete = parseParagraphs(Memo, firstPar, lastPar);
  int32_t p = lastPar;
  while (!complete && p + 1 < L.Count()) {
    ++p;
    complete = parseParagraphs(Memo, p, p);
  }
  return p;
}

} // namespace zarv
