// Moving registered navigators after a text replacement.
//
// After InsertBuf the control walks its navigator list once: positions
// before the edit stay, positions inside the replaced range go to one of its
// ends, positions after it shift by the length change and, when the
// paragraph count changed, their cached paragraph moves with them.
#pragma once

#include <cstdint>
#include <vector>

namespace zarv {

class TParagraphsList;
class TZarvNavigator;

// One replacement as InsertBuf reported it.
struct TEditRange {
  int32_t StartPos = 0;   // start of the replaced range (unchanged by the edit)
  int32_t OldStopPos = 0; // end of the replaced range before the edit
  int32_t NewStopPos = 0; // end of the inserted text after the edit
  int32_t StartPar = 0;   // paragraph of StartPos
  int32_t OldStopPar = 0; // paragraph of OldStopPos before the edit
  int32_t NewStopPar = 0; // paragraph of NewStopPos after the edit
};

// Adjusts every navigator of `navs` (the caller leaves out the two it passed
// to InsertBuf). Navigators marked fFreeOnDelete that stood inside deleted
// text on the side they would not move to are not moved but appended to
// `toFree`; the caller frees them.
void AdjustNavigators(TParagraphsList& list, const std::vector<TZarvNavigator*>& navs, const TEditRange& edit,
                      std::vector<TZarvNavigator*>& toFree);

} // namespace zarv
