// The RTF writer; see ZarvToRTF.h.
#include <ZarvMemo/export/ZarvToRTF.h>

#include <ZarvMemo/export/ExportSink.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QHash>
#include <QMimeData>
#include <charconv>
#include <cmath>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace zarv {

namespace {

void AppendInt(TExportSink& s, int64_t v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  s.Append(QLatin1StringView(buf, r.ptr - buf));
}

// Half-points of a font; pixel-sized fonts count 0.75 pt a pixel.
int64_t HalfPoints(const QFont& f) {
  const double pt = f.pointSizeF() > 0 ? f.pointSizeF() : std::max(1, f.pixelSize()) * 0.75;
  return std::max<int64_t>(2, std::llround(pt * 2));
}

// One UTF-16 unit as \uN with a "?" fallback (N signed, as readers expect).
void AppendUnicode(TExportSink& s, char16_t c) {
  s.Append(QLatin1StringView("\\u"));
  AppendInt(s, static_cast<int16_t>(c));
  s.Append(u'?');
}

bool IsPlain(char16_t c) { return c >= 0x20 && c < 0x7F && c != u'\\' && c != u'{' && c != u'}'; }

// Writes t[from..to) escaped; stop bounds the look-ahead for surrogate pairs.
void AppendText(TExportSink& s, const char16_t* t, int32_t from, int32_t to, int32_t stop) {
  int32_t i = from;
  while (i < to) {
    int32_t j = i;
    while (j < to && IsPlain(t[j]))
      ++j;
    if (j > i)
      s.Append(QStringView(t + i, j - i));
    if (j >= to)
      return;
    const char16_t c = t[j];
    if (c == u'\\' || c == u'{' || c == u'}') {
      s.Append(u'\\');
      s.Append(c);
    } else if (c == u'\t') {
      s.Append(QLatin1StringView("\\tab "));
    } else if (c == 12) {
      s.Append(QLatin1StringView("\\page "));
    } else if (c < 0x20 || c == 0x7F) {
      AppendUnicode(s, 0xFFFD); // controls (NUL included) have no RTF form
    } else if (QChar::isHighSurrogate(c)) {
      const bool paired = j + 1 < stop && QChar::isLowSurrogate(t[j + 1]);
      AppendUnicode(s, paired ? c : char16_t(0xFFFD));
    } else if (QChar::isLowSurrogate(c)) {
      const bool paired = j > 0 && QChar::isHighSurrogate(t[j - 1]);
      AppendUnicode(s, paired ? c : char16_t(0xFFFD));
    } else {
      AppendUnicode(s, c);
    }
    i = j + 1;
  }
}

// A font name inside the font table: escaped, without the ";" that ends it.
void AppendFontName(TExportSink& s, QString name) {
  name.remove(u';');
  if (name.isEmpty())
    name = QStringLiteral("Courier New");
  AppendText(s, reinterpret_cast<const char16_t*>(name.utf16()), 0, int32_t(name.size()), int32_t(name.size()));
}

} // namespace

TZarvToRTF::TZarvToRTF(QObject* parent) : TZarvToFormattedText(parent) {}

QString TZarvToRTF::WindowsClipboardFormat() {
  return QStringLiteral("application/x-qt-windows-mime;value=\"Rich Text Format\"");
}

void TZarvToRTF::AddToMimeData(QMimeData& Mime) {
  const QByteArray data = FormatForClipboard();
  if (data.isEmpty())
    return;
  Mime.setData(ClipboardFormat(), data);
  Mime.setData(WindowsClipboardFormat(), data);
}

// The per-export state: colour table and the character format in force.
class TZarvToRTF::TWriter : public TZarvToFormattedText::TWalker {
public:
  TWriter(TZarvToRTF& owner, TExportSink& sink) : O(owner), S(sink) {}

  void header(int32_t start, int32_t stop) {
    TZarvMemo& m = O.memo();
    fBaseSize = HalfPoints(m.font());
    fAltSize = HalfPoints(m.getAltFont());
    S.Append(QLatin1StringView("{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0\\deftab720{\\fonttbl{\\f0\\fnil "));
    AppendFontName(S, m.font().family());
    S.Append(QLatin1StringView(";}{\\f1\\fnil "));
    AppendFontName(S, m.getAltFont().family());
    S.Append(QLatin1StringView(";}}"));
    S.EndLine();
    addColour(clWindowText);
    addColour(m.getHighlightColor());
    addColour(clWindow);
    addColour(m.getHighlightBackgnd());
    O.forEachRunColour(start, stop, [this](TColor c) { addColour(c); });
    S.Append(QLatin1StringView("{\\colortbl"));
    S.EndLine();
    for (QRgb c : fTable) {
      S.Append(QLatin1StringView("\\red"));
      AppendInt(S, qRed(c));
      S.Append(QLatin1StringView("\\green"));
      AppendInt(S, qGreen(c));
      S.Append(QLatin1StringView("\\blue"));
      AppendInt(S, qBlue(c));
      S.Append(u';');
    }
    S.Append(u'}');
    paragraphFormat();
    style(O.styleAt(start));
    S.EndLine();
  }

  void beginParagraph(int32_t, bool First) override {
    if (!First)
      S.Append(QLatin1StringView("\\par "));
  }
  void run(const TExportRun& r) override {
    link(r);
    style(r);
    AppendText(S, r.Text, r.From, r.To, r.Stop);
  }
  void endParagraph(bool) override {
    closeLink(); // a link never runs on past its paragraph
    S.EndLine();
  }

private:
  QString linkTarget(const TExportRun& r) const {
    if (!O.UrlsAsLinks || !O.LinkTarget || r.Context < O.LinkContextLow || r.Context > O.LinkContextHigh)
      return {};
    QString t = QString::fromUtf16(r.Text + r.DynFrom, r.DynTo - r.DynFrom);
    if (O.memo().getStaticFormat())
      t.removeIf([](QChar c) { return IsStyleCode(c.unicode()); });
    return O.LinkTarget(r.Context, t);
  }

