// ZarvPad's menus and tool bar from the library's actions, and the Tools
// commands that open the library's dialogs.
#include "PadEditActions.h"

#include <ZarvMemo/actions/EditAction.h>
#include <ZarvMemo/actions/SearchAction.h>
#include <ZarvMemo/dialogs/KeysEditor.h>
#include <ZarvMemo/dialogs/LinesEditor.h>
#include <ZarvMemo/highlighters/CustomExtHighlighter.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>

namespace zarv::pad {

TPadEditActions::TPadEditActions(QMainWindow& window, TZarvMemo& memo)
    : QObject(&window), fWindow(window), fMemo(memo), fToolBar(new QToolBar(QObject::tr("Edit"), &window)) {
  fToolBar->setObjectName(QStringLiteral("editToolBar"));
  fToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  window.addToolBar(fToolBar);
}

void TPadEditActions::FillEditMenu(QMenu& menu) {
  auto add = [&](TzvEditAction* a, bool onToolBar) {
    a->setDefaultTarget(&fMemo);
    menu.addAction(a);
    if (onToolBar)
      fToolBar->addAction(a);
    return a;
  };
  TzvEditAction* redo = nullptr;
  add(new TzvEditUndo(&fWindow), true);
  redo = add(new TzvEditRedo(&fWindow), true);
  // Ctrl+Y as well, whichever the desktop's own redo key is.
  QList<QKeySequence> redoKeys = redo->shortcuts();
  if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y)))
    redoKeys.append(QKeySequence(Qt::CTRL | Qt::Key_Y));
  redo->setShortcuts(redoKeys);
  menu.addSeparator();
  fToolBar->addSeparator();
  add(new TzvEditCut(&fWindow), true);
  add(new TzvEditCopy(&fWindow), true);
  add(new TzvEditPaste(&fWindow), true);
  add(new TzvEditDelete(&fWindow), false);
  menu.addSeparator();
  add(new TzvEditSelectAll(&fWindow), false);
}

void TPadEditActions::FillSearchMenu(QMenu& menu) {
  fFind = new TzvSearchFind(&fWindow);
  TzvSearchAction* first = new TzvSearchFindFirst(&fWindow);
  TzvSearchAction* next = new TzvSearchFindNext(&fWindow);
  fReplace = new TzvSearchReplace(&fWindow);
  next->setFindAction(fFind);
  fFind->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
  next->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F3));
  fReplace->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  for (TzvSearchAction* a : {fFind, first, next, fReplace}) {
    a->setDefaultTarget(&fMemo);
    menu.addAction(a);
  }
  connect(fReplace, &TzvSearchAction::replacedAll, this,
          [this](int n) { fWindow.statusBar()->showMessage(QObject::tr("%n replaced", nullptr, n), 4000); });
  fToolBar->addSeparator();
  fToolBar->addAction(fFind);
  fToolBar->addAction(fReplace);
  menu.addSeparator();
}

void TPadEditActions::FillToolsMenu(QMenu& menu) {
  connect(menu.addAction(QObject::tr("Edit Highlighter &Lists...")), &QAction::triggered, this,
          [this] { EditHighlighterLists(false); });
  connect(menu.addAction(QObject::tr("Edit Highlighter &Ranges...")), &QAction::triggered, this,
          [this] { EditHighlighterLists(true); });
  menu.addSeparator();
  connect(menu.addAction(QObject::tr("Lines &Editor...")), &QAction::triggered, this,
          &TPadEditActions::OpenLinesEditor);
}

bool TPadEditActions::EditHighlighterLists(bool StartStop) {
  // The extended highlighter's lists when one is attached (scopes and
  // priorities shown), else the editor's own.
  auto* ext = qobject_cast<TCustomExtHighlighter*>(fMemo.Highlighter());
  bool changed = false;
  if (StartStop)
    changed = ext ? EditStartStopList(ext->StartStopKeys(), true, &fWindow)
                  : EditStartStopList(fMemo.StartStopKeys(), false, &fWindow);
  else
    changed = ext ? EditKeywordList(ext->Keywords(), true, true, &fWindow)
                  : EditKeywordList(fMemo.Keywords(), false, true, &fWindow);
  if (changed) {
    if (ext)
      ext->ReApplyKeys();
    else
      fMemo.ReApplyKeywords();
  }
  return changed;
}

void TPadEditActions::OpenLinesEditor() {
  TFrmZarvLines form(fMemo, &fWindow);
  form.exec();
}

} // namespace zarv::pad
