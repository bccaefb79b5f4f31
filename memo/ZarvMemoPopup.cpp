// The default popup menu: the edit commands, each enabled when it can act
// at the moment the menu opens. The application may replace the menu
// (PopupMenu) or adjust the default one as it opens (OnInternalPopup).
// A right click opens it on release, after the click's context was told;
// the menu key opens it at the caret.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>

namespace zarv {

namespace {

struct TPopupItem {
  const char* Caption;
  int Tag;
};

// In menu order; tag 0 is a separator.
constexpr TPopupItem kItems[] = {{"&Undo", 100}, {"&Redo", 101},  {"-", 0}, {"Cu&t", 102},
                                 {"&Copy", 103}, {"&Paste", 104}, {"-", 0}, {"&Select all", 105}};

} // namespace

QMenu* TZarvMemo::getInternalPopup() {
  if (fInternalPopup)
    return fInternalPopup;
  fInternalPopup = new QMenu(this);
  for (const TPopupItem& item : kItems) {
    if (item.Tag == 0) {
      fInternalPopup->addSeparator();
      continue;
    }
    QAction* a = fInternalPopup->addAction(QString::fromLatin1(item.Caption));
    a->setData(item.Tag);
    connect(a, &QAction::triggered, this, [this, a] { PopupClickHandler(a); });
  }
  connect(fInternalPopup, &QMenu::aboutToShow, this, [this] { PopupClickHandler(fInternalPopup); });
  return fInternalPopup;
}

void TZarvMemo::PopupClickHandler(QObject* Sender) try {
  const TEntryScope entry(ownerId());
  if (Sender == fInternalPopup) {
    const bool editable = !fReadOnly && !fDisplayOnly;
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    const bool clipText = mime && mime->hasText();
    for (QAction* a : fInternalPopup->actions()) {
      switch (a->data().toInt()) {
      case 100:
        a->setEnabled(CanUndo());
        break;
      case 101:
        a->setEnabled(CanRedo());
        break;
      case 102:
        a->setEnabled(fSelLen != 0 && editable);
        break;
      case 103:
        a->setEnabled(fSelLen != 0);
        break;
      case 104:
        a->setEnabled(clipText && editable);
        break;
      default:
        break;
      }
    }
    callHandler(OnInternalPopup, *this);
    return;
  }
  const auto* action = qobject_cast<QAction*>(Sender);
  if (!action)
    return;
  switch (action->data().toInt()) {
  case 100:
    Undo();
    ScrollInView();
    break;
  case 101:
    Redo();
    ScrollInView();
    break;
  case 102:
    CutToClipboard();
    ScrollInView();
    break;
  case 103:
    CopyToClipboard();
    break;
  case 104:
    PasteFromClipboard();
    ScrollInView();
    break;
  case 105:
    SelectAll();
    break;
  default:
    break;
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

QMenu* TZarvMemo::PopupMenu() const { return fPopupMenu.data(); }
void TZarvMemo::setPopupMenu(QMenu* m) { fPopupMenu = m; }

bool TZarvMemo::ShowPopup(QPoint globalPos) try {
  const TEntryScope entry(ownerId());
  QMenu* menu = fPopupMenu ? fPopupMenu.data() : (fOptions.testFlag(zvoNoDefaultPopup) ? nullptr : getInternalPopup());
  if (!menu)
    return false;
  menu->popup(globalPos);
  return true;
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
  return {};
}

// The menu key opens the menu at the caret; a right click opens it when
// the button is released (after the click's context was told), so the
// press-time event the window system sends is passed over.
void TZarvMemo::contextMenuEvent(QContextMenuEvent* e) {
  if (e->reason() != QContextMenuEvent::Keyboard) {
    e->accept(); // the release opens it
    return;
  }
  const QPoint at = viewport()->mapToGlobal(QPoint(fCaretX, fCaretY + fLineHeight));
  if (ShowPopup(at))
    e->accept();
  else
    e->ignore();
}

} // namespace zarv
