// Notification of attached components, the event wrapper that lets message
// listeners see (and swallow) every event, the update lock, and the links
// to the highlighter and the collapse handler.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/folding/CollapseHandler.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/highlight/Highlighter.h>
#include <ZarvMemo/support/layout/FormatThread.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QDebug>
#include <QKeyEvent>
#include <QResizeEvent>
#include <algorithm>
#include <exception>

namespace zarv {

namespace {

void addOnce(std::vector<IzvsNotify*>& list, IzvsNotify* l) {
  if (l && std::find(list.begin(), list.end(), l) == list.end())
    list.push_back(l);
}

} // namespace

// ---- Listener lists ------------------------------------------------------------------

void TZarvMemo::AddNotify(IzvsNotify* l) { addOnce(fNotifyList, l); }
void TZarvMemo::AddMsgListener(IzvsNotify* l) { addOnce(fMsgList, l); }

// During a walk the slot is cleared instead of erased, so that the walk's
// indexes stay valid; the walk compacts the list when it ends.
void TZarvMemo::RemoveNotify(IzvsNotify* l) {
  auto it = std::find(fNotifyList.begin(), fNotifyList.end(), l);
  if (it == fNotifyList.end())
    return;
  if (fNotifyWalks > 0) {
    *it = nullptr;
    fNotifyNulls = true;
  } else {
    fNotifyList.erase(it);
  }
}

void TZarvMemo::RemoveMsgListener(IzvsNotify* l) {
  auto it = std::find(fMsgList.begin(), fMsgList.end(), l);
  if (it == fMsgList.end())
    return;
  if (fNotifyWalks > 0) {
    *it = nullptr;
    fNotifyNulls = true;
  } else {
    fMsgList.erase(it);
  }
}

void TZarvMemo::DoNotify(std::vector<IzvsNotify*>& list, TzvEvents events) {
  if (list.empty())
    return;
  ++fNotifyWalks;
  struct TWalk { // the walk ends also when a listener throws
    int32_t& walks;
    const void* owner;
    ~TWalk() {
      if (!OwnerDestroyed(owner))
        --walks;
    }
  } walk{fNotifyWalks, ownerId()};
  const size_t n = list.size(); // listeners added during the walk wait
  for (size_t i = 0; i < n && i < list.size(); ++i) {
    if (IzvsNotify* l = list[i])
      callOut([&] { l->Notify(this, events); });
    else
      fNotifyNulls = true;
  }
  if (fNotifyWalks == 1 && fNotifyNulls) {
    fNotifyNulls = false;
    for (std::vector<IzvsNotify*>* l : {&fNotifyList, &fMsgList})
      l->erase(std::remove(l->begin(), l->end(), nullptr), l->end());
  }
}

void TZarvMemo::Change() {
  DoNotify(fNotifyList, zveChange);
  callHandler(OnChange, *this);
  callOut([&] { Q_EMIT changed(); });
}

// Tells a moved caret or a changed selection once, unless a caller holds
// the notice back (fSelMoveUpdateCount) to tell it when it is done.
void TZarvMemo::DoSelMove() {
  if (fSelMoveUpdateCount >= 1 || !(fsPosDirty || fsSelLenDirty))
    return;
  fsPosDirty = false;
  fsSelLenDirty = false;
  DoNotify(fNotifyList, zveSelMove);
  callHandler(OnSelMove, *this);
  callOut([&] { Q_EMIT selMoved(); });
}

// ---- Events --------------------------------------------------------------------------

bool TZarvMemo::event(QEvent* e) { return processEvent(e, false); }

bool TZarvMemo::focusNextPrevChild(bool next) {
  if (fWantTabs && !fDisplayOnly)
    return false;
  return QAbstractScrollArea::focusNextPrevChild(next);
}
bool TZarvMemo::viewportEvent(QEvent* e) { return processEvent(e, true); }

// Message listeners see the event before (zveMessage) and after
// (zveAfterMessage) the control handles it; a Result of kMsgSwallowed keeps
// it from the control. The control may be destroyed by a handler: the
// guard keeps the wrapper from touching it afterwards. No exception leaves
// an event handler.
bool TZarvMemo::processEvent(QEvent* e, bool viewportSide) {
  const void* const me = ownerId();
  ++fWndProcLevel;
  WinMsg = TzvWinMsg{e, 0};
  bool handled = false;
  try {
    const TEntryScope entry(me);
    DoNotify(fMsgList, zveMessage);
    if (WinMsg.Result == kMsgSwallowed) {
      --fWndProcLevel;
      return true;
    }
    switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::InputMethod:
      fLastInput.start(); // background slices wait while the user works
      break;
    default:
      break;
    }
    if (!viewportSide && e->type() == TzvFormatThread::UpdateEventType()) {
      ZVUpdateBkg();
      handled = true;
    } else if (!viewportSide && e->type() == QEvent::ShortcutOverride && handlesShortcut(*static_cast<QKeyEvent*>(e))) {
      // The application's actions must not take the control's keys.
      e->accept();
      handled = true;
    } else if (viewportSide && e->type() == QEvent::Resize) {
      handled = QAbstractScrollArea::viewportEvent(e);
      viewportResized(static_cast<QResizeEvent*>(e)->oldSize());
    } else {
      handled = viewportSide ? QAbstractScrollArea::viewportEvent(e) : QAbstractScrollArea::event(e);
    }
  } catch (const EOwnerDestroyed& gone) {
    SettleDestroyed(gone); // a handler destroyed the control
    return true;
  } catch (const std::exception& ex) {
    qWarning("TZarvMemo: %s while handling event %d", ex.what(), int(e->type()));
    handled = true;
  }
  if (OwnerDestroyed(me)) // destroyed while an exception was already under way
    return true;
  --fWndProcLevel;
  WinMsg = TzvWinMsg{e, handled ? 1 : 0};
  try {
    const TEntryScope entry(me);
    DoNotify(fMsgList, zveAfterMessage);
  } catch (const EOwnerDestroyed& gone) {
    SettleDestroyed(gone);
  } catch (const std::exception& ex) {
    qWarning("TZarvMemo: %s after event %d", ex.what(), int(e->type()));
  }
  return handled;
}

