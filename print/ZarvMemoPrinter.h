// The memo printer: prints the text of an editor control, or its selection,
// with its styles on a QPrinter (a real printer or a PDF file), in columns,
// with headers, footers, page numbers and line or paragraph numbers, and
// draws the same pages for the print preview.
//
// The text to print is copied, with its style runs, into a private hidden
// control (the buffer), which is laid out at the printer's resolution and
// the column width and drawn with the control's own line painter, so that
// printed text stays vector text. The source control is never written to.
// The buffer shows a paper palette (black on white), so a dark desktop
// theme does not print light text on white paper.
//
// Pages: the buffer's display lines run down the columns of a page and on
// to the next page; a paragraph that starts with a form feed starts a new
// page (the form feed is not printed). Pages are counted by rounding up, so
// text that exactly fills its pages adds no blank page.
#pragma once

#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/highlight/Notify.h>

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QPrinter;
class QPrintDialog;
class QWidget;

namespace zarv {

class TZarvMemo;
class TFrmZVPrintPreview;

// Invariants: 1 <= fColumns <= kMaxColumns; fPagesCalculated implies
// fBufMemoFormatted implies fBuffer exists; fSegStart and fSegFirstPage
// have one entry per page segment (text between form feeds), ascending;
// fPageCount >= 1 once paginated.
class TZarvMemoPrinter : public QObject, public IzvsNotify {
  Q_OBJECT
public:
  static constexpr int32_t kMaxColumns = 10;

  // The geometry of a page in device pixels of the printer (paper
  // coordinates: (0, 0) is the paper's top-left corner).
  struct TPageGeometry {
    int32_t PaperWidth = 0, PaperHeight = 0, XPPI = 0, YPPI = 0;
    int32_t Left = 0, Right = 0, Top = 0, Bottom = 0; // margins
    int32_t ColumnWidth = 0, ColumnPitch = 0, LinePitch = 1, LinesPerPage = 1;
  };

  explicit TZarvMemoPrinter(QObject* parent = nullptr);
  ~TZarvMemoPrinter() override;

  // ---- Properties (lengths in inches, line widths in points) ----
  TZarvMemo* getMemoToPrint() const;
  void setMemoToPrint(TZarvMemo* m);
  int32_t getColumns() const { return fColumns; }
  void setColumns(int32_t v);
  float getGutterWidth() const { return fGutterWidth; }
  void setGutterWidth(float v);
  bool getForceBlackText() const { return fForceBlackText; }
  void setForceBlackText(bool v);
  float getMarginLeft() const { return fLeftMargin; }
  float getMarginRight() const { return fRightMargin; }
  float getMarginTop() const { return fTopMargin; }
  float getMarginBottom() const { return fBottomMargin; }
  void setMarginLeft(float v);
  void setMarginRight(float v);
  void setMarginTop(float v);
  void setMarginBottom(float v);
  bool getLineNumbers() const { return fLineNumbers; }
  void setLineNumbers(bool v);
  bool getParagraphNumbers() const { return fParagraphNumbers; }
  void setParagraphNumbers(bool v);
  // > 0: line pitch in inches; < 0: a multiple of the line height.
  float getLineSpacing() const { return fLineSpacing; }
  void setLineSpacing(float v);
  // "{p}" stands for the page number, "{pp}" for the last page's number.
  QString Header, Footer;
  float HeaderYPos = 0.4f, FooterYPos = 0.4f;
  TAlignment HeaderAlign = taLeftJustify, FooterAlign = taLeftJustify;
  QFont HeaderFont, FooterFont, NumbersFont;
  bool NumbersFontFromMemo = true;
  float HeaderLineWidth = 0, FooterLineWidth = 0;
  QString PreviewTitle = QStringLiteral("Print preview");
  // "{application}" stands for the application's name.
  QString PrintTitle = QStringLiteral("{application}");
  int32_t StartingLineNumber = 1, StartingPageNumber = 1;
  bool getPlainText() const { return fPlainText; }
  void setPlainText(bool v);
  bool getWordWrap() const { return fWordWrap; }
  void setWordWrap(bool v);

  // Events: before each printed page and once after the job (current page
  // -1); after each drawn page (Sender: the printer, or the preview form).
  std::function<void(QObject*Sender)> OnProgress, OnDrawPage, OnPreview;
  // Replaces the standard header and footer drawing.
  std::function<void(TZarvMemoPrinter& Sender, bool Header, QPainter& Canvas, int32_t PageNo)> OnDrawHeaderFooter;

