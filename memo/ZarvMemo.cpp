// Construction and destruction of the editor control, its window life
// (line buffer and format thread appear with the display), font metrics,
// and the requests to re-wrap and repaint.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/folding/CollapseHandler.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/highlight/Highlighter.h>
#include <ZarvMemo/support/layout/FormatThread.h>
#include <ZarvMemo/support/layout/LineFormat.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontInfo>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <algorithm>
#include <limits>

namespace zarv {

TZarvMemo::TZarvMemo(QWidget* parent) : QAbstractScrollArea(parent) {
  fSelStart = new TZarvNavigator(static_cast<QObject*>(this));
  fSelStop = new TZarvNavigator(static_cast<QObject*>(this));
  fcp = fSelStart;
  fDisplayTop = new TZarvNavigator(static_cast<QObject*>(this));
  fIndependantCpNav = new TZarvNavigator(static_cast<QObject*>(this));
  ftmpnav1 = new TZarvNavigator(static_cast<QObject*>(this));
  ftmpnav2 = new TZarvNavigator(static_cast<QObject*>(this));
  fMouseNav = new TZarvNavigator(static_cast<QObject*>(this));
  QFont f(QStringLiteral("Arial"));
  f.setStyleHint(QFont::SansSerif);
  setFont(f);
  fAltFont = f;
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  setFrameShape(QFrame::StyledPanel);
  applyScrollBarPolicy();
  resize(100, 60);
  UpdateMetrics();
}

TZarvMemo::~TZarvMemo() {
  fComponentState |= csDestroying;
  setCollpsHandler(nullptr);
  for (const QMetaObject::Connection& c : fFreeNotifications)
    disconnect(c);
  DestroyWindowHandle();
  setHighlighter(nullptr);
  fNotifyList.clear();
  fMsgList.clear();
  fSelLen = 0;
  FreeNavigators();
}

// A hidden control has not laid out its viewport yet; its width is then
// what the viewport will get.
int32_t TZarvMemo::ClientWidth() const { return isVisible() ? viewport()->width() : maximumViewportSize().width(); }

QString TZarvMemo::getVersion() const { return QStringLiteral("ZarvMemo 0.1"); }

// ---- Window life -------------------------------------------------------------------

void TZarvMemo::showEvent(QShowEvent* e) {
  QAbstractScrollArea::showEvent(e);
  if (!DisplayReady())
    CreateHandle();
}

void TZarvMemo::CreateHandle() {
  fExtraCols.clear();
  fXCaretRunningPos = INT32_MIN;
  fLineBmp = QImage(std::max(1, viewport()->width()), std::max(1, fLineHeight), QImage::Format_ARGB32_Premultiplied);
  UpdateMetrics();
  if (!(fComponentState & csDesigning) && fUpdateMode == umBackground)
    fFormatThread = std::make_unique<TzvFormatThread>(this);
  Reformat();
  fDisplayLeft = 0;
  fTopOrigin = 0;
  fDisplayTop->SetPos(0);
  setCaretWidth(fAutoCaretWidth ? 0 : fCaretWidth);
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  if (OnVScroll)
    OnVScroll(*this);
  emit vScrolled();
}

void TZarvMemo::DestroyWindowHandle() {
  fLineBmp = QImage();
  if (fFormatThread) {
    fFormatThread->PutToEnd(true);
    fFormatThread.reset();
  }
}

void TZarvMemo::resizeEvent(QResizeEvent* e) {
  const int32_t oldWidth = e->oldSize().width();
  // Whether the view stood above the end of the text before the resize (the
  // viewport has its new size already; its old one differs as the widget's).
  const int64_t textHeight = int64_t(fParagraphs->fVisibleLineCount) * fLineHeight;
  const int32_t oldViewportHeight = viewport()->height() - (e->size().height() - e->oldSize().height());
  const bool aboveEnd = e->oldSize().isValid() && fTopOrigin < textHeight - oldViewportHeight + 5;
  QAbstractScrollArea::resizeEvent(e);
  if (!DisplayReady())
    return;
  // Enlarging the window at the end of the text shows more text rather than
  // empty space below it.
  const int64_t limit = textHeight - viewport()->height() + 3;
  if (aboveEnd && fTopOrigin > limit)
    setTopOrigin(int32_t(std::max<int64_t>(0, limit)));
  fLineBmp = QImage(std::max(1, viewport()->width()), std::max(1, fLineHeight), QImage::Format_ARGB32_Premultiplied);
  fDisplayLines = viewport()->height() / std::max(1, fLineHeight) + 1;
  // The wrap width follows the client width.
  if (fWordWrap && fColumnWrap == 0 && viewport()->width() != oldWidth)
    Reformat();
}

// ---- Metrics -----------------------------------------------------------------------

void TZarvMemo::UpdateMetrics() {
  UpdateFontDependantFields();
  const QFontMetrics& m = Canvas().Metrics();
  if (DisplayReady()) {
    fDisplayLines = viewport()->height() / std::max(1, fLineHeight) + 1;
    fLineBmp = QImage(fLineBmp.width(), std::max(1, fLineHeight), QImage::Format_ARGB32_Premultiplied);
  }
  (void)m;
  fWavyLinePos = fLineDescent;
  fWavyLineAmplitude = fSpecUnderlinePen.Width * 3 / 2 + 1;
  if (fWavyLinePos >= fLineHeight - fWavyLineAmplitude)
    fWavyLinePos = fLineHeight - fWavyLineAmplitude - 1;
}

void TZarvMemo::FontChanged() {
  UpdateMetrics();
  // Until the display exists an automatic height is the font's pixel
  // height + 1; the display's metrics then refine it.
  if (fAutoLineHeight && !DisplayReady())
    fLineHeight = QFontInfo(font()).pixelSize() + 1;
  if (DisplayReady()) {
    Repaint();
    Reformat();
    fDisplayLeft = 0;
    fTopOrigin = 0;
    fDisplayTop->SetPos(0);
    setCaretWidth(fAutoCaretWidth ? 0 : fCaretWidth);
    if (OnVScroll)
      OnVScroll(*this);
    emit vScrolled();
  }
  DoNotify(fNotifyList, zveFontChanged);
}

void TZarvMemo::changeEvent(QEvent* e) {
  QAbstractScrollArea::changeEvent(e);
  if (e->type() == QEvent::FontChange)
    FontChanged();
  else if (e->type() == QEvent::PaletteChange)
    Repaint();
}

// ---- Re-wrapping and repainting --------------------------------------------------------

void TZarvMemo::Repaint() {
  ++fRepaintCount;
  viewport()->update();
}

void TZarvMemo::Reformat() {
  ++fReformatCount;
  fMaxLineWidth = 0;
  fMaxLineNumber = -1;
  TParagraphsList& L = *fParagraphs;
  if (fComponentState & csReading)
    return;
  if (fLockedCount >= 1) {
    L.MarkUnformatted();
    L.fModStartPar = 0;
    L.fModStopPar = L.Count() - 1;
    L.fModLinesOffset = 0;
    fPendingChange = fPendingChange || false;
    return;
  }
  L.MarkUnformatted();
  if (!DisplayReady())
    return;
  if (fUpdateMode == umImmediate) {
    // Everything now; nothing is left pending.
    FormatPending(INT32_MAX);
  } else if (fUpdateMode == umBackground && fFormatThread) {
    fFormatThread->SetEvent();
  }
}

// Formats paragraphs still marked unformatted, from the pending range's
// start, for at most `budgetMs` milliseconds; returns whether work remains.
bool TZarvMemo::FormatPending(int32_t budgetMs) {
  TParagraphsList& L = *fParagraphs;
  QElapsedTimer clock;
  clock.start();
  const int32_t width = ClientWidth();
  int32_t p = std::max(0, L.fUpdateStartPar);
  const int32_t last = std::min(L.fUpdateStopPar, L.Count() - 1);
  bool first = true;
  for (; p <= last; ++p) {
    ParInfo& par = *L.Par(p);
    if (par.ParState & zvpFormatted)
      continue;
    // Ranges are parsed before the line is measured in their styles.
    if (fApplyStartStopKeys || fHighlighter)
      DoDynParse(p, p, false);
    int32_t start = 0, stop = 0, delta = 0, count = 0, space = 0, overhang = 0;
    uint64_t state = 0;
    ReformatParP(*this, &Canvas(), first, width, nullptr, p, start, stop, true, state, space, overhang, delta, count);
    first = false;
    if (delta != 0) {
      L.UpdateLines(p + 1, delta);
      L.fTrueLineCount += delta;
      if (!(par.ParState & zvpHidden))
        L.fVisibleLineCount += delta;
    }
    if (clock.elapsed() >= budgetMs) {
      ++p;
      break;
    }
  }
  L.fUpdateStartPar = p;
  if (p > last) {
    L.fUpdateStartPar = L.Count();
    L.fUpdateStopPar = -1;
    return false;
  }
  return true;
}

void TZarvMemo::setTopOrigin(int32_t y) {
  const int64_t last = std::max<int64_t>(0, int64_t(fParagraphs->fVisibleLineCount) * fLineHeight - 1);
  y = int32_t(std::clamp<int64_t>(y, 0, last));
  if (y == fTopOrigin)
    return;
  fTopOrigin = y;
  fDisplayTop->setVisibleLineNumber(getTopLine());
  Repaint();
  QPointer<TZarvMemo> self(this);
  DoNotify(fNotifyList, zveVScroll);
  if (self && OnVScroll)
    OnVScroll(*this);
  if (self)
    emit vScrolled();
}

void TZarvMemo::setTopLine(int32_t l) {
  setTopOrigin(int32_t(std::clamp<int64_t>(int64_t(l) * fLineHeight, 0, INT32_MAX)));
}

void TZarvMemo::setDisplayLeft(int32_t x) {
  x = std::max(0, x);
  if (x == fDisplayLeft)
    return;
  fDisplayLeft = x;
  Repaint();
  QPointer<TZarvMemo> self(this);
  DoNotify(fNotifyList, zveHScroll);
  if (self && OnHScroll)
    OnHScroll(*this);
  if (self)
    emit hScrolled();
}

void TZarvMemo::RefreshDisplay() {
  if (!DisplayReady())
    return;
  const int32_t lastTop = std::max(fParagraphs->fVisibleLineCount - fDisplayLines + 1, 0);
  if (getTopLine() > lastTop)
    setTopLine(lastTop);
  Repaint();
}

void TZarvMemo::InvalidateLines(int32_t a, int32_t b) {
  if (a > b)
    std::swap(a, b);
  const int64_t top = int64_t(a) * fLineHeight - fTopOrigin;
  const int64_t bottom = (int64_t(b) + 1) * fLineHeight - fTopOrigin;
  const int h = viewport()->height();
  if (bottom < 1 || top >= h)
    return;
  ++fRepaintCount;
  viewport()->update(QRect(0, int(std::max<int64_t>(top, 0)), viewport()->width(),
                           int(std::min<int64_t>(bottom, h) - std::max<int64_t>(top, 0))));
}

void TZarvMemo::ReApplyKeywords() {
  if (fComponentState & csLoading)
    return;
  TParagraphsList& L = *fParagraphs;
  for (int32_t p = 0; p < L.Count(); ++p) {
    ParInfo& par = *L.Par(p);
    par.ParState &= static_cast<TParStates>(~(zvpFormatted | zvpSSDone | zvpKeywDone));
    if (par.ParState & zvpHasExtra)
      par.ParExtra->DynCodes.clear();
    SetStartDynAttrib(par, nullptr, false);
  }
  for (TZarvNavigator* n : fNavigators)
    n->Invalidate();
  L.fLastStartStopParsed = -1;
  DropUpText();
  Reformat();
  Repaint();
}

void TZarvMemo::Loaded() {
  fComponentState &= ~TComponentState(csLoading | csReading);
  const bool highlight = (fApplyKeyWords && fKeywords->GetCount() > 0) ||
                         (fApplyStartStopKeys && fStartStopKeys->Count() > 0) || fHighlighter;
  if (highlight)
    ReApplyKeywords();
  else
    Reformat();
}

} // namespace zarv
