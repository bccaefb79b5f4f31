// Line formatting: breaking a paragraph into display lines.
//
// ReformatParP wraps one paragraph for a width, completely or incrementally
// from a given line, and records per line where it starts and ends, its
// widths with and without trailing blanks, the blanks justification may
// widen and the style state at its start. Widths are measured in runs on the
// control's canvas (or counted in columns when the control wraps at a column).
// An incremental call stops as soon as its new line breaks meet the old ones.
#pragma once

#include <cstdint>

namespace zarv {

class TZarvCanvas;
class TZarvMemoHost;
struct ParInfo;

// Formats paragraph ParNb (or Par when not nil).
// - Canvas: measuring surface; nil formats without measuring (one line).
// - InitFont: select the first line's font and measure SpaceWidth and
//   Overhang; otherwise the canvas's font and the given values are used.
// - Width: client width in pixels.
// - StartLine (in/out): first line to re-wrap; on return one less when words
//   or blanks moved back onto the line before it.
// - StopLine (out): index, after the change, of the last old line replaced.
// - FullReformat: false lets the call stop where new breaks meet old ones.
// - FontState: the caller's, passed through untouched.
// - LinesDelta, NewLineCount (out): change of the line count and the new count.
// - MustReach: an incremental call stops no earlier than the line ending at
//   or after this offset (the end of what changed since the old lines).
// - CodeDelta: style runs added since the old lines were made, all before
//   MustReach; the old lines kept after the stop have their run index moved.
void ReformatParP(TZarvMemoHost& Memo, TZarvCanvas* Canvas, bool InitFont, int32_t Width, ParInfo* Par, int32_t ParNb,
                  int32_t& StartLine, int32_t& StopLine, bool FullReformat, uint64_t& FontState, int32_t& SpaceWidth,
                  int32_t& Overhang, int32_t& LinesDelta, int32_t& NewLineCount, int32_t MustReach = 0,
                  int32_t CodeDelta = 0);

} // namespace zarv
