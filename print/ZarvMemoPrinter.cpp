// The memo printer: the copy of the source into the buffer control, its
// layout at the printer's resolution, pagination into segments between form
// feeds, and the drawing of pages, headers, footers and numbers.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/print/PrintPreview.h>
#include <ZarvMemo/print/ZarvMemoPrinter.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScopedValueRollback>
#include <algorithm>
#include <cmath>

namespace zarv {

namespace {

int32_t Round(double v) { return int32_t(std::lround(v)); }

// Black text on white paper, whatever the desktop's theme.
QPalette PaperPalette() {
  QPalette p;
  for (auto role : {QPalette::Base, QPalette::Window, QPalette::Button, QPalette::AlternateBase})
    p.setColor(role, Qt::white);
  for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText, QPalette::HighlightedText})
    p.setColor(role, Qt::black);
  p.setColor(QPalette::Highlight, Qt::white);
  return p;
}

// A font sized in the printer's pixels: drawn the same on the printer and
// on a preview painter scaled from the printer's pixels.
QFont DeviceFont(QFont f, int YPPI) {
  if (f.pointSizeF() > 0)
    f.setPixelSize(std::max(1, Round(f.pointSizeF() * YPPI / 72.0)));
  return f;
}

// A styled fragment (a 32-bit run count, then 124-byte run records whose
// fifth byte is the style) with more than one run, or a styled one: else
// plain text loads the copy faster than the fragment's edit path.
bool HasStyles(const QString& Blob) {
  if (Blob.size() < 4 + 62)
    return false;
  const uint32_t count = uint32_t(Blob[0].unicode()) | (uint32_t(Blob[1].unicode()) << 16);
  return count != 1 || (Blob[6].unicode() & 0xFF) != 0;
}

Qt::Alignment ToQt(TAlignment a) {
  return a == taRightJustify ? Qt::AlignRight : a == taCenter ? Qt::AlignHCenter : Qt::AlignLeft;
}

} // namespace

TZarvMemoPrinter::TZarvMemoPrinter(QObject* parent) : QObject(parent) {
  fOwnPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
  fOwnPrinter->setOutputFormat(QPrinter::PdfFormat);
  fOwnPrinter->setFullPage(true);
  fPrinter = fOwnPrinter.get();
}

TZarvMemoPrinter::~TZarvMemoPrinter() {
  if (fZarvMemo)
    fZarvMemo->RemoveNotify(this);
}

TZarvMemo* TZarvMemoPrinter::getMemoToPrint() const { return fZarvMemo.data(); }

void TZarvMemoPrinter::setMemoToPrint(TZarvMemo* m) {
  if (m == fZarvMemo)
    return;
  if (fZarvMemo) {
    fZarvMemo->RemoveNotify(this);
    disconnect(fZarvMemo, nullptr, this, nullptr);
  }
  DiscardBuffer();
  fZarvMemo = m;
  if (m) {
    m->AddNotify(this);
    // A destroyed source leaves nothing to print, not its last copy.
    connect(m, &QObject::destroyed, this, [this] { DiscardBuffer(); });
  }
}

void TZarvMemoPrinter::setPrinter(QPrinter* p) {
  fPrinter = p ? p : fOwnPrinter.get();
  fPrinter->setFullPage(true);
  fBufMemoFormatted = fPagesCalculated = false;
}

// ---- Properties --------------------------------------------------------------------------------

void TZarvMemoPrinter::MarginsChanged(bool Rewrap) {
  if (Rewrap)
    fBufMemoFormatted = false;
  fPagesCalculated = false;
  RefreshPreview();
}

void TZarvMemoPrinter::setColumns(int32_t v) {
  v = std::clamp(v, 1, kMaxColumns);
  if (v == fColumns)
    return;
  fColumns = v;
  MarginsChanged(true);
}

void TZarvMemoPrinter::setGutterWidth(float v) {
  if (v == fGutterWidth)
    return;
  fGutterWidth = v;
  if (fColumns > 1)
    MarginsChanged(true);
}

