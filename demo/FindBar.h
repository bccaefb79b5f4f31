// The find bar under the editor: the text to look for, Match case and
// Whole words, buttons for the next and the previous match. Each edit of
// the text (or of an option) asks for a search at once, as you type. It only asks;
// the window searches the control and says what it found, so the bar knows
// nothing of the editor.
#pragma once

#include <QWidget>

class QCheckBox;
class QLineEdit;

namespace zarv::pad {

class TFindBar : public QWidget {
  Q_OBJECT
public:
  explicit TFindBar(QWidget* parent = nullptr);

  QString Text() const;
  void setText(const QString& text);
  bool MatchCase() const;
  void setMatchCase(bool on);
  bool WholeWords() const;
  void setWholeWords(bool on);
  // Shows the bar with its text selected, ready to be typed over.
  void Activate();
  // Tints the text field while its text is not found.
  void ShowNotFound(bool notFound);
  bool NotFoundShown() const { return fNotFound; }

signals:
  // Enter and Find Next search down, Shift+Enter and Find Previous up.
  void findRequested(bool down);
  // The user changed the text or an option: find as you type looks again.
  void textEdited(const QString& text);
  void closed();

protected:
  void keyPressEvent(QKeyEvent* e) override;

private:
  QLineEdit* fEdit = nullptr;
  QCheckBox* fCase = nullptr;
  QCheckBox* fWords = nullptr;
  bool fNotFound = false;
};

} // namespace zarv::pad
