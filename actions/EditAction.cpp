// The edit actions: captions, keys and icons per command, the enabled
// state from the target's answers, and the commands themselves.
#include <ZarvMemo/actions/EditAction.h>

#include <QApplication>
#include <QClipboard>
#include <QIcon>
#include <QMimeData>
#include <exception>

namespace zarv {

namespace {

struct TCommandLook {
  const char* Caption;
  QKeySequence::StandardKey Key;
  const char* Icon;
};

TCommandLook LookOf(TzvEditCommand c) {
  switch (c) {
  case TzvEditCommand::Cut:
    return {QT_TRANSLATE_NOOP("TzvEditAction", "Cu&t"), QKeySequence::Cut, "edit-cut"};
  case TzvEditCommand::Copy:
    return {QT_TRANSLATE_NOOP("TzvEditAction", "&Copy"), QKeySequence::Copy, "edit-copy"};
  case TzvEditCommand::Paste:
    return {QT_TRANSLATE_NOOP("TzvEditAction", "&Paste"), QKeySequence::Paste, "edit-paste"};
  case TzvEditCommand::SelectAll:
    return {QT_TRANSLATE_NOOP("TzvEditAction", "Select &all"), QKeySequence::SelectAll, "edit-select-all"};
  case TzvEditCommand::Delete:
    return {QT_TRANSLATE_NOOP("TzvEditAction", "&Delete"), QKeySequence::Delete, "edit-delete"};
  case TzvEditCommand::Undo:
    return {QT_TRANSLATE_NOOP("TzvEditAction", "&Undo"), QKeySequence::Undo, "edit-undo"};
  case TzvEditCommand::Redo:
    return {QT_TRANSLATE_NOOP("TzvEditAction", "&Redo"), QKeySequence::Redo, "edit-redo"};
  }
  return {"", QKeySequence::UnknownKey, ""};
}

bool ClipboardHasText() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data && data->hasText() && !data->text().isEmpty();
}

} // namespace

TzvEditAction::TzvEditAction(TzvEditCommand command, QObject* parent)
    : QAction(parent), fCommand(command), fTarget(new TzvEditTarget(this)) {
  const TCommandLook look = LookOf(command);
  setText(tr(look.Caption));
  setShortcuts(look.Key);
  setIcon(QIcon::fromTheme(QString::fromLatin1(look.Icon)));
  // Within the window: two windows with their own actions do not compete.
  setShortcutContext(Qt::WindowShortcut);
  setObjectName(QStringLiteral("zvEdit%1").arg(int(command)));
  if (auto* w = qobject_cast<QWidget*>(parent))
    fTarget->setContext(w);
  connect(fTarget, &TzvEditTarget::stateChanged, this, &TzvEditAction::UpdateTarget);
  connect(this, &QAction::triggered, this, &TzvEditAction::ExecuteTarget);
  UpdateTarget();
}

QString TzvEditAction::Category() { return tr("Edit"); }

bool TzvEditAction::Allowed(TzvEditCommand command, const IzvEditAction& t) {
  switch (command) {
  case TzvEditCommand::Cut:
    return t.CanCut();
  case TzvEditCommand::Copy:
    return t.CanCopy();
  case TzvEditCommand::Paste:
    return t.CanPaste() && ClipboardHasText();
  case TzvEditCommand::SelectAll:
    return t.CanSelectAll();
  case TzvEditCommand::Delete:
    return t.CanDelete();
  case TzvEditCommand::Undo:
    return t.CanUndo();
  case TzvEditCommand::Redo:
    return t.CanRedo();
  }
  return false;
}

void TzvEditAction::UpdateTarget() {
  const IzvEditAction* t = fTarget->Adapter();
  setEnabled(t && Allowed(fCommand, *t));
}

// Runs from the event loop (a shortcut, a menu): nothing may escape it.
void TzvEditAction::ExecuteTarget() try {
  IzvEditAction* t = fTarget->Adapter();
  if (!t || !Allowed(fCommand, *t))
    return;
  switch (fCommand) {
  case TzvEditCommand::Cut:
    t->CutToClipboard();
    break;
  case TzvEditCommand::Copy:
    t->CopyToClipboard();
    return;
  case TzvEditCommand::Paste:
    t->PasteFromClipboard();
    break;
  case TzvEditCommand::SelectAll:
    t->SelectAll();
    return;
  case TzvEditCommand::Delete:
    t->ClearSelection();
    break;
  case TzvEditCommand::Undo:
    t->Undo();
    break;
  case TzvEditCommand::Redo:
    t->Redo();
    break;
  }
  // The command may have removed the target (a handler closing its window).
  if ((t = fTarget->Adapter()))
    t->ScrollInView();
} catch (const std::exception& e) {
  qWarning("%s: %s", qPrintable(text()), e.what());
}

} // namespace zarv
