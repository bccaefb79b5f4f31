// The fold margin: painting a line's bars and signs, hit-testing a point of
// the margin with the same geometry, and the mouse protocol that turns a
// press on a sign into a fold without the control seeing the press.
#include <ZarvMemo/folding/ZvCollapseHandler.h>

#include <ZarvMemo/folding/VisibleLines.h>
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QBitmap>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QToolTip>
#include <algorithm>

namespace zarv {

namespace {

// The arrow with a small sign below it (minus, or a cross for expanding),
// hot spot at the top left.
QCursor MakeFoldCursor(bool cross) {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  const QPolygon arrow(
      {QPoint(0, 0), QPoint(0, 16), QPoint(4, 12), QPoint(7, 19), QPoint(9, 18), QPoint(6, 11), QPoint(11, 11)});
  p.setPen(Qt::white);
  p.setBrush(Qt::black);
  p.drawPolygon(arrow);
  p.fillRect(QRect(10, 20, 11, 11), Qt::white);
  p.setPen(Qt::black);
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRect(10, 20, 10, 10));
  p.drawLine(12, 25, 18, 25);
  if (cross)
    p.drawLine(15, 22, 15, 28);
  p.end();
  return QCursor(pm, 0, 0);
}

// Strokes are filled rectangles: the same pixels at any device-pixel ratio.
void Stroke(QPainter& dc, int x, int y, int w, int h, const QColor& c) {
  if (w > 0 && h > 0)
    dc.fillRect(QRect(x, y, w, h), c);
}

} // namespace

TzvCollapseHandler::TzvCollapseHandler(QObject* parent) : TzvsCollapseHandler(parent) {}

TzvCollapseHandler::~TzvCollapseHandler() {
  const std::vector<QPointer<QObject>> memos = fMemos;
  for (const QPointer<QObject>& p : memos) {
    auto* m = qobject_cast<TZarvMemo*>(p.data());
    if (!m)
      continue;
    // Through the control's property, so that it keeps no pointer to us.
    if (m->getCollpsHandler() == this)
      m->setCollpsHandler(nullptr);
    else
      LinkMemo(m, false);
  }
}

void TzvCollapseHandler::setBarPen(const TZarvPen& p) {
  fBarPen = p;
  fBarPen.Width = std::max(1, p.Width);
  InvalidateMemos();
}

void TzvCollapseHandler::setCollapseSignPen(const TZarvPen& p) {
  fSignPen = p;
  fSignPen.Width = std::max(1, p.Width);
  InvalidateMemos();
}

void TzvCollapseHandler::setMaxLevels(int v) {
  v = std::clamp(v, 1, 31);
  if (v == fMaxLevels)
    return;
  fMaxLevels = v;
  InvalidateMemos();
}

TFoldGeometry TzvCollapseHandler::Geometry(int32_t lineHeight) const {
  return TFoldGeometry{fBarPen.Width, fMaxLevels, std::max(1, lineHeight)};
}

void TzvCollapseHandler::InvalidateMemos() {
  for (const QPointer<QObject>& p : fMemos)
    if (auto* m = qobject_cast<TZarvMemo*>(p.data()))
      m->viewport()->update();
}

// ---- Linking ------------------------------------------------------------------------------

void TzvCollapseHandler::LinkMemo(QObject* Memo, bool Link) {
  auto* memo = qobject_cast<TZarvMemo*>(Memo);
  if (!memo) {
    if (Link)
      throw EZarvError(QString::fromLatin1(SNotAZarvMemo));
    return;
  }
  const auto it = std::find(fMemos.begin(), fMemos.end(), static_cast<QObject*>(memo));
  if (Link && it == fMemos.end()) {
    fMemos.emplace_back(memo);
    memo->AddMsgListener(this);
    memo->AddNotify(this);
    // A control destroyed without unlinking is forgotten.
    connect(memo, &QObject::destroyed, this, &TzvCollapseHandler::forget);
  } else if (!Link && it != fMemos.end()) {
    fMemos.erase(it);
    memo->RemoveMsgListener(this);
    memo->RemoveNotify(this);
    disconnect(memo, &QObject::destroyed, this, &TzvCollapseHandler::forget);
    if (fPress == memo)
      fPress = nullptr;
  }
}

