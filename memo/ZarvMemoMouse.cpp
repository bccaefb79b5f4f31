// The mouse: a click places the caret (Shift extends from the anchor, the
// block modifiers start a column block), a double click selects words, a
// triple click or a click left of the text selects display lines. Moving
// with the left button held extends the selection (by whole words after a
// double click, by whole lines in line mode) and scrolls on a timer while
// the pointer is beyond an edge. Releasing over a run with a context number
// reports it. The pointer's shape follows what lies under it. Text drags
// and drops are in ZarvMemoDrag.cpp.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/support/navigator/Navigator.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QTimer>
#include <algorithm>
#include <optional>

namespace zarv {

namespace {

// Stands for the right-pointing arrow of the line-selection zone among the
// Qt shapes (Qt has none: it is drawn, see RightArrowCursor).
constexpr int kRightArrowShape = -1;

// The standard arrow mirrored, so that it points into the text from the
// left margin; drawn once, black with a white rim, hot spot at its tip.
const QCursor& RightArrowCursor() {
  static const QCursor cursor = [] {
    QPixmap pm(16, 22);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QPolygon arrow(
        {QPoint(12, 1), QPoint(12, 17), QPoint(8, 13), QPoint(5, 20), QPoint(3, 19), QPoint(6, 12), QPoint(1, 12)});
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::black);
    p.drawPolygon(arrow);
    p.end();
    return QCursor(pm, 12, 1);
  }();
  return cursor;
}

// The cursor number a style run carries: negative numbers are the stock
// shapes of the classic numbering (-2 arrow ... -22 size-all), positive
// numbers are taken as Qt::CursorShape values; anything else shows no
// special cursor.
std::optional<Qt::CursorShape> CursorShapeFor(int16_t c) {
  static constexpr Qt::CursorShape kStock[] = {
      Qt::BlankCursor,        Qt::ArrowCursor,    Qt::CrossCursor,     Qt::IBeamCursor,   Qt::SizeAllCursor,
      Qt::SizeBDiagCursor,    Qt::SizeVerCursor,  Qt::SizeFDiagCursor, Qt::SizeHorCursor, Qt::UpArrowCursor,
      Qt::WaitCursor,         Qt::DragMoveCursor, Qt::ForbiddenCursor, Qt::SplitHCursor,  Qt::SplitVCursor,
      Qt::DragCopyCursor,     Qt::WaitCursor,     Qt::ForbiddenCursor, Qt::BusyCursor,    Qt::WhatsThisCursor,
      Qt::PointingHandCursor, Qt::SizeAllCursor};
  if (c < 0 && -c <= int(std::size(kStock)))
    return kStock[-c - 1];
  if (c > 0 && c <= Qt::LastCursor)
    return Qt::CursorShape(c);
  return std::nullopt;
}

// Virtual columns for a click X beyond the end of T's line or on a tab.
QString VirtualColumns(TZarvNavigator& T, int32_t X, int32_t spaceWidth) {
  const ParInfo& par = *T.GetPar();
  const LineInfo li = GetParLine(par, T.GetParLine());
  const int32_t o = T.GetOffset();
  const bool atEnd = o >= li.Stop && T.GetParLine() == GetLineCount(par) - 1;
  const bool onTab = o < GetParLength(par) && par.ParText[o] == u'\t';
  const int32_t tx = T.GetDisplayX();
  if (!(atEnd || onTab) || X <= tx)
    return QString();
  return QString((X - tx) / std::max(1, spaceWidth), QLatin1Char(' '));
}

} // namespace

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
void TZarvMemo::autoScrollStep() {
  if (fMouseScroll == msNoScroll || !fMouseDown)
    return;
  QPointer<TZarvMemo> self(this);
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
  if (!self)
    return;
  const bool moved = top != fTopOrigin || left != fDisplayLeft;
  MouseMove(Qt::LeftButton, fLastMouseMods, p.x(), p.y());
  if (!self)
    return;
  fLastMousePos = real;
  if (!moved)
    fAutoScrollTimer->stop();
}

// ---- Where the pointer is ----------------------------------------------------------------------