// ---- Update lock ------------------------------------------------------------------------

void TZarvMemo::EndUpdate() try {
  const TEntryScope entry(ownerId());
  Q_ASSERT(fLockedCount > 0);
  if (fLockedCount <= 0)
    return;
  if (--fLockedCount == 0) {
    EndModifications();
    flushSkippedPaint();
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::closeBracket(int exceptionsAtStart, void (TZarvMemo::*closer)()) {
  if (OwnerDestroyed(ownerId()))
    return;
  if (std::uncaught_exceptions() <= exceptionsAtStart) {
    (this->*closer)();
    return;
  }
  try {
    (this->*closer)();
  } catch (const EOwnerDestroyed&) {
    // The control is gone; the exception already under way goes on.
  } catch (const std::exception& ex) {
    qWarning("TZarvMemo: %s while closing a bracket after an exception", ex.what());
  }
}

// What changed since the last call (an edit, or everything inside the
// outermost BeginUpdate/EndUpdate): the changed paragraphs and those on
// screen are parsed and wrapped now, the rest of the changed range joins the
// pending range (formatted by the update mode), the view keeps its top line
// and fine offset, and the change is told once.
void TZarvMemo::EndModifications() {
  TParagraphsList& L = *fParagraphs;
  if (L.fModStopPar >= L.fModStartPar && L.Count() > 0) {
    const int32_t first = std::clamp(L.fModStartPar, 0, L.Count() - 1);
    const int32_t modStop = std::clamp(L.fModStopPar, first, L.Count() - 1);
    L.fUpdateStartPar = std::min(L.fUpdateStartPar, first);
    L.fUpdateStopPar = std::max(L.fUpdateStopPar, modStop);
    L.fModStartPar = L.Count();
    L.fModStopPar = -1;
    L.fModLinesOffset = 0;
    L.fModStartLine = L.fTrueLineCount;
    if (DisplayReady()) {
      // Lines added or removed above the window leave its text in place.
      const int32_t lh = std::max(1, fLineHeight);
      fTopOrigin = clampTop(int64_t(fDisplayTop->getVisibleLineNumber()) * lh + fTopOrigin % lh);
      if (fUpdateMode == umImmediate) {
        FormatNow(L.fUpdateStartPar, L.fUpdateStopPar);
        // Paragraphs whose start-stop state changed were marked pending
        // meanwhile; what the window shows must not stay stale.
        FormatShownLines();
      } else {
        // The changed paragraphs near the window now, the rest by mode.
        FormatNow(first, std::min(modStop, first + 2 * fDisplayLines));
        FormatShownLines();
        if (fUpdateMode == umBackground && fFormatThread && L.fUpdateStopPar >= 0)
          fFormatThread->SetEvent();
      }
      setVScrollParams();
      setHScrollParams();
      updateScrollBarValues();
      Repaint();
    }
  }
  if (fPendingChange) {
    fPendingChange = false;
    L.fModified = false;
    Change();
  }
  UpdateCaret(false);
  emitUndoNotices();
}

// ---- Linked components -------------------------------------------------------------------

void TZarvMemo::setHighlighter(TZarvHighlighter* h) {
  if (h == fHighlighter)
    return;
  TZarvMemoHost::setHighlighter(h);
  if (!(fComponentState & (csLoading | csDestroying)))
    ReApplyKeywords();
}

void TZarvMemo::setCollpsHandler(TzvsCollapseHandler* h) {
  if (h == fCollpsComp)
    return;
  if (fCollpsHandler) {
    fCollpsHandler->LinkMemo(this, false);
    fCollpsHandler = nullptr;
  }
  fCollpsComp = h;
  if (h) {
    if (auto* iface = dynamic_cast<IzvCollapseHandler*>(h)) {
      fCollpsHandler = iface;
      iface->LinkMemo(this, true);
    }
    // Free notification: the control forgets a handler that goes first.
    fFreeNotifications.push_back(
        connect(h, &QObject::destroyed, this, [this](QObject* gone) { Notification(gone, opRemove); }));
  }
}

void TZarvMemo::Notification(QObject* component, TOperation operation) {
  if (operation != opRemove)
    return;
  if (component == fCollpsComp) {
    fCollpsHandler = nullptr; // the object is gone: no LinkMemo on it
    fCollpsComp = nullptr;
  }
}

} // namespace zarv