void TzvCollapseHandler::forget(QObject* memo) {
  fMemos.erase(std::remove_if(fMemos.begin(), fMemos.end(),
                              [memo](const QPointer<QObject>& m) { return !m || m.data() == memo; }),
               fMemos.end());
}

// ---- Painting ------------------------------------------------------------------------------

void TzvCollapseHandler::PaintLine(QObject* Memo, QPainter* DC, int XOffset, int LineHeight, const ParInfo& Par,
                                   const LineInfo& Line) {
  int32_t S = 0, E = 0, N = 0;
  bool C = false;
  zvsGetParLevels(Par, Line, S, E, N, C);
  if (N < 1 || !DC)
    return;
  const TFoldGeometry g = Geometry(LineHeight);
  auto* memo = qobject_cast<TZarvMemo*>(Memo);
  const QPalette pal = memo ? memo->palette() : QPalette();
  DC->save();
  // Bars are AND-ed into the line, so the text stays readable over them.
  DC->setCompositionMode(QPainter::RasterOp_SourceAndDestination);
  const QColor bar = ColorToQColor(fBarPen.Color, pal);
  for (int32_t i = 0; i < N && i < g.MaxLevels; ++i) {
    const int32_t bottom = i < E ? LineHeight : LineHeight - g.W; // a level ending here stops short
    Stroke(*DC, g.ColumnLeft(i) - XOffset, 0, g.W, bottom, bar);
  }
  DC->setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (S != E) {
    const QColor ink = ColorToQColor(fSignPen.Color, pal);
    const TColor parBack = zvsGetParBackgnd(Par);
    const QColor paper = memo ? memo->PaintColor(parBack != clDefault && parBack != clNone ? parBack : clWindow)
                              : pal.color(QPalette::Base);
    const int32_t s = g.SignSize(), top = g.SignTop(), bottom = g.SignBottom(), pw = fSignPen.Width;
    for (int32_t j = S; j < E; ++j) { // blocks starting on this line
      const int32_t l = g.SignLeft(j) - XOffset;
      DC->fillRect(QRect(l, top, s, s), paper);
      Stroke(*DC, l, top, s, pw, ink);
      Stroke(*DC, l, bottom - pw, s, pw, ink);
      Stroke(*DC, l, top, pw, s, ink);
      Stroke(*DC, l + s - pw, top, pw, s, ink);
      Stroke(*DC, l, top + s / 2, s, pw, ink);
      if (j == E - 1 && C)
        Stroke(*DC, l + s / 2, top, pw, s, ink);
    }
    for (int32_t j = S - 1; j >= E && j >= 0; --j) // blocks ending on it
      Stroke(*DC, g.SignLeft(j) - XOffset, bottom, s, pw, ink);
  }
  DC->restore();
}

// ---- Hit-testing and folding ----------------------------------------------------------------

