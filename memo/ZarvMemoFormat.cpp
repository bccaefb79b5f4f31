// Formatting by update mode: which paragraphs are wrapped when. In
// immediate mode a change or re-wrap formats everything pending at once; on
// need, a paragraph is wrapped when the screen, the caret or a line lookup
// needs it; in the background mode (the default) the format thread also
// paces 25 ms slices on the GUI thread through the pending range. While
// line counts change above the window the view keeps its top line and fine
// offset, so the text on screen stays still.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/platform/IntegrityGuard.h>
#include <ZarvMemo/platform/TickCount.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/layout/FormatThread.h>
#include <ZarvMemo/support/layout/LineFormat.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QCoreApplication>
#include <QHash>
#include <QTimer>
#include <algorithm>

namespace zarv {

uint32_t TZarvMemo::Tick() const { return fTickSource ? fTickSource() : GetTickCount(); }

// What consecutive wraps share: the first one of a run selects the font and
// measures the space and overhang, later ones reuse them.
struct TZarvMemo::TWrapState {
  bool InitFont = true;
  int32_t SpaceWidth = 0, Overhang = 0;
  uint64_t FontState = 0;
};

namespace {

// What decides how a paragraph wraps, besides its text and runs: a long
// paragraph's change range and checkpoints hold only under the same key.
uint64_t LayoutKey(const TZarvMemoHost& h, const ParInfo& par) {
  uint64_t k = h.fLayoutEpoch;
  const auto mix = [&k](uint64_t v) { k = (k ^ v) * 0x100000001B3ull + (k >> 29); };
  mix(uint64_t(uint32_t(h.ClientWidth())));
  mix(uint64_t(h.fWordWrap) | uint64_t(h.fJustified) << 1 | uint64_t(h.fAlignment) << 2 |
      uint64_t(par.ParState & zvpNoWrap) << 4 | uint64_t(h.Paragraphs().fStaticFormat) << 12);
  mix(uint64_t(uint32_t(h.fColumnWrap)));
  mix(uint64_t(uint32_t(h.fLeftMargin)) << 32 | uint32_t(h.fRightMargin));
  mix(uint64_t(uint32_t(h.TabWidth())));
  mix(qHash(h.fWWChars));
  return k;
}

// Whether the paragraph is laid out as one line whatever its width (the
// formatter's wrap width is then beyond any measurable width).
bool Unwrapped(const TZarvMemoHost& h, const ParInfo& par) {
  return (par.ParState & zvpNoWrap) || (!h.fWordWrap && h.fAlignment == taLeftJustify);
}

// The last display line starting before `offset` (the first line if none):
// an incremental wrap for a change at `offset` starts there.
int32_t LineBefore(const ParInfo& par, int32_t offset) {
  int32_t lo = 0, hi = GetLineCount(par) - 1;
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo + 1) / 2;
    if (GetParLine(par, mid).Start < offset)
      lo = mid;
    else
      hi = mid - 1;
  }
  return lo;
}

// An unwrapped long paragraph after change c: its one line takes the width
// the index's checkpoints give, as a whole wrap would set it; false when
// they cannot say.
bool RemeasureUnwrapped(TZarvMemoHost& h, int32_t p, ParInfo& par, uint64_t key, const TLongLineIndex::TChange& c) {
  LineInfo line = GetFirstLine(par);
  int32_t w = 0;
  if (!h.fLongLines.UpdateMarks(h, p, par, c, line.LineWidth, w))
    return false;
  line.Stop = line.JustifyStart = GetParLength(par);
  line.LineWidth = line.TotalWidth = w;
  line.Spaces = line.TotalColumns = 0;
  SetFirstLine(par, line);
  par.ParState |= zvpFormatted | zvpKeywDone;
  if (w > h.fMaxLineWidth) {
    h.fMaxLineWidth = w;
    if (!h.fWordWrap || h.fColumnWrap > 0)
      h.fMaxLineNumber = par.StartLine;
  }
  h.fLongLines.Capture(p, key, par, true, true);
  return true;
}

} // namespace

