// Text form of a paragraph store. Fields that hold no information for a
// record (keys above its level, colours of a run without attributes) are
// left out, so that dumps compare what the store means, not stale bytes.
#include <ZarvMemo/support/store/StoreDump.h>

#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QStringList>

namespace zarv {

namespace {

QString hex(uint32_t v) { return QStringLiteral("0x%1").arg(v, 0, 16); }

QString visibleText(const TParagraphsList& L, int32_t p) {
  const QString s = L.ParString(p);
  QString out;
  out.reserve(s.size() + 2);
  for (QChar c : s) {
    if (c.unicode() < 32 || c == QLatin1Char('\\') || c == QLatin1Char('"'))
      out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    else
      out += c;
  }
  return out;
}

QString color(TColor c) {
  return c == clDefault ? QStringLiteral("def") : c == clNone ? QStringLiteral("none") : hex(uint32_t(c));
}

} // namespace

QString DumpCode(const DynInfoRec& d, bool withOffset) {
  QString out = withOffset ? QStringLiteral("@%1 ").arg(d.DynOffset) : QString();
  out += QStringLiteral("s=%1").arg(hex(d.DynStyle));
  if (!(d.DynStyle & dsHasAttrib))
    return out;
  out += QStringLiteral(" ctx=%1 bg=%2 fg=%3 cur=%4 cl=%5/%6")
             .arg(d.Context)
             .arg(color(d.Backgnd), color(d.Foregnd))
             .arg(d.Cursor)
             .arg(d.CollpsLevel)
             .arg(d.CollpsState);
  if (d.DynStyle & dsHasLevel) {
    out += QStringLiteral(" lvl=%1").arg(d.Level);
    if (d.Level >= 0 && d.Level < 16) {
      QStringList keys;
      for (int l = 0; l <= d.Level; ++l)
        keys << QString::number(d.KeyIndex[l]);
      out += QStringLiteral(" keys=[%1]").arg(keys.join(QLatin1Char(',')));
    }
    out += QStringLiteral(" klen=%1/%2").arg(d.SS.StartKlen).arg(d.SS.StopKLen);
  }
  return out;
}

QString DumpStore(const TParagraphsList& L, TDumpParts parts, int32_t first, int32_t last) {
  if (last < 0 || last >= L.Count())
    last = L.Count() - 1;
  QString out;
  for (int32_t p = std::max(0, first); p <= last; ++p) {
    const ParInfo& par = *L.Par(p);
    out += QStringLiteral("P%1").arg(p);
    if (parts & dpText)
      out += QStringLiteral(" \"%1\"").arg(visibleText(L, p));
    if (parts & dpStates)
      out += QStringLiteral(" fmt=%1 ss=%2 kw=%3")
                 .arg(int(bool(par.ParState & zvpFormatted)))
                 .arg(int(bool(par.ParState & zvpSSDone)))
                 .arg(int(bool(par.ParState & zvpKeywDone)));
    if (parts & dpBlocks)
      out += QStringLiteral(" level=%1 start=%2 end=%3 collapsed=%4%5%6")
                 .arg(zvsGetParLevel(par))
                 .arg(zvsGetParBlockStartLevel(par))
                 .arg(zvsGetParBlockEndLevel(par))
                 .arg(hex((zvsGetParBlocksCollapsed(par) << 1) | ((par.BlockState & zvbCollapsed) ? 1u : 0u)))
                 .arg((par.ParState & zvpHidden) ? QStringLiteral(" hidden") : QString())
                 .arg(QStringLiteral(" line=%1").arg(par.StartLine));
    out += QLatin1Char('\n');
    if (parts & dpCodes) {
      out += QStringLiteral("  start ") + DumpCode(*GetStartDynAttrib(par), false) + QLatin1Char('\n');
      for (const DynInfoRec& d : GetDynArray(par))
        out += QStringLiteral("  ") + DumpCode(d) + QLatin1Char('\n');
    }
    if (parts & dpLines)
      for (int32_t i = 0; i < GetLineCount(par); ++i) {
        const LineInfo l = GetParLine(par, i);
        out += QStringLiteral("  line %1: %2..%3 w=%4/%5 spaces=%6 justify=%7\n")
                   .arg(i)
                   .arg(l.Start)
                   .arg(l.Stop)
                   .arg(l.LineWidth)
                   .arg(l.TotalWidth)
                   .arg(l.Spaces)
                   .arg(l.JustifyStart);
      }
  }
  return out;
}

QString FirstDifference(const QString& a, const QString& b) {
  if (a == b)
    return {};
  const QStringList la = a.split(QLatin1Char('\n')), lb = b.split(QLatin1Char('\n'));
  for (qsizetype i = 0; i < std::max(la.size(), lb.size()); ++i) {
    const QString x = i < la.size() ? la[i] : QStringLiteral("<end>");
    const QString y = i < lb.size() ? lb[i] : QStringLiteral("<end>");
    if (x != y)
      return QStringLiteral("line %1:\n  %2\n  %3").arg(i + 1).arg(x, y);
  }
  return {};
}

} // namespace zarv
