// ZarvPad's status bar: caret line and column, selection length, the
// modified mark, line break and encoding as permanent fields, a warning
// while the text shows NUL bytes of its file, a progress
// bar while a file loads or saves or a large text is being formatted, and
// the usual transient messages ("not found") on the left.
#pragma once

#include <QStatusBar>

class QLabel;
class QProgressBar;

namespace zarv {
class TZarvMemo;
}

namespace zarv::pad {

class TPadStatusBar : public QStatusBar {
  Q_OBJECT
public:
  explicit TPadStatusBar(QWidget* parent = nullptr);

  // Reads the caret, selection, modified flag and format from the control.
  // Costs a walk over the caret's line up to the caret, never the text.
  void Refresh(const TZarvMemo& memo);
  void ShowModified(bool modified);
  // The warning that n NUL bytes are shown as U+2400; none for 0.
  void ShowNuls(int64_t n);
  // Shows how far a load, save or formatting pass is (done of total, any
  // unit) and paints at once: the control reports progress from inside a
  // load, when no event loop runs. Hidden again when done reaches total.
  void ShowProgress(const QString& what, qint64 done, qint64 total);
  void HideProgress();
  bool ProgressVisible() const;
  // The bar's value, in thousandths of the work.
  int ProgressValue() const;

  // The permanent fields' texts, for tests and the screenshot check.
  QString CaretText() const;
  QString SelectionText() const;
  QString ModifiedText() const;
  QString FormatText() const;
  QString WarningText() const;

private:
  QLabel* fCaret = nullptr;
  QLabel* fSelection = nullptr;
  QLabel* fModified = nullptr;
  QLabel* fBreak = nullptr;
  QLabel* fEncoding = nullptr;
  QLabel* fWarning = nullptr;
  QLabel* fProgressLabel = nullptr;
  QProgressBar* fProgress = nullptr;
};

} // namespace zarv::pad
