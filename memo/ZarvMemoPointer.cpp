// What lies under the mouse pointer: the position there, the character
// under it and its style run, the line-selection zone left of the text, the
// pointer's shape over each, and the context runs a click reports.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/support/navigator/Navigator.h>

#include <QContextMenuEvent>
#include <QCursor>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QTimer>
#include <algorithm>
#include <optional>

namespace zarv {

namespace {

// Stands for the right-pointing arrow of the line-selection zone among the
// Qt shapes (Qt has none: it is drawn, see RightArrowCursor).
constexpr int kRightArrowShape = -1;

// The standard arrow mirrored, so that it points into the text from the
// left margin; drawn once, black with a white rim, hot spot at its tip.
const QCursor& RightArrowCursor() {
  static const QCursor cursor = [] {
    QPixmap pm(16, 22);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QPolygon arrow(
        {QPoint(12, 1), QPoint(12, 17), QPoint(8, 13), QPoint(5, 20), QPoint(3, 19), QPoint(6, 12), QPoint(1, 12)});
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::black);
    p.drawPolygon(arrow);
    p.end();
    return QCursor(pm, 12, 1);
  }();
  return cursor;
}

// The cursor number a style run carries: negative numbers are the stock
// shapes of the classic numbering (-2 arrow ... -22 size-all), positive
// numbers are taken as Qt::CursorShape values; anything else shows no
// special cursor.
std::optional<Qt::CursorShape> CursorShapeFor(int16_t c) {
  static constexpr Qt::CursorShape kStock[] = {
      Qt::BlankCursor,        Qt::ArrowCursor,    Qt::CrossCursor,     Qt::IBeamCursor,   Qt::SizeAllCursor,
      Qt::SizeBDiagCursor,    Qt::SizeVerCursor,  Qt::SizeFDiagCursor, Qt::SizeHorCursor, Qt::UpArrowCursor,
      Qt::WaitCursor,         Qt::DragMoveCursor, Qt::ForbiddenCursor, Qt::SplitHCursor,  Qt::SplitVCursor,
      Qt::DragCopyCursor,     Qt::WaitCursor,     Qt::ForbiddenCursor, Qt::BusyCursor,    Qt::WhatsThisCursor,
      Qt::PointingHandCursor, Qt::SizeAllCursor};
  if (c < 0 && -c <= int(std::size(kStock)))
    return kStock[-c - 1];
  if (c > 0 && c <= Qt::LastCursor)
    return Qt::CursorShape(c);
  return std::nullopt;
}

} // namespace

// ---- Where the pointer is ----------------------------------------------------------------------

void TZarvMemo::initMouse() {
  viewport()->setMouseTracking(true);
  viewport()->setAcceptDrops(true);
  fDropNav = new TZarvNavigator(static_cast<QObject*>(this));
  fAutoScrollTimer = new QTimer(this);
  fAutoScrollTimer->setSingleShot(true);
  connect(fAutoScrollTimer, &QTimer::timeout, this, [this] {
    try {
      autoScrollStep();
    } catch (const std::exception& ex) {
      qWarning("TZarvMemo: %s while scrolling automatically", ex.what());
    }
  });
}

bool TZarvMemo::inLineZone(int32_t X) const {
  return !fOptions.testFlag(zvoNoLineSelection) && X < fLeftMargin - fDisplayLeft - 2;
}

// fMouseNav to the position under the pointer, its line limited to the
// lines in the window (the end of the text below the last line).
bool TZarvMemo::mouseNavAt(int32_t X, int32_t Y) {
  if (fParagraphs->Count() == 0)
    return false;
  const QPoint pt(X, std::clamp(Y, 0, std::max(0, viewport()->height() - 1)));
  fMouseNav->SetDisplayPos(pt);
  const int32_t p = fMouseNav->GetParNb();
  if (!(fMouseNav->GetPar()->ParState & zvpFormatted)) {
    FormatNow(p, p, true, false);
    fMouseNav->SetDisplayPos(pt);
  }
  return true;
}

