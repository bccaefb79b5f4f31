// Moving the view over the text: the pixel-exact vertical origin and the
// horizontal offset, smooth scrolling, the scroll bars, the mouse wheel and
// bringing the caret into view.
//
// The scroll bars count in units of fVScrollfact / fHScrollFact pixels so
// that their ranges stay within 32 760 units on any text. The control drives
// its bars itself: a bar's request (step, page, drag, ends) arrives as an
// action, is carried out here, and the bar is then set to the view's
// position; the area never scrolls its viewport on its own.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/platform/Canvas.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QApplication>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

namespace zarv {

namespace {

constexpr int32_t kScrollUnits = 32760;

bool hasBar(TScrollStyle s, bool vertical) { return s == ssBoth || s == (vertical ? ssVertical : ssHorizontal); }

// Sets a Qt bar from a range 0..max with a page: the bar's value is the
// window's first unit, so its own maximum is max - page + 1. The area
// shows or hides the bar on the range's change signal.
void applyRange(QScrollBar* bar, int32_t max, int32_t page) {
  bar->setRange(0, std::max(0, max - page + 1));
  bar->setPageStep(std::max(1, page));
  bar->setSingleStep(1);
}

} // namespace

// ---- The view's position ------------------------------------------------------------------------

// The top may go down to the last visible line's top, no further.
int32_t TZarvMemo::clampTop(int64_t top) const {
  const int64_t last = std::max<int64_t>(0, (int64_t(fParagraphs->fVisibleLineCount) - 1) * std::max(1, fLineHeight));
  return int32_t(std::clamp<int64_t>(top, 0, std::min<int64_t>(last, INT32_MAX)));
}

void TZarvMemo::setTopOrigin(int32_t y) { SetTopLeft(y, fDisplayLeft, fScrollTime); }
void TZarvMemo::setDisplayLeft(int32_t x) { SetTopLeft(fTopOrigin, x, fScrollTime); }

void TZarvMemo::setTopLine(int32_t l) try {
  const TEntryScope entry(ownerId());
  const int32_t line = std::clamp(l, 0, std::max(0, fParagraphs->fVisibleLineCount - 1));
  SetTopLeft(clampTop(int64_t(line) * fLineHeight), fDisplayLeft, fScrollTime);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// Shifts the view to left/top at once: the caret's place follows and the
// window content moves (or is repainted when a fixed background or a very
// long distance forbids moving it).
void TZarvMemo::moveView(int32_t left, int32_t top) {
  const int64_t dx = int64_t(fDisplayLeft) - left, dy = int64_t(fTopOrigin) - top;
  if (dx == 0 && dy == 0)
    return;
  // The remembered x of vertical moves is in text coordinates: it stays.
  fCaretX = int32_t(std::clamp<int64_t>(fCaretX + dx, INT32_MIN / 2, INT32_MAX / 2));
  const bool yKnown = fCaretY > INT32_MIN / 2 && fCaretY < INT32_MAX / 2; // else saturated far off
  fCaretY = int32_t(std::clamp<int64_t>(fCaretY + dy, INT32_MIN / 2, INT32_MAX / 2));
  fDisplayLeft = left;
  fTopOrigin = top;
  if (!yKnown) // a caret that was far off: its place comes from its line again
    fCaretY = int32_t(std::clamp<int64_t>(int64_t(fcp->getVisibleLineNumber()) * std::max(1, fLineHeight) - top,
                                          INT32_MIN / 2, INT32_MAX / 2));
  if (!DisplayReady())
    return;
  if (fFixedBMPBackground || std::abs(dx) > 32767 || std::abs(dy) > 32767 || std::abs(dx) >= viewport()->width() ||
      std::abs(dy) >= viewport()->height())
    Repaint();
  else
    viewport()->scroll(int(dx), int(dy));
}

// The smooth scroll: each tick moves both axes a step toward their targets
// and repaints at once. With Time > 0 the step is the elapsed share of the
// remaining distance (the motion slows down toward the end); with Time < 0
// it is the elapsed share of the whole distance (constant speed).
void TZarvMemo::animateView(int32_t top, int32_t left, int32_t time) {
  const uint32_t t0 = Tick();
  fLastScrollTime = t0 + uint32_t(std::abs(time));
  const int64_t wholeY = std::abs(int64_t(top) - fTopOrigin), wholeX = std::abs(int64_t(left) - fDisplayLeft);
  uint32_t last = t0;
  auto stepToward = [&](int32_t cur, int32_t target, int64_t whole, uint32_t now) {
    const int64_t dist = std::abs(int64_t(target) - cur);
    if (dist == 0)
      return cur;
    int64_t step = time > 0 ? int64_t(now - t0) * dist / (2 * int64_t(time)) + 1
                            : int64_t(now - last) * whole / -int64_t(time) + 1;
    step = std::min(step, dist);
    return int32_t(target > cur ? cur + step : cur - step);
  };
  while (fTopOrigin != top || fDisplayLeft != left) {
    uint32_t now = Tick();
    while (now == last) {
      QThread::usleep(200);
      now = Tick();
    }
    moveView(stepToward(fDisplayLeft, left, wholeX, now), stepToward(fTopOrigin, top, wholeY, now));
    viewport()->repaint();
    last = now;
  }
}

void TZarvMemo::SetTopLeft(int32_t Top, int32_t Left, int32_t Time) try {
  const TEntryScope entry(ownerId());
  const int32_t top = clampTop(Top);
  const int32_t left = std::clamp(Left, 0, kMaxPixelWidth);
  const bool moveV = top != fTopOrigin, moveH = left != fDisplayLeft;
  if (!moveV && !moveH)
    return;
  const bool immediate = Time == 0 || !DisplayReady() || !isVisible() || fLockedCount > 0 ||
                         (fInternalScroll && int32_t(Tick() - fLastScrollTime) < 201);
  if (immediate)
    moveView(left, top);
  else
    animateView(top, left, Time);
  if (fInternalScroll)
    fLastScrollTime = Tick();
  fDisplayTop->setVisibleLineNumber(getTopLine());
  if (DisplayReady()) {
    updateScrollBarValues();
    FormatShownLines();
    if (hasFocus())
      PlaceCaret();
  }
  if (moveH && OnHScroll)
    callHandler(OnHScroll, *this);
  if (moveV && OnVScroll)
    callHandler(OnVScroll, *this);
  DoNotify(fNotifyList, TzvEvents((moveH ? zveHScroll : TzvEvent(0)) | (moveV ? zveVScroll : TzvEvent(0))));
  if (moveH)
    callOut([&] { Q_EMIT hScrolled(); });
  if (moveV)
    callOut([&] { Q_EMIT vScrolled(); });
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::updateScrollBarValues() {
  const QSignalBlocker v(verticalScrollBar()), h(horizontalScrollBar());
  verticalScrollBar()->setValue(fTopOrigin / std::max(1, fVScrollfact));
  horizontalScrollBar()->setValue(fDisplayLeft / std::max(1, fHScrollFact));
}

// ---- Bringing the caret into view -----------------------------------------------------------------

void TZarvMemo::ScrollInView() try {
  const TEntryScope entry(ownerId());
  if (fLockedCount > 0 || !DisplayReady())
    return;
  TParagraphsList& L = *fParagraphs;
  const int32_t caretPar = fcp->GetParNb();
  if (!(L.Par(caretPar)->ParState & zvpFormatted))
    FormatNow(caretPar, caretPar, true, false);
  if (L.Par(caretPar)->ParState & zvpHidden) {
    TUpdateLock lock(*this);
    L.CollapseExpandPar(caretPar, 1, zvsGetParLevel(*L.Par(caretPar)), false);
  }
  UpdateCaret(false);
  const int32_t lh = std::max(1, fLineHeight);
  const int32_t clientBottom = viewport()->height();
  // Horizontal: in steps of five spaces.
  int32_t left = fDisplayLeft;
  const int32_t step = std::max(1, 5 * fSpaceWidth);
  if ((fWordWrap && fColumnWrap == 0) || (fAlignment != taLeftJustify && fDisplayLeft == 0))
    left = 0;
  else if (fCaretX >= fLineWidth)
    left = int32_t(std::min<int64_t>(fDisplayLeft + (int64_t(fCaretX - fLineWidth) / step + 1) * step, kMaxPixelWidth));
  else if (fCaretX < 0)
    left = int32_t(std::max<int64_t>(0, fDisplayLeft + (int64_t(fCaretX) / step - 1) * step));
  // Vertical: a caret above goes to the top; one below goes to the bottom.
  int64_t top = fTopOrigin;
  if (fCaretY < 0) {
    top = int64_t(fcp->getVisibleLineNumber()) * lh;
  } else if (fCaretY > clientBottom - lh - 3) {
    // The lines between the window and the caret are formatted, so that the
    // distance is exact: at most a window's worth of paragraphs before the
    // caret (the far part of a long jump is not shown anyway).
    const int32_t topPar = fDisplayTop->GetParNb();
    FormatNow(std::max(topPar, caretPar - fDisplayLines - 1), caretPar, false, false);
    const int64_t line = fcp->getVisibleLineNumber();
    if (!fOptions.testFlag(zvoNoFineScroll)) {
      const bool lastLine = line >= L.fVisibleLineCount - 1;
      top = (line + 1) * lh - clientBottom + (lastLine ? 3 : 1);
    } else {
      top = std::max<int64_t>(line - fDisplayLines + 2, 0) * lh;
    }
    top = std::min(top, line * lh);
  }
  SetTopLeft(clampTop(top), left, fScrollTime);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// ---- Scroll bars ----------------------------------------------------------------------------------

bool TZarvMemo::setVScrollParams() {
  if ((int64_t(fParagraphs->fVisibleLineCount) + 2) * std::max(1, fLineHeight) > INT32_MAX) {
    // The text grew past what this line height can address: lower it,
    // keeping the top line.
    const int32_t old = std::max(1, fLineHeight);
    UpdateMetrics();
    const int32_t lh = std::max(1, fLineHeight);
    fTopOrigin = clampTop(int64_t(fTopOrigin / old) * lh + std::min(fTopOrigin % old, lh - 1));
  }
  const int32_t h = viewport()->height();
  const int32_t lh = std::max(1, fLineHeight);
  const int64_t textHeight = int64_t(fParagraphs->fVisibleLineCount) * lh;
  fVScrollfact = int32_t(std::min<int64_t>(textHeight / kScrollUnits + 1, INT32_MAX));
  fInSetScroll = true;
  bool overflows = true;
  if (hasBar(fScrollBars, true)) {
    int32_t max = int32_t(std::max<int64_t>(textHeight / fVScrollfact, h - lh - 1));
    if (!fOptions.testFlag(zvoAutoScrollBars) && max < h)
      ++max;
    const int32_t page = std::max(0, (h - 3) / fVScrollfact);
    overflows = page < max;
    if (max != fVScrollMax || page != fVScrollPage) {
      fVScrollMax = max;
      fVScrollPage = page;
      applyRange(verticalScrollBar(), max, page);
    }
  }
  bool widthChanged = false;
  const int32_t width = viewport()->width();
  if (width != fLineWidth) {
    fLineWidth = width;
    widthChanged = true;
    if (DisplayReady())
      fLineBmp = QImage(std::max(1, width), std::max(1, fLineHeight), QImage::Format_ARGB32_Premultiplied);
    if (fLockedCount == 0 && DisplayReady()) {
      if (!fWordWrap && fAlignment == taLeftJustify) {
        setHScrollParams();
      } else {
        fInSetScroll = false;
        Reformat();
        Repaint();
        if (!overflows)
          SetTopLeft(0, fDisplayLeft, 0);
      }
    }
  }
  fInSetScroll = false;
  return widthChanged;
}

void TZarvMemo::setHScrollParams() {
  const int64_t margins = int64_t(fLeftMargin) + fRightMargin;
  const int64_t wide = std::max<int64_t>(0, fMaxLineWidth + margins);
  fHScrollFact = int32_t(std::min<int64_t>(wide / kScrollUnits + 1, INT32_MAX));
  const int64_t extra = std::max<int64_t>(0, (wide - fLineWidth) / fHScrollFact);
  if (hasBar(fScrollBars, false)) {
    const int32_t page = int32_t(std::clamp<int64_t>((fLineWidth - margins) / fHScrollFact, 0, INT32_MAX / 2));
    int64_t max = fWordWrap && fColumnWrap == 0 ? page - 1 : extra + page - 1;
    if (!fOptions.testFlag(zvoAutoScrollBars))
      ++max;
    if (fAlignment != taLeftJustify)
      max = page;
    fHScrollMax = int32_t(std::min<int64_t>(max, INT32_MAX / 2));
    fHScrollPage = page;
    applyRange(horizontalScrollBar(), fHScrollMax, page);
    if (max < page && fDisplayLeft != 0)
      SetTopLeft(fTopOrigin, 0, 0);
  }
  fDisplayLines = fLineHeight < 1 ? 1 : viewport()->height() / fLineHeight + 1;
}

namespace {

// How long wrapping must pause before the widest line is looked for again:
// a pass over the records costs 10 to 20 ms on 1.5 million paragraphs,
// too much for every keystroke.
constexpr int kWidestCheckDelay = 250;

} // namespace

void TZarvMemo::scheduleWidestCheck() {
  if ((fWordWrap && fColumnWrap == 0) || int64_t(fMaxLineWidth) + fLeftMargin + fRightMargin <= fLineWidth)
    return;
  if (!fWidestCheck) {
    fWidestCheck = new QTimer(this);
    fWidestCheck->setSingleShot(true);
    connect(fWidestCheck, &QTimer::timeout, this, &TZarvMemo::recheckWidestLine);
  }
  fWidestCheck->start(kWidestCheckDelay);
}

// The widths stored by the last wraps (no measuring). A paragraph not
// wrapped since an edit keeps its old widths, which can only make the
// result too wide; its next wrap sets its real width.
void TZarvMemo::recheckWidestLine() {
  if (fLockedCount > 0 || fLoadingContent || !DisplayReady()) {
    scheduleWidestCheck();
    return;
  }
  // The records are read directly: copying each line's record through
  // GetParLine made a pass several times slower.
  const TParagraphsList& L = *fParagraphs;
  int32_t widest = 0, widestLine = -1;
  for (int32_t p = 0; p < L.Count(); ++p) {
    const ParInfo& par = *L.RawPar(p);
    if (!(par.ParState & zvpHasExtra)) {
      if (par.Compact.LineWidth > widest) {
        widest = par.Compact.LineWidth;
        widestLine = L.StartLineOf(p);
      }
      continue;
    }
    const ParExtraInfo& x = *par.ParExtra;
    for (int32_t i = 0; i <= int32_t(x.Lines.size()); ++i) {
      const int32_t w = i == 0 ? x.FirstLine.LineWidth : x.Lines[size_t(i - 1)].LineWidth;
      if (w > widest) {
        widest = w;
        widestLine = L.StartLineOf(p) + i;
      }
    }
  }
  if (widest >= fMaxLineWidth)
    return;
  fMaxLineWidth = widest;
  fMaxLineNumber = widestLine;
  setHScrollParams();
}

// The bar's requests map onto the scroll codes; afterwards the bar shows
// the view's position (the value the bar applies after this action).
void TZarvMemo::scrollBarAction(bool vertical, int action) try {
  const TEntryScope entry(ownerId());
  QScrollBar* bar = vertical ? verticalScrollBar() : horizontalScrollBar();
  TzvScrollCode code;
  switch (action) {
  case QAbstractSlider::SliderSingleStepAdd:
    code = SB_LINEDOWN;
    break;
  case QAbstractSlider::SliderSingleStepSub:
    code = SB_LINEUP;
    break;
  case QAbstractSlider::SliderPageStepAdd:
    code = SB_PAGEDOWN;
    break;
  case QAbstractSlider::SliderPageStepSub:
    code = SB_PAGEUP;
    break;
  case QAbstractSlider::SliderToMinimum:
    code = SB_TOP;
    break;
  case QAbstractSlider::SliderToMaximum:
    code = SB_BOTTOM;
    break;
  case QAbstractSlider::SliderMove:
    code = SB_THUMBTRACK;
    break;
  default:
    return;
  }
  if (vertical)
    VScroll(code, bar->sliderPosition());
  else
    HScroll(code, bar->sliderPosition());
  bar->setSliderPosition(vertical ? fTopOrigin / std::max(1, fVScrollfact) : fDisplayLeft / std::max(1, fHScrollFact));
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::VScroll(TzvScrollCode Code, int32_t Pos) try {
  const TEntryScope entry(ownerId());
  if (fLockedCount > 0)
    return;
  TFieldScope<bool> internal(ownerId(), fInternalScroll, true);
  TParagraphsList& L = *fParagraphs;
  const int32_t lh = std::max(1, fLineHeight);
  const int32_t h = viewport()->height();
  int32_t top = getTopLine();
  int64_t target = fTopOrigin;
  int32_t time = fScrollTime;
  switch (Code) {
  case SB_LINEUP:
    if (fTopOrigin > 0)
      target = fTopOrigin % lh == 0 ? int64_t(fTopOrigin) - lh : int64_t(top) * lh;
    break;
  case SB_LINEDOWN:
    if (top < L.fVisibleLineCount - 1 && top < L.fVisibleLineCount - fDisplayLines + 2)
      target = (int64_t(top) + 1) * lh;
    break;
  case SB_PAGEUP:
    // The page above is formatted first, so that it is a page of real lines.
    formatLineRange(top - fDisplayLines, top);
    top = getTopLine();
    target = int64_t(std::max(top - fDisplayLines + 2, 0)) * lh;
    break;
  case SB_PAGEDOWN:
    formatLineRange(top, top + 2 * fDisplayLines);
    top = getTopLine();
    target = std::min((int64_t(top) + fDisplayLines - 1) * lh,
                      std::max<int64_t>(0, int64_t(L.fVisibleLineCount) * lh - h + 3));
    break;
  case SB_THUMBTRACK:
    target = int64_t(Pos) * fVScrollfact;
    if (fOptions.testFlag(zvoNoFineScroll))
      target = target / lh * lh;
    time = 0; // the thumb follows the mouse without delay
    break;
  case SB_TOP:
    target = 0;
    break;
  case SB_BOTTOM:
    // Counted in visible lines, so that folded text does not leave the view
    // past the end; the last window's paragraphs are formatted first.
    formatLineRange(L.fVisibleLineCount - 2 * fDisplayLines, L.fVisibleLineCount);
    target = int64_t(std::max(L.fVisibleLineCount - fDisplayLines + 2, 0)) * lh;
    break;
  default:
    return;
  }
  SetTopLeft(clampTop(target), fDisplayLeft, time);
  if (DisplayReady() && isVisible())
    viewport()->repaint();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::HScroll(TzvScrollCode Code, int32_t Pos) try {
  const TEntryScope entry(ownerId());
  if (fLockedCount > 0)
    return;
  TFieldScope<bool> internal(ownerId(), fInternalScroll, true);
  const int32_t w = viewport()->width();
  const int64_t left = fDisplayLeft;
  // The right end: the widest line fully shown (never left of the view).
  const int64_t right =
      std::max<int64_t>({int64_t(fMaxLineWidth) - fLineWidth + int64_t(fLeftMargin) + fRightMargin + 2, 0, left});
  int64_t target = left;
  int32_t time = fScrollTime;
  switch (Code) {
  case SB_LINELEFT:
    target = std::max<int64_t>(left - w / 20 - 1, 0);
    break;
  case SB_LINERIGHT:
    target = std::min<int64_t>(left + w / 20 + 1, right);
    break;
  case SB_PAGELEFT:
    target = std::max<int64_t>(left - (w - w / 20), 0);
    break;
  case SB_PAGERIGHT:
    target = std::min<int64_t>(left + w - w / 20, right);
    break;
  case SB_THUMBTRACK:
    target = int64_t(Pos) * fHScrollFact;
    time = 0;
    break;
  case SB_LEFT:
    target = 0;
    break;
  case SB_RIGHT:
    target = std::max<int64_t>(int64_t(fMaxLineWidth) - fLineWidth + fLeftMargin + fRightMargin + 2, 0);
    break;
  default:
    return;
  }
  SetTopLeft(fTopOrigin, int32_t(std::clamp<int64_t>(target, 0, kMaxPixelWidth)), time);
  if (DisplayReady() && isVisible())
    viewport()->repaint();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// ---- The wheel --------------------------------------------------------------------------------------

void TZarvMemo::DoMouseWheel(Qt::KeyboardModifiers, int32_t WheelDelta, QPoint) try {
  const TEntryScope entry(ownerId());
  TParagraphsList& L = *fParagraphs;
  int32_t n = fMouseWheelFact >= 0 ? fMouseWheelFact : QApplication::wheelScrollLines();
  if (n < 0) // the desktop asks for a page a notch
    n = std::max(1, fDisplayLines - 2);
  const int64_t acc = int64_t(fMouseWheelAcc) + int64_t(WheelDelta) * n;
  // Each full notch (120) moves one line; the rest waits for the next event.
  const int64_t lines = -(acc / 120);
  fMouseWheelAcc = int32_t(acc % 120);
  const int64_t lastTop = std::max<int64_t>(0, int64_t(L.fVisibleLineCount) - fDisplayLines + 1);
  const int64_t line = std::clamp<int64_t>(getTopLine() + lines, 0, lastTop);
  const int32_t lh = std::max(1, fLineHeight);
  int64_t target = line * lh;
  if (!fOptions.testFlag(zvoNoFineScroll))
    target = std::min(target, std::max<int64_t>(int64_t(L.fVisibleLineCount) * lh - viewport()->height() + 3, 0));
  TFieldScope<bool> internal(ownerId(), fInternalScroll, true);
  SetTopLeft(clampTop(target), fDisplayLeft, 0);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// Ctrl+wheel is left to the application (zoom); a horizontal wheel, or
// Shift with the wheel, scrolls sideways a line step a notch; a touchpad's
// pixel deltas scroll by pixels unless the view keeps whole lines.
void TZarvMemo::wheelEvent(QWheelEvent* e) {
  if (e->modifiers() & Qt::ControlModifier) {
    e->ignore();
    return;
  }
  const QPoint angle = e->angleDelta();
  const QPoint pixels = e->pixelDelta();
  const bool sideways = angle.x() != 0 || (e->modifiers() & Qt::ShiftModifier);
  if (sideways) {
    const int32_t delta = angle.x() != 0 ? angle.x() : angle.y();
    const int32_t notches = std::clamp(std::abs(delta) / 120, 1, 10);
    for (int32_t i = 0; i < notches && delta != 0; ++i)
      HScroll(delta > 0 ? SB_LINELEFT : SB_LINERIGHT);
  } else if (!pixels.isNull() && !fOptions.testFlag(zvoNoFineScroll)) {
    TFieldScope<bool> internal(ownerId(), fInternalScroll, true);
    SetTopLeft(clampTop(int64_t(fTopOrigin) - pixels.y()), fDisplayLeft, 0);
  } else if (angle.y() != 0) {
    DoMouseWheel(e->modifiers(), angle.y(), e->position().toPoint());
  }
  e->accept();
}

// ---- Resizing -----------------------------------------------------------------------------------------

// The viewport changed size (the control was resized, or a bar came or
// went): ranges are set again, and enlarging the window at the end of the
// text shows more text rather than empty space below it.
void TZarvMemo::viewportResized(QSize oldSize) {
  if (!DisplayReady() || fInSetScroll)
    return;
  const int64_t textHeight = int64_t(fParagraphs->fVisibleLineCount) * fLineHeight;
  const bool aboveEnd = oldSize.isValid() && fTopOrigin < textHeight - oldSize.height() + 5;
  fDisplayLines = viewport()->height() / std::max(1, fLineHeight) + 1;
  setVScrollParams();
  setHScrollParams();
  updateScrollBarValues();
  const int64_t limit = textHeight - viewport()->height() + 3;
  if (aboveEnd && fTopOrigin > limit)
    SetTopLeft(int32_t(std::max<int64_t>(0, limit)), fDisplayLeft, 0);
  FormatShownLines();
  UpdateCaret(false);
}

} // namespace zarv
