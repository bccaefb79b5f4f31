// Free functions over TRegExpr. RegExprSubExpressions scans the pattern on
// its own, without compiling it, so that an editor can show the groups of a
// pattern that does not compile yet.
#include <ZarvMemo/regex/RegExpr.h>
#include <ZarvMemo/regex/RegExprFunctions.h>

#include <ZarvMemo/platform/Strings.h>

#include <cstdint>
#include <vector>

namespace zarv {

bool ExecRegExpr(const QString& ARegExpr, const QString& AInputStr) {
  TRegExpr r;
  r.SetExpression(ARegExpr);
  return r.Exec(AInputStr);
}

void SplitRegExpr(const QString& ARegExpr, const QString& AInputStr, TStrings& APieces) {
  APieces.Clear();
  TRegExpr r;
  r.SetExpression(ARegExpr);
  r.Split(AInputStr, APieces);
}

QString ReplaceRegExpr(const QString& ARegExpr, const QString& AInputStr, const QString& AReplaceStr,
                       bool AUseSubstitution) {
  TRegExpr r;
  r.SetExpression(ARegExpr);
  return r.Replace(AInputStr, AReplaceStr, AUseSubstitution);
}

QString QuoteRegExprMetaChars(const QString& AStr) {
  static const QString meta = QStringLiteral("^$.[()|?+*\\{]}");
  QString out;
  out.reserve(AStr.size() * 2);
  for (QChar c : AStr) {
    if (meta.contains(c))
      out += QLatin1Char('\\');
    out += c;
  }
  return out;
}

namespace {

// Index of the "]" closing the set whose "[" is at i, or -1.
qsizetype SetEnd(const QString& s, qsizetype i) {
  qsizetype j = i + 1;
  if (j < s.size() && s[j] == u'^')
    ++j;
  if (j < s.size() && s[j] == u']')
    ++j;
  for (; j < s.size(); ++j) {
    if (s[j] == u'\\')
      ++j;
    else if (s[j] == u']')
      return j;
  }
  return -1;
}

} // namespace

int32_t RegExprSubExpressions(const QString& ARegExpr, TStrings& ASubExprs, bool AExtendedSyntax) {
  ASubExprs.Clear();
  const QString& s = ARegExpr;
  const qsizetype n = s.size();
  bool extended = AExtendedSyntax;
  std::vector<std::pair<int32_t, qsizetype>> open; // item index, position of "("
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = s[i];
    if (c == u'\\') {
      ++i;
    } else if (c == u'[') {
      const qsizetype close = SetEnd(s, i);
      if (close < 0)
        return -int32_t(i + 2);
      i = close;
    } else if (extended && c == u'#') {
      while (i + 1 < n && s[i + 1] != u'\r' && s[i + 1] != u'\n')
        ++i;
    } else if (c == u'(' && i + 1 < n && s[i + 1] == u'?') {
      // Not a group; modifiers in it may switch the extended syntax.
      const qsizetype close = s.indexOf(u')', i);
      if (close < 0)
        return -1;
      if (i + 2 < n && s[i + 2] != u'#') {
        bool on = true;
        for (qsizetype j = i + 2; j < close; ++j) {
          if (s[j] == u'-')
            on = false;
          else if (s[j] == u'x' || s[j] == u'X')
            extended = on;
        }
      }
      i = close;
    } else if (c == u'(') {
      open.emplace_back(ASubExprs.Add(QString()), i);
    } else if (c == u')') {
      if (open.empty())
        return int32_t(i + 1);
      const auto [item, start] = open.back();
      open.pop_back();
      ASubExprs.Put(item, s.mid(start + 1, i - start - 1));
      const intptr_t where = intptr_t(start + 1) + intptr_t(i - start + 1) * 65536;
      ASubExprs.PutObject(item, reinterpret_cast<void*>(where));
    }
  }
  return open.empty() ? 0 : -1;
}

} // namespace zarv
