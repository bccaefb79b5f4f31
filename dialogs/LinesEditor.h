// TFrmZarvLines: a small editor window for the text of another control.
//
// The form copies the edited control's look (fonts, colours, alignment,
// options, static formatting) and text into a control of its own, where the
// user edits with menus and a tool bar: files, clipboard, undo, search and
// the static style commands. Apply writes the text back to the edited
// control as one undoable step (select all and replace in one update
// bracket), with the fonts when they were changed; OK applies pending
// changes; Cancel restores the text taken at show time, but only when
// something was applied: otherwise the edited control, its undo list and
// its folds, were never touched and stay so.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QToolBar;

namespace zarv {

class TZarvMemo;
class TzvFindDialog;

class TFrmZarvLines : public QDialog {
  Q_OBJECT
public:
  // Edited: the control whose text is edited (not owned).
  explicit TFrmZarvLines(TZarvMemo& Edited, QWidget* parent = nullptr);
  ~TFrmZarvLines() override;
  TFrmZarvLines(const TFrmZarvLines&) = delete; // a form with its widgets
  TFrmZarvLines& operator=(const TFrmZarvLines&) = delete;

  TZarvMemo& Editor() const { return *fEditor; }
  TZarvMemo* Edited() const { return fEdited; }
  QString EditFile() const { return fEditFile; }
  bool Applied() const { return fApplied; }

  // ---- Commands -----------------------------------------------------------------------
  void Apply();
  void Ok();
  void Cancel();
  // Reads a file into the form's control; false with a message on failure.
  bool LoadFile(const QString& name);
  // Saves to EditFile (asking for one when there is none); SaveAs asks.
  bool Save();
  bool SaveAs();
  bool SaveTo(const QString& name);
  // Searches with the find dialog's text; the message when not found.
  bool FindNext();
  // A save name: ".TXT" appended when it has no extension and does not end
  // with ".".
  static QString WithDefaultExtension(const QString& name);

  // ---- Replaceable questions ---------------------------------------------------------------
  std::function<QString(bool Save)> ChooseFile;
  std::function<void(const QString& Message)> ShowMessage;

  // ---- Widgets, for tests ---------------------------------------------------------------
  QPushButton& ApplyButton() const { return *fApplyBtn; }
  QToolBar& ToolBar() const { return *fToolBar; }
  QAction& Command(const QString& objectName) const;
  TzvFindDialog* FindDialog() const { return fFind; }
  QLabel& OffsetLabel() const { return *fOffset; }
  QLabel& ParLabel() const { return *fPar; }

private:
  void buildMenus();
  void buildToolBar();
  QWidget* buildStatus();
  void copyLook();
  void changed();
  void selMoved();
  void styleChanged();
  void openFind();
  void chooseFont(bool alternate);
  void goTo(bool end);
  QAction* command(QMenu* menu, const QString& name, const QString& text, const QKeySequence& key,
                   std::function<void()> run);

  QPointer<TZarvMemo> fEdited;
  TZarvMemo* fEditor; // child of the form
  QString fOrgTxt;    // the edited control's text at show time
  QString fEditFile;
  bool fFontChanged = false; // the form's fonts were changed by the user
  bool fApplied = false;     // something reached the edited control
  QToolBar* fToolBar = nullptr;
  QPushButton* fApplyBtn = nullptr;
  QLabel* fOffset = nullptr;
  QLabel* fPar = nullptr;
  TzvFindDialog* fFind = nullptr; // child of the form, made on first use
};

} // namespace zarv
