// The edit actions' target and its adapters.
//
// TZarvMemo and Qt's text widgets do not implement IzvEditAction
// themselves; small adapters give them its shape, so that the actions have
// one way to ask and to act. A widget that implements the interface is used
// as it is.
#include <ZarvMemo/actions/EditTarget.h>

#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <array>

namespace zarv {

namespace {

// A widget that implements the interface itself (not owned).
class TForwardAdapter final : public IzvEditAction {
public:
  explicit TForwardAdapter(IzvEditAction& t) : f(t) {}
  bool CanCut() const override { return f.CanCut(); }
  bool CanCopy() const override { return f.CanCopy(); }
  bool CanPaste() const override { return f.CanPaste(); }
  bool CanSelectAll() const override { return f.CanSelectAll(); }
  bool CanDelete() const override { return f.CanDelete(); }
  bool CanRedo() const override { return f.CanRedo(); }
  bool CanUndo() const override { return f.CanUndo(); }
  void CutToClipboard() override { f.CutToClipboard(); }
  void CopyToClipboard() override { f.CopyToClipboard(); }
  void PasteFromClipboard() override { f.PasteFromClipboard(); }
  void SelectAll() override { f.SelectAll(); }
  void ClearSelection() override { f.ClearSelection(); }
  void ScrollInView() override { f.ScrollInView(); }
  void Undo() override { f.Undo(); }
  void Redo() override { f.Redo(); }

private:
  IzvEditAction& f;
};

class TMemoAdapter final : public IzvEditAction {
public:
  explicit TMemoAdapter(TZarvMemo& m) : f(m) {}
  bool CanCut() const override { return f.CanCut(); }
  bool CanCopy() const override { return f.CanCopy(); }
  bool CanPaste() const override { return f.CanPaste(); }
  bool CanSelectAll() const override { return f.CanSelectAll(); }
  bool CanDelete() const override { return f.CanDelete(); }
  // Undo changes the text: never in a control the user may not edit.
  bool CanRedo() const override { return editable() && f.CanRedo(); }
  bool CanUndo() const override { return editable() && f.CanUndo(); }
  void CutToClipboard() override { f.CutToClipboard(); }
  void CopyToClipboard() override { f.CopyToClipboard(); }
  void PasteFromClipboard() override { f.PasteFromClipboard(); }
  void SelectAll() override { f.SelectAll(); }
  void ClearSelection() override { f.ClearSelection(); }
  void ScrollInView() override { f.ScrollInView(); }
  void Undo() override { f.Undo(); }
  void Redo() override { f.Redo(); }

private:
  bool editable() const { return !f.getReadOnly() && !f.getDisplayOnly(); }
  TZarvMemo& f;
};

class TLineEditAdapter final : public IzvEditAction {
public:
  explicit TLineEditAdapter(QLineEdit& e) : f(e) {}
  // A password field never gives its text away.
  bool CanCut() const override { return !f.isReadOnly() && CanCopy(); }
  bool CanCopy() const override { return f.hasSelectedText() && f.echoMode() == QLineEdit::Normal; }
  bool CanPaste() const override { return !f.isReadOnly(); }
  bool CanSelectAll() const override { return !f.text().isEmpty(); }
  bool CanDelete() const override { return !f.isReadOnly() && f.hasSelectedText(); }
  bool CanRedo() const override { return !f.isReadOnly() && f.isRedoAvailable(); }
  bool CanUndo() const override { return !f.isReadOnly() && f.isUndoAvailable(); }
  void CutToClipboard() override { f.cut(); }
  void CopyToClipboard() override { f.copy(); }
  void PasteFromClipboard() override { f.paste(); }
  void SelectAll() override { f.selectAll(); }
  void ClearSelection() override { f.del(); }
  void ScrollInView() override {}
  void Undo() override { f.undo(); }
  void Redo() override { f.redo(); }

private:
  QLineEdit& f;
};

// QTextEdit and QPlainTextEdit share these members without a common base.
template <class E>
class TTextEditAdapter final : public IzvEditAction {
public:
  explicit TTextEditAdapter(E& e) : f(e) {}
  bool CanCut() const override { return !f.isReadOnly() && CanCopy(); }
  bool CanCopy() const override { return f.textCursor().hasSelection(); }
  bool CanPaste() const override { return !f.isReadOnly(); }
  bool CanSelectAll() const override { return !f.document()->isEmpty(); }
  bool CanDelete() const override { return !f.isReadOnly() && f.textCursor().hasSelection(); }
  bool CanRedo() const override { return !f.isReadOnly() && f.document()->isRedoAvailable(); }
  bool CanUndo() const override { return !f.isReadOnly() && f.document()->isUndoAvailable(); }
  void CutToClipboard() override { f.cut(); }
  void CopyToClipboard() override { f.copy(); }
  void PasteFromClipboard() override { f.paste(); }
  void SelectAll() override { f.selectAll(); }
  void ClearSelection() override {
    QTextCursor c = f.textCursor();
    c.removeSelectedText();
    f.setTextCursor(c);
  }
  void ScrollInView() override { f.ensureCursorVisible(); }
  void Undo() override { f.undo(); }
  void Redo() override { f.redo(); }

private:
  E& f;
};

// The focus rests on a scroll area's viewport at times; the area counts.
QWidget* Normalize(QWidget* w) {
  if (w && w->parentWidget())
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w->parentWidget()); area && area->viewport() == w)
      return area;
  return w;
}

