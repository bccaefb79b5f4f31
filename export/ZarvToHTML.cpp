// The HTML writer; see ZarvToHTML.h.
#include <ZarvMemo/export/ZarvToHTML.h>

#include <ZarvMemo/export/ExportSink.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QHash>
#include <QMimeData>
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace zarv {

namespace {

QString Escaped(const QString& s) { return s.toHtmlEscaped(); }

QString ColourText(QRgb c) { return QStringLiteral("#%1").arg(c & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper(); }

QString SizeText(const QFont& f) {
  if (f.pointSizeF() > 0)
    return QStringLiteral("font-size: %1pt").arg(f.pointSizeF());
  return QStringLiteral("font-size: %1px").arg(f.pixelSize());
}

enum TKind : uint8_t { kBold, kItalic, kUnder, kStrike, kColour, kFace };

} // namespace

TZarvToHTML::TZarvToHTML(QObject* parent) : TZarvToFormattedText(parent) {}

QString TZarvToHTML::DefaultLinkTarget(int32_t Context, const QString& Text) {
  if (Context < UrlContextLow || Context > UrlContextHigh || Text.isEmpty())
    return {};
  switch (Context - UrlContextLow - 1) {
  case 0:
    return QStringLiteral("http://") + Text;
  case 2:
    return QStringLiteral("mailto:") + Text;
  case 6:
    return QStringLiteral("ftp://") + Text;
  case 8:
    return QStringLiteral("gopher://") + Text;
  default:
    return Text;
  }
}

QByteArray TZarvToHTML::FormatForClipboard() {
  const bool old = fFragment;
  fFragment = true;
  try {
    QByteArray b = TZarvToFormattedText::FormatForClipboard();
    fFragment = old;
    return b;
  } catch (...) {
    fFragment = old;
    throw;
  }
}

void TZarvToHTML::AddToMimeData(QMimeData& Mime) {
  const QByteArray data = FormatForClipboard();
  if (!data.isEmpty())
    Mime.setHtml(QString::fromUtf8(data));
}

class TZarvToHTML::TWriter : public TZarvToFormattedText::TWalker {
public:
  TWriter(TZarvToHTML& owner, TExportSink& sink) : O(owner), S(sink) {
    const int ts = O.memo().getTabStops();
    fTab = ts > 0 ? std::min(ts, kMaxTabPad) : 8;
  }

  void line(const QString& s) {
    S.Append(s);
    S.EndLine();
  }

  void fontTag(const QString& tag, bool dropFontWord) {
    TZarvMemo& m = O.memo();
    QString s = tag + QStringLiteral(" FACE=\"%1\" STYLE=\"color: %2; %3\">")
                          .arg(Escaped(m.font().family()), ColourText(O.rgbOf(clWindowText)), SizeText(m.font()));
    Q_UNUSED(dropFontWord);
    line(s);
  }

  void begin(bool whole, bool fragment) {
    TZarvMemo& m = O.memo();
    if (fragment) {
      line(QStringLiteral("<META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"));
    } else {
      if (whole && !O.DocType.isEmpty())
        line(QStringLiteral("<!DOCTYPE HTML PUBLIC \"%1\">").arg(Escaped(O.DocType)));
      if (whole && O.HeadTag) {
        line(QStringLiteral("<HTML>"));
        line(QStringLiteral("<HEAD>"));
      }
      if (whole && O.ToDevice())
        line(QStringLiteral("<META http-equiv=\"Content-Type\" content=\"text/html; charset=%1\">")
                 .arg(O.UTF8Output() ? QStringLiteral("utf-8") : QStringLiteral("utf-16")));
      if (whole && !O.Title.isEmpty())
        line(QStringLiteral("<TITLE>") + Escaped(O.Title) + QStringLiteral("</TITLE>"));
      if (whole && O.HeadTag)
        line(QStringLiteral("</HEAD>"));
      if (O.BodyTag)
        line(QStringLiteral("<BODY BGCOLOR=\"%1\" TEXT=\"%2\">")
                 .arg(ColourText(O.rgbOf(clWindow)), ColourText(O.rgbOf(clWindowText))));
      if (O.BaseFont)
        fontTag(QStringLiteral("<BASEFONT"), true);
    }
    const char* align = m.getAlignment() == taRightJustify ? "RIGHT" : m.getAlignment() == taCenter ? "CENTER" : "LEFT";
    line(QStringLiteral("<DIV ALIGN=\"%1\">").arg(QLatin1String(align)));
    fFontWrap = fragment || (!O.BaseFont && O.ForceFont);
    if (fFontWrap)
      fontTag(QStringLiteral("<FONT"), false);
  }

  void end(bool whole, bool fragment) {
    const bool pending = fInLink || !fStack.empty() || fFontWrap;
    closeLink();
    closeTo(0);
    if (fFontWrap)
      S.Append(QLatin1StringView("</FONT>"));
    if (pending)
      S.EndLine();
    line(QStringLiteral("</DIV>"));
    if (whole && !fragment && O.BodyTag)
      line(QStringLiteral("</BODY>"));
    if (whole && !fragment && O.HeadTag)
      line(QStringLiteral("</HTML>"));
  }

  void beginParagraph(int32_t, bool) override { fCol = 0; }

  void run(const TExportRun& r) override {
    link(r);
    style(r);
    text(r);
  }

  void endParagraph(bool) override {
    closeLink(); // a link never runs on past its paragraph
    S.Append(QLatin1StringView("<BR>"));
    S.EndLine();
  }

private:
  QString linkTarget(const TExportRun& r) const {
    if (!O.UrlsAsATags || !O.LinkTarget || r.Context < O.LinkContextLow || r.Context > O.LinkContextHigh)
      return {};
    QString t = QString::fromUtf16(r.Text + r.DynFrom, r.DynTo - r.DynFrom);
    if (O.memo().getStaticFormat())
      t.removeIf([](QChar c) { return IsStyleCode(c.unicode()); });
    return O.LinkTarget(r.Context, t);
  }

  void closeLink() {
    if (!fInLink)
      return;
    closeTo(0);
    S.Append(QLatin1StringView("</A>"));
    fInLink = false;
  }

  // A link is opened and closed outside every style tag, so that the tags
  // nest whatever the runs inside it do.
  void link(const TExportRun& r) {
    if (fInLink && r.DynFrom == fLinkFrom && r.Context == fLinkContext)
      return;
    closeLink();
    if (r.Context < O.LinkContextLow || r.Context > O.LinkContextHigh)
      return;
    const QString target = linkTarget(r);
    if (target.isEmpty())
      return;
    closeTo(0);
    S.Append(QLatin1StringView("<A href=\""));
    S.Append(Escaped(target));
    S.Append(QLatin1StringView("\">"));
    fInLink = true;
    fLinkFrom = r.DynFrom;
    fLinkContext = r.Context;
  }

  void closeTo(size_t depth) {
    while (fStack.size() > depth) {
      S.Append(QLatin1StringView(fStack.back() >= kColour ? "</FONT>" : closing[fStack.back()]));
      fStack.pop_back();
    }
  }

  void open(uint8_t kind, const TExportRun& r) {
    fStack.push_back(kind);
    if (kind < kColour) {
      S.Append(QLatin1StringView(opening[kind]));
    } else if (kind == kColour) {
      S.Append(colourTag(r.Fore, r.Back));
    } else {
      const QFont f = O.memo().getAltFont();
      S.Append(QStringLiteral("<FONT FACE=\"%1\" STYLE=\"%2\">").arg(Escaped(f.family()), SizeText(f)));
    }
  }

  // The opening colour tag, made once per pair of colours.
  const QString& colourTag(TColor fore, TColor back) {
    const quint64 key = (quint64(quint32(fore)) << 32) | quint32(back);
    auto it = fColourTags.find(key);
    if (it != fColourTags.end())
      return *it;
    QStringList parts;
    if (fore != clNone)
      parts << QStringLiteral("color: ") + ColourText(O.rgbOf(fore));
    if (back != clNone)
      parts << QStringLiteral("background-color: ") + ColourText(O.rgbOf(back));
    return *fColourTags.insert(key, QStringLiteral("<FONT STYLE=\"") + parts.join(QLatin1String("; ")) +
                                        QStringLiteral("\">"));
  }

  void style(const TExportRun& r) {
    const uint8_t want = (r.Style & (fsBold | fsItalic | fsUnderline | fsStrikeOut)) |
                         ((r.Fore != clNone || r.Back != clNone) ? 1 << kColour : 0) |
                         ((r.Style & fsAltFont) ? 1 << kFace : 0);
    const bool colourChanged = r.Fore != fFore || r.Back != fBack;
    size_t keep = 0;
    while (keep < fStack.size() && (want & (1 << fStack[keep])) && !(fStack[keep] == kColour && colourChanged))
      ++keep;
    closeTo(keep);
    uint8_t have = 0;
    for (uint8_t k : fStack)
      have |= uint8_t(1 << k);
    fFore = r.Fore;
    fBack = r.Back;
    for (uint8_t k = 0; k <= kFace; ++k)
      if ((want & (1 << k)) && !(have & (1 << k)))
        open(k, r);
  }

  // Characters that are not copied as they are: markup, quotes, tabs,
  // controls, surrogates, and spaces that would collapse (first in the
  // line, last, or followed by a blank).
  bool special(const char16_t* t, int32_t i, int32_t stop) const {
    static constexpr auto kTable = [] {
      std::array<bool, 128> a{};
      for (int c = 0; c < 0x20; ++c)
        a[c] = true;
      a[0x7F] = a[u'&'] = a[u'<'] = a[u'>'] = a[u'"'] = true;
      return a;
    }();
    const char16_t c = t[i];
    if (c == u' ')
      return fCol == 0 || i + 1 >= stop || t[i + 1] == u' ' || t[i + 1] == u'\t';
    return c < 128 ? kTable[c] : QChar::isSurrogate(c);
  }

  void text(const TExportRun& r) {
    const char16_t* t = r.Text;
    int32_t i = r.From;
    while (i < r.To) {
      int32_t j = i;
      while (j < r.To && !special(t, j, r.Stop)) {
        ++j;
        ++fCol; // a space is special at column 0 only
      }
      if (j > i)
        S.Append(QStringView(t + i, j - i));
      if (j >= r.To)
        return;
      escape(t, j, r.Stop);
      i = j + 1;
    }
  }

  void escape(const char16_t* t, int32_t i, int32_t stop) {
    const char16_t c = t[i];
    ++fCol;
    switch (c) {
    case u'&':
      return S.Append(QLatin1StringView("&amp;"));
    case u'<':
      return S.Append(QLatin1StringView("&lt;"));
    case u'>':
      return S.Append(QLatin1StringView("&gt;"));
    case u'"':
      return S.Append(QLatin1StringView("&quot;"));
    case u' ':
      return S.Append(QLatin1StringView("&nbsp;"));
    case u'\t': {
      const int32_t pad = fTab - (fCol - 1) % fTab;
      for (int32_t k = 0; k < pad; ++k)
        S.Append(QLatin1StringView("&nbsp;"));
      fCol += pad - 1;
      return;
    }
    default:
      break;
    }
    if (QChar::isHighSurrogate(c) && i + 1 < stop && QChar::isLowSurrogate(t[i + 1]))
      return S.Append(c);
    if (QChar::isLowSurrogate(c) && i > 0 && QChar::isHighSurrogate(t[i - 1]))
      return S.Append(c);
    S.Append(char16_t(0xFFFD)); // controls, NUL and unpaired surrogates
  }

  static constexpr const char* opening[4] = {"<B>", "<I>", "<U>", "<S>"};
  static constexpr const char* closing[4] = {"</B>", "</I>", "</U>", "</S>"};

  TZarvToHTML& O;
  TExportSink& S;
  std::vector<uint8_t> fStack; // open tag kinds, outermost first
  QHash<quint64, QString> fColourTags;
  TColor fFore = clNone, fBack = clNone;
  int32_t fTab = 8, fCol = 0;
  bool fFontWrap = false, fInLink = false;
  int32_t fLinkFrom = -1, fLinkContext = 0;
};

void TZarvToHTML::getFormattedText(int32_t Start, int32_t Stop, bool Whole, TExportSink& Sink) {
  prepareRange(Start, Stop);
  TWriter w(*this, Sink);
  w.begin(Whole, fFragment);
  w.run(styleAt(Start));
  walk(Start, Stop, w);
  w.end(Whole, fFragment);
}

} // namespace zarv
