// The find bar under the editor: the text to look for, Match case and
// Whole words, buttons for the next and the previous match. It only asks;
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

signals:
  // Enter and Find Next search down, Shift+Enter and Find Previous up.
  void findRequested(bool down);
  void closed();

protected:
  void keyPressEvent(QKeyEvent* e) override;

private:
  QLineEdit* fEdit = nullptr;
  QCheckBox* fCase = nullptr;
  QCheckBox* fWords = nullptr;
};

} // namespace zarv::pad
