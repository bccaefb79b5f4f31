// Colour values as the library stores them.
//
// A TColor is a 32-bit value: 0x00BBGGRR for an explicit colour, 0xFF0000nn
// for a system colour (resolved through the widget's palette), 0x1FFFFFFF for
// "none" and -1 for "the control's default". Style runs, keyword attributes
// and paragraph colours store these values, so the encoding is part of the
// stored data and must not change.
#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

namespace zarv {

using TColor = int32_t;

inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = -1;
inline constexpr TColor clSystemBase = static_cast<TColor>(0xFF000000u);

// The system colours the library uses, by their classic numbers.
inline constexpr TColor clScrollBar = clSystemBase | 0;
inline constexpr TColor clBackground = clSystemBase | 1;
inline constexpr TColor clWindow = clSystemBase | 5;
inline constexpr TColor clWindowText = clSystemBase | 8;
inline constexpr TColor clHighlight = clSystemBase | 13;
inline constexpr TColor clHighlightText = clSystemBase | 14;
inline constexpr TColor clBtnFace = clSystemBase | 15;
inline constexpr TColor clBtnShadow = clSystemBase | 16;
inline constexpr TColor clGrayText = clSystemBase | 17;
inline constexpr TColor clBtnText = clSystemBase | 18;
inline constexpr TColor clInfoText = clSystemBase | 23;
inline constexpr TColor clInfoBk = clSystemBase | 24;

// Explicit colours used as defaults.
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

inline bool IsSystemColor(TColor c) {
  return (static_cast<uint32_t>(c) & 0xFF000000u) == 0xFF000000u && c != clDefault;
}

// The explicit colour of an RGB triple.
inline constexpr TColor RGBToColor(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// Resolves a TColor for painting. System colours map to palette roles of
// `palette`; clNone yields a transparent colour; clDefault yields `fallback`.
QColor ColorToQColor(TColor c, const QPalette& palette, const QColor& fallback = QColor());

// The TColor of an opaque QColor (system colours are not recovered).
TColor QColorToColor(const QColor& c);

} // namespace zarv