// T on the character under the pointer, with a code standing at it in
// force; false beyond a line's end, left of the text or below it.
bool TZarvMemo::charUnderPointer(int32_t X, int32_t Y, TZarvNavigator& T) {
  if (X < 0 || Y < 0 || Y >= viewport()->height())
    return false;
  if (int64_t(Y) + fTopOrigin >= int64_t(fParagraphs->fVisibleLineCount) * std::max(1, fLineHeight))
    return false;
  T.SetDisplayPos(QPoint(X, Y));
  const ParInfo& par = *T.GetPar();
  if (!(par.ParState & zvpFormatted))
    return false;
  const LineInfo li = GetParLine(par, T.GetParLine());
  int32_t o = T.GetOffset();
  if (T.GetDisplayX() > X) {
    if (o <= li.Start)
      return false;
    --o;
    if (o > li.Start && QChar::isLowSurrogate(par.ParText[o]) && QChar::isHighSurrogate(par.ParText[o - 1]))
      --o;
    T.SetParPos(T.GetParNb(), o);
  }
  if (o >= li.Stop || o >= GetParLength(par))
    return false;
  T.RightOfDyn();
  return true;
}

void TZarvMemo::updateHoverCursor(int32_t X, int32_t Y) {
  fStartLineSelection = -1;
  fMouseInSel = false;
  fMouseInContext = false;
  int shape = Qt::IBeamCursor;
  TZarvNavigator T(fParagraphs.get());
  T.AttachMemo(this);
  if (inLineZone(X) && Y >= 0 && Y < viewport()->height()) {
    fStartLineSelection = fMouseNav->getVisibleLineNumber();
    shape = kRightArrowShape;
  } else if (overDraggableSelection(X, Y)) {
    fMouseInSel = true;
    shape = Qt::ArrowCursor;
  } else if (charUnderPointer(X, Y, T)) {
    const DynInfoRec& d = *T.GetpDynInfo();
    if (d.DynStyle & dsHasAttrib) {
      if (const auto s = CursorShapeFor(d.Cursor)) {
        fMouseInContext = true;
        shape = *s;
      }
    }
  }
  const Qt::CursorShape now = viewport()->cursor().shape();
  if (shape == kRightArrowShape) {
    if (now != Qt::BitmapCursor)
      viewport()->setCursor(RightArrowCursor());
  } else if (now != shape) {
    viewport()->setCursor(Qt::CursorShape(shape));
  }
}

// ---- Contexts and the popup ------------------------------------------------------------------

// Reports the context run under the pointer; false when a handler cleared
// LastContext (no popup then) or destroyed the control.
bool TZarvMemo::fireContext(Qt::MouseButton Button, int32_t X, int32_t Y) {
  TZarvNavigator T(fParagraphs.get());
  T.AttachMemo(this);
  if (!charUnderPointer(X, Y, T))
    return true;
  const int32_t ctx = DynToContext(*T.GetpDynInfo());
  if (ctx == 0)
    return true;
  // The run lasts from the code in force to the next code.
  int32_t start = 0, stop = fParagraphs->fTextLen;
  TZarvNavigator S(fParagraphs.get());
  S.AttachMemo(this);
  S.Assign(T);
  if (const int32_t d = T.GetDynNb(); d > 0)
    start = T.GetPos() - T.GetOffset() + GetDynArray(*T.GetPar())[size_t(d - 1)].DynOffset;
  else if (S.PreviousDyn())
    start = S.GetPos();
  S.Assign(T);
  if (S.ForwardToDyn(fParagraphs->fTextLen))
    stop = S.GetPos();
  LastContext = ctx;
  DoNotify(fNotifyList, Button == Qt::RightButton ? zveRightContext : zveContext);
  callHandler(OnContext, *this, ctx, start, stop);
  callOut([&] { Q_EMIT contextClicked(ctx, start, stop); });
  return LastContext != 0;
}

} // namespace zarv
