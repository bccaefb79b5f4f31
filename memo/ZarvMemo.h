// TZarvMemo: the multi-line editor control.
//
// The control is a QAbstractScrollArea whose viewport shows the text of its
// paragraph store. It owns the store, its keyword and start-stop lists, the
// selection and view navigators and every navigator created on it, and
// keeps the fields the store layer reads (TZarvMemoHost) current with its
// font and viewport. Attached components (highlighters, a collapse handler,
// gutters, printers) are told of changes through two notification lists.
//
// Its behaviour is spread over several files by concern: construction,
// lifecycle and metrics (ZarvMemo.cpp), properties (ZarvMemoProperties.cpp),
// notification and update locks (ZarvMemoNotify.cpp), text accessors,
// folding and integrity (ZarvMemoText.cpp), loading and saving
// (ZarvMemoStreams.cpp), formatting by update mode (ZarvMemoFormat.cpp),
// scrolling (ZarvMemoScroll.cpp), the caret's place (ZarvMemoCaret.cpp),
// painting (ZarvMemoPaint.cpp, ZarvMemoPaintLine.cpp) and the mouse
// (ZarvMemoMouse.cpp, ZarvMemoPointer.cpp, ZarvMemoAutoScroll.cpp,
// ZarvMemoDrag.cpp).
//
// Invariants: fSelStart never stands after fSelStop; fcp is one of them (or
// the independent caret); |fSelLen| = fSelStop - fSelStart, positive when
// the caret is fSelStart; fLockedCount >= 0.
#pragma once

#include <ZarvMemo/memo/ZarvMemoEditFields.h>
#include <ZarvMemo/memo/ZarvMemoSettings.h>
#include <ZarvMemo/memo/ZarvMemoTypes.h>
#include <ZarvMemo/memo/ZarvUndoList.h>
#include <ZarvMemo/platform/CalloutGuard.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/highlight/Notify.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QImage>
#include <QPair>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QStringConverter>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QMenu;
class QMimeData;
class QTimer;

