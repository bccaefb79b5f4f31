// Folding of style-run blocks through a navigator. Highlighters mark runs
// with a collapse level; a collapsible run opens a block that lasts until a
// run of lower level. Without word wrap every paragraph is one display line,
// so folding a block hides the paragraphs after its first one.
#include <ZarvMemo/platform/IntegrityGuard.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

namespace zarv {

namespace {

bool foldingAllowed(const TZarvMemoHost* m) { return m && !m->fWordWrap && m->fAlignment == taLeftJustify; }

// Moves n back to the opening code of the level-k block it stands in: back
// over codes of level >= k, then forward to the first code of level k.
// Returns false when there is none.
bool toOpeningCode(TZarvNavigator& n, int k) {
  bool lower = false;
  while (n.PreviousDyn())
    if (DynToCollapseLevel(*n.GetpDynInfo()) < k) {
      lower = true;
      break;
    }
  // At the text's first code nothing lies before: it may open the block.
  if (!lower && n.GetDynNb() > 0 && DynToCollapseLevel(*n.GetpDynInfo()) == k)
    return true;
  while (n.NextDyn())
    if (DynToCollapseLevel(*n.GetpDynInfo()) == k)
      return true;
  return false;
}

void setCollapsedFlag(DynInfoRec& d, bool on) {
  if (on)
    d.CollpsState |= zvdCollapsed;
  else
    d.CollpsState &= static_cast<dInfoCollpsStates>(~zvdCollapsed);
}

// Marks the codes of level k in paragraph p from code index `from` on.
void markCodes(ParInfo& par, size_t from, int k, bool on) {
  if (!(par.ParState & zvpHasExtra))
    return;
  TDynInfoArray& codes = par.ParExtra->DynCodes;
  for (size_t i = from; i < codes.size(); ++i)
    if (DynToCollapseLevel(codes[i]) == k)
      setCollapsedFlag(codes[i], on);
}

// The first paragraph after p whose text has a code below level k, or whose
// start is below it; the block ends there. Parses what it needs to look at.
int32_t blockEndPar(TZarvMemoHost& M, int32_t p, size_t fromCode, int k) {
  TParagraphsList& L = M.Paragraphs();
  for (int32_t q = p; q < L.Count(); ++q) {
    if (q > L.fLastStartStopParsed || !(L.Par(q)->ParState & zvpSSDone))
      M.DoDynParse(q, q, true);
    const ParInfo& par = *L.Par(q);
    if (q > p && DynToCollapseLevel(*GetStartDynAttrib(par)) < k)
      return q - 1;
    const TDynInfoArray& codes = GetDynArray(par);
    for (size_t i = q == p ? fromCode : 0; i < codes.size(); ++i)
      if (DynToCollapseLevel(codes[i]) < k)
        return q;
  }
  return L.Count() - 1;
}

} // namespace

bool TZarvNavigator::GetCollapseLevels(int32_t& StartLevel, int32_t& EndLevel, int32_t& Levels) {
  GetPar();
  bool collapsed = false;
  zvsGetParLevels(*fPar, lineInfo(GetParLine()), StartLevel, EndLevel, Levels, collapsed);
  return collapsed;
}

bool TZarvNavigator::Collapse(bool Force) {
  ZARV_CHECKED_SCOPE("Collapse", TParagraphsList, *fList, s.CheckIntegrity());
  if (!foldingAllowed(fZvMemo))
    return false;
  TZarvMemoHost& M = *fZvMemo;
  TParagraphsList& L = *fList;
  M.DoDynParse(GetParNb(), GetParNb(), true);
  ForgetIndexes();
  const DynInfoRec d = *GetpDynInfo();
  const int k = DynToCollapseLevel(d);
  if (!(d.DynStyle & dsHasAttrib) || k == 0 || (!Force && d.CollpsState != zvdCollapsible))
    return false;
  TZarvNavigator n(&L);
  n.AttachMemo(&M);
  n.Assign(*this);
  if (!toOpeningCode(n, k))
    return false;
  const int32_t first = n.GetParNb();
  ParInfo& fp = *n.GetPar();
  const size_t openIndex = static_cast<size_t>(n.GetDynNb() - 1);
  markCodes(fp, openIndex, k, true);
  const int32_t last = blockEndPar(M, first, openIndex + 1, k);
  L.ExtendMods(first, 0, last);
  const int32_t line = fp.StartLine + L.VisibleLinesOf(first);
  int32_t hiddenLines = 0;
  for (int32_t q = first + 1; q <= last; ++q) {
    ParInfo& par = *L.Par(q);
    DynInfoRec* start = GetStartDynAttrib(par);
    if (DynToCollapseLevel(*start) == k)
      setCollapsedFlag(*start, true);
    markCodes(par, 0, k, true);
    hiddenLines += L.VisibleLinesOf(q);
    par.ParState |= zvpHidden;
    par.StartLine = line;
  }
  if (hiddenLines) {
    L.UpdateLines(last + 1, -hiddenLines);
    L.fVisibleLineCount -= hiddenLines;
    L.fModLinesOffset -= hiddenLines;
  }
  InvalidateNavs(M.Navigators(), L.Par(first)->StartOffset, L.Count() - 1);
  return true;
}

bool TZarvNavigator::Expand(bool Force) {
  ZARV_CHECKED_SCOPE("Expand", TParagraphsList, *fList, s.CheckIntegrity());
  if (!fZvMemo)
    return false;
  TZarvMemoHost& M = *fZvMemo;
  TParagraphsList& L = *fList;
  const DynInfoRec d = *GetpDynInfo();
  const int k = DynToCollapseLevel(d);
  if (!(d.DynStyle & dsHasAttrib) || k < 1 || (!Force && !(d.CollpsState & zvdCollapsible)))
    return false;
  TZarvNavigator n(&L);
  n.AttachMemo(&M);
  n.Assign(*this);
  if (!toOpeningCode(n, k))
    return false;
  const DynInfoRec& opening = *n.GetpDynInfo();
  if (!(opening.CollpsState & zvdCollapsed))
    return false;
  const int32_t first = n.GetParNb();
  const size_t openIndex = static_cast<size_t>(n.GetDynNb() - 1);
  markCodes(*n.GetPar(), openIndex, k, false);
  const int32_t last = blockEndPar(M, first, openIndex + 1, k);
  int32_t shown = 0;
  int innerLevel = 0; // an inner block that stays folded hides up to its end
  for (int32_t q = first + 1; q <= last; ++q) {
    ParInfo& par = *L.Par(q);
    DynInfoRec* start = GetStartDynAttrib(par);
    if (DynToCollapseLevel(*start) == k)
      setCollapsedFlag(*start, false);
    if (innerLevel > 0 && DynToCollapseLevel(*start) < innerLevel)
      innerLevel = 0;
    par.StartLine = L.Par(q - 1)->StartLine + L.VisibleLinesOf(q - 1);
    if ((par.ParState & zvpHidden) && innerLevel == 0) {
      par.ParState &= static_cast<TParStates>(~zvpHidden);
      shown += L.VisibleLinesOf(q);
    }
    markCodes(par, 0, k, false);
    for (const DynInfoRec& c : GetDynArray(par)) {
      const int lvl = DynToCollapseLevel(c);
      if (innerLevel > 0 && lvl < innerLevel)
        innerLevel = 0;
      if (innerLevel == 0 && lvl > k &&
          (c.CollpsState & (zvdCollapsible | zvdCollapsed)) == (zvdCollapsible | zvdCollapsed))
        innerLevel = lvl;
    }
  }
  L.ExtendMods(first, 0, last);
  if (shown) {
    L.UpdateLines(last + 1, shown);
    L.fVisibleLineCount += shown;
    L.fModLinesOffset += shown;
  }
  InvalidateNavs(M.Navigators(), L.Par(first)->StartOffset, L.Count() - 1);
  return true;
}

bool TZarvNavigator::ExpandAllLevels() {
  ZARV_CHECKED_SCOPE("ExpandAllLevels", TParagraphsList, *fList, s.CheckIntegrity());
  if (!fZvMemo || !fList)
    return false;
  int k = DynToCollapseLevel(*GetpDynInfo());
  if (k <= 0)
    return false;
  TZarvNavigator n(fList);
  n.AttachMemo(fZvMemo);
  n.Assign(*this);
  bool any = false;
  // Walk back over the codes: every collapsible opening code of the current
  // level or deeper is expanded; a code of a lower level leads out to the
  // enclosing block.
  do {
    const DynInfoRec& c = *n.GetpDynInfo();
    const int lvl = DynToCollapseLevel(c);
    if (lvl <= 0)
      break;
    if (lvl < k)
      k = lvl;
    if ((c.CollpsState & zvdCollapsible) && (c.CollpsState & zvdCollapsed) && n.GetDynNb() > 0) {
      TZarvNavigator e(fList);
      e.AttachMemo(fZvMemo);
      e.Assign(n);
      any |= e.Expand(false);
    }
  } while (n.PreviousDyn());
  if (any)
    ForgetIndexes();
  return any;
}

} // namespace zarv
