// Construction and destruction of the editor control, its window life
// (line buffer and format thread appear with the display), font metrics,
// and the requests to re-wrap and repaint.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/memo/ZarvMemoStrings.h>
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
#include <QTimer>
#include <algorithm>
#include <limits>

namespace zarv {

TZarvMemo::TZarvMemo(QWidget* parent)
    : QAbstractScrollArea(parent), fLines(std::make_unique<TZarvLinesStrings>(*this)),
      fParaStrings(std::make_unique<TZarvParaStrings>(*this)) {
  fSelStart = new TZarvNavigator(static_cast<QObject*>(this));
  fSelStop = new TZarvNavigator(static_cast<QObject*>(this));
  fcp = fSelStart;
  fDisplayTop = new TZarvNavigator(static_cast<QObject*>(this));
  fIndependantCpNav = new TZarvNavigator(static_cast<QObject*>(this));
  ftmpnav1 = new TZarvNavigator(static_cast<QObject*>(this));
  ftmpnav2 = new TZarvNavigator(static_cast<QObject*>(this));
  fMouseNav = new TZarvNavigator(static_cast<QObject*>(this));
  initMouse();
  QFont f(QStringLiteral("Arial"));
  f.setStyleHint(QFont::SansSerif);
  setFont(f);
  fAltFont = f;
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  viewport()->setCursor(Qt::IBeamCursor);
  setFrameShape(QFrame::StyledPanel);
  applyScrollBarPolicy();
  connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int a) { scrollBarAction(true, a); });
  connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int a) { scrollBarAction(false, a); });
  resize(100, 60);
  UpdateMetrics();
  // Keywords added, changed or removed are highlighted again at once.
  fKeywords->OnChange = [this](TKeywordList&) {
    if (fApplyKeyWords && !(fComponentState & csDestroying))
      ReApplyKeywords();
  };
}

TZarvMemo::~TZarvMemo() {
  fComponentState |= csDestroying;
  fAutoScrollTimer->stop();
  Finalize();
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
// what the viewport will get. Text laid out for another device has that
// device's width.
int32_t TZarvMemo::ClientWidth() const {
  if (fCanvas)
    return fW;
  return isVisible() ? viewport()->width() : maximumViewportSize().width();
}

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
  fLineWidth = viewport()->width();
  fLineBmp = QImage(std::max(1, fLineWidth), std::max(1, fLineHeight), QImage::Format_ARGB32_Premultiplied);
  UpdateMetrics();
  if (!(fComponentState & csDesigning) && fUpdateMode == umBackground)
    fFormatThread = std::make_unique<TzvFormatThread>(this);
  // The window's first picture comes before background slices; should no
  // paint come (a window never exposed), the slices start a little later.
  fFirstPaintPending = true;
  QTimer::singleShot(100, this, [this] { firstPaintDone(); });
  fDisplayLeft = 0;
  fTopOrigin = 0;
  fDisplayTop->SetPos(0);
  Reformat();
  setVScrollParams();
  setHScrollParams();
  setCaretWidth(fAutoCaretWidth ? 0 : fCaretWidth);
  updateScrollBarValues();
  callHandler(OnVScroll, *this);
  callOut([&] { Q_EMIT vScrolled(); });
  UpdateCaret(false);
}

void TZarvMemo::DestroyWindowHandle() {
  fLineBmp = QImage();
  if (fFormatThread) {
    fFormatThread->PutToEnd(true);
    fFormatThread.reset();
  }
}

// ---- Metrics -----------------------------------------------------------------------

void TZarvMemo::UpdateMetrics() {
  UpdateFontDependantFields();
  if (DisplayReady()) {
    fDisplayLines = viewport()->height() / std::max(1, fLineHeight) + 1;
    fLineBmp = QImage(fLineBmp.width(), std::max(1, fLineHeight), QImage::Format_ARGB32_Premultiplied);
  }
  fWavyLinePos = fLineDescent;
  fWavyLineAmplitude = fSpecUnderlinePen.Width * 3 / 2 + 1;
  if (fWavyLinePos >= fLineHeight - fWavyLineAmplitude)
    fWavyLinePos = fLineHeight - fWavyLineAmplitude - 1;
}

void TZarvMemo::FontChanged() try {
  const TEntryScope entry(ownerId());
  UpdateMetrics();
  // Until the display exists an automatic height is the font's pixel
  // height + 1; the display's metrics then refine it.
  if (fAutoLineHeight && !DisplayReady())
    fLineHeight = QFontInfo(font()).pixelSize() + 1;
  if (DisplayReady()) {
    Repaint();
    fDisplayLeft = 0;
    fTopOrigin = 0;
    fDisplayTop->SetPos(0);
    Reformat();
    setVScrollParams();
    setHScrollParams();
    setCaretWidth(fAutoCaretWidth ? 0 : fCaretWidth);
    updateScrollBarValues();
    callHandler(OnVScroll, *this);
    callOut([&] { Q_EMIT vScrolled(); });
    UpdateCaret(false);
  }
  DoNotify(fNotifyList, zveFontChanged);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
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

void TZarvMemo::RefreshDisplay() try {
  const TEntryScope entry(ownerId());
  if (!DisplayReady())
    return;
  const int32_t lastTop = std::max(fParagraphs->fVisibleLineCount - fDisplayLines + 1, 0);
  if (getTopLine() > lastTop)
    SetTopLeft(clampTop(int64_t(lastTop) * fLineHeight), fDisplayLeft, 0);
  Repaint();
  UpdateCaret(false);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
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

void TZarvMemo::ReApplyKeywords() try {
  const TEntryScope entry(ownerId());
  if (fComponentState & csLoading)
    return;
  TZarvMemoHost::ReApplyKeywords(); // the runs go; the text waits for highlighting
  Reformat();
  Repaint();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::Loaded() try {
  const TEntryScope entry(ownerId());
  fComponentState &= ~TComponentState(csLoading | csReading);
  ClearUndo();
  const bool highlight = (fApplyKeyWords && fKeywords->GetCount() > 0) ||
                         (fApplyStartStopKeys && fStartStopKeys->Count() > 0) || fHighlighter;
  if (highlight)
    ReApplyKeywords();
  else
    Reformat();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

} // namespace zarv