TzvCollapseHandler::THit TzvCollapseHandler::HitTest(TZarvMemo& memo, QPoint pt) const {
  THit hit;
  const TParagraphsList& L = memo.Paragraphs();
  const int32_t lh = std::max(1, memo.fLineHeight);
  const int64_t x = int64_t(pt.x()) + memo.fDisplayLeft;
  const int64_t docY = int64_t(pt.y()) + memo.fTopOrigin;
  if (x >= memo.fLeftMargin || pt.y() < 0 || docY < 0)
    return hit;
  const TFoldGeometry g = Geometry(lh);
  int32_t c = g.HitColumn(int32_t(x), int32_t(docY % lh));
  const TVisibleLine v = VisibleLineAt(L, int32_t(std::min<int64_t>(docY / lh, INT32_MAX)));
  if (c < 0 || v.Par < 0)
    return hit;
  const ParInfo& par = *L.Par(v.Par);
  const LineInfo line = GetParLine(par, std::min(v.ParLine, GetLineCount(par) - 1));
  int32_t S = 0, E = 0, N = 0;
  bool C = false;
  zvsGetParLevels(par, line, S, E, N, C);
  if (N <= 0)
    return hit;
  if (c == g.MaxLevels - 1 && c < S)
    c = S; // the last column stands for the first level starting there
  if (c < S || c >= E)
    return hit; // no sign drawn there
  hit.Par = v.Par;
  if (zvsGetParLevel(par) > 0) {
    hit.Level = c + 1;
    hit.Collapsed = C && c + 1 == N;
    return hit;
  }
  // A run block: the last code opening level c + 1 on this line (the block
  // the sign stands for goes on after the line), so that the press folds
  // that block, not an earlier one of the same level.
  const TDynInfoArray& codes = GetDynArray(par);
  const size_t first = std::min<size_t>(line.StartDynNb, codes.size());
  int prev = DynToCollapseLevel(first > 0 ? codes[first - 1] : *GetStartDynAttrib(par));
  for (size_t i = first; i < codes.size() && codes[i].DynOffset <= line.Stop; ++i) {
    const int lvl = DynToCollapseLevel(codes[i]);
    if (lvl == c + 1 && prev < lvl) {
      hit.Level = lvl;
      hit.Code = int32_t(i);
      hit.Collapsed = (codes[i].CollpsState & zvdCollapsed) != 0;
    }
    prev = lvl;
  }
  return hit;
}

bool TzvCollapseHandler::Toggle(TZarvMemo& memo, const THit& hit) {
  if (!hit.Valid() || hit.Par < 0 || hit.Par >= memo.GetParCount())
    return false;
  bool changed = false;
  if (hit.Code < 0) {
    changed = hit.Collapsed ? memo.ExpandBlock(hit.Par, hit.Level) : memo.CollapseBlock(hit.Par, hit.Level);
  } else {
    TZarvMemo::TUpdateLock lock(memo);
    TZarvNavigator n(&memo.Paragraphs());
    n.AttachMemo(&memo);
    // Inside the run the code opens: a navigator reads the code in force
    // before its position.
    const TDynInfoArray& codes = GetDynArray(*memo.Paragraphs().Par(hit.Par));
    if (size_t(hit.Code) >= codes.size())
      return false;
    n.SetParPos(hit.Par, codes[size_t(hit.Code)].DynOffset + 1);
    changed = hit.Collapsed ? n.Expand(false) : n.Collapse(false);
  }
  ++fChangeStamp;
  memo.viewport()->update();
  return changed;
}

// ---- The mouse protocol ------------------------------------------------------------------------

void TzvCollapseHandler::Notify(QObject* Sender, TzvEvents Events) {
  if (fComponentState & csDesigning)
    return;
  auto* memo = qobject_cast<TZarvMemo*>(Sender);
  if (!memo)
    return;
  if (Events & (zveChange | zveNewContent))
    ++fChangeStamp;
  if ((Events & (zveMessage | zveAfterMessage)) && memo->WinMsg.Event) {
    if (Events & zveMessage)
      beforeEvent(*memo);
    else
      afterEvent(*memo);
  }
}

namespace {
QPoint ViewportPoint(TZarvMemo& memo, const QMouseEvent& e) {
  return memo.viewport()->mapFromGlobal(e.globalPosition().toPoint());
}
} // namespace

void TzvCollapseHandler::beforeEvent(TZarvMemo& memo) {
  QEvent* e = memo.WinMsg.Event;
  switch (e->type()) {
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonDblClick: {
    auto* me = static_cast<QMouseEvent*>(e);
    if (me->button() != Qt::LeftButton)
      return;
    const THit hit = HitTest(memo, ViewportPoint(memo, *me));
    if (!hit.Valid())
      return;
    memo.WinMsg.Result = kMsgSwallowed;
    fPress = &memo;
    // The second press of a double click only completes the first click.
    if (e->type() == QEvent::MouseButtonPress)
      Toggle(memo, hit);
    return;
  }
  case QEvent::MouseMove:
  case QEvent::MouseButtonRelease:
    if (fPress == &memo)
      memo.WinMsg.Result = kMsgSwallowed;
    return;
  default:
    return;
  }
}