void TZarvMemoPrinter::setForceBlackText(bool v) {
  if (v == fForceBlackText)
    return;
  fForceBlackText = v;
  DiscardBuffer();
  RefreshPreview();
}

void TZarvMemoPrinter::setPlainText(bool v) {
  if (v == fPlainText)
    return;
  fPlainText = v;
  DiscardBuffer();
  RefreshPreview();
}

void TZarvMemoPrinter::setWordWrap(bool v) {
  if (v == fWordWrap)
    return;
  fWordWrap = v;
  DiscardBuffer();
  RefreshPreview();
}

#define ZARV_MARGIN_SETTER(Name, Field, Rewrap)                                                                        \
  void TZarvMemoPrinter::Name(float v) {                                                                               \
    if (v == Field)                                                                                                    \
      return;                                                                                                          \
    Field = v;                                                                                                         \
    MarginsChanged(Rewrap);                                                                                            \
  }
ZARV_MARGIN_SETTER(setMarginLeft, fLeftMargin, true)
ZARV_MARGIN_SETTER(setMarginRight, fRightMargin, true)
ZARV_MARGIN_SETTER(setMarginTop, fTopMargin, false)
ZARV_MARGIN_SETTER(setMarginBottom, fBottomMargin, false)
ZARV_MARGIN_SETTER(setLineSpacing, fLineSpacing, false)
#undef ZARV_MARGIN_SETTER

void TZarvMemoPrinter::setLineNumbers(bool v) {
  fLineNumbers = v;
  RefreshPreview();
}

void TZarvMemoPrinter::setParagraphNumbers(bool v) {
  fParagraphNumbers = v;
  RefreshPreview();
}

void TZarvMemoPrinter::SetSelection(bool v) {
  if (v == fSelection)
    return;
  DiscardBuffer();
  fSelection = v;
}

void TZarvMemoPrinter::RefreshPreview() {
  if (fPreviewForm)
    fPreviewForm->Refresh();
}

void TZarvMemoPrinter::DiscardBuffer() {
  if (fPrinting) {
    // The job keeps drawing from the copy; it goes when the job ends.
    fDiscardAfterJob = true;
    return;
  }
  fBuffer.reset();
  fBufMemoFormatted = fPagesCalculated = fHeadOnly = false;
  fPageCount = 0;
  fBreakPars.clear();
}

void TZarvMemoPrinter::Notify(QObject* Sender, TzvEvents Events) {
  // Reading the source's runs may bring its highlighting up to date; that
  // is no change of the text being copied.
  if (!fZarvMemo || Sender != fZarvMemo.data() || fCopying)
    return;
  if ((Events & zveChange) || (fSelection && (Events & zveSelMove)))
    DiscardBuffer();
}

int32_t TZarvMemoPrinter::BufferLineCount() const { return fBuffer ? fBuffer->getTotalLineCount() : 0; }

// ---- The copy ----------------------------------------------------------------------------------

// A new buffer control with the source's text settings, on paper.
std::unique_ptr<TZarvMemo> TZarvMemoPrinter::NewBuffer(const TZarvMemo* S) const {
  auto B = std::make_unique<TZarvMemo>();
  B->setUpdateMode(umOnNeed);
  B->setScrollBars(ssNone);
  B->setPalette(PaperPalette());
  B->setLeftMargin(0);
  B->setRightMargin(0);
  B->setWordWrap(fWordWrap);
  if (!S)
    return B;
  B->setFont(S->font());
  B->setAltFont(S->getAltFont());
  B->setTabStops(S->getTabStops());
  B->setStaticFormat(S->getStaticFormat());
  B->setAlignment(S->getAlignment());
  B->setJustified(S->getJustified());
  B->setSeparators(S->getSeparators());
  B->setWordWrapChars(S->getWordWrapChars());
  B->setHighlightColor(fForceBlackText ? clBlack : S->getHighlightColor());
  B->setHighlightBackgnd(S->getHighlightBackgnd());
  return B;
}

