// The print preview window: one page at a time, drawn by the printer's own
// page drawing scaled to the zoom, with page navigation, zoom, columns,
// line numbers, margins dragged with the mouse, page setup and printing.
//
// The first page shows as soon as the head of the text is laid out; the
// whole text is paginated right after the window has painted it, so a
// large text does not keep the window from opening.
#pragma once

#include <QDialog>
#include <QImage>
#include <cstdint>

class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSpinBox;

namespace zarv {

class TZarvMemoPrinter;
class TPreviewPage;

enum TPreviewMouseState : uint8_t { zmsNormal, zmsLeft, zmsRight, zmsTop, zmsBottom };

// Invariants: 0 <= fCurrentPage < the printer's page count once laid out;
// ZoomFact > 0 (preview pixels per printer pixel).
class TFrmZVPrintPreview : public QDialog {
  Q_OBJECT
public:
  TFrmZVPrintPreview(TZarvMemoPrinter& Printer, QWidget* Parent = nullptr);
  ~TFrmZVPrintPreview() override;

  // Zoom entries, in the order of the zoom list.
  enum TZoom { z500, z200, z150, z100, z75, z50, zPageWidth, zWholePage };
  void setZoom(TZoom z);
  double ZoomFact() const { return fZoomFact; }
  int32_t CurrentPage() const { return fCurrentPage; }
  void setCurrentPage(int32_t Page);
  // Lays out again (after a printer property changed) and repaints.
  void Refresh();
  // Paginates the whole text when only its head is laid out.
  void CompletePagination();
  // The page as shown, margins included.
  QImage PageImage() const;
  QWidget* PageView() const;
  QLabel* PageLabel() const { return fLblPage; }
  QPushButton *btnNextPage = nullptr, *btnPrevious = nullptr, *btnMargins = nullptr, *btnNumbers = nullptr;
  QPushButton *btnPrint = nullptr, *btnPrinterSetup = nullptr, *BtnClose = nullptr;
  QSpinBox* edColumns = nullptr;
  QComboBox* cbZoom = nullptr;

protected:
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* Watched, QEvent* e) override;

private:
  friend class TPreviewPage;
  void BuildControls();
  void ConnectControls();
  void UpdateControls();
  void PlacePage();
  void ShowError(const QString& Message);
  void MarginDropped(TPreviewMouseState Which, int Pos);
  void PrinterClick(bool Setup);

  TZarvMemoPrinter& fPrinter;
  QScrollArea* fScroll = nullptr;
  TPreviewPage* fPage = nullptr;
  QLabel* fLblPage = nullptr;
  TZoom fZoom = zPageWidth;
  double fZoomFact = 0.1;
  int32_t fCurrentPage = 0;
  bool fPrintRangeSet = false, fUpdating = false;
};

} // namespace zarv
