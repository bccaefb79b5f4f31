// Choosing where the address and quote highlighters sit in the chain.
#include "ZarvPadLinks.h"

#include <ZarvMemo/highlighters/CustomExtHighlighter.h>
#include <ZarvMemo/highlighters/EmailHighlighter.h>
#include <ZarvMemo/highlighters/URLHighlighter.h>
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QFileInfo>

namespace zarv::pad {

namespace {

TURLHighlighter& Links(QObject& owner) {
  auto* url = owner.findChild<TURLHighlighter*>(QStringLiteral("padLinks"), Qt::FindDirectChildrenOnly);
  if (!url) {
    url = new TURLHighlighter(&owner);
    url->setObjectName(QStringLiteral("padLinks"));
    // In comments and strings too; a plain click keeps moving the caret.
    url->setPriority(true);
    url->LaunchModifiers = Qt::ControlModifier;
  }
  return *url;
}

TEmailHighlighter& Quotes(QObject& owner) {
  auto* mail = owner.findChild<TEmailHighlighter*>(QStringLiteral("padQuotes"), Qt::FindDirectChildrenOnly);
  if (!mail) {
    mail = new TEmailHighlighter(&owner);
    mail->setObjectName(QStringLiteral("padQuotes"));
  }
  return *mail;
}

} // namespace

bool IsMailText(const QString& fileName, const TZarvMemo& memo) {
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  if (suffix == QLatin1String("eml"))
    return true;
  if (suffix != QLatin1String("txt"))
    return false;
  const TParagraphsList& L = memo.Paragraphs();
  for (int32_t p = 0; p < std::min<int32_t>(L.Count(), 500); ++p) {
    const ParInfo& par = *L.Par(p);
    if (GetParLength(par) > 0 && par.ParText[0] == u'>')
      return true;
  }
  return false;
}

void AttachLinks(TZarvMemo& memo, QObject& owner, const QString& fileName) {
  TURLHighlighter& url = Links(owner);
  TEmailHighlighter& mail = Quotes(owner);
  if (IsMailText(fileName, memo)) {
    mail.setSubHighlighter(&url);
    memo.setHighlighter(&mail);
    return;
  }
  auto* language = qobject_cast<TCustomExtHighlighter*>(memo.Highlighter());
  if (language && language != &mail) {
    if (language->getSubHighlighter() != &url)
      language->setSubHighlighter(&url);
    return;
  }
  memo.setHighlighter(&url);
}

} // namespace zarv::pad
