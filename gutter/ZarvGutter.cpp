// The gutter: painting rows in line with the control, its width, following
// the control's notifications, and the ten bookmarks.
#include <ZarvMemo/gutter/ZarvGutter.h>

#include <ZarvMemo/folding/VisibleLines.h>
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <memory>
#include <vector>

namespace zarv {

namespace {

// Every live gutter, to refuse a second gutter on one control.
std::vector<TZarvGutter*>& LiveGutters() {
  static std::vector<TZarvGutter*> gutters;
  return gutters;
}

int32_t DigitsOf(int64_t n) {
  int32_t d = 1;
  while (n >= 10) {
    n /= 10;
    ++d;
  }
  return d;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The digit of a bookmark key: the digit keys themselves, the characters
// Shift gives them on a US layout (Ctrl+Shift+1 arrives as '!'), and the
// keyboard's digit row by its X11 key codes (10 = '1' ... 19 = '0').
int BookmarkDigit(const QKeyEvent& e) {
  const int k = e.key();
  if (k >= Qt::Key_0 && k <= Qt::Key_9)
    return k - Qt::Key_0;
  static const QString shifted = QStringLiteral(")!@#$%^&*(");
  if (k > 0 && k < 0x80) {
    const int i = int(shifted.indexOf(QChar(k)));
    if (i >= 0)
      return i;
  }
  const quint32 sc = e.nativeScanCode();
  if (sc >= 10 && sc <= 19)
    return int(sc - 9) % 10;
  return -1;
}

} // namespace

TZarvGutter::TZarvGutter(QWidget* parent) : QWidget(parent) {
  LiveGutters().push_back(this);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  resize(30, 50);
  fBookmarkRows.fill(-1);
}

TZarvGutter::~TZarvGutter() {
  detach(false);
  auto& live = LiveGutters();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

TZarvGutter* TZarvGutter::GutterOf(const TZarvMemo* memo) {
  for (TZarvGutter* g : LiveGutters())
    if (memo && g->fMemo == memo)
      return g;
  return nullptr;
}

// ---- The control ----------------------------------------------------------------------------

void TZarvGutter::setZarvMemo(TZarvMemo* memo) {
  if (memo == fMemo)
    return;
  if (TZarvGutter* other = GutterOf(memo); other && other != this)
    throw EZarvError(QStringLiteral("The control already has a gutter"));
  detach(false);
  fMemo = memo;
  if (memo) {
    memo->AddMsgListener(this);
    memo->AddNotify(this);
    fMemoGone = connect(memo, &QObject::destroyed, this, [this] { detach(true); });
    fTopY = memo->fTopOrigin;
    fRowCount = RowCount();
    fParCount = memo->GetParCount();
  }
  applyWidth();
  update();
}

// With the control gone its navigators are gone too (it freed them, and
// their notices cleared our slots); otherwise ours are freed here.
void TZarvGutter::detach(bool memoGone) {
  for (int i = 0; i < kBookmarkCount; ++i) {
    TZarvNavigator* nav = std::exchange(fBookmarks[i], nullptr);
    if (nav && !memoGone) {
      nav->fOnFree = nullptr;
      delete nav; // made on the control by newBookmark; unregisters itself
    }
  }
  // A control being destroyed is not read (it is no TZarvMemo any more).
  if (!memoGone && fMemo) {
    fMemo->RemoveMsgListener(this);
    fMemo->RemoveNotify(this);
  }
  disconnect(fMemoGone);
  fMemo = nullptr;
  fMouseMemoLine = -1;
  fRowCount = fParCount = 0;
  update();
}

// ---- Properties ----------------------------------------------------------------------------------

void TZarvGutter::setAlignment(TAlignment a) {
  if (a != fAlignment) {
    fAlignment = a;
    update();
  }
}

void TZarvGutter::setAutoWidth(bool v) {
  fAutoWidth = v;
  applyWidth();
}

void TZarvGutter::setIgnoreLast(bool v) {
  if (v != fIgnoreLast) {
    fIgnoreLast = v;
    update();
  }
}

void TZarvGutter::setLineNumbers(bool v) {
  if (v != fLineNumbers) {
    fLineNumbers = v;
    update();
  }
}

void TZarvGutter::setParagraphNumbers(bool v) {
  if (v != fParNumbers) {
    fParNumbers = v;
    update();
  }
}

void TZarvGutter::setRightBorder(bool v) {
  if (v != fRightBorder) {
    fRightBorder = v;
    update();
  }
}

void TZarvGutter::setColor(TColor c) {
  fColor = c;
  update();
}

void TZarvGutter::setNumberColor(TColor c) {
  fNumberColor = c;
  update();
}

void TZarvGutter::setKeepBookmarks(bool v) {
  if (v == fKeepBookmarks)
    return;
  fKeepBookmarks = v;
  for (TZarvNavigator* nav : fBookmarks)
    if (nav)
      placeBookmark(*nav);
  update();
}

int32_t TZarvGutter::WidthForCount(int32_t count) const {
  const int32_t digits = std::max(2, DigitsOf(std::max(1, count)));
  const int32_t w = (digits + 1) * fontMetrics().horizontalAdvance(QLatin1Char('0')) + 3;
  return std::max(w, kIconSize + 4 + (fRightBorder ? 2 : 0));
}

QSize TZarvGutter::sizeHint() const { return QSize(WidthForCount(RowCount()), 50); }

void TZarvGutter::applyWidth() {
  if (fAutoWidth) {
    const int32_t w = WidthForCount(RowCount());
    if (w != width())
      setFixedWidth(w);
  }
}

void TZarvGutter::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::FontChange) {
    applyWidth();
    update();
  }
}

// ---- Rows ------------------------------------------------------------------------------------------

int32_t TZarvGutter::RowCount() const {
  if (!fMemo)
    return 0;
  const TParagraphsList& L = fMemo->Paragraphs();
  int32_t rows = L.fVisibleLineCount;
  // A final empty paragraph is no line of the text when IgnoreLast is on.
  if (fIgnoreLast && L.Count() > 1 && GetParLength(*L.Par(L.Count() - 1)) == 0 &&
      !(L.RawPar(L.Count() - 1)->ParState & zvpHidden))
    --rows;
  return std::max(0, rows);
}

QString TZarvGutter::NumberText(int32_t Row) const {
  if (!fMemo || (!fLineNumbers && !fParNumbers))
    return QString();
  const TVisibleLine v = VisibleLineAt(fMemo->Paragraphs(), Row);
  if (v.Par < 0)
    return QString();
  if (fParNumbers)
    return v.ParLine == 0 ? QString::number(v.Par + 1) : QString();
  // Without word wrap a line is a paragraph, and numbers jump over folded
  // ones; with word wrap display lines are numbered as shown.
  return QString::number(fMemo->fWordWrap ? int64_t(Row) + 1 : int64_t(v.Par) + 1);
}

// The gutter's y of the control's viewport y = 0: rows line up on screen
// whatever the two widgets' parents.
int32_t TZarvGutter::memoToGutterY() const {
  return fMemo->viewport()->mapToGlobal(QPoint(0, 0)).y() - mapToGlobal(QPoint(0, 0)).y();
}

void TZarvGutter::paintEvent(QPaintEvent* e) {
  try {
    QPainter p(this);
    const QRect area = e->rect() & rect();
    p.fillRect(area, fColor == clDefault ? palette().color(QPalette::Window) : ColorToQColor(fColor, palette()));
    const int32_t textW = width() - (fRightBorder ? 2 : 0);
    if (fRightBorder) {
      p.fillRect(QRect(textW, area.top(), 1, area.height()), palette().color(QPalette::Light));
      p.fillRect(QRect(textW + 1, area.top(), 1, area.height()), palette().color(QPalette::Dark));
    }
    if (!fMemo)
      return;
    const int32_t lh = std::max(1, fMemo->fLineHeight);
    fTopY = fMemo->fTopOrigin;
    fRowCount = RowCount();
    fParCount = fMemo->GetParCount();
    for (int i = 0; i < kBookmarkCount; ++i)
      fBookmarkRows[size_t(i)] = BookmarkRow(i);
    const int32_t shift = memoToGutterY();
    int64_t r = std::max<int64_t>(0, FloorDiv(int64_t(area.top()) - shift + fTopY, lh));
    int64_t y = r * lh - fTopY + shift;
    p.setFont(font());
    p.setPen(fNumberColor == clDefault ? palette().color(QPalette::WindowText)
                                       : ColorToQColor(fNumberColor, palette()));
    p.setClipRect(QRect(0, area.top(), textW, area.height()));
    QString text;
    QPixmap graphic;
    for (; y <= area.bottom() && r < fRowCount; ++r, y += lh)
      paintRow(p, int32_t(r), int32_t(y), textW, text, graphic, fBookmarkRows);
  } catch (const std::exception& ex) {
    qWarning("TZarvGutter: %s while painting", ex.what());
  }
}

void TZarvGutter::paintRow(QPainter& p, int32_t row, int32_t y, int32_t textW, QString& text, QPixmap& graphic,
                           const std::array<int32_t, kBookmarkCount>& rows) {
  const int32_t base = y + fMemo->fLineBase;
  auto xFor = [&](int32_t w) {
    switch (fAlignment) {
    case taLeftJustify:
      return 2;
    case taRightJustify:
      return textW - w - 2;
    default:
      return (textW - w) / 2;
    }
  };
  if (OnDrawItem) {
    OnDrawItem(*this, row, text, graphic);
    p.drawText(xFor(p.fontMetrics().horizontalAdvance(text)), base, text);
    if (!graphic.isNull())
      p.drawPixmap(0, y, graphic);
    return;
  }
  const auto b = std::find(rows.begin(), rows.end(), row);
  if (b != rows.end()) {
    const int32_t lh = fMemo->fLineHeight;
    int32_t top = (lh - kIconSize) / 2;
    if (top + kIconSize < fMemo->fLineBase)
      top = fMemo->fLineBase - kIconSize;
    drawIcon(p, int(b - rows.begin()), xFor(kIconSize), y + top);
    return;
  }
  const QString number = NumberText(row);
  if (!number.isEmpty())
    p.drawText(xFor(p.fontMetrics().horizontalAdvance(number)), base, number);
}

// A yellow disc with a black outline and the bookmark's digit.
void TZarvGutter::drawIcon(QPainter& p, int index, int32_t x, int32_t y) const {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(QColor(255, 220, 0));
  p.drawEllipse(QRectF(x + 0.5, y + 0.5, kIconSize - 1, kIconSize - 1));
  QFont f = font();
  f.setPixelSize(kIconSize - 2);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRect(x, y, kIconSize, kIconSize), Qt::AlignCenter, QString::number(index));
  p.restore();
}

