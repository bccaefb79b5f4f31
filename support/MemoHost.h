// What the text-store layer reads of the editor control.
//
// Navigators, line formatting and the highlighting pass need a handful of the
// control's fields (wrapping, alignment, margins, metrics, delimiters, the
// navigator list) and its font operations. They are gathered in this base of
// the control so that the store layer depends on nothing above it: the
// control derives from it and keeps these fields current.
#pragma once

#include <ZarvMemo/platform/Canvas.h>
#include <ZarvMemo/platform/Sets.h>
#include <ZarvMemo/support/highlight/KeywordList.h>
#include <ZarvMemo/support/highlight/StartStopKeyList.h>
#include <ZarvMemo/support/highlight/UpperCase.h>
#include <ZarvMemo/support/layout/LongLineIndex.h>
#include <ZarvMemo/support/store/ParRecords.h>

#include <QFont>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace zarv {

class TParagraphsList;
class TZarvNavigator;
class TZarvHighlighter;
class TKeywordMatcher;

enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };

// The separators a new control starts with.
TCharSet DefaultDelimiters();

class TZarvMemoHost {
public:
  TZarvMemoHost();
  virtual ~TZarvMemoHost();
  TZarvMemoHost(const TZarvMemoHost&) = delete;
  TZarvMemoHost& operator=(const TZarvMemoHost&) = delete;

  TParagraphsList& Paragraphs() const { return *fParagraphs; }

  // ---- Navigator list ------------------------------------------------------
  void RegisterNavigator(TZarvNavigator* nav);
  void UnregisterNavigator(TZarvNavigator* nav);
  const std::vector<TZarvNavigator*>& Navigators() const { return fNavigators; }

  // ---- Font operations -----------------------------------------------------
  // The effective style of a run from the static-code styles and the style
  // byte of the style record in force.
  uint8_t AttrToExtFontStyles(TZarvFontStyles styles, uint8_t dynStyle) const;
  // Gives `target` the control's font (or the alternative font for bit 5)
  // with the font styles of bits 0..3.
  virtual void SetupFont(QFont& target, uint8_t styles) const;
  // The measuring canvas (its font is whatever was selected last).
  TZarvCanvas& Canvas() const { return *fMeasure; }
  // Selects on the canvas the font of a style set, ignoring the highlight
  // bit, which changes no widths; nothing when the set is the selected one.
  void SelectFont(uint8_t styles) const;
  // Width of the text area in pixels.
  virtual int32_t ClientWidth() const = 0;
  // The control's base font.
  virtual const QFont& BaseFont() const = 0;
  // Re-measures the font-dependent fields (space width, line height, ...).
  void UpdateFontDependantFields();

  // ---- Layout properties with a limited range -------------------------------
  // Values outside a range are clamped to it, so that the pixel arithmetic of
  // formatting, hit-testing and painting holds for every value accepted:
  // widths and x positions saturate at kMaxPixelWidth (platform/Canvas.h)
  // and never overflow.
  // - Margins: pixels in [-kMaxMargin, kMaxMargin].
  // - TabStops: a tab stop every TabStops spaces when positive (at most
  //   kMaxTabStops), every -TabStops pixels when negative (at least
  //   -kMaxPixelWidth), tabs without width at 0. The distance in pixels is
  //   TabWidth(), at most kMaxPixelWidth.
  // - ColumnWrap: wrap at that column when positive, at -ColumnWrap pixels
  //   when negative, at the client width at 0; in [-kMaxPixelWidth,
  //   kMaxPixelWidth].
  static constexpr int32_t kMaxMargin = 16777215; // the largest widget size
  static constexpr int32_t kMaxTabStops = 65535;
  void setLeftMargin(int32_t v) { fLeftMargin = std::clamp(v, -kMaxMargin, kMaxMargin); }
  void setRightMargin(int32_t v) { fRightMargin = std::clamp(v, -kMaxMargin, kMaxMargin); }
  void setTabStops(int32_t v) { fTabStops = std::clamp(v, -kMaxPixelWidth, kMaxTabStops); }
  void setColumnWrap(int32_t v) { fColumnWrap = std::clamp(v, -kMaxPixelWidth, kMaxPixelWidth); }

