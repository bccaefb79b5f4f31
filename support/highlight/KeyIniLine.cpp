// Parsing of ini-strings lines.
#include <ZarvMemo/support/highlight/KeyIniLine.h>

#include <ZarvMemo/platform/Exceptions.h>

namespace zarv {

qsizetype KeyIniSeparator(const QString& line) {
  const qsizetype sep = line.lastIndexOf(u'=');
  return sep > 0 ? sep : -1;
}

int32_t zvStrToInt(QStringView s) {
  const auto fail = [&]() -> int32_t {
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(s.toString()));
  };
  qsizetype i = 0;
  while (i < s.size() && (s[i] == u' ' || s[i] == u'\t'))
    ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+'))
    negative = s[i++] == u'-';
  if (i >= s.size())
    return fail();
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    const char16_t c = s[i].unicode();
    if (c < u'0' || c > u'9')
      return fail();
    v = v * 10 + (c - u'0');
    if (v > int64_t(INT32_MAX) + 1)
      return fail();
  }
  if (negative)
    v = -v;
  if (v > INT32_MAX)
    return fail();
  return static_cast<int32_t>(v);
}

int32_t TKeyIniValues::Next() {
  const qsizetype start = std::min(fPos, fLine.size());
  qsizetype end = fLine.indexOf(u',', start);
  if (end < 0)
    end = fLine.size();
  fPos = end + 1;
  return zvStrToInt(QStringView(fLine).sliced(start, end - start));
}

TKeyIniAttributes ReadKeyIniAttributes(TKeyIniValues& values) {
  TKeyIniAttributes a{};
  a.Options = values.Next();
  a.Style = values.Next();
  a.Context = values.Next();
  a.Cursor = values.Next();
  a.Backgnd = values.Next();
  a.Foregnd = values.Next();
  return a;
}

} // namespace zarv