void TZarvGutter::mouseMoveEvent(QMouseEvent* e) {
  if (fMemo) {
    const int32_t lh = std::max(1, fMemo->fLineHeight);
    const int32_t y = int32_t(e->position().y()) - memoToGutterY();
    fMouseMemoLine = int32_t(FloorDiv(int64_t(y) + fMemo->fTopOrigin, lh));
  } else {
    fMouseMemoLine = -1;
  }
  QWidget::mouseMoveEvent(e);
}

// ---- Following the control ------------------------------------------------------------------------

void TZarvGutter::Notify(QObject* Sender, TzvEvents Events) {
  if (!fMemo || Sender != fMemo.data())
    return;
  if (Events & zveMessage) {
    // Bookmark keys are the gutter's commands: the control does not see them.
    if (fMemo->WinMsg.Event && fMemo->WinMsg.Event->type() == QEvent::KeyPress)
      handleKey(*static_cast<QKeyEvent*>(fMemo->WinMsg.Event));
  }
  if (Events & zveAfterMessage)
    afterMessage();
  if (Events & zveFontChanged) {
    applyWidth();
    update();
  }
  if (Events & zveBeforeChange)
    beforeChange();
  if (Events & zveChange)
    afterChange();
  if (Events & zveNewContent)
    ClearBookmarks();
  if (Events & zveVScroll)
    followScroll();
}

