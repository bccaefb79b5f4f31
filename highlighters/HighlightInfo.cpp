// The category look and its change reports.
#include <ZarvMemo/highlighters/HighlightInfo.h>

namespace zarv {

namespace {
constexpr TZarvFontStyles kFontStyles = fsBold | fsItalic | fsUnderline | fsStrikeOut;
}

void THighlightInfo::changedNow() {
  if (OnChange)
    OnChange(*this);
  emit changed();
}

void THighlightInfo::setAltFont(bool v) {
  if (v == fAltFont)
    return;
  fAltFont = v;
  changedNow();
}

void THighlightInfo::setStyle(TZarvFontStyles v) {
  v &= kFontStyles;
  if (v == fStyle)
    return;
  fStyle = v;
  changedNow();
}

void THighlightInfo::setBackground(TColor v) {
  if (v == fBackground)
    return;
  fBackground = v;
  changedNow();
}

void THighlightInfo::setForeground(TColor v) {
  if (v == fForeground)
    return;
  fForeground = v;
  changedNow();
}

void THighlightInfo::Assign(const THighlightInfo& source) {
  fAltFont = source.fAltFont;
  fStyle = source.fStyle;
  fBackground = source.fBackground;
  fForeground = source.fForeground;
  changedNow();
}

void THighlightInfo::SetLook(bool altFont, TZarvFontStyles style, TColor background, TColor foreground) {
  style &= kFontStyles;
  if (altFont == fAltFont && style == fStyle && background == fBackground && foreground == fForeground)
    return;
  fAltFont = altFont;
  fStyle = style;
  fBackground = background;
  fForeground = foreground;
  changedNow();
}

} // namespace zarv