// Copies the source's text (or selection), at most MaxChars of it (cut after
// the last whole paragraph) when MaxChars >= 0, into a new buffer control.
void TZarvMemoPrinter::CopySource(int32_t MaxChars) {
  const QScopedValueRollback<bool> copying(fCopying, true);
  TZarvMemo* S = fZarvMemo.data();
  fBuffer = NewBuffer(S);
  fStartingParNumber = 0;
  fHeadOnly = false;
  fBreakPars.clear();
  if (!S)
    return;
  int32_t start = 0, stop = S->GetTextLen();
  if (fSelection) {
    start = S->getSelStart();
    stop = start + std::abs(S->getSelLength());
  }
  TZarvNavigator nav(S);
  nav.SetPos(start);
  fStartingParNumber = nav.GetParNb();
  if (MaxChars >= 0 && stop - start > MaxChars) {
    const QString head = S->GetTextPart(start, start + MaxChars);
    const qsizetype brk = head.lastIndexOf(QStringLiteral("\r\n"));
    stop = start + (brk > 0 ? int32_t(brk) : MaxChars);
    fHeadOnly = true;
  }
  const QString text = S->GetTextPart(start, stop);
  const QString blob = fPlainText || stop <= start ? QString() : S->DynText(start, stop);
  if (HasStyles(blob))
    fBuffer->SetDynText(0, 0, blob);
  else
    fBuffer->SetTextBuf(text);
  nav.SetPos(stop);
  CopyParColours(*S, fStartingParNumber, nav.GetParNb());
  StripFormFeeds(text);
}

// Paragraph colours are the paragraph's, not the runs'; black text is a
// black paragraph foreground, which the runs' colours do not override.
void TZarvMemoPrinter::CopyParColours(TZarvMemo& S, int32_t First, int32_t Last) {
  if (fPlainText && !fForceBlackText)
    return;
  TZarvMemo& B = *fBuffer;
  for (int32_t p = First; p <= Last; ++p) {
    const int32_t bp = p - First;
    if (!fPlainText && S.getParBackgnd(p) != -1)
      B.setParBackgnd(bp, S.getParBackgnd(p));
    if (fForceBlackText)
      B.setParForegnd(bp, clBlack);
    else if (S.getParForegnd(p) != -1)
      B.setParForegnd(bp, S.getParForegnd(p));
  }
}

// Paragraphs that begin with a form feed start a page; the form feed itself
// is removed from the copy.
void TZarvMemoPrinter::StripFormFeeds(const QString& Text) {
  std::vector<int32_t> offsets;
  int32_t par = 0;
  qsizetype lastBreakScan = 0;
  for (qsizetype i = Text.indexOf(QChar(12)); i >= 0; i = Text.indexOf(QChar(12), i + 1)) {
    if (i != 0 && !(i >= 2 && Text[i - 1] == u'\n' && Text[i - 2] == u'\r'))
      continue;
    par += int32_t(QStringView(Text).mid(lastBreakScan, i - lastBreakScan).count(QStringLiteral("\r\n")));
    lastBreakScan = i;
    fBreakPars.push_back(par);
    offsets.push_back(int32_t(i));
  }
  if (offsets.empty())
    return;
  TZarvMemo& B = *fBuffer;
  B.BeginUpdate();
  for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
    B.setSelStart(*it);
    B.setSelLength(1);
    B.SetSelTextBuf(QString());
  }
  B.EndUpdate();
}

// ---- Layout ------------------------------------------------------------------------------------

