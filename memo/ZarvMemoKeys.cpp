// The keyboard: one QKeyEvent is first offered to KeyDown (navigation, hot
// keys, editing keys); what it leaves goes on to KeyPress as typed text or
// a control code. A navigation key moves a target position from the caret,
// then the selection collapses there or grows to it from its anchor, and
// the view follows the caret.
//
// Qt's key codes are classified explicitly (there is no "below '0'"
// ordering to lean on), Ctrl+letter combinations are found from the key,
// or from the native key under layouts whose letters are not Latin, and
// the platform's standard sequences for undo, redo and the clipboard work
// alongside the control's own keys.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/support/navigator/Navigator.h>

#include <QKeyEvent>
#include <QKeySequence>
#include <algorithm>

namespace zarv {

namespace {

constexpr Qt::KeyboardModifiers kModMask = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

bool IsArrow(int k) { return k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down; }

// The keys KeyDown moves or edits with; everything else is left to
// KeyPress or the application.
bool IsEditingKey(int k) {
  switch (k) {
  case Qt::Key_Left:
  case Qt::Key_Right:
  case Qt::Key_Up:
  case Qt::Key_Down:
  case Qt::Key_PageUp:
  case Qt::Key_PageDown:
  case Qt::Key_Home:
  case Qt::Key_End:
  case Qt::Key_Backspace:
  case Qt::Key_Delete:
  case Qt::Key_Insert:
    return true;
  default:
    return false;
  }
}

// The letter key of a Ctrl combination (Qt::Key_A..Key_Z), also under
// layouts whose letters are not Latin; 0 for other keys.
int LetterKey(const QKeyEvent& e) {
  const int k = e.key();
  if (k >= Qt::Key_A && k <= Qt::Key_Z)
    return k;
  const quint32 v = e.nativeVirtualKey();
  if (v >= 'a' && v <= 'z')
    return int(Qt::Key_A + (v - 'a'));
  if (v >= 'A' && v <= 'Z')
    return int(Qt::Key_A + (v - 'A'));
  return 0;
}

} // namespace

// ---- The key event ---------------------------------------------------------------------------

bool TZarvMemo::handlesShortcut(const QKeyEvent& e) const {
  const Qt::KeyboardModifiers m = e.modifiers() & kModMask;
  const int k = e.key();
  if (IsEditingKey(k)) {
    const bool editable = !fReadOnly && !fDisplayOnly;
    if (k == Qt::Key_Backspace || k == Qt::Key_Delete)
      return editable;
    if (k == Qt::Key_Insert) {
      if (m & Qt::AltModifier)
        return false;
      if (m & Qt::ControlModifier)
        return !fDisplayOnly; // copy
      if (m & Qt::ShiftModifier)
        return editable; // paste
      return !fDisplayOnly && fOptions.testFlag(zvoInsertKeyActive);
    }
    if (!(m & Qt::AltModifier))
      return true;
    // Alt with an arrow moves only in a column block or starts one; the
    // application's Alt+Left and Alt+Right stay its own otherwise.
    return IsArrow(k) && (fBlockSelection || (m == (fBlockModifiers | Qt::ShiftModifier) &&
                                              fOptions.testFlag(zvoBlockSelection) && !fWordWrap));
  }
  // The platform's sequences only when the command acts: undo and redo are
  // hot keys, and a read-only control only copies.
  const bool hot = fEnableHotKeys && !fReadOnly && !fDisplayOnly;
  if (e.matches(QKeySequence::Undo) || e.matches(QKeySequence::Redo))
    return hot;
  if (e.matches(QKeySequence::Copy))
    return !fDisplayOnly;
  if (e.matches(QKeySequence::Cut) || e.matches(QKeySequence::Paste) || e.matches(QKeySequence::SelectAll))
    return !fReadOnly && !fDisplayOnly;
  if (m == Qt::ControlModifier || m == (Qt::ControlModifier | Qt::ShiftModifier)) {
    switch (LetterKey(e)) {
    case Qt::Key_Z:
    case Qt::Key_T:
    case Qt::Key_P:
      return hot;
    // Style codes only act on static text: otherwise the application's
    // Ctrl+F (find) and Ctrl+B must not be swallowed.
    case Qt::Key_B:
    case Qt::Key_J:
    case Qt::Key_U:
    case Qt::Key_H:
    case Qt::Key_F:
      return hot && fParagraphs->fStaticFormat;
    default:
      return false;
    }
  }
  // Typed text is the control's, not a shortcut's.
  return !(m & (Qt::ControlModifier | Qt::AltModifier)) && !e.text().isEmpty() && e.text()[0].isPrint();
}

void TZarvMemo::keyPressEvent(QKeyEvent* e) {
  fReceivedKeyUp = !e->isAutoRepeat();
  Qt::KeyboardModifiers m = e->modifiers() & kModMask;
  int key = e->key();
  // The platform's sequences for the commands the hot keys and control
  // codes stand for.
  if (e->matches(QKeySequence::Undo)) {
    key = Qt::Key_Z;
    m = Qt::ControlModifier;
  } else if (e->matches(QKeySequence::Redo)) {
    key = Qt::Key_Z;
    m = Qt::ControlModifier | Qt::ShiftModifier;
  } else if (!IsEditingKey(key) && (m & Qt::ControlModifier) && !(m & Qt::AltModifier)) {
    if (e->matches(QKeySequence::Copy))
      key = Qt::Key_C;
    else if (e->matches(QKeySequence::Cut))
      key = Qt::Key_X;
    else if (e->matches(QKeySequence::Paste))
      key = Qt::Key_V;
    else if (const int letter = LetterKey(*e))
      key = letter;
  }
  const int asked = key;
  KeyDown(key, m);
  if (key == 0) {
    e->accept();
    return;
  }
  bool handled = false;
  if (fBlockOperation && asked != Qt::Key_Shift && asked != Qt::Key_Alt && asked != Qt::Key_Control) {
    // The character a Shift+Alt combination would type is dropped.
    fBlockOperation = false;
    handled = !e->text().isEmpty();
  } else if ((m & Qt::ControlModifier) && !(m & Qt::AltModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
    handled = KeyPress(char16_t(key - Qt::Key_A + 1)); // the control code of Ctrl+letter
  } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    handled = KeyPress(13);
  } else if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && !(m & (Qt::ControlModifier | Qt::AltModifier))) {
    handled = KeyPress(9); // Shift+Tab arrives as Backtab
  } else if (!e->text().isEmpty() && e->text()[0].isPrint() && (!(m & Qt::ControlModifier) || (m & Qt::AltModifier))) {
    // Ctrl with Alt is AltGr where the platform reports it so.
    TypeText(e->text());
    handled = !(fReadOnly || fDisplayOnly);
  }
  if (handled)
    e->accept();
  else
    QAbstractScrollArea::keyPressEvent(e);
}

