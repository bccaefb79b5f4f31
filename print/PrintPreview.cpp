// The print preview window and its page view. The page is rendered once per
// page, zoom and layout into an image (the printer's DrawPage on a scaled
// painter); margins and the margin being dragged are drawn over it, so a
// drag repaints no text and the text is laid out again only on release.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/print/PrintPreview.h>
#include <ZarvMemo/print/ZarvMemoPrinter.h>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace zarv {

// The white page in the scroll area. Margin positions are in view pixels.
class TPreviewPage : public QWidget {
public:
  explicit TPreviewPage(TFrmZVPrintPreview& Form) : QWidget(nullptr), fForm(Form) { setMouseTracking(true); }
  QImage fImage;
  bool fImageValid = false;
  int fLeft = 0, fRight = 0, fTop = 0, fBottom = 0;
  TPreviewMouseState fState = zmsNormal;
  int fDragPos = 0;

  void Render() {
    TZarvMemoPrinter& P = fForm.fPrinter;
    const QSize s = size();
    fImage = QImage(s.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    fImage.fill(Qt::white);
    QPainter p(&fImage);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(fForm.fZoomFact, fForm.fZoomFact);
    P.DrawPage(p, fForm.fCurrentPage);
    p.end();
    if (P.OnDrawPage)
      P.OnDrawPage(&fForm);
    fImageValid = true;
  }

  TPreviewMouseState HitMargin(QPoint pos) const {
    if (!fForm.btnMargins->isChecked())
      return zmsNormal;
    if (std::abs(pos.x() - fLeft) <= 2)
      return zmsLeft;
    if (std::abs(pos.x() - fRight) <= 2)
      return zmsRight;
    if (std::abs(pos.y() - fTop) <= 2)
      return zmsTop;
    if (std::abs(pos.y() - fBottom) <= 2)
      return zmsBottom;
    return zmsNormal;
  }

  // The dragged margin stays within the page, Gap pixels inside the other.
  int Limit(TPreviewMouseState s, int v, int Gap) const {
    switch (s) {
    case zmsLeft:
      return std::clamp(v, 0, std::max(0, fRight - Gap));
    case zmsRight:
      return std::clamp(v, std::min(width(), fLeft + Gap), width());
    case zmsTop:
      return std::clamp(v, 0, std::max(0, fBottom - Gap));
    default:
      return std::clamp(v, std::min(height(), fTop + Gap), height());
    }
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    if (!fImageValid)
      try {
        Render();
      } catch (const std::exception& e) {
        fImage = QImage();
        fForm.ShowError(QString::fromUtf8(e.what()));
      }
    if (!fImage.isNull())
      p.drawImage(0, 0, fImage);
    else
      p.fillRect(rect(), Qt::white);
    if (fForm.btnMargins->isChecked()) {
      p.setPen(QPen(Qt::black, 1, Qt::DashLine));
      p.drawLine(fLeft, 0, fLeft, height());
      p.drawLine(fRight, 0, fRight, height());
      p.drawLine(0, fTop, width(), fTop);
      p.drawLine(0, fBottom, width(), fBottom);
    }
    if (fState != zmsNormal) {
      p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
      if (fState == zmsLeft || fState == zmsRight)
        p.drawLine(fDragPos, 0, fDragPos, height());
      else
        p.drawLine(0, fDragPos, width(), fDragPos);
    }
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    const QPoint pos = e->position().toPoint();
    if (fState != zmsNormal) {
      const int v = (fState == zmsLeft || fState == zmsRight) ? pos.x() : pos.y();
      fDragPos = Limit(fState, v, 3);
      update();
      return;
    }
    const TPreviewMouseState hit = HitMargin(pos);
    setCursor(hit == zmsLeft || hit == zmsRight ? Qt::SplitHCursor
              : hit == zmsNormal                ? Qt::ArrowCursor
                                                : Qt::SplitVCursor);
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() != Qt::LeftButton)
      return;
    const QPoint pos = e->position().toPoint();
    fState = HitMargin(pos);
    fDragPos = (fState == zmsLeft || fState == zmsRight) ? pos.x() : pos.y();
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (fState == zmsNormal)
      return;
    const TPreviewMouseState s = fState;
    const QPoint pos = e->position().toPoint();
    const int v = Limit(s, (s == zmsLeft || s == zmsRight) ? pos.x() : pos.y(), 10);
    fState = zmsNormal;
    fForm.MarginDropped(s, v);
  }

private:
  TFrmZVPrintPreview& fForm;
};

TFrmZVPrintPreview::TFrmZVPrintPreview(TZarvMemoPrinter& Printer, QWidget* Parent)
    : QDialog(Parent), fPrinter(Printer) {
  // Property changes of the printer refresh this window while it exists.
  fPrinter.fPreviewForm = this;
  BuildControls();
  resize(800, 900);
  try {
    fPrinter.FormatHead(0);
  } catch (const std::exception& e) {
    ShowError(QString::fromUtf8(e.what()));
  }
  btnNumbers->setChecked(fPrinter.getLineNumbers());
  edColumns->setValue(fPrinter.getColumns());
  PlacePage();
  UpdateControls();
}

