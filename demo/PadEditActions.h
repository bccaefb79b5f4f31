// ZarvPad's Edit, Search and Tools menus and its tool bar, made from the
// library's edit and search actions.
//
// The actions follow whichever control or text field has the focus (the
// find bar's field included) and fall back to the editor otherwise. The
// find bar stays as a second way to search: Ctrl+F, F3 and Shift+F3 are
// its keys, while the library's Find dialog is on Ctrl+Shift+F, Find next
// on Ctrl+F3 and Replace on Ctrl+H. Tools opens the list editor on the
// highlighter's lists (the editor's own lists without one) and the lines
// editor on the document.
#pragma once

#include <QObject>

class QMainWindow;
class QMenu;
class QToolBar;

namespace zarv {
class TZarvMemo;
class TzvSearchAction;
} // namespace zarv

namespace zarv::pad {

class TPadEditActions : public QObject {
  Q_OBJECT
public:
  TPadEditActions(QMainWindow& window, TZarvMemo& memo);
  TPadEditActions(const TPadEditActions&) = delete; // owns its menus' links
  TPadEditActions& operator=(const TPadEditActions&) = delete;

  // Adds the library's edit actions to menu and to the tool bar.
  void FillEditMenu(QMenu& menu);
  // Adds the search actions; the find bar's entries follow from the caller.
  void FillSearchMenu(QMenu& menu);
  void FillToolsMenu(QMenu& menu);
  QToolBar& ToolBar() const { return *fToolBar; }
  TzvSearchAction& Replace() const { return *fReplace; }
  TzvSearchAction& Find() const { return *fFind; }

  // Tools: the list editor on the keyword (StartStop false) or start-stop
  // list of the highlighter in use; true when the list was changed.
  bool EditHighlighterLists(bool StartStop);
  void OpenLinesEditor();

private:
  QMainWindow& fWindow;
  TZarvMemo& fMemo;
  QToolBar* fToolBar;
  TzvSearchAction* fFind = nullptr;
  TzvSearchAction* fReplace = nullptr;
};

} // namespace zarv::pad
