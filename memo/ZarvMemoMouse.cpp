// The mouse: a click places the caret (Shift extends from the anchor, the
// block modifiers start a column block), a double click selects words, a
// triple click or a click left of the text selects display lines. Moving
// with the left button held extends the selection (by whole words after a
// double click, by whole lines in line mode). What lies under the pointer
// is in ZarvMemoPointer.cpp, automatic scrolling in ZarvMemoAutoScroll.cpp,
// text drags and drops in ZarvMemoDrag.cpp.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/support/navigator/Navigator.h>

#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>

namespace zarv {

namespace {

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
    // Beyond the auto-scroll band the text leaves for other applications.
    if (!viewport()->rect().adjusted(-24, -27, 24, 24).contains(X, Y)) {
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

// ---- The mouse's steps ------------------------------------------------------------------------

void TZarvMemo::MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y) try {
  const TEntryScope entry(ownerId());
  fLastMousePos = QPoint(X, Y);
  fLastMouseMods = Shift;
  TCountScope<int32_t> held(ownerId(), fSelMoveUpdateCount);
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
  callHandler(OnAfterMouseDown, *this, Button, Shift, X, Y);
  held.Release();
  DoSelMove();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::MouseMove(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y) try {
  const TEntryScope entry(ownerId());
  fLastMousePos = QPoint(X, Y);
  fLastMouseMods = Shift;
  if (fLockedCount > 0 || fInExternalDrag || !mouseNavAt(X, Y))
    return;
  TCountScope<int32_t> held(ownerId(), fSelMoveUpdateCount);
  if (!(Buttons & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)))
    updateHoverCursor(X, Y);
  else if ((Buttons & Qt::LeftButton) && fMouseDown)
    dragLeft(Shift, X, Y);
  held.Release();
  DoSelMove();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y) try {
  const TEntryScope entry(ownerId());
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
  if (!dragged && (Button == Qt::RightButton || (Button == Qt::LeftButton && fMouseNav->GetPos() == fMouseDownPos)))
    popup = fireContext(Button, X, Y);
  if (Button == Qt::RightButton && !dragged && popup)
    ShowPopup(viewport()->mapToGlobal(QPoint(X, Y)));
  if (Button == Qt::LeftButton && !fDisplayOnly) {
    ScrollInView();
    // The X11 primary selection follows a selection made with the mouse.
    QClipboard* cb = QGuiApplication::clipboard();
    if (wasDown && fSelLen != 0 && !fBlockSelection && cb->supportsSelection())
      cb->setText(getSelText(), QClipboard::Selection);
  }
  updateHoverCursor(X, Y);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::DblClick() try {
  const TEntryScope entry(ownerId());
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
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
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
  if (e->button() == Qt::LeftButton)
    DblClick();
  MouseDown(e->button(), e->modifiers(), p.x(), p.y());
  e->accept();
}

} // namespace zarv