// The page's geometry for the printer's paper and the margins; EZarvError
// when the margins leave no column.
TZarvMemoPrinter::TPageGeometry TZarvMemoPrinter::MeasurePage() const {
  TPageGeometry g;
  const QRect paper = fPrinter->paperRect(QPrinter::DevicePixel).toRect();
  g.PaperWidth = paper.width();
  g.PaperHeight = paper.height();
  g.XPPI = fPrinter->logicalDpiX();
  g.YPPI = fPrinter->logicalDpiY();
  g.Left = Round(fLeftMargin * g.XPPI);
  g.Right = Round(fRightMargin * g.XPPI);
  g.Top = Round(fTopMargin * g.YPPI);
  g.Bottom = Round(fBottomMargin * g.YPPI);
  const int32_t gutter = Round(fGutterWidth * g.XPPI);
  if (g.PaperWidth <= 0 || g.PaperHeight <= 0)
    throw EZarvError(QStringLiteral("The printer reports no paper size"));
  if (g.Left < 0 || g.Right < 0 || g.Top < 0 || g.Bottom < 0 || gutter < 0)
    throw EZarvError(QStringLiteral("Margins and the gutter cannot be negative"));
  g.ColumnWidth = (g.PaperWidth - g.Left - g.Right - (fColumns - 1) * gutter) / fColumns;
  g.ColumnPitch = g.ColumnWidth + gutter;
  if (g.ColumnWidth < std::max(1, g.XPPI / 10))
    throw EZarvError(QStringLiteral("The left and right margins (%1 + %2 in) leave no room for %3 column(s) on "
                                    "paper %4 in wide")
                         .arg(fLeftMargin)
                         .arg(fRightMargin)
                         .arg(fColumns)
                         .arg(double(g.PaperWidth) / g.XPPI, 0, 'f', 2));
  g.LinePitch = fGeo.LinePitch;
  g.LinesPerPage = fGeo.LinesPerPage;
  return g;
}

// Wraps the buffer again when the column width or the resolution changed;
// a new paper height only invalidates the pagination.
void TZarvMemoPrinter::LayOut() {
  const TPageGeometry g = MeasurePage();
  const bool rewrap = !fBufMemoFormatted || g.PaperWidth != fGeo.PaperWidth || g.XPPI != fGeo.XPPI ||
                      g.YPPI != fGeo.YPPI || g.ColumnWidth != fGeo.ColumnWidth;
  if (g.PaperHeight != fGeo.PaperHeight || g.Top != fGeo.Top || g.Bottom != fGeo.Bottom)
    fPagesCalculated = false;
  fGeo = g;
  if (rewrap) {
    fPagesCalculated = false;
    fBuffer->FormatText(fPrinter, g.ColumnWidth);
    fBufMemoFormatted = true;
  }
}

void TZarvMemoPrinter::Paginate() {
  TPageGeometry& g = fGeo;
  const int32_t lh = std::max(1, fBuffer->getLineHeight());
  g.LinePitch = fLineSpacing >= 0 ? Round(fLineSpacing * g.YPPI) : Round(-fLineSpacing * lh);
  g.LinePitch = std::max(1, g.LinePitch);
  const int32_t area = g.PaperHeight - g.Top - g.Bottom;
  if (area < lh)
    throw EZarvError(QStringLiteral("The page holds no line: %1 in between the top and bottom margins, a line "
                                    "needs %2 in")
                         .arg(double(area) / g.YPPI, 0, 'f', 2)
                         .arg(double(lh) / g.YPPI, 0, 'f', 2));
  g.LinesPerPage = std::max(1, area / g.LinePitch);
  const int64_t perPage = int64_t(g.LinesPerPage) * fColumns;
  const int32_t total = fBuffer->getTotalLineCount();
  fSegStart.clear();
  fSegFirstPage.clear();
  TZarvNavigator nav(fBuffer.get());
  std::vector<int32_t> starts{0};
  for (int32_t par : fBreakPars) {
    nav.setParNb(par);
    const int32_t line = nav.getVisibleLineNumber();
    if (line > starts.back())
      starts.push_back(line);
  }
  int64_t pages = 0;
  for (size_t i = 0; i < starts.size(); ++i) {
    const int32_t end = i + 1 < starts.size() ? starts[i + 1] : total;
    fSegStart.push_back(starts[i]);
    fSegFirstPage.push_back(int32_t(pages));
    pages += std::max<int64_t>(1, (end - starts[i] + perPage - 1) / perPage);
  }
  fPageCount = int32_t(std::min<int64_t>(pages, INT32_MAX));
  fPagesCalculated = true;
}

