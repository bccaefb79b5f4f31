// TZarvToRTF: writes an editor control's styled text as Rich Text Format.
//
// The document has a font table (the control's font and its alternative
// font), a colour table (the control's text, highlight and window colours,
// then every colour of the range's style runs, each once), one paragraph
// format (alignment and line spacing), and one line per paragraph. Each
// change of the visible style writes a new character format (\plain, font,
// size, bold, italic, underline, strike-out, colours). The output is 7-bit
// ASCII: every character outside printable ASCII is a \uN escape with "?"
// as the fallback for readers without Unicode, and backslash and braces are
// escaped, so no text can end a group or start a control word.
//
// Links: a style run whose context LinkTarget maps to a target becomes a
// HYPERLINK field around its text (the field's result keeps the run's
// format), as the HTML writer makes an <A href>.
#pragma once

#include <ZarvMemo/export/ZarvToFormattedText.h>
#include <ZarvMemo/export/ZarvToHTML.h>

namespace zarv {

class TZarvToRTF : public TZarvToFormattedText {
  Q_OBJECT
  Q_PROPERTY(float RTFLeading READ getRTFLeading WRITE setRTFLeading)

public:
  explicit TZarvToRTF(QObject* parent = nullptr);

  // Line spacing: > 0 inches exactly, < 0 a multiple of single spacing
  // (-1, the default, is single), 0 none written.
  float getRTFLeading() const { return fRTFLeading; }
  void setRTFLeading(float v) { fRTFLeading = v; }

  // The target of a run with this context and text, '' for none; asked
  // only for runs whose context lies in LinkContextLow..High.
  std::function<QString(int32_t Context, const QString& Text)> LinkTarget = TZarvToHTML::DefaultLinkTarget;
  int32_t LinkContextLow = TZarvToHTML::UrlContextLow, LinkContextHigh = TZarvToHTML::UrlContextHigh;
  bool UrlsAsLinks = true;

  // text/rtf; the Windows name travels as Qt's Windows MIME alias beside it.
  QString ClipboardFormat() const override { return QStringLiteral("text/rtf"); }
  static QString WindowsClipboardFormat();
  void AddToMimeData(QMimeData& Mime) override;

protected:
  void getFormattedText(int32_t Start, int32_t Stop, bool Whole, TExportSink& Sink) override;

private:
  class TWriter;
  float fRTFLeading = -1.0f;
};

} // namespace zarv