// Wraps paragraph p; returns the change of its line count. A long paragraph
// the index knows is wrapped from what changed since its last wrap: an
// unwrapped one by moving its x checkpoints, a wrapped one from the line
// before the change up to where the new breaks meet the old ones.
int32_t TZarvMemo::wrapParagraph(int32_t p, TWrapState& ws) {
  ++fWrapCount;
  ParInfo* par = fParagraphs->Par(p);
  int32_t start = 0, stop = 0, delta = 0, count = 0;
  if (fCanvas || GetParLength(*par) < TLongLineIndex::kMinLength) {
    if (fCanvas)
      fLongLines.Forget();
    else
      fLongLines.Forget(p);
    ReformatParP(*this, &Canvas(), ws.InitFont, ClientWidth(), par, p, start, stop, true, ws.FontState, ws.SpaceWidth,
                 ws.Overhang, delta, count);
    ws.InitFont = false;
    return delta;
  }
  // The keyword pass first: the change range includes what it restyles.
  if (!(par->ParState & zvpKeywDone) && NeedsKeywordPass()) {
    ApplyKeywordsToParagraph(p);
    par = fParagraphs->Par(p);
    par->ParState |= zvpKeywDone;
  }
  const uint64_t key = LayoutKey(*this, *par);
  const bool unwrapped = Unwrapped(*this, *par);
  TLongLineIndex::TChange c;
  bool full = true;
  if (fLongLines.Change(p, key, *par, c)) {
    if (unwrapped && GetLineCount(*par) == 1 && RemeasureUnwrapped(*this, p, *par, key, c)) {
      ws.InitFont = true; // the canvas's font is the one measured last
      return 0;
    }
    if (!unwrapped) {
      start = LineBefore(*par, c.From);
      full = false;
    }
  }
  // A wrap from inside the paragraph selects the font of its first line.
  ReformatParP(*this, &Canvas(), ws.InitFont || !full, ClientWidth(), par, p, start, stop, full, ws.FontState,
               ws.SpaceWidth, ws.Overhang, delta, count, full ? 0 : GetParLength(*par) - c.ToEnd,
               full ? 0 : c.CodeDelta);
  ws.InitFont = false;
  fLongLines.Capture(p, key, *par, unwrapped && count == 1, false);
  return delta;
}

// After paragraphs from..to were walked with their start lines set from a
// running count (which ends at `running`): the later paragraphs' start
// lines and the line totals follow, stale line indexes of navigators there
// are dropped, and, for the screen, the view keeps its top line and fine
// offset while the bars, the caret and the widest line follow. Returns
// false when the client width changed on the way (a full re-wrap follows).
bool TZarvMemo::afterWrap(int32_t from, int32_t to, int32_t running, int32_t trueDelta, bool caretTouched,
                          int32_t oldMaxWidth) {
  TParagraphsList& L = *fParagraphs;
  L.fTrueLineCount += trueDelta;
  const int32_t oldNext = to + 1 < L.Count() ? L.Par(to + 1)->StartLine : L.fVisibleLineCount;
  const int32_t visDelta = running - oldNext;
  if (visDelta != 0) {
    L.UpdateLines(to + 1, visDelta);
    L.fVisibleLineCount += visDelta;
    if (fStartLineSelection >= oldNext)
      fStartLineSelection += visDelta;
  }
  for (TZarvNavigator* n : fNavigators)
    if (n->IsLocated() && n->GetParNb() >= from && n->GetParNb() <= to)
      n->ForgetIndexesAfterWrap();
  // Text laid out for another device leaves the window's view alone.
  if (fCanvas || !DisplayReady())
    return true;
  // The same text stays on top, with the same fine offset.
  const int32_t lh = std::max(1, fLineHeight);
  const int32_t fine = fTopOrigin % lh;
  const int32_t newTop = clampTop(int64_t(fDisplayTop->getVisibleLineNumber()) * lh + fine);
  fCaretY += fTopOrigin - newTop;
  fTopOrigin = newTop;
  if (visDelta != 0 && setVScrollParams())
    return false;
  updateScrollBarValues();
  // The caret moves with the lines: its own paragraph was wrapped, or lines
  // above it may have changed.
  if (caretTouched || fcp->GetParNb() >= from)
    UpdateCaret(false);
  if (fMaxLineWidth != oldMaxWidth && (!fWordWrap || fColumnWrap != 0))
    setHScrollParams();
  scheduleWidestCheck();
  InvalidateLines(L.Par(from)->StartLine, running);
  return true;
}