void TZarvMemoPrinter::FormatPrint() {
  if (!fBuffer || fHeadOnly) {
    fBufMemoFormatted = fPagesCalculated = false;
    CopySource(-1);
  }
  LayOut();
  if (!fPagesCalculated)
    Paginate();
}

void TZarvMemoPrinter::FormatHead(int32_t UpToPage) {
  if (fBuffer && !fHeadOnly) {
    FormatPrint();
    return;
  }
  // Each display line holds at most its paragraph; start from what a few
  // pages of 120-column lines need and double until the head covers the
  // wanted page and one more (the last page of a head may be cut).
  for (int64_t chars = int64_t(UpToPage + 2) * 64 * 1024;; chars *= 2) {
    fBufMemoFormatted = fPagesCalculated = false;
    CopySource(int32_t(std::min<int64_t>(chars, INT32_MAX)));
    LayOut();
    Paginate();
    if (!fHeadOnly || fPageCount > UpToPage + 1)
      return;
  }
}

void TZarvMemoPrinter::PageLines(int32_t Page, int32_t Column, int32_t& First, int32_t& Last) const {
  First = 0;
  Last = -1;
  if (!fPagesCalculated || Page < 0 || Page >= fPageCount || fSegFirstPage.empty())
    return;
  const size_t seg =
      size_t(std::upper_bound(fSegFirstPage.begin(), fSegFirstPage.end(), Page) - fSegFirstPage.begin() - 1);
  const int32_t end = seg + 1 < fSegStart.size() ? fSegStart[seg + 1] : fBuffer->getTotalLineCount();
  const int64_t first = fSegStart[seg] + (int64_t(Page - fSegFirstPage[seg]) * fColumns + Column) * fGeo.LinesPerPage;
  First = int32_t(std::min<int64_t>(first, end));
  Last = int32_t(std::min<int64_t>(first + fGeo.LinesPerPage, end)) - 1;
}

// ---- Drawing -----------------------------------------------------------------------------------

void TZarvMemoPrinter::DrawPage(QPainter& Canvas, int32_t Page) {
  ++fDrawnPages;
  DrawHeaderFooter(Canvas, Page, true);
  DrawHeaderFooter(Canvas, Page, false);
  for (int32_t c = 0; c < fColumns; ++c) {
    int32_t first, last;
    PageLines(Page, c, first, last);
    if (last >= first)
      DrawLinesSpecial(Canvas, first, last, fGeo.Left + c * fGeo.ColumnPitch, fGeo.Top);
  }
}

QString TZarvMemoPrinter::ExpandFields(const QString& s, int32_t Page) const {
  QString r = s;
  // "{pp}" first, so that "{p}" does not take its head.
  r.replace(QStringLiteral("{pp}"), QString::number(fPageCount + StartingPageNumber - 1));
  r.replace(QStringLiteral("{p}"), QString::number(Page + StartingPageNumber));
  return r;
}

