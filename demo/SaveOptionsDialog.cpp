// Two combo boxes over the choice lists of FormatNames; the item index is
// the index into those lists.
#include "SaveOptionsDialog.h"

#include "FormatNames.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <algorithm>

namespace zarv::pad {

TSaveOptionsDialog::TSaveOptionsDialog(TzvsTextFormat format, TZarvLineBreak lineBreak, QWidget* parent)
    : QDialog(parent), fEncoding(new QComboBox(this)), fBreak(new QComboBox(this)) {
  setWindowTitle(tr("Save Options"));
  // 8-bit text has no mark: whatever Bom says, it is the one 8-bit entry.
  if (format.Encoding == TzvsEncoding::Ansi)
    format.Bom = false;
  const auto& formats = SaveFormats();
  for (const TzvsTextFormat& f : formats)
    fEncoding->addItem(FormatLabel(f));
  fEncoding->setCurrentIndex(int(std::find(formats.begin(), formats.end(), format) - formats.begin()) %
                             int(formats.size()));
  const auto& breaks = SaveLineBreaks();
  for (TZarvLineBreak b : breaks)
    fBreak->addItem(LineBreakLabel(b));
  fBreak->setCurrentIndex(int(std::find(breaks.begin(), breaks.end(), lineBreak) - breaks.begin()) %
                          int(breaks.size()));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* form = new QFormLayout(this);
  form->addRow(tr("&Encoding:"), fEncoding);
  form->addRow(tr("&Line break:"), fBreak);
  form->addRow(buttons);
}

TzvsTextFormat TSaveOptionsDialog::Format() const { return SaveFormats()[size_t(fEncoding->currentIndex())]; }

TZarvLineBreak TSaveOptionsDialog::LineBreak() const { return SaveLineBreaks()[size_t(fBreak->currentIndex())]; }

} // namespace zarv::pad
