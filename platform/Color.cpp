// Conversion between stored TColor values and QColor.
#include <ZarvMemo/platform/Color.h>

namespace zarv {

namespace {
QColor systemColor(int index, const QPalette& pal) {
  switch (index) {
  case 0:
    return pal.color(QPalette::Button); // scroll bar
  case 1:
    return pal.color(QPalette::Window); // desktop
  case 4:
    return pal.color(QPalette::Window); // menu
  case 5:
    return pal.color(QPalette::Base); // window
  case 6:
    return pal.color(QPalette::Dark); // window frame
  case 7:
    return pal.color(QPalette::WindowText); // menu text
  case 8:
    return pal.color(QPalette::Text); // window text
  case 13:
    return pal.color(QPalette::Highlight);
  case 14:
    return pal.color(QPalette::HighlightedText);
  case 15:
    return pal.color(QPalette::Button); // button face
  case 16:
    return pal.color(QPalette::Dark); // button shadow
  case 17:
    return pal.color(QPalette::Disabled, QPalette::Text);
  case 18:
    return pal.color(QPalette::ButtonText);
  case 20:
    return pal.color(QPalette::Light); // button highlight
  case 21:
    return pal.color(QPalette::Shadow); // 3D dark shadow
  case 22:
    return pal.color(QPalette::Midlight); // 3D light
  case 23:
    return pal.color(QPalette::ToolTipText);
  case 24:
    return pal.color(QPalette::ToolTipBase);
  default:
    return pal.color(QPalette::Window);
  }
}
} // namespace

QColor ColorToQColor(TColor c, const QPalette& palette, const QColor& fallback) {
  if (c == clDefault)
    return fallback;
  if (c == clNone)
    return QColor(Qt::transparent);
  if (IsSystemColor(c))
    return systemColor(c & 0xFF, palette);
  const auto u = static_cast<uint32_t>(c);
  return QColor(u & 0xFF, (u >> 8) & 0xFF, (u >> 16) & 0xFF);
}

TColor QColorToColor(const QColor& c) { return RGBToColor(c.red(), c.green(), c.blue()); }

} // namespace zarv
