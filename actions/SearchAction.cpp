// The search actions: their dialogs, the searches behind the dialogs'
// buttons, and their enabled states.
#include <ZarvMemo/actions/SearchAction.h>

#include <ZarvMemo/dialogs/FindDialog.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QIcon>
#include <QMessageBox>
#include <exception>

namespace zarv {

namespace {

struct TSearchLook {
  const char* Caption;
  QKeySequence::StandardKey Key;
  const char* Icon;
};

TSearchLook LookOf(TzvSearchCommand c) {
  switch (c) {
  case TzvSearchCommand::Find:
    return {QT_TRANSLATE_NOOP("TzvSearchAction", "&Find"), QKeySequence::Find, "edit-find"};
  case TzvSearchCommand::FindFirst:
    return {QT_TRANSLATE_NOOP("TzvSearchAction", "Find f&irst"), QKeySequence::UnknownKey, "edit-find"};
  case TzvSearchCommand::FindNext:
    return {QT_TRANSLATE_NOOP("TzvSearchAction", "Find &Next"), QKeySequence::FindNext, "go-down-search"};
  case TzvSearchCommand::Replace:
    return {QT_TRANSLATE_NOOP("TzvSearchAction", "&Replace"), QKeySequence::Replace, "edit-find-replace"};
  }
  return {"", QKeySequence::UnknownKey, ""};
}

bool Editable(const TZarvMemo& m) { return !m.getReadOnly() && !m.getDisplayOnly(); }

// The dialog's buttons run from the event loop: nothing may escape them.
template <class F>
void Guarded(TzvSearchAction& a, F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    if (a.OnMessage)
      a.OnMessage(QString::fromUtf8(e.what()));
  }
}

} // namespace

TzvSearchAction::TzvSearchAction(TzvSearchCommand command, QObject* parent)
    : QAction(parent), fCommand(command), fTarget(new TzvEditTarget(this)) {
  const TSearchLook look = LookOf(command);
  setText(tr(look.Caption));
  if (look.Key != QKeySequence::UnknownKey)
    setShortcuts(look.Key);
  if (command == TzvSearchCommand::Replace && shortcuts().isEmpty())
    setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  setIcon(QIcon::fromTheme(QString::fromLatin1(look.Icon)));
  setShortcutContext(Qt::WindowShortcut);
  setObjectName(QStringLiteral("zvSearch%1").arg(int(command)));
  OnMessage = [this](const QString& message) {
    QMessageBox box(QMessageBox::Information, text().remove(QLatin1Char('&')), message, QMessageBox::Ok,
                    qobject_cast<QWidget*>(this->parent()));
    box.setTextFormat(Qt::PlainText); // the find text is the user's, never markup
    box.exec();
  };
  fTarget->setFilter([](QWidget* w) { return qobject_cast<TZarvMemo*>(w) != nullptr; });
  if (auto* w = qobject_cast<QWidget*>(parent))
    fTarget->setContext(w);
  connect(fTarget, &TzvEditTarget::stateChanged, this, &TzvSearchAction::UpdateTarget);
  connect(this, &QAction::triggered, this, &TzvSearchAction::ExecuteTarget);
  UpdateTarget();
}

TzvSearchAction::~TzvSearchAction() { delete fDialog.data(); }

QString TzvSearchAction::Category() { return tr("Search"); }

void TzvSearchAction::setFindAction(TzvSearchAction* find) {
  fFindAction = find;
  UpdateTarget();
}

TzvFindDialog* TzvSearchAction::Dialog() {
  if (fCommand == TzvSearchCommand::FindNext)
    return fFindAction ? fFindAction->Dialog() : nullptr;
  if (!fDialog) {
    fDialog = new TzvFindDialog(fCommand == TzvSearchCommand::Replace, qobject_cast<QWidget*>(parent()));
    fDialog->setOptions(frDown);
    connect(fDialog, &TzvFindDialog::find, this, [this] { Guarded(*this, [this] { Search(); }); });
    connect(fDialog, &TzvFindDialog::replace, this, [this] { Guarded(*this, [this] { Replace(); }); });
    connect(fDialog, &TzvFindDialog::replaceAll, this, [this] { Guarded(*this, [this] { ReplaceAll(); }); });
    fTarget->setKeepWhileIn(fDialog);
  }
  return fDialog;
}