void TZarvMemo::initMouse() {
  viewport()->setMouseTracking(true);
  viewport()->setAcceptDrops(true);
  fDropNav = new TZarvNavigator(static_cast<QObject*>(this));
  fAutoScrollTimer = new QTimer(this);
  fAutoScrollTimer->setSingleShot(true);
  connect(fAutoScrollTimer, &QTimer::timeout, this, [this] {
    try {
      autoScrollStep();
    } catch (const std::exception& ex) {
      qWarning("TZarvMemo: %s while scrolling automatically", ex.what());
    }
  });
}

bool TZarvMemo::inLineZone(int32_t X) const {
  return !fOptions.testFlag(zvoNoLineSelection) && X < fLeftMargin - fDisplayLeft - 2;
}

// fMouseNav to the position under the pointer, its line limited to the
// lines in the window (the end of the text below the last line).
bool TZarvMemo::mouseNavAt(int32_t X, int32_t Y) {
  if (fParagraphs->Count() == 0)
    return false;
  const QPoint pt(X, std::clamp(Y, 0, std::max(0, viewport()->height() - 1)));
  fMouseNav->SetDisplayPos(pt);
  const int32_t p = fMouseNav->GetParNb();
  if (!(fMouseNav->GetPar()->ParState & zvpFormatted)) {
    FormatNow(p, p, true, false);
    fMouseNav->SetDisplayPos(pt);
  }
  return true;
}

// T on the character under the pointer, with a code standing at it in
// force; false beyond a line's end, left of the text or below it.
bool TZarvMemo::charUnderPointer(int32_t X, int32_t Y, TZarvNavigator& T) {
  if (X < 0 || Y < 0 || Y >= viewport()->height())
    return false;
  if (int64_t(Y) + fTopOrigin >= int64_t(fParagraphs->fVisibleLineCount) * std::max(1, fLineHeight))
    return false;
  T.SetDisplayPos(QPoint(X, Y));
  const ParInfo& par = *T.GetPar();
  if (!(par.ParState & zvpFormatted))
    return false;
  const LineInfo li = GetParLine(par, T.GetParLine());
  int32_t o = T.GetOffset();
  if (T.GetDisplayX() > X) {
    if (o <= li.Start)
      return false;
    --o;
    if (o > li.Start && QChar::isLowSurrogate(par.ParText[o]) && QChar::isHighSurrogate(par.ParText[o - 1]))
      --o;
    T.SetParPos(T.GetParNb(), o);
  }
  if (o >= li.Stop || o >= GetParLength(par))
    return false;
  T.RightOfDyn();
  return true;
}

void TZarvMemo::updateHoverCursor(int32_t X, int32_t Y) {
  fStartLineSelection = -1;
  fMouseInSel = false;
  fMouseInContext = false;
  int shape = Qt::IBeamCursor;
  TZarvNavigator T(fParagraphs.get());
  T.AttachMemo(this);
  if (inLineZone(X) && Y >= 0 && Y < viewport()->height()) {
    fStartLineSelection = fMouseNav->getVisibleLineNumber();
    shape = kRightArrowShape;
  } else if (overDraggableSelection(X, Y)) {
    fMouseInSel = true;
    shape = Qt::ArrowCursor;
  } else if (charUnderPointer(X, Y, T)) {
    const DynInfoRec& d = *T.GetpDynInfo();
    if (d.DynStyle & dsHasAttrib) {
      if (const auto s = CursorShapeFor(d.Cursor)) {
        fMouseInContext = true;
        shape = *s;
      }
    }
  }
  const Qt::CursorShape now = viewport()->cursor().shape();
  if (shape == kRightArrowShape) {
    if (now != Qt::BitmapCursor)
      viewport()->setCursor(RightArrowCursor());
  } else if (now != shape) {
    viewport()->setCursor(Qt::CursorShape(shape));
  }
}

// ---- Selections -----------------------------------------------------------------------------

void TZarvMemo::selectRange(const TZarvNavigator& A, const TZarvNavigator& B, bool caretAtEnd) {
  const int32_t oldLen = fSelLen, oldStart = fSelStart->GetPos();
  fSelStart->Assign(A);
  fSelStop->Assign(B);
  const int32_t n = B.GetPos() - A.GetPos();
  fcp = caretAtEnd && n != 0 ? fSelStop : fSelStart;
  fSelLen = caretAtEnd ? -n : n;
  if (fSelLen != oldLen || fSelStart->GetPos() != oldStart)
    fsSelLenDirty = true;
}

