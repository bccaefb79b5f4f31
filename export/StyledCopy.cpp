// Styled copying; see StyledCopy.h.
#include <ZarvMemo/export/StyledCopy.h>

#include <ZarvMemo/export/ZarvToHTML.h>
#include <ZarvMemo/export/ZarvToRTF.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QPointer>

namespace zarv {

void EnableStyledCopy(TZarvMemo& Memo) {
  static const char* kName = "zarvStyledCopy";
  if (Memo.findChild<TZarvToRTF*>(QLatin1String(kName), Qt::FindDirectChildrenOnly))
    return;
  auto* rtf = new TZarvToRTF(&Memo);
  rtf->setObjectName(QLatin1String(kName));
  rtf->setZarvMemo(&Memo);
  auto* html = new TZarvToHTML(&Memo);
  html->setZarvMemo(&Memo);
  QPointer<TZarvToRTF> r(rtf);
  QPointer<TZarvToHTML> h(html);
  Memo.OnCopyMimeData = [r, h](TZarvMemo&, QMimeData& mime) {
    if (r)
      r->AddToMimeData(mime);
    if (h)
      h->AddToMimeData(mime);
  };
}

} // namespace zarv