// The control repainted part of its window: the same rows of the gutter
// follow, so folds, edits and wrapping show in both at once.
void TZarvGutter::afterMessage() {
  QEvent* e = fMemo->WinMsg.Event;
  if (!e || e->type() != QEvent::Paint)
    return;
  const QRect r = static_cast<QPaintEvent*>(e)->rect();
  const int32_t shift = memoToGutterY();
  update(QRect(0, r.top() + shift, width(), r.height()));
  if (RowCount() != fRowCount)
    applyWidth();
}

void TZarvGutter::followScroll() {
  const int32_t top = fMemo->fTopOrigin;
  if (RowCount() == fRowCount && fMemo->GetParCount() == fParCount) {
    scroll(0, fTopY - top);
  } else {
    update();
  }
  fTopY = top;
}

void TZarvGutter::handleKey(const QKeyEvent& e) {
  if (!fBookmarksOn)
    return;
  const Qt::KeyboardModifiers mods =
      e.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
  if (mods != Qt::ControlModifier && mods != (Qt::ControlModifier | Qt::ShiftModifier))
    return;
  const int d = BookmarkDigit(e);
  if (d < 0)
    return;
  fMemo->WinMsg.Result = kMsgSwallowed;
  if (mods == Qt::ControlModifier) {
    JumpToBookmark(d);
    return;
  }
  TZarvNavigator caret(&fMemo->Paragraphs());
  caret.AttachMemo(fMemo);
  caret.SetPos(fMemo->getSelStart());
  const int32_t line = caret.getVisibleLineNumber();
  if (GetBookmarkFromLine(line) == d)
    BookmarkLine(line, d);
  else
    BookmarkPos(fMemo->getSelStart(), d);
}

