// TzvCollapseHandler: the fold margin of editor controls.
//
// A non-visual component linked to one or more controls. For every display
// line a control paints, it draws one bar per nesting level of collapsible
// blocks in the control's left margin and a sign where a block starts (a
// minus for an open block, a cross for a collapsed one); a press on a sign
// collapses or expands that block through the store. It owns no fold state:
// blocks of paragraphs and of style runs, and whether they are collapsed,
// live in the control's paragraph store.
//
// Invariants: every control in fMemos lists this handler among its message
// and notify listeners; fPress refers to a control in fMemos or is empty.
#pragma once

#include <ZarvMemo/folding/FoldGeometry.h>
#include <ZarvMemo/memo/ZarvMemoTypes.h>
#include <ZarvMemo/support/folding/CollapseHandler.h>
#include <ZarvMemo/support/highlight/Notify.h>

#include <QPoint>
#include <QPointer>
#include <QString>
#include <vector>

class QCursor;

namespace zarv {

class TZarvMemo;

class TzvCollapseHandler : public TzvsCollapseHandler, public IzvCollapseHandler, public IzvsNotify {
  Q_OBJECT
  Q_INTERFACES(zarv::IzvCollapseHandler)
  Q_PROPERTY(bool HintCollapsedText READ getHintCollapsedText WRITE setHintCollapsedText)
  Q_PROPERTY(int MaxLevels READ getMaxLevels WRITE setMaxLevels)

public:
  // The sign a point of a control's margin falls on.
  struct THit {
    int32_t Par = -1;  // paragraph of the line
    int32_t Level = 0; // block level (>= 1); 0: no sign there
    int32_t Code = -1; // style-run block: index of its opening code; -1 for a paragraph block
    bool Collapsed = false;
    bool Valid() const { return Level > 0; }
  };

  explicit TzvCollapseHandler(QObject* parent = nullptr);
  // Detaches from every control still linked.
  ~TzvCollapseHandler() override;
  TzvCollapseHandler(const TzvCollapseHandler&) = delete; // linked by identity
  TzvCollapseHandler& operator=(const TzvCollapseHandler&) = delete;

  TComponentState ComponentState() const { return fComponentState; }
  void SetComponentState(TComponentState s) { fComponentState = s; }

  // ---- Properties; every visible change repaints the linked controls ----------
  const TZarvPen& getBarPen() const { return fBarPen; }
  void setBarPen(const TZarvPen& p);
  const TZarvPen& getCollapseSignPen() const { return fSignPen; }
  void setCollapseSignPen(const TZarvPen& p);
  bool getHintCollapsedText() const { return fHint; }
  void setHintCollapsedText(bool v) { fHint = v; }
  int getMaxLevels() const { return fMaxLevels; }
  // Clamped to 1..31 (deeper levels share the last column).
  void setMaxLevels(int v);
  // Pixels of left margin that show every column.
  int32_t MarginWidth() const { return Geometry(1).Width(); }
  TFoldGeometry Geometry(int32_t lineHeight) const;

  // ---- IzvCollapseHandler ---------------------------------------------------------------
  // Memo must be a TZarvMemo (EZarvError otherwise, when linking).
  void LinkMemo(QObject* Memo, bool Link) override;
  void PaintLine(QObject* Memo, QPainter* DC, int XOffset, int LineHeight, const ParInfo& Par,
                 const LineInfo& Line) override;
  // ---- IzvsNotify: the mouse protocol and the hint ---------------------------------------
  void Notify(QObject* Sender, TzvEvents Events) override;
  bool WantsStyleChange() const override { return false; }

  // The linked controls (held as QObjects: one may be told gone while it
  // is being destroyed, when it is no TZarvMemo any more).
  const std::vector<QPointer<QObject>>& Memos() const { return fMemos; }
  // The sign under viewport point pt of memo (display coordinates).
  THit HitTest(TZarvMemo& memo, QPoint pt) const;
  // Collapses or expands the block of a hit; true when the display changed.
  bool Toggle(TZarvMemo& memo, const THit& hit);
  // The hint for the line at viewport y: the text hidden after its
  // paragraph, at most kHintChars characters, as escaped rich text.
  QString HiddenTextHint(TZarvMemo& memo, int32_t y) const;
  static constexpr int32_t kHintChars = 2000;
  // How many times a hint was built (it is built once per paragraph hovered).
  int32_t HintBuilds() const { return fHintBuilds; }
  void InvalidateMemos();

  static const QCursor& CollapseCursor();
  static const QCursor& ExpandCursor();

private:
  void beforeEvent(TZarvMemo& memo);
  void afterEvent(TZarvMemo& memo);
  void hover(TZarvMemo& memo, QPoint pt);
  void updateHint(TZarvMemo& memo, QPoint pt);
  void forget(QObject* memo);

  TZarvPen fBarPen{0xF0CAA6, 7, Qt::SolidLine};
  TZarvPen fSignPen{clBlack, 1, Qt::SolidLine};
  int fMaxLevels = 4;
  bool fHint = false;
  TComponentState fComponentState;
  std::vector<QPointer<QObject>> fMemos;
  // A press taken from the left button: the control sees neither it nor
  // the moves until the release.
  QPointer<TZarvMemo> fPress;
  // The hint last shown: its control, paragraph and the change it was built
  // after (rebuilt only when one of them differs).
  QPointer<TZarvMemo> fHintMemo;
  int32_t fHintPar = -1;
  uint32_t fHintStamp = 0;
  uint32_t fChangeStamp = 0;
  mutable int32_t fHintBuilds = 0;
};

} // namespace zarv
