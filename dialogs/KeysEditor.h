// TDlgExtKeysEditor: the dialog in which a user edits a keyword list or a
// start-stop key list: the keys, and the attributes of one or several
// selected keys at once.
//
// The dialog works on its own records (TzvKeyWork, one per row of the
// list) and writes them back to the list only when the user confirms with
// OK after a change; Cancel, or OK without a change, leaves the list as it
// was. Options that differ among the selected keys show grey (a partly
// checked box, a grey number); changing one option changes only that
// option of every selected key. A preview control below shows the selected
// keys highlighted with their attributes.
//
// The File menu appends keys from, and saves them to, a plain list, an ini
// section or a binary file (TzvKeyListFiles); a file that cannot be read
// shows a message and leaves the rows as they were.
//
// Start-stop rows are edited in place in both columns (Start, Stop).
#pragma once

#include <ZarvMemo/dialogs/KeyListFiles.h>

#include <QColor>
#include <QDialog>
#include <functional>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace zarv {

class TZarvMemo;

class TDlgExtKeysEditor : public QDialog {
  Q_OBJECT
public:
  // StartStop: the start-stop form (two columns, range options).
  // Extended: scope, priority and positional dependency are shown.
  // AllowLoad: false makes the keys read-only (attributes stay editable).
  TDlgExtKeysEditor(bool StartStop, bool Extended, bool AllowLoad, QWidget* parent = nullptr);
  ~TDlgExtKeysEditor() override;
  TDlgExtKeysEditor(const TDlgExtKeysEditor&) = delete; // a dialog with its widgets
  TDlgExtKeysEditor& operator=(const TDlgExtKeysEditor&) = delete;

  void setWorks(const TzvKeyWorks& works);
  // The rows as the user left them, in list order.
  const TzvKeyWorks& Works() const { return fWorks; }
  bool Modified() const { return fModified; }

  // ---- Replaceable questions (tests answer them without a modal loop) ----------
  // A file name for the load or save of the given filter; empty: cancelled.
  std::function<QString(bool Save, const QString& Filter)> ChooseFile;
  std::function<std::optional<QColor>(const QColor& Initial)> ChooseColor;
  std::function<void(const QString& Message)> ShowMessage;

  // ---- Commands (the buttons and menu items call these) --------------------------
  void AddKey(bool InsertBeforeCurrent);
  void DeleteSelected();
  void MoveCurrent(int Delta);
  // The File menu: Kind 0 plain list, 1 ini, 2 binary. False when
  // cancelled or failed (the failure is shown).
  bool LoadFile(int Kind);
  bool SaveFile(int Kind);

  // ---- Widgets, for tests -----------------------------------------------------------
  QTreeWidget& KeyList() const { return *fList; }
  QCheckBox& Box(const QString& objectName) const;
  QSpinBox& ContextEdit() const { return *fContext; }
  QSpinBox& ScopeEdit() const { return *fScope; }
  QSpinBox& PriorityEdit() const { return *fPriority; }
  QComboBox& CursorBox() const { return *fCursor; }
  QButtonGroup& PositionGroup() const { return *fPosition; }
  QLabel& SelCountLabel() const { return *fSelCount; }
  QMenu& FileMenu() const { return *fFileMenu; }
  TZarvMemo& Preview() const { return *fPreview; }
  void SetColor(bool Foreground, std::optional<QColor> c);

private:
  void buildList();
  void buildOptions(QWidget* host);
  QWidget* buildButtons();
  void buildMenu(bool allowLoad);
  void fillRows();
  QTreeWidgetItem* makeRow(const TzvKeyWork& w);
  std::vector<int> selectedRows() const;
  void selectionChanged();
  void refreshPanel();
  void refreshPreview();
  void rowEdited(QTreeWidgetItem* item, int column);
  void boxClicked(QCheckBox* box);
  void numberEdited(QSpinBox* box);
  void cursorChosen(int index);
  void positionChosen(int id);
  void chooseColor(bool foreground);
  void forSelected(const std::function<void(TzvKeyWork&)>& change);

  const bool fStartStop, fExtended, fAllowLoad;
  TzvKeyWorks fWorks;
  bool fModified = false;
  bool fInSelect = false; // the panel is being filled: widget signals are ignored
  QTreeWidget* fList = nullptr;
  QGroupBox* fOptions = nullptr;
  QSpinBox* fContext = nullptr;
  QSpinBox* fScope = nullptr;
  QSpinBox* fPriority = nullptr;
  QComboBox* fCursor = nullptr;
  QButtonGroup* fPosition = nullptr;
  QLabel* fSelCount = nullptr;
  QLabel* fForeSwatch = nullptr;
  QLabel* fBackSwatch = nullptr;
  QPushButton* fClearFore = nullptr;
  QPushButton* fClearBack = nullptr;
  QMenuBar* fMenuBar = nullptr;
  QMenu* fFileMenu = nullptr;
  TZarvMemo* fPreview = nullptr;
};

// Opens the dialog on List modally; on OK after a change the list is
// rewritten (in one update bracket) and the answer is true. Controls and
// highlighters using the list highlight again only when told
// (ReApplyKeywords, ReApplyKeys), which a true answer calls for.
bool EditKeywordList(TKeywordList& List, bool Extended, bool AllowLoad, QWidget* parent = nullptr);
bool EditStartStopList(TStartStopKeyList& List, bool Extended, QWidget* parent = nullptr);

} // namespace zarv