void TZarvMemoPrinter::DrawHeaderFooter(QPainter& Canvas, int32_t Page, bool IsHeader) {
  if (OnDrawHeaderFooter) {
    OnDrawHeaderFooter(*this, IsHeader, Canvas, Page);
    return;
  }
  const QString& text = IsHeader ? Header : Footer;
  if (text.isEmpty())
    return;
  const TPageGeometry& g = fGeo;
  const QFont font = DeviceFont(IsHeader ? HeaderFont : FooterFont, g.YPPI);
  const QFontMetrics fm(font);
  const int32_t left = g.Left, right = g.PaperWidth - g.Right;
  int32_t top, bottom, lineY;
  if (IsHeader) {
    top = Round(HeaderYPos * g.YPPI);
    bottom = std::max(g.Top, top + fm.height());
    lineY = (top + fm.height() + g.Top) / 2;
  } else {
    top = g.PaperHeight - Round(FooterYPos * g.YPPI);
    bottom = std::max(g.PaperHeight, top + fm.height());
    lineY = (g.PaperHeight - g.Bottom + top) / 2;
  }
  Canvas.save();
  Canvas.setFont(font);
  Canvas.setPen(Qt::black);
  const float lw = IsHeader ? HeaderLineWidth : FooterLineWidth;
  if (lw > 0) {
    Canvas.setPen(QPen(Qt::black, std::max(1, Round(lw / 72.0 * g.YPPI))));
    Canvas.drawLine(left, lineY, right, lineY);
  }
  Canvas.drawText(QRect(left, top, right - left, bottom - top),
                  int(ToQt(IsHeader ? HeaderAlign : FooterAlign) | Qt::AlignTop | Qt::TextWordWrap),
                  ExpandFields(text, Page));
  Canvas.restore();
}

void TZarvMemoPrinter::DrawLinesSpecial(QPainter& Canvas, int32_t First, int32_t Last, int32_t Left, int32_t Top) {
  fBuffer->DrawLines(First, Last, Canvas, QPoint(Left, Top), float(fGeo.LinePitch));
  if (fLineNumbers || fParagraphNumbers)
    DrawNumbers(Canvas, First, Last, Left, Top);
}

// Numbers end at the text's left edge, on the line's baseline height.
void TZarvMemoPrinter::DrawNumbers(QPainter& Canvas, int32_t First, int32_t Last, int32_t Left, int32_t Top) {
  const QFont font = DeviceFont(NumbersFontFromMemo ? fBuffer->font() : NumbersFont, fGeo.YPPI);
  const QFontMetrics fm(font);
  const int32_t lh = std::max(1, fBuffer->getLineHeight());
  Canvas.save();
  Canvas.setFont(font);
  Canvas.setPen(Qt::black);
  TZarvNavigator nav(fBuffer.get());
  for (int32_t l = First; l <= Last; ++l) {
    nav.setVisibleLineNumber(l);
    const int32_t par = nav.GetParNb();
    if (fParagraphNumbers && nav.GetParLine() != 0)
      continue;
    const int64_t n =
        fParagraphNumbers ? int64_t(fStartingParNumber) + StartingLineNumber + par : int64_t(l) + StartingLineNumber;
    const QString s = QString::number(n) + QStringLiteral(": ");
    const int32_t y = Top + Round(double(l - First) * fGeo.LinePitch);
    const int32_t baseline = y + (lh + fm.ascent() - fm.descent()) / 2;
    Canvas.drawText(QPoint(Left - fm.horizontalAdvance(s), baseline), s);
  }
  Canvas.restore();
}

// ---- Jobs --------------------------------------------------------------------------------------

void TZarvMemoPrinter::Print() {
  FormatPrint();
  PrintRange(0, fPageCount - 1);
}

void TZarvMemoPrinter::PrintSelection() {
  SetSelection(true);
  Print();
}

void TZarvMemoPrinter::PrintFromDialog(const QPrintDialog& Dialog) {
  switch (Dialog.printRange()) {
  case QAbstractPrintDialog::Selection:
    SetSelection(true);
    Print();
    break;
  case QAbstractPrintDialog::PageRange:
    SetSelection(false);
    if (Dialog.fromPage() <= 0)
      Print();
    else
      PrintRange(Dialog.fromPage() - 1, Dialog.toPage() - 1);
    break;
  case QAbstractPrintDialog::CurrentPage:
    SetSelection(false);
    // The page shown in the preview, else the first.
    PrintRange(fPreviewForm ? fPreviewForm->CurrentPage() : 0, fPreviewForm ? fPreviewForm->CurrentPage() : 0);
    break;
  default:
    SetSelection(false);
    Print();
  }
}