namespace zarv {

class TzvFormatThread;
class TZarvLinesStrings;
class TZarvParaStrings;
class TzvsCollapseHandler;
class IzvCollapseHandler;
class TLinePainter;

enum TOperation : uint8_t { opInsert, opRemove };

class TZarvMemo : public QAbstractScrollArea,
                  public TZarvMemoHost,
                  public TZarvMemoSettings,
                  protected TZarvMemoEditFields {
  Q_OBJECT
  Q_PROPERTY(bool WordWrap READ getWordWrap WRITE setWordWrap)
  Q_PROPERTY(bool Justified READ getJustified WRITE setJustified)
  Q_PROPERTY(int LeftMargin READ getLeftMargin WRITE setLeftMargin)
  Q_PROPERTY(int RightMargin READ getRightMargin WRITE setRightMargin)
  Q_PROPERTY(int TabStops READ getTabStops WRITE setTabStops)
  Q_PROPERTY(int ColumnWrap READ getColumnWrap WRITE setColumnWrap)
  Q_PROPERTY(int LineHeight READ getLineHeight WRITE setLineHeight)
  Q_PROPERTY(int CaretWidth READ getCaretWidth WRITE setCaretWidth)
  Q_PROPERTY(int RightLinePos READ getRightLinePos WRITE setRightLinePos)
  Q_PROPERTY(QString Separators READ getSeparators WRITE setSeparators)
  Q_PROPERTY(QString WordWrapChars READ getWordWrapChars WRITE setWordWrapChars)
  Q_PROPERTY(bool ApplyKeyWords READ getApplyKeyWords WRITE setApplyKeyWords)
  Q_PROPERTY(bool ApplyStartStopKeys READ getApplyStartStopKeys WRITE setApplyStartStopKeys)
  Q_PROPERTY(bool StaticFormat READ getStaticFormat WRITE setStaticFormat)
  Q_PROPERTY(bool HideSelection READ getHideSelection WRITE setHideSelection)
  Q_PROPERTY(bool WantTabs READ getWantTabs WRITE setWantTabs)
  Q_PROPERTY(bool DisplayOnly READ getDisplayOnly WRITE setDisplayOnly)
  Q_PROPERTY(bool ReadOnly READ getReadOnly WRITE setReadOnly)
  Q_PROPERTY(bool Overwrite READ getOverwrite WRITE setOverwrite)
  Q_PROPERTY(bool EnableHotKeys READ getEnableHotKeys WRITE setEnableHotKeys)
  Q_PROPERTY(bool PassOverCodes READ getPassOverCodes WRITE setPassOverCodes)
  Q_PROPERTY(bool SmartHome READ getSmartHome WRITE setSmartHome)
  Q_PROPERTY(bool ShowEndParSelected READ getShowEndParSelected WRITE setShowEndParSelected)
  Q_PROPERTY(int HighlightColor READ getHighlightColor WRITE setHighlightColor)
  Q_PROPERTY(int HighlightBackgnd READ getHighlightBackgnd WRITE setHighlightBackgnd)
  Q_PROPERTY(int SelBackColor READ getSelBackColor WRITE setSelBackColor)
  Q_PROPERTY(int SelTextColor READ getSelTextColor WRITE setSelTextColor)
  Q_PROPERTY(int MouseWheelFactor READ getMouseWheelFactor WRITE setMouseWheelFactor)
  Q_PROPERTY(int ScrollTime READ getScrollTime WRITE setScrollTime)
  Q_PROPERTY(uint ProgressInterval READ getProgressInterval WRITE setProgressInterval)
  Q_PROPERTY(int UndoMaxLevel READ getUndoMaxLevel WRITE setUndoMaxLevel)
  Q_PROPERTY(int UndoMaxSpace READ getUndoMaxSpace WRITE setUndoMaxSpace)
  Q_PROPERTY(QFont AltFont READ getAltFont WRITE setAltFont)
  Q_PROPERTY(QPixmap BackgroundBmp READ getBackgroundBmp WRITE setBackgroundBmp)
  Q_PROPERTY(QString Version READ getVersion WRITE setVersion)

public:
  explicit TZarvMemo(QWidget* parent = nullptr);
  ~TZarvMemo() override;

  int32_t ClientWidth() const override;
  const QFont& BaseFont() const override { return font(); }

  // ---- Component state and links ---------------------------------------------
  TComponentState ComponentState() const { return fComponentState; }
  void SetComponentState(TComponentState s) { fComponentState = s; }
  // After the control was read from a form: clears undo, then re-applies
  // highlighting (when a list or highlighter takes part) or reformats once.
  virtual void Loaded();
  // A linked component goes (opRemove): the control forgets it.
  virtual void Notification(QObject* component, TOperation operation);
  TzvsCollapseHandler* getCollpsHandler() const { return fCollpsComp; }
  void setCollpsHandler(TzvsCollapseHandler* h);
  // Changing the highlighter highlights the text again: its runs carry key
  // numbers that only the chain that made them can read.
  void setHighlighter(TZarvHighlighter* h);
  // Highlights the whole text again, then reformats and repaints.
  void ReApplyKeywords() override;

  // ---- Notification ----------------------------------------------------------
  // Listeners of changes (notify list) and of every processed event
  // (message list). A listener may leave a list, or be destroyed, while the
  // list is being notified: its slot is cleared and the list compacted after.
  void AddNotify(IzvsNotify* l);
  void RemoveNotify(IzvsNotify* l);
  void AddMsgListener(IzvsNotify* l);
  void RemoveMsgListener(IzvsNotify* l);
  const std::vector<IzvsNotify*>& NotifyList() const { return fNotifyList; }
  const std::vector<IzvsNotify*>& MsgList() const { return fMsgList; }
  // The event being processed, for message listeners.
  TzvWinMsg WinMsg;

  // ---- Update lock -------------------------------------------------------------
  // Nested brackets; changes made inside are processed once, at the
  // outermost EndUpdate.
  void BeginUpdate() {
    if (fLockedCount++ == 0)
      ++fUndoGroup; // the changes of one bracket undo as one step
  }
  void EndUpdate();
  int32_t LockedCount() const { return fLockedCount; }
  // Closes its bracket whatever leaves the scope: on an exception the
  // bracket's changes are still processed (a failing notice then gives way
  // to the exception already under way), and nothing is touched when
  // application code destroyed the control meanwhile.
  class TUpdateLock {
  public:
    explicit TUpdateLock(TZarvMemo& m) : fMemo(m), fOwner(m.ownerId()), fExceptions(std::uncaught_exceptions()) {
      m.BeginUpdate();
    }
    ~TUpdateLock() noexcept(false) {
      if (!OwnerDestroyed(fOwner))
        fMemo.closeBracket(fExceptions, &TZarvMemo::EndUpdate);
    }
    TUpdateLock(const TUpdateLock&) = delete; // one bracket per lock
    TUpdateLock& operator=(const TUpdateLock&) = delete;

  private:
    TZarvMemo& fMemo;
    const void* fOwner;
    int fExceptions;
  };

  // ---- Events (sender first); the main ones are also Qt signals ----------------
  std::function<void(TZarvMemo&)> OnChange, OnSelMove, OnStyleChange, OnProgress, OnHScroll, OnVScroll, OnInternalPopup;
  std::function<void(TZarvMemo&, int32_t StartOffset, int32_t StopOffset)> OnParse;
  std::function<void(TZarvMemo&, int32_t Context, int32_t StartOffset, int32_t StopOffset)> OnContext;
  std::function<void(TZarvMemo&, QString& Txt)> OnBeforeChange;

  // ---- Properties ----------------------------------------------------------------
  bool getWordWrap() const { return fWordWrap; }
  void setWordWrap(bool v);
  TAlignment getAlignment() const { return fAlignment; }
  void setAlignment(TAlignment a);
  bool getJustified() const { return fJustified; }
  void setJustified(bool v);
  int getLeftMargin() const { return fLeftMargin; }
  void setLeftMargin(int v);
  int getRightMargin() const { return fRightMargin; }
  void setRightMargin(int v);
  int getTabStops() const { return fTabStops; }
  void setTabStops(int v);
  int getColumnWrap() const { return fColumnWrap; }
  void setColumnWrap(int v);
  QString getWordWrapChars() const { return fWWChars; }
  void setWordWrapChars(const QString& s);
  // Reads 0 at design time while the height is automatic; a value >= 1
  // (at most 65 535) fixes it, < 1 makes it automatic.
  int getLineHeight() const;
  void setLineHeight(int32_t v);
  // 0 selects an automatic width of LineHeight / 14 + 1.
  int getCaretWidth() const { return fAutoCaretWidth ? 0 : fCaretWidth; }
  void setCaretWidth(int v);
  int32_t CaretPixelWidth() const { return fCaretWidth; }
  int getRightLinePos() const { return fRightLinePos; }
  void setRightLinePos(int v);
  bool getStaticFormat() const { return fParagraphs->fStaticFormat; }
  void setStaticFormat(bool v);
  // Word separators as 8-bit characters; CR and LF are always separators.
  // Reading returns the set in ascending code order.
  QString getSeparators() const;
  void setSeparators(const QString& s);
  bool getApplyKeyWords() const { return fApplyKeyWords; }
  void setApplyKeyWords(bool v);
  bool getApplyStartStopKeys() const { return fApplyStartStopKeys; }
  void setApplyStartStopKeys(bool v);
  void setUpperCaseType(TzvUpperCase t);
  QFont getAltFont() const { return fAltFont; }
  void setAltFont(const QFont& f);
  QPixmap getBackgroundBmp() const { return fBackground; }
  void setBackgroundBmp(const QPixmap& p);
  bool getHideSelection() const { return fHideSelection; }
  void setHideSelection(bool v);
  bool getDisplayOnly() const { return fDisplayOnly; }
  void setDisplayOnly(bool v);
  bool getOverwrite() const { return fOverWrite; }
  void setOverwrite(bool v);
  TzvNonPrintChars getShowNonPrintChars() const { return fShowNonPrintChars; }
  void setShowNonPrintChars(TzvNonPrintChars v);
  TColor getHighlightColor() const { return fHTColor; }
  void setHighlightColor(TColor c);
  TColor getHighlightBackgnd() const { return fHBColor; }
  void setHighlightBackgnd(TColor c);
  TColor getSelBackColor() const { return fSelBackColor; }
  void setSelBackColor(TColor c);
  TColor getSelTextColor() const { return fSelTextColor; }
  void setSelTextColor(TColor c);
  const TZarvPen& getEndOfTextMark() const { return fEndOfTextPen; }
  void setEndOfTextMark(const TZarvPen& p);
  const TZarvPen& getRightLinePen() const { return fRightLinePen; }
  void setRightLinePen(const TZarvPen& p);
  const TZarvPen& getSpecUnderline() const { return fSpecUnderlinePen; }
  void setSpecUnderline(const TZarvPen& p);
  TZarvMemoOptions getOptions() const { return fOptions; }
  void setOptions(TZarvMemoOptions o);
  TScrollStyle getScrollBars() const { return fScrollBars; }
  void setScrollBars(TScrollStyle s);
  TBorderStyle getBorderStyle() const { return fBorderStyle; }
  void setBorderStyle(TBorderStyle b);
  TzvUpdateMode getUpdateMode() const { return fUpdateMode; }
  void setUpdateMode(TzvUpdateMode m);
  QString getVersion() const;
  void setVersion(const QString&) {} // read-only; writing is ignored

  // ---- Text and selection -----------------------------------------------------------
  // Replaces the whole text (breaks of any style).
  void SetTextBuf(const QString& text);
  QString GetTextContent() const { return fParagraphs->Text(zsbCRLF); }
  void setTextContent(const QString& s) { SetTextBuf(s); }
  int32_t getCharCount() const { return fParagraphs->fTextLen; }
  int32_t getTotalLineCount() const { return fParagraphs->fTrueLineCount; }
  int32_t GetParCount() const { return fParagraphs->Count(); }
  // The character at offset n (positions are clamped into the text).
  QChar getChar(int32_t n) const;
  int32_t GetParFromOffset(int32_t n) const;
  int32_t getParsOffset(int32_t p) const;
  // Paragraph p's text; ERangeError outside 0..count-1.
  QString getParString(int32_t p) const;
  // Replaces paragraph p's text (p = count appends a paragraph; anything
  // else outside 0..count raises ERangeError). The caret keeps its place,
  // moved by the change of length when it is in a later paragraph.
  void setParString(int32_t p, const QString& s);
  // Display line l (with word wrap the paragraphs up to it are formatted
  // first); '' outside 0..total lines - 1.
  QString getLineString(int32_t l);
  // The caret to the start of display line l / to column c of its line.
  void setSelLine(int32_t l);
  int32_t getSelLine() const;
  void setSelCol(int32_t c);
  int32_t getSelCol() const;
  // The virtual columns between the end of the caret's line and the caret
  // (spaces and tabs not in the text).
  const QString& ExtraCols() const { return fExtraCols; }
  // The word at the caret, and the effective style there (ranges parsed up
  // to the caret's paragraph first).
  QString getCurrentWord() const;
  uint8_t getCurrentStyle();
  // The caret's offset, paragraph and the selection.
  int32_t getSelStart() const;
  void setSelStart(int32_t n);
  int32_t getSelLength() const { return fSelLen; }
  void setSelLength(int32_t n);
  int32_t getSelPar() const;
  void setSelPar(int32_t p);
  QString getSelText() const;
  int32_t GetSelContext() const;
  TColor getParBackgnd(int32_t p) const;
  void setParBackgnd(int32_t p, TColor c);
  TColor getParForegnd(int32_t p) const;
  void setParForegnd(int32_t p, TColor c);
  bool getParWrapable(int32_t p) const;
  void setParWrapable(int32_t p, bool w);
  QRect GetEditRect() const { return viewport()->rect(); }

  // ---- The view and scrolling (ZarvMemoScroll.cpp) ------------------------------------
  // The view is the pixel origin of the window in the whole text
  // (fTopOrigin: top line x LineHeight + a fine offset) and the horizontal
  // scroll (fDisplayLeft). Every move tells OnVScroll/OnHScroll, the notify
  // list (zveVScroll/zveHScroll) and the signals, once per axis that moved.
  int32_t getTopLine() const { return fTopOrigin / std::max(1, fLineHeight); }
  void setTopLine(int32_t l);
  int32_t getTopOrigin() const { return fTopOrigin; }
  void setTopOrigin(int32_t y);
  int32_t getDisplayLeft() const { return fDisplayLeft; }
  void setDisplayLeft(int32_t x);
  // Moves the view (Top clamped to the text's lines, Left to >= 0): at once
  // when Time is 0, while locked, or for an internal scroll within 200 ms of
  // the last one; otherwise animated over about |Time| ms, slowing toward
  // the end when Time > 0, at constant speed when Time < 0.
  void SetTopLeft(int32_t Top, int32_t Left, int32_t Time);
  // Brings the caret into view (expanding folds that hide it).
  void ScrollInView();
  // What the vertical / horizontal scroll bar asks for; Pos is the thumb's
  // position for SB_THUMBTRACK, in scroll-bar units.
  void VScroll(TzvScrollCode Code, int32_t Pos = 0);
  void HScroll(TzvScrollCode Code, int32_t Pos = 0);
  // One wheel event: WheelDelta in eighths of a degree (120 a notch, > 0
  // scrolls up); MouseWheelFactor lines a notch, or the desktop's setting.
  void DoMouseWheel(Qt::KeyboardModifiers Shift, int32_t WheelDelta, QPoint MousePos);
  // Sets the vertical range and page from the visible line count (scaled
  // to 32 760 units); returns whether the client width changed, which
  // re-wraps the text.
  bool setVScrollParams();
  void setHScrollParams();
  // The widest line only grows while paragraphs are wrapped; after a wrap
  // that may have narrowed it, and while the horizontal bar offers room,
  // the stored line widths are looked at again once wrapping pauses, so the
  // bar goes when nothing is wider than the window.
  void scheduleWidestCheck();
  void recheckWidestLine();
  int32_t VScrollFact() const { return fVScrollfact; }
  int32_t HScrollFact() const { return fHScrollFact; }
  // The bars as 0..maximum with a page, in scroll-bar units.
  QPair<int32_t, int32_t> VScrollRange() const { return {fVScrollMax, fVScrollPage}; }
  QPair<int32_t, int32_t> HScrollRange() const { return {fHScrollMax, fHScrollPage}; }

  // ---- The caret's place (ZarvMemoCaret.cpp) ----------------------------------------------
  // Recomputes the caret's position in the viewport (formatting its
  // paragraph first when needed) and tells a moved caret (OnSelMove) or a
  // changed style at it (OnStyleChange). ForceNew remakes the caret's shape.
  void UpdateCaret(bool ForceNew = false);
  // The caret's left and top in viewport pixels, as last updated.
  int32_t CaretX() const { return fCaretX; }
  int32_t CaretY() const { return fCaretY; }
  // The caret's width: the character's under it in overwrite mode with a
  // wide overwrite caret, else CaretWidth.
  int32_t GetCaretWidth();
  // Where the caret is drawn (with word wrap never right of the text width).
  QRect CaretRect() const { return fCaretRect; }

  // ---- Editing and undo (ZarvMemoEdit.cpp) ------------------------------------------------
  // Replaces the selection by Buf (breaks of any style); every change of
  // the text goes through here. OnBeforeChange may substitute the text; the
  // change is recorded for undo (typing runs merge into one record), the
  // changed paragraph highlighted again, and, outside BeginUpdate/EndUpdate,
  // processed at once (EndModifications). The caret ends after the new text.
  // ETextTooLong leaves text, selection and undo list as they were.
  virtual void SetSelTextBuf(const QString& Buf);
  // SetSelTextBuf, with the virtual columns before the caret made real
  // first (zvoPutExtraSpaces).
  void setSelText(const QString& S);
  void ClearSelection();
  // Selects the whole text with the caret at its end.
  void SelectAll();
  // Copy min(selection, MaxLen - 1) / min(text, MaxLen - 1) characters and
  // a zero; 0 when MaxLen < 1.
  int32_t GetSelTextBuf(char16_t* Buf, int32_t MaxLen) const;
  int32_t GetTextBuf(char16_t* Buf, int32_t MaxLen) const;
  int32_t GetTextLen() const { return getCharCount(); }
  // The text between two offsets (clamped; breaks as CR LF).
  QString GetTextPart(int32_t Start, int32_t Stop) const;
  // Column blocks: columns count characters with tabs expanded to TabStops
  // (formatting codes of static text count none).
  int32_t ColumnToOffset(int32_t Par, int32_t Col) const;
  int32_t OffsetToColumn(int32_t Par, int32_t Offset) const;
  // Selects the block of columns StartCol..StopCol over lines (paragraphs)
  // StartLine..StopLine, the caret at StopCol of StopLine (nothing with
  // word wrap).
  void SelectBlock(int32_t StartCol, int32_t StartLine, int32_t StopCol, int32_t StopLine);
  // The block's columns (left, right) and lines (top, bottom), or an empty
  // rectangle without a block.
  QRect GetColumnBlockXY() const;
  bool BlockSelection() const { return fBlockSelection; }

  // ---- Editing commands (ZarvMemoCommands.cpp) ------------------------------------------
  // A typed key: printable characters (overwrite replaces the character at
  // the caret), Enter (13, with auto-indent), Tab (9, smart tabs), and the
  // control codes Ctrl+A (1), Ctrl+C (3), Ctrl+E (5, integrity check),
  // Ctrl+V (22), Ctrl+X (24). Nothing while locked, dragging, display-only
  // or read-only (except Ctrl+C). Returns whether the key was handled.
  bool KeyPress(char16_t Key);
  // Text typed as one piece: a character, a surrogate pair, an input
  // method's commit.
  void TypeText(const QString& Text);
  // Backspace (Ctrl: back to the previous word; back-indent; virtual
  // columns first) and Delete (Shift: cut, or the character before; Ctrl: to
  // the end of the line). Surrogate pairs go whole.
  void DoBackspace(bool Ctrl = false);
  void DoDelete(bool Shift = false, bool Ctrl = false);
  // The spaces a smart tab inserts: up to the next word of the nearest line
  // above that reaches past the caret.
  QString SmartTabText();
  // Around an edit that must not replace the selection: with persistent
  // blocks the selection is kept aside and comes back after the edit (the
  // caret then stands apart from it); otherwise it is only cleared.
  void PrepareKeepBlock();
  void EndKeepBlock();
  // Static text: the selection wrapped in a formatting code pair (bold 2,
  // italic 1, underline 21, highlight 3, alternative font 4).
  void SetSelAttrib(char16_t Code);
  void SetBold();
  void SetItalic();
  void SetUnderline();
  void SetHighlight();
  void SetAltFont();
  // Pastes S as a column block at the caret's column, one line a paragraph.
  void InsertBlock(const QString& S);

  // ---- Keyboard (ZarvMemoKeys.cpp) -----------------------------------------------------------
  // A pressed key: navigation (arrows, Home/End, PageUp/PageDown; Shift
  // extends, Ctrl goes by words or to the text's ends, Shift with the block
  // modifiers starts a column block), the hot keys Ctrl+B/J/U/H/F/T/P/Z,
  // Backspace, Delete and Insert. Key becomes 0 when the control took it;
  // keys left alone (typed text) go on to KeyPress.
  virtual void KeyDown(int& Key, Qt::KeyboardModifiers Shift);
  virtual void KeyUp(int& Key, Qt::KeyboardModifiers Shift);
  // The caret goes to Pos and the selection stays (persistent blocks).
  void MoveCp(int32_t Pos);
  // The selection start goes back to its word's start; with ExtendEnd the
  // stop goes on to its word's end (with zvoLargeWordSelect over the
  // separators after it as well).
  void SelectWords(bool ExtendEnd);
  // The modifiers that, with Shift and an arrow key or with a left drag,
  // select a column block: Alt by default. Window managers often take
  // Alt+drag and Shift+Alt switches keyboard layouts; Ctrl+Alt is the
  // usual choice there. Either way zvoBlockSelection must be on.
  Qt::KeyboardModifiers BlockModifiers() const { return fBlockModifiers; }
  void setBlockModifiers(Qt::KeyboardModifiers m) { fBlockModifiers = m & (Qt::AltModifier | Qt::ControlModifier); }

  // ---- Mouse (ZarvMemoMouse.cpp) ---------------------------------------------------------------
  // Viewport coordinates. A press inside the selection starts a text drag;
  // in the left margin it selects lines; Shift extends; the block modifiers
  // select a column block. Moving with the button held extends the
  // selection, scrolling automatically past the edges.
  virtual void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y);
  virtual void MouseMove(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y);
  virtual void MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y);
  virtual void DblClick();
  std::function<void(TZarvMemo&, Qt::MouseButton, Qt::KeyboardModifiers, int32_t X, int32_t Y)> OnAfterMouseDown;

  // ---- Search, availability, popup menu (ZarvMemoFind.cpp, ZarvMemoPopup.cpp) --------------
  // Looks for Text from the caret (or from the start of the text searching
  // down, its end searching up, with FromTextEdge) and selects the match:
  // searching down the caret ends at the match's end, searching up at its
  // start. Without MatchCase the control's upper-case mode folds both
  // sides; WholeWord uses the separators. False, and nothing moves, when
  // there is no match.
  bool FindTxt(const QString& Text, bool Down, bool MatchCase, bool WholeWord, bool FromTextEdge);
  bool CanCut() const;
  bool CanCopy() const;
  bool CanPaste() const;
  bool CanDelete() const;
  bool CanSelectAll() const;
  // The default popup menu (made on first use): Undo, Redo, Cut, Copy,
  // Paste, Select all, enabled as they can act when it opens; OnInternalPopup
  // may change it then.
  QMenu* getInternalPopup();
  // The application's own popup menu, shown instead of the default one;
  // not owned.
  QMenu* PopupMenu() const;
  void setPopupMenu(QMenu* m);
  // Shows the application's menu, else (unless zvoNoDefaultPopup) the
  // default one, at globalPos; false when none is shown.
  bool ShowPopup(QPoint globalPos);
  // The popup about to open (Sender is the menu: items enabled) or one of
  // its items chosen (Sender is the action: its command runs).
  void PopupClickHandler(QObject* Sender);

  // ---- Clipboard (ZarvMemoClipboard.cpp) ----------------------------------------------------
  // The MIME type marking a column block on the clipboard (one byte, 2).
  static const QString kBlockMimeType;
  // Called with the data of a copied stream selection before it goes to the
  // clipboard, so that exporters can add their formats (text/rtf, text/html).
  std::function<void(TZarvMemo&, QMimeData&)> OnCopyMimeData;
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  QString SelectedBlockText() const;

  // ---- Styles and fragments (ZarvMemoStyles.cpp) ---------------------------------------------
  // The text Start..Stop with the style runs over it, as one string; read
  // back by SetDynText (EZarvError for a malformed fragment, nothing
  // changed).
  QString DynText(int32_t Start, int32_t Stop);
  void SetDynText(int32_t Start, int32_t Stop, const QString& Blob);
  // A style run set by the application over Start..Stop.
  void SetDynStyle(int32_t Start, int32_t Stop, TZarvFontStyles Style, bool WithLevel, int32_t Context, int16_t Cursor,
                   TColor Backgnd, TColor Foregnd, bool Collapsible);
  void SetDynStyle(TZarvNavigator& Nav1, TZarvNavigator& Nav2, TZarvFontStyles Style, bool WithLevel, int32_t Context,
                   int16_t Cursor, TColor Backgnd, TColor Foregnd, bool Collapsible);
  // Removes the application's run at Pos / every run over Start..Stop.
  void ClearStyle(int32_t Pos);
  void ClearStyleRange(int32_t Start, int32_t Stop);

  // Undo and redo: records below the level undo, the rest redo; records of
  // one BeginUpdate/EndUpdate bracket go as one step.
  void Undo();
  void Redo();
  bool CanUndo() const;
  bool CanRedo() const;
  void ClearUndo();
  void RemoveUndo(int32_t I);
  int32_t getUndoCount() const { return fUndoList.Count(); }
  // A copy of record I (ERangeError outside the list).
  TUndoRecord getUndoList(int32_t I) const;
  const TZarvUndoList& UndoList() const { return fUndoList; }
  // Setting a limit trims the list to it at once. The level limit counts
  // undo steps (a group is one).
  void setUndoMaxLevel(int v);
  void setUndoMaxSpace(int v);
  // The undo list as a stream, so that an editing session can be restored
  // on the same text. A stream that is cut short, impossible or made on
  // another text raises EReadError and changes nothing.
  void SaveUndo(QIODevice& Stream) const;
  void LoadUndo(QIODevice& Stream);
  // False marks the current undo position as the clean one (the text as
  // saved): Undo or Redo back to it clears Modified again, any other
  // position sets it. The position is lost when trimmed away or when an
  // edit discards the redo records it lies on; True (from false) forgets
  // it. modifiedChanged tells every change of the flag.
  void SetModified(bool v);

  // ---- String views (ZarvMemoStrings.h) -----------------------------------------------------
  // The text as a list of display lines (published as Lines) and as a list
  // of paragraphs; both edit through the control, undoably.
  TZarvLinesStrings& Lines() { return *fLines; }
  TZarvParaStrings& ParaStrings() { return *fParaStrings; }

  // ---- Loading and saving the whole text (ZarvMemoStreams.cpp) --------------------
  // Replaces the text by the device's. Without an encoding it is found from
  // a byte-order mark or the bytes (UTF-8 when they are valid UTF-8, else
  // 8-bit); the format found is remembered for saving. A failing device
  // raises EStreamError after what was read became the text. The result
  // says what was found, and how many NULs became NullReplacement (or, with
  // none set, that the text ended at the first).
  TzvsLoadResult LoadFromStream(QIODevice& Stream, std::optional<TzvsEncoding> Encoding = std::nullopt);
  // 8-bit (Ansi) or UTF-16LE text.
  virtual void LoadFromStream(QIODevice& Stream, bool Ansi);
  // Raises EStreamError, leaving the text as it was, when the file cannot
  // be opened.
  void LoadFromFile(const QString& FileName, std::optional<TzvsEncoding> Encoding = std::nullopt);
  // Writes the text in the format last loaded or set (TextFormat).
  void SaveToStream(QIODevice& Stream);
  virtual void SaveToStream(QIODevice& Stream, bool Ansi);
  void SaveToFile(const QString& FileName);
  TzvsTextFormat TextFormat() const { return fEncoding; }
  void SetTextFormat(TzvsTextFormat f) {
    fEncoding = f;
    fForeignEncoding.reset();
  }
  // A text read through one of Qt's converters that the store does not
  // speak (UTF-32) is saved through it again, with or without its mark;
  // a load or SetTextFormat ends that.
  std::optional<QStringConverter::Encoding> ForeignEncoding() const { return fForeignEncoding; }
  void SetForeignEncoding(QStringConverter::Encoding e, bool Bom) {
    fForeignEncoding = e;
    fForeignBom = Bom;
  }
  bool LoadingContent() const { return fLoadingContent; }
  bool SavingContent() const { return fSavingContent; }
  // Progress of a load (bytes), a save (characters), or else the first
  // paragraph not yet formatted.
  int32_t getFormatCompleted() const;
  // Empties the text as a load of nothing does.
  void Clear();

  // ---- Folding (each paragraph-block operation inside one update bracket) ------
  bool MakeCollapsibleBlock(int32_t StartPar, int32_t StopPar);
  void RemoveCollapsibleBlock(int32_t Par);
  bool MakeSelCollapsible();
  void RemoveSelCollapsible();
  bool CollapseBlock(int32_t Par, int32_t Level);
  bool ExpandBlock(int32_t Par, int32_t Level);
  // The block at the caret: its paragraph block, else the collapsible run
  // in force there.
  bool CollapseSel();
  bool ExpandSel();
  // Every block (only level 1 unless AllLevels): paragraph blocks with
  // Blocks, collapsible runs with Runs (the whole text is highlighted first).
  void CollapseAll(bool AllLevels, bool Blocks, bool Runs);
  void ExpandAll(bool AllLevels, bool Blocks, bool Runs);
  std::vector<bool> GetBlocksStates(int32_t Par) const;

  // Raises EZarvError with the store's first violation and the version text.
  void CheckIntegrity() const;

  // ---- Display -----------------------------------------------------------------------
  // The window exists and its line buffer is made: formatting follows the
  // update mode and painting can run.
  bool DisplayReady() const { return !fLineBmp.isNull(); }
  // ---- Formatting by update mode (ZarvMemoFormat.cpp) ------------------------------------------
  // Requests a re-wrap of the whole text, as the state and update mode allow.
  void Reformat();
  // Wraps paragraphs From..To (To clamped to the last). Without Force only
  // the pending ones, from the pending start on; with Progress OnProgress
  // fires while it works. Formatting a range further down leaves the
  // pending range as it was.
  void FormatNow(int32_t From, int32_t To, bool Force = false, bool Progress = false);
  // Brings the start-stop pass up to paragraph Par.
  void ParseStartStopNow(int32_t Par);
  // Makes paragraphs First..Last fully highlighted (ranges parsed up to
  // Last, keyword passes done) before their style runs are read, as the
  // exporters, the printer and folding do.
  void DoDynParse(int32_t First, int32_t Last, bool StartStopOnly) override;
  // One background slice: wraps pending paragraphs for 25 ms, then asks the
  // format thread for the next slice while work remains.
  void ZVUpdateBkg();
  // Formats the paragraphs the window shows (from its top line down).
  void FormatShownLines();
  // Stops background formatting for good (the application calls it before
  // it shuts down; the destructor does too).
  void Finalize();
  // Paragraphs wrapped so far and background slices run, for tests and
  // diagnostics; the most paragraphs one slice wrapped.
  int64_t WrapCount() const { return fWrapCount; }
  int32_t SliceCount() const { return fSliceCount; }
  int32_t LargestSlice() const { return fLargestSlice; }
  // The millisecond clock the control paces slices, progress and scroll
  // animation with; tests install their own.
  void SetTickSource(std::function<uint32_t()> source) { fTickSource = std::move(source); }
  uint32_t Tick() const;
  void RefreshDisplay();
  // Invalidates display lines a..b (either order) where they are on screen.
  void InvalidateLines(int32_t a, int32_t b);
  // How many times the control asked for a reformat or a repaint; for tests
  // and diagnostics.
  int32_t ReformatCount() const { return fReformatCount; }
  int32_t RepaintCount() const { return fRepaintCount; }
  int32_t DisplayLines() const { return fDisplayLines; }
  int32_t LineWavyPos() const { return fWavyLinePos; }
  int32_t LineWavyAmplitude() const { return fWavyLineAmplitude; }

  // ---- Painting (ZarvMemoPaint.cpp, ZarvMemoPaintLine.cpp) ----------------------------------
  // Fills Rect of the painter's device with a background: Color alone, or
  // the background picture when UsePicture and there is one (fixed to the
  // window with zvoFixedBackground, else tiled and scrolling with the
  // text). Y is the rectangle's top in viewport coordinates.
  void BackgroundFill(QPainter& DC, const QRect& Rect, bool UsePicture, int32_t Y, TColor Color);
  // A TColor resolved through the control's palette (system colours follow
  // the desktop theme); -1 gives Fallback.
  QColor PaintColor(TColor c, const QColor& Fallback = QColor()) const;
  // Lines painted and paint events skipped (locked or formatting), for tests
  // and diagnostics.
  int64_t PaintedLineCount() const { return fPaintedLines; }
  int32_t SkippedPaintCount() const { return fSkippedPaints; }
  // Keyword runs drawn in capitals (a..z as A..Z, at the widths of the
  // letters as typed); the text itself is unchanged.
  bool KeywordsUpperCase() const { return fKeywordsUpperCase; }
  void setKeywordsUpperCase(bool v);

  // ---- Another device: printing (ZarvMemoDevice.cpp) ---------------------------------------
  // Lays the whole text out for Canvas (a printer, an image: its resolution
  // gives the font metrics) at Width pixels; FormatText(nullptr, 0) lays it
  // out for the screen again. While another device is set the window is
  // not painted, and the view keeps the text it showed.
  void FormatText(QPaintDevice* Canvas, int32_t Width);
  // The device text is laid out for (nullptr: the screen).
  QPaintDevice* FormatDevice() const { return fCanvas; }
  // Draws display lines First..Last with Canvas: line i at y = Origin.y +
  // round((i - First) * Spacing), the text from Origin.x + LeftMargin, as
  // wide as the width given to FormatText (else the window's). No
  // selection, caret or scroll position shows.
  void DrawLines(int32_t First, int32_t Last, QPainter& Canvas, QPoint Origin, float Spacing);

