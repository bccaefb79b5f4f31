// Status bar fields. Lines are paragraphs (lines of the file, not display
// lines of wrapped text), numbered from 1. The column is the one a user
// counts, from 1: a tab reaches its next tab stop and a surrogate pair is
// one character. The selection's length counts a line break as one
// character, whatever break style the text has (the control counts two).
#include "PadStatusBar.h"

#include "FormatNames.h"

#include <ZarvMemo/memo/ZarvMemo.h>

#include <QLabel>
#include <QProgressBar>
#include <cstdlib>

namespace zarv::pad {

namespace {

QLabel* Field(QWidget* parent, const QString& tip) {
  auto* l = new QLabel(parent);
  l->setToolTip(tip);
  l->setContentsMargins(6, 0, 6, 0);
  return l;
}

// The column after text (the caret's line up to the caret), tabs reaching
// the next multiple of tabStops.
int32_t ColumnAfter(const QString& text, int32_t tabStops) {
  int32_t col = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == QLatin1Char('\t'))
      col = (col / tabStops + 1) * tabStops;
    else if (!(c.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()))
      ++col;
  }
  return col;
}

} // namespace

TPadStatusBar::TPadStatusBar(QWidget* parent)
    : QStatusBar(parent), fCaret(Field(this, tr("Line and column of the caret"))),
      fSelection(Field(this, tr("Characters selected"))), fModified(Field(this, tr("Unsaved changes"))),
      fBreak(Field(this, tr("Line break written on save"))), fEncoding(Field(this, tr("Encoding written on save"))),
      fWarning(Field(this, tr("The file holds NUL bytes; the text cannot hold them and shows \u2400 instead. Saving "
                              "over the file asks first."))),
      fProgressLabel(new QLabel(this)), fProgress(new QProgressBar(this)) {
  fProgress->setRange(0, 1000);
  fProgress->setMaximumWidth(180);
  fProgress->setTextVisible(false);
  fModified->setMinimumWidth(fModified->fontMetrics().horizontalAdvance(tr("Modified")) + 12);
  addWidget(fProgressLabel);
  addWidget(fProgress);
  fWarning->setStyleSheet(QStringLiteral("QLabel { color: black; background: #FFD54F; }"));
  fWarning->hide();
  addPermanentWidget(fWarning);
  addPermanentWidget(fCaret);
  addPermanentWidget(fSelection);
  addPermanentWidget(fModified);
  addPermanentWidget(fBreak);
  addPermanentWidget(fEncoding);
  HideProgress();
}

void TPadStatusBar::Refresh(const TZarvMemo& memo) {
  const int32_t caret = memo.getSelStart();
  const int32_t par = memo.getSelPar();
  const int32_t parStart = memo.getParsOffset(par);
  const int32_t tabStops = memo.getTabStops() > 0 ? memo.getTabStops() : 8;
  const int32_t column = ColumnAfter(memo.GetTextPart(parStart, caret), tabStops) + 1;
  fCaret->setText(tr("Ln %1, Col %2").arg(par + 1).arg(column));
  // Each break inside the selection counts 2 in the control.
  const int32_t length = memo.getSelLength();
  const int32_t breaks = length == 0 ? 0 : std::abs(memo.GetParFromOffset(caret + length) - par);
  const int32_t selected = std::abs(length) - breaks;
  fSelection->setText(selected ? tr("Sel %1").arg(selected) : QString());
  fSelection->setVisible(selected != 0);
  ShowModified(memo.Modified());
  fBreak->setText(LineBreakLabel(memo.getLineBreak()));
  fEncoding->setText(FormatLabel(memo.TextFormat()));
}

void TPadStatusBar::ShowModified(bool modified) { fModified->setText(modified ? tr("Modified") : QString()); }

void TPadStatusBar::ShowNuls(int64_t n) {
  fWarning->setText(n == 1  ? tr("1 NUL byte shown as \u2400")
                    : n > 1 ? tr("%1 NUL bytes shown as \u2400").arg(n)
                            : QString());
  fWarning->setVisible(n > 0);
}

void TPadStatusBar::ShowProgress(const QString& what, qint64 done, qint64 total) {
  if (total <= 0 || done >= total) {
    HideProgress();
    return;
  }
  fProgressLabel->setText(what);
  fProgress->setValue(int(done * 1000 / total));
  if (!fProgress->isVisible()) {
    fProgressLabel->show();
    fProgress->show();
  }
  repaint();
}

void TPadStatusBar::HideProgress() {
  fProgressLabel->hide();
  fProgress->hide();
}

bool TPadStatusBar::ProgressVisible() const { return !fProgress->isHidden(); }

int TPadStatusBar::ProgressValue() const { return fProgress->value(); }

QString TPadStatusBar::CaretText() const { return fCaret->text(); }

QString TPadStatusBar::SelectionText() const { return fSelection->text(); }

QString TPadStatusBar::ModifiedText() const { return fModified->text(); }

QString TPadStatusBar::WarningText() const { return fWarning->text(); }

QString TPadStatusBar::FormatText() const { return fBreak->text() + QLatin1Char(' ') + fEncoding->text(); }

} // namespace zarv::pad
