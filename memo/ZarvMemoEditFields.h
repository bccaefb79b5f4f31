// The editor control's state of editing and undo, scrolling, the caret and
// the mouse, kept in a base of the control so that its own header stays a
// readable size. The behaviour that reads these fields comes with the
// control's editing, scrolling, rendering and input code.
#pragma once

#include <ZarvMemo/memo/ZarvMemoTypes.h>

#include <QElapsedTimer>
#include <QPoint>
#include <QString>
#include <QtGlobal>
#include <cstdint>

namespace zarv {

// Automatic scrolling while the left button is held beyond an edge: the
// direction, the rate (the distance beyond the edge div 3, at least 1) and
// the pause before each one-line step.
struct TAutoScroll {
  TMouseScrollType Dir = msNoScroll;
  int32_t Rate = 0;
  int32_t Delay = 0;
  bool operator==(const TAutoScroll&) const = default;
};
// X, Y in viewport pixels of a W x H viewport. A text drag scrolls only
// within 24 pixels of an edge (27 above the top), and vertically only while
// X stays within 3 pixels of the viewport; vertical directions win.
TAutoScroll ChooseAutoScroll(int32_t X, int32_t Y, int32_t W, int32_t H, bool DraggingText);
int32_t AutoScrollDelay(int32_t Rate);

struct TZarvMemoEditFields {
  // The group of the undo records made inside the current outermost
  // BeginUpdate/EndUpdate bracket (a serial number; 0 outside any).
  int32_t fUndoGroup = 0;
  // While non-zero, the group given to records made (an edit's stray code
  // pairs join the edit's step).
  int32_t fRecordGroup = 0;
  bool fInUndo = false, fUndoBreak = true;
  bool fModifiedTold = false; // Modified as modifiedChanged last told it
  bool fBlockSelection = false, fBlockOperation = false;
  int32_t fBlockStartCol = 0, fBlockStopCol = 0;
  int32_t fSelMoveUpdateCount = 0;
  bool fNoCheckFormat = false, fNoPaint = false, fInStripCodes = false, fInComposition = false;
  int32_t fVScrollfact = 1, fHScrollFact = 1, fScrollRate = 0, fMouseWheelAcc = 0;
  // The scroll bars as the scrolling code sees them: 0..maximum with a page
  // (the Qt bar's own maximum is that maximum - page + 1).
  int32_t fVScrollMax = 0, fVScrollPage = 0, fHScrollMax = 0, fHScrollPage = 0;
  int32_t fLineWidth = 0;       // the client width the text is laid out for
  uint32_t fLastScrollTime = 0; // tick count (ms) of the last internal scroll
  bool fInternalScroll = false, fInSetScroll = false;
  TMouseScrollType fMouseScroll = msNoScroll;
  int32_t fCaretX = 0, fCaretY = 0;
  uint8_t fsStyle = 0;
  int32_t fsPos = 0;
  QString fsExtraCols;
  bool fsSelLenDirty = false, fsPosDirty = false;
  int32_t fMouseDownPos = 0, fStartLineSelection = -1, LastContext = 0;
  bool fDragging = false, fDraggingOutside = false, fMouseDown = false, fDblClick = false;
  bool fMouseInContext = false, fMouseInSel = false, fFocused = false, fReceivedKeyUp = false;
  // A press inside the selection waits for the drag distance (fDragPending);
  // fDragStarted stays set until the release, so a drag cancelled by Esc
  // ignores the rest of the gesture.
  bool fDragPending = false, fDragStarted = false, fLineMode = false;
  bool fInExternalDrag = false, fOwnDropDone = false;
  QPoint fPressPos, fLastMousePos, fDblClickPos;
  Qt::KeyboardModifiers fLastMouseMods;
  int32_t fWordStart = 0, fWordStop = 0; // the double-clicked word
  QElapsedTimer fDblClickClock;          // for the triple click
};

} // namespace zarv