// The signals through which the supported widgets tell a change of what
// the actions ask.
constexpr std::array<const char*, 9> kNoticeSignals = {"changed",       "selMoved",         "editStateChanged",
                                                       "textChanged",   "selectionChanged", "cursorPositionChanged",
                                                       "undoAvailable", "redoAvailable",    "copyAvailable"};

} // namespace

std::unique_ptr<IzvEditAction> TzvEditTarget::MakeAdapter(QWidget* w) {
  if (!w)
    return nullptr;
  if (auto* m = qobject_cast<TZarvMemo*>(w))
    return std::make_unique<TMemoAdapter>(*m);
  if (auto* own = qobject_cast<IzvEditAction*>(w))
    return std::make_unique<TForwardAdapter>(*own);
  if (auto* e = qobject_cast<QLineEdit*>(w))
    return std::make_unique<TLineEditAdapter>(*e);
  if (auto* e = qobject_cast<QTextEdit*>(w))
    return std::make_unique<TTextEditAdapter<QTextEdit>>(*e);
  if (auto* e = qobject_cast<QPlainTextEdit*>(w))
    return std::make_unique<TTextEditAdapter<QPlainTextEdit>>(*e);
  return nullptr;
}

TzvEditTarget::TzvEditTarget(QObject* parent) : QObject(parent) {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
    connect(app, &QApplication::focusChanged, this, &TzvEditTarget::Retarget);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TzvEditTarget::notice);
  }
}

TzvEditTarget::~TzvEditTarget() {
  for (const QMetaObject::Connection& c : fWatch)
    disconnect(c);
  if (fWidget)
    fWidget->removeEventFilter(this);
}

void TzvEditTarget::setDefaultTarget(QWidget* w) {
  fDefault = Normalize(w);
  Retarget();
}

void TzvEditTarget::setContext(QWidget* w) {
  fContext = w;
  Retarget();
}

void TzvEditTarget::setFilter(TFilter f) {
  fFilter = std::move(f);
  Retarget();
}

void TzvEditTarget::setKeepWhileIn(QWidget* w) { fKeepWhileIn = w; }

bool TzvEditTarget::accepts(QWidget* w) const {
  if (!w || (fFilter && !fFilter(w)))
    return false;
  return qobject_cast<TZarvMemo*>(w) || qobject_cast<IzvEditAction*>(w) || qobject_cast<QLineEdit*>(w) ||
         qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w);
}

QWidget* TzvEditTarget::resolve() const {
  QWidget* f = QApplication::focusWidget();
  if (!f && fContext)
    f = fContext->window()->focusWidget();
  f = Normalize(f);
  if (f && fKeepWhileIn && (f == fKeepWhileIn || fKeepWhileIn->isAncestorOf(f)))
    return fWidget;
  if (accepts(f))
    return f;
  return accepts(fDefault) ? fDefault.data() : nullptr;
}

void TzvEditTarget::Retarget() {
  QWidget* w = resolve();
  if (w == fWidget && (w != nullptr) == (fAdapter != nullptr)) {
    Q_EMIT stateChanged(); // the same target; focus may matter to the answers
    return;
  }
  attach(w);
  Q_EMIT stateChanged();
}

void TzvEditTarget::attach(QWidget* w) {
  for (const QMetaObject::Connection& c : fWatch)
    disconnect(c);
  fWatch.clear();
  if (fWidget)
    fWidget->removeEventFilter(this);
  fAdapter = MakeAdapter(w);
  fWidget = fAdapter ? w : nullptr;
  if (!fWidget)
    return;
  fWidget->installEventFilter(this);
  const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("notice()"));
  const QMetaObject* mo = fWidget->metaObject();
  for (int i = 0; i < mo->methodCount(); ++i) {
    const QMetaMethod m = mo->method(i);
    if (m.methodType() != QMetaMethod::Signal)
      continue;
    for (const char* name : kNoticeSignals)
      if (m.name() == name) {
        fWatch.push_back(connect(fWidget, m, this, slot));
        break;
      }
  }
  // Gone: the adapter must not outlive its widget.
  fWatch.push_back(connect(fWidget, &QObject::destroyed, this, [this] {
    fAdapter.reset();
    fWatch.clear();
    Retarget();
  }));
}

bool TzvEditTarget::eventFilter(QObject* watched, QEvent* e) {
  if (watched == fWidget && (e->type() == QEvent::ReadOnlyChange || e->type() == QEvent::EnabledChange))
    Q_EMIT stateChanged();
  return false;
}

} // namespace zarv