// Whole display lines from..to (either order); the caret at the end that
// moves with the pointer.
void TZarvMemo::selectLines(int32_t from, int32_t to) {
  const int32_t last = std::max(0, fParagraphs->fVisibleLineCount - 1);
  from = std::clamp(from, 0, last);
  to = std::clamp(to, 0, last);
  TZarvNavigator A(fParagraphs.get()), B(fParagraphs.get());
  A.AttachMemo(this);
  B.AttachMemo(this);
  A.setVisibleLineNumber(std::min(from, to));
  const int32_t bottom = std::max(from, to);
  if (bottom < last)
    B.setVisibleLineNumber(bottom + 1);
  else
    B.SetPos(fParagraphs->fTextLen);
  fBlockSelection = false;
  fExtraCols.clear();
  selectRange(A, B, to >= from);
}

void TZarvMemo::pressLeft(Qt::KeyboardModifiers Shift, int32_t X, int32_t Y) {
  fExtraCols.clear();
  const bool shift = Shift & Qt::ShiftModifier;
  const bool triple = fDblClickClock.isValid() && fDblClickClock.elapsed() < QApplication::doubleClickInterval() &&
                      (QPoint(X, Y) - fDblClickPos).manhattanLength() <= QApplication::startDragDistance();
  fDblClickClock.invalidate();
  const bool block = Shift == fBlockModifiers && fOptions.testFlag(zvoBlockSelection) && !fWordWrap;
  if (!shift && !triple && !block && overDraggableSelection(X, Y)) {
    // A drag of the selected text, once the pointer has moved far enough.
    fDragPending = true;
    return;
  }
  fBlockSelection = false;
  if (triple || (inLineZone(X) && Y >= 0 && Y < viewport()->height())) {
    fLineMode = true;
    fStartLineSelection = fMouseNav->getVisibleLineNumber();
    selectLines(fStartLineSelection, fStartLineSelection);
  } else {
    fBlockSelection = block;
    TZarvNavigator T(fParagraphs.get());
    T.AttachMemo(this);
    T.Assign(*fMouseNav);
    if (fOptions.testFlag(zvoKeepColumnPos) || fBlockSelection)
      fExtraCols = VirtualColumns(T, X, fSpaceWidth);
    moveSelectionTo(T, shift);
  }
  fUndoBreak = true;
  UpdateCaret(false);
  if (fBlockSelection) {
    fBlockStartCol = fBlockStopCol = std::max(0, (fCaretX + fDisplayLeft - fLeftMargin) / std::max(1, fSpaceWidth));
    invalidateSelectionChange();
  }
}

// The left button held while the pointer moves.
void TZarvMemo::dragLeft(Qt::KeyboardModifiers Shift, int32_t X, int32_t Y) {
  if (fDragStarted && !fDragging)
    return; // a drag cancelled by Esc: the rest of the gesture is ignored
  if (fDragPending) {
    if ((QPoint(X, Y) - fPressPos).manhattanLength() < QApplication::startDragDistance())
      return;
    fDragPending = false;
    fDragStarted = true;
    fDragging = true;
  }
  chooseAutoScroll(X, Y);
  if (fDragging) {
    if (!viewport()->rect().contains(X, Y) && fMouseScroll == msNoScroll) {
      dragOutside();
      return;
    }
    viewport()->setCursor((Shift & Qt::ControlModifier) ? Qt::DragCopyCursor : Qt::DragMoveCursor);
    dragCaretTo(X, Y);
    return;
  }
  TZarvNavigator T(fParagraphs.get());
  T.AttachMemo(this);
  T.Assign(*fMouseNav);
  if (fLineMode) {
    selectLines(fStartLineSelection, T.getVisibleLineNumber());
  } else if (fDblClick) {
    // Whole words from the double-clicked one to the word under the pointer.
    TZarvNavigator A(fParagraphs.get()), B(fParagraphs.get());
    A.AttachMemo(this);
    B.AttachMemo(this);
    const bool forward = T.GetPos() >= fWordStart;
    if (forward) {
      A.SetPos(fWordStart);
      B.Assign(T);
      B.ToEndOfWord(fDelimiters);
      if (B.GetPos() < fWordStop)
        B.SetPos(fWordStop);
    } else {
      A.Assign(T);
      A.ToStartOfWord(fDelimiters);
      B.SetPos(fWordStop);
    }
    selectRange(A, B, forward);
  } else {
    fExtraCols.clear();
    if (fBlockSelection)
      fExtraCols = VirtualColumns(T, X, fSpaceWidth);
    moveSelectionTo(T, true);
  }
  UpdateCaret(false);
  if (fBlockSelection) {
    fBlockStopCol = std::max(0, (fCaretX + fDisplayLeft - fLeftMargin) / std::max(1, fSpaceWidth));
    invalidateSelectionChange();
  }
}

