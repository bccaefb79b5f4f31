// Texts with the caret and the selection marked in them, as the editing
// and key tests write their cases: '|' the caret; "[..]" a selection with
// the caret at its end, "{..}" one with the caret at its start. Breaks are
// written \n and become CR LF.
#pragma once

#include <QString>
#include <cstdint>

namespace zarv::test {

struct TMarked {
  QString Text;
  int32_t Caret = -1, Anchor = -1;
};

inline TMarked Parse(QString s) {
  s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  TMarked m;
  int32_t a = -1, b = -1;
  bool caretFirst = false;
  for (QChar c : s) {
    const int32_t at = int32_t(m.Text.size());
    if (c == QLatin1Char('|'))
      m.Caret = at;
    else if (c == QLatin1Char('[') || c == QLatin1Char('{'))
      a = at, caretFirst = c == QLatin1Char('{');
    else if (c == QLatin1Char(']') || c == QLatin1Char('}'))
      b = at;
    else
      m.Text += c;
  }
  if (a >= 0) {
    m.Caret = caretFirst ? a : b;
    m.Anchor = caretFirst ? b : a;
  }
  return m;
}

inline TMarked Parse(const char* utf8) { return Parse(QString::fromUtf8(utf8)); }

} // namespace zarv::test