TFrmZVPrintPreview::~TFrmZVPrintPreview() {
  if (fPrinter.fPreviewForm == this)
    fPrinter.fPreviewForm = nullptr;
}

QWidget* TFrmZVPrintPreview::PageView() const { return fPage; }

void TFrmZVPrintPreview::BuildControls() {
  auto* top = new QHBoxLayout;
  const auto button = [&](const QString& text, const QString& hint, bool toggle) {
    auto* b = new QPushButton(text, this);
    b->setToolTip(hint);
    b->setCheckable(toggle);
    top->addWidget(b);
    return b;
  };
  fLblPage = new QLabel(this);
  top->addWidget(fLblPage);
  btnPrinterSetup = button(tr("&Setup"), tr("Printer Setup"), false);
  btnPrint = button(tr("&Print"), tr("Print Document(s)"), false);
  btnMargins = button(tr("&Margins"), tr("Show/hide margins"), true);
  btnPrevious = button(QStringLiteral("<"), tr("Previous Page"), false);
  btnNextPage = button(QStringLiteral(">"), tr("Next Page"), false);
  btnNumbers = button(QStringLiteral("#"), tr("Show/Hide line numbers"), true);
  top->addWidget(new QLabel(tr("Columns"), this));
  edColumns = new QSpinBox(this);
  edColumns->setRange(1, TZarvMemoPrinter::kMaxColumns);
  edColumns->setToolTip(tr("Change number of columns"));
  top->addWidget(edColumns);
  top->addWidget(new QLabel(tr("Zoom"), this));
  cbZoom = new QComboBox(this);
  cbZoom->addItems({QStringLiteral("500%"), QStringLiteral("200%"), QStringLiteral("150%"), QStringLiteral("100%"),
                    QStringLiteral("75%"), QStringLiteral("50%"), tr("Page width"), tr("Whole page")});
  cbZoom->setCurrentIndex(zPageWidth);
  top->addWidget(cbZoom);
  top->addStretch();
  BtnClose = button(tr("&Close"), QString(), false);
  fScroll = new QScrollArea(this);
  fScroll->setBackgroundRole(QPalette::Dark);
  QPalette grey = fScroll->palette();
  grey.setColor(QPalette::Dark, Qt::gray);
  fScroll->setPalette(grey);
  fScroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  fPage = new TPreviewPage(*this);
  fScroll->setWidget(fPage);
  fScroll->setWidgetResizable(false);
  fScroll->viewport()->installEventFilter(this);
  auto* all = new QVBoxLayout(this);
  all->addLayout(top);
  all->addWidget(fScroll, 1);
  ConnectControls();
}

void TFrmZVPrintPreview::ConnectControls() {
  connect(BtnClose, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnNextPage, &QPushButton::clicked, this, [this] { setCurrentPage(fCurrentPage + 1); });
  connect(btnPrevious, &QPushButton::clicked, this, [this] { setCurrentPage(fCurrentPage - 1); });
  connect(btnMargins, &QPushButton::toggled, fPage, [this] { fPage->update(); });
  connect(btnNumbers, &QPushButton::toggled, this, [this](bool on) { fPrinter.setLineNumbers(on); });
  connect(edColumns, &QSpinBox::valueChanged, this, [this](int v) {
    if (!fUpdating)
      fPrinter.setColumns(v);
  });
  connect(cbZoom, &QComboBox::currentIndexChanged, this, [this](int i) { setZoom(TZoom(i)); });
  connect(btnPrint, &QPushButton::clicked, this, [this] { PrinterClick(false); });
  connect(btnPrinterSetup, &QPushButton::clicked, this, [this] { PrinterClick(true); });
}

void TFrmZVPrintPreview::ShowError(const QString& Message) {
  fLblPage->setText(Message);
  fLblPage->setToolTip(Message);
}

void TFrmZVPrintPreview::UpdateControls() {
  const int32_t n = fPrinter.PageCount();
  const QString total = fPrinter.PageCountKnown() ? QString::number(n) : QStringLiteral("…");
  if (n > 0)
    fLblPage->setText(tr("Page %1/%2").arg(fCurrentPage + 1).arg(total));
  btnPrevious->setEnabled(fCurrentPage > 0);
  btnNextPage->setEnabled(fCurrentPage + 1 < n || !fPrinter.PageCountKnown());
}

void TFrmZVPrintPreview::setCurrentPage(int32_t Page) {
  if (Page >= fPrinter.PageCount() - 1 && !fPrinter.PageCountKnown())
    CompletePagination();
  fCurrentPage = std::clamp(Page, 0, std::max(0, fPrinter.PageCount() - 1));
  fPage->fImageValid = false;
  fPage->update();
  UpdateControls();
}

void TFrmZVPrintPreview::CompletePagination() {
  if (fPrinter.PageCountKnown())
    return;
  try {
    fPrinter.FormatPrint();
  } catch (const std::exception& e) {
    ShowError(QString::fromUtf8(e.what()));
  }
  UpdateControls();
}

