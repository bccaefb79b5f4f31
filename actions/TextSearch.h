// TzvTextSearch: finding every occurrence of a text in a control and
// replacing them, for the search actions and dialogs.
//
// Matches follow the control's own search (FindTxt): they lie within one
// paragraph, case is folded with the control's upper-case mode unless
// MatchCase, and WholeWord bounds them with the control's separators (or a
// paragraph's ends). Occurrences are taken left to right without overlap.
//
// ReplaceAll is linear in the text: it scans once, then rewrites each
// paragraph that holds matches once, from the first match to the last,
// all inside one update bracket, so that one Undo restores the text. The
// replacement is never searched again, so a replacement containing the
// find text ends like any other.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace zarv {

class TZarvMemo;

struct TzvSearchQuery {
  QString Text;
  bool Down = true;
  bool MatchCase = false;
  bool WholeWord = false;
};

class TzvTextSearch {
public:
  // Start offsets of the matches lying wholly inside From..To.
  static std::vector<int32_t> Matches(TZarvMemo& Memo, const TzvSearchQuery& Query, int32_t From, int32_t To);
  // Whether the selection is exactly one match (ExactCase: compared with
  // the case as typed, whatever Query says).
  static bool SelectionMatches(TZarvMemo& Memo, const TzvSearchQuery& Query, bool ExactCase = false);
  // Replaces the matches inside From..To by Replacement as one undo step;
  // returns their number. The caret ends after the last replacement when
  // searching down, before the first one when searching up. An empty find
  // text matches nothing.
  static int32_t ReplaceAll(TZarvMemo& Memo, const TzvSearchQuery& Query, const QString& Replacement, int32_t From,
                            int32_t To);
};

} // namespace zarv
