// The exporters' common part: range, walk, progress and outputs; see
// ZarvToFormattedText.h.
#include <ZarvMemo/export/ZarvToFormattedText.h>

#include <ZarvMemo/export/ExportSink.h>
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QSaveFile>
#include <algorithm>
#include <climits>

namespace zarv {

namespace {

bool IsColour(TColor c) { return c != clDefault && c != clNone; }

// A steady millisecond clock shared by all exports.
int64_t NowMs() {
  static QElapsedTimer clock;
  if (!clock.isValid())
    clock.start();
  return clock.elapsed();
}

// Restores a flag when the export leaves, also by an exception.
class TFlagScope {
public:
  TFlagScope(bool& flag, bool value) : fFlag(flag), fOld(flag) { flag = value; }
  ~TFlagScope() { fFlag = fOld; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

private:
  bool& fFlag;
  bool fOld;
};

} // namespace

TZarvToFormattedText::TZarvToFormattedText(QObject* parent) : QObject(parent) {}

TZarvToFormattedText::~TZarvToFormattedText() = default;

QRgb TZarvToFormattedText::rgbOf(TColor c) const { return fZarvMemo->PaintColor(c).rgb(); }

TZarvToFormattedText::TRange TZarvToFormattedText::locate(int32_t Start, int32_t Stop) const {
  const TParagraphsList& L = fZarvMemo->Paragraphs();
  const int32_t n = fZarvMemo->getCharCount();
  Start = std::clamp(Start, 0, n);
  Stop = std::clamp(Stop, Start, n);
  TRange r{};
  r.FirstPar = L.LocatePar(Start);
  r.FirstOff = Start - L.Par(r.FirstPar)->StartOffset;
  // A start inside a paragraph break begins with the next paragraph.
  if (r.FirstOff > GetParLength(*L.Par(r.FirstPar)) && r.FirstPar + 1 < L.Count()) {
    ++r.FirstPar;
    r.FirstOff = 0;
  }
  r.FirstOff = std::min(r.FirstOff, GetParLength(*L.Par(r.FirstPar)));
  r.LastPar = std::max(L.LocatePar(Stop), r.FirstPar);
  r.LastOff = std::clamp(Stop - L.Par(r.LastPar)->StartOffset, 0, GetParLength(*L.Par(r.LastPar)));
  if (r.LastPar == r.FirstPar)
    r.LastOff = std::max(r.LastOff, r.FirstOff);
  return r;
}

void TZarvToFormattedText::prepareRange(int32_t Start, int32_t Stop) {
  if (!fDynFormat)
    return;
  const TRange r = locate(Start, Stop);
  // False: keyword runs too, not only the start-stop ranges.
  fZarvMemo->DoDynParse(r.FirstPar, r.LastPar, false);
}

// Effective style and colours as the control paints them (the control's
// AttrToExtFontStyles, with the font's own styles read once per export).
void TZarvToFormattedText::resolve(TExportRun& r, TZarvFontStyles st, const DynInfoRec& d) const {
  const uint8_t dyn = fDynFormat ? d.DynStyle : 0;
  if (!(dyn & dsHasAttrib))
    r.Style = (st ^ fOwnStyles) & 63;
  else if ((dyn & (fsStrikeOut | fsHighlight)) == (fsStrikeOut | fsHighlight))
    r.Style = dyn & 63 & ~(fsStrikeOut | fsHighlight); // the special underline
  else
    r.Style = dyn & 63;
  r.Fore = r.Back = clNone;
  if (r.Style & fsHighlight) {
    r.Fore = fZarvMemo->getHighlightColor();
    r.Back = fZarvMemo->getHighlightBackgnd();
  }
  r.Context = 0;
  if (dyn & dsHasAttrib) {
    if (IsColour(d.Foregnd))
      r.Fore = d.Foregnd;
    if (IsColour(d.Backgnd))
      r.Back = d.Backgnd;
    r.Context = d.Context;
  }
}

TExportRun TZarvToFormattedText::styleAt(int32_t Start) const {
  const TRange r = locate(Start, Start);
  const ParInfo& par = *fZarvMemo->Paragraphs().Par(r.FirstPar);
  TZarvFontStyles st = GetStartAttrib(par);
  if (fZarvMemo->getStaticFormat())
    for (int32_t i = 0; i < r.FirstOff; ++i)
      if (IsStyleCode(par.ParText[i]))
        XORStyleCode(st, par.ParText[i]);
  TExportRun run;
  resolve(run, st, fDynFormat ? GetDynInForce(par, r.FirstOff) : *DefaultDynInfo());
  return run;
}

void TZarvToFormattedText::forEachRunColour(int32_t Start, int32_t Stop,
                                            const std::function<void(TColor)>& Visit) const {
  if (!fDynFormat)
    return;
  const TRange r = locate(Start, Stop);
  const TParagraphsList& L = fZarvMemo->Paragraphs();
  for (int32_t p = r.FirstPar; p <= r.LastPar; ++p) {
    const ParInfo& par = *L.Par(p);
    auto visit = [&](const DynInfoRec& d) {
      if (!(d.DynStyle & dsHasAttrib))
        return;
      if (IsColour(d.Backgnd))
        Visit(d.Backgnd);
      if (IsColour(d.Foregnd))
        Visit(d.Foregnd);
    };
    if (p == r.FirstPar)
      visit(*GetStartDynAttrib(par));
    for (const DynInfoRec& d : GetDynArray(par))
      visit(d);
  }
}

void TZarvToFormattedText::walkParagraph(int32_t p, int32_t a, int32_t b, TWalker& W) {
  const ParInfo& par = *fZarvMemo->Paragraphs().Par(p);
  const char16_t* t = par.ParText;
  static const TDynInfoArray kNoCodes;
  const TDynInfoArray& codes = fDynFormat ? GetDynArray(par) : kNoCodes;
  const bool codesOn = fZarvMemo->getStaticFormat();
  TZarvFontStyles st = GetStartAttrib(par);
  if (codesOn)
    for (int32_t i = 0; i < a; ++i)
      if (IsStyleCode(t[i]))
        XORStyleCode(st, t[i]);
  // The code in force at a, and the next one after it.
  size_t next =
      std::upper_bound(codes.begin(), codes.end(), a, [](int32_t o, const DynInfoRec& d) { return o < d.DynOffset; }) -
      codes.begin();
  const DynInfoRec* dyn = next > 0 ? &codes[next - 1] : GetStartDynAttrib(par);
  TExportRun run;
  run.Text = t;
  run.Stop = b;
  auto restyle = [&](int32_t at) {
    resolve(run, st, *dyn);
    run.DynFrom = next > 0 ? std::max(codes[next - 1].DynOffset, a) : a;
    run.DynTo = next < codes.size() ? std::min(codes[next].DynOffset, b) : b;
    run.From = run.To = at;
  };
  restyle(a);
  int32_t i = a;
  while (i < b) {
    if (next < codes.size() && codes[next].DynOffset <= i) {
      while (next < codes.size() && codes[next].DynOffset <= i)
        ++next;
      dyn = &codes[next - 1];
      restyle(i);
    }
    const int32_t limit = next < codes.size() ? std::min(b, codes[next].DynOffset) : b;
    if (!codesOn) {
      run.To = i = limit;
      W.run(run);
      continue;
    }
    while (i < limit && !IsStyleCode(t[i]))
      ++i;
    run.To = i;
    if (run.To > run.From)
      W.run(run);
    if (i < limit) {
      while (i < b && IsStyleCode(t[i]))
        XORStyleCode(st, t[i++]);
      restyle(i);
    } else {
      run.From = i;
    }
  }
}

void TZarvToFormattedText::progress(bool Final) {
  if (!fZarvMemo || fChanged)
    throw EZarvError(QStringLiteral("The text changed during the export"));
  if (!OnProgress)
    return;
  const int64_t now = NowMs();
  if (!Final && now - fLastProgress < int64_t(fZarvMemo->getProgressInterval()))
    return;
  fLastProgress = now;
  OnProgress(*this);
  if (!fZarvMemo || fChanged)
    throw EZarvError(QStringLiteral("The text changed during the export"));
}

void TZarvToFormattedText::walk(int32_t Start, int32_t Stop, TWalker& W) {
  const TRange r = locate(Start, Stop);
  const TParagraphsList& L = fZarvMemo->Paragraphs();
  fLastProgress = NowMs();
  for (int32_t p = r.FirstPar; p <= r.LastPar; ++p) {
    const int32_t a = p == r.FirstPar ? r.FirstOff : 0;
    const int32_t b = p == r.LastPar ? r.LastOff : GetParLength(*L.Par(p));
    W.beginParagraph(p, p == r.FirstPar);
    walkParagraph(p, a, b, W);
    W.endParagraph(p == r.LastPar);
    progress(false);
  }
}

void TZarvToFormattedText::run(int32_t Start, int32_t Stop, QIODevice* Device, QStringList* Lines, bool UTF8,
                               bool Bom) {
  if (!fZarvMemo)
    return;
  fChanged = false;
  const QMetaObject::Connection watch =
      connect(fZarvMemo.data(), &TZarvMemo::changed, this, [this] { fChanged = true; });
  struct TDisconnect {
    QMetaObject::Connection c;
    ~TDisconnect() { QObject::disconnect(c); }
  } disconnectLater{watch};
  const TFlagScope utf8(fUTF8, UTF8 || !supportsUtf16());
  const TFlagScope device(fToDevice, Device != nullptr);
  const auto encoding = !supportsUtf16() ? TExportSink::TEncoding::Latin1
                        : fUTF8          ? TExportSink::TEncoding::Utf8
                                         : TExportSink::TEncoding::Utf16LE;
  TExportSink sink(Device, Lines, encoding);
  if (Device && Bom && supportsUtf16()) {
    // The mark is only written for the formats whose text may carry one;
    // an RTF file must start with "{\rtf".
    sink.Append(char16_t(0xFEFF));
  }
  const QFont base = fZarvMemo->BaseFont();
  fOwnStyles = (base.bold() ? fsBold : 0) | (base.italic() ? fsItalic : 0) | (base.underline() ? fsUnderline : 0) |
               (base.strikeOut() ? fsStrikeOut : 0);
  const int32_t n = fZarvMemo->getCharCount();
  Start = std::clamp(Start, 0, n);
  Stop = std::clamp(Stop, Start, n);
  getFormattedText(Start, Stop, Start == 0 && Stop == n, sink);
  sink.Flush();
  progress(true);
}

void TZarvToFormattedText::SaveToStream(QIODevice& Stream, bool UTF8, bool WriteBOM) {
  if (fZarvMemo)
    run(0, fZarvMemo->getCharCount(), &Stream, nullptr, UTF8, WriteBOM);
}

void TZarvToFormattedText::SaveRangeToStream(int32_t Start, int32_t Stop, QIODevice& Stream, bool UTF8) {
  run(Start, Stop, &Stream, nullptr, UTF8, false);
}

void TZarvToFormattedText::SaveToFile(const QString& FileName, bool UTF8, bool WriteBOM) {
  if (!fZarvMemo)
    return;
  QSaveFile file(FileName);
  if (!file.open(QIODevice::WriteOnly))
    throw EStreamError(QStringLiteral("Cannot create file \"%1\": %2").arg(FileName, file.errorString()));
  try {
    SaveToStream(file, UTF8, WriteBOM);
  } catch (...) {
    file.cancelWriting();
    throw;
  }
  if (!file.commit())
    throw EStreamError(QStringLiteral("Cannot write file \"%1\": %2").arg(FileName, file.errorString()));
}

QString TZarvToFormattedText::getRange(int32_t Start, int32_t Stop) {
  if (!fZarvMemo)
    return {};
  QStringList lines;
  run(Start, Stop, nullptr, &lines, true, false);
  QString s;
  for (const QString& l : lines) {
    s += l;
    s += QLatin1String("\r\n");
  }
  return s;
}

QString TZarvToFormattedText::getText() {
  if (!fZarvMemo || fZarvMemo->getCharCount() == 0)
    return {};
  return getRange(0, fZarvMemo->getCharCount());
}

bool TZarvToFormattedText::selectionRange(int32_t& Start, int32_t& Stop) const {
  if (!fZarvMemo || fZarvMemo->getSelLength() == 0 || fZarvMemo->BlockSelection())
    return false;
  const int32_t caret = fZarvMemo->getSelStart(), len = fZarvMemo->getSelLength();
  Start = len > 0 ? caret : caret + len;
  Stop = Start + std::abs(len);
  return true;
}

QString TZarvToFormattedText::getSelection() {
  int32_t a = 0, b = 0;
  return selectionRange(a, b) ? getRange(a, b) : QString();
}

QByteArray TZarvToFormattedText::FormatForClipboard() {
  int32_t a = 0, b = 0;
  if (!selectionRange(a, b))
    return {};
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  run(a, b, &buffer, nullptr, true, false);
  return buffer.data();
}

void TZarvToFormattedText::AddToMimeData(QMimeData& Mime) {
  const QByteArray data = FormatForClipboard();
  if (!data.isEmpty())
    Mime.setData(ClipboardFormat(), data);
}

void TZarvToFormattedText::CopyToClipboard() {
  if (!fZarvMemo || fZarvMemo->getSelLength() == 0 || fZarvMemo->BlockSelection())
    return;
  auto* mime = new QMimeData;
  mime->setText(fZarvMemo->getSelText());
  AddToMimeData(*mime);
  QGuiApplication::clipboard()->setMimeData(mime);
}

} // namespace zarv
