// Laying the text out for another device and drawing it there: the
// printer and the print preview measure on the printer's resolution at the
// page's width, then draw ranges of display lines with the same line
// painter the window uses, straight onto their painter (no line buffer,
// so printed text stays vector text).
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/memo/ZarvMemoPaintLine.h>

#include <ZarvMemo/support/navigator/Navigator.h>

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace zarv {

void TZarvMemo::setKeywordsUpperCase(bool v) {
  if (v == fKeywordsUpperCase)
    return;
  fKeywordsUpperCase = v;
  if (DisplayReady())
    viewport()->update();
}

void TZarvMemo::FormatText(QPaintDevice* Canvas, int32_t Width) try {
  const TEntryScope entry(ownerId());
  const bool wasOther = fCanvas != nullptr;
  fCanvas = Canvas;
  fW = Canvas ? std::clamp(Width, 0, kMaxPixelWidth) : 0;
  this->Canvas().SetDevice(Canvas);
  if (!Canvas && !DisplayReady())
    return;
  UpdateMetrics();
  Reformat();
  if (!Canvas && wasOther) {
    // Back on the screen: bars, caret and pixels follow the screen layout.
    setVScrollParams();
    setHScrollParams();
    updateScrollBarValues();
    UpdateCaret(false);
    viewport()->update();
    fSkippedRegion = QRegion();
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::DrawLines(int32_t First, int32_t Last, QPainter& Canvas, QPoint Origin, float Spacing) {
  TParagraphsList& L = *fParagraphs;
  if (L.Count() == 0)
    return;
  First = std::max(First, 0);
  if (Last < First || First >= L.fVisibleLineCount)
    return;
  // Lines are formatted before they are walked; paragraphs met further on
  // that are still pending are formatted when reached.
  formatLineRange(First, Last);
  const int32_t lh = std::max(1, fLineHeight);
  const int32_t width = ClientWidth();
  TZarvNavigator nav(&L);
  nav.AttachMemo(this);
  nav.setVisibleLineNumber(First);
  int32_t p = nav.GetParNb(), li = nav.GetParLine();
  for (int32_t l = First; l <= Last && p < L.Count(); ++l) {
    const int32_t y = Origin.y() + int32_t(std::lround(double(l - First) * double(Spacing)));
    Canvas.save();
    Canvas.translate(Origin.x(), y);
    Canvas.setClipRect(QRect(0, 0, width, lh), Qt::IntersectClip);
    TLinePainter(*this, Canvas, true).PaintLine(p, li, int32_t(int64_t(l) * lh - fTopOrigin));
    Canvas.restore();
    if (++li >= L.VisibleLinesOf(p)) {
      li = 0;
      while (++p < L.Count() && L.VisibleLinesOf(p) == 0) {
      }
      if (p < L.Count() && p >= L.fUpdateStartPar && !(L.Par(p)->ParState & zvpFormatted))
        FormatNow(p, p, false, false);
    }
  }
}

} // namespace zarv