TzvSearchQuery TzvSearchAction::Query() {
  TzvFindDialog* d = Dialog();
  if (!d)
    return {};
  const TzvFindOptions o = d->Options();
  return {d->FindText(), o.testFlag(frDown), o.testFlag(frMatchCase), o.testFlag(frWholeWord)};
}

void TzvSearchAction::UpdateTarget() {
  auto* m = qobject_cast<TZarvMemo*>(fTarget->Widget());
  bool on = m && m->getCharCount() >= 1;
  if (fCommand == TzvSearchCommand::Replace)
    on = on && Editable(*m);
  else if (fCommand == TzvSearchCommand::FindNext)
    on = on && fFindAction;
  setEnabled(on);
}

void TzvSearchAction::ExecuteTarget() {
  auto* m = qobject_cast<TZarvMemo*>(fTarget->Widget());
  if (!m)
    return;
  if (fCommand == TzvSearchCommand::FindNext) {
    if (!fFindAction)
      return;
    fFindAction->fControl = m;
    // Nothing to repeat yet: ask for the text.
    if (fFindAction->Dialog()->FindText().isEmpty())
      fFindAction->ExecuteTarget();
    else
      Guarded(*this, [this] { fFindAction->Search(); });
    return;
  }
  fControl = m;
  fFromEdge = fCommand == TzvSearchCommand::FindFirst;
  TzvFindDialog* d = Dialog();
  const QString selected = m->getSelText();
  if (!selected.isEmpty() && selected.size() < 200 && !selected.contains(QLatin1Char('\n')))
    d->setFindText(selected);
  d->setStatus(QString());
  d->Execute();
}

void TzvSearchAction::notFound(const QString& text) {
  const QString message = tr("Cannot find \"%1\".").arg(text);
  if (fDialog)
    fDialog->setStatus(message);
  if (OnMessage)
    OnMessage(message);
}

bool TzvSearchAction::searchIn(TZarvMemo& m, bool fromEdge) {
  const TzvSearchQuery s = Query();
  if (s.Text.isEmpty())
    return false;
  const bool found = m.FindTxt(s.Text, s.Down, s.MatchCase, s.WholeWord, fromEdge);
  if (found)
    m.ScrollInView();
  return found;
}

bool TzvSearchAction::Search() {
  TZarvMemo* m = fControl;
  if (!m)
    return false;
  const bool found = searchIn(*m, std::exchange(fFromEdge, false));
  if (!found)
    notFound(Query().Text);
  return found;
}

bool TzvSearchAction::Replace() {
  TZarvMemo* m = fControl;
  const TzvSearchQuery s = Query();
  if (!m || !Editable(*m) || s.Text.isEmpty())
    return false;
  const QString with = Dialog()->ReplaceText();
  if (m->getSelLength() != 0 && TzvTextSearch::SelectionMatches(*m, s)) {
    m->setSelText(with);
    searchIn(*m, false);
    return true;
  }
  if (!searchIn(*m, std::exchange(fFromEdge, false))) {
    notFound(s.Text);
    return false;
  }
  m->setSelText(with);
  return true;
}

int32_t TzvSearchAction::ReplaceAll() {
  TZarvMemo* m = fControl;
  const TzvSearchQuery s = Query();
  if (!m || !Editable(*m) || s.Text.isEmpty())
    return 0;
  int32_t from = 0, to = m->getCharCount();
  if (!std::exchange(fFromEdge, false)) {
    const int32_t caret = m->getSelStart(), other = caret + m->getSelLength();
    const bool exact = TzvTextSearch::SelectionMatches(*m, s, true);
    if (s.Down)
      from = exact ? std::min(caret, other) : caret;
    else
      to = exact ? std::max(caret, other) : caret;
  }
  const int32_t n = TzvTextSearch::ReplaceAll(*m, s, Dialog()->ReplaceText(), from, to);
  if (n == 0)
    notFound(s.Text);
  else if (fDialog)
    fDialog->setStatus(tr("%n replaced", nullptr, n));
  Q_EMIT replacedAll(n);
  return n;
}

} // namespace zarv
