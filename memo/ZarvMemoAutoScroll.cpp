// Automatic scrolling while the left button is held beyond an edge of the
// window: a pure choice of direction, rate and pause, and a single-shot
// timer whose every step scrolls one line (or one horizontal unit) and lets
// the selection follow a point beyond that edge. No nested event loop: the
// pointer's next move or the release changes or ends the steps.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QTimer>
#include <algorithm>

namespace zarv {

// ---- Automatic scrolling ------------------------------------------------------------------------

int32_t AutoScrollDelay(int32_t Rate) {
  static constexpr int32_t kDelays[] = {400, 300, 200, 130, 78, 48, 30};
  return Rate >= 1 && Rate <= 7 ? kDelays[Rate - 1] : 0;
}

TAutoScroll ChooseAutoScroll(int32_t X, int32_t Y, int32_t W, int32_t H, bool DraggingText) {
  TMouseScrollType dir = msNoScroll;
  int64_t dist = 0;
  if (X < 0 && (!DraggingText || X >= -24)) {
    dir = msLeft;
    dist = -int64_t(X);
  }
  if (X > W && (!DraggingText || X <= int64_t(W) + 24)) {
    dir = msRight;
    dist = int64_t(X) - W;
  }
  const bool vertical = !DraggingText || (X >= -3 && X <= int64_t(W) + 3);
  if (vertical && Y < -3 && (!DraggingText || Y >= -27)) {
    dir = msUp;
    dist = -int64_t(Y);
  }
  if (vertical && Y > H && (!DraggingText || Y <= int64_t(H) + 24)) {
    dir = msDown;
    dist = int64_t(Y) - H;
  }
  if (dir == msNoScroll)
    return {};
  // One or two pixels past an edge give rate 0: scrolled as rate 1, so
  // that the step's synthetic point lands beyond the edge again.
  const int32_t rate = int32_t(std::clamp<int64_t>(dist / 3, 1, INT32_MAX));
  return {dir, rate, AutoScrollDelay(rate)};
}

void TZarvMemo::chooseAutoScroll(int32_t X, int32_t Y) {
  // Below a text shorter than the window there is nothing to scroll to.
  const int64_t textBottom = int64_t(fParagraphs->fVisibleLineCount) * std::max(1, fLineHeight) - fTopOrigin;
  const int32_t y = int32_t(std::min<int64_t>(Y, std::max<int64_t>(textBottom, 0)));
  const TAutoScroll s = ChooseAutoScroll(X, y, viewport()->width(), viewport()->height(), fDragging);
  const TMouseScrollType old = fMouseScroll;
  fMouseScroll = s.Dir;
  fScrollRate = s.Rate;
  if (s.Dir == msNoScroll)
    fAutoScrollTimer->stop();
  else if (s.Dir != old || !fAutoScrollTimer->isActive())
    fAutoScrollTimer->start(s.Delay);
}

// One step: a line (or a horizontal unit) in the chosen direction, then
// the selection follows a point 3 x rate pixels beyond that edge, which
// also chooses the next step. A step that could not move the view ends the
// steps until the pointer moves again.
void TZarvMemo::autoScrollStep() try {
  const TEntryScope entry(ownerId());
  if (fMouseScroll == msNoScroll || !fMouseDown || (fDragStarted && !fDragging))
    return; // released, or a text drag cancelled by Esc
  const int32_t r = std::max(1, fScrollRate);
  const int32_t w = viewport()->width(), h = viewport()->height();
  const int32_t top = fTopOrigin, left = fDisplayLeft;
  const QPoint real = fLastMousePos;
  QPoint p = real;
  switch (fMouseScroll) {
  case msUp:
    VScroll(SB_LINEUP);
    p.setY(fDragging ? std::max(-3 * r - 1, -27) : -3 * r - 1);
    break;
  case msDown:
    VScroll(SB_LINEDOWN);
    p.setY(h + 3 * r);
    break;
  case msLeft:
    if (fDisplayLeft > 0)
      HScroll(SB_LINELEFT);
    p.setX(-3 * r);
    break;
  case msRight:
    if (fDisplayLeft < fMaxLineWidth - ClientWidth())
      HScroll(SB_LINERIGHT);
    p.setX(w + 3 * r);
    break;
  default:
    break;
  }
  const bool moved = top != fTopOrigin || left != fDisplayLeft;
  MouseMove(Qt::LeftButton, fLastMouseMods, p.x(), p.y());
  fLastMousePos = real;
  if (!moved)
    fAutoScrollTimer->stop();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

} // namespace zarv