// ---- Contexts and the popup ------------------------------------------------------------------

// Reports the context run under the pointer; false when a handler cleared
// LastContext (no popup then) or destroyed the control.
bool TZarvMemo::fireContext(Qt::MouseButton Button, int32_t X, int32_t Y) {
  TZarvNavigator T(fParagraphs.get());
  T.AttachMemo(this);
  if (!charUnderPointer(X, Y, T))
    return true;
  const int32_t ctx = DynToContext(*T.GetpDynInfo());
  if (ctx == 0)
    return true;
  // The run lasts from the code in force to the next code.
  int32_t start = 0, stop = fParagraphs->fTextLen;
  TZarvNavigator S(fParagraphs.get());
  S.AttachMemo(this);
  S.Assign(T);
  if (const int32_t d = T.GetDynNb(); d > 0)
    start = T.GetPos() - T.GetOffset() + GetDynArray(*T.GetPar())[size_t(d - 1)].DynOffset;
  else if (S.PreviousDyn())
    start = S.GetPos();
  S.Assign(T);
  if (S.ForwardToDyn(fParagraphs->fTextLen))
    stop = S.GetPos();
  LastContext = ctx;
  QPointer<TZarvMemo> self(this);
  DoNotify(fNotifyList, Button == Qt::RightButton ? zveRightContext : zveContext);
  if (self && OnContext)
    OnContext(*this, ctx, start, stop);
  if (self)
    emit contextClicked(ctx, start, stop);
  return self && LastContext != 0;
}

void TZarvMemo::showDefaultPopup(QPoint globalPos) {
  // The default menu (cut, copy, paste, ...) is not built yet.
  Q_UNUSED(globalPos);
}

void TZarvMemo::contextMenuEvent(QContextMenuEvent* e) {
  e->accept();
  if (e->reason() == QContextMenuEvent::Keyboard && !fOptions.testFlag(zvoNoDefaultPopup))
    showDefaultPopup(viewport()->mapToGlobal(fCaretRect.bottomLeft()));
}

// ---- The mouse's steps ------------------------------------------------------------------------

void TZarvMemo::MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y) {
  QPointer<TZarvMemo> self(this);
  fLastMousePos = QPoint(X, Y);
  fLastMouseMods = Shift;
  ++fSelMoveUpdateCount;
  if (Button == Qt::LeftButton && mouseNavAt(X, Y)) {
    fMouseDownPos = fMouseNav->GetPos();
    fPressPos = QPoint(X, Y);
    fXCaretRunningPos = INT32_MIN;
    if (!fDisplayOnly) {
      fMouseDown = true;
      // The press that comes with a double click only holds the button.
      if (!fDblClick)
        pressLeft(Shift, X, Y);
    }
  }
  if (!hasFocus() && (focusPolicy() & Qt::ClickFocus))
    setFocus(Qt::MouseFocusReason);
  if (self && OnAfterMouseDown)
    OnAfterMouseDown(*this, Button, Shift, X, Y);
  if (!self)
    return;
  --fSelMoveUpdateCount;
  DoSelMove();
}

void TZarvMemo::MouseMove(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y) {
  fLastMousePos = QPoint(X, Y);
  fLastMouseMods = Shift;
  if (fLockedCount > 0 || fInExternalDrag || !mouseNavAt(X, Y))
    return;
  QPointer<TZarvMemo> self(this);
  ++fSelMoveUpdateCount;
  if (!(Buttons & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)))
    updateHoverCursor(X, Y);
  else if ((Buttons & Qt::LeftButton) && fMouseDown)
    dragLeft(Shift, X, Y);
  if (!self)
    return;
  --fSelMoveUpdateCount;
  DoSelMove();
}

