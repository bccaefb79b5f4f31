// Status bar fields. Lines are paragraphs (lines of the file, not display
// lines of wrapped text), numbered from 1; the column counts characters
// from the paragraph's start, also from 1.
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

} // namespace

TPadStatusBar::TPadStatusBar(QWidget* parent)
    : QStatusBar(parent), fCaret(Field(this, tr("Line and column of the caret"))),
      fSelection(Field(this, tr("Characters selected"))), fModified(Field(this, tr("Unsaved changes"))),
      fBreak(Field(this, tr("Line break written on save"))), fEncoding(Field(this, tr("Encoding written on save"))),
      fProgressLabel(new QLabel(this)), fProgress(new QProgressBar(this)) {
  fProgress->setRange(0, 1000);
  fProgress->setMaximumWidth(180);
  fProgress->setTextVisible(false);
  fModified->setMinimumWidth(fModified->fontMetrics().horizontalAdvance(tr("Modified")) + 12);
  addWidget(fProgressLabel);
  addWidget(fProgress);
  addPermanentWidget(fCaret);
  addPermanentWidget(fSelection);
  addPermanentWidget(fModified);
  addPermanentWidget(fBreak);
  addPermanentWidget(fEncoding);
  HideProgress();
}

void TPadStatusBar::Refresh(const TZarvMemo& memo) {
  const int32_t par = memo.getSelPar();
  const int32_t column = memo.getSelStart() - memo.getParsOffset(par) + 1;
  fCaret->setText(tr("Ln %1, Col %2").arg(par + 1).arg(column));
  const int32_t selected = std::abs(memo.getSelLength());
  fSelection->setText(selected ? tr("Sel %1").arg(selected) : QString());
  fSelection->setVisible(selected != 0);
  fModified->setText(memo.Modified() ? tr("Modified") : QString());
  fBreak->setText(LineBreakLabel(memo.getLineBreak()));
  fEncoding->setText(FormatLabel(memo.TextFormat()));
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

QString TPadStatusBar::FormatText() const { return fBreak->text() + QLatin1Char(' ') + fEncoding->text(); }

} // namespace zarv::pad
