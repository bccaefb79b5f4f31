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
#pragma once

#include <ZarvMemo/export/ZarvToFormattedText.h>

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
