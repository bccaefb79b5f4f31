// Shared helpers of the exporter tests: a control with text and runs, and
// exports to memory.
#pragma once

#include <ZarvMemo/export/ZarvToHTML.h>
#include <ZarvMemo/export/ZarvToRTF.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QBuffer>
#include <QString>
#include <memory>

namespace zarv::test {

inline std::unique_ptr<TZarvMemo> MemoWith(const QString& text) {
  auto m = std::make_unique<TZarvMemo>();
  m->resize(400, 300);
  m->SetTextBuf(text);
  return m;
}

// The exporter's output to a device, as bytes.
inline QByteArray Export(TZarvToFormattedText& x, TZarvMemo& m, bool utf8 = true, bool bom = false) {
  x.setZarvMemo(&m);
  QBuffer b;
  b.open(QIODevice::WriteOnly);
  x.SaveToStream(b, utf8, bom);
  return b.data();
}

inline QByteArray Rtf(TZarvMemo& m) {
  TZarvToRTF x;
  return Export(x, m);
}

inline QString Html(TZarvMemo& m) {
  TZarvToHTML x;
  return QString::fromUtf8(Export(x, m));
}

// The text of the document after the header lines (the paragraphs).
inline QString HtmlBody(const QString& html) {
  const qsizetype a = html.indexOf(QLatin1String("<DIV"));
  const qsizetype b = html.indexOf(u'\n', a) + 1;
  return html.mid(b, html.lastIndexOf(QLatin1String("</DIV>")) - b);
}

} // namespace zarv::test
