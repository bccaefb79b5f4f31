// The control's properties: each setter does nothing for an equal value;
// layout setters re-wrap and refresh, colour and look setters repaint, and
// settings that change how the text is read reload or re-highlight it.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/support/layout/FormatThread.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QBuffer>
#include <QScrollBar>
#include <algorithm>

namespace zarv {

namespace {
bool designing(TComponentState s) { return (s & csDesigning) && !(s & csLoading); }
} // namespace

// ---- Layout --------------------------------------------------------------------------

void TZarvMemo::setWordWrap(bool v) try {
  const TEntryScope entry(ownerId());
  if (v == fWordWrap)
    return;
  fWordWrap = v;
  Reformat();
  RefreshDisplay();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::setAlignment(TAlignment a) try {
  const TEntryScope entry(ownerId());
  if (a == fAlignment)
    return;
  fAlignment = a;
  fDisplayLeft = 0;
  if (!fWordWrap)
    Reformat();
  Repaint();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::setJustified(bool v) try {
  const TEntryScope entry(ownerId());
  if (v == fJustified)
    return;
  fJustified = v;
  fDisplayLeft = 0;
  Repaint();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// Margins, tab stops and the wrap column change where lines break only
// under word wrap.
#define ZARV_LAYOUT_SETTER(Name, field, hostSetter)                                                                    \
  void TZarvMemo::Name(int v) {                                                                                        \
    const int32_t old = field;                                                                                         \
    TZarvMemoHost::hostSetter(v);                                                                                      \
    if (field == old)                                                                                                  \
      return;                                                                                                          \
    if (fWordWrap)                                                                                                     \
      Reformat();                                                                                                      \
    RefreshDisplay();                                                                                                  \
  }
ZARV_LAYOUT_SETTER(setLeftMargin, fLeftMargin, setLeftMargin)
ZARV_LAYOUT_SETTER(setRightMargin, fRightMargin, setRightMargin)
ZARV_LAYOUT_SETTER(setTabStops, fTabStops, setTabStops)
ZARV_LAYOUT_SETTER(setColumnWrap, fColumnWrap, setColumnWrap)
#undef ZARV_LAYOUT_SETTER

void TZarvMemo::setWordWrapChars(const QString& s) try {
  const TEntryScope entry(ownerId());
  if (s == fWWChars)
    return;
  fWWChars = s;
  if (fWordWrap && !(fComponentState & csReading))
    Reformat();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

int TZarvMemo::getLineHeight() const { return (fComponentState & csDesigning) && fAutoLineHeight ? 0 : fLineHeight; }

void TZarvMemo::setLineHeight(int32_t v) try {
  const TEntryScope entry(ownerId());
  v = std::min(v, 65535);
  const int32_t old = fLineHeight;
  if (v >= 1) {
    fAutoLineHeight = false;
    fLineHeight = v;
  } else {
    fAutoLineHeight = true;
  }
  UpdateMetrics();
  if (fAutoCaretWidth)
    fCaretWidth = fLineHeight / 14 + 1;
  if (!DisplayReady() || fLineHeight == old)
    return;
  // The same line stays on top with the same fine offset.
  fTopOrigin = int32_t(std::min<int64_t>(int64_t(fTopOrigin / old) * fLineHeight + fTopOrigin % old, INT32_MAX));
  setVScrollParams();
  updateScrollBarValues();
  Repaint();
  UpdateCaret(false);
  callHandler(OnVScroll, *this);
  callOut([&] { Q_EMIT vScrolled(); });
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::setCaretWidth(int v) try {
  const TEntryScope entry(ownerId());
  fAutoCaretWidth = v == 0;
  fCaretWidth = fAutoCaretWidth ? fLineHeight / 14 + 1 : std::max(1, v);
  if (hasFocus())
    viewport()->update();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::setRightLinePos(int v) try {
  const TEntryScope entry(ownerId());
  if (v == fRightLinePos)
    return;
  fRightLinePos = v;
  Repaint();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::setAltFont(const QFont& f) try {
  const TEntryScope entry(ownerId());
  if (f == fAltFont)
    return;
  fAltFont = f;
  if (fWordWrap)
    Reformat();
  RefreshDisplay();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// ---- Reading the text ------------------------------------------------------------------

void TZarvMemo::setStaticFormat(bool v) try {
  const TEntryScope entry(ownerId());
  if (v == fParagraphs->fStaticFormat)
    return;
  fParagraphs->fStaticFormat = v;
  if (!(fComponentState & csReading) && fParagraphs->fTextLen > 0)
    reloadText();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// Saves the whole text and loads it back, so that formatting codes or
// trailing blanks are read anew. UTF-16 keeps every character; the caret
// and the modified flag stay as they were.
void TZarvMemo::reloadText() {
  const bool modified = fModified;
  const int32_t caret = getSelStart();
  QBuffer buf;
  buf.open(QIODevice::ReadWrite);
  fParagraphs->SaveToStream(buf, false, false, fOptions.testFlag(zvoDiscardTrailingSpaces), zsbCRLF);
  buf.seek(0);
  const QString text =
      QString::fromUtf16(reinterpret_cast<const char16_t*>(buf.data().constData()), buf.data().size() / 2);
  SetTextBuf(text);
  SetModified(modified);
  setSelStart(std::min(caret, getCharCount()));
}

QString TZarvMemo::getSeparators() const {
  QString s;
  for (int c = 0; c < 256; ++c)
    if (fDelimiters.test(static_cast<size_t>(c)))
      s.append(QChar(c));
  return s;
}

void TZarvMemo::setSeparators(const QString& s) try {
  const TEntryScope entry(ownerId());
  TCharSet set;
  for (QChar c : s)
    set.set(zvChar(c.unicode()));
  set.set('\n');
  set.set('\r');
  if (set == fDelimiters)
    return;
  setDelimiters(set);
  if (designing(fComponentState))
    ReApplyKeywords();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::setApplyKeyWords(bool v) try {
  const TEntryScope entry(ownerId());
  if (v == fApplyKeyWords)
    return;
  fApplyKeyWords = v;
  if (designing(fComponentState))
    ReApplyKeywords();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::setApplyStartStopKeys(bool v) try {
  const TEntryScope entry(ownerId());
  if (v == fApplyStartStopKeys)
    return;
  fApplyStartStopKeys = v;
  if (designing(fComponentState))
    ReApplyKeywords();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::setUpperCaseType(TzvUpperCase t) try {
  const TEntryScope entry(ownerId());
  if (t == fUpperCaseType)
    return;
  TZarvMemoHost::setUpperCaseType(t);
  if (designing(fComponentState))
    ReApplyKeywords();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// ---- Look ------------------------------------------------------------------------------

void TZarvMemo::setBackgroundBmp(const QPixmap& p) {
  fBackground = p;
  fFixedBMPBackground = fOptions.testFlag(zvoFixedBackground) && p.width() > 0 && p.height() > 0;
  Repaint();
}

void TZarvMemo::setHideSelection(bool v) {
  if (v == fHideSelection)
    return;
  fHideSelection = v;
  if (DisplayReady() && !hasFocus() && fSelLen != 0)
    Repaint();
}

void TZarvMemo::setDisplayOnly(bool v) try {
  const TEntryScope entry(ownerId());
  if (v == fDisplayOnly)
    return;
  fDisplayOnly = v;
  if (hasFocus())
    viewport()->update(); // the caret comes or goes
  tellEditState();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::setOverwrite(bool v) try {
  const TEntryScope entry(ownerId());
  if (v == fOverWrite)
    return;
  fOverWrite = v;
  if (hasFocus() && !fDisplayOnly)
    viewport()->update(); // the caret changes shape
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::setShowNonPrintChars(TzvNonPrintChars v) try {
  const TEntryScope entry(ownerId());
  if (v == fShowNonPrintChars)
    return;
  fShowNonPrintChars = v;
  if (DisplayReady())
    Repaint();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

#define ZARV_COLOR_SETTER(Name, field, selectionOnly)                                                                  \
  void TZarvMemo::Name(TColor c) {                                                                                     \
    if (c == field)                                                                                                    \
      return;                                                                                                          \
    field = c;                                                                                                         \
    if (DisplayReady() && (!(selectionOnly) || fSelLen != 0))                                                          \
      Repaint();                                                                                                       \
  }
ZARV_COLOR_SETTER(setHighlightColor, fHTColor, false)
ZARV_COLOR_SETTER(setHighlightBackgnd, fHBColor, false)
ZARV_COLOR_SETTER(setSelBackColor, fSelBackColor, true)
ZARV_COLOR_SETTER(setSelTextColor, fSelTextColor, true)
#undef ZARV_COLOR_SETTER

void TZarvMemo::setEndOfTextMark(const TZarvPen& p) {
  if (p == fEndOfTextPen)
    return;
  fEndOfTextPen = p;
  Repaint();
}

void TZarvMemo::setRightLinePen(const TZarvPen& p) {
  if (p == fRightLinePen)
    return;
  fRightLinePen = p;
  Repaint();
}

void TZarvMemo::setSpecUnderline(const TZarvPen& p) {
  if (p == fSpecUnderlinePen)
    return;
  fSpecUnderlinePen = p;
  UpdateMetrics(); // the wavy line's amplitude follows the pen width
  Repaint();
}

// ---- Behaviour ---------------------------------------------------------------------------

void TZarvMemo::setOptions(TZarvMemoOptions o) try {
  const TEntryScope entry(ownerId());
  o &= TZarvMemoOptions::fromInt(kMemoOptionBits);
  if (o == fOptions)
    return;
  const TZarvMemoOptions changed = o ^ fOptions;
  fFixedBMPBackground = o.testFlag(zvoFixedBackground) && fBackground.width() > 0 && fBackground.height() > 0;
  if (!(fComponentState & csReading) && changed.testFlag(zvoDiscardTrailingSpaces) &&
      o.testFlag(zvoDiscardTrailingSpaces)) {
    fOptions = o;
    reloadText(); // drops the trailing blanks; fModified stays
    return;
  }
  fOptions = o;
  if (changed.testFlag(zvoAutoScrollBars))
    applyScrollBarPolicy();
  if (!DisplayReady())
    return;
  if (changed.testFlag(zvoAutoScrollBars)) {
    if (designing(fComponentState))
      ReApplyKeywords();
  } else if (changed & (zvoKeepParBackgnd | zvoFixedBackground)) {
    Repaint();
  } else if ((changed & (zvoWindowsSelColors | zvoFullLineSelect)) && fSelLen != 0) {
    Repaint();
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::applyScrollBarPolicy() {
  const Qt::ScrollBarPolicy shown =
      fOptions.testFlag(zvoAutoScrollBars) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn;
  setVerticalScrollBarPolicy(fScrollBars == ssVertical || fScrollBars == ssBoth ? shown : Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(fScrollBars == ssHorizontal || fScrollBars == ssBoth ? shown : Qt::ScrollBarAlwaysOff);
}

void TZarvMemo::setScrollBars(TScrollStyle s) try {
  const TEntryScope entry(ownerId());
  if (s == fScrollBars)
    return;
  const bool verticalChanged = (s == ssVertical || s == ssBoth) != (fScrollBars == ssVertical || fScrollBars == ssBoth);
  fScrollBars = s;
  applyScrollBarPolicy();
  if (verticalChanged && fWordWrap)
    Reformat();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::setBorderStyle(TBorderStyle b) try {
  const TEntryScope entry(ownerId());
  if (b == fBorderStyle)
    return;
  fBorderStyle = b;
  setFrameShape(b == bsSingle ? QFrame::StyledPanel : QFrame::NoFrame);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

} // namespace zarv
