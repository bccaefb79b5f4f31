// TZarvGutter: line or paragraph numbers and ten bookmarks beside an editor
// control.
//
// A light widget placed next to a TZarvMemo (usually on its left, with the
// same top). Row i is drawn at the screen height of the control's display
// line i, so the gutter follows scrolling (fine and smooth scrolling too),
// editing, folding and word wrap. Each row shows the line's number, the
// number of the paragraph starting on it, the icon of a bookmark set on it
// or what an OnDrawItem handler supplies. Rows are found from the store's
// line counts by binary search: painting never walks the text.
//
// Bookmarks are navigators made on the control, so the control moves them
// with every edit. Either side may be destroyed first: the gutter frees its
// bookmarks when it goes, and forgets them (the control frees them) when
// the control goes.
//
// Invariants: every non-null fBookmarks[i] is a navigator on fMemo; fMemo
// lists this gutter in its message and notify lists while it is set.
#pragma once

#include <ZarvMemo/memo/ZarvMemoTypes.h>
#include <ZarvMemo/platform/Color.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/highlight/Notify.h>

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>

namespace zarv {

class TZarvMemo;
class TZarvNavigator;

class TZarvGutter : public QWidget, public IzvsNotify {
  Q_OBJECT
  Q_PROPERTY(bool AutoWidth READ getAutoWidth WRITE setAutoWidth)
  Q_PROPERTY(bool Bookmarks READ getBookmarks WRITE setBookmarks)
  Q_PROPERTY(bool IgnoreLastLineIfEmpty READ getIgnoreLast WRITE setIgnoreLast)
  Q_PROPERTY(bool KeepBookmarks READ getKeepBookmarks WRITE setKeepBookmarks)
  Q_PROPERTY(bool LineNumbers READ getLineNumbers WRITE setLineNumbers)
  Q_PROPERTY(bool ParagraphNumbers READ getParagraphNumbers WRITE setParagraphNumbers)
  Q_PROPERTY(bool RightBorder READ getRightBorder WRITE setRightBorder)

public:
  static constexpr int kBookmarkCount = 10;
  static constexpr int kIconSize = 10;

  explicit TZarvGutter(QWidget* parent = nullptr);
  ~TZarvGutter() override;
  TZarvGutter(const TZarvGutter&) = delete; // linked to a control by identity
  TZarvGutter& operator=(const TZarvGutter&) = delete;

  // ---- Events --------------------------------------------------------------------
  // Text and Graphic keep the previous row's values unless the handler
  // assigns them (they start empty for each paint).
  std::function<void(TZarvGutter&, int32_t LineIndex, QString& Text, QPixmap& Graphic)> OnDrawItem;
  // Navigator: the bookmark to set (already at its place) or to clear.
  std::function<void(TZarvGutter&, int Index, TZarvNavigator*Navigator, bool&Accept)> OnSetBookmark, OnClearBookmark;

  // ---- The control -----------------------------------------------------------------
  TZarvMemo* getZarvMemo() const { return fMemo; }
  // Attaching to another control clears the bookmarks. A control already
  // served by another gutter is refused with EZarvError (two gutters would
  // fight over its bookmark keys).
  void setZarvMemo(TZarvMemo* memo);
  static TZarvGutter* GutterOf(const TZarvMemo* memo);

  // ---- Properties ----------------------------------------------------------------------
  TAlignment getAlignment() const { return fAlignment; }
  void setAlignment(TAlignment a);
  bool getAutoWidth() const { return fAutoWidth; }
  void setAutoWidth(bool v);
  bool getBookmarks() const { return fBookmarksOn; }
  void setBookmarks(bool v) { fBookmarksOn = v; }
  bool getIgnoreLast() const { return fIgnoreLast; }
  void setIgnoreLast(bool v);
  bool getKeepBookmarks() const { return fKeepBookmarks; }
  void setKeepBookmarks(bool v);
  bool getLineNumbers() const { return fLineNumbers; }
  void setLineNumbers(bool v);
  bool getParagraphNumbers() const { return fParNumbers; }
  void setParagraphNumbers(bool v);
  bool getRightBorder() const { return fRightBorder; }
  void setRightBorder(bool v);
  // clDefault: the palette's (window background, text colour).
  TColor getColor() const { return fColor; }
  void setColor(TColor c);
  TColor getNumberColor() const { return fNumberColor; }
  void setNumberColor(TColor c);