public Q_SLOTS:
  void undo() { Undo(); }
  void redo() { Redo(); }
  void cut() { CutToClipboard(); }
  void copy() { CopyToClipboard(); }
  void paste() { PasteFromClipboard(); }

Q_SIGNALS:
  void changed();
  void selMoved();
  void styleChanged();
  void contextClicked(int context, int startOffset, int stopOffset);
  void progressed();
  void vScrolled();
  void hScrolled();
  // The flag Modified changed (told after the edit or undo that changed
  // it, or from SetModified).
  void modifiedChanged(bool Modified);
  // An edit could not be recorded for undo: its step alone is larger than
  // UndoMaxSpace (Size, in UTF-16 units, counts 13 per record as the
  // space does). Undo now has nothing to undo. Told once the edit (or the
  // outermost BeginUpdate/EndUpdate bracket) is complete; a handler may
  // destroy the control.
  void undoRecordDropped(int32_t Size);

protected:
  bool event(QEvent* e) override;
  bool viewportEvent(QEvent* e) override;
  // With WantTabs (and not display-only) Tab and Shift+Tab are typed into
  // the text instead of moving the focus.
  bool focusNextPrevChild(bool next) override;
  void changeEvent(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  // Mouse-reason context events are ignored: the menu opens on release.
  // Text dropped from other applications (or from this control's own drag
  // once it left the window) is inserted at the drop point.
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dragLeaveEvent(QDragLeaveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery q) const override;
  // The control moves its view itself; the area never scrolls on its own.
  void scrollContentsBy(int, int) override {}
  // Tells the notify list zveChange, then fires OnChange and changed().
  virtual void Change();
  void DoSelMove();
  void DoNotify(std::vector<IzvsNotify*>& list, TzvEvents events);
  // The window's line buffer and format thread appear and go with the
  // display.
  void CreateHandle();
  void DestroyWindowHandle();
  void FontChanged();
  void UpdateMetrics();
  // Processes what changed while the lock was held.
  void EndModifications();
  void Repaint();

  // ---- Calling out to application code (platform/CalloutGuard.h) ----
  // The control's identity in the callout bookkeeping (the base that
  // positions know, so that they can ask too).
  const void* ownerId() const { return static_cast<const TZarvMemoHost*>(this); }
  // Runs application code (a handler, a listener, a signal); when that
  // destroyed the control, unwinds the control's frames to its outermost
  // public entry instead of returning into freed memory.
  template <class F>
  void callOut(F&& f) {
    const void* const me = ownerId(); // nothing of the control is used once it may be gone
    QPointer<TZarvMemo> self(this);
    std::forward<F>(f)();
    if (!self)
      ThrowOwnerDestroyed(me);
  }
  // An event handler of the control, through callOut. The handler is
  // copied first: destroying the control destroys the member it came from
  // while it runs.
  template <class Fn, class... A>
  void callHandler(const Fn& handler, A&&... args) {
    if (!handler)
      return;
    const Fn keep = handler;
    callOut([&] { keep(std::forward<A>(args)...); });
  }
  // The end of a bracket run by a scope guard: nothing when the control was
  // destroyed; while another exception unwinds (one more than when the
  // guard was made), a failure of the bracket's own end gives way to it.
  void closeBracket(int exceptionsAtStart, void (TZarvMemo::*closer)());
  // PrepareKeepBlock/EndKeepBlock as a scope, when Keep.
  class TKeepBlockScope {
  public:
    TKeepBlockScope(TZarvMemo& m, bool keep)
        : fMemo(keep ? &m : nullptr), fOwner(m.ownerId()), fExceptions(std::uncaught_exceptions()) {
      if (keep)
        m.PrepareKeepBlock();
    }
    ~TKeepBlockScope() noexcept(false) {
      if (fMemo && !OwnerDestroyed(fOwner))
        fMemo->closeBracket(fExceptions, &TZarvMemo::EndKeepBlock);
    }
    // Ends the bracket now (the selection comes back) rather than at the
    // end of the scope.
    void Close() {
      if (TZarvMemo* m = std::exchange(fMemo, nullptr))
        m->EndKeepBlock();
    }
    TKeepBlockScope(const TKeepBlockScope&) = delete; // one bracket per scope
    TKeepBlockScope& operator=(const TKeepBlockScope&) = delete;

  private:
    TZarvMemo* fMemo;
    const void* fOwner;
    int fExceptions;
  };
  // Holds the lock count up (edits are not processed) without opening an
  // undo group or processing anything at the end.
  class TLockCountScope {
  public:
    explicit TLockCountScope(TZarvMemo& m) : fMemo(m), fOwner(m.ownerId()) { ++m.fLockedCount; }
    ~TLockCountScope() {
      if (!OwnerDestroyed(fOwner))
        --fMemo.fLockedCount;
    }
    TLockCountScope(const TLockCountScope&) = delete; // one count per scope
    TLockCountScope& operator=(const TLockCountScope&) = delete;

  private:
    TZarvMemo& fMemo;
    const void* fOwner;
  };

private:
  template <class Load>
  void loadContent(QIODevice& stream, Load&& load);
  void saveContent(const std::function<void(const TProgressEvent&)>& save);
  void reportProgress(bool force);
  void startLoadedText();
  void saveForeign(QIODevice& Stream);
  bool processEvent(QEvent* e, bool viewportSide);
  void reloadText();
  void applyScrollBarPolicy();
  void clearSelection(int32_t at);
  void replaceRange(TZarvNavigator& a, TZarvNavigator& b, const std::u16string& buf, bool discard = false,
                    bool checkFormat = true);
  int32_t deleteColumnBlock();
  struct TUndoCapture;
  TUndoCapture prepareUndo(int32_t group);
  bool commitUndo(TUndoCapture& u, int32_t start, int32_t newStart, int32_t newStop);
  void stripStrayCodes(int32_t first, int32_t last, const TUndoCapture& edit, bool editKept);
  void swapUndoRecord(int32_t i);
  void emitUndoNotices();
  void typeText(const QString& s);
  void typeEnter();
  void typeTab();
  void keepColumn(int32_t line, int32_t col);
  void formatUpToLine(int32_t l);
  struct TWrapState;
  int32_t wrapParagraph(int32_t p, TWrapState& ws);
  bool afterWrap(int32_t from, int32_t to, int32_t running, int32_t trueDelta, bool caretTouched, int32_t oldMaxWidth);
  bool needsParse(int32_t p) const;
  void flushLineShift(int32_t p, int32_t running, int32_t& trueDelta);
  // Background slices wait for the window's first picture after it is
  // shown (fFirstPaintPending); this lets them start.
  void firstPaintDone();
  bool fFirstPaintPending = false;
  // The last key, click, wheel or input-method event; background slices
  // pause until kInputPause ms have passed since it.
  static constexpr qint64 kInputPause = 150;
  QElapsedTimer fLastInput;
  QTimer* fInputPauseTimer = nullptr;
  void viewportResized(QSize oldSize);
  void moveView(int32_t left, int32_t top);
  void animateView(int32_t top, int32_t left, int32_t time);
  void updateScrollBarValues();
  void scrollBarAction(bool vertical, int action);
  void formatLineRange(int32_t firstLine, int32_t lastLine);
  int32_t clampTop(int64_t top) const;
  void PlaceCaret();
  void notifyCaretMoved();
  // After a move of the caret to T by a key or the mouse: without extend
  // the selection collapses there (with persistent blocks it stays and the
  // caret moves apart); with extend it spans from the anchor to T. T's line
  // is kept, so a caret at the end of a wrapped line stays on that line.
  void moveSelectionTo(TZarvNavigator& T, bool extend);
  // The navigation keys: T moves from the caret, then the selection follows
  // and the view shows the caret. False when the key does nothing here.
  bool navigate(int key, bool S, bool C, bool A, bool blockGesture);
  int32_t homeColumn(TZarvNavigator& T, const LineInfo& li) const;
  // One character (a surrogate pair, a code with the character after it)
  // forward or back, over paragraph breaks.
  void stepRight(TZarvNavigator& T);
  void stepLeft(TZarvNavigator& T);
  // T to display line `line` at the remembered x, with virtual columns
  // for the distance beyond the line's end where they apply.
  void moveToLineAtX(TZarvNavigator& T, int32_t line, bool S);
  // The shortcut keys the control takes before the application's actions.
  bool handlesShortcut(const QKeyEvent& e) const;
  void foldAll(bool collapse, bool allLevels, bool blocks, bool runs);
  // ---- Mouse helpers (ZarvMemoMouse/Pointer/AutoScroll/Drag.cpp) ----
  void initMouse();
  bool mouseNavAt(int32_t X, int32_t Y);
  bool charUnderPointer(int32_t X, int32_t Y, TZarvNavigator& T);
  bool inLineZone(int32_t X) const;
  void pressLeft(Qt::KeyboardModifiers Shift, int32_t X, int32_t Y);
  void dragLeft(Qt::KeyboardModifiers Shift, int32_t X, int32_t Y);
  void selectLines(int32_t from, int32_t to);
  void selectRange(const TZarvNavigator& A, const TZarvNavigator& B, bool caretAtEnd);
  void updateHoverCursor(int32_t X, int32_t Y);
  void chooseAutoScroll(int32_t X, int32_t Y);
  void autoScrollStep();
  bool fireContext(Qt::MouseButton Button, int32_t X, int32_t Y);
  // Where the default popup menu will open (right button released).
  void mouseFocusLost();
  bool overDraggableSelection(int32_t X, int32_t Y);
  void dragCaretTo(int32_t X, int32_t Y);
  void endDragCaret();
  void dropSelection(bool copy);
  void insertAt(int32_t pos, const QString& text, bool select);
  void dragOutside();
  QTimer* fAutoScrollTimer = nullptr;
  TZarvNavigator* fDropNav = nullptr; // the drop point; moves with edits

  TComponentState fComponentState;
  std::vector<IzvsNotify*> fNotifyList, fMsgList;
  int32_t fNotifyWalks = 0;
  bool fNotifyNulls = false;
  int32_t fWndProcLevel = 0;

  // Positions, registered in the navigator list (freed with it).
  TZarvNavigator* fSelStart = nullptr;
  TZarvNavigator* fSelStop = nullptr;
  TZarvNavigator* fcp = nullptr;
  TZarvNavigator* fDisplayTop = nullptr;
  TZarvNavigator* fMouseNav = nullptr;
  TZarvNavigator* fIndependantCpNav = nullptr;
  TZarvNavigator* ftmpnav1 = nullptr;
  TZarvNavigator* ftmpnav2 = nullptr;
  int32_t fSelLen = 0;
  QString fExtraCols;
  TZarvUndoList fUndoList;
  std::unique_ptr<TZarvLinesStrings> fLines;
  std::unique_ptr<TZarvParaStrings> fParaStrings;
  // The selection kept aside by PrepareKeepBlock (registered navigators
  // while kept, else nil).
  TZarvNavigator* fKeepA = nullptr;
  TZarvNavigator* fKeepB = nullptr;
  bool fKeepBlock = false;
  QPair<int32_t, int32_t> fKeepCols;
  int32_t fXCaretRunningPos = INT32_MIN;

  TzvsTextFormat fEncoding{TzvsEncoding::Utf8, false};
  std::optional<QStringConverter::Encoding> fForeignEncoding;
  bool fForeignBom = false;
  bool fLoadingContent = false, fSavingContent = false;
  qint64 fLoadStreamSize = 0;
  uint32_t fLastProgress = 0; // tick of the last OnProgress
  TZarvMemoOptions fOptions = kDefaultMemoOptions;
  TScrollStyle fScrollBars = ssVertical;
  TBorderStyle fBorderStyle = bsSingle;
  TzvUpdateMode fUpdateMode = umBackground;
  TzvNonPrintChars fShowNonPrintChars;
  bool fHideSelection = true, fDisplayOnly = false, fOverWrite = false;
  bool fFixedBMPBackground = false, fAutoCaretWidth = false;
  int32_t fCaretWidth = 1, fRightLinePos = 0;
  TColor fHTColor = clRed, fHBColor = clWindow, fSelBackColor = clHighlight, fSelTextColor = clHighlightText;
  TZarvPen fEndOfTextPen{clRed}, fRightLinePen{clGray}, fSpecUnderlinePen{clRed};
  QPixmap fBackground;

  int32_t fLockedCount = 0;
  bool fPendingChange = false;
  int32_t fDisplayLines = 0, fWavyLinePos = 0, fWavyLineAmplitude = 1;
  QImage fLineBmp;
  std::unique_ptr<TzvFormatThread> fFormatThread;
  int32_t fReformatCount = 0, fRepaintCount = 0;
  int64_t fWrapCount = 0;
  int32_t fSliceCount = 0, fLargestSlice = 0, fLastSliceSpan = 0;
  std::function<uint32_t()> fTickSource;
  QRect fCaretRect;

  TzvsCollapseHandler* fCollpsComp = nullptr;
  IzvCollapseHandler* fCollpsHandler = nullptr;
  std::vector<QMetaObject::Connection> fFreeNotifications;

  // ---- Painting state ----
  friend class TLinePainter;
  // Repaints what was asked while painting was held off (fNoPaint or the
  // update lock); called when either ends.
  void flushSkippedPaint();
  int64_t paintLines(QPainter& vp, int32_t first, int32_t last);
  void paintRightLine(QPainter& p, const QRect& r);
  void paintEndOfText(QPainter& p, const QRect& r, int32_t lastLine);
  int32_t paintPreedit(QPainter& vp);
  // The line buffer (fLineBmp) at the paint device's pixel ratio, as wide
  // as the viewport; remade only when either changes.
  void fitLineBuffer(qreal dpr);
  // After every move of the caret or the selection (from UpdateCaret): the
  // caret shows at once (the blink restarts) and the lines whose selection
  // look changed are repainted.
  void caretMoved();
  void invalidateSelectionChange();
  // The caret blinks while the control has the focus (not at a flash time
  // of 0); fCaretOn is whether it shows now.
  QTimer* fCaretTimer = nullptr;
  QTimer* fWidestCheck = nullptr; // single shot: recheckWidestLine
  bool fCaretOn = true;
  struct TShownSelection {
    int32_t A = 0, B = 0, Col0 = 0, Col1 = 0;
    bool Visible = false, Block = false;
    bool operator==(const TShownSelection&) const = default;
  } fShownSel;
  QRegion fSkippedRegion;
  int32_t fSkippedPaints = 0;
  int64_t fPaintedLines = 0;
  bool fKeywordsUpperCase = false;
  Qt::KeyboardModifiers fBlockModifiers = Qt::AltModifier;
  QMenu* fInternalPopup = nullptr; // child of the control
  QPointer<QMenu> fPopupMenu;
  // The input method's text being composed, shown at the caret (not text
  // of the control); its cursor within it.
  QString fPreedit;
  int32_t fPreeditCursor = 0;
  // The other device text is laid out for, and its width; nullptr and 0
  // for the screen.
  QPaintDevice* fCanvas = nullptr;
  int32_t fW = 0;

  // ---- Edit-state notice (ZarvMemoFind.cpp) -------------------------------------------------
  // The edit actions follow the control's Can... answers through its
  // notices: changed() and selMoved() cover edits, undo and selection;
  // editStateChanged() tells the rest: ReadOnly or DisplayOnly set, the
  // undo list cleared, trimmed, cut or loaded.
public:
  void setReadOnly(bool v);
Q_SIGNALS:
  void editStateChanged();

private:
  void tellEditState();
};

} // namespace zarv