  // The field is a group: the format written inside it ends with it, so
  // the format in force before it is the one in force after it.
  void link(const TExportRun& r) {
    if (fInLink && r.DynFrom == fLinkFrom && r.Context == fLinkContext)
      return;
    closeLink();
    QString target = linkTarget(r);
    if (target.isEmpty())
      return;
    target.replace(u'"', QLatin1StringView("%22")); // the instruction quotes it
    S.Append(QLatin1StringView("{\\field{\\*\\fldinst{HYPERLINK \""));
    AppendText(S, reinterpret_cast<const char16_t*>(target.utf16()), 0, int32_t(target.size()), int32_t(target.size()));
    S.Append(QLatin1StringView("\"}}{\\fldrslt{"));
    fInLink = true;
    fLinkFrom = r.DynFrom;
    fLinkContext = r.Context;
    fOuter = {fHaveStyle, fStyle, fFore, fBack};
  }

  void closeLink() {
    if (!fInLink)
      return;
    S.Append(QLatin1StringView("}}}"));
    fInLink = false;
    std::tie(fHaveStyle, fStyle, fFore, fBack) = fOuter;
  }

  void addColour(TColor c) {
    const QRgb rgb = O.rgbOf(c) & 0xFFFFFF;
    if (!fIndex.contains(rgb)) {
      fIndex.insert(rgb, int32_t(fTable.size()));
      fTable.push_back(rgb);
    }
  }
  int32_t indexOf(TColor c) {
    auto it = fByColour.constFind(c);
    if (it != fByColour.cend())
      return *it;
    const int32_t i = fIndex.value(O.rgbOf(c) & 0xFFFFFF, 0);
    fByColour.insert(c, i);
    return i;
  }

  void paragraphFormat() {
    TZarvMemo& m = O.memo();
    if (m.getJustified())
      S.Append(QLatin1StringView("\\pard\\qj"));
    else if (m.getAlignment() == taRightJustify)
      S.Append(QLatin1StringView("\\pard\\qr"));
    else if (m.getAlignment() == taCenter)
      S.Append(QLatin1StringView("\\pard\\qc"));
    else
      S.Append(QLatin1StringView("\\pard\\ql"));
    const double l = O.getRTFLeading();
    if (l > 0) {
      S.Append(QLatin1StringView("\\sl"));
      AppendInt(S, std::lrint(l * 1440));
    } else if (l < 0) {
      S.Append(QLatin1StringView("\\sl"));
      AppendInt(S, std::lrint(-l * 240));
      S.Append(QLatin1StringView("\\slmult1"));
    }
  }

  // Writes the character format of r when it differs from the one in force;
  // each format's text is built once per export.
  void style(const TExportRun& r) {
    if (fHaveStyle && r.Style == fStyle && r.Fore == fFore && r.Back == fBack)
      return;
    fHaveStyle = true;
    fStyle = r.Style;
    fFore = r.Fore;
    fBack = r.Back;
    const TFormatKey key{r.Style, r.Fore, r.Back};
    auto it = fFormats.find(key);
    if (it == fFormats.end())
      it = fFormats.emplace(key, formatText(r)).first;
    S.Append(QStringView(it->second));
  }

  QString formatText(const TExportRun& r) {
    QString f = QStringLiteral("\\plain");
    f += QLatin1StringView(r.Style & fsAltFont ? "\\f1\\fs" : "\\f0\\fs");
    f += QString::number(r.Style & fsAltFont ? fAltSize : fBaseSize);
    if (r.Style & fsBold)
      f += QLatin1StringView("\\b");
    if (r.Style & fsItalic)
      f += QLatin1StringView("\\i");
    if (r.Style & fsUnderline)
      f += QLatin1StringView("\\ul");
    if (r.Style & fsStrikeOut)
      f += QLatin1StringView("\\strike");
    f += QLatin1StringView("\\cf") + QString::number(r.Fore == clNone ? 0 : indexOf(r.Fore));
    if (r.Back != clNone)
      f += QLatin1StringView("\\highlight") + QString::number(indexOf(r.Back));
    f += u' ';
    return f;
  }

  struct TFormatKey {
    uint8_t Style;
    TColor Fore, Back;
    bool operator==(const TFormatKey&) const = default;
  };
  struct TFormatHash {
    size_t operator()(const TFormatKey& k) const {
      return std::hash<uint64_t>()((uint64_t(uint32_t(k.Fore)) << 32 | uint32_t(k.Back)) * 31 + k.Style);
    }
  };
  std::unordered_map<TFormatKey, QString, TFormatHash> fFormats;

  TZarvToRTF& O;
  TExportSink& S;
  std::vector<QRgb> fTable;
  QHash<QRgb, int32_t> fIndex;
  QHash<TColor, int32_t> fByColour; // resolved once per colour value
  int64_t fBaseSize = 20, fAltSize = 20;
  bool fHaveStyle = false;
  uint8_t fStyle = 0;
  TColor fFore = clNone, fBack = clNone;
  bool fInLink = false;
  int32_t fLinkFrom = -1, fLinkContext = 0;
  std::tuple<bool, uint8_t, TColor, TColor> fOuter;
};

void TZarvToRTF::getFormattedText(int32_t Start, int32_t Stop, bool, TExportSink& Sink) {
  prepareRange(Start, Stop);
  TWriter w(*this, Sink);
  w.header(Start, Stop);
  walk(Start, Stop, w);
  Sink.Append(u'}');
  Sink.EndLine();
}

} // namespace zarv