void TZarvMemo::MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y) {
  QPointer<TZarvMemo> self(this);
  fLastMousePos = QPoint(X, Y);
  if (fDblClick)
    fExtraCols.clear();
  const bool wasDown = fMouseDown;
  fMouseDown = false;
  fDblClick = false;
  fLineMode = false;
  fMouseScroll = msNoScroll;
  fAutoScrollTimer->stop();
  const bool dragged = fDragStarted;
  mouseNavAt(X, Y);
  if (Button == Qt::LeftButton && fDragging) {
    dropSelection(Shift & Qt::ControlModifier);
  } else if (Button == Qt::LeftButton && fDragPending) {
    // A click inside the selection that never became a drag.
    TZarvNavigator T(fParagraphs.get());
    T.AttachMemo(this);
    T.Assign(*fMouseNav);
    moveSelectionTo(T, false);
    fUndoBreak = true;
    UpdateCaret(false);
  }
  fDragPending = false;
  fDragStarted = false;
  bool popup = true;
  if (!dragged && (Button == Qt::RightButton || (Button == Qt::LeftButton && fMouseNav->GetPos() == fMouseDownPos))) {
    popup = fireContext(Button, X, Y);
    if (!self)
      return;
  }
  if (Button == Qt::RightButton && !dragged && popup && !fOptions.testFlag(zvoNoDefaultPopup))
    showDefaultPopup(viewport()->mapToGlobal(QPoint(X, Y)));
  if (!self)
    return;
  if (Button == Qt::LeftButton && !fDisplayOnly) {
    ScrollInView();
    // The X11 primary selection follows a selection made with the mouse.
    QClipboard* cb = QGuiApplication::clipboard();
    if (wasDown && fSelLen != 0 && !fBlockSelection && cb->supportsSelection())
      cb->setText(getSelText(), QClipboard::Selection);
  }
  if (self)
    updateHoverCursor(X, Y);
}

void TZarvMemo::DblClick() {
  if (fDisplayOnly)
    return;
  fDblClick = true;
  fBlockSelection = false;
  SelectWords(true);
  fWordStart = fSelStart->GetPos();
  fWordStop = fSelStop->GetPos();
  UpdateCaret(false);
  fDblClickClock.start();
  fDblClickPos = fLastMousePos;
}

void TZarvMemo::mouseFocusLost() {
  fAutoScrollTimer->stop();
  fMouseScroll = msNoScroll;
  fMouseDown = false;
  fDragPending = false;
  if (fDragging) {
    fDragging = false;
    fDraggingOutside = false;
    endDragCaret();
    viewport()->setCursor(Qt::IBeamCursor);
  }
}

// ---- Qt's mouse events -------------------------------------------------------------------------

void TZarvMemo::mousePressEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (e->button() == Qt::MiddleButton && !fReadOnly && !fDisplayOnly) {
    // Pastes the X11 primary selection where the middle button was pressed.
    QClipboard* cb = QGuiApplication::clipboard();
    const QString t = cb->supportsSelection() ? cb->text(QClipboard::Selection) : QString();
    if (!t.isEmpty() && mouseNavAt(p.x(), p.y()))
      insertAt(fMouseNav->GetPos(), t, false);
  }
  MouseDown(e->button(), e->modifiers(), p.x(), p.y());
  e->accept();
}

void TZarvMemo::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  MouseMove(e->buttons(), e->modifiers(), p.x(), p.y());
  e->accept();
}

void TZarvMemo::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  MouseUp(e->button(), e->modifiers(), p.x(), p.y());
  e->accept();
}

// The second press of a double click arrives as this event.
void TZarvMemo::mouseDoubleClickEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  fLastMousePos = p;
  QPointer<TZarvMemo> self(this);
  if (e->button() == Qt::LeftButton)
    DblClick();
  if (self)
    MouseDown(e->button(), e->modifiers(), p.x(), p.y());
  e->accept();
}

} // namespace zarv