bool TZarvMemo::needsParse(int32_t p) const {
  return (fApplyStartStopKeys || fHighlighter) && p > fParagraphs->fLastStartStopParsed;
}

// Applies the line shift of a walk that reached paragraph p (start lines
// set from `running` before it, the old ones from p on) to the rest of the
// store, so that it is consistent again; the walk goes on from there.
void TZarvMemo::flushLineShift(int32_t p, int32_t running, int32_t& trueDelta) {
  TParagraphsList& L = *fParagraphs;
  const int32_t d = running - L.Par(p)->StartLine;
  if (d != 0) {
    L.UpdateLines(p, d);
    L.fVisibleLineCount += d;
  }
  L.fTrueLineCount += trueDelta;
  trueDelta = 0;
}

// Paragraphs after the last one parsed whose pass is not done are parsed
// one by one; one whose end state changed marks the next for parsing, so a
// change travels no further than asked (the rest follows when formatted).
void TZarvMemo::ParseStartStopNow(int32_t Par) try {
  const TEntryScope entry(ownerId());
  TParagraphsList& L = *fParagraphs;
  Par = std::min(Par, L.Count() - 1);
  if (Par <= L.fLastStartStopParsed || !(fApplyStartStopKeys || fHighlighter))
    return;
  for (int32_t p = std::max(0, L.fLastStartStopParsed + 1); p <= Par; ++p)
    if (!(L.Par(p)->ParState & zvpSSDone))
      HighlightParagraph(*this, p);
  L.fLastStartStopParsed = std::max(L.fLastStartStopParsed, Par);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::DoDynParse(int32_t first, int32_t last, bool startStopOnly) {
  TParagraphsList& L = *fParagraphs;
  last = std::min(last, L.Count() - 1);
  ParseStartStopNow(last);
  if (startStopOnly || !NeedsKeywordPass())
    return;
  for (int32_t p = std::max(first, 0); p <= last; ++p) {
    ParInfo& par = *L.Par(p);
    if (!(par.ParState & zvpKeywDone)) {
      ApplyKeywordsToParagraph(p);
      par.ParState |= zvpKeywDone;
    }
  }
}

void TZarvMemo::FormatNow(int32_t From, int32_t To, bool Force, bool Progress) try {
  const TEntryScope entry(ownerId());
  TParagraphsList& L = *fParagraphs;
  To = std::min(To, L.Count() - 1);
  if (!Force)
    From = std::max(From, L.fUpdateStartPar);
  From = std::max(From, 0);
  if (To < From)
    return;
  // Start lines are in flux while the walk runs; the store is checked when
  // it ends.
  ZARV_CHECKED_SCOPE("FormatNow", TParagraphsList, L, s.CheckIntegrity());
  const bool progress = Progress && OnProgress;
  const int32_t oldStart = L.fUpdateStartPar;
  const int32_t oldMaxWidth = fMaxLineWidth;
  const int32_t caretPar = fcp->GetParNb();
  fNoPaint = true;
  if (!progress)
    ParseStartStopNow(To);
  TWrapState ws;
  int32_t running = L.Par(From)->StartLine, trueDelta = 0;
  bool wrapped = false, caretTouched = false;
  for (int32_t p = From; p <= To; ++p) {
    ParInfo& par = *L.Par(p);
    if (progress && (Force || !(par.ParState & zvpFormatted)) && needsParse(p)) {
      flushLineShift(p, running, trueDelta);
      ParseStartStopNow(p);
    }
    par.StartLine = running;
    if (Force || !(par.ParState & zvpFormatted)) {
      if (progress)
        reportProgress(false);
      trueDelta += wrapParagraph(p, ws);
      wrapped = true;
      if (p == caretPar) {
        fcp->ForgetIndexesAfterWrap();
        caretTouched = true;
      }
    }
    running += L.VisibleLinesOf(p);
    L.fUpdateStartPar = p + 1;
  }
  bool complete = true;
  if (wrapped)
    complete = afterWrap(From, To, running, trueDelta, caretTouched, oldMaxWidth);
  fNoPaint = false;
  flushSkippedPaint();
  if (!complete)
    return; // a re-wrap of the whole text took over the pending range
  if (From == oldStart) {
    if (L.fUpdateStartPar > L.fUpdateStopPar) {
      L.fUpdateStartPar = L.Count();
      L.fUpdateStopPar = -1;
      if (progress)
        reportProgress(true);
    }
  } else {
    L.fUpdateStartPar = oldStart;
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::ZVUpdateBkg() try {
  const TEntryScope entry(ownerId());
  TParagraphsList& L = *fParagraphs;
  if (fLockedCount > 0 || L.fUpdateStopPar < 0 || L.Count() == 0 || fFirstPaintPending)
    return;
  // While keys and the mouse keep coming, the slices wait for a pause: what
  // is shown is formatted with each change anyway, and a slice between two
  // keys would delay the second one by its 25 ms.
  if (fLastInput.isValid() && fLastInput.elapsed() < kInputPause) {
    if (!fInputPauseTimer) {
      fInputPauseTimer = new QTimer(this);
      fInputPauseTimer->setSingleShot(true);
      connect(fInputPauseTimer, &QTimer::timeout, this, [this] {
        if (fFormatThread)
          fFormatThread->SetEvent();
      });
    }
    fInputPauseTimer->start(int(kInputPause - fLastInput.elapsed()) + 1);
    return;
  }
  const int32_t stop = std::min(L.fUpdateStopPar, L.Count() - 1);
  const uint32_t t0 = Tick();
  const int32_t from = std::max(0, L.fUpdateStartPar);
  const int32_t oldMaxWidth = fMaxLineWidth;
  const int32_t caretPar = fcp->GetParNb();
  ZARV_CHECKED_SCOPE("ZVUpdateBkg", TParagraphsList, L, s.CheckIntegrity());
  ++fSliceCount;
  // Ranges are parsed ahead, as far as the last slice got, while the store
  // is consistent; running past that, the line shift so far is applied
  // before parsing further.
  const int32_t ahead = std::max(64, 2 * fLastSliceSpan);
  ParseStartStopNow(std::min(stop, from + ahead));
  TWrapState ws;
  int32_t p = from, running = from < L.Count() ? L.Par(from)->StartLine : 0, trueDelta = 0, wraps = 0;
  bool caretTouched = false;
  for (; p <= stop && Tick() - t0 < 25; ++p) {
    ParInfo& par = *L.Par(p);
    if (!(par.ParState & zvpFormatted) && needsParse(p)) {
      flushLineShift(p, running, trueDelta);
      ParseStartStopNow(std::min(stop, p + ahead));
    }
    par.StartLine = running;
    if (!(par.ParState & zvpFormatted)) {
      trueDelta += wrapParagraph(p, ws);
      ++wraps;
      if (p == caretPar) {
        fcp->ForgetIndexesAfterWrap();
        caretTouched = true;
      }
    }
    running += L.VisibleLinesOf(p);
  }
  L.fUpdateStartPar = p;
  fLargestSlice = std::max(fLargestSlice, wraps);
  fLastSliceSpan = p - from;
  if (wraps > 0)
    if (!afterWrap(from, p - 1, running, trueDelta, caretTouched, oldMaxWidth))
      return;
  if (L.fUpdateStartPar > stop) {
    L.fUpdateStopPar = -1;
    L.fUpdateStartPar = L.Count();
    reportProgress(true);
    return;
  }
  reportProgress(false);
  if (fFormatThread && !QCoreApplication::closingDown())
    fFormatThread->SetEvent();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::firstPaintDone() {
  if (!fFirstPaintPending)
    return;
  fFirstPaintPending = false;
  if (fFormatThread && fParagraphs->fUpdateStopPar >= 0)
    fFormatThread->SetEvent();
}

void TZarvMemo::FormatShownLines() try {
  const TEntryScope entry(ownerId());
  TParagraphsList& L = *fParagraphs;
  if (!DisplayReady() || L.Count() == 0 || L.fUpdateStopPar < 0)
    return;
  int32_t p = fDisplayTop->GetParNb();
  for (;;) {
    const int32_t q = std::min(L.Count() - 1, p + std::max(1, fDisplayLines));
    FormatNow(p, q, false, false);
    if (q == L.Count() - 1 || L.Par(q)->StartLine + L.VisibleLinesOf(q) >= getTopLine() + fDisplayLines)
      break;
    p = q + 1;
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::formatUpToLine(int32_t l) {
  TParagraphsList& L = *fParagraphs;
  // Paragraphs before the pending range are formatted; go on until line l
  // lies inside them.
  while (L.fUpdateStopPar >= 0 && L.fUpdateStartPar < L.Count() && L.Par(L.fUpdateStartPar)->StartLine <= l)
    FormatNow(L.fUpdateStartPar, L.fUpdateStartPar + std::max(64, fDisplayLines), false, false);
}

void TZarvMemo::formatLineRange(int32_t firstLine, int32_t lastLine) {
  TParagraphsList& L = *fParagraphs;
  if (L.fUpdateStopPar < 0 || L.Count() == 0)
    return;
  TZarvNavigator n(&L);
  n.AttachMemo(this);
  n.setVisibleLineNumber(std::clamp(firstLine, 0, std::max(0, L.fVisibleLineCount - 1)));
  int32_t p = n.GetParNb();
  // Each paragraph shows at least one line until it is wrapped, so the
  // paragraphs up to the last line's (as counted now) cover the range.
  n.setVisibleLineNumber(std::clamp(lastLine, 0, std::max(0, L.fVisibleLineCount - 1)));
  FormatNow(p, n.GetParNb(), false, false);
}

void TZarvMemo::Reformat() try {
  const TEntryScope entry(ownerId());
  ++fReformatCount;
  ++fLayoutEpoch;
  fLongLines.Forget();
  fMaxLineWidth = 0;
  fMaxLineNumber = -1;
  fStartLineSelection = -1;
  TParagraphsList& L = *fParagraphs;
  if (fLoadingContent || (fComponentState & csReading))
    return;
  if (DisplayReady())
    setHScrollParams();
  if (fLockedCount >= 1) {
    L.MarkUnformatted();
    L.fModStartPar = 0;
    L.fModStopPar = L.Count() - 1;
    L.fModLinesOffset = 0;
    L.fModStartLine = 0;
    return;
  }
  L.MarkUnformatted();
  if (fCanvas) {
    FormatNow(0, L.Count() - 1, true, false);
    L.fUpdateStartPar = L.Count();
    L.fUpdateStopPar = -1;
    return;
  }
  if (!DisplayReady())
    return;
  if (fUpdateMode == umImmediate || (fComponentState & csDesigning)) {
    FormatNow(0, L.Count() - 1, false, false);
    L.fUpdateStartPar = L.Count();
    L.fUpdateStopPar = -1;
  } else {
    FormatShownLines();
    if (fUpdateMode == umBackground && fFormatThread)
      fFormatThread->SetEvent();
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::setUpdateMode(TzvUpdateMode m) try {
  const TEntryScope entry(ownerId());
  if (m == fUpdateMode)
    return;
  if (fFormatThread) {
    fFormatThread->PutToEnd(false);
    fFormatThread.reset();
  }
  fUpdateMode = m;
  if ((fComponentState & csDesigning) || !DisplayReady())
    return;
  TParagraphsList& L = *fParagraphs;
  if (m == umImmediate) {
    FormatNow(L.fUpdateStartPar, L.Count() - 1, false, false);
  } else if (m == umBackground) {
    fFormatThread = std::make_unique<TzvFormatThread>(this);
    if (L.fUpdateStopPar >= 0)
      fFormatThread->SetEvent();
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::Finalize() {
  if (fFormatThread) {
    fFormatThread->PutToEnd(true);
    fFormatThread.reset();
  }
}

} // namespace zarv