  // ---- Bookmarks (indexes outside 0..9 are ignored: false, -1, nothing) ----------------
  // Toggles bookmark Index on visible display line Line: clears it when it
  // stands there, sets it (replacing bookmark Index elsewhere) when no
  // bookmark stands there. The handler is asked first; a refusal changes
  // nothing.
  virtual bool BookmarkLine(int32_t Line, int Index);
  // Sets bookmark Index at text position Pos, or moves it there.
  virtual void BookmarkPos(int32_t Pos, int Index);
  // Clears every bookmark (asking OnClearBookmark for each).
  void ClearBookmarks();
  void JumpToBookmark(int Index);
  // The lowest bookmark index shown on visible line Line, else -1.
  int GetBookmarkFromLine(int32_t Line) const;
  // The visible line a bookmark is shown on; -1 when not set or hidden in a fold.
  int32_t BookmarkRow(int Index) const;
  // The bookmark's line number (display line with word wrap, else
  // paragraph), -1 when not set.
  int32_t getBookmarks(int Index) const;
  TZarvNavigator* getBookmarkList(int Index) const;
  // The display line of the control under the mouse, -1 without a control.
  int32_t MouseMemoLine() const { return fMouseMemoLine; }

  // ---- What a row shows ----------------------------------------------------------------
  // The number text of visible line Row (empty for a continuation line in
  // paragraph mode, or with numbers off).
  QString NumberText(int32_t Row) const;
  // Rows the gutter shows (the visible lines, less a final empty one when
  // IgnoreLastLineIfEmpty).
  int32_t RowCount() const;
  // The width AutoWidth gives for the current count and font.
  int32_t WidthForCount(int32_t count) const;

  void Notify(QObject* Sender, TzvEvents Events) override;
  bool WantsStyleChange() const override { return false; }
  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void changeEvent(QEvent* e) override;

private:
  void detach(bool memoGone);
  void afterMessage();
  void handleKey(const QKeyEvent& e);
  void followScroll();
  void afterChange();
  void beforeChange();
  void applyWidth();
  int32_t memoToGutterY() const;
  void paintRow(QPainter& p, int32_t row, int32_t y, int32_t textW, QString& text, QPixmap& graphic,
                const std::array<int32_t, kBookmarkCount>& rows);
  void drawIcon(QPainter& p, int index, int32_t x, int32_t y) const;
  bool ask(const std::function<void(TZarvGutter&, int, TZarvNavigator*, bool&)>& handler, int index,
           TZarvNavigator* nav);
  TZarvNavigator* newBookmark(int index);
  void freeBookmark(int index);
  void placeBookmark(TZarvNavigator& nav);

  QPointer<TZarvMemo> fMemo;
  QMetaObject::Connection fMemoGone;
  std::array<TZarvNavigator*, kBookmarkCount> fBookmarks{};
  TAlignment fAlignment = taCenter;
  bool fAutoWidth = false;
  bool fBookmarksOn = true;
  bool fIgnoreLast = false;
  bool fKeepBookmarks = true;
  bool fLineNumbers = true;
  bool fParNumbers = false;
  bool fRightBorder = true;
  TColor fColor = clDefault;
  TColor fNumberColor = clDefault;
  int32_t fMouseMemoLine = -1;
  // What the last paint or scroll followed.
  int32_t fTopY = 0;
  int32_t fRowCount = 0;
  int32_t fParCount = 0;
  std::array<int32_t, kBookmarkCount> fBookmarkRows{};
};

} // namespace zarv