void TZarvMemo::keyReleaseEvent(QKeyEvent* e) {
  int key = e->key();
  KeyUp(key, e->modifiers() & kModMask);
  if (key == 0)
    e->accept();
  else
    QAbstractScrollArea::keyReleaseEvent(e);
}

void TZarvMemo::KeyUp(int& Key, Qt::KeyboardModifiers Shift) try {
  const TEntryScope entry(ownerId());
  fReceivedKeyUp = true;
  if (!(Shift & Qt::AltModifier))
    fBlockOperation = false;
  if (fDragging && Key == Qt::Key_Control) {
    viewport()->setCursor(Qt::DragMoveCursor);
    Key = 0;
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// ---- KeyDown -----------------------------------------------------------------------------------

void TZarvMemo::KeyDown(int& Key, Qt::KeyboardModifiers Shift) try {
  const TEntryScope entry(ownerId());
  const bool S = Shift & Qt::ShiftModifier, C = Shift & Qt::ControlModifier, A = Shift & Qt::AltModifier;
  const Qt::KeyboardModifiers blockMods = fBlockModifiers | Qt::ShiftModifier;
  fBlockOperation = Shift == blockMods || (fBlockOperation && A);
  if (fLockedCount > 0 || Key == 0)
    return;
  if (fDragging) {
    if (Key == Qt::Key_Control)
      viewport()->setCursor(Qt::DragCopyCursor);
    else if (Key == Qt::Key_Escape) {
      fDragging = false;
      fDraggingOutside = false;
      viewport()->setCursor(Qt::IBeamCursor);
      clearSelection(fcp->GetPos());
      UpdateCaret(false);
    }
    Key = 0;
    return;
  }
  if (fDisplayOnly) {
    // Without a caret the keys only move the view.
    const int32_t maxLeft = std::max(0, fMaxLineWidth - ClientWidth() + fRightMargin);
    const int32_t step = ClientWidth() / 5 + 1;
    const int32_t lastTop = std::max(0, fParagraphs->fVisibleLineCount - fDisplayLines + 1);
    TFieldScope<bool> internal(ownerId(), fInternalScroll, true);
    switch (Key) {
    case Qt::Key_Left:
      SetTopLeft(fTopOrigin, std::max(0, fDisplayLeft - step), fScrollTime);
      break;
    case Qt::Key_Right:
      SetTopLeft(fTopOrigin, std::min(maxLeft, fDisplayLeft + step), fScrollTime);
      break;
    case Qt::Key_Home:
      SetTopLeft(fTopOrigin, 0, fScrollTime);
      break;
    case Qt::Key_End:
      SetTopLeft(fTopOrigin, maxLeft, fScrollTime);
      break;
    case Qt::Key_Up:
      setTopLine(getTopLine() - 1);
      break;
    case Qt::Key_Down:
      setTopLine(getTopLine() + 1);
      break;
    case Qt::Key_PageUp:
      setTopLine(C ? 0 : getTopLine() - (fDisplayLines - 1));
      break;
    case Qt::Key_PageDown:
      setTopLine(C ? lastTop : getTopLine() + (fDisplayLines - 1));
      break;
    default:
      return;
    }
    Key = 0;
    return;
  }
  // Hot keys.
  if (C && !A && fEnableHotKeys && !fReadOnly) {
    bool hot = true;
    switch (Key) {
    case Qt::Key_B:
      SetBold();
      break;
    case Qt::Key_J:
      SetItalic();
      break;
    case Qt::Key_U:
      SetUnderline();
      break;
    case Qt::Key_H:
      SetHighlight();
      break;
    case Qt::Key_F:
      SetAltFont();
      break;
    case Qt::Key_T:
      TypeText(QStringLiteral("\t"));
      break;
    case Qt::Key_P:
      TypeText(QStringLiteral("\r\n\f"));
      break;
    case Qt::Key_Z:
      if (S)
        Redo();
      else
        Undo();
      break;
    default:
      hot = false;
    }
    if (hot) {
      ScrollInView();
      Key = 0;
      return;
    }
  }
  if (!IsEditingKey(Key) || (Key == Qt::Key_Tab && A))
    return;
  const bool blockGesture = IsArrow(Key) && Shift == blockMods;
  if (A && Key != Qt::Key_Backspace && Key != Qt::Key_Delete && !(IsArrow(Key) && (blockGesture || fBlockSelection)))
    return; // Alt with Home, PageDown, ... belongs to the application, also in a block
  const int key = Key;
  Key = 0;
  // Editing keys have their own commands.
  if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
    if (!fReadOnly) {
      if (key == Qt::Key_Backspace)
        DoBackspace(C);
      else
        DoDelete(S, C);
    }
    return;
  }
  if (key == Qt::Key_Insert) {
    if (S && !C) {
      if (!fReadOnly)
        PasteFromClipboard();
    } else if (C) {
      CopyToClipboard();
    } else if (fOptions.testFlag(zvoInsertKeyActive)) {
      setOverwrite(!fOverWrite);
      if (OnStyleChange)
        OnStyleChange(*this);
    }
    return;
  }
  if (!navigate(key, S, C, A, blockGesture))
    Key = key;
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

} // namespace zarv
