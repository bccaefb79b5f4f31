// The find bar's widgets and keys: Enter searches down, Shift+Enter up,
// Escape closes the bar.
#include "FindBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QToolButton>

namespace zarv::pad {

TFindBar::TFindBar(QWidget* parent)
    : QWidget(parent), fEdit(new QLineEdit(this)), fCase(new QCheckBox(tr("Match &case"), this)),
      fWords(new QCheckBox(tr("&Whole words"), this)) {
  fEdit->setObjectName(QStringLiteral("findText"));
  fEdit->setClearButtonEnabled(true);
  fEdit->setPlaceholderText(tr("Find"));
  auto* next = new QToolButton(this);
  next->setText(tr("Next"));
  next->setToolTip(tr("Find the next match (Enter)"));
  auto* previous = new QToolButton(this);
  previous->setText(tr("Previous"));
  previous->setToolTip(tr("Find the previous match (Shift+Enter)"));
  auto* close = new QToolButton(this);
  close->setText(QStringLiteral("\u2715"));
  close->setToolTip(tr("Close the find bar (Escape)"));
  close->setAutoRaise(true);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(4, 2, 4, 2);
  row->addWidget(new QLabel(tr("Find:"), this));
  row->addWidget(fEdit, 1);
  row->addWidget(previous);
  row->addWidget(next);
  row->addWidget(fCase);
  row->addWidget(fWords);
  row->addWidget(close);

  connect(fEdit, &QLineEdit::textEdited, this, &TFindBar::textEdited);
  for (QCheckBox* option : {fCase, fWords})
    connect(option, &QCheckBox::toggled, this, [this] {
      if (isVisible() && !fEdit->text().isEmpty())
        emit textEdited(fEdit->text());
    });
  connect(next, &QToolButton::clicked, this, [this] { emit findRequested(true); });
  connect(previous, &QToolButton::clicked, this, [this] { emit findRequested(false); });
  connect(close, &QToolButton::clicked, this, [this] {
    hide();
    emit closed();
  });
}

QString TFindBar::Text() const { return fEdit->text(); }
void TFindBar::setText(const QString& text) { fEdit->setText(text); }
bool TFindBar::MatchCase() const { return fCase->isChecked(); }
void TFindBar::setMatchCase(bool on) { fCase->setChecked(on); }
bool TFindBar::WholeWords() const { return fWords->isChecked(); }
void TFindBar::setWholeWords(bool on) { fWords->setChecked(on); }

void TFindBar::Activate() {
  show();
  fEdit->setFocus(Qt::ShortcutFocusReason);
  fEdit->selectAll();
}

void TFindBar::ShowNotFound(bool notFound) {
  if (notFound == fNotFound)
    return;
  fNotFound = notFound;
  QPalette p = palette();
  if (notFound) {
    p.setColor(QPalette::Base, QColor(0xFF, 0xD0, 0xD0));
    p.setColor(QPalette::Text, Qt::black);
  }
  fEdit->setPalette(p);
}

void TFindBar::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
    emit findRequested(!(e->modifiers() & Qt::ShiftModifier));
    return;
  case Qt::Key_Escape:
    hide();
    emit closed();
    return;
  default:
    QWidget::keyPressEvent(e);
  }
}

} // namespace zarv::pad
