// Notification between the editor control and attached components.
//
// Components that want to hear about the control's changes implement
// IzvsNotify and enter the control's notification or message list. The
// control calls Notify with the set of events that happened.
#pragma once

#include <QFlags>
#include <QObject>
#include <QtPlugin>

namespace zarv {

enum TzvEvent : uint16_t {
  zveChange = 1 << 0,       // the text changed
  zveSelMove = 1 << 1,      // the selection moved
  zveStyleChange = 1 << 2,  // the style at the caret changed
  zveContext = 1 << 3,      // a context run was clicked with the left button
  zveRightContext = 1 << 4, // ... with the right button
  zveMessage = 1 << 5,      // the control is about to handle an event
  zveAfterMessage = 1 << 6, // it has handled it
  zveVScroll = 1 << 7,
  zveHScroll = 1 << 8,
  zveFontChanged = 1 << 9,
  zveBeforeChange = 1 << 10, // a text replacement is about to happen
  zveNewContent = 1 << 11,   // the whole text was replaced by loading
};
Q_DECLARE_FLAGS(TzvEvents, TzvEvent)
Q_DECLARE_OPERATORS_FOR_FLAGS(TzvEvents)

class IzvsNotify {
public:
  virtual ~IzvsNotify() = default;
  virtual void Notify(QObject* Sender, TzvEvents Events) = 0;
  // Whether the listener wants zveStyleChange: the style at the caret costs
  // a parse of the ranges up to it, which the control skips when nobody
  // wants it.
  virtual bool WantsStyleChange() const { return true; }
};

// The interface through which the edit actions reach a control: the
// queries behind their enabled states and the commands they run. Any
// widget may implement it (with Q_INTERFACES) to join the actions; the
// actions reach TZarvMemo and Qt's own text widgets through adapters.
class IzvEditAction {
public:
  virtual ~IzvEditAction() = default;
  virtual bool CanCut() const = 0;
  virtual bool CanCopy() const = 0;
  virtual bool CanPaste() const = 0;
  virtual bool CanSelectAll() const = 0;
  virtual bool CanDelete() const = 0;
  virtual bool CanRedo() const = 0;
  virtual bool CanUndo() const = 0;
  virtual void CutToClipboard() = 0;
  virtual void CopyToClipboard() = 0;
  virtual void PasteFromClipboard() = 0;
  virtual void SelectAll() = 0;
  virtual void ClearSelection() = 0;
  virtual void ScrollInView() = 0;
  virtual void Undo() = 0;
  virtual void Redo() = 0;
};

} // namespace zarv

Q_DECLARE_INTERFACE(zarv::IzvEditAction, "{A82C7A71-A0E8-4EAD-9F97-3EE71E670BFC}")
