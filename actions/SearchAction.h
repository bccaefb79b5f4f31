// TzvSearchAction: the search commands (find, find first, find next,
// replace) as QActions over the focused TZarvMemo.
//
// Find and Find first open the find dialog, Replace the replace dialog;
// the dialog's buttons then search the control the action was triggered
// for, which stays the target while the focus is in the dialog. Find first
// starts its first search after opening at the text's edge (start going
// down, end going up). Find next repeats the search of the find action it
// is linked to, and opens that action's dialog when there is no text yet.
//
// Enabled: a control is the target and holds text; Replace also needs it
// editable; Find next needs a linked find action.
//
// Replace, with a selection that is one match under the dialog's options,
// replaces it and selects the next match; otherwise it replaces the next
// match at once. Replace All replaces, as one undo step, the matches from
// the caret to the text's end going down (from its start to the caret
// going up; the selection counts when it is exactly the find text).
#pragma once

#include <ZarvMemo/actions/EditTarget.h>
#include <ZarvMemo/actions/TextSearch.h>

#include <QAction>
#include <QPointer>
#include <functional>

namespace zarv {

class TZarvMemo;
class TzvFindDialog;

enum class TzvSearchCommand { Find, FindFirst, FindNext, Replace };

class TzvSearchAction : public QAction {
  Q_OBJECT
public:
  TzvSearchAction(TzvSearchCommand command, QObject* parent = nullptr);
  ~TzvSearchAction() override;
  // An action owning its dialog: not copyable.
  TzvSearchAction(const TzvSearchAction&) = delete;
  TzvSearchAction& operator=(const TzvSearchAction&) = delete;

  TzvSearchCommand Command() const { return fCommand; }
  static QString Category();
  TzvEditTarget& Target() { return *fTarget; }
  void setDefaultTarget(QWidget* w) { fTarget->setDefaultTarget(w); }
  // The control the dialog's buttons act on (null when gone).
  TZarvMemo* Control() const { return fControl; }

  // Find next: the find action whose dialog and text it repeats.
  void setFindAction(TzvSearchAction* find);
  TzvSearchAction* FindAction() const { return fFindAction; }
  // The action's dialog, made on first use (none for Find next).
  TzvFindDialog* Dialog();

  // The dialog's buttons; each returns whether it found anything.
  bool Search();
  bool Replace();
  int32_t ReplaceAll();
  // The dialog's text and options as a search.
  TzvSearchQuery Query();

  // Shown when a search finds nothing; by default a message box with the
  // text as plain text. Applications and tests may replace it.
  std::function<void(const QString& message)> OnMessage;

  void UpdateTarget();
  void ExecuteTarget();

Q_SIGNALS:
  // Replace All finished with Count replacements.
  void replacedAll(int Count);

private:
  void notFound(const QString& text);
  bool searchIn(TZarvMemo& m, bool fromEdge);

  const TzvSearchCommand fCommand;
  TzvEditTarget* fTarget; // child of the action
  QPointer<TZarvMemo> fControl;
  QPointer<TzvFindDialog> fDialog;
  QPointer<TzvSearchAction> fFindAction;
  bool fFromEdge = false; // Find first: the next search starts at the edge
};

template <TzvSearchCommand C>
class TzvSearchActionOf : public TzvSearchAction {
public:
  explicit TzvSearchActionOf(QObject* parent = nullptr) : TzvSearchAction(C, parent) {}
};
using TzvSearchFind = TzvSearchActionOf<TzvSearchCommand::Find>;
using TzvSearchFindFirst = TzvSearchActionOf<TzvSearchCommand::FindFirst>;
using TzvSearchFindNext = TzvSearchActionOf<TzvSearchCommand::FindNext>;
using TzvSearchReplace = TzvSearchActionOf<TzvSearchCommand::Replace>;

} // namespace zarv
