// The find and replace dialog's widgets and its buttons.
#include <ZarvMemo/dialogs/FindDialog.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zarv {

TzvFindDialog::TzvFindDialog(bool Replace, QWidget* parent)
    : QDialog(parent), fReplaceMode(Replace), fFind(new QLineEdit(this)), fReplace(new QLineEdit(this)),
      fCase(new QCheckBox(tr("Match &case"), this)), fWhole(new QCheckBox(tr("&Whole words only"), this)),
      fUp(new QRadioButton(tr("&Up"), this)), fDown(new QRadioButton(tr("&Down"), this)),
      fFindBtn(new QPushButton(tr("&Find Next"), this)), fReplaceBtn(new QPushButton(tr("&Replace"), this)),
      fReplaceAllBtn(new QPushButton(tr("Replace &All"), this)), fStatus(new QLabel(this)) {
  setWindowTitle(Replace ? tr("Replace") : tr("Find"));
  fFind->setObjectName(QStringLiteral("findText"));
  fReplace->setObjectName(QStringLiteral("replaceText"));
  fStatus->setTextFormat(Qt::PlainText); // user text is never markup

  auto* fields = new QFormLayout;
  fields->addRow(tr("Fi&nd what:"), fFind);
  fields->addRow(tr("Re&place with:"), fReplace);
  fReplace->setVisible(Replace);
  fields->labelForField(fReplace)->setVisible(Replace);

  auto* direction = new QGroupBox(tr("Direction"), this);
  auto* dirRow = new QHBoxLayout(direction);
  dirRow->addWidget(fUp);
  dirRow->addWidget(fDown);
  fDown->setChecked(true);
  auto* optionRow = new QHBoxLayout;
  auto* boxes = new QVBoxLayout;
  boxes->addWidget(fCase);
  boxes->addWidget(fWhole);
  optionRow->addLayout(boxes);
  optionRow->addWidget(direction);

  auto* left = new QVBoxLayout;
  left->addLayout(fields);
  left->addLayout(optionRow);
  left->addWidget(fStatus);
  auto* buttons = new QVBoxLayout;
  auto* close = new QPushButton(tr("Close"), this);
  for (QPushButton* b : {fFindBtn, fReplaceBtn, fReplaceAllBtn, close})
    buttons->addWidget(b);
  buttons->addStretch(1);
  fReplaceBtn->setVisible(Replace);
  fReplaceAllBtn->setVisible(Replace);
  fFindBtn->setDefault(true);
  auto* row = new QHBoxLayout(this);
  row->addLayout(left, 1);
  row->addLayout(buttons);

  connect(fFindBtn, &QPushButton::clicked, this, [this] { press(frFindNext); });
  connect(fReplaceBtn, &QPushButton::clicked, this, [this] { press(frReplace); });
  connect(fReplaceAllBtn, &QPushButton::clicked, this, [this] { press(frReplaceAll); });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(fFind, &QLineEdit::textChanged, this, &TzvFindDialog::refreshButtons);
  refreshButtons();
}

QString TzvFindDialog::FindText() const { return fFind->text(); }
void TzvFindDialog::setFindText(const QString& s) { fFind->setText(s); }
QString TzvFindDialog::ReplaceText() const { return fReplace->text(); }
void TzvFindDialog::setReplaceText(const QString& s) { fReplace->setText(s); }
QString TzvFindDialog::Status() const { return fStatus->text(); }
void TzvFindDialog::setStatus(const QString& s) { fStatus->setText(s); }

TzvFindOptions TzvFindDialog::Options() const {
  TzvFindOptions o(fLast);
  o.setFlag(frDown, fDown->isChecked());
  o.setFlag(frMatchCase, fCase->isChecked());
  o.setFlag(frWholeWord, fWhole->isChecked());
  o.setFlag(frHideWholeWord, fWhole->isHidden());
  o.setFlag(frHideMatchCase, fCase->isHidden());
  o.setFlag(frHideUpDown, fUp->isHidden());
  return o;
}

void TzvFindDialog::setOptions(TzvFindOptions o) {
  (o.testFlag(frDown) ? fDown : fUp)->setChecked(true);
  fCase->setChecked(o.testFlag(frMatchCase));
  fWhole->setChecked(o.testFlag(frWholeWord));
  fWhole->setVisible(!o.testFlag(frHideWholeWord));
  fCase->setVisible(!o.testFlag(frHideMatchCase));
  fUp->parentWidget()->setVisible(!o.testFlag(frHideUpDown));
  fUp->setVisible(!o.testFlag(frHideUpDown));
}

void TzvFindDialog::Execute() {
  show();
  raise();
  activateWindow();
  fFind->setFocus(Qt::OtherFocusReason);
  fFind->selectAll();
}

void TzvFindDialog::press(TzvFindOption which) {
  if (fFind->text().isEmpty())
    return;
  fLast = which;
  fStatus->clear();
  if (which == frFindNext)
    Q_EMIT find();
  else if (which == frReplace)
    Q_EMIT replace();
  else
    Q_EMIT replaceAll();
}

void TzvFindDialog::refreshButtons() {
  const bool any = !fFind->text().isEmpty();
  for (QPushButton* b : {fFindBtn, fReplaceBtn, fReplaceAllBtn})
    b->setEnabled(any);
}

} // namespace zarv
