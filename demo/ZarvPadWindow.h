// ZarvPad's main window: one editor control (TZarvMemo) with File, Edit,
// Search, View and Tools menus, an edit tool bar, a find bar and a status
// bar. The file commands exist twice: as menu actions that ask (file
// dialogs, the save-options dialog, the unsaved-changes prompt) and as
// plain calls that do the work, so that tests and the command line drive
// the same code without dialogs. Errors and the unsaved-changes question
// go through replaceable functions for the same reason.
#pragma once

#include <ZarvMemo/memo/ZarvMemoTypes.h>
#include <ZarvMemo/support/store/TextEncoding.h>

#include <QMainWindow>
#include <QMessageBox>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QSettings;
class QTimer;

namespace zarv {
class TZarvMemo;
class TZarvMemoPrinter;
} // namespace zarv

namespace zarv::pad {

class TFindBar;
class THighlighterChoice;
class TPadEditActions;
class TPadStatusBar;
class TRecentFiles;

class TZarvPadWindow : public QMainWindow {
  Q_OBJECT
public:
  // settingsFile: an INI file for the recent files and view settings;
  // empty for the user's ZarvPad settings.
  explicit TZarvPadWindow(const QString& settingsFile = QString(), QWidget* parent = nullptr);
  ~TZarvPadWindow() override;

  TZarvMemo& Memo() const { return *fMemo; }
  TFindBar& FindBar() const { return *fFindBar; }
  TPadStatusBar& StatusBar() const { return *fStatus; }
  TRecentFiles& RecentFiles() const { return *fRecent; }
  THighlighterChoice& Highlighting() const { return *fHighlighting; }
  // The document's file; empty while it is untitled.
  QString FileName() const { return fFileName; }

  // ---- The commands without dialogs ------------------------------------------
  // Replaces the document by an empty one (UTF-8, LF), without asking.
  void NewDocument();
  // Loads fileName, without asking about unsaved changes, in encoding or in
  // the one its bytes show. A file that cannot be opened (missing, a
  // folder, a named pipe, a device or a socket, unreadable) is reported and
  // leaves the document as it was. NUL bytes are shown as U+2400 and said
  // so in the status bar; saving over the file then asks first.
  bool OpenFile(const QString& fileName, std::optional<TzvsEncoding> encoding = std::nullopt);
  // The file named on the command line, opened once the window is shown
  // and painted, so that the window and the load's progress are seen
  // (startOpened tells when it is done). A path that does not exist becomes
  // an empty document of that name, which the first Save creates.
  void OpenAtStart(const QString& fileName);
  // NUL bytes of the file as loaded (each shown as U+2400); 0 once the
  // document was saved or replaced.
  int64_t NulsInFile() const { return fNuls; }
  // Writes the document to fileName in format and lineBreak; on success it
  // becomes the document's file and format. Failures are reported and the
  // document keeps its file and format.
  bool SaveTo(const QString& fileName, TzvsTextFormat format, TZarvLineBreak lineBreak);
  // Saves to the document's file in its format, after a warning when 8-bit
  // text cannot hold every character; untitled, asks for a file first.
  bool Save();
  // Unsaved changes: asks whether to save them (Save saves, to a file
  // chosen then if untitled). False when the user cancels or the save fails.
  bool MaybeKeepChanges();
  // Searches for the find bar's text from the caret; "not found" goes to
  // the status bar and the selection stays.
  bool Find(bool down);
  // Find as you type: the find bar's text is looked for again at each edit,
  // from where the search began (the selection's start when the caret was
  // last moved by the user, or the match Find last went to), going round
  // the end; the match is selected, or the bar shows that there is none
  // and the selection goes back to that start.
  bool FindAsYouType(const QString& text);
  // The caret to the start of line (a line of the file, from 1), shown.
  void GoToLine(int line);
  // The font size steps by delta points (0: back to the chosen size).
  void Zoom(int delta);

  // ---- Replaceable dialogs -------------------------------------------------------
  using TErrorReporter = std::function<void(const QString& title, const QString& message)>;
  using TSavePrompt = std::function<QMessageBox::StandardButton(const QString& documentName)>;
  // A yes/no question; true goes on.
  using TConfirm = std::function<bool(const QString& question)>;
  void setErrorReporter(TErrorReporter r) { fReportError = std::move(r); }
  // Writes the text as RTF, HTML or PDF (File > Export); false, with the
  // failure reported, when it could not.
  enum class TExportFormat { Rtf, Html, Pdf };
  bool Export(const QString& fileName, TExportFormat format);
  // The printer of File > Print and Print Preview, made on first use.
  TZarvMemoPrinter& Printer();
  void setSavePrompt(TSavePrompt p) { fAskSave = std::move(p); }
  void setConfirm(TConfirm c) { fConfirm = std::move(c); }

signals:
  // The command line's file was opened (ok) or could not be (reported).
  void startOpened(bool ok);

protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  void createFileMenu();
  void addOutputEntries(QMenu* m);
  void enableStyledCopy();
  QString baseName() const;
  void createEditMenu();
  void createToolsMenu();
  void createViewMenu();
  void createHelpMenu();
  void connectMemo();
  void openWithDialog();
  void openAfterAsking(const QString& fileName);
  void reopenWithEncoding(TzvsEncoding encoding);
  bool confirmFormat(TzvsTextFormat format);
  bool confirmNuls(const QString& fileName);
  void openStartFile();
  void watchForExpose();
  bool saveAsWithDialog();
  void chooseFont();
  void goToLineWithDialog();
  void documentLoaded(const QString& fileName);
  void showProgress();
  void refreshTitle();
  void refreshStatus();
  void readViewSettings();
  QString documentName() const;

  TZarvMemo* fMemo = nullptr;
  TZarvMemoPrinter* fPrinter = nullptr; // child of the window
  TFindBar* fFindBar = nullptr;
  TPadStatusBar* fStatus = nullptr;
  QTimer* fProgressCheck = nullptr;
  std::unique_ptr<QSettings> fSettings;
  TRecentFiles* fRecent = nullptr;
  THighlighterChoice* fHighlighting = nullptr;
  QString fFileName;
  QString fStartFile;       // the command line's file, until the window shows
  int64_t fNuls = 0;        // NUL bytes of the file as loaded
  int32_t fFindAnchor = -1; // where find as you type starts; -1: at the selection
  bool fFinding = false;    // a search moves the selection, not the user
  qint64 fLoadSize = 0;     // bytes of the file being loaded, for the progress bar
  int fBasePointSize = 10;
  TErrorReporter fReportError;
  TSavePrompt fAskSave;
  TConfirm fConfirm;
  QMenu* fReopenMenu = nullptr;            // enabled while the document has a file
  TPadEditActions* fEditActions = nullptr; // child of the window: Edit, Search, Tools, tool bar
  QAction* fWordWrap = nullptr;
  QAction* fNonPrinting = nullptr;
};

} // namespace zarv::pad
