// TzvFindDialog: the find dialog, and with replace on, the replace dialog.
//
// A modeless dialog holding the find text, the replace text (replace mode),
// the options (match case, whole words, direction) and the buttons Find
// Next, Replace, Replace All and Close. The dialog only tells which button
// was pressed; the search actions (or any owner) do the searching. The
// buttons that search are disabled while the find text is empty, so an
// empty text is never searched for.
#pragma once

#include <QDialog>
#include <QFlags>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QLabel;

namespace zarv {

enum TzvFindOption {
  frDown = 1 << 0,
  frMatchCase = 1 << 1,
  frWholeWord = 1 << 2,
  frReplace = 1 << 3,    // the last button pressed was Replace
  frReplaceAll = 1 << 4, // the last button pressed was Replace All
  frFindNext = 1 << 5,   // the last button pressed was Find Next
  frHideWholeWord = 1 << 6,
  frHideUpDown = 1 << 7,
  frHideMatchCase = 1 << 8,
};
Q_DECLARE_FLAGS(TzvFindOptions, TzvFindOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TzvFindOptions)

class TzvFindDialog : public QDialog {
  Q_OBJECT
public:
  TzvFindDialog(bool Replace, QWidget* parent = nullptr);
  // A dialog with its widgets: not copyable.
  TzvFindDialog(const TzvFindDialog&) = delete;
  TzvFindDialog& operator=(const TzvFindDialog&) = delete;

  bool ReplaceMode() const { return fReplaceMode; }
  QString FindText() const;
  void setFindText(const QString& s);
  QString ReplaceText() const;
  void setReplaceText(const QString& s);
  // The option boxes and the last button pressed; setting shows or hides
  // the option boxes by the frHide... flags.
  TzvFindOptions Options() const;
  void setOptions(TzvFindOptions o);
  // A line under the buttons (a count, "not found"), shown as plain text.
  void setStatus(const QString& s);
  QString Status() const;

  // The dialog's widgets, for tests and for applications that restyle it.
  QLineEdit& FindEdit() const { return *fFind; }
  QLineEdit& ReplaceEdit() const { return *fReplace; }
  QCheckBox& MatchCaseBox() const { return *fCase; }
  QCheckBox& WholeWordBox() const { return *fWhole; }
  QRadioButton& UpButton() const { return *fUp; }
  QRadioButton& DownButton() const { return *fDown; }
  QPushButton& FindButton() const { return *fFindBtn; }
  QPushButton& ReplaceButton() const { return *fReplaceBtn; }
  QPushButton& ReplaceAllButton() const { return *fReplaceAllBtn; }

  // Shows the dialog and puts the focus on its find text, selected.
  void Execute();

Q_SIGNALS:
  void find();
  void replace();
  void replaceAll();

private:
  void press(TzvFindOption which);
  void refreshButtons();

  bool fReplaceMode;
  TzvFindOption fLast = frFindNext;
  QLineEdit* fFind;
  QLineEdit* fReplace;
  QCheckBox* fCase;
  QCheckBox* fWhole;
  QRadioButton* fUp;
  QRadioButton* fDown;
  QPushButton* fFindBtn;
  QPushButton* fReplaceBtn;
  QPushButton* fReplaceAllBtn;
  QLabel* fStatus;
};

} // namespace zarv
