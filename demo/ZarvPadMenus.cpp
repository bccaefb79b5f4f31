// The window's menus and the commands that ask the user first (file
// dialogs, the save options, the font, the line to go to).
//
// Shortcuts stay clear of the control's own keys: Ctrl+T, Ctrl+P and the
// style keys belong to it. Undo, Redo and the clipboard commands share
// their keys with the control, which takes them while it has the focus
// and does the same thing, so the actions act when the focus is elsewhere
// (on the focused text field, else on the editor).
#include "ZarvPadWindow.h"

#include "FindBar.h"
#include "FormatNames.h"
#include "HighlighterChoice.h"
#include "PadEditActions.h"
#include "PadStatusBar.h"
#include "RecentFiles.h"
#include "SaveOptionsDialog.h"

#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QInputDialog>
#include <QMenuBar>
#include <QSettings>

namespace zarv::pad {

namespace {

const QString kWordWrapKey = QStringLiteral("view/wordWrap");
const QString kNonPrintingKey = QStringLiteral("view/nonPrinting");
const QString kFontKey = QStringLiteral("view/font");

QAction* AddAction(QMenu* menu, const QString& text, const QKeySequence& keys = QKeySequence()) {
  QAction* a = menu->addAction(text);
  a->setShortcut(keys);
  return a;
}

} // namespace

void TZarvPadWindow::createFileMenu() {
  QMenu* m = menuBar()->addMenu(tr("&File"));
  connect(AddAction(m, tr("&New"), QKeySequence::New), &QAction::triggered, this, [this] {
    if (MaybeKeepChanges())
      NewDocument();
  });
  connect(AddAction(m, tr("&Open..."), QKeySequence::Open), &QAction::triggered, this, &TZarvPadWindow::openWithDialog);
  QMenu* recent = m->addMenu(tr("Open &Recent"));
  fRecent = new TRecentFiles(*fSettings, *recent, this);
  // For a file whose bytes were taken for the wrong encoding.
  fReopenMenu = m->addMenu(tr("Reopen &with Encoding"));
  for (TzvsEncoding e : {TzvsEncoding::Utf8, TzvsEncoding::Utf16LE, TzvsEncoding::Utf16BE, TzvsEncoding::Ansi})
    connect(fReopenMenu->addAction(FormatLabel({e, false})), &QAction::triggered, this,
            [this, e] { reopenWithEncoding(e); });
  m->addSeparator();
  connect(AddAction(m, tr("&Save"), QKeySequence::Save), &QAction::triggered, this, &TZarvPadWindow::Save);
  connect(AddAction(m, tr("Save &As..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)), &QAction::triggered, this,
          &TZarvPadWindow::saveAsWithDialog);
  addOutputEntries(m);
  m->addSeparator();
  connect(AddAction(m, tr("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q)), &QAction::triggered, this, &QWidget::close);
}

void TZarvPadWindow::createEditMenu() {
  // Edit and Search come from the library's actions (PadEditActions.cpp);
  // the find bar adds its own entries to Search.
  fEditActions = new TPadEditActions(*this, *fMemo);
  fEditActions->FillEditMenu(*menuBar()->addMenu(tr("&Edit")));
  QMenu* m = menuBar()->addMenu(tr("&Search"));
  fEditActions->FillSearchMenu(*m);
  connect(AddAction(m, tr("Find in &Bar..."), QKeySequence(Qt::CTRL | Qt::Key_F)), &QAction::triggered, this, [this] {
    const QString selected = fMemo->getSelText();
    if (!selected.isEmpty() && selected.size() < 200 && !selected.contains(QLatin1Char('\n')))
      fFindBar->setText(selected);
    fFindBar->Activate();
  });
  connect(AddAction(m, tr("Find Next in Bar"), QKeySequence(Qt::Key_F3)), &QAction::triggered, this,
          [this] { Find(true); });
  connect(AddAction(m, tr("Find Pre&vious in Bar"), QKeySequence(Qt::SHIFT | Qt::Key_F3)), &QAction::triggered, this,
          [this] { Find(false); });
  m->addSeparator();
  connect(AddAction(m, tr("&Go to Line..."), QKeySequence(Qt::CTRL | Qt::Key_G)), &QAction::triggered, this,
          &TZarvPadWindow::goToLineWithDialog);
}

void TZarvPadWindow::createToolsMenu() { fEditActions->FillToolsMenu(*menuBar()->addMenu(tr("&Tools"))); }

void TZarvPadWindow::createViewMenu() {
  QMenu* m = menuBar()->addMenu(tr("&View"));
  fWordWrap = AddAction(m, tr("&Word Wrap"), QKeySequence(Qt::ALT | Qt::Key_Z));
  fWordWrap->setCheckable(true);
  connect(fWordWrap, &QAction::toggled, this, [this](bool on) {
    fMemo->setWordWrap(on);
    fSettings->setValue(kWordWrapKey, on);
  });
  fNonPrinting = AddAction(m, tr("&Non-printing Characters"));
  fNonPrinting->setCheckable(true);
  connect(fNonPrinting, &QAction::toggled, this, [this](bool on) {
    fMemo->setShowNonPrintChars(on ? TzvNonPrintChars(zvNPSpace | zvNPTab | zvNPReturn) : TzvNonPrintChars());
    fSettings->setValue(kNonPrintingKey, on);
  });
  m->addSeparator();
  connect(AddAction(m, tr("&Font..."), QKeySequence()), &QAction::triggered, this, &TZarvPadWindow::chooseFont);
  QAction* zoomIn = AddAction(m, tr("Zoom &In"), QKeySequence::ZoomIn);
  // Ctrl+= too: the same key as Ctrl++ without Shift on most layouts.
  zoomIn->setShortcuts({QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
  connect(zoomIn, &QAction::triggered, this, [this] { Zoom(1); });
  connect(AddAction(m, tr("Zoom &Out"), QKeySequence::ZoomOut), &QAction::triggered, this, [this] { Zoom(-1); });
  connect(AddAction(m, tr("&Reset Zoom"), QKeySequence(Qt::CTRL | Qt::Key_0)), &QAction::triggered, this,
          [this] { Zoom(0); });
  m->addSeparator();
  m->addMenu(fHighlighting->CreateMenu(m));
}

void TZarvPadWindow::createHelpMenu() {
  QMenu* m = menuBar()->addMenu(tr("&Help"));
  connect(m->addAction(tr("&About ZarvPad")), &QAction::triggered, this, [this] {
    QMessageBox::about(this, tr("About ZarvPad"),
                       tr("<p><b>ZarvPad</b>, the demo editor of the ZarvMemo component library.</p>"
                          "<p>Editor control: %1</p>")
                           .arg(fMemo->getVersion().toHtmlEscaped()));
  });
}

void TZarvPadWindow::readViewSettings() {
  const QVariant font = fSettings->value(kFontKey);
  if (font.isValid()) {
    const QFont f = font.value<QFont>();
    if (f.pointSize() > 0) {
      fBasePointSize = f.pointSize();
      fMemo->setFont(f);
    }
  }
  // Set the control too: an action already in the state read sends no
  // toggled signal, and the control starts with word wrap on.
  fWordWrap->setChecked(fSettings->value(kWordWrapKey, false).toBool());
  fMemo->setWordWrap(fWordWrap->isChecked());
  fNonPrinting->setChecked(fSettings->value(kNonPrintingKey, false).toBool());
}

// ---- Commands that ask first ----------------------------------------------------------------

void TZarvPadWindow::openWithDialog() {
  if (!MaybeKeepChanges())
    return;
  const QString dir = fFileName.isEmpty() ? QString() : QFileInfo(fFileName).absolutePath();
  const QString name = QFileDialog::getOpenFileName(
      this, tr("Open"), dir,
      tr("All files (*);;C and C++ files (*.c *.cc *.cpp *.cxx *.h *.hpp *.hh *.inl);;Text files (*.txt)"));
  if (!name.isEmpty())
    OpenFile(name);
}

void TZarvPadWindow::openAfterAsking(const QString& fileName) {
  if (!MaybeKeepChanges())
    return;
  if (!OpenFile(fileName) && !QFileInfo::exists(fileName))
    fRecent->Remove(fileName);
}

void TZarvPadWindow::reopenWithEncoding(TzvsEncoding encoding) {
  if (!fFileName.isEmpty() && MaybeKeepChanges())
    OpenFile(fFileName, encoding);
}

bool TZarvPadWindow::saveAsWithDialog() {
  const QString name = QFileDialog::getSaveFileName(this, tr("Save As"), fFileName);
  if (name.isEmpty())
    return false;
  TSaveOptionsDialog options(fMemo->TextFormat(), fMemo->getLineBreak(), this);
  if (options.exec() != QDialog::Accepted || !confirmFormat(options.Format()))
    return false;
  return SaveTo(name, options.Format(), options.LineBreak());
}

void TZarvPadWindow::chooseFont() {
  bool ok = false;
  const QFont f = QFontDialog::getFont(&ok, fMemo->font(), this, tr("Font"));
  if (!ok)
    return;
  fBasePointSize = f.pointSize() > 0 ? f.pointSize() : fBasePointSize;
  fMemo->setFont(f);
  fSettings->setValue(kFontKey, f);
}

void TZarvPadWindow::goToLineWithDialog() {
  bool ok = false;
  const int count = fMemo->GetParCount();
  const int line = QInputDialog::getInt(this, tr("Go to Line"), tr("Line (1 to %1):").arg(count),
                                        fMemo->getSelPar() + 1, 1, count, 1, &ok);
  if (ok)
    GoToLine(line);
}

} // namespace zarv::pad
