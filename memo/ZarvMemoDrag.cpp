// Dragging text with the mouse. A press inside a stream selection of a
// writable control starts a drag once the pointer has moved the desktop's
// drag distance; the caret then follows the pointer through a registered
// navigator (the drop point), so that deleting the source moves it along.
// Releasing outside the selection moves the text there (copies it with
// Ctrl) as one undo step; releasing inside only moves the caret; Esc
// cancels (in KeyDown). A drag that leaves the window becomes a QDrag other
// applications can take, and text dragged in from elsewhere is inserted at
// the drop point.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/support/navigator/Navigator.h>

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <algorithm>

namespace zarv {

bool TZarvMemo::overDraggableSelection(int32_t X, int32_t Y) {
  if (fReadOnly || fDisplayOnly || fOptions.testFlag(zvoNoDragnDrop) || fSelLen == 0 || fBlockSelection)
    return false;
  TZarvNavigator T(fParagraphs.get());
  T.AttachMemo(this);
  if (!charUnderPointer(X, Y, T))
    return false;
  const int32_t p = T.GetPos();
  return p >= fSelStart->GetPos() && p < fSelStop->GetPos();
}

// The caret shows at the drop point while text is dragged over the window.
void TZarvMemo::dragCaretTo(int32_t X, int32_t Y) {
  if (!mouseNavAt(X, Y))
    return;
  fDropNav->Assign(*fMouseNav);
  fcp = fDropNav;
  fExtraCols.clear();
  UpdateCaret(false);
}

// The caret back at the selection's end on its side.
void TZarvMemo::endDragCaret() {
  if (fcp != fDropNav)
    return;
  fcp = fSelLen < 0 ? fSelStop : fSelStart;
  UpdateCaret(false);
}

void TZarvMemo::dropSelection(bool copy) try {
  const TEntryScope entry(ownerId());
  fDragging = false;
  fDraggingOutside = false;
  endDragCaret();
  const int32_t drop = fDropNav->GetPos();
  TZarvNavigator T(fParagraphs.get());
  T.AttachMemo(this);
  T.Assign(*fDropNav);
  if (drop >= fSelStart->GetPos() && drop <= fSelStop->GetPos()) {
    moveSelectionTo(T, false);
    fUndoBreak = true;
    UpdateCaret(true);
  } else {
    const QString text = getSelText();
    int32_t start = 0, stop = 0;
    {
      TUpdateLock lock(*this);
      fExtraCols.clear();
      fUndoBreak = true;
      if (!copy)
        SetSelTextBuf(QString()); // the drop point moves with the deletion
      clearSelection(fDropNav->GetPos());
      fUndoBreak = true;
      start = fDropNav->GetPos();
      SetSelTextBuf(text);
      stop = fcp->GetPos();
      T.SetPos(start);
      TZarvNavigator B(fParagraphs.get());
      B.AttachMemo(this);
      B.SetPos(stop);
      selectRange(T, B, true);
      fUndoBreak = true;
    }
    UpdateCaret(true);
  }
  ScrollInView();
  DoSelMove();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// Text inserted at pos as one undo step: selected with the caret at its
// end, or with only the caret after it.
void TZarvMemo::insertAt(int32_t pos, const QString& text, bool select) try {
  const TEntryScope entry(ownerId());
  pos = std::clamp(pos, 0, fParagraphs->fTextLen);
  {
    TUpdateLock lock(*this);
    fExtraCols.clear();
    fBlockSelection = false;
    clearSelection(pos);
    fUndoBreak = true;
    SetSelTextBuf(text);
    if (select) {
      TZarvNavigator A(fParagraphs.get()), B(fParagraphs.get());
      A.AttachMemo(this);
      B.AttachMemo(this);
      A.SetPos(pos);
      B.Assign(*fcp);
      selectRange(A, B, true);
    }
    fUndoBreak = true;
  }
  UpdateCaret(true);
  ScrollInView();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// The pointer left the window with the button held: the selected text
// becomes a drag other applications can take. A move removes the text here
// only when the target took it as a move.
void TZarvMemo::dragOutside() try {
  const TEntryScope entry(ownerId());
  fDragging = false;
  fDraggingOutside = true;
  fAutoScrollTimer->stop();
  fMouseScroll = msNoScroll;
  endDragCaret();
  const QString text = getSelText();
  auto* mime = new QMimeData;
  mime->setText(text);
  auto* drag = new QDrag(this);
  drag->setMimeData(mime);
  fInExternalDrag = true;
  fOwnDropDone = false;
  Qt::DropAction action = Qt::IgnoreAction;
  // The drag runs an event loop, where anything may happen to the control.
  callOut([&] { action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction); });
  fInExternalDrag = false;
  fDraggingOutside = false;
  fDragStarted = false;
  fMouseDown = false; // the release went to the drag
  if (action == Qt::MoveAction && !fOwnDropDone && !fReadOnly && fSelLen != 0 && getSelText() == text) {
    {
      TUpdateLock lock(*this);
      fUndoBreak = true;
      SetSelTextBuf(QString());
      fUndoBreak = true;
    }
    UpdateCaret(true);
  }
  viewport()->setCursor(Qt::IBeamCursor);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// ---- Drops from other applications (and from this control's QDrag) ----------------------------

namespace {

bool TakesText(const QMimeData* m) { return m && m->hasText(); }

} // namespace

void TZarvMemo::dragEnterEvent(QDragEnterEvent* e) {
  if (fReadOnly || fDisplayOnly || fOptions.testFlag(zvoNoDragnDrop) || !TakesText(e->mimeData())) {
    e->ignore();
    return;
  }
  e->acceptProposedAction();
}

void TZarvMemo::dragMoveEvent(QDragMoveEvent* e) {
  if (fReadOnly || fDisplayOnly || fOptions.testFlag(zvoNoDragnDrop) || !TakesText(e->mimeData())) {
    e->ignore();
    return;
  }
  const QPoint p = e->position().toPoint();
  dragCaretTo(p.x(), p.y());
  e->acceptProposedAction();
}

void TZarvMemo::dragLeaveEvent(QDragLeaveEvent* e) {
  endDragCaret();
  e->accept();
}

void TZarvMemo::dropEvent(QDropEvent* e) {
  if (fReadOnly || fDisplayOnly || fOptions.testFlag(zvoNoDragnDrop) || !TakesText(e->mimeData())) {
    e->ignore();
    return;
  }
  const QPoint p = e->position().toPoint();
  if (!mouseNavAt(p.x(), p.y())) {
    e->ignore();
    return;
  }
  fDropNav->Assign(*fMouseNav);
  if (e->source() == this && fInExternalDrag) {
    // This control's own drag came back: a move or copy inside the text.
    fOwnDropDone = true;
    dropSelection(e->modifiers() & Qt::ControlModifier);
  } else {
    endDragCaret();
    insertAt(fDropNav->GetPos(), e->mimeData()->text(), true);
  }
  e->acceptProposedAction();
}

} // namespace zarv
