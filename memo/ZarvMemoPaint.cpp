// Painting the control's viewport: the lines meeting the invalid rectangle,
// each composed in the one-line buffer and copied once, the background
// around them, the end-of-text mark, the right line and the caret.
//
// Painting never formats: what the window shows was wrapped before
// (FormatShownLines), so a paint cannot change line counts or scroll
// ranges. A paint asked while painting is held off (the update lock or a
// running FormatNow) is remembered and asked again when the hold ends; the
// backing store would otherwise keep stale pixels there.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/memo/ZarvMemoPaintLine.h>

#include <ZarvMemo/support/navigator/Navigator.h>

#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleHints>
#include <QTimer>
#include <cmath>

namespace zarv {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int64_t FloorMod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

// Dash patterns in pixels (on, off, ...), whose periods keep the dashes of
// the right line fixed to the text while it scrolls.
QVector<qreal> DashPattern(Qt::PenStyle s) {
  switch (s) {
  case Qt::DashLine:
    return {18, 6};
  case Qt::DotLine:
    return {3, 3};
  case Qt::DashDotLine:
    return {9, 6, 3, 6};
  case Qt::DashDotDotLine:
    return {9, 3, 3, 3, 3, 3};
  default:
    return {};
  }
}

} // namespace

QColor TZarvMemo::PaintColor(TColor c, const QColor& Fallback) const {
  return ColorToQColor(c, palette(), Fallback.isValid() ? Fallback : palette().color(QPalette::Text));
}

void TZarvMemo::fitLineBuffer(qreal dpr) {
  const int w = std::max(1, viewport()->width()), h = std::max(1, fLineHeight);
  const QSize device(int(std::ceil(w * dpr)), int(std::ceil(h * dpr)));
  if (fLineBmp.size() == device && fLineBmp.format() == QImage::Format_RGB32 && fLineBmp.devicePixelRatio() == dpr)
    return;
  fLineBmp = QImage(device, QImage::Format_RGB32);
  fLineBmp.setDevicePixelRatio(dpr);
}

void TZarvMemo::BackgroundFill(QPainter& DC, const QRect& Rect, bool UsePicture, int32_t Y, TColor Color) {
  const QColor c = PaintColor(Color, palette().color(QPalette::Base));
  if (!UsePicture || fBackground.width() <= 0 || fBackground.height() <= 0) {
    DC.fillRect(Rect, c);
    return;
  }
  const int H = fBackground.height(), W = fBackground.width();
  if (fOptions.testFlag(zvoFixedBackground)) {
    // Fixed to the window: the picture's row Y lands on the rectangle.
    if (W < Rect.right() + 1 || H < viewport()->height())
      DC.fillRect(Rect, c);
    const QRect src = QRect(Rect.left(), Y, Rect.width(), Rect.height()).intersected(fBackground.rect());
    if (!src.isEmpty())
      DC.drawPixmap(QPoint(src.left(), Rect.top() + src.top() - Y), fBackground, src);
    return;
  }
  // Tiled, scrolling with the text.
  const int sy = int(FloorMod(int64_t(fTopOrigin) + Y, H));
  const int sx = int(FloorMod(int64_t(fDisplayLeft) + Rect.left(), W));
  DC.drawTiledPixmap(Rect, fBackground, QPoint(sx, sy));
}