// Without KeepBookmarks a bookmark goes with its paragraph: one whose whole
// paragraph (with its break) is about to be replaced is freed now. One
// standing strictly inside deleted text is freed by the control.
void TZarvGutter::beforeChange() {
  if (fKeepBookmarks)
    return;
  const int32_t caret = fMemo->getSelStart(), len = fMemo->getSelLength();
  const int32_t a = std::min(caret, caret + len), b = std::max(caret, caret + len);
  if (a == b)
    return;
  const TParagraphsList& L = fMemo->Paragraphs();
  for (int i = 0; i < kBookmarkCount; ++i) {
    TZarvNavigator* nav = fBookmarks[size_t(i)];
    if (!nav)
      continue;
    const int32_t p = nav->GetParNb();
    const int32_t start = L.StartOffsetOf(p), plen = GetParLength(*L.Par(p));
    const bool last = p == L.Count() - 1;
    if ((a <= start && b >= start + plen + 2) || (last && a + 2 <= start && b >= start + plen))
      freeBookmark(i);
  }
}

void TZarvGutter::afterChange() {
  bool moved = false;
  for (int i = 0; i < kBookmarkCount; ++i)
    if (TZarvNavigator* nav = fBookmarks[size_t(i)]) {
      placeBookmark(*nav);
      moved |= BookmarkRow(i) != fBookmarkRows[size_t(i)];
    }
  const int32_t rows = RowCount();
  if (!moved && rows == fRowCount && fMemo->GetParCount() == fParCount)
    return;
  if (rows != fRowCount)
    applyWidth();
  fRowCount = rows;
  fParCount = fMemo->GetParCount();
  update();
}

// ---- Bookmarks --------------------------------------------------------------------------------------

TZarvNavigator* TZarvGutter::getBookmarkList(int Index) const {
  return Index >= 0 && Index < kBookmarkCount ? fBookmarks[size_t(Index)] : nullptr;
}

int32_t TZarvGutter::getBookmarks(int Index) const {
  TZarvNavigator* nav = getBookmarkList(Index);
  return nav ? nav->GetLineNb() : -1;
}

int32_t TZarvGutter::BookmarkRow(int Index) const {
  TZarvNavigator* nav = getBookmarkList(Index);
  if (!nav || !nav->getIsVisible())
    return -1;
  return nav->getVisibleLineNumber();
}

int TZarvGutter::GetBookmarkFromLine(int32_t Line) const {
  for (int i = 0; i < kBookmarkCount; ++i)
    if (fBookmarks[size_t(i)] && BookmarkRow(i) == Line)
      return i;
  return -1;
}