void TFrmZVPrintPreview::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  // After the first page has been painted.
  QTimer::singleShot(0, this, [this] { CompletePagination(); });
}

void TFrmZVPrintPreview::Refresh() {
  try {
    if (fPrinter.PageCountKnown() || fPrinter.PageCount() == 0)
      fPrinter.FormatPrint();
    else
      fPrinter.FormatHead(fCurrentPage);
  } catch (const std::exception& e) {
    ShowError(QString::fromUtf8(e.what()));
  }
  fUpdating = true;
  edColumns->setValue(fPrinter.getColumns());
  btnNumbers->setChecked(fPrinter.getLineNumbers());
  fUpdating = false;
  PlacePage();
  setCurrentPage(fCurrentPage);
}

void TFrmZVPrintPreview::setZoom(TZoom z) {
  fZoom = z;
  if (cbZoom->currentIndex() != z)
    cbZoom->setCurrentIndex(z); // comes back here through the signal
  fScroll->horizontalScrollBar()->setValue(0);
  fScroll->verticalScrollBar()->setValue(0);
  PlacePage();
}

void TFrmZVPrintPreview::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  PlacePage();
}

// The page width and whole-page zooms follow the scroll area's size.
bool TFrmZVPrintPreview::eventFilter(QObject* Watched, QEvent* e) {
  if (e->type() == QEvent::Resize && fScroll && Watched == fScroll->viewport() && fZoom >= zPageWidth)
    PlacePage();
  return QDialog::eventFilter(Watched, e);
}

// Zoom, page size and margin positions from the printer's geometry.
void TFrmZVPrintPreview::PlacePage() {
  const auto& g = fPrinter.Geometry();
  if (g.PaperWidth <= 0 || g.PaperHeight <= 0)
    return;
  const double W = g.PaperWidth, H = g.PaperHeight;
  const double cw = std::max(40, fScroll->viewport()->width()), ch = std::max(40, fScroll->viewport()->height());
  static const double kFactors[] = {5, 2, 1.5, 1, 0.75, 0.5};
  if (fZoom <= z50)
    fZoomFact = double(logicalDpiY()) / g.YPPI * kFactors[fZoom];
  else if (fZoom == zPageWidth || H / W <= (ch - 20) / (cw - 20))
    fZoomFact = (cw - 20) / W;
  else
    fZoomFact = (ch - 20) / H;
  const QSize size(int(std::lround(W * fZoomFact)), int(std::lround(H * fZoomFact)));
  if (fPage->size() != size)
    fPage->resize(size);
  fPage->fLeft = int(std::lround(g.Left * fZoomFact));
  fPage->fRight = int(std::lround((W - g.Right) * fZoomFact));
  fPage->fTop = int(std::lround(g.Top * fZoomFact));
  fPage->fBottom = int(std::lround((H - g.Bottom) * fZoomFact));
  fPage->fImageValid = false;
  fPage->update();
}

QImage TFrmZVPrintPreview::PageImage() const { return fPage->grab().toImage(); }

// A margin dropped at Pos (view pixels): inches through the resolution of
// its own direction; the printer lays out again and refreshes the preview.
void TFrmZVPrintPreview::MarginDropped(TPreviewMouseState Which, int Pos) {
  const auto& g = fPrinter.Geometry();
  const double xs = fZoomFact * g.XPPI, ys = fZoomFact * g.YPPI;
  switch (Which) {
  case zmsLeft:
    fPrinter.setMarginLeft(float(Pos / xs));
    break;
  case zmsRight:
    fPrinter.setMarginRight(float((fPage->width() - Pos) / xs));
    break;
  case zmsTop:
    fPrinter.setMarginTop(float(Pos / ys));
    break;
  case zmsBottom:
    fPrinter.setMarginBottom(float((fPage->height() - Pos) / ys));
    break;
  default:
    break;
  }
  PlacePage();
}

void TFrmZVPrintPreview::PrinterClick(bool Setup) {
  QPrinter& printer = *fPrinter.Printer();
  const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
  const int res = printer.resolution();
  try {
    if (Setup) {
      QPageSetupDialog dlg(&printer, this);
      dlg.exec();
    } else {
      CompletePagination();
      QPrintDialog dlg(&printer, this);
      dlg.setOption(QAbstractPrintDialog::PrintPageRange);
      const TZarvMemo* source = fPrinter.getMemoToPrint();
      dlg.setOption(QAbstractPrintDialog::PrintSelection, source && source->getSelLength() != 0);
      dlg.setOption(QAbstractPrintDialog::PrintCurrentPage);
      if (!fPrintRangeSet) {
        dlg.setMinMax(1, std::max(1, fPrinter.PageCount()));
        fPrintRangeSet = true;
      }
      if (dlg.exec() == QDialog::Accepted)
        fPrinter.PrintFromDialog(dlg);
    }
    if (printer.paperRect(QPrinter::DevicePixel) != paper || printer.resolution() != res)
      Refresh();
  } catch (const std::exception& e) {
    ShowError(QString::fromUtf8(e.what()));
  }
}

} // namespace zarv