  // Distance between tab stops in pixels (0: tabs take no width), computed
  // in 64 bits from whatever the fields hold and at most kMaxPixelWidth.
  int32_t TabWidth() const;
  // The first multiple of `step` after x (x itself when step < 1), at most
  // kMaxPixelWidth; the tab stop grid of formatting, hit-testing and
  // painting alike.
  static int32_t NextTabStop(int32_t x, int32_t step) {
    if (step < 1)
      return x;
    return SaturatedWidth((static_cast<int64_t>(x) / step + 1) * step);
  }

  // ---- Fields read by the store layer ------------------------------------------
  // Writers other than the setters above keep to their ranges.
  bool fWordWrap = true;
  TAlignment fAlignment = taLeftJustify;
  bool fJustified = false;
  TCharSet fDelimiters;
  int32_t fLineHeight = 16;
  bool fAutoLineHeight = true;
  int32_t fLineBase = 12;
  int32_t fLineDescent = 16;
  int32_t fTopOrigin = 0;
  int32_t fDisplayLeft = 0;
  int32_t fLeftMargin = 8;
  int32_t fRightMargin = 8;
  int32_t fTabStops = 8;
  int32_t fColumnWrap = 0;
  int32_t fSpaceWidth = 1;
  int32_t fMaxOneShotChars = 4096;
  QFont fAltFont;
  QString fWWChars; // extra word-wrap characters: a line may break after them
  bool fApplyKeyWords = true;
  // Written by line formatting: the widest line seen and the StartLine of
  // its paragraph (-1 = not known), and the space width and overhang of the
  // font selected last.
  int32_t fMaxLineWidth = 0;
  int32_t fMaxLineNumber = -1;
  int32_t fRunningSpaceWidth = 1;
  int32_t fSpaceKern = 0;
  // The change range and x checkpoints of the long paragraph edited or
  // moved on last, kept by the control's formatting; navigators and
  // painting take x positions on its unwrapped line from it.
  TLongLineIndex fLongLines;
  // Counts whole re-layouts (Reformat); part of the layout key the index
  // checks.
  uint64_t fLayoutEpoch = 0;

  // Keyword highlighting of one whole paragraph, run by line formatting for
  // paragraphs that lack it so that widths are measured in their final
  // styles.
  virtual bool NeedsKeywordPass() const;
  virtual void ApplyKeywordsToParagraph(int32_t parNb);

  // ---- Highlighting ------------------------------------------------------------
  TKeywordList& Keywords() const { return *fKeywords; }
  TStartStopKeyList& StartStopKeys() const { return *fStartStopKeys; }
  TZarvHighlighter* Highlighter() const { return fHighlighter; }
  // Leaves the old highlighter's control list and joins the new one's.
  void setHighlighter(TZarvHighlighter* h);
  TzvUpperCase getUpperCaseType() const { return fUpperCaseType; }
  // Passed on to both key lists.
  void setUpperCaseType(TzvUpperCase t);
  // Word separators; CR and LF always belong to them. Changing them makes
  // the start-stop list recompute its delimiter checks.
  void setDelimiters(const TCharSet& set);
  // The upper-cased text of paragraph parNb (cached for the last paragraph
  // asked, until the text changes: DropUpText).
  const char16_t* GetUpText(int32_t parNb);
  void DropUpText() { fUpParNb = -1; }
  // The keyword pass's lookup tables for the control's keyword list.
  TKeywordMatcher& KeywordMatcher();

  bool fApplyStartStopKeys = true;

  // Brings highlighting of paragraphs first..last up to date: paragraphs
  // whose start-stop pass has not run (or all of them with force) are parsed.
  virtual void DoDynParse(int32_t first, int32_t last, bool force);
  // Drops every paragraph's codes and start record and marks the whole text
  // for highlighting again (its lists or its highlighter chain changed). The
  // control also reformats and repaints.
  virtual void ReApplyKeywords();

protected:
  std::unique_ptr<TKeywordList> fKeywords;
  std::unique_ptr<TStartStopKeyList> fStartStopKeys;
  TZarvHighlighter* fHighlighter = nullptr;
  TzvUpperCase fUpperCaseType = zvuAscii;
  std::unique_ptr<TKeywordMatcher> fKeywordMatcher;
  std::u16string fUpText;
  int32_t fUpParNb = -1;
  std::unique_ptr<TParagraphsList> fParagraphs;
  std::vector<TZarvNavigator*> fNavigators;
  std::unique_ptr<TZarvCanvas> fMeasure;
  // Navigators still registered when the control goes; they are freed then.
  void FreeNavigators();
};

} // namespace zarv