void TZarvMemo::paintEvent(QPaintEvent* e) {
  if (!DisplayReady() || fNoPaint || fLockedCount > 0 || fCanvas) {
    fSkippedRegion += e->region();
    ++fSkippedPaints;
    return;
  }
  QPainter vp(viewport());
  const QRect R = e->rect();
  fitLineBuffer(vp.paintEngine()->paintDevice()->devicePixelRatio());
  const int32_t lh = std::max(1, fLineHeight);
  TParagraphsList& L = *fParagraphs;
  const int32_t visible = L.fVisibleLineCount;
  const int64_t lf = std::max<int64_t>(0, FloorDiv(int64_t(R.top()) + fTopOrigin, lh));
  const int64_t ll = FloorDiv(int64_t(R.bottom()) + fTopOrigin, lh);
  int64_t below = R.top(); // first viewport row not yet painted
  if (fTopOrigin < 0 && lf == 0) {
    // The strip above the text.
    const int h = int(std::min<int64_t>(-int64_t(fTopOrigin), R.bottom() + 1) - R.top());
    if (h > 0)
      BackgroundFill(vp, QRect(R.left(), R.top(), R.width(), h), true, R.top(), clWindow);
    below = std::max<int64_t>(below, -int64_t(fTopOrigin));
  }
  if (lf < visible && L.Count() > 0)
    below = paintLines(vp, int32_t(lf), int32_t(std::min<int64_t>(ll, visible - 1)));
  if (below <= R.bottom())
    BackgroundFill(vp, QRect(R.left(), int(below), R.width(), int(R.bottom() + 1 - below)), true, int(below), clWindow);
  paintEndOfText(vp, R, visible);
  paintRightLine(vp, R);
  firstPaintDone();
  QRect caret = fCaretRect;
  if (!fPreedit.isEmpty() && hasFocus())
    caret.translate(paintPreedit(vp), 0);
  // The caret inverts what lies under it, so it shows on any background.
  if (fCaretOn && hasFocus() && !fDisplayOnly && caret.intersects(R)) {
    vp.setCompositionMode(QPainter::CompositionMode_Difference);
    vp.fillRect(caret, Qt::white);
  }
}

// The text an input method is composing, drawn underlined over the line at
// the caret (it is not text of the control yet); returns the distance from
// the caret to the composition's own cursor.
int32_t TZarvMemo::paintPreedit(QPainter& vp) {
  QFont f = TZarvCanvas::PrepareFont(font());
  f.setUnderline(true);
  const QFontMetrics fm(f);
  const QRect r(fCaretX, fCaretY, fm.horizontalAdvance(fPreedit) + 1, fLineHeight);
  vp.fillRect(r, palette().color(QPalette::Base));
  vp.setFont(f);
  vp.setPen(palette().color(QPalette::Text));
  vp.drawText(QPoint(fCaretX, fCaretY + fLineBase), fPreedit);
  return fm.horizontalAdvance(fPreedit.left(fPreeditCursor));
}

// Display lines first..last, each composed in the line buffer and copied;
// returns the viewport row below the last one.
int64_t TZarvMemo::paintLines(QPainter& vp, int32_t first, int32_t last) {
  TParagraphsList& L = *fParagraphs;
  const int32_t lh = std::max(1, fLineHeight);
  TZarvNavigator nav(&L);
  nav.AttachMemo(this);
  nav.setVisibleLineNumber(first);
  int32_t p = nav.GetParNb(), li = nav.GetParLine();
  int64_t below = int64_t(first) * lh - fTopOrigin;
  for (int32_t l = first; l <= last && p < L.Count(); ++l) {
    const int32_t y = int32_t(int64_t(l) * lh - fTopOrigin);
    {
      QPainter lp(&fLineBmp);
      TLinePainter(*this, lp).PaintLine(p, li, y);
    }
    vp.drawImage(QPoint(0, y), fLineBmp);
    ++fPaintedLines;
    below = int64_t(y) + lh;
    if (++li >= L.VisibleLinesOf(p)) { // on to the next paragraph shown
      li = 0;
      while (++p < L.Count() && L.VisibleLinesOf(p) == 0) {
      }
    }
  }
  return below;
}

void TZarvMemo::paintEndOfText(QPainter& p, const QRect& r, int32_t lastLine) {
  const TZarvPen& pen = fEndOfTextPen;
  if (pen.Color == clDefault || pen.Style == Qt::NoPen)
    return;
  const int64_t y = int64_t(lastLine) * fLineHeight - fTopOrigin + pen.Width / 2;
  if (y + pen.Width < r.top() || y - pen.Width > r.bottom())
    return;
  QPen qp(PaintColor(pen.Color), std::max(1, pen.Width), pen.Style, Qt::FlatCap);
  p.setPen(qp);
  p.drawLine(QPointF(0, double(y) + 0.5), QPointF(r.right() + 1, double(y) + 0.5));
}