void TzvCollapseHandler::afterEvent(TZarvMemo& memo) {
  QEvent* e = memo.WinMsg.Event;
  if (e->type() == QEvent::MouseButtonRelease && fPress == &memo) {
    fPress = nullptr;
    hover(memo, ViewportPoint(memo, *static_cast<QMouseEvent*>(e)));
  } else if (e->type() == QEvent::MouseMove && fPress != &memo) {
    auto* me = static_cast<QMouseEvent*>(e);
    if (!(me->buttons() & Qt::LeftButton)) // not during a selection drag
      hover(memo, ViewportPoint(memo, *me));
  }
}

void TzvCollapseHandler::hover(TZarvMemo& memo, QPoint pt) {
  const THit hit = HitTest(memo, pt);
  if (hit.Valid())
    memo.viewport()->setCursor(hit.Collapsed ? ExpandCursor() : CollapseCursor());
  if (fHint)
    updateHint(memo, pt);
}

// ---- The hint --------------------------------------------------------------------------------------

QString TzvCollapseHandler::HiddenTextHint(TZarvMemo& memo, int32_t y) const {
  const TParagraphsList& L = memo.Paragraphs();
  const int32_t lh = std::max(1, memo.fLineHeight);
  const TVisibleLine v =
      VisibleLineAt(L, int32_t(std::clamp<int64_t>((int64_t(y) + memo.fTopOrigin) / lh, -1, INT32_MAX)));
  ++fHintBuilds;
  if (v.Par < 0)
    return QString();
  QString text;
  bool more = false;
  for (int32_t q = v.Par + 1; q < L.Count() && (L.RawPar(q)->ParState & zvpHidden); ++q) {
    if (q > v.Par + 1)
      text += QLatin1Char('\n');
    const ParInfo& par = *L.Par(q);
    const int32_t len = GetParLength(par);
    const int32_t take = std::min<int32_t>(len, std::max<int32_t>(0, kHintChars - int32_t(text.size())));
    if (take > 0)
      text += QString(reinterpret_cast<const QChar*>(par.ParText), take);
    if (take < len || text.size() >= kHintChars) {
      more = q + 1 < L.Count() || take < len;
      break;
    }
  }
  if (text.trimmed().isEmpty())
    return QString();
  if (more)
    text += QChar(0x2026);
  // Tool tips take rich text: the hidden text is escaped and kept as it is.
  return QStringLiteral("<p style='white-space:pre'>") +
         text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")) + QStringLiteral("</p>");
}

void TzvCollapseHandler::updateHint(TZarvMemo& memo, QPoint pt) {
  const int32_t lh = std::max(1, memo.fLineHeight);
  const TVisibleLine v = VisibleLineAt(
      memo.Paragraphs(), int32_t(std::clamp<int64_t>((int64_t(pt.y()) + memo.fTopOrigin) / lh, -1, INT32_MAX)));
  const uint32_t stamp = fChangeStamp ^ (uint32_t(memo.Paragraphs().fVisibleLineCount) * 2654435761u);
  if (fHintMemo == &memo && fHintPar == v.Par && fHintStamp == stamp)
    return; // the same paragraph as before: nothing to rebuild
  fHintMemo = &memo;
  fHintPar = v.Par;
  fHintStamp = stamp;
  const QString hint = HiddenTextHint(memo, pt.y());
  if (hint != memo.toolTip()) {
    memo.setToolTip(hint);
    QToolTip::hideText();
  }
}

const QCursor& TzvCollapseHandler::CollapseCursor() {
  static const QCursor c = MakeFoldCursor(false);
  return c;
}

const QCursor& TzvCollapseHandler::ExpandCursor() {
  static const QCursor c = MakeFoldCursor(true);
  return c;
}

} // namespace zarv
