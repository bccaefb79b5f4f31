// TzvEditAction: a standard edit command (cut, copy, paste, select all,
// delete, undo, redo) as a QAction that drives the focused control.
//
// The action's caption, shortcut (the platform's standard key) and theme
// icon are set when it is made; an application adds it to a menu or a tool
// bar and is done. Its enabled state is the target's Can... answer, read
// again whenever the target changes or tells a change (TzvEditTarget), so
// a menu, a tool bar and a shortcut all see the state of the control that
// has the focus. Triggering runs the command on that control, then brings
// the caret into view.
//
// The named actions are this class with the command fixed:
// `new TzvEditCut(window)`.
#pragma once

#include <ZarvMemo/actions/EditTarget.h>

#include <QAction>

namespace zarv {

enum class TzvEditCommand { Cut, Copy, Paste, SelectAll, Delete, Undo, Redo };

class TzvEditAction : public QAction {
  Q_OBJECT
public:
  // parent: usually the window; a widget parent also gives the window
  // whose focus counts while no window is active.
  TzvEditAction(TzvEditCommand command, QObject* parent = nullptr);
  // An action bound to its target's connections: not copyable.
  TzvEditAction(const TzvEditAction&) = delete;
  TzvEditAction& operator=(const TzvEditAction&) = delete;

  TzvEditCommand Command() const { return fCommand; }
  // "Edit", the category the actions are listed under.
  static QString Category();
  TzvEditTarget& Target() { return *fTarget; }
  // The control acted on while the focus is on nothing the action drives.
  void setDefaultTarget(QWidget* w) { fTarget->setDefaultTarget(w); }

  // Whether the target's answer allows the command: Paste also needs text
  // on the clipboard.
  static bool Allowed(TzvEditCommand command, const IzvEditAction& target);
  // Reads the enabled state from the target again.
  void UpdateTarget();
  // Runs the command on the target (nothing when it is not allowed).
  void ExecuteTarget();

private:
  const TzvEditCommand fCommand;
  TzvEditTarget* fTarget; // child of the action
};

// The action of one command, named as applications know it.
template <TzvEditCommand C>
class TzvEditActionOf : public TzvEditAction {
public:
  explicit TzvEditActionOf(QObject* parent = nullptr) : TzvEditAction(C, parent) {}
};
using TzvEditCut = TzvEditActionOf<TzvEditCommand::Cut>;
using TzvEditCopy = TzvEditActionOf<TzvEditCommand::Copy>;
using TzvEditPaste = TzvEditActionOf<TzvEditCommand::Paste>;
using TzvEditSelectAll = TzvEditActionOf<TzvEditCommand::SelectAll>;
using TzvEditDelete = TzvEditActionOf<TzvEditCommand::Delete>;
using TzvEditUndo = TzvEditActionOf<TzvEditCommand::Undo>;
using TzvEditRedo = TzvEditActionOf<TzvEditCommand::Redo>;

} // namespace zarv