void TZarvMemo::paintRightLine(QPainter& p, const QRect& r) {
  if (fRightLinePos == 0 || fRightLinePen.Style == Qt::NoPen)
    return;
  const int64_t x = fRightLinePos > 0 ? int64_t(fRightLinePos) * fSpaceWidth + fLeftMargin - fDisplayLeft
                                      : int64_t(fLeftMargin) - fDisplayLeft - fRightLinePos;
  const int w = std::max(1, fRightLinePen.Width);
  if (x + w < r.left() || x - w > r.right())
    return;
  const QVector<qreal> dashes = DashPattern(fRightLinePen.Style);
  int period = 0;
  for (qreal d : dashes)
    period += int(d);
  QPen qp(PaintColor(fRightLinePen.Color), w, Qt::SolidLine, Qt::FlatCap);
  if (!dashes.isEmpty()) {
    QVector<qreal> scaled = dashes;
    for (qreal& d : scaled)
      d /= w; // Qt counts dashes in pen widths
    qp.setDashPattern(scaled);
  }
  // The pattern's phase follows the text, not the window (a dash offset:
  // Qt restarts a pattern where a line is clipped, so the line must start
  // inside the device).
  if (period > 0)
    qp.setDashOffset(double(FloorMod(int64_t(r.top()) + fTopOrigin, period)) / w);
  p.setPen(qp);
  p.drawLine(QPointF(double(x) + 0.5, r.top()), QPointF(double(x) + 0.5, r.bottom() + 1));
}

void TZarvMemo::caretMoved() {
  if (hasFocus())
    QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImCursorPosition | Qt::ImAnchorPosition);
  if (!fCaretOn) {
    fCaretOn = true;
    viewport()->update(fCaretRect);
  }
  if (fCaretTimer && fCaretTimer->isActive())
    fCaretTimer->start(); // a full period before the next blink
  invalidateSelectionChange();
}

void TZarvMemo::invalidateSelectionChange() {
  TShownSelection now;
  now.Visible = fSelLen != 0 && (hasFocus() || !fHideSelection);
  if (now.Visible) {
    now.A = fSelStart->GetPos();
    now.B = fSelStop->GetPos();
    now.Block = fBlockSelection;
    now.Col0 = fBlockStartCol;
    now.Col1 = fBlockStopCol;
  }
  const TShownSelection old = fShownSel;
  if (now == old)
    return;
  fShownSel = now;
  TZarvNavigator n(fParagraphs.get());
  n.AttachMemo(this);
  auto lineOf = [&](int32_t pos) {
    n.SetPos(std::clamp(pos, 0, fParagraphs->fTextLen));
    return n.getVisibleLineNumber();
  };
  // One end moved: only the lines between its two places change.
  if (old.Visible && now.Visible && !old.Block && !now.Block && (old.A == now.A || old.B == now.B)) {
    if (old.A == now.A)
      InvalidateLines(lineOf(old.B), lineOf(now.B));
    else
      InvalidateLines(lineOf(old.A), lineOf(now.A));
    return;
  }
  if (old.Visible)
    InvalidateLines(lineOf(old.A), lineOf(old.B));
  if (now.Visible)
    InvalidateLines(lineOf(now.A), lineOf(now.B));
}

void TZarvMemo::flushSkippedPaint() {
  if (fSkippedRegion.isEmpty() || fNoPaint || fLockedCount > 0 || fCanvas)
    return;
  viewport()->update(fSkippedRegion);
  fSkippedRegion = QRegion();
}

// Focus shows and hides the caret, and the selection under HideSelection.
void TZarvMemo::focusInEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusInEvent(e);
  if (!DisplayReady())
    return;
  const int flash = QGuiApplication::styleHints()->cursorFlashTime();
  if (flash > 0) {
    if (!fCaretTimer) {
      fCaretTimer = new QTimer(this);
      connect(fCaretTimer, &QTimer::timeout, this, [this] {
        fCaretOn = !fCaretOn;
        viewport()->update(fCaretRect);
      });
    }
    fCaretTimer->start(flash / 2);
  }
  fCaretOn = true;
  UpdateCaret(false);
  viewport()->update(fCaretRect);
}

void TZarvMemo::focusOutEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusOutEvent(e);
  mouseFocusLost();
  if (fCaretTimer)
    fCaretTimer->stop();
  if (!DisplayReady())
    return;
  invalidateSelectionChange();
  viewport()->update(fCaretRect);
}

} // namespace zarv