  // ---- The device ----
  // The printer printed on and measured with; by default an own
  // high-resolution printer set to PDF output. Not owned when given.
  QPrinter* Printer() const { return fPrinter; }
  void setPrinter(QPrinter* p);

  // ---- Printing (EZarvError on failure: nothing is left looking complete) ----
  void Print();
  void PrintSelection();
  void PrintFromDialog(const QPrintDialog& Dialog);
  // Pages From..To, 0-based; To past the last page is limited to it, a
  // range starting past the last page is refused.
  void PrintRange(int32_t FromPage, int32_t ToPage);
  // Prints all pages into a PDF file through the printer's PDF format.
  void ExportPdf(const QString& FileName);
  void AbortPrint() { fPrintAborted = true; }
  bool PrintAborted() const { return fPrintAborted; }
  void SetSelection(bool v);
  bool Selection() const { return fSelection; }
  // Opens the modal preview window.
  void Preview(QWidget* Parent = nullptr);

  // ---- Layout ----
  // Copies, lays out and paginates what is not current (EZarvError for a
  // page that cannot hold one line or margins that leave no column).
  void FormatPrint();
  // Lays out only enough of the text's head for pages 0..UpToPage; the
  // page count is unknown meanwhile (PageCountKnown false).
  void FormatHead(int32_t UpToPage);
  bool PageCountKnown() const { return fPagesCalculated && !fHeadOnly; }
  int32_t PageCount() const { return fPageCount; }
  int32_t CurrentPage() const { return fCurrentPage; }
  const TPageGeometry& Geometry() const { return fGeo; }
  // Display lines of column Column of Page: [First, Last]; empty when Last < First.
  void PageLines(int32_t Page, int32_t Column, int32_t& First, int32_t& Last) const;
  // Draws page Page in paper coordinates of the printer onto Canvas (the
  // preview scales its painter); the page must be laid out.
  void DrawPage(QPainter& Canvas, int32_t Page);
  void DrawHeaderFooter(QPainter& Canvas, int32_t Page, bool IsHeader);
  void DrawLinesSpecial(QPainter& Canvas, int32_t First, int32_t Last, int32_t Left, int32_t Top);
  // The buffer's line count, for tests and the benchmark.
  int32_t BufferLineCount() const;
  // Pages drawn since construction (the benchmark checks that printing page
  // N alone draws one page).
  int64_t DrawnPages() const { return fDrawnPages; }
  // Discards the copy; the next layout copies the source again.
  void DiscardBuffer();

  void Notify(QObject* Sender, TzvEvents Events) override;

private:
  std::unique_ptr<TZarvMemo> NewBuffer(const TZarvMemo* Source) const;
  void CopySource(int32_t MaxChars);
  void CopyParColours(TZarvMemo& Source, int32_t First, int32_t Last);
  void StripFormFeeds(const QString& Text);
  TPageGeometry MeasurePage() const;
  void LayOut();
  void Paginate();
  void MarginsChanged(bool Rewrap);
  void RefreshPreview();
  QString ExpandFields(const QString& s, int32_t Page) const;
  void DrawNumbers(QPainter& Canvas, int32_t First, int32_t Last, int32_t Left, int32_t Top);
  void RunJob(int32_t FromPage, int32_t ToPage);

  QPointer<TZarvMemo> fZarvMemo;
  float fLeftMargin = 0.75f, fRightMargin = 0.5f, fTopMargin = 0.75f, fBottomMargin = 0.75f;
  float fLineSpacing = -1.5f, fGutterWidth = 0.5f;
  int32_t fColumns = 1;
  bool fForceBlackText = false, fPlainText = false, fWordWrap = true;
  bool fLineNumbers = false, fParagraphNumbers = false;
  bool fSelection = false, fPrintAborted = false, fPrinting = false, fDiscardAfterJob = false;
  bool fBufMemoFormatted = false, fPagesCalculated = false, fHeadOnly = false, fCopying = false;
  int32_t fPageCount = 0, fCurrentPage = -1, fStartingParNumber = 0;
  int64_t fDrawnPages = 0;
  std::unique_ptr<TZarvMemo> fBuffer;
  QPrinter* fPrinter = nullptr;
  std::unique_ptr<QPrinter> fOwnPrinter;
  TPageGeometry fGeo;
  std::vector<int32_t> fBreakPars; // buffer paragraphs that began with a form feed
  std::vector<int32_t> fSegStart, fSegFirstPage;
  friend class TFrmZVPrintPreview;
  TFrmZVPrintPreview* fPreviewForm = nullptr;
};

} // namespace zarv
