// TLinePainter: composes one display line of the editor control into its
// line buffer.
//
// A line is first cut into elements (runs of equal style, tabs, justified
// blanks) by the same walk the navigator uses to compute x positions: the
// same fonts selected on the measuring canvas, the same tab grid and the
// same share of free width per justified blank. Painting then happens in
// layers over that list (line background, run backgrounds, selection fill,
// text, wavy underline, marks, inversion), so that what is drawn stands
// exactly where the caret and hit-testing put it.
#pragma once

#include <ZarvMemo/platform/Color.h>
#include <ZarvMemo/support/store/ParRecords.h>

#include <QColor>
#include <cstdint>
#include <vector>

class QPainter;

namespace zarv {

class TZarvMemo;

class TLinePainter {
public:
  // Paints with p, whose device is the line buffer; x = 0 is the
  // viewport's left edge, y = 0 the line's top. For another device
  // (printing) the line is as wide as the control's layout width, from an
  // unscrolled left edge, and shows no selection.
  TLinePainter(TZarvMemo& memo, QPainter& p, bool otherDevice = false);
  TLinePainter(const TLinePainter&) = delete; // holds references for one paint
  TLinePainter& operator=(const TLinePainter&) = delete;

  // Display line `lineIdx` of paragraph `parNb`; y is the line's top in the
  // viewport (for the phase of a background picture).
  void PaintLine(int32_t parNb, int32_t lineIdx, int32_t y);

private:
  enum class TKind : uint8_t { Text, Tab, Blank };
  // One element of the line. Invariant: elements tile the line from
  // Start to Stop in order; x is relative to the line's start x.
  struct TElement {
    int32_t From, To;
    int32_t X, W;
    uint8_t Style; // effective style (font bits, bit 7: wavy underline)
    bool Selected; // inside the selection (stream or block)
    bool Upper;    // a keyword run drawn in capitals
    TKind Kind;
    QColor Text; // text colour
    QColor Back; // run background; invalid: none
  };

  int32_t lineStartX(const LineInfo& line, int32_t len) const;
  void setupSelection(int32_t parNb, const ParInfo& par, const LineInfo& line, bool lastLine);
  void selectionXRange(const LineInfo& line, bool lastLine);
  void prepareParagraphMark(const ParInfo& par, const LineInfo& line, int32_t len);
  void paintLayers(const ParInfo& par, const LineInfo& line, bool lastLine);
  void buildElements(int32_t parNb, const ParInfo& par, const LineInfo& line, int32_t len);
  void computeColours(TElement& e, TZarvFontStyles staticStyle, const DynInfoRec& dyn) const;
  void drawText(const TElement& e, const char16_t* text, bool dropTrailingBlanks);
  void drawMark(char16_t mark, int32_t x, uint8_t style, const QColor& colour);
  void fillSelectionAndInvert(bool after);
  void drawEndParBox();
  void drawWavyLines();

  TZarvMemo& M;
  QPainter& P;
  const bool fOtherDevice;
  const int32_t fLeft; // the scroll offset the line is drawn at
  std::vector<TElement> fElems;
  int32_t fX0 = 0;    // the line's start x in the viewport
  int32_t fEndX = 0;  // relative x after the line's last element
  int32_t fLineW = 0; // buffer width in logical pixels
  QColor fFontColour; // the paragraph's text colour (or the palette's)
  TColor fParBack = clDefault, fParFore = clDefault;
  // Selection on this line: offsets [fSelA, fSelB) of the paragraph (stream)
  // or block columns; fSelX0/fSelX1 relative x, valid when fHasSel.
  bool fSelVisible = false, fHasSel = false, fBreakSelected = false, fWinColours = false;
  int32_t fSelA = -1, fSelB = -1;
  int32_t fSelX0 = 0, fSelX1 = 0;
  // The paragraph mark "¶" after the last line, when shown (fMarkShown).
  bool fMarkShown = false;
  TElement fMark{};
};

} // namespace zarv