void TZarvMemoPrinter::ExportPdf(const QString& FileName) {
  const QPrinter::OutputFormat format = fPrinter->outputFormat();
  const QString name = fPrinter->outputFileName();
  fPrinter->setOutputFormat(QPrinter::PdfFormat);
  fPrinter->setOutputFileName(FileName);
  try {
    Print();
  } catch (...) {
    fPrinter->setOutputFormat(format);
    fPrinter->setOutputFileName(name);
    throw;
  }
  fPrinter->setOutputFormat(format);
  fPrinter->setOutputFileName(name);
}

void TZarvMemoPrinter::PrintRange(int32_t FromPage, int32_t ToPage) {
  FormatPrint();
  FromPage = std::max(FromPage, 0);
  if (ToPage < FromPage)
    throw EZarvError(QStringLiteral("Empty page range %1-%2").arg(FromPage + 1).arg(ToPage + 1));
  if (FromPage >= fPageCount)
    throw EZarvError(
        QStringLiteral("Page %1 does not exist: the text has %2 page(s)").arg(FromPage + 1).arg(fPageCount));
  ToPage = std::min(ToPage, fPageCount - 1);
  fPrinter->setDocName(PrintTitle == QStringLiteral("{application}") ? QCoreApplication::applicationName()
                                                                     : PrintTitle);
  fPrintAborted = false;
  fPrinting = true;
  try {
    RunJob(FromPage, ToPage);
  } catch (...) {
    fPrinting = false;
    fCurrentPage = -1;
    if (fDiscardAfterJob)
      DiscardBuffer();
    fDiscardAfterJob = false;
    if (OnProgress)
      OnProgress(this);
    throw;
  }
  fPrinting = false;
  fCurrentPage = -1;
  if (fDiscardAfterJob)
    DiscardBuffer();
  fDiscardAfterJob = false;
  if (OnProgress)
    OnProgress(this);
}

// One job: a painter on the printer, page after page; a failure or an
// abort leaves no output file that looks complete.
void TZarvMemoPrinter::RunJob(int32_t FromPage, int32_t ToPage) {
  const bool pdf = fPrinter->outputFormat() == QPrinter::PdfFormat;
  const QString file = fPrinter->outputFileName();
  const QString where = pdf ? QStringLiteral("the file \"%1\"").arg(file)
                            : QStringLiteral("the printer \"%1\"").arg(fPrinter->printerName());
  if (pdf && file.isEmpty())
    throw EZarvError(QStringLiteral("No output file is set for PDF printing"));
  QPainter painter;
  if (!painter.begin(fPrinter) || fPrinter->printerState() == QPrinter::Error)
    throw EZarvError(QStringLiteral("Cannot open %1 for printing").arg(where));
  const auto cleanUp = [&] {
    fPrinter->abort();
    painter.end();
    if (pdf)
      QFile::remove(file);
  };
  try {
    for (int32_t p = FromPage; p <= ToPage; ++p) {
      fCurrentPage = p;
      if (OnProgress)
        OnProgress(this);
      if (fPrintAborted)
        throw EZarvError(QStringLiteral("Printing was aborted"));
      if (p > FromPage && !fPrinter->newPage())
        throw EZarvError(QStringLiteral("Cannot start page %1 on %2").arg(p + 1).arg(where));
      DrawPage(painter, p);
      if (OnDrawPage)
        OnDrawPage(this);
    }
  } catch (const std::exception& e) {
    cleanUp();
    throw EZarvError(QString::fromUtf8(e.what()));
  }
  if (!painter.end() || fPrinter->printerState() == QPrinter::Error) {
    if (pdf)
      QFile::remove(file);
    throw EZarvError(QStringLiteral("Printing to %1 failed").arg(where));
  }
}

// ---- Preview -----------------------------------------------------------------------------------

void TZarvMemoPrinter::Preview(QWidget* Parent) {
  TFrmZVPrintPreview form(*this, Parent);
  form.setWindowTitle(PreviewTitle);
  if (OnPreview)
    OnPreview(&form);
  form.exec();
}

} // namespace zarv