bool TZarvGutter::ask(const std::function<void(TZarvGutter&, int, TZarvNavigator*, bool&)>& handler, int index,
                      TZarvNavigator* nav) {
  bool accept = true;
  if (handler) {
    const auto h = handler; // the handler may replace itself
    h(*this, index, nav, accept);
  }
  return accept;
}

// A navigator made on the control: the control moves it with every edit,
// frees it when its text goes (without KeepBookmarks) and when the control
// itself goes; its notice then clears our slot.
TZarvNavigator* TZarvGutter::newBookmark(int index) {
  auto* nav = new TZarvNavigator(static_cast<QObject*>(fMemo.data()));
  nav->fOnFree = [this, index](TZarvNavigator& gone) {
    if (fBookmarks[size_t(index)] == &gone)
      fBookmarks[size_t(index)] = nullptr;
    update();
  };
  return nav;
}

void TZarvGutter::freeBookmark(int index) {
  if (TZarvNavigator* nav = std::exchange(fBookmarks[size_t(index)], nullptr)) {
    nav->fOnFree = nullptr;
    delete nav;
  }
}

void TZarvGutter::placeBookmark(TZarvNavigator& nav) {
  if (!fKeepBookmarks)
    nav.SetColNb(0);
  // At a paragraph start it stays with the paragraph when text is
  // inserted right before it.
  nav.fAdjustRight = nav.GetOffset() == 0;
  nav.fFreeOnDelete = !fKeepBookmarks;
}

bool TZarvGutter::BookmarkLine(int32_t Line, int Index) {
  if (!fMemo || Index < 0 || Index >= kBookmarkCount)
    return false;
  const int b = GetBookmarkFromLine(Line);
  if (b == Index) {
    if (!ask(OnClearBookmark, Index, fBookmarks[size_t(Index)]))
      return false;
    freeBookmark(Index);
    update();
    return true;
  }
  if (b >= 0)
    return false; // another bookmark stands there
  const TVisibleLine v = VisibleLineAt(fMemo->Paragraphs(), Line);
  if (v.Par < 0)
    return false;
  std::unique_ptr<TZarvNavigator> nav(newBookmark(Index));
  nav->SetParPos(v.Par, GetParLine(*fMemo->Paragraphs().Par(v.Par), v.ParLine).Start);
  // Asked before anything changes: a refusal keeps the old bookmark.
  const bool accepted = ask(OnSetBookmark, Index, nav.get());
  if (!fMemo) {
    (void)nav.release(); // the handler destroyed the control, which freed it
    return false;
  }
  if (!accepted)
    return false;
  freeBookmark(Index);
  fBookmarks[size_t(Index)] = nav.release();
  placeBookmark(*fBookmarks[size_t(Index)]);
  update();
  return true;
}

void TZarvGutter::BookmarkPos(int32_t Pos, int Index) {
  if (!fMemo || Index < 0 || Index >= kBookmarkCount)
    return;
  Pos = std::clamp(Pos, 0, fMemo->getCharCount());
  if (!fBookmarks[size_t(Index)]) {
    std::unique_ptr<TZarvNavigator> nav(newBookmark(Index));
    nav->SetPos(Pos);
    const bool accepted = ask(OnSetBookmark, Index, nav.get());
    if (!fMemo) {
      (void)nav.release(); // the handler destroyed the control, which freed it
      return;
    }
    if (!accepted)
      return;
    fBookmarks[size_t(Index)] = nav.release();
  } else {
    fBookmarks[size_t(Index)]->SetPos(Pos);
  }
  placeBookmark(*fBookmarks[size_t(Index)]);
  update();
}

// Each slot is cleared directly (asking first): clearing by line would
// miss, or even set, bookmarks whose lines are folded away.
void TZarvGutter::ClearBookmarks() {
  for (int i = 0; i < kBookmarkCount; ++i)
    if (fBookmarks[size_t(i)] && ask(OnClearBookmark, i, fBookmarks[size_t(i)]))
      freeBookmark(i);
  update();
}

void TZarvGutter::JumpToBookmark(int Index) {
  TZarvNavigator* nav = getBookmarkList(Index);
  if (!fMemo || !nav)
    return;
  fMemo->setSelStart(nav->GetPos());
  fMemo->ScrollInView();
}

} // namespace zarv
