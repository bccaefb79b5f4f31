// The window's construction, its file commands and the glue between the
// control's signals and the status bar. Menus live in ZarvPadMenus.cpp.
//
// The highlighter follows the document's file type (THighlighterChoice,
// which also keeps the View > Highlighting override); switching it makes
// the control highlight its text again.
//
// The text store ends a paragraph's text with a NUL, so a NUL byte of a
// file cannot be kept as it is: it is loaded as U+2400 (the symbol for
// NUL), the status bar says how many there were, and saving over that file
// asks first, since the file would no longer be the same.
#include "ZarvPadWindow.h"
#include "ZarvPadLinks.h"

#include "FindBar.h"
#include "HighlighterChoice.h"
#include "PadStatusBar.h"
#include "RecentFiles.h"
#include "ZarvPadMargin.h"

#include <ZarvMemo/memo/ZarvMemo.h>

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <utility>

#include <sys/stat.h>

namespace zarv::pad {

namespace {

std::unique_ptr<QSettings> OpenSettings(const QString& settingsFile) {
  if (settingsFile.isEmpty())
    return std::make_unique<QSettings>(QStringLiteral("ZarvMemo"), QStringLiteral("ZarvPad"));
  return std::make_unique<QSettings>(settingsFile, QSettings::IniFormat);
}

// Sets a flag for its lifetime.
class TFlagGuard {
public:
  explicit TFlagGuard(bool& flag) : fFlag(flag), fOld(flag) { fFlag = true; }
  ~TFlagGuard() { fFlag = fOld; }
  TFlagGuard(const TFlagGuard&) = delete; // one guard per scope
  TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
  bool& fFlag;
  bool fOld;
};

// NUL bytes of a file are shown as this character.
constexpr char16_t kNulShownAs = 0x2400;
// Undo keeps up to this many bytes of removed text: deleting the whole of
// a large file (two bytes a character) stays undoable.
constexpr int kUndoSpace = 512 * 1024 * 1024;

// Why a file of this kind is not opened, or an empty string for a regular
// file. Opening a named pipe blocks until a writer comes, which may be
// never; a device may never end.
QString WhySpecial(const QString& fileName) {
  struct stat st {};
  if (::stat(QFile::encodeName(fileName).constData(), &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))
    return QString();
  if (S_ISFIFO(st.st_mode))
    return QObject::tr("It is a named pipe (FIFO): reading it would wait for a writer. ZarvPad opens regular files "
                       "only.");
  if (S_ISSOCK(st.st_mode))
    return QObject::tr("It is a socket. ZarvPad opens regular files only.");
  return QObject::tr("It is a device, not a file. ZarvPad opens regular files only.");
}

// Why fileName cannot be read, or an empty string when it can (the file is
// then open).
QString WhyUnreadable(const QString& fileName, QFile& file) {
  const QFileInfo info(fileName);
  if (!info.exists())
    return QObject::tr("The file does not exist.");
  if (info.isDir())
    return QObject::tr("It is a folder.");
  if (const QString special = WhySpecial(fileName); !special.isEmpty())
    return special;
  if (!file.open(QIODevice::ReadOnly))
    return file.errorString();
  return QString();
}

} // namespace

TZarvPadWindow::TZarvPadWindow(const QString& settingsFile, QWidget* parent)
    : QMainWindow(parent), fMemo(new TZarvMemo), fFindBar(new TFindBar), fStatus(new TPadStatusBar(this)),
      fProgressCheck(new QTimer(this)), fSettings(OpenSettings(settingsFile)) {
  fReportError = [this](const QString& title, const QString& message) { QMessageBox::critical(this, title, message); };
  fAskSave = [this](const QString& name) {
    return QMessageBox::warning(this, tr("ZarvPad"), tr("Save the changes to \"%1\"?").arg(name),
                                QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
  };
  fConfirm = [this](const QString& question) {
    return QMessageBox::question(this, tr("ZarvPad"), question) == QMessageBox::Yes;
  };

  fMemo->setObjectName(QStringLiteral("editor"));
  // The desktop's selection colours, as other editors show a selection.
  fMemo->setOptions(fMemo->getOptions() | zvoAutoLineBreak | zvoAutoIndent | zvoWindowsSelColors);
  fMemo->setScrollBars(ssBoth);
  fMemo->setSmartHome(true);
  fMemo->setNullReplacement(kNulShownAs);
  fMemo->setUndoMaxSpace(kUndoSpace);
  fMemo->setEndOfTextMark(TZarvPen{clDefault, 1, Qt::NoPen});
  // A match found from the find bar shows while the bar has the focus.
  fMemo->setHideSelection(false);
  QFont font(QStringLiteral("DejaVu Sans Mono"), fBasePointSize);
  font.setStyleHint(QFont::Monospace);
  fMemo->setFont(font);

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(fMemo, 1);
  column->addWidget(fFindBar);
  fFindBar->hide();
  setCentralWidget(central);
  setStatusBar(fStatus);
  fHighlighting = new THighlighterChoice(*fMemo, *fStatus, this);

  createFileMenu();
  createEditMenu();
  createViewMenu();
  createToolsMenu();
  createHelpMenu();
  connectMemo();
  enableStyledCopy();
  readViewSettings();
  new TPadMargin(*this, *fMemo, *fSettings); // gutter and fold marks; a child of the window
  NewDocument();
  if (!restoreGeometry(fSettings->value(QStringLiteral("geometry")).toByteArray()))
    resize(1000, 700);
  fMemo->setFocus();
}

TZarvPadWindow::~TZarvPadWindow() = default;

// The title's mark, the status bar and the quit prompt read the control's
// Modified state whenever it reports a change or a move (undo reports
// both), so they follow it also when the control clears it. The control
// may settle the state only after its notice (an undo back to the saved
// text), so the title is read once more when the event is done.
void TZarvPadWindow::connectMemo() {
  connect(fMemo, &TZarvMemo::changed, this, [this] {
    refreshStatus();
    QMetaObject::invokeMethod(
        this,
        [this] {
          setWindowModified(fMemo->Modified());
          fStatus->ShowModified(fMemo->Modified());
        },
        Qt::QueuedConnection);
  });
  connect(fMemo, &TZarvMemo::modifiedChanged, this, [this](bool modified) {
    setWindowModified(modified);
    fStatus->ShowModified(modified);
  });
  // An edit larger than the undo space cannot be undone: say so rather
  // than leave Undo silently greyed out.
  connect(fMemo, &TZarvMemo::undoRecordDropped, this, [this](int32_t size) {
    fStatus->showMessage(tr("This change (%1 characters) is too large to be undone").arg(size), 10000);
  });
  connect(fMemo, &TZarvMemo::selMoved, this, [this] {
    if (!fFinding)
      fFindAnchor = -1;
    refreshStatus();
  });
  connect(fMemo, &TZarvMemo::progressed, this, &TZarvPadWindow::showProgress);
  fProgressCheck->setInterval(250);
  connect(fProgressCheck, &QTimer::timeout, this, &TZarvPadWindow::showProgress);
  connect(fFindBar, &TFindBar::findRequested, this, &TZarvPadWindow::Find);
  connect(fFindBar, &TFindBar::textEdited, this, &TZarvPadWindow::FindAsYouType);
  connect(fFindBar, &TFindBar::closed, this, [this] { fMemo->setFocus(); });
  connect(fRecent, &TRecentFiles::openRequested, this, &TZarvPadWindow::openAfterAsking);
}

// ---- File commands ---------------------------------------------------------------------

void TZarvPadWindow::NewDocument() {
  fHighlighting->ChooseForFile(QString());
  fMemo->Clear();
  fMemo->SetTextFormat({TzvsEncoding::Utf8, false});
  fMemo->setLineBreak(zbLF);
  fMemo->ClearUndo();
  documentLoaded(QString());
}

bool TZarvPadWindow::OpenFile(const QString& fileName, std::optional<TzvsEncoding> encoding) {
  QFile file(fileName);
  const QString why = WhyUnreadable(fileName, file);
  if (!why.isEmpty()) {
    fReportError(tr("Cannot open"), tr("\"%1\" cannot be read.\n%2").arg(QDir::toNativeSeparators(fileName), why));
    return false;
  }
  fHighlighting->ChooseForFile(fileName);
  fLoadSize = file.size();
  fStatus->ShowProgress(tr("Loading"), 0, fLoadSize);
  TzvsLoadResult loaded;
  try {
    loaded = fMemo->LoadFromStream(file, encoding);
  } catch (const std::exception& e) {
    // The file opened but failed part way: what was read is now the text.
    // It stays, untitled and modified, so that it never overwrites the
    // file as if it were the whole of it.
    fStatus->HideProgress();
    fFileName.clear();
    fNuls = 0;
    fStatus->ShowNuls(0);
    fMemo->SetModified(true);
    refreshTitle();
    fReportError(tr("Cannot open"), tr("Reading \"%1\" failed part way; the text shown is incomplete.\n%2")
                                        .arg(QDir::toNativeSeparators(fileName), QString::fromLocal8Bit(e.what())));
    return false;
  }
  fMemo->ClearUndo();
  documentLoaded(QFileInfo(fileName).absoluteFilePath());
  fNuls = loaded.Nuls;
  fStatus->ShowNuls(fNuls);
  fRecent->Add(fFileName);
  return true;
}

void TZarvPadWindow::OpenAtStart(const QString& fileName) {
  fStartFile = fileName;
  if (isVisible())
    watchForExpose();
}

void TZarvPadWindow::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  if (!fStartFile.isEmpty())
    watchForExpose();
}

// The load waits for the window's first exposure: Qt paints the window
// while it handles that event, so a load started just after it runs under
// a painted window, whose status bar then shows the progress.
void TZarvPadWindow::watchForExpose() {
  QWindow* w = windowHandle();
  if (w && w->isExposed())
    QTimer::singleShot(0, this, &TZarvPadWindow::openStartFile);
  else if (w)
    w->installEventFilter(this);
}

bool TZarvPadWindow::eventFilter(QObject* watched, QEvent* e) {
  if (watched == windowHandle() && e->type() == QEvent::Expose && windowHandle()->isExposed()) {
    watched->removeEventFilter(this);
    QTimer::singleShot(0, this, &TZarvPadWindow::openStartFile);
  }
  return QMainWindow::eventFilter(watched, e);
}

void TZarvPadWindow::openStartFile() {
  const QString name = std::exchange(fStartFile, QString());
  if (name.isEmpty())
    return;
  bool ok = true;
  // Not there (a dangling link is there: its target cannot be made here).
  if (!QFileInfo::exists(name) && !QFileInfo(name).isSymLink()) {
    NewDocument();
    fFileName = QFileInfo(name).absoluteFilePath();
    fHighlighting->ChooseForFile(fFileName);
    refreshTitle();
    fStatus->showMessage(tr("New file: saving creates it"), 8000);
  } else {
    ok = OpenFile(name);
  }
  emit startOpened(ok);
}

bool TZarvPadWindow::SaveTo(const QString& fileName, TzvsTextFormat format, TZarvLineBreak lineBreak) {
  const QString fileNameBefore = fFileName;
  const TzvsTextFormat oldFormat = fMemo->TextFormat();
  const TZarvLineBreak oldBreak = fMemo->getLineBreak();
  fMemo->SetTextFormat(format);
  fMemo->setLineBreak(lineBreak);
  fStatus->ShowProgress(tr("Saving"), 0, fMemo->getCharCount());
  try {
    fMemo->SaveToFile(fileName);
  } catch (const std::exception& e) {
    fMemo->SetTextFormat(oldFormat);
    fMemo->setLineBreak(oldBreak);
    fStatus->HideProgress();
    fReportError(tr("Cannot save"), QString::fromLocal8Bit(e.what()));
    return false;
  }
  fStatus->HideProgress();
  fFileName = QFileInfo(fileName).absoluteFilePath();
  // The file now holds the text as shown.
  fNuls = 0;
  fStatus->ShowNuls(0);
  fMemo->SetModified(false);
  // Saved under another type: highlighted as that type, unless chosen.
  if (THighlighterChoice::LanguageOfFile(fFileName) != THighlighterChoice::LanguageOfFile(fileNameBefore))
    fHighlighting->ChooseForFile(fFileName);
  fRecent->Add(fFileName);
  refreshTitle();
  fStatus->Refresh(*fMemo);
  return true;
}

bool TZarvPadWindow::MaybeKeepChanges() {
  if (!fMemo->Modified())
    return true;
  switch (fAskSave(documentName())) {
  case QMessageBox::Save:
    return Save();
  case QMessageBox::Discard:
    return true;
  default:
    return false;
  }
}

bool TZarvPadWindow::Save() {
  if (fFileName.isEmpty())
    return saveAsWithDialog();
  return confirmNuls(fFileName) && confirmFormat(fMemo->TextFormat()) &&
         SaveTo(fFileName, fMemo->TextFormat(), fMemo->getLineBreak());
}

// The text shows the file's NUL bytes as U+2400: written over that file it
// would change it (a program file would no longer run), edited or not.
bool TZarvPadWindow::confirmNuls(const QString& fileName) {
  if (fNuls == 0 || QFileInfo(fileName).absoluteFilePath() != fFileName)
    return true;
  const QString nuls = fNuls == 1 ? tr("1 NUL byte") : tr("%1 NUL bytes").arg(fNuls);
  return fConfirm(tr("\"%1\" holds %2, shown as \u2400. Saving writes the text as shown, so the file will not be "
                     "the same as before (a binary file may no longer work).\nSave over it anyway?")
                      .arg(QFileInfo(fileName).fileName(), nuls));
}

// 8-bit text keeps only the low byte of a wider character, so a save would
// change the text without a word: the user is asked first. The symbols
// shown for NUL bytes are written back as NULs (their low byte), which the
// NUL question has covered.
bool TZarvPadWindow::confirmFormat(TzvsTextFormat format) {
  if (format.Encoding != TzvsEncoding::Ansi)
    return true;
  const bool nulsShown = fNuls > 0;
  for (int32_t p = 0; p < fMemo->GetParCount(); ++p) {
    const QString par = fMemo->getParString(p);
    const auto wide = std::find_if(par.begin(), par.end(), [nulsShown](QChar c) {
      return c.unicode() > 0xFF && !(nulsShown && c.unicode() == kNulShownAs);
    });
    if (wide != par.end())
      return fConfirm(tr("Line %1 holds \"%2\", which 8-bit text cannot hold: such characters would be written as "
                         "other characters.\nSave as 8-bit text anyway?")
                          .arg(p + 1)
                          .arg(*wide));
  }
  return true;
}

void TZarvPadWindow::documentLoaded(const QString& fileName) {
  fFileName = fileName;
  fNuls = 0;
  fStatus->ShowNuls(0);
  fFindAnchor = -1;
  // Loading sets the modified flag like any change; a fresh document is not.
  fMemo->SetModified(false);
  fMemo->setTopLine(0);
  pad::AttachLinks(*fMemo, *this, fileName); // addresses and mail quoting
  refreshTitle();
  fStatus->Refresh(*fMemo);
}

void TZarvPadWindow::closeEvent(QCloseEvent* e) {
  if (!MaybeKeepChanges()) {
    e->ignore();
    return;
  }
  fSettings->setValue(QStringLiteral("geometry"), saveGeometry());
  e->accept();
}

// ---- Search and navigation -----------------------------------------------------------------

// The control searches from the caret, which after a search stands at the
// end the search went towards: a search the other way would find the same
// match again. So the caret first goes to the selection's far side, and
// comes back with the selection when nothing is found.
bool TZarvPadWindow::Find(bool down) {
  const QString text = fFindBar->Text();
  if (text.isEmpty()) {
    fFindBar->Activate();
    return false;
  }
  const bool matchCase = fFindBar->MatchCase(), words = fFindBar->WholeWords();
  const int32_t caret = fMemo->getSelStart(), length = fMemo->getSelLength();
  TFlagGuard finding(fFinding);
  if (length != 0)
    fMemo->setSelStart(down ? std::max(caret, caret + length) : std::min(caret, caret + length));
  bool found = fMemo->FindTxt(text, down, matchCase, words, false);
  if (found) {
    fStatus->clearMessage();
  } else {
    // Past the last match: go round from the other end of the text.
    found = fMemo->FindTxt(text, down, matchCase, words, true);
    if (found)
      fStatus->showMessage(down ? tr("Continued from the top") : tr("Continued from the bottom"), 4000);
    else
      fStatus->showMessage(tr("\"%1\" not found").arg(text), 6000);
  }
  if (found) {
    fMemo->ScrollInView();
    // Typing on in the bar grows this match.
    fFindAnchor = std::min(fMemo->getSelStart(), fMemo->getSelStart() + fMemo->getSelLength());
  } else if (length != 0) {
    fMemo->setSelStart(caret);
    fMemo->setSelLength(length);
  }
  fFindBar->ShowNotFound(!found);
  return found;
}

bool TZarvPadWindow::FindAsYouType(const QString& text) {
  TFlagGuard finding(fFinding);
  if (fFindAnchor < 0)
    fFindAnchor = std::min(fMemo->getSelStart(), fMemo->getSelStart() + fMemo->getSelLength());
  fMemo->setSelStart(fFindAnchor);
  fMemo->setSelLength(0);
  bool found = false;
  if (!text.isEmpty()) {
    const bool matchCase = fFindBar->MatchCase(), words = fFindBar->WholeWords();
    found = fMemo->FindTxt(text, true, matchCase, words, false) || fMemo->FindTxt(text, true, matchCase, words, true);
  }
  if (found) {
    fMemo->ScrollInView();
    fStatus->clearMessage();
  } else if (!text.isEmpty()) {
    fMemo->ScrollInView();
    fStatus->showMessage(tr("\"%1\" not found").arg(text), 6000);
  }
  fFindBar->ShowNotFound(!found && !text.isEmpty());
  return found;
}

// A line out of view comes to the middle of the window rather than to its
// edge, where ScrollInView alone would leave it.
void TZarvPadWindow::GoToLine(int line) {
  fMemo->setSelPar(std::clamp(line, 1, fMemo->GetParCount()) - 1);
  const int shown = std::max(1, fMemo->viewport()->height() / std::max(1, fMemo->getLineHeight()));
  const int target = fMemo->getSelLine(), top = fMemo->getTopLine();
  if (target < top || target >= top + shown - 1)
    fMemo->setTopLine(std::max(0, target - shown / 2));
  fMemo->ScrollInView();
  fMemo->setFocus();
}

void TZarvPadWindow::Zoom(int delta) {
  QFont font = fMemo->font();
  const int size = delta == 0 ? fBasePointSize : std::clamp(font.pointSize() + delta, 4, 96);
  if (size == font.pointSize())
    return;
  font.setPointSize(size);
  fMemo->setFont(font);
  fStatus->showMessage(tr("Zoom: %1 pt").arg(size), 2000);
}

// ---- Status and title ----------------------------------------------------------------------

// The control reports progress while it formats in the background, but
// may finish the last paragraphs while painting, without a report: while
// the bar shows, a timer looks again.
void TZarvPadWindow::showProgress() {
  // The bytes are read ahead of the paragraphs made from them: all of them
  // may be read while the load still runs, and the bar stays until it ends.
  if (fMemo->LoadingContent())
    fStatus->ShowProgress(tr("Loading"), std::min<qint64>(fMemo->getFormatCompleted(), fLoadSize - 1), fLoadSize);
  else if (fMemo->SavingContent())
    fStatus->ShowProgress(tr("Saving"), fMemo->getFormatCompleted(), fMemo->getCharCount());
  else
    fStatus->ShowProgress(tr("Formatting"), fMemo->getFormatCompleted(), fMemo->GetParCount());
  if (fStatus->ProgressVisible() != fProgressCheck->isActive()) {
    if (fStatus->ProgressVisible())
      fProgressCheck->start();
    else
      fProgressCheck->stop();
  }
}

QString TZarvPadWindow::documentName() const {
  return fFileName.isEmpty() ? tr("Untitled") : QFileInfo(fFileName).fileName();
}

void TZarvPadWindow::refreshStatus() {
  refreshTitle();
  fStatus->Refresh(*fMemo);
}

void TZarvPadWindow::refreshTitle() {
  setWindowTitle(tr("%1[*] - ZarvPad").arg(documentName()));
  setWindowModified(fMemo->Modified());
  fReopenMenu->setEnabled(!fFileName.isEmpty());
}

} // namespace zarv::pad
