// The lines editor form: its menus, tool bar and status line, the copy of
// the edited control's look, and apply, OK and cancel.
#include <ZarvMemo/dialogs/LinesEditor.h>

#include <ZarvMemo/dialogs/FindDialog.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>
#include <exception>

namespace zarv {

namespace {

// The selection's style bits the style buttons show.
constexpr uint8_t kHighlightBit = 1 << 4;
constexpr uint8_t kAltFontBit = 1 << 5;

// Runs a command from a button or a menu: nothing may escape the event loop.
void Guard(TFrmZarvLines& f, const std::function<void()>& run) {
  try {
    run();
  } catch (const std::exception& e) {
    if (f.ShowMessage)
      f.ShowMessage(QString::fromUtf8(e.what()));
  }
}

} // namespace

TFrmZarvLines::TFrmZarvLines(TZarvMemo& Edited, QWidget* parent)
    : QDialog(parent), fEdited(&Edited), fEditor(new TZarvMemo(this)) {
  setWindowTitle(tr("Zarv Lines Editor"));
  ChooseFile = [this](bool save) {
    return save
               ? QFileDialog::getSaveFileName(this, tr("Save As"), fEditFile, tr("Text files (*.TXT);;All files (*.*)"))
               : QFileDialog::getOpenFileName(this, tr("Open"), QString(), tr("Text files (*.TXT);;All files (*)"));
  };
  ShowMessage = [this](const QString& message) {
    QMessageBox box(QMessageBox::Information, windowTitle(), message, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
  };
  fEditor->setObjectName(QStringLiteral("linesEditor"));
  fEditor->setScrollBars(ssVertical);
  auto* column = new QVBoxLayout(this);
  buildMenus();
  buildToolBar();
  column->addWidget(fToolBar);
  column->addWidget(fEditor, 1);
  column->addWidget(buildStatus());

  copyLook();
  connect(fEditor, &TZarvMemo::changed, this, &TFrmZarvLines::changed);
  connect(fEditor, &TZarvMemo::selMoved, this, &TFrmZarvLines::selMoved);
  connect(fEditor, &TZarvMemo::styleChanged, this, &TFrmZarvLines::styleChanged);
  fEditor->setFocus();
  resize(640, 420);
}

TFrmZarvLines::~TFrmZarvLines() = default;

QAction* TFrmZarvLines::command(QMenu* menu, const QString& name, const QString& text, const QKeySequence& key,
                                std::function<void()> run) {
  auto* a = new QAction(text, this);
  a->setObjectName(name);
  a->setShortcut(key);
  // The form's keys win over the control's own (Ctrl+F is the alternate
  // font here, Ctrl+H the highlight).
  a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(a, &QAction::triggered, this, [this, run] { Guard(*this, run); });
  if (menu)
    menu->addAction(a);
  addAction(a);
  return a;
}

void TFrmZarvLines::buildMenus() {
  auto* bar = new QMenuBar(this);
  bar->setObjectName(QStringLiteral("menuBar"));
  layout()->setMenuBar(bar);
  QMenu* file = bar->addMenu(tr("&File"));
  command(file, QStringLiteral("new"), tr("&New"), {}, [this] { fEditor->Clear(); });
  command(file, QStringLiteral("open"), tr("&Open..."), {}, [this] {
    const QString name = ChooseFile(false);
    if (!name.isEmpty())
      LoadFile(name);
  });
  command(file, QStringLiteral("save"), tr("&Save"), {}, [this] { Save(); });
  command(file, QStringLiteral("saveAs"), tr("Save &As..."), {}, [this] { SaveAs(); });
  QMenu* edit = bar->addMenu(tr("&Edit"));
  command(edit, QStringLiteral("undo"), tr("&Undo (Ctrl-Z)"), {}, [this] { fEditor->Undo(); });
  command(edit, QStringLiteral("redo"), tr("&Redo (Ctrl-Shift-Z)"), {}, [this] { fEditor->Redo(); });
  command(edit, QStringLiteral("cut"), tr("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X),
          [this] { fEditor->CutToClipboard(); });
  command(edit, QStringLiteral("copy"), tr("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C),
          [this] { fEditor->CopyToClipboard(); });
  command(edit, QStringLiteral("paste"), tr("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V),
          [this] { fEditor->PasteFromClipboard(); });
  command(edit, QStringLiteral("selectAll"), tr("Select &All"), QKeySequence(Qt::CTRL | Qt::Key_A),
          [this] { fEditor->SelectAll(); });
  edit->addSeparator();
  command(edit, QStringLiteral("bold"), tr("Bold"), QKeySequence(Qt::CTRL | Qt::Key_B), [this] { fEditor->SetBold(); });
  command(edit, QStringLiteral("italic"), tr("Italic"), QKeySequence(Qt::CTRL | Qt::Key_I),
          [this] { fEditor->SetItalic(); });
  command(edit, QStringLiteral("underline"), tr("Underline"), QKeySequence(Qt::CTRL | Qt::Key_U),
          [this] { fEditor->SetUnderline(); });
  command(edit, QStringLiteral("highlight"), tr("Highlight"), QKeySequence(Qt::CTRL | Qt::Key_H),
          [this] { fEditor->SetHighlight(); });
  command(edit, QStringLiteral("altFont"), tr("Alternate font"), QKeySequence(Qt::CTRL | Qt::Key_F),
          [this] { fEditor->SetAltFont(); });
  connect(edit, &QMenu::aboutToShow, this, [this] {
    Command(QStringLiteral("undo")).setEnabled(fEditor->CanUndo());
    Command(QStringLiteral("redo")).setEnabled(fEditor->CanRedo());
  });
  QMenu* search = bar->addMenu(tr("&Search"));
  // Find has no key: Ctrl+F is the alternate font here.
  command(search, QStringLiteral("find"), tr("&Find..."), {}, [this] { openFind(); });
  command(search, QStringLiteral("findNext"), tr("Find &Next"), QKeySequence(Qt::Key_F3), [this] {
    FindNext();
  })->setEnabled(false);
  QMenu* setup = bar->addMenu(tr("Se&tup"));
  command(setup, QStringLiteral("font"), tr("Font..."), {}, [this] { chooseFont(false); });
  command(setup, QStringLiteral("altFontSetup"), tr("Alternate font..."), {}, [this] { chooseFont(true); });
  QAction* toolbar = command(setup, QStringLiteral("toolbar"), tr("&Toolbar"), {}, [] {});
  toolbar->setCheckable(true);
  toolbar->setChecked(true);
  connect(toolbar, &QAction::toggled, this, [this](bool on) { fToolBar->setVisible(on); });
  fToolBar = new QToolBar(this);
}

void TFrmZarvLines::buildToolBar() {
  struct TTool {
    const char* Name;
    const char* Text;
    const char* Hint;
  };
  const TTool styles[] = {{"bold", "B", QT_TR_NOOP("Bold (Ctrl+B)")},
                          {"italic", "I", QT_TR_NOOP("Italic (Ctrl+I)")},
                          {"underline", "U", QT_TR_NOOP("Underline (Ctrl+U)")},
                          {"highlight", "H", QT_TR_NOOP("Color Highlight (Ctrl+H)")},
                          {"altFont", "F", QT_TR_NOOP("Alternate Font (Ctrl+F)")}};
  for (const TTool& t : styles) {
    QAction& a = Command(QString::fromLatin1(t.Name));
    a.setCheckable(true);
    a.setIconText(QString::fromLatin1(t.Text));
    a.setToolTip(tr(t.Hint));
    fToolBar->addAction(&a);
  }
  fToolBar->addSeparator();
  const std::pair<const char*, const char*> others[] = {{"paste", QT_TR_NOOP("Paste")},
                                                        {"copy", QT_TR_NOOP("Copy")},
                                                        {"cut", QT_TR_NOOP("Cut")},
                                                        {"find", QT_TR_NOOP("Search")},
                                                        {"save", QT_TR_NOOP("Save File")},
                                                        {"open", QT_TR_NOOP("Open File")},
                                                        {"undo", QT_TR_NOOP("Undo (Ctrl+Z)")},
                                                        {"redo", QT_TR_NOOP("Redo (Ctrl+Shift+Z)")}};
  for (const auto& [name, hint] : others) {
    QAction& a = Command(QString::fromLatin1(name));
    fToolBar->addAction(&a);
    a.setToolTip(tr(hint));
  }
  Command(QStringLiteral("undo")).setEnabled(false);
  Command(QStringLiteral("redo")).setEnabled(false);
  Command(QStringLiteral("undo")).setIconText(tr("Undo"));
  Command(QStringLiteral("redo")).setIconText(tr("Redo"));
  fToolBar->addAction(command(nullptr, QStringLiteral("goEnd"), tr("End"), {}, [this] { goTo(true); }));
  fToolBar->addAction(command(nullptr, QStringLiteral("goStart"), tr("Start"), {}, [this] { goTo(false); }));
  Command(QStringLiteral("goEnd")).setToolTip(tr("Goto end of text"));
  Command(QStringLiteral("goStart")).setToolTip(tr("Goto start of text"));
  // The style commands act on static text only.
  if (fEdited && !fEdited->getStaticFormat())
    for (const TTool& t : styles)
      Command(QString::fromLatin1(t.Name)).setEnabled(false);
}

QWidget* TFrmZarvLines::buildStatus() {
  auto* host = new QWidget(this);
  auto* row = new QHBoxLayout(host);
  row->setContentsMargins(0, 0, 0, 0);
  fOffset = new QLabel(host);
  fPar = new QLabel(host);
  row->addWidget(new QLabel(tr("offset:"), host));
  row->addWidget(fOffset);
  row->addWidget(new QLabel(tr("parag:"), host));
  row->addWidget(fPar);
  row->addStretch(1);
  auto* ok = new QPushButton(tr("&OK"), host);
  auto* cancel = new QPushButton(tr("Cancel"), host);
  fApplyBtn = new QPushButton(tr("&Apply"), host);
  ok->setObjectName(QStringLiteral("ok"));
  cancel->setObjectName(QStringLiteral("cancel"));
  fApplyBtn->setObjectName(QStringLiteral("apply"));
  for (QPushButton* b : {ok, cancel, fApplyBtn}) {
    b->setAutoDefault(false);
    row->addWidget(b);
  }
  connect(ok, &QPushButton::clicked, this, [this] { Guard(*this, [this] { Ok(); }); });
  connect(cancel, &QPushButton::clicked, this, [this] { Guard(*this, [this] { Cancel(); }); });
  connect(fApplyBtn, &QPushButton::clicked, this, [this] { Guard(*this, [this] { Apply(); }); });
  return host;
}

QAction& TFrmZarvLines::Command(const QString& objectName) const {
  auto* a = findChild<QAction*>(objectName, Qt::FindDirectChildrenOnly);
  Q_ASSERT(a);
  return *a;
}

// ---- Show time: the edited control's look and text ----------------------------------------------

void TFrmZarvLines::copyLook() {
  TZarvMemo& m = *fEdited;
  fOrgTxt = m.GetTextContent();
  fEditor->setFont(m.font());
  fEditor->setAltFont(m.getAltFont());
  fEditor->setHighlightColor(m.getHighlightColor());
  fEditor->setHighlightBackgnd(m.getHighlightBackgnd());
  fEditor->setPalette(m.palette());
  fEditor->setAlignment(m.getAlignment());
  fEditor->setJustified(m.getJustified());
  fEditor->setOptions(m.getOptions());
  fEditor->setStaticFormat(m.getStaticFormat());
  fEditor->SetTextBuf(fOrgTxt);
  fEditor->setSelStart(0);
  fEditor->ClearUndo();
  fEditor->SetModified(false);
  fApplyBtn->setEnabled(false);
  selMoved();
  styleChanged();
}

// ---- Notices of the form's control --------------------------------------------------------------

void TFrmZarvLines::changed() {
  fApplyBtn->setEnabled(true);
  Command(QStringLiteral("undo")).setEnabled(fEditor->CanUndo());
  Command(QStringLiteral("redo")).setEnabled(fEditor->CanRedo());
}

void TFrmZarvLines::selMoved() {
  fOffset->setText(QString::number(fEditor->getSelStart()));
  fPar->setText(QString::number(fEditor->getSelPar() + 1));
}

void TFrmZarvLines::styleChanged() {
  const uint8_t style = fEditor->getCurrentStyle();
  const std::pair<const char*, uint8_t> bits[] = {{"bold", fsBold},
                                                  {"italic", fsItalic},
                                                  {"underline", fsUnderline},
                                                  {"highlight", kHighlightBit},
                                                  {"altFont", kAltFontBit}};
  for (const auto& [name, bit] : bits)
    Command(QString::fromLatin1(name)).setChecked(style & bit);
}

// ---- Apply, OK, Cancel ---------------------------------------------------------------------------

// The whole text replaced through the selection in one bracket: the edited
// control can undo it in one step.
void TFrmZarvLines::Apply() {
  if (!fEdited)
    return;
  TZarvMemo& m = *fEdited;
  if (fFontChanged) {
    m.setFont(fEditor->font());
    m.setAltFont(fEditor->getAltFont());
    fFontChanged = false;
  }
  fApplyBtn->setEnabled(false);
  const QString text = fEditor->GetTextContent();
  if (text != m.GetTextContent()) {
    TZarvMemo::TUpdateLock lock(m);
    m.SelectAll();
    m.SetSelTextBuf(text);
  }
  fApplied = true;
}

void TFrmZarvLines::Ok() {
  if (fApplyBtn->isEnabled())
    Apply();
  accept();
}

void TFrmZarvLines::Cancel() {
  if (fApplied && fEdited && fEdited->GetTextContent() != fOrgTxt) {
    TZarvMemo::TUpdateLock lock(*fEdited);
    fEdited->SelectAll();
    fEdited->SetSelTextBuf(fOrgTxt);
  }
  reject();
}

// ---- Files ------------------------------------------------------------------------------------

bool TFrmZarvLines::LoadFile(const QString& name) {
  try {
    fEditor->LoadFromFile(name);
  } catch (const std::exception& e) {
    ShowMessage(QString::fromUtf8(e.what()));
    return false;
  }
  fEditFile = name;
  selMoved();
  styleChanged();
  return true;
}

QString TFrmZarvLines::WithDefaultExtension(const QString& name) {
  if (name.endsWith(QLatin1Char('.')) || !QFileInfo(name).suffix().isEmpty())
    return name;
  return name + QStringLiteral(".TXT");
}

bool TFrmZarvLines::Save() { return fEditFile.isEmpty() ? SaveAs() : SaveTo(fEditFile); }

bool TFrmZarvLines::SaveAs() {
  const QString name = ChooseFile(true);
  if (name.isEmpty())
    return false;
  return SaveTo(WithDefaultExtension(name));
}

bool TFrmZarvLines::SaveTo(const QString& name) {
  try {
    fEditor->SaveToFile(name);
  } catch (const std::exception& e) {
    ShowMessage(QString::fromUtf8(e.what()));
    return false;
  }
  fEditFile = name;
  return true;
}

// ---- Search, fonts, moves -----------------------------------------------------------------------

void TFrmZarvLines::openFind() {
  if (!fFind) {
    fFind = new TzvFindDialog(false, this);
    fFind->setOptions(frDown | frHideWholeWord);
    connect(fFind, &TzvFindDialog::find, this, [this] { Guard(*this, [this] { FindNext(); }); });
  }
  fFind->Execute();
}

bool TFrmZarvLines::FindNext() {
  if (!fFind || fFind->FindText().isEmpty()) {
    openFind();
    return false;
  }
  const TzvFindOptions o = fFind->Options();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool found =
      fEditor->FindTxt(fFind->FindText(), o.testFlag(frDown), o.testFlag(frMatchCase), o.testFlag(frWholeWord), false);
  QApplication::restoreOverrideCursor();
  Command(QStringLiteral("findNext")).setEnabled(true);
  if (found)
    fEditor->ScrollInView();
  else
    ShowMessage(tr("Search string not found"));
  activateWindow();
  return found;
}

void TFrmZarvLines::chooseFont(bool alternate) {
  bool ok = false;
  const QFont f = QFontDialog::getFont(&ok, alternate ? fEditor->getAltFont() : fEditor->font(), this);
  if (!ok)
    return;
  if (alternate)
    fEditor->setAltFont(f);
  else
    fEditor->setFont(f);
  fFontChanged = true;
  fApplyBtn->setEnabled(true);
}

void TFrmZarvLines::goTo(bool end) {
  fEditor->setSelStart(end ? fEditor->getCharCount() : 0);
  fEditor->ScrollInView();
  fEditor->setFocus();
}

} // namespace zarv
