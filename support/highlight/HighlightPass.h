// The highlighting pass: keyword and start-stop highlighting turned into
// the dynamic codes (style runs) of paragraphs.
//
// The pass works on a range given by two navigators attached to a control
// (TZarvMemoHost): its keyword list, start-stop key list and attached
// highlighter decide the runs. Start-stop parsing of a range ends where the
// state at its end agrees with what the following text was parsed with;
// otherwise the next paragraph is handed back for parsing, so that a change
// propagates paragraph by paragraph until the states agree again.
#pragma once

#include <ZarvMemo/support/store/ParRecords.h>

#include <QString>
#include <cstdint>
#include <vector>

namespace zarv {

class TParagraphsList;
class TZarvMemoHost;
class TZarvNavigator;

// Gives the range between two navigators (either order) the run Dyn
// (Apply) or removes styling from it (!Apply); the text after the range
// keeps its style. With ExtendMods the store's modified range grows.
void SetDynStyleP(TParagraphsList& Pars, TZarvNavigator& Nav1, TZarvNavigator& Nav2, const DynInfoRec& Dyn, bool Apply,
                  bool ExtendMods);

// Keyword pass over the range (the navigators may widen to cover a run).
// Keyword runs of the control's own list that touch the changed range are
// removed first and found again if they still match.
void ApplyKeywordsListP(TZarvNavigator& StartNav, TZarvNavigator& StopNav);

// Start-stop pass over the range. EndDyn receives the code the text after
// the range was parsed with. Returns true when the state at the range end
// agrees with it; false when paragraph StopNav's paragraph + 1 was given a
// new start record and needs parsing in turn.
bool ApplyStartStopKeyListP(TZarvNavigator& StartNav, TZarvNavigator& StopNav, DynInfoRec& EndDyn);

// Opens the range of the first start key between A and C (C moves to the
// key's end); false when there is none.
bool FindStart(TZarvNavigator& A, TZarvNavigator& C);
// Closes the range open at A when its stop key lies between A and C (C
// moves to the key's end); false when it does not.
bool FindStop(TZarvNavigator& A, TZarvNavigator& C);

// Plain-text search from the selection (SelStart, SelLength) or from the
// text edge. On success the selection is set to the match: searching down
// leaves the caret at its end (SelStart at the end, SelLength negative),
// searching up selects it from its start.
bool FindTextP(TZarvMemoHost& Memo, const QString& Text, bool Down, bool MatchCase, bool WholeWord, bool FromTextEdge,
               int32_t& SelStart, int32_t& SelLength);

// Two codes describe the same parsing state: bits 6 and 7 of their style
// agree and, with attributes, their level and context and the keys of every
// open level.
bool DynEquivalent(const DynInfoRec& a, const DynInfoRec& b);

// Marks the code and line indexes of the navigators at or after fromPos, up
// to paragraph upToPar, as stale.
void InvalidateNavs(const std::vector<TZarvNavigator*>& navs, int32_t fromPos, int32_t upToPar);

// Highlights a whole text from scratch: every paragraph's codes are
// dropped, the start-stop pass runs over the text and the keyword pass over
// every paragraph.
void HighlightAll(TZarvMemoHost& Memo);

// Highlights paragraph par from its start (both passes). When the state at
// its end changed, the next paragraph is marked for parsing in turn (not
// parsed): returns whether the state agreed.
bool HighlightParagraph(TZarvMemoHost& Memo, int32_t par);

// Re-highlights after an edit that touched paragraphs firstPar..lastPar:
// those paragraphs are parsed again from their start, then following
// paragraphs one by one while their start state changed. Returns the last
// paragraph parsed.
int32_t HighlightParagraphs(TZarvMemoHost& Memo, int32_t firstPar, int32_t lastPar);

} // namespace zarv
