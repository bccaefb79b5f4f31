// The caret's place: its position in the viewport, computed from the caret
// navigator and the virtual columns after it, and the notices of a moved
// caret and of a changed style at it. Drawing the caret belongs to painting.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/support/highlight/Highlighter.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QMetaMethod>
#include <algorithm>

namespace zarv {

void TZarvMemo::UpdateCaret(bool ForceNew) try {
  const TEntryScope entry(ownerId());
  if (fLockedCount > 0)
    return;
  if (DisplayReady()) {
    TParagraphsList& L = *fParagraphs;
    const int32_t p = fcp->GetParNb();
    if (!(L.Par(p)->ParState & zvpFormatted)) {
      // Wrapping the caret's paragraph updates the caret on its way. Off
      // screen the wrap is left to whatever formats that paragraph (the
      // window coming there, ScrollInView, the background slices), which
      // updates the caret then: a caret sent through a long text (a count
      // of every match) would otherwise highlight everything up to it.
      const int32_t top = getTopLine(), start = L.Par(p)->StartLine;
      if (start >= top - 1 && start <= top + fDisplayLines) {
        FormatNow(p, p, true, false);
        if (L.Par(p)->ParState & zvpFormatted)
          return;
      } else {
        // Its line is known well enough to keep the caret's bar out of
        // the window; x follows when the paragraph is wrapped.
        fCaretY = int32_t(std::clamp<int64_t>(int64_t(fcp->getVisibleLineNumber()) * fLineHeight - fTopOrigin,
                                              INT32_MIN / 2, INT32_MAX / 2));
        if (hasFocus() || ForceNew)
          PlaceCaret();
        caretMoved();
        notifyCaretMoved();
        return;
      }
    }
    // Virtual columns: a space adds a space's width, a tab goes on to the
    // next tab stop counted from the text's left edge.
    int64_t x = fcp->GetDisplayX();
    const int64_t base = int64_t(fLeftMargin) - fDisplayLeft;
    const int32_t tab = TabWidth();
    for (QChar c : fExtraCols) {
      if (c == QLatin1Char('\t')) {
        if (fTabStops != 0 && tab > 0)
          x = base + NextTabStop(int32_t(std::clamp<int64_t>(x - base, 0, kMaxPixelWidth)), tab);
      } else {
        x += fSpaceWidth;
      }
    }
    fCaretX = int32_t(std::clamp<int64_t>(x, INT32_MIN / 2, INT32_MAX / 2));
    fCaretY = int32_t(std::clamp<int64_t>(int64_t(fcp->getVisibleLineNumber()) * fLineHeight - fTopOrigin,
                                          INT32_MIN / 2, INT32_MAX / 2));
    if (hasFocus() || ForceNew)
      PlaceCaret();
    caretMoved();
  }
  notifyCaretMoved();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// The notices of a moved caret and of a changed style at it.
void TZarvMemo::notifyCaretMoved() {
  if (fcp->GetPos() != fsPos || fExtraCols != fsExtraCols) {
    fsPos = fcp->GetPos();
    fsExtraCols = fExtraCols;
    fsPosDirty = true;
  }
  // The style at the caret is only worth its parse when someone listens.
  const bool listened = std::any_of(fNotifyList.begin(), fNotifyList.end(),
                                    [](const IzvsNotify* l) { return l && l->WantsStyleChange(); });
  if (OnStyleChange || listened || isSignalConnected(QMetaMethod::fromSignal(&TZarvMemo::styleChanged))) {
    const uint8_t style = getCurrentStyle();
    if (style != fsStyle) {
      fsStyle = style;
      DoNotify(fNotifyList, zveStyleChange);
      callHandler(OnStyleChange, *this);
      callOut([&] { Q_EMIT styleChanged(); });
    }
  }
  DoSelMove();
}

int32_t TZarvMemo::GetCaretWidth() {
  if (fOverWrite && fSelLen == 0 && fOptions.testFlag(zvoWideOverwriteCaret))
    return std::max(1, fcp->getDisplayWidth());
  return fCaretWidth;
}

void TZarvMemo::PlaceCaret() {
  int32_t x = fCaretX;
  if (fWordWrap && x >= fLineWidth)
    x = fLineWidth - 1;
  const QRect r(x, fCaretY, std::max(1, GetCaretWidth()), fLineHeight);
  if (r == fCaretRect)
    return;
  if (DisplayReady()) {
    viewport()->update(fCaretRect);
    viewport()->update(r);
  }
  fCaretRect = r;
}

} // namespace zarv
