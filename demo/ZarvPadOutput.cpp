// ZarvPad's ways out of the editor other than saving: export as RTF or
// HTML, print, print preview and PDF. Each job reports a failure in a
// message and leaves any earlier file as it was.
#include "ZarvPadWindow.h"

#include <ZarvMemo/export/StyledCopy.h>
#include <ZarvMemo/export/ZarvToHTML.h>
#include <ZarvMemo/export/ZarvToRTF.h>
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/print/ZarvMemoPrinter.h>

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>

namespace zarv::pad {

// Copy and Cut carry RTF and HTML beside the plain text, so a paste into a
// word processor keeps the colours.
void TZarvPadWindow::enableStyledCopy() { EnableStyledCopy(*fMemo); }

void TZarvPadWindow::addOutputEntries(QMenu* m) {
  QMenu* ex = m->addMenu(tr("&Export"));
  connect(ex->addAction(tr("&RTF...")), &QAction::triggered, this, [this] {
    const QString name = QFileDialog::getSaveFileName(this, tr("Export as RTF"), baseName() + QStringLiteral(".rtf"),
                                                      tr("Rich Text (*.rtf)"));
    if (!name.isEmpty())
      Export(name, TExportFormat::Rtf);
  });
  connect(ex->addAction(tr("&HTML...")), &QAction::triggered, this, [this] {
    const QString name = QFileDialog::getSaveFileName(this, tr("Export as HTML"), baseName() + QStringLiteral(".html"),
                                                      tr("HTML (*.html *.htm)"));
    if (!name.isEmpty())
      Export(name, TExportFormat::Html);
  });
  connect(ex->addAction(tr("&PDF...")), &QAction::triggered, this, [this] {
    const QString name = QFileDialog::getSaveFileName(this, tr("Export as PDF"), baseName() + QStringLiteral(".pdf"),
                                                      tr("PDF files (*.pdf)"));
    if (!name.isEmpty())
      Export(name, TExportFormat::Pdf);
  });
  m->addSeparator();
  QAction* print = m->addAction(tr("&Print..."));
  print->setShortcut(QKeySequence::Print);
  connect(print, &QAction::triggered, this, [this] {
    TZarvMemoPrinter& pr = Printer();
    pr.Printer()->setOutputFormat(QPrinter::NativeFormat);
    QPrintDialog dlg(pr.Printer(), this);
    dlg.setOption(QAbstractPrintDialog::PrintSelection, fMemo->getSelLength() != 0);
    if (dlg.exec() != QDialog::Accepted)
      return;
    try {
      pr.PrintFromDialog(dlg);
    } catch (const std::exception& e) {
      fReportError(tr("Print"), QString::fromUtf8(e.what()));
    }
  });
  connect(m->addAction(tr("Print Pre&view...")), &QAction::triggered, this, [this] { Printer().Preview(this); });
}

QString TZarvPadWindow::baseName() const {
  return fFileName.isEmpty() ? tr("Untitled") : QFileInfo(fFileName).completeBaseName();
}

bool TZarvPadWindow::Export(const QString& fileName, TExportFormat format) {
  try {
    switch (format) {
    case TExportFormat::Rtf: {
      TZarvToRTF x;
      x.setZarvMemo(fMemo);
      x.SaveToFile(fileName);
      break;
    }
    case TExportFormat::Html: {
      TZarvToHTML x;
      x.setZarvMemo(fMemo);
      x.Title = documentName();
      x.SaveToFile(fileName);
      break;
    }
    case TExportFormat::Pdf:
      Printer().ExportPdf(fileName);
      break;
    }
  } catch (const std::exception& e) {
    fReportError(tr("Export"), tr("Export failed: %1").arg(QString::fromUtf8(e.what())));
    return false;
  }
  return true;
}

TZarvMemoPrinter& TZarvPadWindow::Printer() {
  if (!fPrinter) {
    fPrinter = new TZarvMemoPrinter(this);
    fPrinter->setMemoToPrint(fMemo);
    fPrinter->Footer = tr("Page {p} of {pp}");
    fPrinter->FooterAlign = taRightJustify;
  }
  fPrinter->Header = documentName();
  return *fPrinter;
}

} // namespace zarv::pad
