// Paragraph blocks: making, removing, collapsing and expanding runs of whole
// paragraphs. Folding hides paragraphs and renumbers visible lines; the text
// is untouched. The first paragraph of a collapsed block stays visible as
// one line.
#include <ZarvMemo/platform/IntegrityGuard.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <algorithm>

namespace zarv {

namespace {
// The paragraph opens a block that is collapsed.
bool isCollapsedStart(const ParInfo& p) {
  const int lambda = zvsGetParLevel(p);
  for (int l = zvsGetParBlockStartLevel(p) + 1; l <= lambda; ++l)
    if (zvsGetParCollapsed(p, l))
      return true;
  return false;
}

void setHidden(ParInfo& p, bool hidden) {
  if (hidden)
    p.ParState |= zvpHidden;
  else
    p.ParState &= static_cast<TParStates>(~zvpHidden);
}
} // namespace

bool TParagraphsList::IsCollapsedBlockStart(int32_t i) const { return isCollapsedStart(*RawPar(i)); }

int32_t TParagraphsList::VisibleLinesOf(int32_t i) const {
  const ParInfo& p = *RawPar(i); // state and lines only: no pending shift needed
  if (p.ParState & zvpHidden)
    return 0;
  return isCollapsedStart(p) ? 1 : GetLineCount(p);
}

bool TParagraphsList::MakeCollapsibleBlock(int32_t StartPar, int32_t StopPar) {
  ZARV_CHECKED_SCOPE("MakeCollapsibleBlock", TParagraphsList, *this, s.CheckIntegrity());
  if (StartPar < 0 || StopPar >= fCount || StartPar >= StopPar)
    return false;
  ParInfo& sp = *Par(StartPar);
  const int n = zvsGetParLevel(sp) + 1;
  if (n > 31)
    return false;
  const TBlockStates oldBits = sp.BlockState & (zvbCollapsed | zvbEndBlock | zvbStartBlock);
  const int stopEndLevel = zvsGetParBlockEndLevel(*Par(StopPar));
  const int startLevel = zvsGetParBlockStartLevel(sp);
  int32_t delta = -VisibleLinesOf(StartPar);

  // The first paragraph opens one more block; no block ends in it now.
  SetParCollapsed(sp, n, false);
  sp.BlockState = static_cast<TBlockStates>(((oldBits & ~zvbEndBlock) & ~zvbStartBlock) | n);
  SetParStartBlock(sp, startLevel);
  SetParEndBlock(sp, n);
  const uint32_t collapsedBits = zvsGetParBlocksCollapsed(sp);
  const bool bornCollapsed = IsParCollapsedDownTo(sp, n);
  delta += VisibleLinesOf(StartPar);
  int32_t v = sp.StartLine + VisibleLinesOf(StartPar);

  for (int32_t i = StartPar + 1; i <= StopPar; ++i) {
    ParInfo& p = *Par(i);
    delta -= VisibleLinesOf(i);
    p.StartLine = v;
    // Everything inside gets the new level; blocks inside are flattened.
    p.BlockState = static_cast<TBlockStates>((oldBits & zvbCollapsed) | n);
    if (n >= 2) {
      SetParExtras(p);
      zvsSetParBlocksCollapsed(p, collapsedBits);
    }
    SetParCollapsed(p, n, false);
    SetParStartBlock(p, n);
    SetParEndBlock(p, n);
    setHidden(p, bornCollapsed);
    const int32_t lines = VisibleLinesOf(i);
    delta += lines;
    v += lines;
  }
  // The last paragraph closes the block (and what closed in it before,
  // down to the level the next paragraph starts at).
  const int e = std::min(stopEndLevel, n - 1);
  SetParEndBlock(*Par(StopPar), e);

  ExtendMods(StartPar, 0, StopPar);
  if (delta != 0) {
    UpdateLines(StopPar + 1, delta);
    fVisibleLineCount += delta;
    fModLinesOffset += delta;
  }
  if (StopPar + 1 < fCount && zvsGetParBlockStartLevel(*Par(StopPar + 1)) != e) {
    SetParStartBlock(*Par(StopPar + 1), e);
    ExtendMods(StopPar + 1, 0, StopPar + 1);
  }
  return true;
}

bool TParagraphsList::CollapseExpandBlock(int32_t ParNb, int32_t Level, bool Collapse) {
  ZARV_CHECKED_SCOPE("CollapseExpandBlock", TParagraphsList, *this, s.CheckIntegrity());
  if (ParNb < 0 || ParNb >= fCount)
    return false;
  ParInfo& first = *Par(ParNb);
  if (zvsGetParBlockStartLevel(first) >= Level)
    return false; // no block of that level starts here
  const int k = std::min(Level, zvsGetParLevel(first));
  bool changed = false;
  int32_t delta = -VisibleLinesOf(ParNb);
  SetParCollapsed(first, k, Collapse);
  if (!Collapse && (first.ParState & zvpHidden) && !IsParCollapsedDownTo(first, zvsGetParBlockStartLevel(first))) {
    setHidden(first, false);
    changed = true;
  }
  const int32_t firstLines = VisibleLinesOf(ParNb);
  delta += firstLines;
  int32_t v = first.StartLine + firstLines;
  int32_t last = ParNb;
  for (int32_t q = ParNb + 1; q < fCount && zvsGetParBlockEndLevel(*Par(q - 1)) >= k; ++q) {
    ParInfo& p = *Par(q);
    delta -= VisibleLinesOf(q);
    p.StartLine = v;
    SetParCollapsed(p, k, Collapse);
    if (Collapse) {
      if (!(p.ParState & zvpHidden)) {
        setHidden(p, true);
        changed = true;
      }
    } else if ((p.ParState & zvpHidden) && !IsParCollapsedDownTo(p, zvsGetParBlockStartLevel(p))) {
      setHidden(p, false);
      changed = true;
    }
    const int32_t lines = VisibleLinesOf(q);
    delta += lines;
    v += lines;
    last = q;
  }
  // Folding changes neither text nor runs: what the start-stop pass found
  // stays valid, and re-parsing from the block's start would cost the
  // whole rest of the text after every click on a fold sign.
  const int32_t parsed = fLastStartStopParsed;
  ExtendMods(ParNb, 0, last);
  fLastStartStopParsed = parsed;
  if (delta != 0) {
    UpdateLines(last + 1, delta);
    fVisibleLineCount += delta;
    fModLinesOffset += delta;
  }
  return changed || delta != 0;
}

bool TParagraphsList::CollapseExpandPar(int32_t ParNb, int32_t FromLevel, int32_t ToLevel, bool Collapse) {
  ZARV_CHECKED_SCOPE("CollapseExpandPar", TParagraphsList, *this, s.CheckIntegrity());
  if (ParNb < 0 || ParNb >= fCount)
    return false;
  const int lambda = zvsGetParLevel(*Par(ParNb));
  if (lambda == 0)
    return false;
  FromLevel = std::clamp(FromLevel, 1, lambda);
  ToLevel = std::clamp(ToLevel, 1, lambda);
  bool any = false;
  for (int l = FromLevel; l <= ToLevel; ++l) {
    int32_t p = ParNb;
    while (p >= 1 && zvsGetParBlockStartLevel(*Par(p)) >= l)
      --p;
    any |= CollapseExpandBlock(p, l, Collapse);
  }
  return any;
}

void TParagraphsList::RemoveCollapsibleBlock(int32_t ParNb) {
  ZARV_CHECKED_SCOPE("RemoveCollapsibleBlock", TParagraphsList, *this, s.CheckIntegrity());
  if (ParNb < 0 || ParNb >= fCount)
    return;
  const int lambda = zvsGetParLevel(*Par(ParNb));
  if (lambda == 0)
    return;
  int32_t first = ParNb;
  while (first >= 1 && zvsGetParBlockStartLevel(*Par(first)) >= lambda)
    --first;
  ExtendMods(first, 0, first);
  if (zvsGetParCollapsed(*Par(first), lambda))
    CollapseExpandBlock(first, lambda, false);
  // Deeper blocks that start on the first paragraph are opened as well:
  // once flattened, no block would be left that could show their text.
  for (int l = lambda + 1; l <= zvsGetParLevel(*Par(first)); ++l)
    if (zvsGetParCollapsed(*Par(first), l))
      CollapseExpandBlock(first, l, false);

  ParInfo& fp = *Par(first);
  const int startLevel = zvsGetParBlockStartLevel(fp);
  int prevEnd = zvsGetParBlockEndLevel(fp); // before it changes
  SetParCollapsed(fp, lambda, false);
  fp.BlockState = static_cast<TBlockStates>((fp.BlockState & zvbCollapsed) | (lambda - 1));
  SetParStartBlock(fp, startLevel);
  SetParEndBlock(fp, lambda - 1);
  const TBlockStates newBits = fp.BlockState & static_cast<TBlockStates>(zvbCollapsed | zvbLevelMask);
  const uint32_t collapsedBits = zvsGetParBlocksCollapsed(fp);

  int32_t last = first;
  for (int32_t q = first + 1; q < fCount && prevEnd > lambda - 1; ++q) {
    ParInfo& p = *Par(q);
    // Deeper blocks are opened before they are flattened.
    for (int l = lambda + 1; l <= zvsGetParLevel(p); ++l)
      if (zvsGetParCollapsed(p, l) && zvsGetParBlockStartLevel(p) < l)
        CollapseExpandBlock(q, l, false);
    prevEnd = zvsGetParBlockEndLevel(p);
    p.BlockState = newBits;
    if (lambda - 1 >= 2 || (p.ParState & zvpHasExtra)) {
      SetParExtras(p);
      zvsSetParBlocksCollapsed(p, collapsedBits);
      p.ParExtra->StartBlockCount = 0;
      p.ParExtra->StopBlockCount = 0;
    }
    last = q;
  }
  ExtendMods(first, 0, last);
  if (prevEnd < lambda - 1)
    SetParEndBlock(*Par(last), prevEnd);
}

} // namespace zarv
