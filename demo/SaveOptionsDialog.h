// The second step of Save As: the encoding and the line break the file is
// written with. It opens on the document's current format, so pressing OK
// keeps the file as it was loaded.
#pragma once

#include <ZarvMemo/memo/ZarvMemoTypes.h>
#include <ZarvMemo/support/store/TextEncoding.h>

#include <QDialog>

class QComboBox;

namespace zarv::pad {

class TSaveOptionsDialog : public QDialog {
  Q_OBJECT
public:
  TSaveOptionsDialog(TzvsTextFormat format, TZarvLineBreak lineBreak, QWidget* parent = nullptr);

  TzvsTextFormat Format() const;
  TZarvLineBreak LineBreak() const;

private:
  QComboBox* fEncoding = nullptr;
  QComboBox* fBreak = nullptr;
};

} // namespace zarv::pad
