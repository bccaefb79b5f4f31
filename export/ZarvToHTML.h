// TZarvToHTML: writes an editor control's styled text as HTML.
//
// One output line per paragraph, each ending in <BR>; styles become <B>,
// <I>, <U>, <S> and <FONT> tags, kept in a stack so that only the tags that
// change are closed and opened, always properly nested. A whole-text export
// is a document (doctype, head with the character set and title, body with
// the control's colours, a base font); a selection is a fragment. Text is
// escaped (& < > "), runs of spaces keep their width (&nbsp;), a tab pads
// to the next tab stop (at most kMaxTabPad), controls and unpaired
// surrogates become U+FFFD.
//
// Links: a style run whose context LinkTarget maps to a target becomes an
// <A href> around its text (both escaped; the link is clipped to the range).
// The default mapping follows the URL highlighter's contexts
// (UrlContextLow..UrlContextHigh, a scheme added for the forms without
// one); a highlighter with other contexts installs its own.
#pragma once

#include <ZarvMemo/export/ZarvToFormattedText.h>

namespace zarv {

class TZarvToHTML : public TZarvToFormattedText {
  Q_OBJECT

public:
  explicit TZarvToHTML(QObject* parent = nullptr);

  // The sixteen address forms of the URL highlighter (1024 + entry).
  static constexpr int32_t UrlContextLow = 1024, UrlContextHigh = 1039;
  // The most &nbsp; a tab becomes.
  static constexpr int32_t kMaxTabPad = 32;
  // The target of a run with this context and text, '' for none.
  static QString DefaultLinkTarget(int32_t Context, const QString& Text);
  // Asked only for runs whose context lies in LinkContextLow..High.
  std::function<QString(int32_t Context, const QString& Text)> LinkTarget = DefaultLinkTarget;
  int32_t LinkContextLow = UrlContextLow, LinkContextHigh = UrlContextHigh;

  bool BodyTag = true;     // the <BODY> line (and </BODY> for the whole text)
  bool HeadTag = true;     // <HTML> and <HEAD> for the whole text
  bool UrlsAsATags = true; // links for the runs LinkTarget maps
  QString Title = QStringLiteral("ZarvToHtml view");
  bool BaseFont = true; // a <BASEFONT> line with the control's font
  QString DocType = QStringLiteral("-//W3C//DTD HTML 3.2 Final//EN");
  bool ForceFont = false; // without BaseFont: a <FONT> around the output

  QString ClipboardFormat() const override { return QStringLiteral("text/html"); }
  // The selection as a fragment: no doctype, head or body.
  QByteArray FormatForClipboard() override;
  void AddToMimeData(QMimeData& Mime) override;

protected:
  void getFormattedText(int32_t Start, int32_t Stop, bool Whole, TExportSink& Sink) override;
  bool supportsUtf16() const override { return true; }

private:
  class TWriter;
  bool fFragment = false;
};

} // namespace zarv
