// Value types of the editor control's properties: the option set, line
// breaks, shown non-printing characters, update modes, scroll bars, border,
// scroll-bar requests, component state, pens and the copy of the event being processed.
//
// The enumerators keep their documented order: the option set is stored as
// 24 bits (3 bytes), bit i for option i, and form files rely on it.
#pragma once

#include <ZarvMemo/platform/Color.h>
#include <ZarvMemo/support/store/LineBreak.h>

#include <QFlags>
#include <Qt>
#include <cstdint>

class QEvent;

namespace zarv {

enum TZarvMemoOption : uint32_t {
  zvoKeepColumnPos = 1u << 0,
  zvoPutExtraSpaces = 1u << 1,
  zvoWrapCaret = 1u << 2,
  zvoInsertKeyActive = 1u << 3,
  zvoWideOverwriteCaret = 1u << 4,
  zvoLargeWordSelect = 1u << 5,
  zvoAutoScrollBars = 1u << 6,
  zvoNoDragnDrop = 1u << 7,
  zvoAutoIndent = 1u << 8,
  zvoBackIndent = 1u << 9,
  zvoWindowsSelColors = 1u << 10,
  zvoFullLineSelect = 1u << 11,
  zvoDiscardTrailingSpaces = 1u << 12,
  zvoNoFineScroll = 1u << 13,
  zvoNoLineSelection = 1u << 14,
  zvoNoDefaultPopup = 1u << 15,
  zvoBlockSelection = 1u << 16,
  zvoAutoLineBreak = 1u << 17,
  zvoPlainClipboard = 1u << 18,
  zvoPersistentBlocks = 1u << 19,
  zvoNoOverwriteBlocks = 1u << 20,
  zvoSmartTabs = 1u << 21,
  zvoKeepParBackgnd = 1u << 22,
  zvoFixedBackground = 1u << 23,
};
Q_DECLARE_FLAGS(TZarvMemoOptions, TZarvMemoOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TZarvMemoOptions)
inline constexpr uint32_t kMemoOptionBits = 0xFFFFFFu; // the 24 stored bits
inline constexpr TZarvMemoOptions kDefaultMemoOptions =
    TZarvMemoOptions(zvoPutExtraSpaces | zvoWrapCaret | zvoInsertKeyActive | zvoWideOverwriteCaret | zvoAutoScrollBars);

// The line break written when saving; one to one with the store's kinds.
enum TZarvLineBreak : uint8_t { zbCRLF, zbLFCR, zbCR, zbLF };
static_assert(int(zbCRLF) == int(zsbCRLF) && int(zbLFCR) == int(zsbLFCR) && int(zbCR) == int(zsbCR) &&
              int(zbLF) == int(zsbLF));
constexpr TzvsLineBreak ToStoreLineBreak(TZarvLineBreak b) { return static_cast<TzvsLineBreak>(b); }
constexpr TZarvLineBreak FromStoreLineBreak(TzvsLineBreak b) { return static_cast<TZarvLineBreak>(b); }

enum TzvNonPrintChar : uint8_t { zvNPSpace = 1 << 0, zvNPTab = 1 << 1, zvNPReturn = 1 << 2 };
Q_DECLARE_FLAGS(TzvNonPrintChars, TzvNonPrintChar)
Q_DECLARE_OPERATORS_FOR_FLAGS(TzvNonPrintChars)

enum TzvUpdateMode : uint8_t { umImmediate, umOnNeed, umBackground };
enum TMouseScrollType : uint8_t { msNoScroll, msUp, msDown, msLeft, msRight };
enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TBorderStyle : uint8_t { bsNone, bsSingle };

// What a scroll bar asks for (the horizontal bar's left and right are the
// vertical bar's up and down).
enum TzvScrollCode : uint8_t {
  SB_LINEUP,
  SB_LINEDOWN,
  SB_PAGEUP,
  SB_PAGEDOWN,
  SB_THUMBPOSITION,
  SB_THUMBTRACK,
  SB_TOP,
  SB_BOTTOM,
  SB_ENDSCROLL,
  SB_LINELEFT = SB_LINEUP,
  SB_LINERIGHT = SB_LINEDOWN,
  SB_PAGELEFT = SB_PAGEUP,
  SB_PAGERIGHT = SB_PAGEDOWN,
  SB_LEFT = SB_TOP,
  SB_RIGHT = SB_BOTTOM,
};

// Where a component is in its life: being read from a form, being edited in
// a designer, being destroyed. Setters that depend on other properties wait
// while reading; Loaded() then applies them once.
enum TComponentStateFlag : uint8_t {
  csLoading = 1 << 0,
  csReading = 1 << 1,
  csDesigning = 1 << 2,
  csDestroying = 1 << 3
};
Q_DECLARE_FLAGS(TComponentState, TComponentStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TComponentState)

// A pen of the control (end-of-text mark, right line, special underline).
struct TZarvPen {
  TColor Color = clBlack;
  int Width = 1;
  Qt::PenStyle Style = Qt::SolidLine;
  bool operator==(const TZarvPen&) const = default;
};

// The event being processed, as message listeners see it. A listener that
// sets Result to kMsgSwallowed on zveMessage keeps the event from the control.
struct TzvWinMsg {
  QEvent* Event = nullptr;
  int Result = 0;
};
inline constexpr int kMsgSwallowed = 127;

} // namespace zarv
