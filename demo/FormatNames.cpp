// Labels and choice lists of encodings and line breaks.
#include "FormatNames.h"

namespace zarv::pad {

QString FormatLabel(TzvsTextFormat format) {
  QString name;
  switch (format.Encoding) {
  case TzvsEncoding::Ansi:
    return QStringLiteral("8-bit"); // no byte-order mark exists for it
  case TzvsEncoding::Utf8:
    name = QStringLiteral("UTF-8");
    break;
  case TzvsEncoding::Utf16LE:
    name = QStringLiteral("UTF-16 LE");
    break;
  case TzvsEncoding::Utf16BE:
    name = QStringLiteral("UTF-16 BE");
    break;
  }
  return format.Bom ? name + QStringLiteral(" BOM") : name;
}

QString LineBreakLabel(TZarvLineBreak lineBreak) {
  switch (lineBreak) {
  case zbCRLF:
    return QStringLiteral("CR LF");
  case zbLFCR:
    return QStringLiteral("LF CR");
  case zbCR:
    return QStringLiteral("CR");
  case zbLF:
    return QStringLiteral("LF");
  }
  return QStringLiteral("?");
}

const std::vector<TzvsTextFormat>& SaveFormats() {
  static const std::vector<TzvsTextFormat> formats = {{TzvsEncoding::Utf8, false},    {TzvsEncoding::Utf8, true},
                                                      {TzvsEncoding::Utf16LE, true},  {TzvsEncoding::Utf16BE, true},
                                                      {TzvsEncoding::Utf16LE, false}, {TzvsEncoding::Utf16BE, false},
                                                      {TzvsEncoding::Ansi, false}};
  return formats;
}

const std::vector<TZarvLineBreak>& SaveLineBreaks() {
  static const std::vector<TZarvLineBreak> breaks = {zbCRLF, zbLF, zbCR, zbLFCR};
  return breaks;
}

} // namespace zarv::pad
